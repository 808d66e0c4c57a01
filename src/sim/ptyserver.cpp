#include "sim/ptyserver.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace velmora::sim {

namespace {

std::int64_t NowUs()
{
    return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Waits until the steady clock reaches t: sleeps the long part, spins the last stretch,
// since a sleep overshoots by tens of microseconds and a byte lasts 44.
void WaitUntil(std::int64_t t)
{
    for (;;) {
        const std::int64_t left = t - NowUs();
        if (left <= 0)
            return;
        if (left > 80) {
            timespec ts{0, long(left - 60) * 1000};
            ::nanosleep(&ts, nullptr);
        }
    }
}

}  // namespace

PtyServer::PtyServer(std::shared_ptr<SimGateway> gateway, bool pace) : gateway_(std::move(gateway)), pace_(pace)
{
    // Paced bytes already took their line time in real time.
    gateway_->SetCountLineTime(!pace_);
    // A server that was not scheduled in time reads several packets at once and cannot see the
    // waits the PC took between them, so the chip's own times (busy after a write, the start
    // delay of serial programming) would fail at random on a loaded machine. Over a
    // pseudo-terminal the chip checks data and sequences; the in-process gateway, which runs
    // each packet as it is sent, checks the times too.
    gateway_->Chip().checkTiming = false;
}

PtyServer::~PtyServer() { Close(); }

void PtyServer::Close()
{
    CloseRawPty(pty_);
}

bool OpenRawPty(RawPty& pty, std::string* error)
{
    pty.master = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (pty.master < 0 || ::grantpt(pty.master) != 0 || ::unlockpt(pty.master) != 0) {
        if (error)
            *error = std::strerror(errno);
        CloseRawPty(pty);
        return false;
    }
    pty.slavePath = ::ptsname(pty.master);
    pty.slaveKeeper = ::open(pty.slavePath.c_str(), O_RDWR | O_NOCTTY);
    termios raw{};
    if (pty.slaveKeeper >= 0 && ::tcgetattr(pty.slaveKeeper, &raw) == 0) {
        ::cfmakeraw(&raw);
        ::tcsetattr(pty.slaveKeeper, TCSANOW, &raw);
    }
    ::fcntl(pty.master, F_SETFL, ::fcntl(pty.master, F_GETFL) | O_NONBLOCK);
    return true;
}

void CloseRawPty(RawPty& pty)
{
    if (pty.slaveKeeper >= 0)
        ::close(pty.slaveKeeper);
    if (pty.master >= 0)
        ::close(pty.master);
    pty.slaveKeeper = pty.master = -1;
}

bool PtyServer::Open(std::string* error)
{
    return OpenRawPty(pty_, error);
}

void PtyServer::WriteAll(const std::uint8_t* data, std::size_t count)
{
    std::size_t done = 0;
    while (done < count) {
        const ssize_t n = ::write(pty_.master, data + done, count - done);
        if (n > 0) {
            done += std::size_t(n);
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR)
            return;
        pollfd p{pty_.master, POLLOUT, 0};
        ::poll(&p, 1, 50);
    }
}

void PtyServer::Serve(const std::atomic<bool>& stop)
{
    std::int64_t lineFreeAt = 0;  // when the last paced byte has fully arrived or left
    // The default timer slack (50 µs) is more than a byte time.
    if (pace_)
        ::prctl(PR_SET_TIMERSLACK, 1000UL);
    std::uint8_t in[512];
    std::uint8_t out[512];
    while (!stop.load() && pty_.master >= 0) {
        pollfd p{pty_.master, POLLIN, 0};
        if (::poll(&p, 1, 20) <= 0)
            continue;
        const ssize_t n = ::read(pty_.master, in, sizeof in);
        if (n <= 0)
            continue;
        // Paced, the bytes are complete one line time each after they started; the answer
        // can leave only after them and takes its own line time. Nothing sees the gateway
        // before its answer arrives, so it runs the commands at once and the one wait is for
        // the answer's arrival time.
        if (pace_)
            lineFreeAt = std::max(lineFreeAt, NowUs()) + std::int64_t(n) * LineUsPerByte;
        if (!gateway_->Receive(in, std::size_t(n))) {
            Close();  // unplugged: the device disappears under the client
            return;
        }
        const std::size_t answer = gateway_->TakeOutput(out, sizeof out);
        if (answer == 0)
            continue;
        if (pace_) {
            lineFreeAt += std::int64_t(answer) * LineUsPerByte;
            WaitUntil(lineFreeAt);
        }
        WriteAll(out, answer);
    }
}

std::string ChipStateJson(const SimChip& chip)
{
    auto hex = [](const std::vector<std::uint8_t>& bytes) {
        static const char digits[] = "0123456789ABCDEF";
        std::string s;
        s.reserve(bytes.size() * 2);
        for (std::uint8_t b : bytes) {
            s += digits[b >> 4];
            s += digits[b & 15];
        }
        return s;
    };
    auto byte = [](unsigned v) {
        char buffer[8];
        std::snprintf(buffer, sizeof buffer, "\"%02X\"", v);
        return std::string(buffer);
    };
    const SimChipModel& m = chip.Model();
    std::string json = "{\n";
    json += "  \"chip\": \"" + std::string(m.name) + "\",\n";
    json += "  \"signature\": [" + byte(m.signature[0]) + ", " + byte(m.signature[1]) + ", " + byte(m.signature[2]) + "],\n";
    json += "  \"fuses\": [";
    for (int i = 0; i < m.FuseCount(); ++i)
        json += (i ? ", " : "") + byte(chip.Fuses()[std::size_t(i)]);
    json += "],\n  \"lock\": " + byte(chip.Lock()) + ",\n";
    json += "  \"calibration\": [";
    for (std::size_t i = 0; i < chip.Calibration().size(); ++i)
        json += (i ? ", " : "") + byte(chip.Calibration()[i]);
    json += "],\n  \"flash\": \"" + hex(chip.Flash()) + "\",\n";
    json += "  \"eeprom\": \"" + hex(chip.Eeprom()) + "\"\n}\n";
    return json;
}

}  // namespace velmora::sim
