// The NV exchanges with a scripted printer on the manual clock.
#include "nv_fixture.h"

#include "corvane/nv/NvKeyList.h"

using namespace corvane;
using namespace nv_test;

namespace {

using Strings = std::vector<std::string>;

// --- the key-list read ---

using KeyListTest = NvTest;

TEST_F(KeyListTest, EmptyPrinterIsAcknowledgedAndEmptiesTheList)
{
    nv.addresses = {"OL"};
    keyListReplies({keyBlock(0x40, "")});
    EXPECT_EQ(nv.ReadKeyList(), kNvEmpty);
    EXPECT_TRUE(nv.addresses.empty());
    EXPECT_EQ(printer.writes, (std::vector<Bytes>{kReadKeys, kAck}));
    EXPECT_TRUE(util.port.IsOpen());
}

TEST_F(KeyListTest, SplitReplyIsJoinedUntilItsNul)
{
    keyListReplies({{0x37, 0x72}, {0x40, 'A', '1'}, {'B', '2', 0x00}});
    EXPECT_EQ(nv.ReadKeyList(), kOk);
    EXPECT_EQ(nv.addresses, (Strings{"A1", "B2"}));
    EXPECT_EQ(printer.writes, (std::vector<Bytes>{kReadKeys, kAck}));
}

TEST_F(KeyListTest, TwoBlocksGiveTheUnionWithAnAckAfterEach)
{
    keyListReplies({keyBlock(0x41, "A1B2")}, {{keyBlock(0x40, "C3")}});
    EXPECT_EQ(nv.ReadKeyList(), kOk);
    EXPECT_EQ(nv.addresses, (Strings{"A1", "B2", "C3"}));
    EXPECT_EQ(printer.writes, (std::vector<Bytes>{kReadKeys, kAck, kAck}));
}

TEST_F(KeyListTest, StrayBytesBeforeTheHeaderAreSkipped)
{
    Bytes reply{0x01, 0xFF, 0x20};
    const Bytes block = keyBlock(0x40, "K1");
    reply.insert(reply.end(), block.begin(), block.end());
    keyListReplies({reply});
    EXPECT_EQ(nv.ReadKeyList(), kOk);
    EXPECT_EQ(nv.addresses, (Strings{"K1"}));
}

TEST_F(KeyListTest, MalformedRepliesAreCancelledAndClosePort)
{
    const std::vector<Bytes> replies = {
        {0x37, 0x72},             // fewer than 4 bytes, then silence
        {0x37, 0x78, 0x40, 0x00}, // no "7r"
        {'a', 'b', 0x00},         // the NUL comes first
        {},                       // nothing at all
    };
    for (const Bytes& reply : replies) {
        SCOPED_TRACE(testing::PrintToString(reply));
        ASSERT_EQ(util.port.IsOpen() || util.port.Open() == 1, true);
        printer.writes.clear();
        nv.addresses = {"OL"};
        keyListReplies(reply.empty() ? std::vector<Bytes>{} : std::vector<Bytes>{reply});
        EXPECT_EQ(nv.ReadKeyList(), kBadFormat);
        EXPECT_EQ(printer.writes, (std::vector<Bytes>{kReadKeys, kCan}));
        EXPECT_FALSE(util.port.IsOpen());
        EXPECT_EQ(nv.addresses, (Strings{"OL"})) << "a refused reply leaves the list";
    }
}

TEST_F(KeyListTest, KeysNeverTakeTheTerminator)
{
    keyListReplies({keyBlock(0x40, "A1B")});
    EXPECT_EQ(nv.ReadKeyList(), kOk);
    EXPECT_EQ(nv.addresses, (Strings{"A1"})) << "the odd byte before the NUL is no key";
}

TEST_F(KeyListTest, NotOpenSendsNothingAndAShortWriteCloses)
{
    util.port.Close();
    EXPECT_EQ(nv.ReadKeyList(), kNotOpen);
    EXPECT_TRUE(printer.writes.empty());

    ASSERT_EQ(util.port.Open(), 1);
    printer.writeLimit = 4;
    EXPECT_EQ(nv.ReadKeyList(), kShortWrite);
    EXPECT_FALSE(util.port.IsOpen());
}

TEST_F(KeyListTest, PassEndsOnlyAfterQuietTimeWithAnEmptyRead)
{
    // Bytes without a NUL, then silence: the pass ends on the first empty
    // read past 2000 ms, and the block so far is judged.
    keyListReplies({{0x37, 0x72, 0x40, 'A', '1', 'B', '2'}});
    const std::uint64_t t0 = clock.tickMs();
    EXPECT_EQ(nv.ReadKeyList(), kOk);
    EXPECT_EQ(nv.addresses, (Strings{"A1", "B2"}));
    EXPECT_GT(clock.tickMs() - t0, 2000u + 150u);
}

TEST_F(KeyListTest, LineThatNeverFallsSilentIsCutOffAt5000ms)
{
    // A byte every 100 ms for 20 s, never a NUL: no read ever comes back
    // empty.
    answer = [this](const Bytes& data) {
        if (data != kReadKeys)
            return;
        printer.reply({0x37, 0x72, 0x40});
        for (int i = 1; i <= 200; ++i)
            printer.reply({'Z'}, std::uint64_t(i) * 100);
    };
    const std::uint64_t t0 = clock.tickMs();
    EXPECT_EQ(nv.ReadKeyList(), kBadFormat);
    const std::uint64_t took = clock.tickMs() - t0;
    EXPECT_GE(took, 5000u);
    EXPECT_LT(took, 5500u);
    EXPECT_EQ(printer.writes, (std::vector<Bytes>{kReadKeys, kCan}));
    EXPECT_FALSE(util.port.IsOpen());
}

TEST_F(KeyListTest, PrinterThatAlwaysHasMoreIsGivenUpAfter256Blocks)
{
    answer = [this](const Bytes& data) {
        if (data == kReadKeys || data == kAck)
            printer.reply(keyBlock(0x41, "ZZ"));
    };
    EXPECT_EQ(nv.ReadKeyList(), kBadFormat);
    EXPECT_EQ(count(kAck), 256u);
    EXPECT_EQ(printer.writes.back(), kCan);
    EXPECT_FALSE(util.port.IsOpen());
}

TEST_F(KeyListTest, EachPassStartsWith150msPauseAndReadsAtMost255Bytes)
{
    keyListReplies({keyBlock(0x41, "A1")}, {{keyBlock(0x40, "B2")}});
    ASSERT_EQ(nv.ReadKeyList(), kOk);
    ASSERT_EQ(printer.writeTimes.size(), 3u);
    // read command -> (150 ms) block 1 -> ACK -> (150 ms) block 2 -> ACK
    EXPECT_GE(printer.writeTimes[2] - printer.writeTimes[1], 150u);
    for (int capacity : printer.readCapacities)
        EXPECT_EQ(capacity, 255);
}

// The block parser alone.
TEST(KeyBlockParser, Verdicts)
{
    const auto parse = [](const Bytes& b) { return nv::ParseKeyBlock(b.data(), b.size()); };
    EXPECT_EQ(parse({0x37, 0x72, 0x40}).verdict, nv::KeyBlockVerdict::Malformed);
    EXPECT_EQ(parse({0x37, 0x72, 0x40, 0x00}).verdict, nv::KeyBlockVerdict::Empty);
    EXPECT_EQ(parse({0x37, 0x72, 0x41, 0x00}).verdict, nv::KeyBlockVerdict::Empty);
    const nv::KeyBlock more = parse(keyBlock(0x41, "A1"));
    EXPECT_EQ(more.verdict, nv::KeyBlockVerdict::Keys);
    EXPECT_TRUE(more.more);
    EXPECT_FALSE(parse(keyBlock(0x40, "A1")).more);

    // No 0x37 or NUL among the first 250 bytes: the header is looked for at
    // 250 exactly.
    Bytes far(250, 'x');
    const Bytes block = keyBlock(0x40, "Q9");
    far.insert(far.end(), block.begin(), block.end());
    EXPECT_EQ(parse(far).keys, (Strings{"Q9"}));
    Bytes farther(251, 'x');
    farther.insert(farther.end(), block.begin(), block.end());
    EXPECT_EQ(parse(farther).verdict, nv::KeyBlockVerdict::Malformed);
}

// --- indexed list and prints ---

using IndexedTest = NvTest;

TEST_F(IndexedTest, ListComesFromTheStoredCount)
{
    indexed();
    ASSERT_TRUE(store->writeNumber(kNvRegistryKey, "Count", 3));
    EXPECT_EQ(nv.LoadIndexedList(*store), kOk);
    EXPECT_EQ(nv.addresses, (Strings{"00", "01", "02"}));
    EXPECT_EQ(nv.storedCount, 3);
    EXPECT_TRUE(printer.writes.empty());

    ASSERT_TRUE(store->writeNumber(kNvRegistryKey, "Count", 0));
    EXPECT_EQ(nv.LoadIndexedList(*store), kNvEmpty);
    EXPECT_EQ(nv.addresses, (Strings{"00", "01", "02"})) << "an empty count leaves the list";
    EXPECT_EQ(nv.storedCount, 0);

    util.port.Close();
    EXPECT_EQ(nv.LoadIndexedList(*store), kNotOpen);
}

TEST_F(IndexedTest, StoredCountIsClampedTo255)
{
    ASSERT_TRUE(store->writeNumber(kNvRegistryKey, "Count", 0xFFFFFFFFu));
    EXPECT_EQ(nv.LoadIndexedList(*store), kOk);
    ASSERT_EQ(nv.addresses.size(), 255u);
    EXPECT_EQ(nv.addresses.back(), "254");
    EXPECT_EQ(nv.storedCount, 255);
}

TEST_F(IndexedTest, PrintAllUsesTheCountOr78)
{
    nv.storedCount = 0;
    EXPECT_EQ(nv.PrintAllIndexed(), kOk);
    ASSERT_EQ(printer.writes.size(), 78u);
    for (std::size_t i = 0; i < 78; ++i)
        EXPECT_EQ(printer.writes[i], printIndex(std::uint8_t(i)));

    printer.writes.clear();
    nv.storedCount = 3;
    EXPECT_EQ(nv.PrintAllIndexed(), kOk);
    EXPECT_EQ(printer.writes, (std::vector<Bytes>{printIndex(0), printIndex(1), printIndex(2)}));

    printer.writes.clear();
    nv.storedCount = 100000;
    EXPECT_EQ(nv.PrintAllIndexed(), kOk);
    EXPECT_EQ(printer.writes.size(), 255u) << "indices never wrap";
}

TEST_F(IndexedTest, PrintAllStopsAtTheFirstFailedWrite)
{
    nv.storedCount = 5;
    int writes = 0;
    answer = [&](const Bytes&) {
        if (++writes == 2)
            printer.writeLimit = 3;
    };
    EXPECT_EQ(nv.PrintAllIndexed(), kShortWrite);
    EXPECT_EQ(printer.writes.size(), 3u);
    EXPECT_FALSE(util.port.IsOpen());
}

TEST_F(IndexedTest, DeleteAllWritesCountZero)
{
    indexed();
    nv.storedCount = 4;
    ASSERT_TRUE(store->writeNumber(kNvRegistryKey, "Count", 4));
    EXPECT_EQ(nv.DeleteAllIndexed(*store), kOk);
    EXPECT_EQ(printer.writes, (std::vector<Bytes>{{0x08, 0x5E, 0x4C, 0x01, 0x00, 0x41}}));
    EXPECT_EQ(nv.storedCount, 0);
    std::uint32_t stored = 99;
    EXPECT_TRUE(store->readNumber(kNvRegistryKey, "Count", stored));
    EXPECT_EQ(stored, 0u);

    // A failed write keeps both counts.
    nv.storedCount = 4;
    ASSERT_TRUE(store->writeNumber(kNvRegistryKey, "Count", 4));
    printer.writeLimit = 0;
    EXPECT_EQ(nv.DeleteAllIndexed(*store), kShortWrite);
    EXPECT_EQ(nv.storedCount, 4);
    EXPECT_TRUE(store->readNumber(kNvRegistryKey, "Count", stored));
    EXPECT_EQ(stored, 4u);
    EXPECT_FALSE(util.port.IsOpen());
    EXPECT_EQ(nv.DeleteAllIndexed(*store), kNotOpen);
}

TEST_F(IndexedTest, HeaderCarriesTotalPlusTwoAndTheCount)
{
    EXPECT_EQ(nv.SendIndexedHeader(2, 0x0102FE), kOk);
    EXPECT_EQ(printer.writes, (std::vector<Bytes>{{0x08, 0x5E, 0x37, 0x00, 0x03, 0x01, 0x00, 0x43, 0x02}}));
    util.port.Close();
    EXPECT_EQ(nv.SendIndexedHeader(2, 10), kNotOpen);
}

TEST_F(IndexedTest, PrintIndexSkipsTheOpenCheck)
{
    EXPECT_EQ(nv.PrintIndex(7), kOk);
    EXPECT_EQ(printer.writes, (std::vector<Bytes>{printIndex(7)}));
    util.port.Close();
    printer.writes.clear();
    EXPECT_EQ(nv.PrintIndex(7), kShortWrite);
    EXPECT_TRUE(printer.writes.empty());
}

// --- key-code deletes and prints ---

using KeyedTest = NvTest;

TEST_F(KeyedTest, DeleteAndPrintSendTheirCommands)
{
    EXPECT_EQ(nv.DeleteKey("A1x"), kOk);
    EXPECT_EQ(nv.DeleteAllKeyed(), kOk);
    EXPECT_EQ(nv.PrintKey("B2"), kOk);
    EXPECT_EQ(printer.writes, (std::vector<Bytes>{{0x1D, 0x28, 0x4C, 0x04, 0x00, 0x30, 0x42, 'A', '1'},
                                                  {0x1D, 0x28, 0x4C, 0x05, 0x00, 0x30, 0x41, 'C', 'L', 'R'},
                                                  printKey('B', '2')}));
}

TEST_F(KeyedTest, ShortKeySendsNothingAndClosedPortIsReported)
{
    EXPECT_EQ(nv.DeleteKey("A"), kNvShortKey);
    EXPECT_EQ(nv.PrintKey(""), kNvShortKey);
    EXPECT_TRUE(printer.writes.empty());
    util.port.Close();
    EXPECT_EQ(nv.DeleteKey("A1"), kNotOpen);
    EXPECT_EQ(nv.PrintKey("A1"), kNotOpen);
    EXPECT_EQ(nv.DeleteAllKeyed(), kNotOpen);
    EXPECT_EQ(nv.PrintAllKeys(), kNotOpen);
    EXPECT_TRUE(printer.writes.empty());
}

TEST_F(KeyedTest, PrintAllKeysInListOrder)
{
    EXPECT_EQ(nv.PrintAllKeys(), kNvEmpty);
    EXPECT_TRUE(printer.writes.empty());
    nv.addresses = {"B2", "A1"};
    EXPECT_EQ(nv.PrintAllKeys(), kOk);
    EXPECT_EQ(printer.writes, (std::vector<Bytes>{printKey('B', '2'), printKey('A', '1')}));
    printer.writeLimit = 5;
    EXPECT_EQ(nv.PrintAllKeys(), kShortWrite);
    EXPECT_FALSE(util.port.IsOpen());
}

// --- command data ---

using SendDataTest = NvTest;

NvCommand commandOf(std::size_t bytes)
{
    NvCommand c{"logo.bmp", {}};
    c.data.resize(bytes);
    for (std::size_t i = 0; i < bytes; ++i)
        c.data[i] = std::uint8_t(i * 7);
    return c;
}

std::vector<std::size_t> sizes(const std::vector<Bytes>& writes)
{
    std::vector<std::size_t> s;
    for (const Bytes& w : writes)
        s.push_back(w.size());
    return s;
}

TEST_F(SendDataTest, PiecesOf4096AndTheRemainder)
{
    const NvCommand c = commandOf(10000);
    EXPECT_EQ(nv.SendCommandData(c), kOk);
    EXPECT_EQ(sizes(printer.writes), (std::vector<std::size_t>{4096, 4096, 1808}));
    EXPECT_EQ(printer.written, c.data);

    printer.writes.clear();
    EXPECT_EQ(nv.SendCommandData(commandOf(8192)), kOk);
    EXPECT_EQ(sizes(printer.writes), (std::vector<std::size_t>{4096, 4096}));

    printer.writes.clear();
    EXPECT_EQ(nv.SendCommandData(commandOf(0)), kOk);
    EXPECT_TRUE(printer.writes.empty());
}

TEST_F(SendDataTest, ShortSecondWriteStopsAndCloses)
{
    int writes = 0;
    answer = [&](const Bytes&) {
        if (++writes == 1)
            printer.writeLimit = 1000;
    };
    EXPECT_EQ(nv.SendCommandData(commandOf(10000)), kShortWrite);
    EXPECT_EQ(sizes(printer.writes), (std::vector<std::size_t>{4096, 1000}));
    EXPECT_FALSE(util.port.IsOpen());
}

TEST_F(SendDataTest, ClosedPortIsAShortWrite)
{
    util.port.Close();
    EXPECT_EQ(nv.SendCommandData(commandOf(10)), kShortWrite);
    EXPECT_TRUE(printer.writes.empty());
}

} // namespace
