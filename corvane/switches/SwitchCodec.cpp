#include "corvane/switches/SwitchCodec.h"

#include "corvane/switches/CCommonTlvr.h"

#include <algorithm>

namespace corvane {
namespace {

enum class Form { Gs, Bs, Both };
enum class Dir { Read, Write, Both };

// When a slot applies, beyond its form and direction.
enum class When {
    Always,
    CodePageBit5,    // version 21000 and above
    Sentinels,       // version 21021 and above
    TwoBitFont,      // write: version 101000 and above
    OneBitFont,      // write: below 101000
    MsrHighNibble,   // see MsrHighNibble()
    MsrLowNibble,
};

// How a field's value becomes its characters.
enum class Codec {
    Bits,    // binary, most significant first: ((value + offset) >> shift)
    Flag,    // one character: "1" for a nonzero value; read: 1 for "1"
    Pairs,   // two characters: value 1 "01", 2 "10", anything else "00";
             // read: "00" 0, "01" 1, "1x" 2
    Packed,  // two characters packed in the value: low byte first
};

struct Slot {
    int sw;
    int first;   // d1 = 1
    int count;
    int CCommonTlvr::*field;
    Codec codec;
    Form form = Form::Both;
    Dir dir = Dir::Both;
    When when = When::Always;
    int shift = 0;
    int offset = 0;
};

using T = CCommonTlvr;

// sw   chars  field              codec          form      dir         when                  shift offset
constexpr Slot kSlots[] = {
    {1, 4, 1, &T::Speed, Codec::Flag},
    {1, 5, 1, &T::LCharMode, Codec::Flag},
    {1, 6, 3, &T::Density, Codec::Bits},
    {2, 1, 5, &T::CodePage, Codec::Bits},
    {2, 6, 1, &T::CodePage, Codec::Bits, Form::Both, Dir::Both, When::CodePageBit5, 5},
    {3, 5, 1, &T::QrCode, Codec::Flag},
    {3, 6, 1, &T::MaxiCode, Codec::Flag},
    {3, 7, 1, &T::DataMatrix, Codec::Flag},
    {3, 8, 1, &T::Pdf417, Codec::Flag},
    {5, 2, 7, &T::TimeOff, Codec::Bits},
    {6, 1, 8, &T::TimeSave, Codec::Bits},
    {7, 1, 4, &T::Msr, Codec::Bits, Form::Both, Dir::Both, When::MsrHighNibble, 0, 1},
    {7, 5, 4, &T::Msr, Codec::Bits, Form::Both, Dir::Both, When::MsrLowNibble},
    {8, 2, 2, &T::Sentinel, Codec::Bits, Form::Gs, Dir::Read, When::Sentinels},
    {8, 2, 2, &T::Sentinel, Codec::Pairs, Form::Both, Dir::Write, When::Sentinels},
    {8, 4, 1, &T::Service, Codec::Flag},
    {8, 5, 1, &T::BeepLowBat, Codec::Flag},
    {8, 6, 1, &T::BeepPaper, Codec::Flag},
    {8, 7, 2, &T::FontType, Codec::Bits, Form::Gs, Dir::Read},
    {8, 7, 1, &T::FontType, Codec::Bits, Form::Bs, Dir::Read},
    {8, 7, 2, &T::FontType, Codec::Pairs, Form::Both, Dir::Write, When::TwoBitFont},
    {8, 7, 1, &T::FontType, Codec::Flag, Form::Both, Dir::Write, When::OneBitFont},
    {0x49, 8, 1, &T::MFI, Codec::Flag},
    {0x50, 7, 2, &T::RfInterface, Codec::Pairs},
    {0x51, 7, 2, &T::BlackMarkSensor, Codec::Packed},
};

// Which switches each form reads and writes, and what an undefined position
// is written as.
struct SwitchRow {
    int sw;
    bool gs;
    bool bs;
    char undefined;
};

constexpr SwitchRow kSwitches[] = {
    {1, true, true, '2'},    {2, true, true, '2'},     {3, true, true, '2'},     {5, true, true, '2'},
    {6, true, true, '2'},    {7, true, true, '2'},     {8, true, true, '2'},     {0x49, true, false, '0'},
    {0x50, true, false, '0'}, {0x51, true, false, '0'},
};

const SwitchRow* switchRow(int n, CommandForm form)
{
    for (const SwitchRow& row : kSwitches) {
        if (row.sw == n)
            return (form == CommandForm::Gs ? row.gs : row.bs) ? &row : nullptr;
    }
    return nullptr;
}

bool applies(const Slot& slot, int n, const SwitchContext& c, bool reading)
{
    if (slot.sw != n)
        return false;
    if (slot.form == Form::Gs && c.form != CommandForm::Gs)
        return false;
    if (slot.form == Form::Bs && c.form != CommandForm::Bs)
        return false;
    if (slot.dir == Dir::Read && !reading)
        return false;
    if (slot.dir == Dir::Write && reading)
        return false;
    switch (slot.when) {
    case When::Always:
        return true;
    case When::CodePageBit5:
        return c.version >= kVersionCodePageBit5;
    case When::Sentinels:
        return c.version >= kVersionSentinels;
    case When::TwoBitFont:
        return c.version >= kVersionBluetooth;
    case When::OneBitFont:
        return c.version < kVersionBluetooth;
    case When::MsrHighNibble:
        return MsrHighNibble(c, reading);
    case When::MsrLowNibble:
        return !MsrHighNibble(c, reading);
    }
    return false;
}

void encodeSlot(const Slot& slot, int value, char* d)
{
    switch (slot.codec) {
    case Codec::Bits: {
        const auto wire = static_cast<unsigned>(value + slot.offset) >> slot.shift;
        for (int k = 0; k < slot.count; ++k)
            d[k] = ((wire >> (slot.count - 1 - k)) & 1u) ? '1' : '0';
        break;
    }
    case Codec::Flag:
        d[0] = value != 0 ? '1' : '0';
        break;
    case Codec::Pairs:
        d[0] = value == 2 ? '1' : '0';
        d[1] = value == 1 ? '1' : '0';
        break;
    case Codec::Packed:
        d[0] = static_cast<char>(value & 0xFF);
        d[1] = static_cast<char>((value >> 8) & 0xFF);
        break;
    }
}

// The slot's contribution to its field.
int decodeSlot(const Slot& slot, const char* d)
{
    switch (slot.codec) {
    case Codec::Bits: {
        int bits = 0;
        for (int k = 0; k < slot.count; ++k)
            bits = bits * 2 + (d[k] == '1' ? 1 : 0);
        return (bits << slot.shift) - slot.offset;
    }
    case Codec::Flag:
        return d[0] == '1' ? 1 : 0;
    case Codec::Pairs:
        if (d[0] != '0')
            return 2;
        return d[1] != '0' ? 1 : 0;
    case Codec::Packed:
        return PackBlackMark(d[0], d[1]);
    }
    return 0;
}

} // namespace

CommandForm FormForVersion(std::uint32_t version)
{
    return version >= 21000 && version <= 100999 ? CommandForm::Bs : CommandForm::Gs;
}

bool HasSwitch(int n, CommandForm form)
{
    return switchRow(n, form) != nullptr;
}

bool MsrHighNibble(const SwitchContext& c, bool reading)
{
    if (c.msrMode < '9')
        return false;
    // The BS ^ E read looks only at the MSR mode byte.
    if (reading && c.form == CommandForm::Bs)
        return true;
    return c.version >= kVersionMsrHighNibble;
}

bool EncodeSwitch(int n, const SwitchContext& context, const CCommonTlvr& record, SwitchText& out)
{
    const SwitchRow* row = switchRow(n, context.form);
    if (!row)
        return false;
    out.fill(row->undefined);
    for (const Slot& slot : kSlots) {
        if (applies(slot, n, context, false))
            encodeSlot(slot, record.*slot.field, out.data() + slot.first - 1);
    }
    return true;
}

bool DecodeSwitch(int n, const SwitchContext& context, const SwitchText& text, CCommonTlvr& record)
{
    if (!switchRow(n, context.form))
        return false;
    // Fields of several slots (CodePage) are summed from zero.
    for (const Slot& slot : kSlots) {
        if (applies(slot, n, context, true))
            record.*slot.field = 0;
    }
    for (const Slot& slot : kSlots) {
        if (applies(slot, n, context, true))
            record.*slot.field += decodeSlot(slot, text.data() + slot.first - 1);
    }
    return true;
}

bool IsSwitchBits(std::string_view chars)
{
    return std::all_of(chars.begin(), chars.end(), [](char c) { return c == '0' || c == '1'; });
}

int PackBlackMark(char d7, char d8)
{
    return static_cast<unsigned char>(d7) | (static_cast<unsigned char>(d8) << 8);
}

bool IsValidBlackMarkPair(int packed)
{
    return packed == PackBlackMark('0', '0') || packed == PackBlackMark('0', '1') || packed == PackBlackMark('1', '0');
}

} // namespace corvane
