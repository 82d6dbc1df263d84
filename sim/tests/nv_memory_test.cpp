// The mobile printer's NV image memory, byte by byte: both command families'
// round trips, the key list in blocks with its ACK waits and CAN, defines
// framed by their length fields whatever they hold, the define-all length
// check, long images arriving in pieces, and the report lines.
#include "sim/mobile_printer.h"
#include "sim/nv_memory.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

using namespace std::string_literals;

namespace {

std::uint32_t referenceCrc32(const std::string& bytes)
{
    std::uint32_t crc = 0xFFFFFFFFu;
    for (unsigned char byte : bytes) {
        crc ^= byte;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1u) != 0 ? (crc >> 1) ^ 0xEDB88320u : crc >> 1;
    }
    return ~crc;
}

std::string le16(unsigned v)
{
    return {static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF)};
}

std::string le32(std::uint32_t v)
{
    return le16(v & 0xFFFF) + le16(v >> 16);
}

// A raster of ceil(w/8)*h bytes with a pattern that tells images apart.
std::string raster(unsigned w, unsigned h, unsigned seed)
{
    std::string r((w + 7) / 8 * h, '\0');
    for (std::size_t i = 0; i < r.size(); ++i)
        r[i] = static_cast<char>((i * 31 + seed * 7) & 0xFF);
    return r;
}

// The host's commands, written out from the wire format.
const std::string kList = "\x1d\x28\x4c\x04\x00\x30\x40\x4b\x43"s;
const std::string kDeleteAllKeys = "\x1d\x28\x4c\x05\x00\x30\x41\x43\x4c\x52"s;
const std::string kDeleteAllIndexed = "\x08\x5e\x4c\x01\x00\x41"s;
const std::string kAck = "\x06"s;
const std::string kCan = "\x18"s;
const std::string kModelQuery = "\x1d\x49\x43"s;

std::string keyDefine(const std::string& key, unsigned w, unsigned h, const std::string& r)
{
    const std::string body = "\x30\x43\x30"s + key + "\x01"s + le16(w) + le16(h) + "\x31"s + r;
    return "\x1d\x28\x4c"s + le16(static_cast<unsigned>(body.size())) + body;
}

std::string keyDelete(const std::string& key)
{
    return "\x1d\x28\x4c\x04\x00\x30\x42"s + key;
}

std::string keyPrint(const std::string& key)
{
    return "\x1d\x28\x4c\x06\x00\x30\x45"s + key + "\x01\x01"s;
}

struct Block {
    unsigned w, h;
    std::string raster;
};

std::string imageBlock(const Block& b)
{
    return "\x01"s + le16(b.w) + le16(b.h) + "\x31"s + b.raster;
}

std::string defineAll(const std::vector<Block>& blocks)
{
    std::string body;
    for (const auto& b : blocks)
        body += imageBlock(b);
    return "\x08\x5e\x37"s + le32(static_cast<std::uint32_t>(body.size() + 2)) + "\x43"s +
           static_cast<char>(blocks.size()) + body;
}

std::string indexPrint(unsigned i)
{
    return "\x08\x5e\x4c\x04\x00\x45"s + static_cast<char>(i) + "\x01\x01"s;
}

sim::PrinterConfig keyCodePrinter(std::size_t keysPerBlock = 16)
{
    sim::PrinterConfig c;  // KMP-Z400, "_VER V1.04"
    c.nv.keysPerBlock = keysPerBlock;
    return c;
}

sim::PrinterConfig indexedPrinter()
{
    sim::PrinterConfig c;
    c.versionReply = "_B01.00";  // 21001
    return c;
}

struct Rig {
    sim::MobilePrinter printer;
    std::string data;

    explicit Rig(sim::PrinterConfig config) : printer(std::move(config))
    {
        printer.setDataSink([this](std::string_view d) { data.append(d); });
    }

    std::string send(const std::string& bytes)
    {
        std::string out;
        for (const auto& r : printer.receive(bytes))
            out += r;
        return out;
    }

    // Sent in pieces of `n` bytes, as a terminal or socket delivers them.
    std::string sendIn(const std::string& bytes, std::size_t n)
    {
        std::string out;
        for (std::size_t pos = 0; pos < bytes.size(); pos += n)
            out += send(bytes.substr(pos, n));
        return out;
    }

    const sim::NvMemory& nv() const { return *sim::nvMemoryOf(printer); }

    std::vector<std::string> keys() const
    {
        std::vector<std::string> out;
        for (const auto& k : nv().keyed())
            out.push_back(k.key);
        return out;
    }

    // The report's nv.* lines.
    std::vector<std::string> nvLines() const
    {
        std::vector<std::string> out;
        const std::string all = printer.report();
        for (std::size_t pos = 0; pos < all.size();) {
            const std::size_t eol = all.find('\n', pos);
            const std::string line = all.substr(pos, eol - pos);
            if (line.starts_with("nv."))
                out.push_back(line);
            pos = eol + 1;
        }
        return out;
    }
};

std::string block(char status, const std::string& keys)
{
    return "\x37\x72"s + status + keys + "\x00"s;
}

TEST(NvFamily, FromTheVersionNumberOrForced)
{
    EXPECT_EQ(Rig(keyCodePrinter()).nv().family(), sim::NvFamily::KeyCode);
    EXPECT_EQ(Rig(indexedPrinter()).nv().family(), sim::NvFamily::Indexed);
    sim::PrinterConfig z600;
    z600.modelReply = "_KMP-Z600";
    z600.versionReply = "_V01.00";  // 101000: above the indexed range
    EXPECT_EQ(Rig(z600).nv().family(), sim::NvFamily::KeyCode);
    sim::PrinterConfig a = indexedPrinter();
    a.versionReply = "_A00.99";  // 20990: below it
    EXPECT_EQ(Rig(a).nv().family(), sim::NvFamily::KeyCode);
    sim::PrinterConfig forced = keyCodePrinter();
    forced.nv.family = sim::NvFamily::Indexed;
    EXPECT_EQ(Rig(forced).nv().family(), sim::NvFamily::Indexed);
}

TEST(NvKeyCode, DefineListPrintDeleteRoundTrip)
{
    Rig rig(keyCodePrinter());
    EXPECT_EQ(rig.send(kList), block(0x40, ""));
    EXPECT_EQ(rig.send(kAck), "");

    const std::string a1 = raster(384, 100, 1);
    const std::string b2 = raster(10, 3, 2);
    EXPECT_EQ(rig.send(keyDefine("A1", 384, 100, a1) + keyDefine("B2", 10, 3, b2)), "");
    ASSERT_EQ(rig.keys(), (std::vector<std::string>{"A1", "B2"}));
    EXPECT_EQ(rig.nv().findKey("A1")->raster, a1);
    EXPECT_EQ(rig.nv().findKey("B2")->width, 10);
    EXPECT_EQ(rig.nv().findKey("B2")->height, 3);
    EXPECT_EQ(rig.send(kList), block(0x40, "A1B2"));
    EXPECT_EQ(rig.send(kAck), "");

    EXPECT_EQ(rig.send(keyPrint("B2") + keyPrint("ZZ")), "");
    EXPECT_EQ(rig.nv().prints(), (std::vector<std::string>{"B2", "ZZ missing"}));

    rig.send(keyDelete("A1"));
    EXPECT_EQ(rig.keys(), std::vector<std::string>{"B2"});
    rig.send(keyDelete("QQ"));  // not stored: nothing changes
    EXPECT_EQ(rig.keys(), std::vector<std::string>{"B2"});
    rig.send(keyDefine("C3", 8, 1, "\xff"s));
    rig.send(kDeleteAllKeys);
    EXPECT_TRUE(rig.keys().empty());
    EXPECT_EQ(rig.send(kList), block(0x40, ""));
    EXPECT_TRUE(rig.data.empty());
    EXPECT_EQ(rig.nv().malformedCount() + rig.nv().ignoredCount(), 0u);
}

TEST(NvKeyCode, RedefiningAKeyReplacesItAndMovesItLast)
{
    Rig rig(keyCodePrinter());
    rig.send(keyDefine("A1", 8, 1, "\x01"s) + keyDefine("B2", 8, 1, "\x02"s) + keyDefine("A1", 16, 1, "\x03\x04"s));
    EXPECT_EQ(rig.keys(), (std::vector<std::string>{"B2", "A1"}));
    EXPECT_EQ(rig.nv().findKey("A1")->raster, "\x03\x04"s);
    EXPECT_EQ(rig.nv().findKey("A1")->width, 16);
}

TEST(NvKeyList, BlocksWaitForAckAndCanEndsTheExchange)
{
    Rig rig(keyCodePrinter(2));
    for (const char* key : {"10", "11", "12", "13", "14"})
        rig.send(keyDefine(key, 8, 1, "\x00"s));

    EXPECT_EQ(rig.send(kList), block(0x41, "1011"));
    EXPECT_TRUE(rig.nv().waitingForAck());
    // Until the ACK comes, nothing more: other commands are still answered.
    EXPECT_EQ(rig.send(kModelQuery), "_KMP-Z400\0"s);
    EXPECT_EQ(rig.send(kAck), block(0x41, "1213"));
    EXPECT_EQ(rig.send(kAck), block(0x40, "14"));
    EXPECT_TRUE(rig.nv().waitingForAck());  // the host acknowledges the last block too
    EXPECT_EQ(rig.send(kAck), "");
    EXPECT_FALSE(rig.nv().waitingForAck());
    EXPECT_TRUE(rig.data.empty());

    // CAN ends the exchange at once; the next list starts from the first block.
    EXPECT_EQ(rig.send(kList), block(0x41, "1011"));
    EXPECT_EQ(rig.send(kCan), "");
    EXPECT_FALSE(rig.nv().waitingForAck());
    EXPECT_EQ(rig.send(kAck), "");
    EXPECT_EQ(rig.data, kAck);  // no longer awaited: plain data
    EXPECT_EQ(rig.send(kList), block(0x41, "1011"));
    // A new list request while one waits starts it afresh.
    EXPECT_EQ(rig.send(kList), block(0x41, "1011"));
    EXPECT_EQ(rig.send(kAck), block(0x41, "1213"));

    const auto lines = rig.nvLines();
    EXPECT_NE(std::find(lines.begin(), lines.end(), "nv.lists: 4"), lines.end());
    EXPECT_NE(std::find(lines.begin(), lines.end(), "nv.acks: 4"), lines.end());
    EXPECT_NE(std::find(lines.begin(), lines.end(), "nv.cancels: 1"), lines.end());
}

TEST(NvKeyList, AHostThatLeavesDropsTheWaitAndStrayAckAndCanAreData)
{
    Rig rig(keyCodePrinter(1));
    rig.send(keyDefine("A1", 8, 1, "\x00"s) + keyDefine("B2", 8, 1, "\x00"s));
    EXPECT_EQ(rig.send(kAck + kCan), "");
    EXPECT_EQ(rig.data, kAck + kCan);
    EXPECT_EQ(rig.send(kList), block(0x41, "A1"));
    rig.printer.endOfStream();
    EXPECT_FALSE(rig.nv().waitingForAck());
    EXPECT_EQ(rig.send(kAck), "");
}

TEST(NvKeyCode, MalformedDefinesAreFramedByTheirLengthLoggedAndNotStored)
{
    Rig rig(keyCodePrinter());
    // Length one byte short of what 16x2 needs (11 + 4): takes 14 bytes after
    // pL pH, so the last raster byte is data.
    std::string shortDefine = keyDefine("S1", 16, 2, "\x01\x02\x03\x04"s);
    shortDefine[3] = static_cast<char>(shortDefine[3] - 1);
    // Length two bytes too long: eats the two bytes after it.
    std::string longDefine = keyDefine("L1", 8, 1, "\x05"s);
    longDefine[3] = static_cast<char>(longDefine[3] + 2);
    std::string badColour = keyDefine("C1", 8, 1, "\x06"s);
    badColour[15] = '\x32';
    const std::string badKey = keyDefine("\x01Z"s, 8, 1, "\x07"s);
    const std::string tiny = "\x1d\x28\x4c\x05\x00\x30\x43\x30\x41\x31"s;  // shorter than a header

    EXPECT_EQ(rig.send(shortDefine), "");
    EXPECT_EQ(rig.data, "\x04"s);
    EXPECT_EQ(rig.send(longDefine + "xy" + kModelQuery), "_KMP-Z400\0"s);
    EXPECT_EQ(rig.send(badColour + badKey + tiny + kModelQuery), "_KMP-Z400\0"s);
    EXPECT_TRUE(rig.keys().empty());
    EXPECT_EQ(rig.data, "\x04"s);
    EXPECT_EQ(rig.nv().malformedCount(), 5u);
    ASSERT_EQ(rig.nv().malformed().size(), 5u);
    EXPECT_EQ(rig.nv().malformed()[0].reason, "length 14 is not 11 + 4 for 16x2");
    EXPECT_EQ(rig.nv().malformed()[1].reason, "length 14 is not 11 + 1 for 8x1");
    EXPECT_EQ(rig.nv().malformed()[3].reason, "key code outside 20..7e");
    // A good define after them is stored.
    rig.send(keyDefine("OK", 8, 1, "\x08"s));
    EXPECT_EQ(rig.keys(), std::vector<std::string>{"OK"});
}

TEST(NvKeyCode, LongestDefineArrivesInPiecesWithoutBeingBuffered)
{
    // 104 bytes per row, 630 rows: a raster of 65520 bytes, pL pH 65531.
    const std::string r = raster(832, 630, 9);
    const std::string cmd = keyDefine("LG", 832, 630, r);
    ASSERT_EQ(cmd.size(), 65536u);
    for (std::size_t piece : {std::size_t{1} << 16, std::size_t{4096}, std::size_t{255}, std::size_t{7}}) {
        SCOPED_TRACE(piece);
        Rig rig(keyCodePrinter());
        std::size_t maxPending = 0;
        for (std::size_t pos = 0; pos < cmd.size(); pos += piece) {
            rig.send(cmd.substr(pos, piece));
            maxPending = std::max(maxPending, rig.printer.commands().pendingBytes());
        }
        EXPECT_LT(maxPending, 16u);  // the header at most; the raster streams through
        EXPECT_EQ(rig.printer.commands().bodyBytesDue(), 0u);
        ASSERT_NE(rig.nv().findKey("LG"), nullptr);
        EXPECT_EQ(rig.nv().findKey("LG")->raster, r);
        EXPECT_EQ(rig.send(kModelQuery), "_KMP-Z400\0"s);
    }
}

TEST(NvKeyCode, ADefineCutByTheHostLeavingIsNotStored)
{
    Rig rig(keyCodePrinter());
    const std::string cmd = keyDefine("CT", 64, 10, raster(64, 10, 3));
    rig.send(cmd.substr(0, 40));
    rig.printer.endOfStream();
    EXPECT_TRUE(rig.keys().empty());
    ASSERT_EQ(rig.nv().malformed().size(), 1u);
    EXPECT_EQ(rig.nv().malformed()[0].reason, "stream ended 56 bytes before the define's end");
    // The next host starts afresh.
    rig.send(cmd);
    EXPECT_EQ(rig.keys(), std::vector<std::string>{"CT"});
}

TEST(NvIndexed, DefineAllPrintDeleteRoundTripAndEachDefineAllReplacesTheSet)
{
    Rig rig(indexedPrinter());
    const std::vector<Block> two = {{384, 100, raster(384, 100, 1)}, {10, 3, raster(10, 3, 2)}};
    EXPECT_EQ(rig.send(defineAll(two)), "");
    ASSERT_EQ(rig.nv().indexed().size(), 2u);
    EXPECT_EQ(rig.nv().indexed()[0].raster, two[0].raster);
    EXPECT_EQ(rig.nv().indexed()[1].width, 10);
    EXPECT_EQ(rig.nv().indexed()[1].raster, two[1].raster);

    rig.send(indexPrint(1) + indexPrint(0) + indexPrint(77));
    EXPECT_EQ(rig.nv().prints(), (std::vector<std::string>{"1", "0", "77 missing"}));

    const std::vector<Block> one = {{8, 2, "\xaa\x55"s}};
    rig.send(defineAll(one));
    ASSERT_EQ(rig.nv().indexed().size(), 1u);
    EXPECT_EQ(rig.nv().indexed()[0].raster, "\xaa\x55"s);
    rig.send(kDeleteAllIndexed);
    EXPECT_TRUE(rig.nv().indexed().empty());
    // An empty set is a define-all of no blocks.
    rig.send(defineAll(one) + defineAll({}));
    EXPECT_TRUE(rig.nv().indexed().empty());
    EXPECT_TRUE(rig.data.empty());
    EXPECT_EQ(rig.nv().malformedCount() + rig.nv().ignoredCount(), 0u);
}

TEST(NvIndexed, DefineAllLengthMustEndOnItsCountedBlocks)
{
    const std::vector<Block> two = {{16, 2, raster(16, 2, 4)}, {8, 3, raster(8, 3, 5)}};
    const std::string good = defineAll(two);
    struct Case {
        const char* name;
        std::string bytes;
        std::string reason;
        std::string after;  // bytes the framing leaves as data
    };
    std::string countHigh = good;
    countHigh[8] = 3;
    std::string countLow = good;
    countLow[8] = 1;
    std::string lengthShort = good;
    lengthShort[3] = static_cast<char>(lengthShort[3] - 1);  // ends one byte inside block 2
    std::string lengthLong = good + "\x01\x08"s;
    lengthLong[3] = static_cast<char>(lengthLong[3] + 2);  // a third, cut-off block header
    std::string badBlock = good;
    badBlock[9 + 6 + 4 + 5] = '\x30';  // block 2's colour byte
    std::string no43 = good;
    no43[7] = '\x44';
    const std::vector<Case> cases = {
        {"count above the blocks", countHigh, "length holds 2 image blocks, the count says 3", ""},
        {"count below the blocks", countLow, "more image blocks than the count 1", ""},
        {"length short", lengthShort, "length ends inside image block 2", good.substr(good.size() - 1)},
        {"length long", lengthLong, "length ends inside image block 3", ""},
        {"bad block header", badBlock, "image block 2 does not start 01 .. .. .. .. 31", ""},
        {"no 43", no43, "define-all without 43 after its length", ""},
        {"length below 2", "\x08\x5e\x37\x01\x00\x00\x00\x43"s, "define-all length 1, below 2", ""},
        {"length beyond any set", "\x08\x5e\x37\xff\xff\xff\x7f\x43\x01"s + "tail",
         "define-all length 2147483647 beyond any set of images", "tail"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Rig rig(indexedPrinter());
        rig.send(defineAll({{8, 1, "\x11"s}}));
        EXPECT_EQ(rig.send(c.bytes + kModelQuery), "_KMP-Z400\0"s);
        // The set stays as the last good define-all left it.
        ASSERT_EQ(rig.nv().indexed().size(), 1u);
        EXPECT_EQ(rig.nv().indexed()[0].raster, "\x11"s);
        ASSERT_EQ(rig.nv().malformed().size(), 1u);
        EXPECT_EQ(rig.nv().malformed()[0].reason, c.reason);
        EXPECT_EQ(rig.data, c.after);
    }
}

TEST(NvIndexed, DefineAllBeyondTheCapacityArrivesInPieces)
{
    // Three images of 104000 bytes each: 312018 bytes, past the 262144 the
    // host allows itself, still taken whole.
    std::vector<Block> blocks;
    for (unsigned i = 0; i < 3; ++i)
        blocks.push_back({832, 1000, raster(832, 1000, i)});
    const std::string cmd = defineAll(blocks);
    Rig rig(indexedPrinter());
    std::size_t maxPending = 0;
    for (std::size_t pos = 0; pos < cmd.size(); pos += 4096) {
        rig.send(cmd.substr(pos, 4096));
        maxPending = std::max(maxPending, rig.printer.commands().pendingBytes());
    }
    EXPECT_LT(maxPending, 16u);
    ASSERT_EQ(rig.nv().indexed().size(), 3u);
    for (unsigned i = 0; i < 3; ++i)
        EXPECT_EQ(rig.nv().indexed()[i].raster, blocks[i].raster);
}

TEST(NvFamilies, EachPrinterIsSilentToTheOtherFamily)
{
    Rig keyed(keyCodePrinter());
    EXPECT_EQ(keyed.send(defineAll({{8, 1, "\x01"s}}) + indexPrint(0) + kDeleteAllIndexed + kModelQuery),
              "_KMP-Z400\0"s);
    EXPECT_TRUE(keyed.nv().indexed().empty());
    EXPECT_TRUE(keyed.nv().prints().empty());
    EXPECT_EQ(keyed.nv().ignoredCount(), 3u);

    Rig indexed(indexedPrinter());
    EXPECT_EQ(indexed.send(kList + keyDefine("A1", 8, 1, "\x01"s) + keyPrint("A1") + kAck + kModelQuery),
              "_KMP-Z400\0"s);
    EXPECT_TRUE(indexed.nv().keyed().empty());
    EXPECT_TRUE(indexed.nv().prints().empty());
    EXPECT_EQ(indexed.nv().ignoredCount(), 3u);
    EXPECT_EQ(indexed.data, kAck);  // no list is waiting for it
}

TEST(NvChunking, AnySplitGivesTheSameRepliesAndMemory)
{
    const std::string stream = keyDefine("A1", 24, 5, raster(24, 5, 1)) + kList + kAck +
                               keyDefine("B2", 8, 1, "\x01"s) + "junk" + keyPrint("A1") + kList + kAck +
                               keyDefine("A1", 8, 2, "\x02\x03"s) + keyDelete("B2") + kList + kCan;
    Rig whole(keyCodePrinter(1));
    const std::string expected = whole.send(stream);
    ASSERT_EQ(expected, block(0x40, "A1") + block(0x41, "A1") + block(0x40, "B2") + block(0x40, "A1"));
    std::mt19937 rng(7);
    for (int round = 0; round < 50; ++round) {
        Rig rig(keyCodePrinter(1));
        std::string out;
        for (std::size_t pos = 0; pos < stream.size();) {
            const std::size_t n = 1 + rng() % 9;
            out += rig.send(stream.substr(pos, n));
            pos += n;
        }
        EXPECT_EQ(out, expected);
        EXPECT_EQ(rig.printer.report(), whole.printer.report());
        EXPECT_EQ(rig.data, "junk");
    }
}

TEST(NvReport, LinesForEachFamily)
{
    Rig rig(keyCodePrinter());
    const std::string r = raster(16, 2, 5);
    std::string badLength = keyDefine("XX", 8, 1, "\x00"s);
    badLength[3] = '\x0b';  // header only: no raster
    rig.send(keyDefine("A:", 16, 2, r) + keyDefine("b ", 8, 1, "\x80"s) + keyPrint("A:") + keyPrint("NO") +
             badLength + indexPrint(3));
    char crc[2][9];
    std::snprintf(crc[0], 9, "%08x", referenceCrc32(r));
    std::snprintf(crc[1], 9, "%08x", referenceCrc32("\x80"s));
    EXPECT_EQ(rig.nvLines(), (std::vector<std::string>{
                                 "nv.family: key-code",
                                 "nv.count: 2",
                                 "nv.image.A\\x3a: 16x2 crc32 "s + crc[0],
                                 "nv.image.b\\x20: 8x1 crc32 "s + crc[1],
                                 "nv.lists: 0",
                                 "nv.acks: 0",
                                 "nv.cancels: 0",
                                 "nv.prints: 2",
                                 "nv.print: A\\x3a",
                                 "nv.print: NO missing",
                                 "nv.malformed: 1",
                                 "nv.malformed.1: length 11 is not 11 + 1 for 8x1: 1d 28 4c 0b 00 30 43 30 58 58 01 08 "
                                 "00 01 00 31",
                                 "nv.ignored: 1",
                                 "nv.ignored.1: BS ^ L command to a key-code printer: 08 5e 4c 04 00 45 03 01 01",
                             }));

    Rig indexed(indexedPrinter());
    indexed.send(defineAll({{8, 1, "\x80"s}, {0, 0, ""}}) + indexPrint(1));
    EXPECT_EQ(indexed.nvLines(), (std::vector<std::string>{
                                     "nv.family: indexed",
                                     "nv.count: 2",
                                     "nv.image.0: 8x1 crc32 "s + crc[1],
                                     "nv.image.1: 0x0 crc32 00000000",
                                     "nv.lists: 0",
                                     "nv.acks: 0",
                                     "nv.cancels: 0",
                                     "nv.prints: 1",
                                     "nv.print: 1",
                                     "nv.malformed: 0",
                                     "nv.ignored: 0",
                                 }));
}

TEST(NvPreload, BlankImagesAtPowerOnAndPrintsReachTheSink)
{
    sim::PrinterConfig c = keyCodePrinter();
    c.nv.images = {{"10", 16, 3}, {"11", 9, 2}};
    Rig rig(c);
    EXPECT_EQ(rig.send(kList), block(0x40, "1011"));
    EXPECT_EQ(rig.nv().findKey("11")->raster, std::string(4, '\0'));

    std::vector<std::string> seen;
    sim::nvMemoryOf(rig.printer)->setPrintSink([&](std::uint64_t n, const std::string& label, const sim::NvImage& i) {
        seen.push_back(std::to_string(n) + " " + label + " " + std::to_string(i.raster.size()));
    });
    rig.send(keyPrint("XX") + keyPrint("10") + keyDefine("a/", 8, 1, "\x01"s) + keyPrint("a/"));
    EXPECT_EQ(seen, (std::vector<std::string>{"2 10 6", "3 a_2f 1"}));
}

} // namespace
