// The mobile printer's memory switch commands, byte by byte: both dialects'
// replies, the silence a host meets with the wrong dialect or a command its
// printer's firmware does not have, the write rules, and the factory
// sequences as hosts send them.
#include "sim/mobile_printer.h"
#include "sim/setting_memory.h"
#include "sim/switch_state.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

using namespace std::string_literals;

namespace sim {
// Failures show the state as its text form.
void PrintTo(const SwitchState& s, std::ostream* os)
{
    *os << "\n" << formatState(s);
}
} // namespace sim

namespace {

sim::PrinterConfig printerWith(std::string model, std::string version)
{
    sim::PrinterConfig c;
    c.modelReply = std::move(model);
    c.versionReply = std::move(version);
    c.switches = sim::factoryState(c.modelReply.substr(1));
    return c;
}

// Version replies and the numbers they stand for, picked to sit on both sides
// of each firmware threshold.
const sim::PrinterConfig kGs1040 = printerWith("_KMP-Z400", "_VER V1.04");  // 1040
const sim::PrinterConfig kGs20990 = printerWith("_KMP-Z400", "_A00.99");    // 20990
const sim::PrinterConfig kBs21000 = printerWith("_KMP-Z400", "_A01.00");    // 21000
const sim::PrinterConfig kBs21001 = printerWith("_KMP-Z400", "_B01.00");    // 21001
const sim::PrinterConfig kBs21020 = printerWith("_KMP-Z400", "_A01.02");    // 21020
const sim::PrinterConfig kBs21021 = printerWith("_KMP-Z400", "_B01.02");    // 21021
const sim::PrinterConfig kBs100990 = printerWith("_KMP-Z400", "_A80.99");   // 100990
const sim::PrinterConfig kGs101000 = printerWith("_KMP-Z600", "_V01.00");   // 101000

struct Rig {
    sim::MobilePrinter printer;
    std::string data;

    explicit Rig(const sim::PrinterConfig& config) : printer(config)
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

    const sim::SettingMemory& memory() const { return *sim::settingMemoryOf(printer); }
    const sim::SwitchState& state() const { return memory().state(); }
    std::string bits(unsigned n) const { return sim::bitsText(*state().switchByNumber(n)); }
};

// Commands as hosts send them.
const std::string kGsIn = "\x1d\x28\x45\x03\x00\x01IN"s;
const std::string kGsOut = "\x1d\x28\x45\x04\x00\x02OUT"s;
const std::string kBsIn = "\x08\x5e\x45\x01\x00\x01"s;
const std::string kBsOut = "\x08\x5e\x45\x01\x00\x02"s;

std::string gsRead(char n)
{
    return "\x1d\x28\x45\x02\x00\x04"s + n;
}

std::string gsWrite(char n, const std::string& chars)
{
    return "\x1d\x28\x45\x0b\x00\x03"s + n + chars;
}

std::string bsRead(char n)
{
    return "\x08\x5e\x45\x02\x00\x04"s + n;
}

std::string gsSerialRead(char item)
{
    return "\x1d\x28\x45\x02\x00\x0c"s + item;
}

std::string gsSerialWrite(char item, const std::string& text)
{
    return "\x1d\x28\x45"s + static_cast<char>(2 + text.size()) + "\x00\x0b"s + item + text;
}

std::string bsSerialWrite(const std::string& text)
{
    return "\x08\x5e\x45"s + static_cast<char>(1 + text.size()) + "\x00\x0b"s + text;
}

std::string sentinelRead(char t)
{
    return "\x08\x4d\x53\x02\x00\x34"s + t;
}

std::string sentinelWrite(char fn, char t, const std::string& code)
{
    return "\x08\x4d\x53"s + static_cast<char>(code.size() + 2) + "\x00"s + fn + t + code;
}

std::string btRead(char item)
{
    return "\x1f\x1f\x69"s + item;
}

std::string switchReply(const std::string& bits)
{
    return "\x37\x21"s + bits + "\0"s;
}

const std::string kEntered = "\x37\x20\x00"s;

TEST(SettingIdentity, VersionNumbersFromTheRepliesAndTheDialectTheyChoose)
{
    struct Case {
        const char* model;
        const char* version;
        std::uint32_t number;
        sim::Dialect dialect;
    };
    const Case cases[] = {
        {"_KMP-Z400", "_VER V1.04", 1040, sim::Dialect::Gs},
        {"_VX 440", "_VER V1.04", 1040, sim::Dialect::Gs},
        {"_KMP-Z400", "_VER xTMS V1.06", 11061, sim::Dialect::Gs},  // digits at 11, 13, 14; "TMS" at 6
        {"_KMP-Z400", "_VER xABC V1.06", 11060, sim::Dialect::Gs},
        {"_KMP-Z400", "_A00.99", 20990, sim::Dialect::Gs},
        {"_KMP-Z400", "_A01.00", 21000, sim::Dialect::Bs},
        {"_VX 440", "_B01.00", 21001, sim::Dialect::Bs},
        {"_KMP-Z400", "_B01.02", 21021, sim::Dialect::Bs},
        {"_KMP-Z400", "_A80.99", 100990, sim::Dialect::Bs},
        {"_KMP-Z600", "_V01.00", 101000, sim::Dialect::Gs},
        {"_KMP-Z400II", "_V01.00", 101000, sim::Dialect::Gs},
        {"_KMP-Z400II", "_VER V1.04", 100000, sim::Dialect::Bs},  // no digit at 2: value 0
        {"_KMP-Z400", "_VER V1.x4", 10, sim::Dialect::Gs},        // digits end at the first non-digit
        {"_KMP-Z400", "_VER V", 0, sim::Dialect::Gs},              // a short reply has no digits
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.model) + " " + c.version);
        const sim::PrinterConfig config = printerWith(c.model, c.version);
        Rig rig(config);
        EXPECT_EQ(rig.memory().versionNumber(), c.number);
        EXPECT_EQ(rig.memory().dialect(), c.dialect);
    }
    EXPECT_EQ(sim::modelCodeOf("_KMP-Z400W"), 401);
    EXPECT_EQ(sim::modelCodeOf("_KMP-Z800"), 800);
    EXPECT_EQ(sim::modelCodeOf("_KMP-X400"), 0);

    // --dialect overrides the version rule.
    sim::PrinterConfig forced = kGs1040;
    forced.dialect = sim::Dialect::Bs;
    Rig rig(forced);
    EXPECT_EQ(rig.send(kBsIn), kEntered);
    EXPECT_EQ(rig.send(kGsIn), "");
}

TEST(GsDialect, RepliesOfEveryRead)
{
    Rig rig(kGs101000);
    EXPECT_EQ(rig.send(gsRead(1)), switchReply("00001100"));
    EXPECT_EQ(rig.send(gsRead(3)), switchReply("00000001"));
    EXPECT_EQ(rig.send(gsRead(7)), switchReply("01110000"));
    EXPECT_EQ(rig.send(gsRead(0x50)), switchReply("00000001"));
    EXPECT_EQ(rig.send(gsRead(0x51)), switchReply("00000000"));
    EXPECT_EQ(rig.send(gsRead(0x49)), "");  // kept, but no model answers its read
    EXPECT_EQ(rig.send(gsRead(4)), "");
    EXPECT_EQ(rig.send(gsSerialRead(1)), "\x37\x33\x31\x1f"s + "115200" + "\0"s);
    EXPECT_EQ(rig.send(gsSerialRead(2)), "\x37\x33\x32\x1f\x30\x00"s);
    EXPECT_EQ(rig.send(gsSerialRead(3)), "\x37\x33\x33\x1f\x30\x00"s);
    EXPECT_EQ(rig.send(gsSerialRead(4)), "\x37\x33\x34\x1f\x38\x00"s);
    EXPECT_EQ(rig.send(sentinelRead('2')), "\x37\x81\x32START2\x1f" "END2\x00"s);
    EXPECT_EQ(rig.send(btRead('c')), "\x37\x42\x63\x32\x00"s);
    EXPECT_EQ(rig.send(btRead('d')), "\x37\x42\x64KMP-Z600\x00"s);
    EXPECT_EQ(rig.send(btRead('k')), "\x37\x42\x6b\x39\x32\x37\x34\x00"s);
    EXPECT_EQ(rig.send(btRead('s')), "\x37\x42\x73\x31\x00"s);
    EXPECT_EQ(rig.send(kGsIn), kEntered);
    EXPECT_TRUE(rig.memory().settingMode());
    EXPECT_EQ(rig.send(kGsOut), "");
    EXPECT_FALSE(rig.memory().settingMode());
    EXPECT_TRUE(rig.data.empty());
    EXPECT_EQ(rig.memory().rejectedCount(), 0u);
}

TEST(GsDialect, WritesApplyOnlyInTheSettingModeAndTwoLeavesABit)
{
    Rig rig(kGs101000);
    // Outside the setting mode: refused and counted.
    EXPECT_EQ(rig.send(gsWrite(1, "11111111") + gsSerialWrite(2, "1")), "");
    EXPECT_EQ(rig.bits(1), "00001100");
    EXPECT_EQ(rig.state().serial.parity, 0);
    EXPECT_EQ(rig.memory().rejectedCount(), 2u);

    rig.send(kGsIn);
    rig.send(gsWrite(1, "22221111") + gsWrite(6, "10222220") + gsWrite(0x49, "00000001"));
    EXPECT_EQ(rig.bits(1), "00001111");
    EXPECT_EQ(rig.bits(6), "10001010");
    EXPECT_EQ(rig.bits(0x49), "00000001");
    // One bad character refuses the whole write, NUL bytes included.
    rig.send(gsWrite(2, "0000000x") + gsWrite(0x51, "000000\0\0"s));
    EXPECT_EQ(rig.bits(2), "00000000");
    EXPECT_EQ(rig.bits(0x51), "00000000");
    EXPECT_EQ(rig.memory().rejectedCount(), 4u);

    rig.send(gsSerialWrite(1, "9600") + gsSerialWrite(2, "2") + gsSerialWrite(3, "1") + gsSerialWrite(4, "7"));
    EXPECT_EQ(rig.state().serial, (sim::SerialSettings{9600, 2, 1, 7}));
    rig.send(gsSerialWrite(1, "1200") + gsSerialWrite(1, "96a0") + gsSerialWrite(1, "") + gsSerialWrite(2, "3")
             + gsSerialWrite(3, "/") + gsSerialWrite(4, "9") + gsSerialWrite(4, "88"));
    EXPECT_EQ(rig.state().serial, (sim::SerialSettings{9600, 2, 1, 7}));
    EXPECT_EQ(rig.memory().rejectedCount(), 11u);
    EXPECT_EQ(rig.send(gsSerialRead(1)), "\x37\x33\x31\x1f" "9600\x00"s);

    // The report lists what was refused and why.
    const std::string report = rig.printer.report();
    EXPECT_NE(report.find("rejected: 11\n"), std::string::npos) << report;
    EXPECT_NE(report.find("rejected.1: switch 1 write outside the setting mode: 1d 28 45 0b 00 03 01 31 31"),
              std::string::npos)
        << report;
    EXPECT_NE(report.find("switch.1: 00001111\n"), std::string::npos) << report;
    EXPECT_NE(report.find("setting-mode: on\n"), std::string::npos) << report;
}

TEST(GsDialect, SwitchWriteTakesNineBytesAfterItsFunctionWhateverTheLengthByteSays)
{
    Rig rig(kGs101000);
    // pL says 11, ten bytes follow, and the next command starts right after.
    EXPECT_EQ(rig.send(kGsIn + gsWrite(1, "00000111") + gsRead(1)), kEntered + switchReply("00000111"));
    // A host that corrects the length to 10 is read the same way.
    std::string corrected = gsWrite(5, "01010101");
    corrected[3] = 0x0a;
    EXPECT_EQ(rig.send(corrected + gsRead(5)), switchReply("01010101"));
    EXPECT_TRUE(rig.data.empty());
    EXPECT_EQ(rig.memory().rejectedCount() + rig.memory().ignoredCount(), 0u);
}

TEST(BsDialect, RepliesBlockWriteAndSerialInOneCommand)
{
    Rig rig(kBs21021);
    EXPECT_EQ(rig.send(kBsIn), kEntered);
    EXPECT_EQ(rig.send(bsRead(8)), switchReply("00000000"));
    const std::string block = "22221111" "11111111" "22222222" "00000000" "11110000" "22222222" "01010101";
    ASSERT_EQ(block.size(), 56u);
    EXPECT_EQ(rig.send("\x08\x5e\x45\x39\x00\x03"s + block + bsRead(1) + bsRead(7)),
              switchReply("00001111") + switchReply("01110000"));
    EXPECT_EQ(rig.bits(2), "11111111");
    EXPECT_EQ(rig.bits(3), "00000001");
    EXPECT_EQ(rig.bits(5), "00000000");
    EXPECT_EQ(rig.bits(6), "11110000");
    EXPECT_EQ(rig.bits(8), "01010101");

    rig.send(bsSerialWrite("38400" "2" "1" "7"));
    EXPECT_EQ(rig.state().serial, (sim::SerialSettings{38400, 2, 1, 7}));
    EXPECT_EQ(rig.send("\x08\x5e\x45\x02\x00\x0c\x01"s), "\x37\x33\x31\x1f" "38400\x00"s);
    // A block that misses a switch (48 characters under its 57-byte header)
    // swallows the next command's bytes as its own, so it fails the check.
    const std::string shortBlock = "\x08\x5e\x45\x39\x00\x03"s + std::string(48, '0');
    EXPECT_EQ(rig.send(shortBlock + kBsOut + bsRead(1)), "");
    EXPECT_EQ(rig.bits(2), "11111111");
    EXPECT_TRUE(rig.memory().settingMode());
    rig.send(bsSerialWrite("115200" "3" "0" "8"));
    EXPECT_EQ(rig.state().serial.baud, 38400u);
    EXPECT_EQ(rig.memory().rejectedCount(), 2u);

    EXPECT_EQ(rig.send(kBsOut), "");
    EXPECT_FALSE(rig.memory().settingMode());
    rig.send("\x08\x5e\x45\x39\x00\x03"s + std::string(56, '1'));
    EXPECT_EQ(rig.bits(2), "11111111");
    EXPECT_EQ(rig.bits(1), "00001111");
    EXPECT_EQ(rig.memory().rejectedCount(), 3u);
}

TEST(Dialects, EachPrinterIsSilentToTheOtherDialect)
{
    {
        Rig gs(kGs101000);
        EXPECT_EQ(gs.send(kBsIn + bsRead(1) + "\x08\x5e\x45\x02\x00\x0c\x01"s), "");
        EXPECT_FALSE(gs.memory().settingMode());
        gs.send(kGsIn);
        gs.send("\x08\x5e\x45\x39\x00\x03"s + std::string(56, '1') + bsSerialWrite("9600" "000"));
        EXPECT_EQ(gs.bits(1), "00001100");
        EXPECT_EQ(gs.state().serial.baud, 115200u);
        EXPECT_EQ(gs.memory().ignoredCount(), 5u);
        EXPECT_TRUE(gs.data.empty());
    }
    {
        Rig bs(kBs21021);
        EXPECT_EQ(bs.send(kGsIn + gsRead(1) + gsSerialRead(1)), "");
        EXPECT_FALSE(bs.memory().settingMode());
        bs.send(kBsIn);
        bs.send(gsWrite(1, "11111111") + gsSerialWrite(1, "9600") + kGsOut);
        EXPECT_EQ(bs.bits(1), "00001100");
        EXPECT_EQ(bs.state().serial.baud, 115200u);
        EXPECT_TRUE(bs.memory().settingMode());  // only its own "leave" counts
        EXPECT_EQ(bs.memory().ignoredCount(), 6u);
        EXPECT_TRUE(bs.data.empty());
    }
}

TEST(VersionGates, EachCommandOnBothSidesOfItsThreshold)
{
    struct Case {
        const char* what;
        const sim::PrinterConfig* silent;
        const sim::PrinterConfig* answers;
        std::string command;
    };
    const Case cases[] = {
        {"GS dialect from 21000 down", &kBs21000, &kGs20990, gsRead(1)},
        {"GS dialect from 101000 up", &kBs100990, &kGs101000, gsRead(1)},
        {"BS dialect from 21000 up", &kGs20990, &kBs21000, bsRead(1)},
        {"BS dialect to 100999", &kGs101000, &kBs100990, bsRead(1)},
        {"RF switch 0x50", &kGs1040, &kGs101000, gsRead(0x50)},
        {"black mark switch 0x51", &kGs1040, &kGs101000, gsRead(0x51)},
        {"sentinels, BS", &kBs21020, &kBs21021, sentinelRead('1')},
        {"sentinels, GS", &kGs20990, &kGs101000, sentinelRead('3')},
        {"Bluetooth read", &kBs100990, &kGs101000, btRead('d')},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Rig silent(*c.silent);
        Rig answers(*c.answers);
        EXPECT_EQ(silent.send(c.command), "");
        EXPECT_EQ(silent.memory().ignoredCount(), 1u);
        EXPECT_NE(answers.send(c.command), "");
        EXPECT_TRUE(silent.data.empty() && answers.data.empty());
    }

    // Writes of a gated item change nothing below the threshold.
    Rig old(kGs1040);
    old.send(kGsIn + gsWrite(0x51, "00000001") + sentinelWrite('2', '1', "AB"));
    EXPECT_EQ(old.bits(0x51), "00000000");
    EXPECT_EQ(old.state().sentinels[0].start, "START1");
    Rig fresh(kBs21021);
    fresh.send(sentinelWrite('2', '1', "AB") + sentinelWrite('3', '1', "\0"s));
    EXPECT_EQ(fresh.state().sentinels[0], (sim::SentinelCodes{"AB", ""}));
    EXPECT_EQ(fresh.send(sentinelRead('1')), "\x37\x81\x31" "AB\x1f\x00"s);
}

TEST(Bluetooth, WriteByEveryVersionAndItsChecks)
{
    Rig rig(kGs1040);
    rig.send("\x1f\x1f\x70" "13" "0000\r" "Shop 7\r"s + gsRead(2));
    EXPECT_EQ(rig.state().bluetooth, (sim::BluetoothSettings{2, 1, "0000", "Shop 7"}));
    rig.send("\x1f\x1f\x70" "04" "1\r" "x\r"s + "\x1f\x1f\x70" "20" "1\r" "x\r"s);
    EXPECT_EQ(rig.state().bluetooth.name, "Shop 7");
    EXPECT_EQ(rig.memory().rejectedCount(), 2u);

    Rig now(kGs101000);
    now.send("\x1f\x1f\x70" "11" "4321\r" "\r"s);
    EXPECT_EQ(now.send(btRead('c') + btRead('d') + btRead('k') + btRead('s')),
              "\x37\x42\x63\x31\x00" "\x37\x42\x64\x00" "\x37\x42\x6b" "4321\x00" "\x37\x42\x73\x31\x00"s);
    EXPECT_EQ(now.send(btRead('x')), "");
}

// One mixed exchange fed whole, byte by byte and in random pieces.
TEST(Chunking, AnySplitGivesTheSameRepliesAndState)
{
    const std::string stream = kGsIn + gsWrite(1, "00000111") + gsRead(1) + gsSerialWrite(1, "57600")
                               + gsSerialRead(1) + sentinelWrite('2', '2', "A\x1f" "B") + sentinelRead('2')
                               + "\x1f\x1f\x70" "02" "1111\r" "Z\r\0\0"s + btRead('d') + gsWrite(8, "2x222222")
                               + kBsIn + kGsOut + gsRead(0x50);
    Rig whole(kGs101000);
    const std::string expected = whole.send(stream);
    ASSERT_EQ(expected, kEntered + switchReply("00000111") + "\x37\x33\x31\x1f" "57600\x00"s
                            + "\x37\x81\x32" "A\x1f" "B\x1f" "END2\x00"s + "\x37\x42\x64Z\x00"s + switchReply("00000001"));

    std::mt19937 rng(7);
    for (int round = 0; round < 20; ++round) {
        Rig cut(kGs101000);
        std::string got;
        for (std::size_t pos = 0; pos < stream.size();) {
            const std::size_t n = round == 0 ? 1 : 1 + rng() % 9;
            got += cut.send(stream.substr(pos, n));
            pos += n;
        }
        EXPECT_EQ(got, expected);
        EXPECT_EQ(cut.state(), whole.state());
        EXPECT_EQ(cut.printer.report(), whole.printer.report());
    }
}

// The factory setting sequences hosts send, byte for byte.
std::string gsFactory(const std::string& name, bool sentinels)
{
    std::string s = kGsIn + gsWrite(1, "00001100") + gsWrite(2, "00000000") + gsWrite(3, "22220001")
                    + gsWrite(5, "00001111") + gsWrite(6, "00001010") + gsWrite(7, "01110000")
                    + gsWrite(8, "00000000") + "\x1d\x28\x45\x08\x00\x0b\x01" "115200"s
                    + "\x1d\x28\x45\x03\x00\x0b\x02" "0"s + "\x1d\x28\x45\x03\x00\x0b\x03" "0"s
                    + "\x1d\x28\x45\x03\x00\x0b\x04" "8"s + kGsOut;
    if (sentinels)
        s += "\x08\x4d\x53\x08\x00" "21START1" "\x08\x4d\x53\x06\x00" "31END1"
             "\x08\x4d\x53\x08\x00" "22START2" "\x08\x4d\x53\x06\x00" "32END2"
             "\x08\x4d\x53\x08\x00" "23START3" "\x08\x4d\x53\x06\x00" "33END3"s;
    return s + "\x1f\x1f\x70" "12" "9274\r"s + name + "\r";
}

std::string bsFactory(const std::string& name, const std::string& tail)
{
    return kBsIn + "\x08\x5e\x45\x39\x00\x03"
                   "00001100" "00000000" "22220001" "00001111" "00001010" "01110000" "00000000"s
           + "\x08\x5e\x45\x0a\x00\x0b" "115200" "0" "0" "8"s + kBsOut + "\x1f\x1f\x70" "12" "9274\r"s + name
           + "\r" + tail;
}

TEST(FactorySequences, EachModelsSequenceRestoresTheFactoryState)
{
    struct Case {
        const char* model;
        const char* version;
        std::string sequence;
        std::size_t length;
        bool sentinels;
    };
    const Case cases[] = {
        {"_KMP-Z400", "_VER V1.04", gsFactory("KMP-Z400", false), 178, false},
        {"_KMP-Z400", "_B01.00", bsFactory("KMP-Z400", ""), 108, false},
        {"_VX 440", "_B01.00", bsFactory("VX 440", "\0\0"s), 108, false},
        {"_KMP-Z400II", "_V01.00", gsFactory("KMP-Z400II", true), 252, true},
        {"_KMP-Z600", "_V01.00", gsFactory("KMP-Z600", true), 250, true},
        {"_KMP-Z800", "_V01.00", gsFactory("KMP-Z800", true), 250, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.model) + " " + c.version);
        EXPECT_EQ(c.sequence.size(), c.length);
        sim::PrinterConfig config = printerWith(c.model, c.version);
        const sim::SwitchState factory = config.switches;
        // Everything the sequence covers moved away from the factory value
        // (switch 3's first four bits are left by "2222", so they stay).
        sim::SwitchState& s = config.switches;
        for (unsigned n : {1u, 2u, 5u, 6u, 7u, 8u})
            *s.switchByNumber(n) ^= 0xFF;
        *s.switchByNumber(3) ^= 0x0F;
        s.serial = {9600, 2, 1, 7};
        if (c.sentinels)
            s.sentinels = {{{"a", "b"}, {"", ""}, {"c", "d"}}};
        s.bluetooth = {0, 0, "1111", "renamed"};

        Rig rig(config);
        EXPECT_EQ(rig.send(c.sequence), kEntered);
        EXPECT_EQ(rig.state(), factory);
        EXPECT_FALSE(rig.memory().settingMode());
        EXPECT_EQ(rig.memory().rejectedCount(), 0u);
        EXPECT_EQ(rig.memory().ignoredCount(), 0u);
        EXPECT_TRUE(rig.data.empty());
    }
}

TEST(StateText, RoundTripWithAwkwardBytesAndRefusesBadLines)
{
    sim::SwitchState s = sim::factoryState("VX 440");
    *s.switchByNumber(0x51) = 0x02;
    s.serial = {1200, 1, 1, 7};
    s.sentinels[1] = {"\x00\\%\x1f"s, "\xff"s};
    s.bluetooth = {1, 1, "", "a: b \\x41"};
    const std::string text = sim::formatState(s);
    EXPECT_NE(text.find("switch.0x51: 00000010\n"), std::string::npos) << text;
    EXPECT_NE(text.find("sentinel.2.start: \\x00\\\\%\\x1f\n"), std::string::npos) << text;

    sim::SwitchState back;
    std::string error;
    ASSERT_TRUE(sim::applyStateText("# saved\n\n" + text, back, error)) << error;
    EXPECT_EQ(back, s);

    const char* bad[] = {
        "switch.4: 00000000\n",  "switch.1: 0000000\n",        "switch.1: 00000002\n",
        "serial.parity: 3\n",    "serial.baud: 0\n",           "sentinel.1.start: 12345678901\n",
        "bt.name: a\\x0db\n",     "bt.mode: 3\n",               "switch.1 00000000\n",
        "sentinel.1.end: \\x4\n",
    };
    for (const char* line : bad) {
        SCOPED_TRACE(line);
        sim::SwitchState kept = s;
        EXPECT_FALSE(sim::applyStateText("switch.2: 11111111\n"s + line, kept, error));
        EXPECT_NE(error.find("line 2"), std::string::npos) << error;
        EXPECT_EQ(kept, s);
    }
}

} // namespace
