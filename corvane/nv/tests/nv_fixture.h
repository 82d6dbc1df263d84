// A scripted printer behind the fake serial port for the NV exchanges and
// jobs, on the manual clock, with a registry file of its own.
#pragma once

#include "corvane/nv/CCommonNv.h"
#include "platform/registry_store.h"
#include "platform/testing/fake_devices.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace nv_test {

using platform::testing::Bytes;
using platform::testing::bytesOf;

inline const Bytes kReadKeys{0x1D, 0x28, 0x4C, 0x04, 0x00, 0x30, 0x40, 0x4B, 0x43};
inline const Bytes kAck{0x06};
inline const Bytes kCan{0x18};
inline const Bytes kModelQuery{0x1D, 0x49, 0x43};
inline const Bytes kVersionQuery{0x1D, 0x49, 0x41};

inline Bytes printKey(char k1, char k2)
{
    return {0x1D, 0x28, 0x4C, 0x06, 0x00, 0x30, 0x45, std::uint8_t(k1), std::uint8_t(k2), 0x01, 0x01};
}
inline Bytes printIndex(std::uint8_t i) { return {0x08, 0x5E, 0x4C, 0x04, 0x00, 0x45, i, 0x01, 0x01}; }

// 37 72 s keys 00
inline Bytes keyBlock(std::uint8_t status, const std::string& keys)
{
    // Filled in place: GCC 12 at -O3 reports a false overflow for an insert
    // into a vector made from an initializer list.
    Bytes b(keys.size() + 4, 0x00);
    b[0] = 0x37;
    b[1] = 0x72;
    b[2] = status;
    std::copy(keys.begin(), keys.end(), b.begin() + 3);
    return b;
}

constexpr std::uint32_t kKeyedVersion = 1040;     // "_VER V1.04"
constexpr std::uint32_t kIndexedVersion = 21001;  // "_B01.00"

struct NvTest : ::testing::Test {
    platform::ManualClock clock{5000};
    platform::testing::FakePrinter printer{clock};
    platform::testing::FakeDevices devices{printer};
    corvane::CCommonUtil util{clock, devices};
    corvane::CCommonNv nv{util, clock};
    std::string dir;
    std::unique_ptr<platform::RegistryStore> store;
    // Called with every write; may queue replies.
    std::function<void(const Bytes&)> answer;

    void SetUp() override
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "nv-test-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        dir = pattern;
        store = std::make_unique<platform::RegistryStore>(dir + "/registry.reg");
        printer.onWrite = [this](const Bytes& data) {
            if (answer)
                answer(data);
        };
        util.settings.portName = "COM2";
        util.ApplyPortSettings();
        ASSERT_EQ(util.port.Open(), 1);
        keyed();
        printer.writes.clear();
        printer.written.clear();
        printer.writeTimes.clear();
        printer.readCapacities.clear();
    }

    void TearDown() override
    {
        std::error_code ignored;
        std::filesystem::remove_all(dir, ignored);
    }

    void keyed() { util.g_Getver = kKeyedVersion; }
    void indexed() { util.g_Getver = kIndexedVersion; }

    // Replies to the key-list read with `first`, and to each ACK with the
    // next of `following` (nothing once they are used up).
    void keyListReplies(std::vector<Bytes> first, std::vector<std::vector<Bytes>> following = {})
    {
        answer = [this, first = std::move(first), following = std::move(following), next = std::size_t(0)](
                     const Bytes& data) mutable {
            const std::vector<Bytes>* chunks = nullptr;
            if (data == kReadKeys)
                chunks = &first;
            else if (data == kAck && next < following.size())
                chunks = &following[next++];
            if (chunks == nullptr)
                return;
            std::uint64_t delay = 0;
            for (const Bytes& chunk : *chunks) {
                printer.reply(chunk, delay);
                delay += 20;
            }
        };
    }

    std::size_t count(const Bytes& command) const
    {
        return std::size_t(std::count(printer.writes.begin(), printer.writes.end(), command));
    }
};

} // namespace nv_test
