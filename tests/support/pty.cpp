#include "support/pty.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cstdlib>

namespace velmora::testing {

PtyPeer::PtyPeer()
{
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ < 0)
        return;
    if (::grantpt(master_) != 0 || ::unlockpt(master_) != 0) {
        ::close(master_);
        master_ = -1;
        return;
    }
    slavePath_ = ::ptsname(master_);
    // Raw on both sides from the start, so no byte is echoed or translated before the
    // link configures the line itself.
    slaveKeeper_ = ::open(slavePath_.c_str(), O_RDWR | O_NOCTTY);
    termios raw{};
    if (slaveKeeper_ >= 0 && ::tcgetattr(slaveKeeper_, &raw) == 0) {
        ::cfmakeraw(&raw);
        ::tcsetattr(slaveKeeper_, TCSANOW, &raw);
    }
    ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
}

PtyPeer::~PtyPeer()
{
    if (slaveKeeper_ >= 0)
        ::close(slaveKeeper_);
    if (master_ >= 0)
        ::close(master_);
}

bool PtyPeer::Write(const std::vector<std::uint8_t>& bytes)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            pollfd p{master_, POLLOUT, 0};
            ::poll(&p, 1, 100);
            continue;
        }
        done += std::size_t(n);
    }
    return true;
}

std::vector<std::uint8_t> PtyPeer::Read(std::size_t count, std::chrono::milliseconds timeout)
{
    std::vector<std::uint8_t> out;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (out.size() < count) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            break;
        pollfd p{master_, POLLIN, 0};
        if (::poll(&p, 1, int(left.count())) <= 0)
            continue;
        std::uint8_t buffer[256];
        const ssize_t n = ::read(master_, buffer, std::min(sizeof buffer, count - out.size()));
        if (n > 0)
            out.insert(out.end(), buffer, buffer + n);
    }
    return out;
}

}  // namespace velmora::testing
