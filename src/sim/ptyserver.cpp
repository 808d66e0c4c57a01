#include "sim/ptyserver.h"

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <sched.h>
#include <sys/prctl.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <iterator>

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

PtyServer::PtyServer(std::shared_ptr<SimGateway> gateway, bool pace, AnswerLatency latency)
    : gateway_(std::move(gateway)), pace_(pace), latency_(latency)
{
    // Unpaced, a server that was not scheduled in time reads several packets at once and
    // cannot see the waits the PC took between them, so the chip's own times would fail at
    // random: it checks data and sequences only. Paced, every byte has its line arrival time
    // and the chip checks its times against those.
    gateway_->Chip().checkTiming = pace_;
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
    if (pace_)
        ServePaced(stop);
    else
        ServeUnpaced(stop);
}

void PtyServer::ServeUnpaced(const std::atomic<bool>& stop)
{
    std::uint8_t in[512];
    std::uint8_t out[512];
    while (!stop.load() && pty_.master >= 0) {
        pollfd p{pty_.master, POLLIN, 0};
        if (::poll(&p, 1, 20) <= 0)
            continue;
        const ssize_t n = ::read(pty_.master, in, sizeof in);
        if (n <= 0)
            continue;
        if (!gateway_->Receive(in, std::size_t(n))) {
            Close();  // unplugged: the device disappears under the client
            return;
        }
        const std::size_t answer = gateway_->TakeOutput(out, sizeof out);
        if (answer > 0)
            WriteAll(out, answer);
    }
}

// The line as it is. The PC's bytes reach the gateway one line time (44 µs) after each
// other, from when they were written or when the line was free, whichever is later; the
// server takes them from the pseudo-terminal only as the line carries them, so a client that
// keeps writing is held back by the system's buffers filling, as by a real port's. Answers
// take the other direction of the line, from when the gateway produced them, and reach the
// client at their arrival time (or the adapter's latency later).
void PtyServer::ServePaced(const std::atomic<bool>& stop)
{
    // The default timer slack (50 µs) is more than a byte time.
    ::prctl(PR_SET_TIMERSLACK, 1000UL);
    // A byte written while the line is idle arrives when this thread reads it: on a loaded
    // machine a thread woken late would see it late and the PC's waits after it as shorter
    // than they were. Real-time scheduling, where the system grants it, keeps the wake-up
    // prompt; without it the model still holds, only less exactly under load.
    const sched_param realTime{.sched_priority = 10};
    ::pthread_setschedparam(::pthread_self(), SCHED_FIFO, &realTime);
    // How far ahead of the line the server takes bytes: a little, so it never starves the
    // line while it sleeps.
    constexpr std::int64_t ReadAheadUs = 1000;
    constexpr std::size_t ReadChunk = 32;
    std::int64_t inFreeAt = 0;   // when the last byte from the PC has fully arrived
    std::int64_t outFreeAt = 0;  // when the last answer byte has fully reached the adapter
    std::deque<SimTimedByte> atAdapter;  // answer bytes with their arrival at the PC's adapter
    std::uint8_t in[ReadChunk];
    SimTimedByte produced[512];
    std::uint8_t out[512];
    const std::int64_t latencyUs = std::int64_t(latency_.latencyMs) * 1000;
    const std::size_t held = std::size_t(std::max(1, latency_.heldBytes));

    // When the adapter passes the waiting bytes on.
    auto handOverAt = [&]() -> std::int64_t {
        if (atAdapter.empty())
            return INT64_MAX;
        if (latencyUs == 0)
            return atAdapter.front().atUs;
        std::int64_t at = atAdapter.front().atUs + latencyUs;
        if (atAdapter.size() >= held)
            at = std::min(at, atAdapter[held - 1].atUs);
        return at;
    };

    while (!stop.load() && pty_.master >= 0) {
        std::int64_t now = NowUs();
        // Hand over the answers that are due.
        std::int64_t due = handOverAt();
        if (due <= now + 60) {
            WaitUntil(due);
            std::size_t n = 0;
            while (!atAdapter.empty() && atAdapter.front().atUs <= due && n < sizeof out) {
                out[n++] = atAdapter.front().byte;
                atAdapter.pop_front();
            }
            WriteAll(out, n);
            continue;
        }
        // Take more from the PC only when the line is nearly free.
        const std::int64_t readFrom = inFreeAt - ReadAheadUs;
        const bool mayRead = readFrom <= now;
        const std::int64_t wakeAt = std::min(due, mayRead ? now + 20000 : readFrom);
        const std::int64_t waitUs = std::max<std::int64_t>(0, wakeAt - now - 60);
        pollfd p{pty_.master, short(mayRead ? POLLIN : 0), 0};
        const timespec timeout{time_t(waitUs / 1000000), long(waitUs % 1000000) * 1000};
        if (::ppoll(&p, 1, &timeout, nullptr) <= 0 || !mayRead || !(p.revents & POLLIN))
            continue;
        const ssize_t n = ::read(pty_.master, in, sizeof in);
        if (n <= 0)
            continue;
        now = NowUs();
        const std::int64_t first = std::max(now, inFreeAt) + LineUsPerByte;
        inFreeAt = first + (n - 1) * std::int64_t(LineUsPerByte);
        if (!gateway_->ReceiveAt(in, std::size_t(n), first)) {
            Close();  // unplugged: the device disappears under the client
            return;
        }
        const std::size_t answers = gateway_->TakeTimedOutput(produced, std::size(produced));
        for (std::size_t i = 0; i < answers; ++i) {
            outFreeAt = std::max(outFreeAt, produced[i].atUs) + LineUsPerByte;
            atAdapter.push_back({produced[i].byte, outFreeAt});
        }
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
    json += std::string("  \"supplies\": \"") + (chip.Powered() ? "on" : "off") + "\",\n";
    json += "  \"calibration\": [";
    for (std::size_t i = 0; i < chip.Calibration().size(); ++i)
        json += (i ? ", " : "") + byte(chip.Calibration()[i]);
    json += "],\n  \"flash\": \"" + hex(chip.Flash()) + "\",\n";
    json += "  \"eeprom\": \"" + hex(chip.Eeprom()) + "\"\n}\n";
    return json;
}

}  // namespace velmora::sim
