// velmora-cli: see cli.h.

#include "cli/cli.h"
#include "link/stopsignals.h"

#include <QCoreApplication>

#include <cstdio>
#include <exception>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QStringList args = QCoreApplication::arguments();
    args.removeFirst();
    // Ctrl+C, kill and a closed terminal end the running command at its next step, with the
    // supplies switched off and the port closed; the status then tells which signal it was.
    velmora::InstallStopSignals();
    int status = 1;
    try {
        status = velmora::cli::RunCli(args, stdout, stderr);
    } catch (const std::exception& e) {
        // The command's own frames have switched the supplies off and closed the port on the
        // way out.
        std::fprintf(stderr, "velmora-cli: %s\n", e.what());
        status = 1;
    }
    if (velmora::StopRequested())
        return 128 + velmora::StopSignal();
    return status;
}
