// A pseudo-terminal the simulator serves on.
#pragma once

#include "fd.h"

#include <string>

namespace simapp {

class PtyPort {
public:
    PtyPort() = default;
    ~PtyPort();
    PtyPort(const PtyPort&) = delete;
    PtyPort& operator=(const PtyPort&) = delete;

    // Creates the pair and, if `linkPath` is not empty, the symlink to the
    // slave. On failure returns false with a message in `error`.
    bool open(const std::string& linkPath, std::string& error);

    int masterFd() const { return master_.get(); }
    const std::string& slavePath() const { return slavePath_; }

    // Bytes written to the master that no host has read yet.
    std::size_t unreadBytes() const;
    // Throws away replies that were sent but not read by any host.
    void discardUnread();

    // Removes the symlink if it still points at our slave.
    void removeLink();

private:
    Fd master_;
    // Held open so that the master never sees a hang-up while no client has
    // the slave open (poll would report POLLHUP without end), and so that the
    // terminal settings (raw, no echo) persist between clients.
    Fd slave_;
    std::string slavePath_;
    std::string linkPath_;
};

} // namespace simapp
