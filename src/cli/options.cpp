// The options of velmora-cli: one row each, with the setter that checks its value.

#include "cli/commandtable.h"

#include "chips/imageformat.h"

namespace velmora::cli {

namespace {

bool SetPort(CliOptions& options, const QString& value, QString* problem)
{
    if (options.ports.contains(value)) {
        *problem = QStringLiteral("--port %1 given twice").arg(value);
        return false;
    }
    options.ports.append(value);
    options.port = options.ports.first();
    return true;
}

bool SetVirtual(CliOptions& options, const QString& value, QString*)
{
    options.virtualChip = value;
    return true;
}

bool SetDelay(CliOptions& options, const QString& value, QString* problem)
{
    bool ok = false;
    options.delaysValue = value.toInt(&ok);
    if (ok && options.delaysValue >= 0 && options.delaysValue <= 5)
        return true;
    *problem = QStringLiteral("--delay takes a number from 0 to 5");
    return false;
}

bool SetFormat(CliOptions& options, const QString& value, QString* problem)
{
    if (!FormatNamed(value.toStdString())) {
        *problem = QStringLiteral("--format takes hex, srec, elf or bin");
        return false;
    }
    options.format = value;
    return true;
}

bool SetYes(CliOptions& options, const QString&, QString*)
{
    options.yes = true;
    return true;
}

bool SetSerial(CliOptions& options, const QString& value, QString* problem)
{
    options.serial = ParseSerialSpec(value, problem);
    return options.serial.has_value();
}

bool SetSerialState(CliOptions& options, const QString& value, QString*)
{
    options.serialState = value;
    return true;
}

bool SetRecord(CliOptions& options, const QString& value, QString*)
{
    options.record = value;
    return true;
}

bool SetRepeat(CliOptions& options, const QString&, QString*)
{
    options.repeat = true;
    return true;
}

bool SetCount(CliOptions& options, const QString& value, QString* problem)
{
    bool ok = false;
    const int count = value.toInt(&ok);
    if (!ok || count < 1) {
        *problem = QStringLiteral("--count takes a number from 1");
        return false;
    }
    options.count = count;
    return true;
}

bool SetHelp(CliOptions& options, const QString&, QString*)
{
    options.help = true;
    return true;
}

const OptionSpec Options[] = {
    {"--port", "", "DEVICE", SetPort,
     "the gateway's serial port: COM1..COM10, ttyUSB0, or a device path;\n"
     "virtual:CHIP for a simulated gateway with CHIP in its socket; given\n"
     "several times, the chain runs on every gateway at once"},
    {"--virtual", "", "CHIP", SetVirtual, "the same as --port virtual:CHIP (e.g. ATmega8)"},
    {"--delay", "", "0..5", SetDelay, "the delays value in ms (default 1, as in the window)"},
    {"--format", "", "hex|srec|elf|bin", SetFormat,
     "the format of every FILE (default: what a file read holds, Intel HEX,\n"
     "S-record or ELF, else its name: .bin and .raw are binary; a file\n"
     "written by its name, .srec/.s19 S-record, else HEX)"},
    {"--yes", "", "", SetYes,
     "answer Yes to the questions before erasing or writing (needed\n"
     "when standard input is not a terminal)"},
    {"--serial", "", "MEMORY:ADDRESS:FIRST[:STEP]", SetSerial,
     "after the chain, write a 32-bit little-endian serial number into\n"
     "each chip (MEMORY eeprom or flash): FIRST, then counting by STEP\n"
     "(default 1) in the order chips get there"},
    {"--serial-state", "", "FILE", SetSerialState,
     "keep the next serial number in FILE across runs (locked, so\n"
     "several processes may share it)"},
    {"--record", "", "FILE", SetRecord, "append one JSON line per chip to FILE (JSON Lines)"},
    {"--repeat", "", "", SetRepeat,
     "after the chain, wait for the chip to be taken out and the next one\n"
     "put in, and run the chain again; until Ctrl+C or --count"},
    {"--count", "", "N", SetCount, "with --repeat: stop after N chips that succeeded"},
    {"--help", "-h", "", SetHelp, "print this help"},
};

}  // namespace

std::span<const OptionSpec> OptionTable()
{
    return Options;
}

}  // namespace velmora::cli
