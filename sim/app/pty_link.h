// A pseudo-terminal the simulator serves on. Hosts open and close the slave
// as they like; we never see them come or go, since we hold the slave open
// ourselves. The host counts as always attached.
#pragma once

#include "fd.h"
#include "link.h"

#include <string>

namespace simapp {

class PtyLink final : public Link {
public:
    PtyLink() = default;
    ~PtyLink() override;
    PtyLink(const PtyLink&) = delete;
    PtyLink& operator=(const PtyLink&) = delete;

    // Creates the pair and, if `linkPath` is not empty, the symlink to the
    // slave. On failure returns false with a message in `error`.
    bool open(const std::string& linkPath, std::string& error);

    int masterFd() const { return master_.get(); }
    const std::string& slavePath() const { return slavePath_; }

    const char* name() const override { return "the pseudo-terminal"; }
    int pollFd() const override { return master_.get(); }
    bool hostAttached() const override { return true; }
    IoResult read(char* buffer, std::size_t size) override;
    IoResult write(std::string_view bytes) override;
    bool hostsComeAndGo() const override { return false; }
    // Bytes written to the master that no host has read yet.
    std::optional<std::size_t> unreadReplies() const override;
    // Throws away replies that were sent but not read by any host.
    void discardUnread() override;

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
