// The far end of a pseudo-terminal, standing where a printer would sit on a
// serial line: tests open the slave path as the port and talk to the master.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace platform::testing {

class PtyPeer {
public:
    // Raw master; the slave stays open (keepSlave) so its settings can be
    // read back, or is closed at once so the port under test is its only user.
    explicit PtyPeer(bool keepSlave = true)
    {
        int slave = -1;
        if (::openpty(&master_, &slave, nullptr, nullptr, nullptr) != 0) {
            ADD_FAILURE() << "openpty failed";
            return;
        }
        termios tio{};
        ::tcgetattr(master_, &tio);
        ::cfmakeraw(&tio);
        ::tcsetattr(master_, TCSANOW, &tio);
        char name[256] = {};
        if (::ttyname_r(slave, name, sizeof name) == 0)
            slavePath_ = name;
        if (keepSlave)
            slave_ = slave;
        else
            ::close(slave);
    }
    ~PtyPeer()
    {
        if (master_ >= 0)
            ::close(master_);
        if (slave_ >= 0)
            ::close(slave_);
    }
    PtyPeer(const PtyPeer&) = delete;
    PtyPeer& operator=(const PtyPeer&) = delete;

    int master() const { return master_; }
    int slave() const { return slave_; }
    const std::string& slavePath() const { return slavePath_; }

    // The printer end goes away.
    void hangUp()
    {
        ::close(master_);
        master_ = -1;
    }

    void write(const std::vector<std::uint8_t>& bytes) const
    {
        ASSERT_EQ(::write(master_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }

    // What the master receives, until `count` bytes or `limitMs`.
    std::vector<std::uint8_t> read(std::size_t count, int limitMs = 2000) const
    {
        using Clock = std::chrono::steady_clock;
        const auto deadline = Clock::now() + std::chrono::milliseconds(limitMs);
        std::vector<std::uint8_t> bytes;
        while (bytes.size() < count && Clock::now() < deadline) {
            pollfd p{master_, POLLIN, 0};
            if (::poll(&p, 1, 100) <= 0)
                continue;
            std::uint8_t chunk[512];
            const ssize_t n = ::read(master_, chunk, std::min(sizeof chunk, count - bytes.size()));
            if (n <= 0)
                break;
            bytes.insert(bytes.end(), chunk, chunk + n);
        }
        return bytes;
    }

private:
    int master_ = -1;
    int slave_ = -1;
    std::string slavePath_;
};

} // namespace platform::testing
