#include "cli/cli.h"

#include "chips/autosearch.h"
#include "chips/catalogue.h"
#include "chips/selection.h"
#include "link/serialport.h"
#include "log/operationlog.h"
#include "sim/simlink.h"

#include <memory>

namespace velmora::cli {

namespace {

const QStringList Commands{QStringLiteral("connect"), QStringLiteral("signature"), QStringLiteral("select")};

void Print(std::FILE* out, const QString& line)
{
    const QByteArray utf8 = line.toUtf8();
    std::fwrite(utf8.constData(), 1, std::size_t(utf8.size()), out);
    std::fputc('\n', out);
    std::fflush(out);
}

// "Signature: 1E 93 07, SignatureCode 0x07931E (496414), ATmega8"
QString SignatureLine(SignatureCode code)
{
    const ChipEntry* entry = FindChipEntry(code, false);
    QString bytes;
    for (int i = 0; i < 3; ++i)
        bytes += QStringLiteral("%1%2").arg(i ? QStringLiteral(" ") : QString()).arg((code >> (8 * i)) & 0xFF, 2, 16, QLatin1Char('0'));
    return QStringLiteral("Signature: %1, SignatureCode 0x%2 (%3), %4")
        .arg(bytes.toUpper())
        .arg(QString::number(code, 16).toUpper().rightJustified(6, QLatin1Char('0')))
        .arg(code)
        .arg(entry ? QString::fromUtf8(entry->name.data(), qsizetype(entry->name.size())) : QStringLiteral("unknown chip"));
}

QString EntryName(const ChipEntry& entry)
{
    return QString::fromUtf8(entry.name.data(), qsizetype(entry.name.size()));
}

bool IsAuto(const QString& chip)
{
    return chip.compare(QLatin1String("auto"), Qt::CaseInsensitive) == 0;
}

// "Chip: ATmega8, SignatureCode 0x07931E (496414), flash 8192 bytes, EEPROM 512 bytes,
// calibration bytes 4, lock and fuses E1 D9 FF FF FF FF FF FF, family Atmega8"
QString ChipLine(const ChipState& state, const ChipEntry& entry)
{
    const chip& c = state.CurrentChip;
    QString fuses;
    for (std::uint8_t b : c.FuseDefaults)
        fuses += QStringLiteral("%1%2").arg(fuses.isEmpty() ? QString() : QStringLiteral(" ")).arg(b, 2, 16, QLatin1Char('0'));
    return QStringLiteral("Chip: %1, SignatureCode 0x%2 (%3), flash %4 bytes, EEPROM %5 bytes, calibration bytes %6, "
                          "lock and fuses %7, family %8")
        .arg(EntryName(entry))
        .arg(QString::number(c.SignatureCode, 16).toUpper().rightJustified(6, QLatin1Char('0')))
        .arg(c.SignatureCode)
        .arg(c.flashSize)
        .arg(c.eepromSize)
        .arg(c.CalibrationCount)
        .arg(fuses.toUpper())
        .arg(QString::fromLatin1(FamilyName(entry.family).data(), qsizetype(FamilyName(entry.family).size())));
}

}  // namespace

QString UsageText()
{
    return QStringLiteral(
        "usage: velmora-cli [--port DEVICE | --virtual CHIP] [--delay 0..5] COMMAND\n"
        "       velmora-cli --help\n"
        "  --port DEVICE   the gateway's serial port: COM1..COM10, ttyUSB0, or a device path\n"
        "  --virtual CHIP  a simulated gateway with CHIP in its socket (e.g. ATmega8)\n"
        "  --delay N       the delays value, 0 to 5 ms (default 1, as in the window)\n"
        "commands:\n"
        "  connect         open the port and check that a gateway answers\n"
        "  signature       read the signature: in parallel programming mode, or over SPI for\n"
        "                  the small chips the parallel entry does not find\n"
        "  select CHIP     select a chip by name (ATmega8, 1887VE4U, ...) as the Chip Select menu\n"
        "                  does, no gateway needed; or select auto: identify it on the gateway\n");
}

bool ParseArguments(const QStringList& args, CliOptions& options, QString* problem)
{
    auto fail = [problem](const QString& why) {
        if (problem)
            *problem = why;
        return false;
    };
    for (int i = 0; i < args.size(); ++i) {
        const QString& arg = args[i];
        if (arg == QLatin1String("--port") || arg == QLatin1String("--virtual") || arg == QLatin1String("--delay")) {
            if (i + 1 >= args.size())
                return fail(arg + QStringLiteral(" needs a value"));
            const QString value = args[++i];
            if (arg == QLatin1String("--port")) {
                options.port = value;
            } else if (arg == QLatin1String("--virtual")) {
                options.virtualChip = value;
            } else {
                bool ok = false;
                options.delaysValue = value.toInt(&ok);
                if (!ok || options.delaysValue < 0 || options.delaysValue > 5)
                    return fail(QStringLiteral("--delay takes a number from 0 to 5"));
            }
        } else if (arg.startsWith(QLatin1String("-"))) {
            return fail(QStringLiteral("unknown option ") + arg);
        } else if (options.command.isEmpty()) {
            options.command = arg;
        } else if (options.command == QLatin1String("select") && options.chip.isEmpty()) {
            options.chip = arg;
        } else {
            return fail(QStringLiteral("one command only; extra argument ") + arg);
        }
    }
    if (options.command.isEmpty())
        return fail(QStringLiteral("no command given"));
    if (!Commands.contains(options.command))
        return fail(QStringLiteral("unknown command ") + options.command);
    const bool select = options.command == QLatin1String("select");
    if (select && options.chip.isEmpty())
        return fail(QStringLiteral("select needs a chip name or auto"));
    if (select && !IsAuto(options.chip) && !FindChipByName(options.chip.toStdString()))
        return fail(QStringLiteral("no chip named ") + options.chip);
    // Selecting by name is the menu's work and needs no gateway.
    const bool needsGateway = !select || IsAuto(options.chip);
    if (!options.port.isEmpty() && !options.virtualChip.isEmpty())
        return fail(QStringLiteral("give either --port or --virtual"));
    if (needsGateway && options.port.isEmpty() && options.virtualChip.isEmpty())
        return fail(QStringLiteral("give either --port or --virtual"));
    if (!options.virtualChip.isEmpty() && !sim::FindSimChip(options.virtualChip.toStdString()))
        return fail(QStringLiteral("no simulated chip named ") + options.virtualChip);
    return true;
}

int RunCli(const QStringList& args, std::FILE* out, std::FILE* err)
{
    if (args.contains(QLatin1String("--help")) || args.contains(QLatin1String("-h"))) {
        std::fputs(UsageText().toUtf8().constData(), out);
        return ExitOk;
    }
    CliOptions options;
    QString problem;
    if (!ParseArguments(args, options, &problem)) {
        Print(err, QStringLiteral("velmora-cli: ") + problem);
        std::fputs(UsageText().toUtf8().constData(), err);
        return ExitUsage;
    }

    OperationLog log;
    log.SetSink([out](const QString& line) { Print(out, line); });

    ChipState chips;
    if (options.command == QLatin1String("select") && !IsAuto(options.chip)) {
        const ChipEntry* entry = SelectMenuEntry(chips, *FindChipByName(options.chip.toStdString()), log, {});
        if (!entry)
            return ExitFailed;
        Print(out, ChipLine(chips, *entry));
        return ExitOk;
    }

    std::unique_ptr<GatewayLink> link;
    QString devicePath;
    MillisecondSleeper sleeper = SleepMilliseconds;
    if (!options.virtualChip.isEmpty()) {
        // Virtual time: the chip's waits pass without the process sleeping through them.
        const sim::SimChipModel& model = *sim::FindSimChip(options.virtualChip.toStdString());
        auto simLink = std::make_unique<sim::SimLink>(model, /*virtualTime=*/true);
        sleeper = simLink->Sleeper();
        devicePath = sim::VirtualDevicePath(model);
        link = std::move(simLink);
    } else {
        devicePath = DevicePathForPort(options.port);
        link = std::make_unique<SerialLink>();
    }

    if (!ConnectGateway(*link, devicePath, log))
        return ExitFailed;

    int status = ExitOk;
    if (options.command == QLatin1String("signature")) {
        const ProgContext ctx{*link, log, options.delaysValue, sleeper};
        int niietMode = 0;
        const std::optional<SignatureCode> code = ReadChipCode(ctx, niietMode);
        if (code)
            Print(out, SignatureLine(*code));
        else
            status = ExitFailed;
    }
    if (options.command == QLatin1String("select")) {
        const ProgContext ctx{*link, log, options.delaysValue, sleeper};
        if (const ChipEntry* entry = Autosearch(ctx, chips, {}))
            Print(out, ChipLine(chips, *entry));
        else
            status = ExitFailed;
    }
    // As on leaving the window: a link still open is disconnected, with its line.
    if (link->IsOpen())
        DisconnectGateway(*link, log);
    return status;
}

}  // namespace velmora::cli
