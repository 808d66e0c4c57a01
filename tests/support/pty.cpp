#include "support/pty.h"

#include <poll.h>
#include <unistd.h>


namespace velmora::testing {

PtyPeer::PtyPeer()
{
    sim::OpenRawPty(pty_, nullptr);
}

PtyPeer::~PtyPeer()
{
    sim::CloseRawPty(pty_);
}

bool PtyPeer::Write(const std::vector<std::uint8_t>& bytes)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(pty_.master, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            pollfd p{pty_.master, POLLOUT, 0};
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
        pollfd p{pty_.master, POLLIN, 0};
        if (::poll(&p, 1, int(left.count())) <= 0)
            continue;
        std::uint8_t buffer[256];
        const ssize_t n = ::read(pty_.master, buffer, std::min(sizeof buffer, count - out.size()));
        if (n > 0)
            out.insert(out.end(), buffer, buffer + n);
    }
    return out;
}

}  // namespace velmora::testing
