// The connection check and the self test on the fake printer and the manual
// clock: the byte stream, the read patterns per kind, every failure message
// and the bounds that keep a silent or babbling printer from holding it.
#include "telvara/link/ConnectionCheck.h"

#include "telvara/link/IdReplies.h"
#include "telvara/link/LinkTexts.h"

#include "platform/testing/fake_devices.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace {

using platform::testing::Bytes;
using platform::testing::bytesOf;
using platform::testing::FakeDevices;
using platform::testing::FakePrinter;
using telvara::CheckResult;
using telvara::ConnectionCheck;
using telvara::LinkConfig;
namespace texts = telvara::texts;

const Bytes kReset{0x1b, 0x40};
const Bytes kPeripheral{0x1b, 0x3d, 0x01};
const Bytes kStatusBack{0x1d, 0x61, 0x00};
const Bytes kId{0x1d, 0x49, 0x03};
const Bytes kMaker{0x1d, 0x49, 0x42};
const Bytes kModel{0x1d, 0x49, 0x43};

class CheckTest : public ::testing::Test {
public:
    CheckTest()
    {
        replies_[kId] = {'c'};
        replies_[kMaker] = bytesOf("_QUELLIX", true);
        replies_[kModel] = bytesOf("_KTP-M880", true);
        printer_.onWrite = [this](const Bytes& w) {
            const auto it = replies_.find(w);
            if (it != replies_.end())
                printer_.reply(it->second, replyDelayMs_);
        };
    }

    CheckResult check(const char* port, int tcpPort = 0)
    {
        LinkConfig c;
        c.portName = port;
        c.tcpPort = tcpPort;
        return check_.run(c);
    }

    platform::ManualClock clock_{0};
    FakePrinter printer_{clock_};
    FakeDevices devices_{printer_};
    telvara::PortLink link_{clock_, devices_};
    ConnectionCheck check_{link_, clock_};
    std::map<Bytes, Bytes> replies_;
    std::uint64_t replyDelayMs_ = 0;
};

const std::vector<Bytes> kStream{kReset, kPeripheral, kStatusBack, kId, kMaker, kModel};

TEST_F(CheckTest, EveryKindSendsTheSameCommandsOneWriteEach)
{
    for (const auto& [port, tcp] : std::vector<std::pair<const char*, int>>{
             {"COM1", 0}, {"LPT1", 0}, {"M880:/dev/usb/lp0", 0}, {"127.0.0.1", 9100}}) {
        SCOPED_TRACE(port);
        printer_.writes.clear();
        const CheckResult r = check(port, tcp);
        ASSERT_TRUE(r.ok) << r.message;
        EXPECT_EQ(r.message, texts::kConnected);
        EXPECT_EQ(r.caption, texts::kInformation);
        EXPECT_EQ(r.maker, "QUELLIX");
        EXPECT_EQ(r.model, "KTP-M880");
        EXPECT_EQ(printer_.writes, kStream);
        EXPECT_TRUE(link_.isOpen());
        link_.Close();
    }
}

TEST_F(CheckTest, SerialAndParallelReadOneByteAtATime)
{
    for (const char* port : {"COM2", "LPT2"}) {
        SCOPED_TRACE(port);
        printer_.readCapacities.clear();
        ASSERT_TRUE(check(port).ok);
        for (const int capacity : printer_.readCapacities)
            EXPECT_EQ(capacity, 1);
        // Drain (five empty reads), five discarded reads, the "c", the two
        // texts with their NULs.
        EXPECT_EQ(printer_.readCapacities.size(), 5u + 5u + 1u + 9u + 10u);
        link_.Close();
    }
}

TEST_F(CheckTest, UsbAndEthernetReadSixteenBytesWithoutDrainOrDiscards)
{
    for (const auto& [port, tcp] :
         std::vector<std::pair<const char*, int>>{{"M882:/dev/usb/lp0", 0}, {"127.0.0.1", 9100}}) {
        SCOPED_TRACE(port);
        printer_.readCapacities.clear();
        const auto start = clock_.tickMs();
        ASSERT_TRUE(check(port, tcp).ok);
        EXPECT_EQ(printer_.readCapacities, (std::vector<int>{16, 16, 16}));
        // 200 ms before each of the three replies, 500 ms after the maker.
        EXPECT_EQ(clock_.tickMs() - start, 3u * 200u + 500u);
        link_.Close();
    }
}

TEST_F(CheckTest, PacketReadsTryOnceMoreWhenTheFirstBringsNothing)
{
    replyDelayMs_ = 1300;  // after the first read's 1000 ms
    ASSERT_TRUE(check("M880:/dev/usb/lp0").ok);
    EXPECT_EQ(printer_.readCapacities.size(), 6u);
}

TEST_F(CheckTest, TheDrainEndsAfterFiveEmptyReadsOrThreeSecondsOfBabble)
{
    ASSERT_TRUE(check("COM1").ok);
    link_.Close();

    // A line that never goes quiet: a byte ready for every read.
    printer_.writes.clear();
    printer_.writeTimes.clear();
    printer_.onWrite = nullptr;
    for (int i = 0; i < 1000; ++i)
        printer_.pending.push_back({0, {0x55}});
    const auto start = clock_.tickMs();
    const CheckResult r = check("COM1");
    EXPECT_FALSE(r.ok);
    ASSERT_FALSE(printer_.writes.empty());
    EXPECT_EQ(printer_.writes[0], kReset);
    // The drain stopped at its bound: the reset went out after about 3 s.
    EXPECT_GE(printer_.writeTimes[0] - start, 3000u + 100u);
    EXPECT_LT(printer_.writeTimes[0] - start, 3200u + 100u);
}

TEST_F(CheckTest, SerialPrinterIdRetriesTenTimesThenFails)
{
    replies_.erase(kId);
    const CheckResult r = check("COM1");
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.errorKey, "printer-id");
    EXPECT_EQ(r.message, texts::kNoPrinterId);
    EXPECT_EQ(r.caption, texts::kWarning);
    EXPECT_FALSE(link_.isOpen());
    EXPECT_EQ(printer_.writes.back(), kId);
    // 5 drain + 5 discarded + 1 + 10 retries.
    EXPECT_EQ(printer_.readCapacities.size(), 21u);
}

TEST_F(CheckTest, ALateCAmongTheRetriesIsAccepted)
{
    replyDelayMs_ = 600;
    ASSERT_TRUE(check("LPT1").ok);
}

TEST_F(CheckTest, EveryFailureHasItsMessageAndClosesThePort)
{
    struct Case {
        const char* what;
        std::function<void(CheckTest&)> arrange;
        const char* port;
        int tcp;
        std::string key;
        std::string_view message;
        std::string_view caption;
    };
    const Case cases[] = {
        {"refused name", [](CheckTest&) {}, "printer.local", 9100, "config", texts::kConfigRefused, texts::kWarning},
        {"no open", [](CheckTest& t) { t.printer_.failOpens = 1; }, "COM1", 0, "open", texts::kOpenFailed,
         texts::kWarning},
        {"DSR low", [](CheckTest& t) { t.printer_.dsr = false; }, "COM1", 0, "open", texts::kOpenFailed,
         texts::kWarning},
        {"not ready", [](CheckTest& t) { t.printer_.parallelStatus = 0x10; }, "LPT1", 0, "open", texts::kOpenFailed,
         texts::kWarning},
        {"no connection", [](CheckTest& t) { t.printer_.connectFails = true; }, "127.0.0.1", 9100, "open",
         texts::kSocketNotConnected, texts::kError},
        {"short reset", [](CheckTest& t) { t.printer_.writeLimit = 1; }, "M880:/dev/usb/lp0", 0, "port",
         texts::kPortError, texts::kWarning},
        {"wrong maker", [](CheckTest& t) { t.replies_[kMaker] = bytesOf("_QUELLIXX", true); }, "COM1", 0, "maker",
         texts::kWrongMaker, texts::kWarning},
        {"wrong model", [](CheckTest& t) { t.replies_[kModel] = bytesOf("_KTP-M890", true); }, "127.0.0.1", 9100,
         "model", texts::kWrongModel, texts::kWarning},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        printer_.failOpens = 0;
        printer_.dsr = true;
        printer_.parallelStatus = 0x80;
        printer_.connectFails = false;
        printer_.writeLimit = -1;
        replies_[kMaker] = bytesOf("_QUELLIX", true);
        replies_[kModel] = bytesOf("_KTP-M880", true);
        c.arrange(*this);
        const CheckResult r = check(c.port, c.tcp);
        EXPECT_FALSE(r.ok);
        EXPECT_EQ(r.errorKey, c.key);
        EXPECT_EQ(r.message, c.message);
        EXPECT_EQ(r.caption, c.caption);
        EXPECT_FALSE(link_.isOpen());
        EXPECT_FALSE(printer_.isOpen);
    }
}

TEST_F(CheckTest, BothModelsAreAccepted)
{
    replies_[kModel] = bytesOf("_KTP-M882", true);
    const CheckResult r = check("COM1");
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.model, "KTP-M882");
}

TEST_F(CheckTest, SerialTextWithoutItsNulEndsAtTheFirstEmptyReadAndStillCompares)
{
    replies_[kMaker] = bytesOf("_QUELLIX");
    replies_[kModel] = bytesOf("_KTP-M880");
    ASSERT_TRUE(check("COM1").ok);
}

TEST_F(CheckTest, ASilentTextEndsOneSecondAfterItsLoopBegan)
{
    replies_.erase(kMaker);
    const CheckResult r = check("COM1");
    EXPECT_EQ(r.errorKey, "maker");
    EXPECT_EQ(r.maker, "");
    // After the maker query: 100 ms, then empty reads (110 ms each) until
    // 1000 ms passed, then the 500 ms wait.
    const auto sentAt = printer_.writeTimes.back();
    EXPECT_GE(clock_.tickMs() - sentAt, 100u + 1000u + 500u);
    EXPECT_LE(clock_.tickMs() - sentAt, 100u + 1110u + 500u);
}

TEST_F(CheckTest, ABabblingTextEndsAt256Bytes)
{
    replies_[kMaker] = Bytes(5000, 'Q');
    const CheckResult r = check("COM1");
    EXPECT_EQ(r.errorKey, "maker");
    EXPECT_EQ(r.maker.size(), 256u);
}

TEST_F(CheckTest, SplitAndLateSerialTextsAreCollected)
{
    printer_.onWrite = [this](const Bytes& w) {
        if (w == kId)
            printer_.reply({'c'}, 300);
        if (w == kMaker) {
            printer_.reply(bytesOf("_QUE"), 50);
            printer_.reply(bytesOf("LLIX", true), 60);
        }
        if (w == kModel)
            printer_.reply(bytesOf("_KTP-M880", true), 400);
    };
    const CheckResult r = check("COM1");
    ASSERT_TRUE(r.ok) << r.message;
}

TEST_F(CheckTest, PacketTextsSeeOnlyThisExchangesBytes)
{
    // The model reply is one byte: nothing of the maker's longer reply may
    // show through it.
    replies_[kModel] = {'_'};
    const CheckResult r = check("127.0.0.1", 9100);
    EXPECT_EQ(r.errorKey, "model");
    EXPECT_EQ(r.model, "");
}

TEST_F(CheckTest, TheTakeoverHookRunsForSerialAndParallelOnly)
{
    int calls = 0;
    std::string device;
    const telvara::BeforeOpen hook = [&](const telvara::KindChoice& choice, CheckResult&) {
        ++calls;
        device = choice.device;
        EXPECT_FALSE(printer_.isOpen);
        return true;
    };
    LinkConfig c;
    c.portName = "LPT3";
    ASSERT_TRUE(check_.run(c, hook).ok);
    EXPECT_EQ(device, "/dev/lp2");
    link_.Close();
    c.portName = "M880:/dev/usb/lp0";
    ASSERT_TRUE(check_.run(c, hook).ok);
    EXPECT_EQ(calls, 1);
    link_.Close();

    const telvara::BeforeOpen refuse = [](const telvara::KindChoice&, CheckResult& failed) {
        failed.errorKey = "spooler";
        return false;
    };
    c.portName = "COM1";
    const int opensBefore = printer_.openAttempts;
    EXPECT_EQ(check_.run(c, refuse).errorKey, "spooler");
    EXPECT_EQ(printer_.openAttempts, opensBefore);
}

TEST_F(CheckTest, SelfTestSendsTheStatusSheetCommandAndWaits)
{
    ASSERT_TRUE(check("COM1").ok);
    printer_.writes.clear();
    const auto start = clock_.tickMs();
    EXPECT_TRUE(check_.selfTest().ok);
    ASSERT_EQ(printer_.writes.size(), 1u);
    EXPECT_EQ(printer_.writes[0], (Bytes{0x1d, 0x28, 0x41, 0x02, 0x00, 0x01, 0x02}));
    EXPECT_EQ(clock_.tickMs() - start, 4300u);
}

TEST(IdReplies, PacketTextIsFromTheSecondByteToTheNul)
{
    const auto view = [](const Bytes& b) { return telvara::ByteView(b.data(), b.size()); };
    EXPECT_EQ(telvara::PacketText(view(bytesOf("_QUELLIX", true))), "QUELLIX");
    EXPECT_EQ(telvara::PacketText(view(bytesOf("_QUELLIX"))), "QUELLIX");
    EXPECT_EQ(telvara::PacketText(view(bytesOf("_AB\0CD", false))), "AB");
    EXPECT_EQ(telvara::PacketText(view({})), "");
    EXPECT_EQ(telvara::PacketText(view({'_'})), "");
    EXPECT_TRUE(telvara::IsPrinterIdReply(view({'c', 0})));
    EXPECT_FALSE(telvara::IsPrinterIdReply(view({})));
    EXPECT_FALSE(telvara::IsPrinterIdReply(view({'C'})));
}

TEST(IdReplies, CollectedTextDropsUnderscoresAndEndsAtNulOrTheBound)
{
    std::size_t used = 0;
    Bytes withNul = bytesOf("_KTP_M880", true);
    withNul.insert(withNul.end(), {'r', 'e', 's', 't'});
    EXPECT_EQ(telvara::CollectedText(telvara::ByteView(withNul.data(), withNul.size()), &used), "KTPM880");
    EXPECT_EQ(used, 10u);
    const Bytes longText(300, 'x');
    EXPECT_EQ(telvara::CollectedText(telvara::ByteView(longText.data(), longText.size()), &used).size(), 256u);
    EXPECT_EQ(used, 256u);
}

} // namespace
