#include "corvane/link/CCommonUtil.h"
#include "platform/testing/fake_devices.h"

#include <gtest/gtest.h>

#include <map>

using namespace corvane;
using namespace platform::testing;

namespace {

const Bytes kCodePage{0x1D, 0x49, 0x45};
const Bytes kModel{0x1D, 0x49, 0x43};
const Bytes kVersion{0x1D, 0x49, 0x41};
const Bytes kMsr{0x1B, 0x4D, 0x49};

// Reply chunks per query command. A handful of commands, found by equality:
// ordering byte vectors (as a std::map key) makes GCC 12 see an impossible
// memcmp bound in optimised builds.
class Answers {
public:
    std::vector<Bytes>& operator[](const Bytes& command)
    {
        for (auto& [known, chunks] : entries_) {
            if (known == command)
                return chunks;
        }
        return entries_.emplace_back(command, std::vector<Bytes>{}).second;
    }
    const std::vector<Bytes>* find(const Bytes& command) const
    {
        for (const auto& [known, chunks] : entries_) {
            if (known == command)
                return &chunks;
        }
        return nullptr;
    }

private:
    std::vector<std::pair<Bytes, std::vector<Bytes>>> entries_;
};

TEST(ModelRule, KnownRepliesAndTheirCodes)
{
    const std::map<std::string, int> cases{
        {"_KMP-Z400II", kModelZ400II},
        {"_KMP-Z400W", kModelZ400W},
        {"_KMP-Z400", kModelZ400},
        {"_KMP-Z600", kModelZ600},
        {"_KMP-Z800", kModelZ800},
        {"xx_KMP-Z600", kModelZ600},
        {"_VX 440", kModelVX440},
        {"_VX-440", kModelVX440},
        // The variant test measures the whole reply, so noise in front of
        // the underscore makes these plain KMP-Z400.
        {"x_KMP-Z400W", kModelZ400},
        {"_KMP-Z400WX", kModelZ400},
        {"_KMP-Z400I", kModelZ400},
        {"_KMP-Z500", kModelUnknown},
        {"_KMP-X400", kModelUnknown},
        {"_KMP", kModelUnknown},
        {"_VX 450", kModelUnknown},
        {"KMP-Z400", kModelUnknown},
        {"", kModelUnknown},
        {"0123456789abcdef_KMP-Z400", kModelUnknown},
        {"0123456789abcde_KMP-Z400", kModelZ400},
    };
    for (const auto& [reply, code] : cases)
        EXPECT_EQ(ModelCodeFromReply(reply), code) << reply;
}

TEST(VersionRule, EachFamilyLandsInItsOwnRange)
{
    EXPECT_EQ(VersionNumberFromReply("_VER V1.04", kModelZ400), 1040u);
    EXPECT_EQ(VersionNumberFromReply("_VER V1.04", kModelVX440), 1040u);
    EXPECT_EQ(VersionNumberFromReply("_B01.00", kModelZ400), 21001u);
    EXPECT_EQ(VersionNumberFromReply("_C01.00", kModelZ400), 21000u);
    EXPECT_EQ(VersionNumberFromReply("_C02.10", kModelZ400), 22100u);
    EXPECT_EQ(VersionNumberFromReply("_V01.00", kModelZ600), 101000u);
    EXPECT_EQ(VersionNumberFromReply("_V01.00", kModelZ400W), 101000u);
    EXPECT_EQ(VersionNumberFromReply("_V00.99", kModelZ800), 100990u);
    // "_VER " without V: the digits at 11, 13, 14, plus one for TMS.
    EXPECT_EQ(VersionNumberFromReply("_VER  XXX V1.06", kModelZ400), 11060u);
    EXPECT_EQ(VersionNumberFromReply("_VER  TMS V1.06", kModelZ400), 11061u);
    // Short or non-numeric replies read the missing digits as the end.
    EXPECT_EQ(VersionNumberFromReply("_VER V", kModelZ400), 0u);
    EXPECT_EQ(VersionNumberFromReply("_VER ", kModelZ400), 10000u);
    EXPECT_EQ(VersionNumberFromReply("_V1", kModelZ600), 100010u);
    EXPECT_EQ(VersionNumberFromReply("", kModelZ400), 20000u);
}

struct IdentifyTest : ::testing::Test {
    platform::ManualClock clock{5000};
    FakePrinter printer{clock};
    FakeDevices devices{printer};
    CCommonUtil util{clock, devices};
    Answers answers;

    void SetUp() override
    {
        printer.onWrite = [this](const Bytes& data) {
            const std::vector<Bytes>* chunks = answers.find(data);
            if (chunks == nullptr)
                return;
            std::uint64_t delay = 0;
            for (const auto& chunk : *chunks) {
                printer.reply(chunk, delay);
                delay += 30;
            }
        };
        util.settings.portName = "COM2";
        util.ApplyPortSettings();
        ASSERT_EQ(util.port.Open(), 1);
        printer.writes.clear();
    }

    std::vector<Bytes> queriesSent() const { return printer.writes; }
};

TEST_F(IdentifyTest, EachQuerySendsItsThreeBytesOnce)
{
    answers[kModel] = {bytesOf("_KMP-Z400", true)};
    answers[kVersion] = {bytesOf("_VER V1.04", true)};
    answers[kCodePage] = {bytesOf("_PC850", true)};
    answers[kMsr] = {{0x37, 0x80, 0x05, 0x00}};
    EXPECT_EQ(util.CheckPrinter(kQueryModel), kOk);
    EXPECT_EQ(util.CheckPrinter(kQueryVersion), kOk);
    EXPECT_EQ(util.CheckPrinter(kQueryCodePage), kOk);
    EXPECT_EQ(util.CheckPrinter(kQueryMsrMode), kOk);
    EXPECT_EQ(queriesSent(), (std::vector<Bytes>{kModel, kVersion, kCodePage, kMsr}));
    EXPECT_EQ(util.g_Model, kModelZ400);
    EXPECT_EQ(util.modelName, "KMP-Z400");
    EXPECT_EQ(util.g_Getver, 1040u);
    EXPECT_EQ(util.firmwareVersion, "VER V1.04");
    EXPECT_EQ(util.codePage, "_PC850");
    EXPECT_EQ(util.msrMode, 5);
    EXPECT_TRUE(util.port.IsOpen());
}

TEST_F(IdentifyTest, ReplyInPiecesWithStrayBytesIsJoined)
{
    answers[kModel] = {bytesOf("xx_KM"), bytesOf("P-Z"), bytesOf("600", true)};
    EXPECT_EQ(util.CheckPrinter(kQueryModel), kOk);
    EXPECT_EQ(util.g_Model, kModelZ600);
    EXPECT_EQ(util.modelName, "x_KMP-Z600");
    answers[kVersion] = {bytesOf("_V01"), bytesOf(".00", true)};
    EXPECT_EQ(util.CheckPrinter(kQueryVersion), kOk);
    EXPECT_EQ(util.g_Getver, 101000u);
}

TEST_F(IdentifyTest, ReplyWithoutNulIsParsedAsReceivedAfter3s)
{
    answers[kModel] = {bytesOf("_KMP-Z400W")};
    const auto start = clock.tickMs();
    EXPECT_EQ(util.CheckPrinter(kQueryModel), kOk);
    EXPECT_GT(clock.tickMs() - start, 3000u);
    EXPECT_LT(clock.tickMs() - start, 3000u + 1300u);
    EXPECT_EQ(util.g_Model, kModelZ400W);
}

TEST_F(IdentifyTest, OverlongRepliesStayWithinTheirBuffers)
{
    answers[kModel] = {bytesOf("_KMP-Z800" + std::string(60, 'A'), true)};
    EXPECT_EQ(util.CheckPrinter(kQueryModel), kOk);
    EXPECT_EQ(util.g_Model, kModelZ800);
    EXPECT_EQ(util.modelName.size(), 28u) << "29 characters of a 30-byte buffer, less the first";
    for (int cap : printer.readCapacities)
        EXPECT_LE(cap, 20);

    printer.pending.clear();
    printer.readCapacities.clear();
    answers[kVersion] = {bytesOf("_V01.00" + std::string(100, 'B'))};
    EXPECT_EQ(util.CheckPrinter(kQueryVersion), kOk);
    EXPECT_EQ(util.firmwareVersion.size(), 38u);
    EXPECT_EQ(util.g_Getver, 101000u);

    printer.pending.clear();
    answers[kCodePage] = {Bytes(150, 'C')};
    EXPECT_EQ(util.CheckPrinter(kQueryCodePage), kOk);
    EXPECT_EQ(util.codePage, std::string(100, 'C'));
}

TEST_F(IdentifyTest, ExactFitRepliesLeaveNothingBehindForTheNextQuery)
{
    // 29 characters and the NUL fill the 30-byte model buffer, 39 and the NUL
    // the 40-byte version buffer; each NUL belongs to its own reply, so the
    // answers after them stay where they belong.
    const std::string model = "_KMP-Z400" + std::string(20, ' ');
    const std::string version = "_VER V1.04" + std::string(29, ' ');
    ASSERT_EQ(model.size() + 1, 30u);
    ASSERT_EQ(version.size() + 1, 40u);
    answers[kModel] = {bytesOf(model, true)};
    answers[kVersion] = {bytesOf(version, true)};
    answers[kCodePage] = {bytesOf("_PC850", true)};
    answers[kMsr] = {{0x37, 0x80, 0x05, 0x00}};

    EXPECT_EQ(util.CheckPrinter(kQueryModel), kOk);
    EXPECT_EQ(util.g_Model, kModelZ400);
    EXPECT_EQ(util.modelName, model.substr(1));
    EXPECT_EQ(util.CheckPrinter(kQueryVersion), kOk);
    EXPECT_EQ(util.g_Getver, 1040u);
    EXPECT_EQ(util.firmwareVersion, version.substr(1));
    EXPECT_EQ(util.CheckPrinter(kQueryCodePage), kOk);
    EXPECT_EQ(util.codePage, "_PC850");
    EXPECT_EQ(util.CheckPrinter(kQueryMsrMode), kOk);
    EXPECT_EQ(util.msrMode, 5);
    EXPECT_TRUE(printer.pending.empty()) << "every reply byte was taken by its own query";
}

TEST_F(IdentifyTest, SilentPrinter)
{
    const auto start = clock.tickMs();
    EXPECT_EQ(util.CheckPrinter(kQueryCodePage), kOk);
    EXPECT_EQ(util.codePage, "_PC437");
    EXPECT_TRUE(util.port.IsOpen());

    const auto modelStart = clock.tickMs();
    EXPECT_EQ(util.CheckPrinter(kQueryModel), kNoReply);
    const auto took = clock.tickMs() - modelStart;
    EXPECT_GT(took, 3000u);
    EXPECT_LT(took, 3000u + 1300u) << "about 3 s plus at most one read time-out";
    EXPECT_FALSE(util.port.IsOpen());
    EXPECT_GT(clock.tickMs(), start);
}

TEST_F(IdentifyTest, CodePageNameInPiecesIsReadWhole)
{
    answers[kCodePage] = {bytesOf("_PC8"), bytesOf("58", true)};
    EXPECT_EQ(util.CheckPrinter(kQueryCodePage), kOk);
    EXPECT_EQ(util.codePage, "_PC858");

    // A name that never ends reads on only while bytes keep coming.
    answers[kCodePage] = {bytesOf("_KATAKANA")};
    const auto start = clock.tickMs();
    EXPECT_EQ(util.CheckPrinter(kQueryCodePage), kOk);
    EXPECT_EQ(util.codePage, "_KATAKANA");
    EXPECT_LT(clock.tickMs() - start, 100u + 2u * 2000u + 100u);
    EXPECT_TRUE(util.port.IsOpen());
}

TEST_F(IdentifyTest, UnknownModelClosesThePortAndLeavesCodeZero)
{
    answers[kModel] = {bytesOf("NOUNDERSCORE_HERE", true)};
    EXPECT_EQ(util.CheckPrinter(kQueryModel), kNotSupported);
    EXPECT_EQ(util.g_Model, kModelUnknown);
    EXPECT_FALSE(util.port.IsOpen());
}

TEST_F(IdentifyTest, MsrModeReplies)
{
    answers[kMsr] = {{0x37, 0x80}, {0x05, 0x00}};
    EXPECT_EQ(util.CheckPrinter(kQueryMsrMode), kOk) << "a reply in two pieces is still whole";
    EXPECT_EQ(util.msrMode, 5);

    answers[kMsr] = {{0x37, 0x80, 0x09, 0x01}};
    EXPECT_EQ(util.CheckPrinter(kQueryMsrMode), kBadFormat);
    EXPECT_EQ(util.msrMode, 5) << "a failed query keeps the last answer";
    EXPECT_FALSE(util.port.IsOpen());

    ASSERT_EQ(util.port.Open(), 1);
    answers[kMsr] = {{0x38, 0x80, 0x01, 0x00}};
    EXPECT_EQ(util.CheckPrinter(kQueryMsrMode), kBadFormat);

    ASSERT_EQ(util.port.Open(), 1);
    answers[kMsr] = {{0x37, 0x80, 0x01}};
    const auto start = clock.tickMs();
    EXPECT_EQ(util.CheckPrinter(kQueryMsrMode), kNoReply);
    EXPECT_GT(clock.tickMs() - start, 5000u);
    EXPECT_FALSE(util.port.IsOpen());
}

TEST_F(IdentifyTest, ClosedPortGives101AndSendsNothing)
{
    util.port.Close();
    printer.writes.clear();
    for (int q : {kQueryCodePage, kQueryModel, kQueryVersion, kQueryMsrMode})
        EXPECT_EQ(util.CheckPrinter(q), kNotOpen) << q;
    EXPECT_TRUE(printer.writes.empty());
    EXPECT_EQ(util.CheckPrinter(7), kOk);
    EXPECT_EQ(util.CheckPrinter(-1), kOk);
    EXPECT_TRUE(printer.writes.empty());
}

TEST_F(IdentifyTest, ShortWriteGives300AndClosesThePort)
{
    printer.writeLimit = 2;
    EXPECT_EQ(util.CheckPrinter(kQueryVersion), kShortWrite);
    EXPECT_FALSE(util.port.IsOpen());
    EXPECT_EQ(util.g_Getver, 0u);
}

TEST(CCommonUtilDefaults, SettingsAreCopiedIntoThePort)
{
    platform::ManualClock clock;
    FakePrinter printer{clock};
    FakeDevices devices{printer};
    CCommonUtil util{clock, devices};
    EXPECT_EQ(util.g_Model, kModelZ400);
    EXPECT_EQ(util.settings.portName, "COM1:");
    EXPECT_EQ(util.settings.baudRate, 115200);
    util.settings = PortSettings{"NET10.1.2.3", 9100, 2, 7, 2, 1};
    util.ApplyPortSettings();
    EXPECT_EQ(util.port.settings.portName, "NET10.1.2.3");
    EXPECT_EQ(util.port.settings.baudRate, 9100);
    EXPECT_EQ(util.port.settings.parity, 2);
    EXPECT_EQ(util.port.settings.dataBits, 7);
    EXPECT_EQ(util.port.settings.stopBits, 2);
    EXPECT_EQ(util.port.settings.flowControl, 1);
}

} // namespace
