#pragma once
// A pseudo-terminal pair for tests and benchmarks: the code under test opens SlavePath()
// through the real serial link, the test plays the gateway on the master side.

#include "sim/ptyserver.h"

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace velmora::testing {

class PtyPeer {
public:
    PtyPeer();
    ~PtyPeer();
    PtyPeer(const PtyPeer&) = delete;
    PtyPeer& operator=(const PtyPeer&) = delete;

    bool Ok() const { return pty_.master >= 0; }
    const std::string& SlavePath() const { return pty_.slavePath; }
    int MasterFd() const { return pty_.master; }

    // Writes all bytes to the master side.
    bool Write(const std::vector<std::uint8_t>& bytes);
    // Reads until count bytes came or the time ran out; returns what came.
    std::vector<std::uint8_t> Read(std::size_t count, std::chrono::milliseconds timeout);

private:
    sim::RawPty pty_;
};

}  // namespace velmora::testing
