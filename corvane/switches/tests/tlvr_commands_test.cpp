// The memory switch commands over the fake port: bytes on the wire, reply
// collection, result codes and the close-on-failure rule.
#include "tlvr_fixture.h"

#include "platform/registry_store.h"

#include <cstdio>
#include <filesystem>
#include <unistd.h>

using namespace corvane;
using namespace tlvr_test;

namespace {

using Commands = TlvrTest;

TEST_F(Commands, SwitchReadBothFormsDecodeIntoTheRecord)
{
    identified(kModelZ600, 101000);
    script.on(readSwitchGs(1), switchReply("00011101"));
    ASSERT_EQ(record.ReadSwitchGs(1), kOk);
    EXPECT_EQ(record.Density, 5);
    EXPECT_EQ(record.LCharMode, 1);
    EXPECT_EQ(record.Speed, 1);
    EXPECT_EQ(sent(), (std::vector<Bytes>{readSwitchGs(1)}));

    identified(kModelZ400, 21001);
    script.on(readSwitchBs(2), switchReply("00001100"));
    ASSERT_EQ(record.ReadSwitchBs(2), kOk);
    EXPECT_EQ(record.CodePage, 1 + 32);
    EXPECT_EQ(record.ReadSwitchBs(0x49), kNotSupported) << "no 0x49 in the BS form";
    EXPECT_EQ(record.ReadSwitchGs(4), kNotSupported);
    EXPECT_TRUE(util.port.IsOpen());
}

TEST_F(Commands, ReplyInPiecesIsJoinedAndReadsAskOnlyForWhatIsMissing)
{
    identified(kModelZ600, 101000);
    const Bytes reply = switchReply("00000110");
    script.on(readSwitchGs(6), std::vector<Bytes>{Bytes(reply.begin(), reply.begin() + 3),
                                                  Bytes(reply.begin() + 3, reply.begin() + 7),
                                                  Bytes(reply.begin() + 7, reply.end())});
    ASSERT_EQ(record.ReadSwitchGs(6), kOk);
    EXPECT_EQ(record.TimeSave, 6);
    for (int cap : printer.readCapacities)
        EXPECT_LE(cap, 11);
    EXPECT_EQ(printer.readCapacities.front(), 11);
    EXPECT_LT(printer.readCapacities.back(), 11);
}

TEST_F(Commands, SilentSwitchReadEndsWith301AfterTwoSecondsAndClosesThePort)
{
    identified(kModelZ600, 101000);
    const Bytes reply = switchReply("00000110");
    script.on(readSwitchGs(3), Bytes(reply.begin(), reply.begin() + 10));
    record.QrCode = 7;
    const auto start = clock.tickMs();
    EXPECT_EQ(record.ReadSwitchGs(3), kNoReply);
    const auto spent = clock.tickMs() - start;
    EXPECT_GT(spent, 150u + 2000u);
    EXPECT_LT(spent, 150u + 2000u + 1200u);
    EXPECT_FALSE(util.port.IsOpen());
    EXPECT_EQ(record.QrCode, 7) << "a failed read leaves the record as it was";
    EXPECT_EQ(record.ReadSwitchGs(3), kNotOpen);
}

TEST_F(Commands, GarbledOrOverlongSwitchRepliesFailTheirCheck)
{
    identified(kModelZ600, 101000);
    script.on(readSwitchGs(5), switchReply("0000/000"));
    EXPECT_EQ(record.ReadSwitchGs(5), kBadFormat);
    EXPECT_FALSE(util.port.IsOpen());

    ASSERT_EQ(util.port.Open(), 1);
    // Twenty bytes answer an eleven-byte read: only eleven are taken.
    script.on(readSwitchGs(5), cat({switchReply("00000001"), Bytes(9, 'Z')}));
    printer.readCapacities.clear();
    EXPECT_EQ(record.ReadSwitchGs(5), kOk);
    EXPECT_EQ(record.TimeOff, 1);
    for (int cap : printer.readCapacities)
        EXPECT_LE(cap, 11);
}

TEST_F(Commands, BlackMarkSwitchRules)
{
    identified(kModelZ600, 100999 + 1);
    script.on(readSwitchGs(0x51), switchReply("00000001"));
    ASSERT_EQ(record.ReadSwitchGs(0x51), kOk);
    EXPECT_EQ(record.BlackMarkSensor, PackBlackMark('0', '1'));
    script.on(readSwitchGs(0x51), switchReply("00000011"));
    EXPECT_EQ(record.ReadSwitchGs(0x51), kBadFormat);
    EXPECT_FALSE(util.port.IsOpen());
    ASSERT_EQ(util.port.Open(), 1);

    // Below 101000: the reply is consumed, 107, the port stays open.
    identified(kModelZ600, 100000);
    script.on(readSwitchGs(0x51), switchReply("00000001"));
    EXPECT_EQ(record.ReadSwitchGs(0x51), kNotSupported);
    EXPECT_TRUE(util.port.IsOpen());
    EXPECT_TRUE(printer.pending.empty());

    // The write below 101000 closes the port before sending anything.
    printer.writes.clear();
    EXPECT_EQ(record.WriteSwitchGs(0x51), kNotSupported);
    EXPECT_FALSE(util.port.IsOpen());
    EXPECT_TRUE(sent().empty());
    ASSERT_EQ(util.port.Open(), 1);
    printer.writes.clear();

    // A pair never read is not sent.
    identified(kModelZ600, 101000);
    record.BlackMarkSensor = 0;
    EXPECT_EQ(record.WriteSwitchGs(0x51), kNotSupported);
    EXPECT_TRUE(sent().empty());
    record.BlackMarkSensor = PackBlackMark('1', '0');
    EXPECT_EQ(record.WriteSwitchGs(0x51), kOk);
    EXPECT_EQ(sent().back(), cat({{0x51}, bytesOf("00000010")}));
}

TEST_F(Commands, SwitchWritesKeepTheirHeaders)
{
    identified(kModelZ600, 101000);
    record.Density = 3;
    ASSERT_EQ(record.WriteSwitchGs(1), kOk);
    EXPECT_EQ(sent(), (std::vector<Bytes>{{0x1D, 0x28, 0x45, 0x0B, 0x00, 0x03}, cat({{0x01}, bytesOf("22200011")})}));
    printer.writes.clear();

    identified(kModelZ400, 21001, 'P');
    ASSERT_EQ(record.WriteSwitchBs(1), kOk);
    ASSERT_EQ(record.WriteSwitchBs(2), kOk);
    EXPECT_EQ(sent(), (std::vector<Bytes>{{0x08, 0x5E, 0x45, 0x39, 0x00, 0x03}, bytesOf("22200011"),
                                          bytesOf("00000022")}));
}

TEST_F(Commands, SettingModeReplies)
{
    identified(kModelZ600, 101000);
    script.on(kBeginGs, kAck);
    EXPECT_EQ(record.BeginSettingGs(), kOk);
    for (int cap : printer.readCapacities)
        EXPECT_LE(cap, 3) << "a three-byte reply is read three bytes at most";
    script.on(kBeginGs, Bytes{0x37, 0x21, 0x00});
    EXPECT_EQ(record.BeginSettingGs(), kBadFormat);
    ASSERT_EQ(util.port.Open(), 1);
    script.on(kBeginBs, Bytes{0x37, 0x21, 0x00});
    EXPECT_EQ(record.BeginSettingBs(), kNoReply) << "the BS form calls a wrong reply late";
    ASSERT_EQ(util.port.Open(), 1);
    script.on(kBeginBs, kAck);
    EXPECT_EQ(record.BeginSettingBs(), kOk);
    printer.writes.clear();
    EXPECT_EQ(record.EndSettingGs(), kOk);
    EXPECT_EQ(record.EndSettingBs(), kOk);
    EXPECT_EQ(sent(), (std::vector<Bytes>{{0x1D, 0x28, 0x45, 0x04, 0x00, 0x02, 'O', 'U', 'T'},
                                          {0x08, 0x5E, 0x45, 0x01, 0x00, 0x02}}));
}

TEST_F(Commands, SerialItems)
{
    identified(kModelZ600, 101000);
    script.on(readSerialGs(1), serialReply(1, "38400"));
    script.on(readSerialGs(2), serialReply(2, "/"));
    ASSERT_EQ(record.ReadSerialGs(1), kOk);
    EXPECT_EQ(record.Baudrate, 38400);
    record.Parity = 1;
    EXPECT_EQ(record.ReadSerialGs(2), kBadFormat);
    EXPECT_EQ(record.Parity, 1);
    EXPECT_FALSE(util.port.IsOpen());
    ASSERT_EQ(util.port.Open(), 1);

    // Too much without an end: 301, and never more than 12 bytes taken.
    script.on(readSerialGs(1), bytesOf(std::string("\x37\x33" "1\x1F", 4) + std::string(40, '9')));
    printer.readCapacities.clear();
    EXPECT_EQ(record.ReadSerialGs(1), kNoReply);
    for (int cap : printer.readCapacities)
        EXPECT_LE(cap, 12);
    ASSERT_EQ(util.port.Open(), 1);

    printer.pending.clear(); // what the old connection left unread
    identified(kModelZ400, 21001);
    script.on(readSerialBs(4), serialReply(4, "7"));
    ASSERT_EQ(record.ReadSerialBs(4), kOk);
    EXPECT_EQ(record.Databit, 7);
    EXPECT_EQ(record.ReadSerialBs(3), kBadFormat) << "silence is an empty reply";

    ASSERT_EQ(util.port.Open(), 1);
    printer.writes.clear();
    record.Baudrate = 1200;
    record.Parity = 2;
    record.Flowcontrol = 1;
    record.Databit = 8;
    ASSERT_EQ(record.WriteSerialGs(1), kOk);
    EXPECT_EQ(sent(), (std::vector<Bytes>{{0x1D, 0x28, 0x45, 0x08, 0x00, 0x0B, 0x01}, bytesOf("115200")}));
    printer.writes.clear();
    record.Baudrate = 9600;
    ASSERT_EQ(record.WriteSerialBs(), kOk);
    EXPECT_EQ(sent(), (std::vector<Bytes>{cat({{0x08, 0x5E, 0x45, 0x08, 0x00, 0x0B}, bytesOf("9600218")})}));
}

TEST_F(Commands, RfInterface)
{
    identified(kModelZ600, 100999);
    EXPECT_EQ(record.ReadRfInterface(), kNotSupported);
    EXPECT_EQ(record.WriteRfInterface(), kNotSupported);
    EXPECT_TRUE(sent().empty());
    identified(kModelZ600, 101000);
    const Bytes rf{0x1D, 0x28, 0x45, 0x02, 0x00, 0x04, 0x50};
    script.on(rf, cat({bytesOf("noise"), switchReply("00000010")}));
    ASSERT_EQ(record.ReadRfInterface(), kOk);
    EXPECT_EQ(record.RfInterface, 2);
    script.on(rf, Bytes{0x37, 0x21, '0', '0', '0', '0', '0', '0', '0', 0x00});
    EXPECT_EQ(record.ReadRfInterface(), kNoHeader);
    EXPECT_TRUE(util.port.IsOpen()) << "108 leaves the port open";
    EXPECT_EQ(record.RfInterface, 2);
    printer.writes.clear();
    record.RfInterface = 1;
    ASSERT_EQ(record.WriteRfInterface(), kOk);
    EXPECT_EQ(sent().back(), cat({{0x50}, bytesOf("00000001")}));
}

TEST_F(Commands, SentinelsReadAndWrite)
{
    identified(kModelZ600, 101000);
    const Bytes read1{0x08, 0x4D, 0x53, 0x02, 0x00, 0x34, '1'};
    script.on(read1, Bytes{0x37, 0x81, 0x31, 0x41, 0x42, 0x1F, 0x43, 0x00});
    ASSERT_EQ(record.ReadSentinel(1), kOk);
    EXPECT_EQ(record.Track1Start, "AB");
    EXPECT_EQ(record.Track1End, "C");
    script.on(read1, Bytes{0x37, 0x81, 0x32, 0x41, 0x00});
    EXPECT_EQ(record.ReadSentinel(1), kOk);
    EXPECT_EQ(record.Track1Start, "AB") << "another track's reply changes nothing";
    script.on(read1, Bytes{0x37, 0x81});
    EXPECT_EQ(record.ReadSentinel(1), kOk);
    EXPECT_EQ(record.Track1Start, "AB");
    EXPECT_EQ(record.ReadSentinel(4), kNotSupported);

    printer.written.clear();
    record.Track1Start = "START1";
    record.Track1End.clear();
    ASSERT_EQ(record.WriteSentinel(1), kOk);
    EXPECT_EQ(printer.written, cat({{0x08, 0x4D, 0x53, 0x08, 0x00, 0x32, 0x31}, bytesOf("START1"),
                                    {0x08, 0x4D, 0x53, 0x03, 0x00, 0x33, 0x31, 0x00}}));
    record.Track2Start = std::string(11, 'X');
    printer.writes.clear();
    EXPECT_EQ(record.WriteSentinel(2), kNotSupported);
    EXPECT_TRUE(sent().empty());
}

TEST_F(Commands, BluetoothReadAndWrite)
{
    identified(kModelZ600, 101000);
    const Bytes readName{0x1F, 0x1F, 0x69, 'd'};
    script.on(readName, Bytes{0x37, 0x42, 0x64, 0x50, 0x52, 0x4E, 0x00});
    ASSERT_EQ(record.ReadBluetooth('d'), kOk);
    EXPECT_EQ(record.BtDeviceName, "PRN");
    script.on(readName, Bytes{0x37, 0x42, 0x78, 0x00});
    EXPECT_EQ(record.ReadBluetooth('d'), kBadFormat);
    EXPECT_FALSE(util.port.IsOpen());
    ASSERT_EQ(util.port.Open(), 1);
    const Bytes readMode{0x1F, 0x1F, 0x69, 'c'};
    script.on(readMode, Bytes{0x37, 0x42});
    EXPECT_EQ(record.ReadBluetooth('c'), kBadFormat) << "two bytes: no item byte";
    ASSERT_EQ(util.port.Open(), 1);
    EXPECT_EQ(record.ReadBluetooth('s'), kNoReply) << "silence";
    ASSERT_EQ(util.port.Open(), 1);

    printer.writes.clear();
    record.BtDeviceName = std::string(200, 'N');
    EXPECT_EQ(record.WriteBluetooth(), kNotSupported);
    EXPECT_TRUE(sent().empty()) << "refused, not truncated";
    EXPECT_TRUE(util.port.IsOpen());
}

TEST_F(Commands, FactoryDefault)
{
    identified(kModelZ400, 1040, '0', "KMP-Z400");
    printer.onWrite = [this](const Bytes& data) {
        if (data.size() > 100)
            printer.reply(kAck, 50);
    };
    ASSERT_EQ(record.SetFactoryDefault(), kOk);
    ASSERT_EQ(sent().size(), 1u) << "one write";
    EXPECT_EQ(sent().front().size(), 178u);

    identified(kModelZ400W, 101000);
    printer.writes.clear();
    const auto start = clock.tickMs();
    EXPECT_EQ(record.SetFactoryDefault(), kNoReply);
    EXPECT_GE(clock.tickMs() - start, 300u);
    EXPECT_TRUE(sent().empty());
    EXPECT_FALSE(util.port.IsOpen());
}

TEST_F(Commands, ShortWriteIs300AndClosesThePort)
{
    identified(kModelZ600, 101000);
    printer.writeLimit = 3;
    EXPECT_EQ(record.WriteSwitchGs(1), kShortWrite);
    EXPECT_FALSE(util.port.IsOpen());
}

// ---- registry record ------------------------------------------------------------

struct RegistryRecord : ::testing::Test {
    std::string path;
    void SetUp() override
    {
        path = (std::filesystem::temp_directory_path() / ("tlvr-reg-" + std::to_string(getpid()) + ".reg")).string();
        std::filesystem::remove(path);
    }
    void TearDown() override { std::filesystem::remove(path); }
};

TEST_F(RegistryRecord, DefaultsWithoutAKeyAndTheCharModeQuirkOnSave)
{
    CCommonUtil util;
    CCommonTlvr r{util};
    platform::RegistryStore store(path);
    r.Density = 99;
    r.LoadSettings(store, "Software\\Quellix\\Corvane");
    EXPECT_EQ(r.Density, 4);
    EXPECT_EQ(r.Pdf417, 1);
    EXPECT_EQ(r.QrCode, 1);
    EXPECT_EQ(r.Msr, 6);
    EXPECT_EQ(r.Baudrate, 115200);
    EXPECT_EQ(r.Databit, 8);
    EXPECT_EQ(r.CodePage + r.Speed + r.Sentinel + r.TimeOff + r.FontType + r.BlackMarkSensor, 0);

    r.Density = 2;
    r.LCharMode = 1;
    r.Msr = -1;
    util.firmwareVersion = "V01.00";
    util.msrMode = '9';
    ASSERT_TRUE(SaveTlvrRecord(store, "Software\\Quellix\\Corvane", r));
    std::uint32_t v = 0;
    EXPECT_TRUE(store.readNumber("Software\\Quellix\\Corvane", "CharMode", v));
    EXPECT_EQ(v, 1u);
    EXPECT_FALSE(store.readNumber("Software\\Quellix\\Corvane", "LCharMode", v));
    std::string text;
    EXPECT_TRUE(store.readString("Software\\Quellix\\Corvane", "Fwver", text));
    EXPECT_EQ(text, "V01.00");
    EXPECT_TRUE(store.readNumber("Software\\Quellix\\Corvane", "Msrmode", v));
    EXPECT_EQ(v, static_cast<std::uint32_t>('9'));

    CCommonTlvr back{util};
    back.LoadSettings(store, "Software\\Quellix\\Corvane");
    EXPECT_EQ(back.Density, 2);
    EXPECT_EQ(back.Msr, -1);
    EXPECT_EQ(back.LCharMode, 0) << "saved as CharMode, loaded as LCharMode";

    // A version text the store cannot hold costs only that value.
    util.firmwareVersion = "V1\n";
    r.Density = 6;
    ASSERT_TRUE(SaveTlvrRecord(store, "Software\\Quellix\\Corvane", r));
    back.LoadSettings(store, "Software\\Quellix\\Corvane");
    EXPECT_EQ(back.Density, 6);
}

} // namespace
