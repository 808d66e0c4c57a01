#pragma once
// The traceability record: one JSON object per chip and run, one line each (JSON Lines), so a
// production log tells what went into which chip. Appended whole or not at all, so several
// processes may share one file.

#include "chips/chip.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace velmora {

struct ChipRecord {
    QDateTime time;  // when the chip's run ended; written in ISO 8601 with its zone offset
    QString host;
    QString port;
    QString chip;  // the catalogue name; empty while no chip was selected
    std::optional<SignatureCode> signature;
    std::optional<std::vector<std::uint8_t>> calibration;  // when read
    QString flashSha256;                                   // of the flash image written, hex
    QString eepromSha256;                                  // of the EEPROM image written, hex
    QList<QPair<QString, std::uint8_t>> fuses;             // by group caption ("Low Fuses", "Lock Bits")
    std::optional<std::uint32_t> serial;
    QStringList commands;  // the chain as given, each with its argument
    bool ok = false;
    QString failLine;  // the log line that tells why, when not ok
};

// What a command leaves in the record, from the current chip after it: the chip's name and
// signature (a selection), the hash of the chip-sized image of kind (a write), the
// calibration bytes (a read of them), the lock and fuse bytes by their group captions (a read
// or write of them).
void NoteChip(ChipRecord& record, const chip& c);
void NoteImageWritten(ChipRecord& record, const chip& c, int kind);
void NoteCalibration(ChipRecord& record, const chip& c);
void NoteFuses(ChipRecord& record, const chip& c);

// The line of a run's log that tells why it failed: the first error, difference or refusal
// (what follows it are its consequences, such as the exit step failing on a dropped link);
// the last line when none stands out.
QString FailingLine(const QStringList& lines);

// SHA-256 of bytes in lower-case hex.
QString Sha256Hex(std::span<const std::uint8_t> bytes);

// The record as one line of compact JSON ending in a line break. Fields without a value are
// left out; the signature is written as "1E 93 07", bytes in hex.
QByteArray RecordLine(const ChipRecord& record);

// "2026-12-10T13:06:00.123+01:00": local time with its offset from UTC.
QString RecordTime(const QDateTime& time);

// Appends line to file (created when missing) with a single write under an exclusive lock, so
// lines from several threads or processes never interleave. False, with *error set, when the
// file cannot be opened or the line not written whole.
bool AppendRecordLine(const QString& file, const QByteArray& line, QString* error);

}  // namespace velmora
