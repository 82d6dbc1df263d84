// A scripted mobile printer for the memory switch tests: replies by command,
// on a manual clock, behind the fake port.
#pragma once

#include "corvane/switches/CCommonTlvr.h"
#include "platform/testing/fake_devices.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace tlvr_test {

using platform::testing::Bytes;
using platform::testing::bytesOf;

inline Bytes cat(std::initializer_list<Bytes> parts)
{
    Bytes all;
    for (const Bytes& p : parts)
        all.insert(all.end(), p.begin(), p.end());
    return all;
}

inline Bytes switchReply(const std::string& bits)
{
    return cat({{0x37, 0x21}, bytesOf(bits), {0x00}});
}

inline Bytes serialReply(int item, const std::string& data)
{
    return cat({{0x37, 0x33, static_cast<std::uint8_t>('0' + item), 0x1F}, bytesOf(data), {0x00}});
}

inline Bytes readSwitchGs(int n) { return {0x1D, 0x28, 0x45, 0x02, 0x00, 0x04, static_cast<std::uint8_t>(n)}; }
inline Bytes readSwitchBs(int n) { return {0x08, 0x5E, 0x45, 0x02, 0x00, 0x04, static_cast<std::uint8_t>(n)}; }
inline Bytes readSerialGs(int i) { return {0x1D, 0x28, 0x45, 0x02, 0x00, 0x0C, static_cast<std::uint8_t>(i)}; }
inline Bytes readSerialBs(int i) { return {0x08, 0x5E, 0x45, 0x02, 0x00, 0x0C, static_cast<std::uint8_t>(i)}; }
inline const Bytes kBeginGs{0x1D, 0x28, 0x45, 0x03, 0x00, 0x01, 'I', 'N'};
inline const Bytes kBeginBs{0x08, 0x5E, 0x45, 0x01, 0x00, 0x01};
inline const Bytes kAck{0x37, 0x20, 0x00};

// Replies by command, found by equality; each entry may hold several chunks.
struct Script {
    std::vector<std::pair<Bytes, std::vector<Bytes>>> entries;
    void on(const Bytes& command, std::vector<Bytes> chunks) { entries.emplace_back(command, std::move(chunks)); }
    void on(const Bytes& command, const Bytes& reply) { on(command, std::vector<Bytes>{reply}); }
    const std::vector<Bytes>* find(const Bytes& command) const
    {
        // The latest entry wins, so a test can override a default.
        for (auto it = entries.rbegin(); it != entries.rend(); ++it) {
            if (it->first == command)
                return &it->second;
        }
        return nullptr;
    }
};

// A printer that answers every read of the get and the setting mode's
// start, in both command forms.
inline void scriptAnsweringPrinter(Script& script, const std::string& model, const std::string& version,
                                   std::uint8_t msr = '0')
{
    script.on({0x1D, 0x49, 0x43}, bytesOf("_" + model, true));
    script.on({0x1D, 0x49, 0x41}, bytesOf(version, true));
    script.on({0x1D, 0x49, 0x45}, bytesOf("_PC437", true));
    script.on({0x1B, 0x4D, 0x49}, Bytes{0x37, 0x80, msr, 0x00});
    const std::pair<int, const char*> switches[] = {{1, "00001100"}, {2, "00000000"}, {3, "00000001"},
                                                    {5, "00001111"}, {6, "00001010"}, {7, "01110000"},
                                                    {8, "00000000"}, {0x51, "00000001"}};
    for (auto [n, bits] : switches) {
        script.on(readSwitchGs(n), switchReply(bits));
        script.on(readSwitchBs(n), switchReply(bits));
    }
    script.on({0x1D, 0x28, 0x45, 0x02, 0x00, 0x04, 0x50}, switchReply("00000001"));
    const std::pair<int, const char*> serial[] = {{1, "115200"}, {2, "0"}, {3, "0"}, {4, "8"}};
    for (auto [item, data] : serial) {
        script.on(readSerialGs(item), serialReply(item, data));
        script.on(readSerialBs(item), serialReply(item, data));
    }
    for (std::uint8_t t : {'1', '2', '3'}) {
        script.on({0x08, 0x4D, 0x53, 0x02, 0x00, 0x34, t},
                  cat({{0x37, 0x81, t}, bytesOf("START"), {t, 0x1F}, bytesOf("END"), {t, 0x00}}));
    }
    script.on({0x1F, 0x1F, 0x69, 'c'}, cat({{0x37, 0x42}, bytesOf("c2"), {0x00}}));
    script.on({0x1F, 0x1F, 0x69, 'd'}, cat({{0x37, 0x42}, bytesOf("d" + model), {0x00}}));
    script.on({0x1F, 0x1F, 0x69, 'k'}, cat({{0x37, 0x42}, bytesOf("k9274"), {0x00}}));
    script.on({0x1F, 0x1F, 0x69, 's'}, cat({{0x37, 0x42}, bytesOf("s1"), {0x00}}));
    script.on(kBeginGs, kAck);
    script.on(kBeginBs, kAck);
}

struct TlvrTest : ::testing::Test {
    platform::ManualClock clock{5000};
    platform::testing::FakePrinter printer{clock};
    platform::testing::FakeDevices devices{printer};
    corvane::CCommonUtil util{clock, devices};
    corvane::CCommonTlvr record{util, clock};
    Script script;
    std::uint64_t chunkGapMs = 20;

    void SetUp() override
    {
        printer.onWrite = [this](const Bytes& data) {
            const std::vector<Bytes>* chunks = script.find(data);
            if (chunks == nullptr)
                return;
            std::uint64_t delay = 0;
            for (const Bytes& chunk : *chunks) {
                printer.reply(chunk, delay);
                delay += chunkGapMs;
            }
        };
        util.settings.portName = "COM2";
        util.ApplyPortSettings();
        ASSERT_EQ(util.port.Open(), 1);
        printer.writes.clear();
        printer.written.clear();
    }

    // Poses as an identified printer.
    void identified(int model, std::uint32_t version, std::uint8_t msrMode = '0', std::string name = "KMP-Z600")
    {
        util.g_Model = model;
        util.g_Getver = version;
        util.msrMode = msrMode;
        util.modelName = std::move(name);
    }

    std::vector<Bytes> sent() const { return printer.writes; }
};

} // namespace tlvr_test
