// One way a host reaches the simulator. The serving loop polls the link's
// descriptor and moves bytes through it; each kind of link (pseudo-terminal,
// TCP, and later UDP) lives in its own file and says how hosts arrive and
// leave on it.
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

namespace simapp {

enum class IoStatus { Ok, WouldBlock, Closed, Failed };

struct IoResult {
    IoStatus status = IoStatus::Ok;
    std::size_t bytes = 0;  // moved, with Ok
    int error = 0;          // errno, with Failed

    static IoResult ok(std::size_t n) { return {IoStatus::Ok, n, 0}; }
    static IoResult wouldBlock() { return {IoStatus::WouldBlock, 0, 0}; }
    static IoResult closed() { return {IoStatus::Closed, 0, 0}; }
    static IoResult failed(int err) { return {IoStatus::Failed, 0, err}; }
};

class Link {
public:
    virtual ~Link() = default;

    // For messages: "the pseudo-terminal", "the client".
    virtual const char* name() const = 0;

    // What poll watches: the host's connection while a host is attached,
    // otherwise what announces the next host. -1 for none.
    virtual int pollFd() const = 0;
    virtual bool hostAttached() const = 0;
    // Takes the next waiting host (pollFd() was readable with no host
    // attached). Ok: attached; WouldBlock: nobody after all; Failed: an error
    // worth a back-off.
    virtual IoResult acceptHost() { return IoResult::wouldBlock(); }

    // Non-blocking; at most `size` bytes.
    virtual IoResult read(char* buffer, std::size_t size) = 0;
    virtual IoResult write(std::string_view bytes) = 0;

    // Poll events on pollFd() that tell the host went away while we are not
    // reading from it (a stalled printer still notices a host that left).
    virtual short hangupEvents() const { return 0; }
    // True where hosts come and go (a socket): losing one is normal, and the
    // next is served. False where the link itself must never close (the
    // pseudo-terminal, whose slave we hold): an error there is fatal.
    virtual bool hostsComeAndGo() const = 0;
    // Forgets the attached host.
    virtual void dropHost() {}

    // Reply bytes written that no host has taken yet; nothing where the link
    // cannot tell (a socket).
    virtual std::optional<std::size_t> unreadReplies() const { return std::nullopt; }
    // Throws away such bytes, so a later host does not take them for its own.
    virtual void discardUnread() {}
};

} // namespace simapp
