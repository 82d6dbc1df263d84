// The POS printer's memory switches byte by byte: writes only inside the
// user setting mode, "2" leaving a pin, reads, the muted read, the two print
// counts, the text form and the options that set them.
#include "sim/models.h"
#include "sim/options.h"
#include "sim/pos_printer.h"
#include "sim/printer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace std::string_literals;

sim::Printer makePrinter(sim::PosConfig pos = {})
{
    const sim::ModelInfo* info = sim::findModelIn(sim::posPersonality, "KTP-M880");
    EXPECT_NE(info, nullptr);
    sim::PrinterConfig config = sim::posPersonality.configFor(*info);
    config.pos = std::move(pos);
    return sim::Printer(sim::posPersonality, std::move(config));
}

std::string read(int sw)
{
    return "\x1d\x28\x45\x02\x00\x04"s + static_cast<char>(sw);
}

std::string write(int sw, const std::string& chars)
{
    return "\x1d\x28\x45\x0a\x00\x03"s + static_cast<char>(sw) + chars;
}

const std::string kIn = "\x1d\x28\x45\x03\x00\x01IN"s;
const std::string kOut = "\x1d\x28\x45\x04\x00\x02OUT"s;

const sim::PosPrinter& pos(const sim::Printer& p)
{
    return *sim::posPrinterOf(p);
}

TEST(PosSwitches, WritesApplyOnlyInsideTheSettingModeAndTwoLeavesAPin)
{
    sim::PosConfig config;
    config.switches.values[1] = 0b00000011;
    sim::Printer printer = makePrinter(config);
    EXPECT_EQ(printer.receive(read(1)), (std::vector<std::string>{"\x37\x21" "00000011\0"s}));

    EXPECT_TRUE(printer.receive(write(1, "11111111")).empty());
    EXPECT_EQ(pos(printer).switches().value(1), 0b00000011);

    EXPECT_EQ(printer.receive(kIn), (std::vector<std::string>{"\x37\x20\x00"s}));
    EXPECT_TRUE(pos(printer).switches().inSettingMode());
    // Byte by byte, to check the length handling.
    for (char c : write(1, "12222220"))
        printer.receive(std::string(1, c));
    printer.receive(write(12, "00000011") + kOut);
    EXPECT_FALSE(pos(printer).switches().inSettingMode());
    EXPECT_EQ(pos(printer).switches().value(1), 0b10000010);
    EXPECT_EQ(pos(printer).switches().value(12), 0b00000011);
    printer.receive(write(2, "11111111"));
    EXPECT_EQ(pos(printer).switches().value(2), 0);

    const std::string report = printer.report();
    EXPECT_NE(report.find("pos.switch-writes: 2\n"), std::string::npos);
    EXPECT_NE(report.find("pos.ignored-switch-writes: 2\n"), std::string::npos);
    EXPECT_NE(report.find("pos.msw.1: 10000010\n"), std::string::npos);
    EXPECT_NE(report.find("pos.msw.12: 00000011\n"), std::string::npos);
    EXPECT_EQ(printer.state()->saveText().find("pos.msw.1: 10000010\n"), 0u);
    EXPECT_EQ(printer.stateChanges(), 2u);
}

TEST(PosSwitches, AMutedReadIsTakenAndNeverAnsweredAndPrintsAreCounted)
{
    sim::PosConfig config;
    config.switches.mutedReads = {11};
    sim::Printer printer = makePrinter(config);
    EXPECT_TRUE(printer.receive(read(11)).empty());
    EXPECT_EQ(printer.receive(read(12)).size(), 1u);
    printer.receive("\x1b\x39\x05\x1b\x39\x06\x1b\x39\x06"s);
    const std::string report = printer.report();
    EXPECT_NE(report.find("pos.switch-reads: 2\n"), std::string::npos);
    EXPECT_NE(report.find("pos.codepage-prints: 1\n"), std::string::npos);
    EXPECT_NE(report.find("pos.status-prints: 2\n"), std::string::npos);
}

TEST(PosSwitches, TextFormRoundTripsAndRefusesBadLines)
{
    sim::PosSwitchValues values{};
    values[200] = 0x81;
    values[4] = 0x10;
    const std::string text = sim::formatPosSwitches(values);
    EXPECT_NE(text.find("pos.msw.3: 00000000\n"), std::string::npos);
    EXPECT_NE(text.find("pos.msw.200: 10000001\n"), std::string::npos);
    EXPECT_EQ(text.find("pos.msw.7:"), std::string::npos);
    sim::PosSwitchValues back{};
    std::string error;
    ASSERT_TRUE(sim::applyPosSwitchText("# comment\n\n" + text, back, error)) << error;
    EXPECT_EQ(back, values);
    for (const char* bad : {"pos.msw.0: 00000000", "pos.msw.256: 00000000", "pos.msw.1: 0000000",
                            "pos.msw.1: 00000002", "switch.1: 00000000", "pos.msw.1 00000000"}) {
        SCOPED_TRACE(bad);
        sim::PosSwitchValues v = values;
        EXPECT_FALSE(sim::applyPosSwitchText(bad, v, error));
        EXPECT_EQ(v, values);
    }
}

TEST(PosSwitches, Options)
{
    const auto parsed = [](std::vector<std::string_view> args) { return sim::parseOptions(args); };
    auto r = parsed({"--personality", "pos", "--pty", "--msw", "2=00011101", "--mute-switch", "12"});
    ASSERT_TRUE(r.ok()) << r.error;
    EXPECT_EQ(r.options.printer.pos.switches.values[2], 0b00011101);
    EXPECT_EQ(r.options.printer.pos.switches.mutedReads, (std::set<int>{12}));
    EXPECT_TRUE(parsed({"--personality", "pos", "--pty", "--state", "/tmp/x"}).ok());
    EXPECT_FALSE(parsed({"--personality", "pos", "--pty", "--msw", "0=00000000"}).ok());
    EXPECT_FALSE(parsed({"--personality", "pos", "--pty", "--msw", "1=0000000x"}).ok());
    EXPECT_FALSE(parsed({"--personality", "pos", "--pty", "--mute-switch", "300"}).ok());
    EXPECT_FALSE(parsed({"--pty", "--msw", "1=00000000"}).ok());
}

} // namespace
