// The status dialog's exchanges on the fake printer and the manual clock:
// the byte streams of verify, Get and Set per port kind, the per-switch wait
// for "7", incomplete Gets, short writes during a Set, the endings by font
// and firmware age, and the two print commands.
#include "telvara/manager/SwitchExchange.h"

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
using namespace telvara;

const Bytes kReset{0x1b, 0x40};
const Bytes kPeripheral{0x1b, 0x3d, 0x01};
const Bytes kStatusBack{0x1d, 0x61, 0x00};
const Bytes kId{0x1d, 0x49, 0x03};
const Bytes kModel{0x1d, 0x49, 0x43};
const Bytes kVersion{0x1d, 0x49, 0x41};
const Bytes kLanguage{0x1d, 0x49, 0x45};
const Bytes kIn(std::begin(kEnterSettingMode), std::end(kEnterSettingMode));
const Bytes kOut(std::begin(kLeaveSettingMode), std::end(kLeaveSettingMode));

Bytes readCommand(int sw)
{
    return {0x1d, 0x28, 0x45, 0x02, 0x00, 0x04, static_cast<std::uint8_t>(sw)};
}

Bytes switchReply(const std::string& pins8to1)
{
    Bytes b{0x37, 0x21};
    for (char c : pins8to1)
        b.push_back(static_cast<std::uint8_t>(c));
    b.push_back(0);
    return b;
}

Bytes writeCommand(int sw, const std::string& chars)
{
    Bytes b{0x1d, 0x28, 0x45, 0x0a, 0x00, 0x03, static_cast<std::uint8_t>(sw)};
    for (char c : chars)
        b.push_back(static_cast<std::uint8_t>(c));
    return b;
}

// The switches of a simulated printer, pins 8 to 1.
const std::map<int, std::string> kPrinterSwitches{
    {1, "00000011"}, {2, "00011101"}, {3, "00000001"}, {4, "00010000"},
    {5, "10000001"}, {6, "00100100"}, {11, "11110000"}, {12, "00000010"},
};

class ExchangeTest : public ::testing::Test {
public:
    ExchangeTest()
    {
        replies_[kId] = {'c'};
        replies_[kModel] = bytesOf("_KTP-M880", true);
        replies_[kVersion] = bytesOf("_V2.00", true);
        replies_[kLanguage] = bytesOf("_ENGLISH", true);
        replies_[kIn] = {0x37, 0x20, 0x00};
        for (const auto& [sw, pins] : kPrinterSwitches)
            replies_[readCommand(sw)] = switchReply(pins);
        printer_.onWrite = [this](const Bytes& w) {
            if (onWrite)
                onWrite(w);
            const auto it = replies_.find(w);
            if (it != replies_.end())
            {
                Bytes reply = strays_[w];
                reply.insert(reply.end(), it->second.begin(), it->second.end());
                printer_.reply(reply);
            }
        };
    }

    void open(const char* port, int tcpPort = 0)
    {
        LinkConfig c;
        c.portName = port;
        c.tcpPort = tcpPort;
        ASSERT_EQ(link_.Configure(c), 1);
        ASSERT_EQ(link_.Open(0), 1);
        printer_.writes.clear();
    }

    SwitchOutcome run(SwitchOp op, bool opening = false)
    {
        SwitchJob job(op, link_, clock_, model_, opening);
        EXPECT_TRUE(job.controlsHeld());
        const SwitchOutcome o = RunSwitchJob(job, clock_);
        EXPECT_TRUE(job.ended());
        EXPECT_FALSE(job.controlsHeld());
        sent_ = job.sent();
        return o;
    }

    std::vector<Bytes> writesAfter(std::size_t from) const
    {
        return {printer_.writes.begin() + static_cast<std::ptrdiff_t>(from), printer_.writes.end()};
    }

    platform::ManualClock clock_{0};
    FakePrinter printer_{clock_};
    FakeDevices devices_{printer_};
    PortLink link_{clock_, devices_};
    StatusModel model_;
    std::map<Bytes, Bytes> replies_;
    std::map<Bytes, Bytes> strays_;
    std::function<void(const Bytes&)> onWrite;
    std::vector<std::string> sent_;
};

const std::vector<Bytes> kVerifyWithModel{kReset, kPeripheral, kVersion, kLanguage, kModel, kStatusBack, kId};

std::vector<Bytes> getStream()
{
    std::vector<Bytes> s = kVerifyWithModel;
    for (int sw : kSwitchNumbers)
        s.push_back(readCommand(sw));
    s.push_back(kPeripheral);
    return s;
}

TEST_F(ExchangeTest, GetReadsTheEightSwitchesOnEveryKind)
{
    for (const auto& [port, tcp] : std::vector<std::pair<const char*, int>>{
             {"COM1", 0}, {"LPT1", 0}, {"M880:/dev/usb/lp0", 0}, {"127.0.0.1", 9100}}) {
        SCOPED_TRACE(port);
        model_ = StatusModel{};
        open(port, tcp);
        const SwitchOutcome o = run(SwitchOp::Get);
        ASSERT_TRUE(o.ok) << o.errorKey;
        EXPECT_EQ(printer_.writes, getStream());
        for (const auto& [sw, pins] : kPrinterSwitches)
            EXPECT_EQ(SwitchShownText(model_.matrix, sw), pins) << "MSW" << sw;
        ASSERT_EQ(o.messages.size(), 1u);
        EXPECT_EQ(o.messages[0].text, texts::kGetDone.text);
        EXPECT_EQ(o.controls, ControlsAfter::All);
        EXPECT_EQ(model_.initialisedFlag, 1);
        EXPECT_EQ(model_.settingPage.modelText, "KTP-M880");
        EXPECT_EQ(model_.settingPage.firmwareText, "V2.00");
        EXPECT_EQ(model_.settingPage.languageText, "ENGLISH");
        EXPECT_FALSE(model_.firmwareOld);
        link_.Close();
    }
}

TEST_F(ExchangeTest, AKnownModelSkipsTheModelCheck)
{
    open("COM1");
    model_.setIdentity("KTP-M882", "V2.00", "ENGLISH");
    ASSERT_TRUE(run(SwitchOp::Verify).ok);
    EXPECT_EQ(printer_.writes, (std::vector<Bytes>{kReset, kPeripheral, kStatusBack, kId}));
}

TEST_F(ExchangeTest, SerialGetWaitsForTheHeaderOfEverySwitch)
{
    // A stray byte before the first reply and a stray "7" before another
    // would shift every character if the first byte were taken as the "7".
    strays_[readCommand(1)] = {0x00};
    strays_[readCommand(4)] = {0x37, 0x55};
    open("COM1");
    ASSERT_TRUE(run(SwitchOp::Get).ok);
    for (const auto& [sw, pins] : kPrinterSwitches)
        EXPECT_EQ(SwitchShownText(model_.matrix, sw), pins) << "MSW" << sw;
}

TEST_F(ExchangeTest, ASilentSwitchMakesTheGetIncompleteWithinItsBound)
{
    for (const char* port : {"COM1", "M880:/dev/usb/lp0"}) {
        SCOPED_TRACE(port);
        model_ = StatusModel{};
        replies_.erase(readCommand(11));
        open(port);
        const std::uint64_t before = clock_.tickMs();
        const SwitchOutcome o = run(SwitchOp::Get);
        EXPECT_FALSE(o.ok);
        EXPECT_EQ(o.errorKey, "incomplete");
        EXPECT_EQ(o.missingSwitches, std::vector<int>{11});
        ASSERT_EQ(o.messages.size(), 1u);
        EXPECT_EQ(o.messages[0].text, "Can't connect printer. Please restart printer.");
        EXPECT_EQ(model_.initialisedFlag, 0);
        EXPECT_EQ(SwitchShownText(model_.matrix, 11), "--------");
        EXPECT_EQ(SwitchShownText(model_.matrix, 12), kPrinterSwitches.at(12));
        // Verify, seven answered switches and one bounded wait: seconds, not
        // an endless loop.
        EXPECT_LT(clock_.tickMs() - before, 12000u);
        replies_[readCommand(11)] = switchReply(kPrinterSwitches.at(11));
        link_.Close();
    }
}

TEST_F(ExchangeTest, AGarbledSwitchReplyIsMissingNotShifted)
{
    Bytes bad = switchReply("00000011");
    bad.back() = 'x';
    replies_[readCommand(2)] = bad;
    open("COM1");
    const SwitchOutcome o = run(SwitchOp::Get);
    EXPECT_EQ(o.errorKey, "incomplete");
    EXPECT_EQ(o.missingSwitches, std::vector<int>{2});
}

TEST_F(ExchangeTest, VerifyFailures)
{
    open("COM1");
    replies_[kModel] = bytesOf("_TM-X", true);
    SwitchOutcome o = run(SwitchOp::Get, false);
    EXPECT_EQ(o.errorKey, "product");
    ASSERT_EQ(o.messages.size(), 2u);
    EXPECT_EQ(o.messages[0].text, "This printer don't match our printer name.");
    EXPECT_EQ(o.messages[0].caption, "Warning");
    EXPECT_EQ(o.messages[1].text, "Don't use this program for other company product.");
    EXPECT_EQ(o.controls, ControlsAfter::ExitOnly);
    // Nothing was read.
    for (const Bytes& w : printer_.writes)
        EXPECT_NE(w, readCommand(1));

    replies_[kModel] = bytesOf("_KTP-M882", true);
    replies_.erase(kId);
    o = run(SwitchOp::Verify, true);
    EXPECT_EQ(o.errorKey, "printer");
    EXPECT_EQ(o.messages.at(0).text, "Can't connect printer. Please restart printer.");
    EXPECT_EQ(o.messages.at(0).caption, "Information");
    EXPECT_EQ(o.controls, ControlsAfter::CloseDialog);

    replies_[kId] = {'c'};
    o = run(SwitchOp::Verify, true);
    EXPECT_TRUE(o.ok);
    EXPECT_EQ(o.controls, ControlsAfter::GetAndExit);
}

TEST_F(ExchangeTest, FirmwareAgeFromTheVersionReply)
{
    const std::vector<std::pair<std::string, bool>> cases{
        {"_V1.31", true}, {"_V1.32", false}, {"_V0.99", true}, {"_V2.00", false},
        {"_V1", false},   {"_", false},      {"", false},      {"_V131", false},
    };
    for (const auto& [reply, old] : cases) {
        SCOPED_TRACE(reply);
        model_ = StatusModel{};
        replies_[kVersion] = bytesOf(reply, true);
        open("M880:/dev/usb/lp0");
        ASSERT_TRUE(run(SwitchOp::Verify).ok);
        EXPECT_EQ(model_.firmwareOld, old);
        link_.Close();
    }
}

std::vector<Bytes> setWrites(const std::map<int, std::string>& chars)
{
    std::vector<Bytes> s{kIn};
    for (int sw : kSwitchNumbers)
        s.push_back(writeCommand(sw, chars.at(sw)));
    s.push_back(kOut);
    s.push_back(kPeripheral);
    return s;
}

TEST_F(ExchangeTest, SetSendsTheMatrixInsideTheSettingMode)
{
    open("COM1");
    model_.setIdentity("KTP-M880", "V2.00", "ENGLISH");
    const std::size_t verifyWrites = 4;
    SwitchOutcome o = run(SwitchOp::Set);
    ASSERT_TRUE(o.ok) << o.errorKey;
    std::map<int, std::string> none;
    for (int sw : kSwitchNumbers)
        none[sw] = sw == 12 ? "00000000" : "22222222";
    std::vector<Bytes> expected = setWrites(none);
    // Without a double byte font the identity is read again at the end.
    expected.push_back(kVersion);
    expected.push_back(kLanguage);
    EXPECT_EQ(writesAfter(verifyWrites), expected);
    EXPECT_EQ(sent_.front(), "MSW1 22222222");
    EXPECT_EQ(sent_.back(), "MSW12 00000000");
    ASSERT_EQ(o.messages.size(), 1u);
    EXPECT_EQ(o.messages[0].text, "Success to set status of printer");

    printer_.writes.clear();
    model_.initialize();
    ASSERT_TRUE(run(SwitchOp::Set).ok);
    std::map<int, std::string> zeros;
    for (int sw : kSwitchNumbers)
        zeros[sw] = "00000000";
    const std::vector<Bytes> w = writesAfter(verifyWrites);
    const std::vector<Bytes> z = setWrites(zeros);
    EXPECT_EQ(std::vector<Bytes>(w.begin(), w.begin() + static_cast<std::ptrdiff_t>(z.size())), z);
}

TEST_F(ExchangeTest, SetWritesNamedSettingsAndPins)
{
    open("LPT1");
    model_.setIdentity("KTP-M880", "V1.31", "ENGLISH");
    ASSERT_TRUE(model_.chooseSetting(Setting::Speed, 4));     // speed 1
    ASSERT_TRUE(model_.chooseSetting(Setting::CodePage, 36)); // PC866 (DTK), n = 35
    ASSERT_TRUE(model_.choosePin(5, 1));                      // switch 1 pin 5 on
    ASSERT_TRUE(run(SwitchOp::Set).ok);
    ASSERT_GE(sent_.size(), 2u);
    EXPECT_EQ(sent_[0], "MSW1 22212011");
    EXPECT_EQ(sent_[1], "MSW2 00011122");
}

TEST_F(ExchangeTest, ADoubleByteFontIsDueOnlyOnNewFirmwareAndNothingIsDownloaded)
{
    open("M880:/dev/usb/lp0");
    model_.setIdentity("KTP-M880", "V2.00", "ENGLISH");
    ASSERT_TRUE(model_.chooseSetting(Setting::DoubleByteFont, 2)); // SHIFT-JIS
    SwitchJob job(SwitchOp::Set, link_, clock_, model_);
    SwitchOutcome o = RunSwitchJob(job, clock_);
    ASSERT_TRUE(o.ok);
    EXPECT_EQ(o.fontDownload, 2);
    EXPECT_TRUE(job.fontDownloadDue());
    EXPECT_NE(o.messages.at(0).text, texts::kSetDone.text);
    EXPECT_NE(o.messages.at(0).text, texts::kSetStartsFontDownload.text);
    // No identity re-read and nothing after the set's own bytes.
    EXPECT_EQ(printer_.writes.back(), kPeripheral);
    EXPECT_EQ(job.sent()[1], "MSW2 22222221");
    EXPECT_EQ(job.sent()[3], "MSW4 20012222");
    EXPECT_EQ(job.sent()[7], "MSW12 00000011");

    model_.setIdentity("KTP-M880", "V1.20", "ENGLISH");
    o = run(SwitchOp::Set);
    EXPECT_EQ(o.fontDownload, 0);
    EXPECT_EQ(o.messages.at(0).text, texts::kSetDone.text);
}

TEST_F(ExchangeTest, AShortWriteEndsTheSetAsALostLink)
{
    // The link goes away after IN, after the third switch and at OUT.
    for (const std::size_t goneAfter : {std::size_t{0}, std::size_t{3}, std::size_t{8}}) {
        SCOPED_TRACE(goneAfter);
        printer_.writeLimit = -1;
        model_ = StatusModel{};
        model_.setIdentity("KTP-M880", "V2.00", "ENGLISH");
        ASSERT_TRUE(model_.chooseSetting(Setting::DoubleByteFont, 2));
        std::size_t switchWrites = 0;
        bool inSeen = false;
        onWrite = [&](const Bytes& w) {
            if (w == kIn)
                inSeen = true;
            else if (inSeen && w.size() == 15)
                ++switchWrites;
            if (inSeen && switchWrites == goneAfter)
                printer_.writeLimit = 2;
        };
        open("COM1");
        const SwitchOutcome o = run(SwitchOp::Set);
        onWrite = nullptr;
        EXPECT_FALSE(o.ok);
        EXPECT_EQ(o.errorKey, "link-lost");
        ASSERT_EQ(o.messages.size(), 1u);
        EXPECT_EQ(o.messages[0].text, "Can't connect printer. Please restart printer.");
        EXPECT_EQ(o.messages[0].caption, "Warning");
        EXPECT_EQ(o.fontDownload, 0);
        EXPECT_EQ(o.controls, ControlsAfter::All);
        EXPECT_EQ(sent_.size(), goneAfter);
        link_.Close();
    }
}

TEST_F(ExchangeTest, PrintCommands)
{
    open("127.0.0.1", 9100);
    model_.setIdentity("KTP-M880", "V2.00", "ENGLISH");
    ASSERT_TRUE(run(SwitchOp::PrintCodepage).ok);
    EXPECT_EQ(printer_.writes, (std::vector<Bytes>{{0x1b, 0x39, 0x05}}));
    printer_.writes.clear();
    ASSERT_TRUE(run(SwitchOp::PrintStatus).ok);
    EXPECT_EQ(printer_.writes, (std::vector<Bytes>{kReset, kPeripheral, kStatusBack, kId, {0x1b, 0x39, 0x06}}));
    printer_.writes.clear();
    replies_.erase(kId);
    EXPECT_EQ(run(SwitchOp::PrintStatus).errorKey, "printer");
    EXPECT_EQ(printer_.writes.back(), kId);
}

TEST_F(ExchangeTest, TheJobRunsInPhasesAndHoldsTheControlsUntilItEnds)
{
    open("COM1");
    SwitchJob job(SwitchOp::Get, link_, clock_, model_);
    platform::JobNext next = job.start();
    int phases = 0;
    while (!next.isEnd()) {
        EXPECT_TRUE(job.controlsHeld());
        EXPECT_FALSE(job.ended());
        clock_.advance(next.delayMs());
        next = job.fire(next.timerId());
        ++phases;
    }
    EXPECT_FALSE(job.controlsHeld());
    // The verify, one phase per switch, the finish.
    EXPECT_EQ(phases, 1 + kSwitchCount + 1);
}

} // namespace
