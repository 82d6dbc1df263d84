#include "platform/cli/output.h"

#include <gtest/gtest.h>

#include <sstream>

namespace platform::cli {
namespace {

using namespace std::string_literals;

TEST(Escaping, TextKeepsPrintableAsciiAndHexesTheRest)
{
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"KMP-Z400", "KMP-Z400"},
        {"", ""},
        {"a b~", "a b~"},
        {"line\nmodel code: 999", "line\\x0amodel code: 999"},
        {"\x1b[2J\x1b[H", "\\x1b[2J\\x1b[H"},
        {"back\\slash", "back\\\\slash"},
        {"\\x41", "\\\\x41"},  // an escape-looking text stays distinguishable
        {"nul\0in"s, "nul\\x00in"},
        {"\x7f\x80\xff", "\\x7f\\x80\\xff"},
        {"\r\t", "\\x0d\\x09"},
    };
    for (const auto& [raw, escaped] : cases)
        EXPECT_EQ(escapeText(raw), escaped) << ::testing::PrintToString(raw);
}

TEST(Escaping, JsonStringIsAlwaysValidAsciiJson)
{
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"VER V1.04", "\"VER V1.04\""},
        {"", "\"\""},
        {"say \"hi\"", "\"say \\\"hi\\\"\""},
        {"a\\b", "\"a\\\\b\""},
        {"x\ny", "\"x\\u000ay\""},
        {"\x1b[31m", "\"\\u001b[31m\""},
        {"\0"s, "\"\\u0000\""},
        {"\x7f\xe9", "\"\\u007f\\u00e9\""},
    };
    for (const auto& [raw, json] : cases)
        EXPECT_EQ(jsonString(raw), json) << ::testing::PrintToString(raw);
    // Every byte value: only printable ASCII comes out, nothing raw.
    std::string all;
    for (int b = 0; b < 256; ++b)
        all += static_cast<char>(b);
    for (const char c : jsonString(all))
        EXPECT_TRUE(c >= 0x20 && c <= 0x7e) << static_cast<int>(static_cast<unsigned char>(c));
}

Record forgedReply()
{
    Record r;
    r.text("model", "KMP-Z400\nmodel code: 999")
        .number("model code", 400)
        .text("firmware", "\x1b]0;owned\x07V1")
        .number("msr mode", 5, "0x05")
        .boolean("ok", true);
    return r;
}

TEST(RecordOutput, LinesCannotBeForgedByPrinterText)
{
    const std::string out = forgedReply().lines();
    EXPECT_EQ(out, "model: KMP-Z400\\x0amodel code: 999\n"
                   "model code: 400\n"
                   "firmware: \\x1b]0;owned\\x07V1\n"
                   "msr mode: 0x05\n"
                   "ok: true\n");
    std::istringstream lines(out);
    int modelCodeLines = 0;
    for (std::string line; std::getline(lines, line);)
        modelCodeLines += line.rfind("model code:", 0) == 0 ? 1 : 0;
    EXPECT_EQ(modelCodeLines, 1);
    EXPECT_EQ(out.find('\x1b'), std::string::npos);
}

TEST(RecordOutput, JsonIsOneObjectWithTypedValues)
{
    EXPECT_EQ(forgedReply().json(),
              "{\"model\": \"KMP-Z400\\u000amodel code: 999\", \"model_code\": 400, "
              "\"firmware\": \"\\u001b]0;owned\\u0007V1\", \"msr_mode\": 5, \"ok\": true}\n");
    EXPECT_EQ(Record{}.json(), "{}\n");
    EXPECT_EQ(Record{}.number("n", -7).json(), "{\"n\": -7}\n");
}

TEST(RecordOutput, QuotedTextAndNestedRecords)
{
    EXPECT_EQ(quoteText(std::string("a\"b\\c\x01 \xff", 8)), "\"a\\\"b\\\\c\\x01 \\xff\"");
    Record inner;
    inner.number("n", 1).quoted("name", " x\"");
    Record outer;
    outer.object("identity", Record{}.text("model", "Z")).object("settings", inner);
    EXPECT_EQ(outer.lines(), "model: Z\nn: 1\nname: \" x\\\"\"\n");
    EXPECT_EQ(outer.json(), "{\"identity\": {\"model\": \"Z\"}, \"settings\": {\"n\": 1, \"name\": \" x\\\"\"}}\n");
}

TEST(Unescape, ReadsBackWhatEscapeTextWritesAndRefusesOtherBackslashes)
{
    const std::string bytes("A\\\x00\x7f\xff z", 7);
    EXPECT_EQ(unescapeText(escapeText(bytes)), bytes);
    EXPECT_EQ(unescapeText("\\X4a\\x4A"), std::optional<std::string>("JJ"));
    EXPECT_EQ(unescapeText("\\n"), std::nullopt);
    EXPECT_EQ(unescapeText("\\x4"), std::nullopt);
    EXPECT_EQ(unescapeText("\\xg0"), std::nullopt);
    EXPECT_EQ(unescapeText("end\\"), std::nullopt);
}

} // namespace
} // namespace platform::cli
