// The POS personality byte by byte: its replies, the commands it takes
// silently, the self test count and the knobs.
#include "sim/models.h"
#include "sim/options.h"
#include "sim/pos_printer.h"
#include "sim/printer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace std::string_literals;

sim::Printer makePrinter(const char* model, sim::PosConfig pos = {})
{
    const sim::ModelInfo* info = sim::findModelIn(sim::posPersonality, model);
    EXPECT_NE(info, nullptr);
    sim::PrinterConfig config = sim::posPersonality.configFor(*info);
    config.pos = std::move(pos);
    return sim::Printer(sim::posPersonality, std::move(config));
}

std::vector<std::string> feed(sim::Printer& printer, const std::string& bytes)
{
    return printer.receive(bytes);
}

TEST(PosPrinter, AnswersTheIdentificationQueries)
{
    sim::Printer printer = makePrinter("KTP-M882");
    EXPECT_EQ(feed(printer, "\x1d\x49\x03"), (std::vector<std::string>{"c"}));
    EXPECT_EQ(feed(printer, "\x1d\x49\x42"), (std::vector<std::string>{"_QUELLIX\0"s}));
    EXPECT_EQ(feed(printer, "\x1d\x49\x43"), (std::vector<std::string>{"_KTP-M882\0"s}));
    EXPECT_EQ(feed(printer, "\x1d\x49\x41"), (std::vector<std::string>{"_V2.00\0"s}));
    EXPECT_EQ(feed(printer, "\x1d\x49\x45"), (std::vector<std::string>{"_ENGLISH\0"s}));
}

TEST(PosPrinter, TakesTheSetupCommandsSilentlyInAnyChunkingAndCountsTheSelfTest)
{
    sim::Printer printer = makePrinter("KTP-M880");
    const std::string stream = "\x1b\x40\x1b\x3d\x01\x1d\x61\x00\x1d\x28\x41\x02\x00\x01\x02\x1d\x49\x03"s;
    std::vector<std::string> replies;
    for (char c : stream) {
        for (std::string& r : feed(printer, std::string(1, c)))
            replies.push_back(std::move(r));
    }
    EXPECT_EQ(replies, (std::vector<std::string>{"c"}));
    EXPECT_EQ(printer.stats().commands, 5u);
    EXPECT_NE(printer.report().find("pos.resets: 1\npos.selftests: 1\npos.test-prints: 1\n"), std::string::npos);
    // Another test print is not the status sheet.
    feed(printer, "\x1d\x28\x41\x02\x00\x00\x02"s);
    EXPECT_NE(printer.report().find("pos.selftests: 1\npos.test-prints: 2\n"), std::string::npos);
}

TEST(PosPrinter, RawRepliesMutedCommandsAndStrayBytes)
{
    sim::PosConfig pos;
    pos.rawReplies["\x1d\x49\x42"] = "_QUELL";         // no NUL
    pos.rawReplies["\x1d\x49\x99"] = "xyz";            // no command of the printer's
    pos.muted.insert("\x1d\x49\x03");
    pos.strayBefore["\x1d\x49\x43"] = "\x12\x00"s;
    pos.makerReply = "_OTHER";
    sim::Printer printer = makePrinter("KTP-M880", pos);
    EXPECT_TRUE(feed(printer, "\x1d\x49\x03").empty());
    EXPECT_EQ(feed(printer, "\x1d\x49\x42"), (std::vector<std::string>{"_QUELL"}));
    EXPECT_EQ(feed(printer, "\x1d\x49\x99"), (std::vector<std::string>{"xyz"}));
    EXPECT_EQ(feed(printer, "\x1d\x49\x43"), (std::vector<std::string>{"\x12\x00_KTP-M880\0"s}));
    EXPECT_EQ(feed(printer, "\x1d\x49\x41"), (std::vector<std::string>{"_V2.00\0"s}));
}

TEST(PosPrinter, OptionsSetTheKnobsOnlyForThePosPersonality)
{
    const std::vector<std::string_view> args{"--pty", "--model", "ktp-m882", "--maker", "_ACME", "--pos-raw",
                                             "1d4943=5f4b54502d4d38393000", "--mute", "1d4903",
                                             "--stray-before", "1d4942=4142"};
    const sim::ParseResult r = sim::parseOptions(args);
    ASSERT_TRUE(r.ok()) << r.error;
    EXPECT_EQ(r.options.personality, &sim::posPersonality);
    EXPECT_EQ(r.options.printer.pos.makerReply, "_ACME");
    EXPECT_EQ(r.options.printer.pos.rawReplies.at("\x1d\x49\x43"), "_KTP-M890\0"s);
    EXPECT_EQ(r.options.printer.pos.muted.count("\x1d\x49\x03"), 1u);
    EXPECT_EQ(r.options.printer.pos.strayBefore.at("\x1d\x49\x42"), "AB");

    const std::vector<std::string_view> mobile{"--pty", "--maker", "_ACME"};
    EXPECT_NE(sim::parseOptions(mobile).error.find("--personality pos"), std::string::npos);
    const std::vector<std::string_view> bad{"--pty", "--personality", "pos", "--pos-raw", "1d49"};
    EXPECT_FALSE(sim::parseOptions(bad).ok());
    const std::vector<std::string_view> drop{"--pty", "--personality", "pos", "--drop-client-after", "5"};
    EXPECT_FALSE(sim::parseOptions(drop).ok());
}

} // namespace
