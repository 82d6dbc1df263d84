// The .reg text format on strings alone: what a document holds after
// parsing, and the exact text written back.
#include "platform/reg_format.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>

namespace platform::reg {
// Failed comparisons show the document as the text it stands for.
void PrintTo(const Document& doc, std::ostream* os)
{
    *os << '"' << format(doc) << '"';
}
} // namespace platform::reg

namespace reg = platform::reg;

namespace {

const std::string kHeader = "Windows Registry Editor Version 5.00\n";
const std::string kKey = "Software\\Quellix\\Corvane";
const std::string kSection = "[HKEY_LOCAL_MACHINE\\Software\\Quellix\\Corvane]\n";

std::optional<std::uint32_t> numberIn(const reg::Document& doc, const std::string& key, const std::string& name)
{
    const reg::Entry* e = reg::findValue(doc, reg::normalizeKey(key), name);
    return e ? reg::numberOf(*e) : std::nullopt;
}

std::optional<std::string> stringIn(const reg::Document& doc, const std::string& key, const std::string& name)
{
    const reg::Entry* e = reg::findValue(doc, reg::normalizeKey(key), name);
    return e ? reg::stringOf(*e) : std::nullopt;
}

// format(parse(x)) must read back as the same document and come out the
// same again.
void expectFixedPoint(std::string_view input)
{
    const reg::Document first = reg::parse(input);
    const std::string once = reg::format(first);
    const reg::Document second = reg::parse(once);
    EXPECT_EQ(second, first);
    EXPECT_EQ(reg::format(second), once);
}

TEST(RegFormat, ExportTextParsesIntoTypedValuesAndFormatsBackByteForByte)
{
    const std::string text = kHeader + "\n" + kSection
                             + "\"uPort\"=\"NET192.168.1.50\"\n"
                               "\"uBaudrate\"=dword:00002580\n"
                               "@=\"default\"\n"
                               "\"blob\"=hex:01,02,\\\n"
                               "  03,04\n"
                               "\n"
                               "[HKEY_LOCAL_MACHINE\\Software\\Quellix\\Corvane\\NV]\n"
                               "\"image001\"=\"C:\\\\logo.bmp\"\n";
    const reg::Document doc = reg::parse(text);
    EXPECT_EQ(reg::format(doc), text);

    ASSERT_EQ(doc.preamble.size(), 2u);
    ASSERT_EQ(doc.sections.size(), 2u);
    EXPECT_TRUE(doc.sections[0].machine);
    EXPECT_EQ(doc.sections[0].key, kKey);
    EXPECT_EQ(doc.sections[1].key, kKey + "\\NV");
    // The continued hex data is one entry spanning two lines.
    ASSERT_EQ(doc.sections[0].entries.size(), 5u);
    const reg::Entry& blob = doc.sections[0].entries[3];
    EXPECT_TRUE(blob.isValue);
    EXPECT_EQ(blob.kind, reg::ValueKind::Hex);
    EXPECT_EQ(blob.hexType, reg::kTypeBinary);
    EXPECT_EQ(blob.bytes, (std::vector<std::uint8_t>{1, 2, 3, 4}));

    EXPECT_EQ(stringIn(doc, kKey, "uPort"), "NET192.168.1.50");
    EXPECT_EQ(numberIn(doc, kKey, "uBaudrate"), 9600u);
    EXPECT_EQ(stringIn(doc, kKey, ""), "default");
    EXPECT_EQ(stringIn(doc, kKey + "\\NV", "image001"), "C:\\logo.bmp");
    // A number is not a string and the other way round.
    EXPECT_EQ(stringIn(doc, kKey, "uBaudrate"), std::nullopt);
    EXPECT_EQ(numberIn(doc, kKey, "uPort"), std::nullopt);
    EXPECT_EQ(numberIn(doc, kKey, "blob"), std::nullopt);
}

TEST(RegFormat, NamesAndKeysIgnoreAsciiCaseAndKeepTheirSpelling)
{
    reg::Document doc = reg::parse(kHeader + "\n" + kSection + "\"uPort\"=\"COM1\"\n");
    EXPECT_EQ(stringIn(doc, "SOFTWARE\\quellix\\CORVANE", "UPORT"), "COM1");
    // Only ASCII folds: a different non-ASCII byte is a different name.
    EXPECT_TRUE(reg::equalsNoCase("uPort\xC3\xA4", "UPORT\xC3\xA4"));
    EXPECT_FALSE(reg::equalsNoCase("\xC3\xA4", "\xC3\x84"));
    EXPECT_FALSE(reg::equalsNoCase("uPort", "uPorts"));

    reg::setString(doc, reg::normalizeKey("software\\QUELLIX\\corvane"), "UPORT", "COM2");
    reg::setNumber(doc, reg::normalizeKey("SOFTWARE\\Quellix\\CORVANE\\nv"), "Count", 2);
    EXPECT_EQ(reg::format(doc), kHeader + "\n" + kSection
                                    + "\"uPort\"=\"COM2\"\n"
                                      "\n"
                                      "[HKEY_LOCAL_MACHINE\\Software\\Quellix\\Corvane\\nv]\n"
                                      "\"Count\"=dword:00000002\n");
}

TEST(RegFormat, DuplicateValuesAndKeysResolveAsAnImportWould)
{
    const reg::Document doc = reg::parse(kHeader + kSection + "\"a\"=dword:1\n\"A\"=dword:2\n" + kSection
                                         + "\"a\"=\"three\"\n\"b\"=dword:4\n");
    EXPECT_EQ(stringIn(doc, kKey, "a"), "three");
    EXPECT_EQ(numberIn(doc, kKey, "a"), std::nullopt);
    EXPECT_EQ(numberIn(doc, kKey, "b"), 4u);
}

TEST(RegFormat, QuotedTextEscapesOnlyBackslashAndQuote)
{
    struct Case {
        const char* line;
        std::optional<std::string> value;
    };
    const Case cases[] = {
        {R"("s"="plain")", "plain"},
        {R"("s"="a\\b")", "a\\b"},
        {R"("s"="say \"hi\"")", "say \"hi\""},
        {R"("s"="C:\Temp")", "C:\\Temp"},  // a lone backslash is literal
        {R"("s"="ends\\")", "ends\\"},
        {R"("s"="")", ""},
        {R"("s" = "spaced" )", "spaced"},
        {R"("s"="unterminated)", std::nullopt},
        {R"("s"="tail\")", std::nullopt},  // \" does not close the string
        {R"("s"="x"y)", std::nullopt},
        {R"("s"=)", std::nullopt},
        {R"(s="unquoted name")", std::nullopt},
    };
    for (const Case& c : cases) {
        const reg::Document doc = reg::parse(kSection + c.line + "\n");
        EXPECT_EQ(stringIn(doc, kKey, "s"), c.value) << c.line;
        // Whatever could not be read is still there to be written back.
        EXPECT_EQ(reg::format(doc), kSection + c.line + "\n") << c.line;
    }

    // Written strings and names read back as they were.
    reg::Document doc = reg::parse("");
    const std::string tricky[] = {"\\\\.\\COM3", "\"", "\\", "a\\\"b", "B\xC3\xBCro"};
    for (const std::string& s : tricky)
        reg::setString(doc, kKey, s, s);
    const reg::Document back = reg::parse(reg::format(doc));
    for (const std::string& s : tricky)
        EXPECT_EQ(stringIn(back, kKey, s), s) << s;
}

TEST(RegFormat, DwordsTakeOneToEightHexDigits)
{
    struct Case {
        const char* data;
        std::optional<std::uint32_t> value;
    };
    const Case cases[] = {
        {"dword:00002580", 9600u},
        {"dword:1", 1u},
        {"DWORD:ffffFFFF", 0xFFFFFFFFu},
        {"dword:00000000", 0u},
        {"dword:123456789", std::nullopt},
        {"dword:", std::nullopt},
        {"dword:12g4", std::nullopt},
        {"dword:-1", std::nullopt},
        {"dword: 1", std::nullopt},
        {"hex(4):80,25,00,00", 9600u},
        {"hex(4):ff,ff,ff,7f", 0x7FFFFFFFu},
        {"hex(4):80,25,00", std::nullopt},
        {"hex(4):80,25,00,00,00", std::nullopt},
        {"hex(4):80,,00,00", std::nullopt},
        {"hex(4):180,25,00,00", std::nullopt},
        {"hex(b):80,25,00,00", std::nullopt},
        {"hex:80,25,00,00", std::nullopt},
        {"\"9600\"", std::nullopt},
    };
    for (const Case& c : cases) {
        const reg::Document doc = reg::parse(kSection + "\"n\"=" + c.data + "\n");
        EXPECT_EQ(numberIn(doc, kKey, "n"), c.value) << c.data;
    }

    // Numbers are written as eight lower-case digits.
    reg::Document doc = reg::parse(kSection);
    reg::setNumber(doc, kKey, "n", 0xABCDEFu);
    EXPECT_EQ(reg::format(doc), kSection + "\"n\"=dword:00abcdef\n");
}

TEST(RegFormat, Utf16StringDataReadsToItsTerminator)
{
    const reg::Document doc = reg::parse(kSection
                                         + "\"sz\"=hex(1):41,00,42,00,00,00,43,00\n"
                                           "\"expand\"=hex(2):25,00,54,00,25,00,00,00\n"
                                           "\"pair\"=hex(1):3d,d8,00,de,00,00\n"
                                           "\"lone\"=hex(1):00,d8,41,00\n"
                                           "\"odd\"=hex(1):41,00,42\n");
    EXPECT_EQ(stringIn(doc, kKey, "sz"), "AB");
    EXPECT_EQ(stringIn(doc, kKey, "expand"), "%T%");
    EXPECT_EQ(stringIn(doc, kKey, "pair"), "\xF0\x9F\x98\x80");
    EXPECT_EQ(stringIn(doc, kKey, "lone"), "\xEF\xBF\xBD" "A");
    EXPECT_EQ(stringIn(doc, kKey, "odd"), "A");
}

TEST(RegFormat, EverythingNotWrittenByUsStaysAsItWas)
{
    const std::string before = "; a comment before the header\n" + kHeader
                               + "[HKEY_CURRENT_USER\\Software\\Quellix\\Corvane]\n"
                                 "\"other\"=\"root\"\n"
                                 "[-HKEY_LOCAL_MACHINE\\Software\\Old]\n"
                                 "[HKEY_LOCAL_MACHINE]\n"
                                 "\"atRoot\"=dword:1\n"
                               + kSection
                               + "  \"indented\"  =  dword:00000001\n"
                                 "garbage that is no value\n"
                                 "\"removed\"=-\n"
                                 "\"wide\"=hex(7):61,00,00,00,\\\n"
                                 "  00,00\n"
                                 "\"cut\"=hex:01,\\\n"
                                 "[HKEY_LOCAL_MACHINE\\Software\\Quellix\\Corvane\\NV]\n"
                                 "\"x\"=dword:2\n";
    reg::Document doc = reg::parse(before);
    EXPECT_EQ(reg::format(doc), before);
    EXPECT_EQ(stringIn(doc, kKey, "other"), std::nullopt);  // another root
    EXPECT_EQ(numberIn(doc, kKey, "indented"), 1u);
    EXPECT_EQ(numberIn(doc, kKey, "removed"), std::nullopt);
    EXPECT_EQ(numberIn(doc, kKey + "\\NV", "x"), 2u);

    // Changing one value rewrites its line only; a new one goes after the
    // key's last line.
    reg::setNumber(doc, kKey, "INDENTED", 5);
    reg::setNumber(doc, kKey, "added", 6);
    std::string expected = before;
    expected.replace(expected.find("  \"indented\"  =  dword:00000001"), 31, "\"indented\"=dword:00000005");
    expected.insert(expected.find("[HKEY_LOCAL_MACHINE\\Software\\Quellix\\Corvane\\NV]"),
                    "\"added\"=dword:00000006\n");
    EXPECT_EQ(reg::format(doc), expected);
}

TEST(RegFormat, RemovingKeysTakesSubkeysButNotSiblings)
{
    reg::Document doc = reg::parse("");
    reg::setNumber(doc, kKey, "a", 1);
    reg::setNumber(doc, kKey + "\\NV", "b", 2);
    reg::setNumber(doc, kKey + "X", "c", 3);
    EXPECT_TRUE(reg::removeValue(doc, kKey, "A"));
    EXPECT_FALSE(reg::removeValue(doc, kKey, "a"));
    EXPECT_TRUE(reg::removeKey(doc, reg::normalizeKey("software\\quellix\\corvane\\")));
    EXPECT_FALSE(reg::removeKey(doc, kKey));
    EXPECT_EQ(numberIn(doc, kKey + "\\NV", "b"), std::nullopt);
    EXPECT_EQ(numberIn(doc, kKey + "X", "c"), 3u);
    EXPECT_EQ(reg::format(doc), kHeader + "\n[HKEY_LOCAL_MACHINE\\Software\\Quellix\\CorvaneX]\n"
                                          "\"c\"=dword:00000003\n");
}

TEST(RegFormat, OddInputStillParsesAndReachesAFixedPoint)
{
    // A blank file gets the header; one with content keeps what it has.
    EXPECT_EQ(reg::format(reg::parse("")), kHeader);
    EXPECT_EQ(reg::format(reg::parse(" \n\n")), kHeader);
    EXPECT_EQ(reg::format(reg::parse("not a header")), "not a header\n");

    // CRLF and doubled CRs end lines; output uses LF.
    const std::string crlf = "x\r\n" + std::string("[HKEY_LOCAL_MACHINE\\K]\r\r\n\"a\"=dword:1\r\n");
    EXPECT_EQ(reg::format(reg::parse(crlf)), "x\n[HKEY_LOCAL_MACHINE\\K]\n\"a\"=dword:1\n");
    EXPECT_EQ(numberIn(reg::parse(crlf), "K", "a"), 1u);

    // A UTF-8 byte order mark does not hide the first section.
    const std::string bom = "\xEF\xBB\xBF[HKEY_LOCAL_MACHINE\\K]\n\"a\"=dword:2\n";
    EXPECT_EQ(numberIn(reg::parse(bom), "K", "a"), 2u);
    EXPECT_EQ(reg::format(reg::parse(bom)), bom);

    // A UTF-16LE file is read and written back as UTF-8.
    std::string wide = "\xFF\xFE";
    const std::u16string units = u"[HKEY_LOCAL_MACHINE\\K]\r\n\"s\"=\"\u00FC\u6771\"\r\n";
    for (char16_t u : units) {
        wide += static_cast<char>(u & 0xFF);
        wide += static_cast<char>(u >> 8);
    }
    const reg::Document fromWide = reg::parse(wide);
    EXPECT_EQ(stringIn(fromWide, "K", "s"), "\xC3\xBC\xE6\x9D\xB1");
    EXPECT_EQ(reg::format(fromWide), "[HKEY_LOCAL_MACHINE\\K]\n\"s\"=\"\xC3\xBC\xE6\x9D\xB1\"\n");

    const std::string odd[] = {
        "",
        "[",
        "[]\n\"a\"=dword:1",
        "[HKEY_LOCAL_MACHINE\\]\n\"a\"=dword:1\n",
        std::string("[HKEY_LOCAL_MACHINE\\K]\n\"a\0b\"=\"x\0y\"\n", 30),
        "[HKEY_LOCAL_MACHINE\\K]\n\"h\"=hex:01,\\\n",
        "[HKEY_LOCAL_MACHINE\\K]\n\"h\"=hex(:01\n\"i\"=hex(zz):01\n\"j\"=hex()\n",
        "\r\r\r",
        "a\rb\n\r\n",
        "\xFF\xFE",
        "\xFF\xFE\x41",
        wide,
        crlf,
        bom,
    };
    for (const std::string& input : odd) {
        SCOPED_TRACE(input);
        expectFixedPoint(input);
    }
}

} // namespace
