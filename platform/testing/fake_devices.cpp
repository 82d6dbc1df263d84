#include "platform/testing/fake_devices.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace corvane::testing {

Bytes bytesOf(const std::string& text, bool withNul)
{
    Bytes out(text.begin(), text.end());
    if (withNul)
        out.push_back(0);
    return out;
}

void FakePrinter::reply(const Bytes& data, std::uint64_t delayMs)
{
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

int recordWrite(FakePrinter& p, const std::uint8_t* data, int length)
{
    int n = length;
    if (p.writeLimit >= 0)
        n = std::min(n, p.writeLimit);
    Bytes chunk(data, data + std::max(n, 0));
    p.written.insert(p.written.end(), chunk.begin(), chunk.end());
    p.writes.push_back(chunk);
    p.writeTimes.push_back(p.clock.tickMs());
    if (p.onWrite)
        p.onWrite(chunk);
    return n;
}

// A serial or USB open: fails while failOpens lasts, else records the name.
bool openDevice(FakePrinter& p, const std::string& name, platform::OsError& error)
{
    ++p.openAttempts;
    if (p.failOpens > 0) {
        --p.failOpens;
        error = errorOf(p.openErrno, "open");
        return false;
    }
    p.openedName = name;
    p.isOpen = true;
    ++p.opens;
    return true;
}

class FakeSerial final : public platform::SerialIo {
public:
    explicit FakeSerial(FakePrinter& p) : p_(p) {}
    bool open(const std::string& name) override
    {
        return open_ = openDevice(p_, name, error_);
    }
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
        p_.timeouts = t;
        p_.timeoutHistory.push_back(t);
        return true;
    }
    bool purge() override
    {
        ++p_.purges;
        return true;
    }
    int write(const std::uint8_t* data, int length) override
    {
        if (!open_)
            return 0;
        if (length == 1 && p_.probeFails && p_.writes.empty()) {
            error_ = errorOf(EIO, "write");
            return 0;
        }
        return recordWrite(p_, data, length);
    }
    int read(std::uint8_t* buffer, int capacity) override
    {
        if (!open_)
            return 0;
        p_.readCapacities.push_back(capacity);
        const auto& t = p_.timeouts;
        const std::uint64_t total =
            std::uint64_t(t.readTotalMultiplierMs) * std::uint64_t(capacity) + t.readTotalConstantMs;
        return p_.take(buffer, capacity, total, t.readIntervalMs);
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
    void close() override
    {
        if (open_)
            ++p_.closes;
        p_.isOpen = open_ = false;
    }
    bool isOpen() const override { return open_; }
    platform::OsError lastError() const override { return error_; }

private:
    FakePrinter& p_;
    bool open_ = false;
    platform::OsError error_;
};

class FakeTcp final : public platform::TcpIo {
public:
    explicit FakeTcp(FakePrinter& p) : p_(p) {}
    bool connect(const std::string& ipv4, std::uint16_t port, int timeoutMs) override
    {
        ++p_.openAttempts;
        p_.tcpHost = ipv4;
        p_.tcpPort = port;
        p_.tcpConnectTimeoutMs = timeoutMs;
        if (p_.connectFails) {
            error_ = errorOf(ECONNREFUSED, "connect");
            return false;
        }
        p_.isOpen = open_ = true;
        ++p_.opens;
        return true;
    }
    int send(const std::uint8_t* data, int length) override
    {
        return open_ ? recordWrite(p_, data, length) : -1;
    }
    int receive(std::uint8_t* buffer, int capacity, int timeoutMs) override
    {
        if (!open_)
            return -1;
        p_.readCapacities.push_back(capacity);
        const int n = p_.take(buffer, capacity, static_cast<std::uint64_t>(timeoutMs), 0);
        return n > 0 ? n : -1;
    }
    void close() override
    {
        if (open_)
            ++p_.closes;
        p_.isOpen = open_ = false;
    }
    bool isOpen() const override { return open_; }
    platform::OsError lastError() const override { return error_; }

private:
    FakePrinter& p_;
    bool open_ = false;
    platform::OsError error_;
};

class FakeUsb final : public platform::UsbPrinterIo {
public:
    explicit FakeUsb(FakePrinter& p) : p_(p) {}
    bool open(const std::string& path) override
    {
        return open_ = openDevice(p_, path, error_);
    }
    int write(const std::uint8_t* data, int length) override
    {
        return open_ ? recordWrite(p_, data, length) : 0;
    }
    int read(std::uint8_t* buffer, int capacity, int timeoutMs) override
    {
        if (!open_)
            return 0;
        p_.readCapacities.push_back(capacity);
        return p_.take(buffer, capacity, static_cast<std::uint64_t>(timeoutMs), 0);
    }
    void close() override
    {
        if (open_)
            ++p_.closes;
        p_.isOpen = open_ = false;
    }
    bool isOpen() const override { return open_; }
    platform::OsError lastError() const override { return error_; }

private:
    FakePrinter& p_;
    bool open_ = false;
    platform::OsError error_;
};

} // namespace

std::unique_ptr<platform::SerialIo> FakeDevices::makeSerial()
{
    return std::make_unique<FakeSerial>(printer_);
}

std::unique_ptr<platform::TcpIo> FakeDevices::makeTcp()
{
    return std::make_unique<FakeTcp>(printer_);
}

std::unique_ptr<platform::UsbPrinterIo> FakeDevices::makeUsb()
{
    return std::make_unique<FakeUsb>(printer_);
}

} // namespace corvane::testing
