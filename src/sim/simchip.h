#pragma once
// One simulated chip in the programming socket, modelled after the datasheets' description
// of high-voltage parallel programming and serial programming. It sees only its pins: the
// supplies, the control lines, XTAL1/PAGEL/WR pulses and the data bus (parallel), or
// 4-byte SPI exchanges (serial). It checks nothing against the program's algorithms: a
// sequence that a real chip would not understand loses or corrupts data here too.

#include "sim/simchips.h"

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace velmora::sim {

// The chip-side levels of the parallel control lines (after the chip's pin sharing).
struct SimLines {
    bool bs1 = false;
    bool bs2 = false;
    bool xa0 = false;
    bool xa1 = false;
    bool oe = false;   // level: false = low = output enable
    bool wr = false;   // level: false = low
    bool pagel = false;  // only for chips whose PAGEL is a port-driven pin (shared with BS1)
};

class SimChip {
public:
    explicit SimChip(const SimChipModel& model);

    const SimChipModel& Model() const { return model_; }

    // The memories, as a programmer outside the simulation would find them.
    std::vector<std::uint8_t>& Flash() { return flash_; }
    std::vector<std::uint8_t>& Eeprom() { return eeprom_; }
    const std::vector<std::uint8_t>& Flash() const { return flash_; }
    const std::vector<std::uint8_t>& Eeprom() const { return eeprom_; }
    std::array<std::uint8_t, 3>& Fuses() { return fuses_; }  // low (or the fuse byte), high, extended
    std::uint8_t& Lock() { return lock_; }
    const std::array<std::uint8_t, 3>& Fuses() const { return fuses_; }
    std::uint8_t Lock() const { return lock_; }
    const std::vector<std::uint8_t>& Calibration() const { return calibration_; }
    std::uint8_t ErasedValue() const { return model_.niiet ? 0x00 : 0xFF; }

    // Faults: RDY/BSY never reports ready; the Programming Enable echo is wrong.
    bool busyForever = false;
    bool wrongEnableEcho = false;
    // The chip's own times: busy after a write, Programming Enable only 20 ms after SpiStart.
    // Off where the clock cannot tell when the PC sent its bytes (see SimGateway).
    bool checkTiming = true;
    // How much sooner than the datasheet times the chip accepts its next instruction (µs).
    // Over a pseudo-terminal a byte reaches the server only when the system has passed it on,
    // which a loaded machine does late; a wait the PC took after it then looks that much
    // shorter. 0 checks the times exactly.
    std::int64_t timingSlackUs = 0;

    // --- Parallel programming pins ---
    void SetSupplies(bool vcc, bool hv, std::int64_t nowUs);
    void SetLines(const SimLines& lines, std::int64_t nowUs);
    void XtalPulse(std::uint8_t bus, std::int64_t nowUs);
    void PagelPulse(std::int64_t nowUs);  // the separate PAGEL pin
    void WrPulse(std::uint32_t widthUs, std::int64_t nowUs);
    // The byte the chip drives onto the data bus, if any (OE low in programming mode).
    std::optional<std::uint8_t> DrivenBus(std::int64_t nowUs) const;
    bool Ready(std::int64_t nowUs) const;
    bool InParallelMode() const { return parallelMode_; }
    // +5 V or +12 V on the socket.
    bool Powered() const { return vcc_ || hv_; }

    // --- Serial programming ---
    void SpiPrepare(std::int64_t nowUs);
    void SpiStart(std::int64_t nowUs);
    // Shifts out I1..I4 and returns the four bytes shifted back, in arrival order.
    std::array<std::uint8_t, 4> SpiExchange(const std::array<std::uint8_t, 4>& out, std::int64_t nowUs);
    bool InSerialMode() const { return serialMode_; }

    // Busy until this time (µs); a write issued earlier is ignored.
    std::int64_t BusyUntil() const { return busyUntil_; }
    // Lock bit mode 2 or 3 (LB1 or LB2 programmed): flash and EEPROM writes are refused, and
    // on the parts with fuse bytes selected by BS1/BS2 the fuse writes too, until a chip erase.
    bool WritesLocked() const;
    // Serial programming starts only with SPIEN programmed and RSTDISBL and DWEN unprogrammed.
    bool SerialEntryAllowed() const;

private:
    bool Busy(std::int64_t now) const { return checkTiming && now < busyUntil_ - timingSlackUs; }
    std::uint32_t FlashWords() const { return model_.flashBytes / 2; }
    std::uint32_t WordAddress() const;
    void ResetRegisters();
    void LatchPage();
    void WriteStrobe(std::uint32_t widthUs, std::int64_t now);
    void Program(std::uint8_t& cell, std::uint8_t value) const;
    void EraseAll();
    void CommitFlashPage(std::uint32_t wordAddress);
    void CommitEepromPage(std::uint32_t address);
    std::uint8_t CombinedFuseLock() const;
    std::uint8_t ReadFuseSelection(bool bs1, bool bs2) const;
    std::uint8_t SerialRead(const std::array<std::uint8_t, 4>& in, bool& isRead) const;
    void SerialWrite(const std::array<std::uint8_t, 4>& in, std::int64_t now);
    bool FuseBitProgrammed(SimFuseBit bit) const;
    void SerialFuseWrite(int fuse, std::uint8_t value);

    const SimChipModel& model_;
    std::vector<std::uint8_t> flash_;
    std::vector<std::uint8_t> eeprom_;
    std::array<std::uint8_t, 3> fuses_{0xFF, 0xFF, 0xFF};
    std::uint8_t lock_ = 0xFF;
    std::vector<std::uint8_t> calibration_;

    // Parallel state.
    bool vcc_ = false;
    bool hv_ = false;
    std::int64_t vccOnAt_ = 0;
    int xtalPulsesSincePowerUp_ = 0;
    bool parallelMode_ = false;
    SimLines lines_;
    std::uint8_t command_ = 0;
    std::uint8_t addressLow_ = 0, addressHigh_ = 0, addressExtended_ = 0;
    std::uint8_t dataLow_ = 0xFF, dataHigh_ = 0xFF;
    std::vector<std::uint8_t> flashPage_;
    std::vector<std::uint8_t> eepromPage_;
    std::vector<bool> eepromPageLoaded_;
    std::int64_t busyUntil_ = 0;

    // Serial state.
    bool serialPowered_ = false;
    std::int64_t resetLowAt_ = -1;
    bool serialMode_ = false;
    std::uint8_t lastSerialIn_ = 0xFF;
};

}  // namespace velmora::sim
