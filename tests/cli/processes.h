#pragma once
// velmora-sim and velmora-cli as separate processes, for the end-to-end tests.

#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QStringList>

#include <string>

namespace velmora::testing {

class SimProcess {
public:
    explicit SimProcess(const QStringList& args)
    {
        sim_.start(QStringLiteral(VELMORA_SIM_PATH), args);
        if (sim_.waitForStarted(5000) && sim_.waitForReadyRead(5000))
            device_ = QString::fromUtf8(sim_.readLine()).trimmed();
    }
    ~SimProcess()
    {
        if (sim_.state() != QProcess::NotRunning) {
            sim_.terminate();
            if (!sim_.waitForFinished(5000))
                sim_.kill();
        }
    }
    const QString& Device() const { return device_; }
    bool Stop()
    {
        sim_.terminate();
        return sim_.waitForFinished(5000) && sim_.exitCode() == 0;
    }

private:
    QProcess sim_;
    QString device_;
};

struct CliRun {
    int status = -1;
    QStringList lines;
    QStringList errLines;  // empty: the channels are merged into lines
    QString Said() const { return lines.join(QLatin1Char('\n')); }
    std::string Text() const { return Said().toStdString(); }
};

// velmora-cli with its standard output apart: the bytes written there, and the status; input
// is given on its standard input.
inline QByteArray RunCliForOutput(const QStringList& args, int* status, int timeoutMs = 60000, const QByteArray& input = {})
{
    QProcess cli;
    cli.start(QStringLiteral(VELMORA_CLI_PATH), args);
    cli.write(input);
    cli.closeWriteChannel();
    *status = cli.waitForFinished(timeoutMs) ? cli.exitCode() : -1;
    return cli.readAllStandardOutput();
}

inline CliRun RunCli(const QStringList& args, int timeoutMs = 20000)
{
    // Standard output and error in the order written, as a terminal shows them: the log is on
    // standard error, results on standard output.
    QProcess cli;
    cli.setProcessChannelMode(QProcess::MergedChannels);
    cli.start(QStringLiteral(VELMORA_CLI_PATH), args);
    CliRun run;
    if (!cli.waitForFinished(timeoutMs)) {
        cli.kill();
        cli.waitForFinished(5000);
        return run;
    }
    run.status = cli.exitCode();
    run.lines = QString::fromUtf8(cli.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    return run;
}

// Bytes that tell a shifted or dropped byte from the right one.
inline QByteArray RandomImage(qsizetype size, quint32 seed)
{
    QRandomGenerator random(seed);
    QByteArray bytes(size, '\0');
    for (char& b : bytes)
        b = char(random.bounded(256));
    return bytes;
}

inline bool WriteFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

inline QByteArray ReadFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

}  // namespace velmora::testing
