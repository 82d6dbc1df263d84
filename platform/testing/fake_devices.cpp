#include "platform/testing/fake_devices.h"

#include "platform/parallel_port.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace platform::testing {

Bytes bytesOf(const std::string& text, bool withNul)
{
    Bytes out(text.begin(), text.end());
    if (withNul)
        out.push_back(0);
    return out;
}

void FakePrinter::reply(const Bytes& data, std::uint64_t delayMs)
{
    // An empty reply is silence: queueing it would hand a read nothing.
    if (!data.empty())
        pending.push_back(Chunk{clock.tickMs() + delayMs, data});
}

int FakePrinter::take(std::uint8_t* buffer, int capacity, std::uint64_t waitMs, std::uint64_t afterDataMs)
{
    const std::uint64_t now = clock.tickMs();
    if (pending.empty() || pending.front().readyAtMs > now + waitMs) {
        clock.advance(waitMs);
        return 0;
    }
    Chunk& front = pending.front();
    if (front.readyAtMs > now)
        clock.advance(front.readyAtMs - now);
    clock.advance(afterDataMs);
    const int n = std::min<int>(capacity, static_cast<int>(front.data.size()));
    std::memcpy(buffer, front.data.data(), static_cast<std::size_t>(n));
    front.data.erase(front.data.begin(), front.data.begin() + n);
    if (front.data.empty())
        pending.pop_front();
    return n;
}

namespace {

platform::OsError errorOf(int code, const char* op)
{
    return platform::OsError{code, op, "fake"};
}

// What every kind of fake port shares: recorded writes under the knobs,
// open/close bookkeeping, the read time-out.
class FakePortBase {
protected:
    explicit FakePortBase(FakePrinter& p) : p_(p) {}

    platform::IoResult recordWrite(const std::uint8_t* data, int length, int stallMs)
    {
        p_.stallTimeoutMs = stallMs;
        if (p_.stalled) {
            p_.clock.advance(static_cast<std::uint64_t>(stallMs));
            error_ = platform::stallError("write", "fake", stallMs);
            return {0, platform::IoEnd::Timeout, error_};
        }
        int n = length;
        if (p_.writeLimit >= 0)
            n = std::min(n, p_.writeLimit);
        Bytes chunk(data, data + std::max(n, 0));
        p_.written.insert(p_.written.end(), chunk.begin(), chunk.end());
        p_.writes.push_back(chunk);
        p_.writeTimes.push_back(p_.clock.tickMs());
        if (p_.onWrite)
            p_.onWrite(chunk);
        if (n < length) {
            error_ = errorOf(EIO, "write");
            return {n, platform::IoEnd::Error, error_};
        }
        return {n, platform::IoEnd::Complete, {}};
    }

    // A serial or USB open: fails while failOpens lasts, else records the name.
    bool openDevice(const std::string& name)
    {
        ++p_.openAttempts;
        if (p_.deviceGone) {
            error_ = errorOf(ENOENT, "open");
            return false;
        }
        if (p_.failOpens > 0) {
            --p_.failOpens;
            error_ = errorOf(p_.openErrno, "open");
            return false;
        }
        p_.openedName = name;
        p_.isOpen = open_ = true;
        ++p_.opens;
        return true;
    }

    void closeDevice()
    {
        if (open_)
            ++p_.closes;
        p_.isOpen = open_ = false;
    }

    platform::IoResult notOpen(int code)
    {
        error_ = errorOf(code, "io");
        return {0, platform::IoEnd::Error, error_};
    }

    FakePrinter& p_;
    bool open_ = false;
    platform::OsError error_;
};

class FakeSerial final : public platform::SerialPort, FakePortBase {
public:
    explicit FakeSerial(FakePrinter& p) : FakePortBase(p) {}
    bool open(const platform::Endpoint& where) override { return openDevice(where.address); }
    bool configure(const platform::SerialLine& line) override
    {
        if (p_.configureFails) {
            error_ = errorOf(EINVAL, "configure");
            return false;
        }
        p_.line = line;
        return true;
    }
    bool setTimeouts(const platform::SerialTimeouts& t) override
    {
        timeouts_ = t;
        p_.timeouts = t;
        p_.timeoutHistory.push_back(t);
        return true;
    }
    bool purge() override
    {
        ++p_.purges;
        return true;
    }
    platform::IoResult write(const std::uint8_t* data, int length) override
    {
        return open_ ? recordWrite(data, length, stallTimeoutMs()) : notOpen(EBADF);
    }
    platform::IoResult writeWithinTimeouts(const std::uint8_t* data, int length) override
    {
        if (!open_)
            return notOpen(EBADF);
        ++p_.boundedWrites;
        if (p_.probeFails) {
            error_ = errorOf(EIO, "write");
            return {0, platform::IoEnd::Error, error_};
        }
        return recordWrite(data, length, stallTimeoutMs());
    }
    platform::IoResult read(std::uint8_t* buffer, int capacity) override
    {
        if (!open_)
            return notOpen(EBADF);
        p_.readCapacities.push_back(capacity);
        const auto& t = timeouts_;
        const std::uint64_t total =
            std::uint64_t(t.readTotalMultiplierMs) * std::uint64_t(capacity) + t.readTotalConstantMs;
        const int n = p_.take(buffer, capacity, total, t.readIntervalMs);
        if (n > 0)
            return {n, platform::IoEnd::Complete, {}};
        return {0, platform::IoEnd::Timeout, errorOf(ETIMEDOUT, "read")};
    }
    bool modemStatus(platform::ModemStatus& status) override
    {
        if (p_.modemStatusFails) {
            error_ = errorOf(EIO, "modem status");
            return false;
        }
        status.dsr = p_.dsr;
        status.cts = true;
        return true;
    }
    void close() override { closeDevice(); }
    bool isOpen() const override { return open_; }
    platform::OsError lastError() const override { return error_; }
};

// TCP/IP and USB: one read time-out, no line settings.
class FakeStream final : public platform::Port, FakePortBase {
public:
    FakeStream(FakePrinter& p, platform::DeviceKind kind) : FakePortBase(p), kind_(kind) {}
    platform::DeviceKind kind() const override { return kind_; }
    bool open(const platform::Endpoint& where) override
    {
        if (kind_ != platform::DeviceKind::Tcp)
            return openDevice(where.address);
        ++p_.openAttempts;
        p_.tcpHost = where.address;
        p_.tcpPort = where.port;
        p_.tcpConnectTimeoutMs = where.connectTimeoutMs;
        if (p_.connectFails) {
            error_ = errorOf(ECONNREFUSED, "connect");
            return false;
        }
        p_.isOpen = open_ = true;
        ++p_.opens;
        return true;
    }
    platform::IoResult write(const std::uint8_t* data, int length) override
    {
        if (!open_)
            return notOpen(ENOTCONN);
        if (kind_ == platform::DeviceKind::Usb && p_.deviceGone)
            return notOpen(ENODEV);
        if (kind_ == platform::DeviceKind::Tcp && p_.tcpAccept >= 0 && length > p_.tcpAccept) {
            auto r = recordWrite(data, p_.tcpAccept, stallTimeoutMs());
            error_ = errorOf(EPIPE, "send");
            return {r.bytes, platform::IoEnd::Error, error_};
        }
        return recordWrite(data, length, stallTimeoutMs());
    }
    platform::IoResult read(std::uint8_t* buffer, int capacity) override
    {
        if (!open_)
            return notOpen(ENOTCONN);
        if (kind_ == platform::DeviceKind::Usb && p_.deviceGone)
            return notOpen(ENODEV);
        p_.readCapacities.push_back(capacity);
        if (kind_ == platform::DeviceKind::Tcp && p_.peerClosed && p_.pending.empty())
            return {0, platform::IoEnd::Closed, errorOf(ECONNRESET, "read")};
        const int n = p_.take(buffer, capacity, static_cast<std::uint64_t>(p_.readTimeoutMs), 0);
        if (n > 0)
            return {n, platform::IoEnd::Complete, {}};
        return {0, platform::IoEnd::Timeout, errorOf(ETIMEDOUT, "read")};
    }
    void setReadTimeoutMs(int ms) override { p_.readTimeoutMs = ms; }
    void close() override { closeDevice(); }
    bool isOpen() const override { return open_; }
    platform::OsError lastError() const override { return error_; }

private:
    platform::DeviceKind kind_;
};

// The parallel port: the driver's status byte, one read time-out.
class FakeParallel final : public platform::ParallelPort, FakePortBase {
public:
    explicit FakeParallel(FakePrinter& p) : FakePortBase(p) {}
    bool open(const platform::Endpoint& where) override { return openDevice(where.address); }
    bool statusByte(std::uint8_t& status) override
    {
        if (!open_) {
            notOpen(EBADF);
            return false;
        }
        if (p_.statusFails) {
            error_ = errorOf(EIO, "status");
            return false;
        }
        status = p_.parallelStatus;
        return true;
    }
    platform::IoResult write(const std::uint8_t* data, int length) override
    {
        return open_ ? recordWrite(data, length, stallTimeoutMs()) : notOpen(EBADF);
    }
    platform::IoResult read(std::uint8_t* buffer, int capacity) override
    {
        if (!open_)
            return notOpen(EBADF);
        p_.readCapacities.push_back(capacity);
        const int n = p_.take(buffer, capacity, static_cast<std::uint64_t>(p_.readTimeoutMs), 0);
        if (n > 0)
            return {n, platform::IoEnd::Complete, {}};
        return {0, platform::IoEnd::Timeout, errorOf(ETIMEDOUT, "read")};
    }
    void setReadTimeoutMs(int ms) override { p_.readTimeoutMs = ms; }
    void close() override { closeDevice(); }
    bool isOpen() const override { return open_; }
    platform::OsError lastError() const override { return error_; }
};

} // namespace

std::unique_ptr<platform::Port> FakeDevices::makePort(platform::DeviceKind kind)
{
    switch (kind) {
    case platform::DeviceKind::Serial:
        return std::make_unique<FakeSerial>(printer_);
    case platform::DeviceKind::Tcp:
    case platform::DeviceKind::Usb:
        return std::make_unique<FakeStream>(printer_, kind);
    case platform::DeviceKind::Parallel:
        return std::make_unique<FakeParallel>(printer_);
    }
    return nullptr;
}

} // namespace platform::testing
