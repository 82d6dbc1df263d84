// Test support for the board link: the scripted fake printer behind a device
// table whose roots point at a fake sysfs/dev tree, with knobs the shared
// fake lacks (CTS, a failing read), and a board script that answers each
// write with the next reply, in pieces.
#pragma once

#include "pavix/protocol/IfMessage.h"
#include "platform/serial_port.h"
#include "platform/testing/fake_devices.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace pavix::testing {

using platform::testing::Bytes;
using platform::testing::FakePrinter;

struct Knobs {
    bool cts = true;
    int readErrno = 0; // nonzero: every read fails with this code
};

// Forwards to the shared fake, with the knobs applied.
class KnobSerial final : public platform::SerialPort {
public:
    KnobSerial(std::unique_ptr<platform::Port> inner, Knobs& knobs)
        : inner_(std::move(inner)), serial_(inner_->asSerial()), knobs_(knobs) {}
    bool open(const platform::Endpoint& where) override { return serial_->open(where); }
    void close() override { serial_->close(); }
    bool isOpen() const override { return serial_->isOpen(); }
    platform::IoResult write(const std::uint8_t* data, int length) override
    {
        serial_->setStallTimeoutMs(stallTimeoutMs());
        return serial_->write(data, length);
    }
    platform::IoResult read(std::uint8_t* buffer, int capacity) override
    {
        if (knobs_.readErrno != 0)
            return {0, platform::IoEnd::Error, platform::OsError{knobs_.readErrno, "read", "fake"}};
        return serial_->read(buffer, capacity);
    }
    platform::OsError lastError() const override { return serial_->lastError(); }
    bool configure(const platform::SerialLine& line) override { return serial_->configure(line); }
    bool setTimeouts(const platform::SerialTimeouts& t) override { return serial_->setTimeouts(t); }
    bool purge() override { return serial_->purge(); }
    platform::IoResult writeWithinTimeouts(const std::uint8_t* data, int length) override
    {
        return serial_->writeWithinTimeouts(data, length);
    }
    bool modemStatus(platform::ModemStatus& status) override
    {
        const bool ok = serial_->modemStatus(status);
        status.cts = status.cts && knobs_.cts;
        return ok;
    }

private:
    std::unique_ptr<platform::Port> inner_;
    platform::SerialPort* serial_;
    Knobs& knobs_;
};

class KnobStream final : public platform::Port {
public:
    KnobStream(std::unique_ptr<platform::Port> inner, Knobs& knobs) : inner_(std::move(inner)), knobs_(knobs) {}
    platform::DeviceKind kind() const override { return inner_->kind(); }
    bool open(const platform::Endpoint& where) override { return inner_->open(where); }
    void close() override { inner_->close(); }
    bool isOpen() const override { return inner_->isOpen(); }
    platform::IoResult write(const std::uint8_t* data, int length) override
    {
        inner_->setStallTimeoutMs(stallTimeoutMs());
        return inner_->write(data, length);
    }
    platform::IoResult read(std::uint8_t* buffer, int capacity) override
    {
        if (knobs_.readErrno != 0)
            return {0, platform::IoEnd::Error, platform::OsError{knobs_.readErrno, "read", "fake"}};
        return inner_->read(buffer, capacity);
    }
    void setReadTimeoutMs(int ms) override { inner_->setReadTimeoutMs(ms); }
    platform::OsError lastError() const override { return inner_->lastError(); }

private:
    std::unique_ptr<platform::Port> inner_;
    Knobs& knobs_;
};

class BoardDevices final : public platform::Devices {
public:
    BoardDevices(FakePrinter& printer, platform::DeviceRoots roots)
        : inner_(printer, roots.devRoot), roots_(std::move(roots)) {}
    std::unique_ptr<platform::Port> makePort(platform::DeviceKind kind) override
    {
        std::unique_ptr<platform::Port> port = inner_.makePort(kind);
        if (!port)
            return nullptr;
        if (kind == platform::DeviceKind::Serial)
            return std::make_unique<KnobSerial>(std::move(port), knobs);
        return std::make_unique<KnobStream>(std::move(port), knobs);
    }
    platform::DeviceRoots roots() override { return roots_; }

    Knobs knobs;

private:
    platform::testing::FakeDevices inner_;
    platform::DeviceRoots roots_;
};

// A temporary sysfs/dev tree with USB printer devices in it.
class FakeUsbTree {
public:
    FakeUsbTree()
    {
        char pattern[] = "/tmp/pavix-usb-XXXXXX";
        if (::mkdtemp(pattern) == nullptr) {
            ADD_FAILURE() << "mkdtemp failed";
            return;
        }
        root_ = pattern;
        roots.sysRoot = (root_ / "sys").string();
        roots.devRoot = (root_ / "dev").string();
        std::filesystem::create_directories(root_ / "dev" / "usb");
        std::filesystem::create_directories(root_ / "sys" / "class" / "usbmisc");
    }
    ~FakeUsbTree()
    {
        std::error_code ec;
        std::filesystem::remove_all(root_, ec);
    }
    FakeUsbTree(const FakeUsbTree&) = delete;
    FakeUsbTree& operator=(const FakeUsbTree&) = delete;

    // lpN on USB device `bus` with the given ids (hex text as sysfs has it).
    void add(const std::string& lp, const std::string& bus, const std::string& vendor, const std::string& product)
    {
        namespace fs = std::filesystem;
        const fs::path device = root_ / "sys" / "devices" / "usb1" / bus;
        fs::create_directories(device / (bus + ":1.0") / "usbmisc");
        std::ofstream(device / "idVendor") << vendor << "\n";
        std::ofstream(device / "idProduct") << product << "\n";
        const fs::path entry = root_ / "sys" / "class" / "usbmisc" / lp;
        fs::create_directories(entry);
        fs::create_directory_symlink("../../../devices/usb1/" + bus + "/" + bus + ":1.0", entry / "device");
        std::ofstream(root_ / "dev" / "usb" / lp) << "";
    }

    std::string node(const std::string& lp) const { return (root_ / "dev" / "usb" / lp).string(); }

    platform::DeviceRoots roots;

private:
    std::filesystem::path root_;
};

struct Piece {
    Bytes data;
    std::uint64_t delayMs = 0; // after the previous piece (the first: after the write)
};
using Answer = std::vector<Piece>;

// Answers the n-th write with the n-th answer; writes past the script get
// silence.
inline void scriptBoard(FakePrinter& printer, std::vector<Answer> answers)
{
    auto queue = std::make_shared<std::deque<Answer>>(answers.begin(), answers.end());
    printer.onWrite = [&printer, queue](const Bytes&) {
        if (queue->empty())
            return;
        std::uint64_t at = 0;
        for (const Piece& piece : queue->front()) {
            at += piece.delayMs;
            printer.reply(piece.data, at);
        }
        queue->pop_front();
    };
}

inline Bytes openerAnswer()
{
    return {0x1F, 0x57, 0x4D, 0x7F, 0x1D, 0x1F, 0x03};
}

inline Answer whole(const Bytes& data, std::uint64_t delayMs = 0)
{
    return {Piece{data, delayMs}};
}

// A message as the board frames it.
inline Bytes framed(const Bytes& message)
{
    return EncodeFrame(message);
}

} // namespace pavix::testing
