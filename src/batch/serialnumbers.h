#pragma once
// Serial numbers written into each chip: where they go (MEMORY:ADDRESS:FIRST[:STEP]) and the
// allocator that hands them out, never the same number twice, also across runs and processes
// when a state file keeps the next number.

#include <QString>

#include <cstdint>
#include <mutex>
#include <optional>
#include <span>

namespace velmora {

struct SerialSpec {
    int kind = 0;               // FlashKind or EepromKind
    std::uint32_t address = 0;  // byte address of the number's lowest byte
    std::uint32_t first = 0;    // the first chip's number
    std::uint32_t step = 1;     // added for every number given
};

// How many bytes a serial number takes: 32 bits, little-endian.
inline constexpr std::uint32_t SerialBytes = 4;

// "eeprom:0x10:1000" or "flash:8188:1:2": MEMORY is eeprom or flash (any case), the numbers
// decimal or 0x hex; STEP is at least 1. Nothing and *problem set on a malformed text.
std::optional<SerialSpec> ParseSerialSpec(const QString& text, QString* problem);

// Puts value little-endian into memory at address; false, with memory untouched, when the four
// bytes do not fit.
bool PutSerial(std::span<std::uint8_t> memory, std::uint32_t address, std::uint32_t value);

// Hands out FIRST, FIRST+STEP, ... in the order Take() is called, from any thread. With a state
// file the next number lives there: read and replaced under a lock (FILE.lock beside it) for
// every number, so two processes sharing the file never get the same one. A state file that
// holds a number below FIRST yields to FIRST; one above it wins, since the numbers below were
// given out already.
class SerialAllocator {
public:
    explicit SerialAllocator(const SerialSpec& def, QString stateFile = {});

    // The next number, counted as given from now on. Nothing, with *problem set, when the state
    // file cannot be locked, read or replaced, holds no number, or the 32-bit numbers ran out.
    std::optional<std::uint32_t> Take(QString* problem);

private:
    std::optional<std::uint64_t> ReadNext(QString* problem) const;

    SerialSpec spec_;
    QString stateFile_;
    std::mutex mutex_;
    std::uint64_t next_;  // without a state file
};

}  // namespace velmora
