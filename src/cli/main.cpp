// velmora-cli: see cli.h.

#include "cli/cli.h"

#include <QCoreApplication>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QStringList args = QCoreApplication::arguments();
    args.removeFirst();
    return velmora::cli::RunCli(args, stdout, stderr);
}
