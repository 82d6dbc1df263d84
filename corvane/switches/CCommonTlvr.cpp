#include "corvane/switches/CCommonTlvr.h"

#include "corvane/switches/ReplyCollect.h"
#include "platform/reg_format.h"

#include <algorithm>

namespace corvane {
namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::uint8_t kGs[] = {0x1D, 0x28, 0x45};
constexpr std::uint8_t kBs[] = {0x08, 0x5E, 0x45};
constexpr std::uint8_t kMs[] = {0x08, 0x4D, 0x53};

constexpr std::uint8_t kFnBegin = 0x01;
constexpr std::uint8_t kFnEnd = 0x02;
constexpr std::uint8_t kFnWriteSwitch = 0x03;
constexpr std::uint8_t kFnReadSwitch = 0x04;
constexpr std::uint8_t kFnWriteSerial = 0x0B;
constexpr std::uint8_t kFnReadSerial = 0x0C;
constexpr std::uint8_t kFnSentinelStart = 0x32;
constexpr std::uint8_t kFnSentinelEnd = 0x33;
constexpr std::uint8_t kFnSentinelRead = 0x34;
// The GS switch write declares 11 bytes for the 10 that follow; printers
// take it as it is.
constexpr std::uint8_t kGsSwitchWriteLength = 0x0B;
// 1 + seven switches of eight characters.
constexpr std::uint8_t kBsSwitchBlockLength = 0x39;
constexpr int kRfSwitch = 0x50;
constexpr int kBlackMarkSwitch = 0x51;

constexpr std::uint32_t kSwitchPauseMs = 150;
constexpr std::uint32_t kShortPauseMs = 10;
constexpr std::uint32_t kBluetoothPauseMs = 100;
constexpr std::uint32_t kFactoryPauseMs = 300;
constexpr std::size_t kFreeReplyBuffer = 255;

const std::uint8_t* prefixOf(CommandForm form)
{
    return form == CommandForm::Gs ? kGs : kBs;
}

// Element by element: GCC 12 at -O3 sees an impossible memcpy bound in a
// vector insert of an initializer list here.
Bytes command(const std::uint8_t* prefix, std::initializer_list<std::uint8_t> rest)
{
    Bytes b;
    b.reserve(3 + rest.size());
    for (int k = 0; k < 3; ++k)
        b.push_back(prefix[k]);
    for (const std::uint8_t byte : rest)
        b.push_back(byte);
    return b;
}

Bytes command(CommandForm form, std::initializer_list<std::uint8_t> rest)
{
    return command(prefixOf(form), rest);
}

void append(Bytes& b, std::string_view text)
{
    b.insert(b.end(), text.begin(), text.end());
}

std::string_view asText(const SwitchText& t)
{
    return {t.data(), t.size()};
}

// Registry record: value name, field, default, in the order they are read
// and written. "CharMode" is saved while "LCharMode" is loaded: a saved
// double byte font mode is never read back, and existing stores carry both.
struct RegistryRow {
    const char* loadName;
    const char* saveName;
    int CCommonTlvr::*field;
    int fallback;
};

using T = CCommonTlvr;
constexpr RegistryRow kRegistryRows[] = {
    {"Density", "Density", &T::Density, 4},
    {"Speed", "Speed", &T::Speed, 0},
    {"DataMatrix", "DataMatrix", &T::DataMatrix, 0},
    {"MaxiCode", "MaxiCode", &T::MaxiCode, 0},
    {"Pdf417", "Pdf417", &T::Pdf417, 1},
    {"QrCode", "QrCode", &T::QrCode, 1},
    {"CodePage", "CodePage", &T::CodePage, 0},
    {"Service", "Service", &T::Service, 0},
    {"FontType", "FontType", &T::FontType, 0},
    {"BeepPaper", "BeepPaper", &T::BeepPaper, 0},
    {"BeepLowBat", "BeepLowBat", &T::BeepLowBat, 0},
    {"LCharMode", "CharMode", &T::LCharMode, 0},
    {"BlackMarkSensor", "BlackMarkSensor", &T::BlackMarkSensor, 0},
    {"MFI", "MFI", &T::MFI, 0},
    {"TimeOff", "TimeOff", &T::TimeOff, 0},
    {"TimeSave", "TimeSave", &T::TimeSave, 0},
    {"Msr", "Msr", &T::Msr, 6},
    {"Baudrate", "Baudrate", &T::Baudrate, 115200},
    {"Databit", "Databit", &T::Databit, 8},
    {"Parity", "Parity", &T::Parity, 0},
    {"Flowcontrol", "Flowcontrol", &T::Flowcontrol, 0},
    // "Fwver" and "Msrmode" (save only) stand here.
    {"Sentinel", "Sentinel", &T::Sentinel, 0},
};

// Factory setting sequences: one table per form, sent back to back.
constexpr const char* kFactorySwitches[] = {"00001100", "00000000", "22220001", "00001111",
                                            "00001010", "01110000", "00000000"};
constexpr int kFactorySwitchNumbers[] = {1, 2, 3, 5, 6, 7, 8};
constexpr const char* kDefaultPin = "9274";

struct FactoryRow {
    int model;
    bool gs;            // GS ( E form (else BS ^ E)
    bool sentinels;
    const char* btName;
    bool trailingNuls;
};

const FactoryRow* factoryRow(int model, std::uint32_t version)
{
    static constexpr FactoryRow kRows[] = {
        {kModelZ400, true, false, "KMP-Z400", false},    // version 20999 and below
        {kModelZ400, false, false, "KMP-Z400", false},   // version 21000 and above
        {kModelZ400II, true, true, "KMP-Z400II", false},
        {kModelZ600, true, true, "KMP-Z600", false},
        {kModelZ800, true, true, "KMP-Z800", false},
        {kModelVX440, false, false, "VX 440", true},
    };
    for (const FactoryRow& row : kRows) {
        if (row.model != model)
            continue;
        if (model == kModelZ400 && row.gs != (version <= 20999))
            continue;
        return &row;
    }
    return nullptr;
}

} // namespace

// ---- builders ---------------------------------------------------------------

bool IsSentBaudRate(int baudrate)
{
    static constexpr int kRates[] = {2400, 4800, 9600, 19200, 38400, 57600, 115200};
    return std::find(std::begin(kRates), std::end(kRates), baudrate) != std::end(kRates);
}

std::string BaudText(int baudrate)
{
    return IsSentBaudRate(baudrate) ? std::to_string(baudrate) : std::string("115200");
}

Bytes SerialItemData(const CCommonTlvr& r, int item)
{
    Bytes data;
    switch (item) {
    case 1:
        append(data, BaudText(r.Baudrate));
        break;
    case 2:
        data.push_back(static_cast<std::uint8_t>('0' + r.Parity));
        break;
    case 3:
        data.push_back(static_cast<std::uint8_t>('0' + r.Flowcontrol));
        break;
    case 4:
        data.push_back(static_cast<std::uint8_t>('0' + r.Databit));
        break;
    default:
        break;
    }
    return data;
}

bool BuildBluetoothCommand(const CCommonTlvr& r, Bytes& out)
{
    const auto clean = [](const std::string& text) {
        return text.find('\r') == std::string::npos && text.find('\0') == std::string::npos;
    };
    if (r.BtSecurity < 0 || r.BtSecurity > 1 || r.BtConnectionMode < 0 || r.BtConnectionMode > 2
        || !clean(r.BtPinCode) || !clean(r.BtDeviceName))
        return false;
    Bytes b{0x1F, 0x1F, 0x70, static_cast<std::uint8_t>('0' + r.BtSecurity),
            static_cast<std::uint8_t>('1' + r.BtConnectionMode)};
    append(b, r.BtPinCode);
    b.push_back(0x0D);
    append(b, r.BtDeviceName);
    b.push_back(0x0D);
    if (b.size() > kMaxBluetoothCommand)
        return false;
    out = std::move(b);
    return true;
}

Bytes FactorySequence(int modelCode, std::uint32_t version)
{
    const FactoryRow* row = factoryRow(modelCode, version);
    if (!row)
        return {};
    Bytes b;
    if (row->gs) {
        const Bytes in = command(kGs, {0x03, 0x00, kFnBegin, 'I', 'N'});
        b.insert(b.end(), in.begin(), in.end());
        for (std::size_t k = 0; k < std::size(kFactorySwitches); ++k) {
            const Bytes sw = command(kGs, {kGsSwitchWriteLength, 0x00, kFnWriteSwitch,
                                           static_cast<std::uint8_t>(kFactorySwitchNumbers[k])});
            b.insert(b.end(), sw.begin(), sw.end());
            append(b, kFactorySwitches[k]);
        }
        const struct {
            std::uint8_t item;
            const char* data;
        } serial[] = {{1, "115200"}, {2, "0"}, {3, "0"}, {4, "8"}};
        for (const auto& s : serial) {
            const auto length = static_cast<std::uint8_t>(2 + std::char_traits<char>::length(s.data));
            const Bytes item = command(kGs, {length, 0x00, kFnWriteSerial, s.item});
            b.insert(b.end(), item.begin(), item.end());
            append(b, s.data);
        }
        const Bytes out = command(kGs, {0x04, 0x00, kFnEnd, 'O', 'U', 'T'});
        b.insert(b.end(), out.begin(), out.end());
        if (row->sentinels) {
            for (const char* code : {"21START1", "31END1", "22START2", "32END2", "23START3", "33END3"}) {
                const auto length = static_cast<std::uint8_t>(std::char_traits<char>::length(code));
                const Bytes s = command(kMs, {length, 0x00});
                b.insert(b.end(), s.begin(), s.end());
                append(b, code);
            }
        }
    } else {
        const Bytes in = command(kBs, {0x01, 0x00, kFnBegin});
        b.insert(b.end(), in.begin(), in.end());
        const Bytes block = command(kBs, {kBsSwitchBlockLength, 0x00, kFnWriteSwitch});
        b.insert(b.end(), block.begin(), block.end());
        for (const char* sw : kFactorySwitches)
            append(b, sw);
        const Bytes serial = command(kBs, {0x0A, 0x00, kFnWriteSerial});
        b.insert(b.end(), serial.begin(), serial.end());
        append(b, "115200008");
        const Bytes out = command(kBs, {0x01, 0x00, kFnEnd});
        b.insert(b.end(), out.begin(), out.end());
    }
    append(b, "\x1F\x1F\x70"
              "12");
    append(b, kDefaultPin);
    b.push_back(0x0D);
    append(b, row->btName);
    b.push_back(0x0D);
    if (row->trailingNuls)
        b.push_back(0x00), b.push_back(0x00);
    return b;
}

// ---- the record ---------------------------------------------------------------

CCommonTlvr::CCommonTlvr(CCommonUtil& util, platform::Clock& clock) : util_(&util), clock_(&clock) {}

CCommonTlvr::~CCommonTlvr() = default;

SwitchContext CCommonTlvr::context() const
{
    return SwitchContext{form(), util_->g_Getver, util_->msrMode};
}

std::string* CCommonTlvr::StartCode(int track)
{
    switch (track) {
    case 1:
        return &Track1Start;
    case 2:
        return &Track2Start;
    case 3:
        return &Track3Start;
    default:
        return nullptr;
    }
}

std::string* CCommonTlvr::EndCode(int track)
{
    switch (track) {
    case 1:
        return &Track1End;
    case 2:
        return &Track2End;
    case 3:
        return &Track3End;
    default:
        return nullptr;
    }
}

int CCommonTlvr::failClosed(int code)
{
    util_->port.Close();
    return code;
}

int CCommonTlvr::send(const Bytes& bytes)
{
    const int n = static_cast<int>(bytes.size());
    if (util_->port.Write(bytes.data(), n) != n)
        return failClosed(kShortWrite);
    return kOk;
}

// ---- switches -----------------------------------------------------------------

int CCommonTlvr::readSwitch(CommandForm form, int n)
{
    if (!util_->port.IsOpen())
        return kNotOpen;
    SwitchContext c = context();
    c.form = form;
    // The RF switch has its own read (ReadRfInterface).
    if (n == kRfSwitch || !HasSwitch(n, form))
        return kNotSupported;
    if (const int rc = send(command(form, {0x02, 0x00, kFnReadSwitch, static_cast<std::uint8_t>(n)})); rc != kOk)
        return rc;
    const CollectPlan plan{kSwitchPauseMs, kSwitchReplySize, kSwitchReplySize, true};
    const Collected got = CollectReply(util_->port, *clock_, plan,
                                       [](ReplyBytes b) { return ParseSwitchReply(b).status; });
    if (got.bytes.size() != kSwitchReplySize)
        return failClosed(kNoReply);
    if (n == kBlackMarkSwitch && c.version < kVersionBluetooth)
        return kNotSupported;
    const SwitchReply reply = ParseSwitchReply(got.bytes);
    if (reply.status != ReplyStatus::Complete)
        return failClosed(kBadFormat);
    if (n == kBlackMarkSwitch) {
        const std::string_view t = asText(reply.text);
        if (t.substr(0, 6) != "000000" || !IsValidBlackMarkPair(PackBlackMark(t[6], t[7])))
            return failClosed(kBadFormat);
    }
    DecodeSwitch(n, c, reply.text, *this);
    return kOk;
}

int CCommonTlvr::ReadSwitchGs(int n)
{
    return readSwitch(CommandForm::Gs, n);
}

int CCommonTlvr::ReadSwitchBs(int n)
{
    return readSwitch(CommandForm::Bs, n);
}

int CCommonTlvr::WriteSwitchGs(int n)
{
    if (!util_->port.IsOpen())
        return kNotOpen;
    SwitchContext c = context();
    c.form = CommandForm::Gs;
    if (n == kBlackMarkSwitch && c.version < kVersionBluetooth)
        return failClosed(kNotSupported);
    // A black mark pair never read from the printer is not sent: the
    // printer would take the two characters as they are.
    if (n == kBlackMarkSwitch && !IsValidBlackMarkPair(BlackMarkSensor))
        return kNotSupported;
    SwitchText text{};
    if (n == kRfSwitch || !EncodeSwitch(n, c, *this, text))
        return kNotSupported;
    if (const int rc = send(command(kGs, {kGsSwitchWriteLength, 0x00, kFnWriteSwitch})); rc != kOk)
        return rc;
    Bytes body{static_cast<std::uint8_t>(n)};
    append(body, asText(text));
    return send(body);
}

int CCommonTlvr::WriteSwitchBs(int n)
{
    if (!util_->port.IsOpen())
        return kNotOpen;
    SwitchContext c = context();
    c.form = CommandForm::Bs;
    SwitchText text{};
    if (!EncodeSwitch(n, c, *this, text))
        return kNotSupported;
    if (n == 1) {
        if (const int rc = send(command(kBs, {kBsSwitchBlockLength, 0x00, kFnWriteSwitch})); rc != kOk)
            return rc;
    }
    Bytes body;
    append(body, asText(text));
    return send(body);
}

int CCommonTlvr::WriteSwitchBsUnchanged()
{
    if (!util_->port.IsOpen())
        return kNotOpen;
    Bytes body;
    append(body, "22222222");
    return send(body);
}

// ---- setting mode -----------------------------------------------------------

int CCommonTlvr::BeginSettingGs()
{
    if (!util_->port.IsOpen())
        return kNotOpen;
    if (const int rc = send(command(kGs, {0x03, 0x00, kFnBegin, 'I', 'N'})); rc != kOk)
        return rc;
    const CollectPlan plan{kSwitchPauseMs, kAckReplySize, 50, true};
    const Collected got = CollectReply(util_->port, *clock_, plan, ParseAckReply);
    if (got.bytes.size() != kAckReplySize)
        return failClosed(kNoReply);
    if (ParseAckReply(got.bytes) != ReplyStatus::Complete)
        return failClosed(kBadFormat);
    return kOk;
}

int CCommonTlvr::BeginSettingBs()
{
    if (!util_->port.IsOpen())
        return kNotOpen;
    if (const int rc = send(command(kBs, {0x01, 0x00, kFnBegin})); rc != kOk)
        return rc;
    const CollectPlan plan{kSwitchPauseMs, kAckReplySize, 50, true};
    const Collected got = CollectReply(util_->port, *clock_, plan, ParseAckReply);
    if (got.bytes.size() != kAckReplySize || ParseAckReply(got.bytes) != ReplyStatus::Complete)
        return failClosed(kNoReply);
    return kOk;
}

int CCommonTlvr::EndSettingGs()
{
    if (!util_->port.IsOpen())
        return kNotOpen;
    return send(command(kGs, {0x04, 0x00, kFnEnd, 'O', 'U', 'T'}));
}

int CCommonTlvr::EndSettingBs()
{
    if (!util_->port.IsOpen())
        return kNotOpen;
    return send(command(kBs, {0x01, 0x00, kFnEnd}));
}

// ---- serial -----------------------------------------------------------------

int CCommonTlvr::readSerial(CommandForm form, int item)
{
    if (!util_->port.IsOpen())
        return kNotOpen;
    if (item < 1 || item > 4)
        return kNotSupported;
    if (const int rc = send(command(form, {0x02, 0x00, kFnReadSerial, static_cast<std::uint8_t>(item)})); rc != kOk)
        return rc;
    const CollectPlan plan{kSwitchPauseMs, kSerialReplyLimit, kFreeReplyBuffer};
    const Collected got = CollectReply(util_->port, *clock_, plan, [item](ReplyBytes b) {
        return ParseSerialReply(b, item, false).status;
    });
    if (got.bytes.size() >= kSerialReplyLimit)
        return failClosed(kNoReply);
    const SerialReply reply = ParseSerialReply(got.bytes, item, true);
    if (reply.status != ReplyStatus::Complete)
        return failClosed(kBadFormat);
    int* fields[] = {nullptr, &Baudrate, &Parity, &Flowcontrol, &Databit};
    *fields[item] = reply.value;
    return kOk;
}

int CCommonTlvr::ReadSerialGs(int item)
{
    return readSerial(CommandForm::Gs, item);
}

int CCommonTlvr::ReadSerialBs(int item)
{
    return readSerial(CommandForm::Bs, item);
}

int CCommonTlvr::WriteSerialGs(int item)
{
    if (!util_->port.IsOpen())
        return kNotOpen;
    if (item < 1 || item > 4)
        return kNotSupported;
    const Bytes data = SerialItemData(*this, item);
    const auto length = static_cast<std::uint8_t>(2 + data.size());
    if (const int rc = send(command(kGs, {length, 0x00, kFnWriteSerial, static_cast<std::uint8_t>(item)})); rc != kOk)
        return rc;
    return send(data);
}

int CCommonTlvr::WriteSerialBs()
{
    if (!util_->port.IsOpen())
        return kNotOpen;
    const std::string baud = BaudText(Baudrate);
    Bytes b = command(kBs, {static_cast<std::uint8_t>(4 + baud.size()), 0x00, kFnWriteSerial});
    append(b, baud);
    for (int item = 2; item <= 4; ++item) {
        const Bytes digit = SerialItemData(*this, item);
        b.insert(b.end(), digit.begin(), digit.end());
    }
    return send(b);
}

// ---- RF interface -------------------------------------------------------------

int CCommonTlvr::ReadRfInterface()
{
    if (!util_->port.IsOpen())
        return kNotOpen;
    if (util_->g_Getver < kVersionBluetooth)
        return kNotSupported;
    if (const int rc = send(command(kGs, {0x02, 0x00, kFnReadSwitch, kRfSwitch})); rc != kOk)
        return rc;
    const CollectPlan plan{kShortPauseMs, kFreeReplyBuffer, kFreeReplyBuffer};
    const Collected got = CollectReply(util_->port, *clock_, plan,
                                       [](ReplyBytes b) { return ParseRfReply(b, false).status; });
    const RfReply reply = ParseRfReply(got.bytes, true);
    if (reply.code == kNoHeader)
        return kNoHeader;
    if (reply.status != ReplyStatus::Complete)
        return failClosed(kBadFormat);
    SwitchContext c = context();
    c.form = CommandForm::Gs;
    DecodeSwitch(kRfSwitch, c, reply.text, *this);
    return kOk;
}

int CCommonTlvr::WriteRfInterface()
{
    if (!util_->port.IsOpen())
        return kNotOpen;
    if (util_->g_Getver < kVersionBluetooth)
        return kNotSupported;
    SwitchContext c = context();
    c.form = CommandForm::Gs;
    SwitchText text{};
    EncodeSwitch(kRfSwitch, c, *this, text);
    if (const int rc = send(command(kGs, {kGsSwitchWriteLength, 0x00, kFnWriteSwitch})); rc != kOk)
        return rc;
    Bytes body{kRfSwitch};
    append(body, asText(text));
    return send(body);
}

// ---- sentinels ------------------------------------------------------------------

int CCommonTlvr::ReadSentinel(int track)
{
    if (!util_->port.IsOpen())
        return kNotOpen;
    if (track < 1 || track > 3)
        return kNotSupported;
    const auto t = static_cast<std::uint8_t>('0' + track);
    if (const int rc = send(command(kMs, {0x02, 0x00, kFnSentinelRead, t})); rc != kOk)
        return rc;
    const CollectPlan plan{kShortPauseMs, kFreeReplyBuffer, kFreeReplyBuffer};
    const Collected got = CollectReply(util_->port, *clock_, plan, [track](ReplyBytes b) {
        return ParseSentinelReply(b, track, false).status;
    });
    const SentinelReply reply = ParseSentinelReply(got.bytes, track, true);
    if (reply.matched) {
        *StartCode(track) = reply.start;
        *EndCode(track) = reply.end;
    }
    return kOk;
}

int CCommonTlvr::WriteSentinel(int track)
{
    if (!util_->port.IsOpen())
        return kNotOpen;
    if (track < 1 || track > 3)
        return kNotSupported;
    const std::string& start = *StartCode(track);
    const std::string& end = *EndCode(track);
    if (start.size() > kMaxSentinelCode || end.size() > kMaxSentinelCode)
        return kNotSupported;
    const auto t = static_cast<std::uint8_t>('0' + track);
    if (const int rc = send(command(kMs, {static_cast<std::uint8_t>(start.size() + 2), 0x00, kFnSentinelStart, t}));
        rc != kOk)
        return rc;
    if (!start.empty()) {
        if (const int rc = send(Bytes(start.begin(), start.end())); rc != kOk)
            return rc;
    }
    // An empty end code travels as one zero byte.
    const Bytes endBytes = end.empty() ? Bytes{0x00} : Bytes(end.begin(), end.end());
    if (const int rc = send(command(kMs, {static_cast<std::uint8_t>(endBytes.size() + 2), 0x00, kFnSentinelEnd, t}));
        rc != kOk)
        return rc;
    return send(endBytes);
}

// ---- Bluetooth ------------------------------------------------------------------

int CCommonTlvr::ReadBluetooth(char item)
{
    if (!util_->port.IsOpen())
        return kNotOpen;
    if (item != kBtConnectionMode && item != kBtDeviceName && item != kBtPinCode && item != kBtSecurity)
        return kNotSupported;
    if (const int rc = send(Bytes{0x1F, 0x1F, 0x69, static_cast<std::uint8_t>(item)}); rc != kOk)
        return rc;
    CollectPlan plan{kBluetoothPauseMs, kBluetoothReplyLimit, kBluetoothReplyLimit};
    plan.stopOnSilence = true;
    const Collected got = CollectReply(util_->port, *clock_, plan, [item](ReplyBytes b) {
        return ParseBluetoothReply(b, item, false).status;
    });
    const BluetoothReply reply = ParseBluetoothReply(got.bytes, item, true);
    if (reply.status != ReplyStatus::Complete)
        return failClosed(reply.code);
    switch (item) {
    case kBtConnectionMode:
        BtConnectionMode = reply.value;
        break;
    case kBtSecurity:
        BtSecurity = reply.value;
        break;
    case kBtDeviceName:
        BtDeviceName = reply.text;
        break;
    default:
        BtPinCode = reply.text;
        break;
    }
    return kOk;
}

int CCommonTlvr::WriteBluetooth()
{
    if (!util_->port.IsOpen())
        return kNotOpen;
    Bytes b;
    if (!BuildBluetoothCommand(*this, b))
        return kNotSupported;
    return send(b);
}

// ---- factory default ------------------------------------------------------------

int CCommonTlvr::SetFactoryDefault()
{
    if (!util_->port.IsOpen())
        return kNotOpen;
    const Bytes sequence = FactorySequence(util_->g_Model, util_->g_Getver);
    if (sequence.empty()) {
        clock_->pauseMs(kFactoryPauseMs);
        return failClosed(kNoReply);
    }
    if (const int rc = send(sequence); rc != kOk)
        return rc;
    const CollectPlan plan{kFactoryPauseMs, kAckReplySize, 50, true};
    const Collected got = CollectReply(util_->port, *clock_, plan, ParseAckReply);
    if (got.bytes.size() != kAckReplySize || ParseAckReply(got.bytes) != ReplyStatus::Complete)
        return failClosed(kNoReply);
    return kOk;
}

// ---- registry -------------------------------------------------------------------

int CCommonTlvr::LoadSettings(const platform::RegistryStore& store, const std::string& keyPath)
{
    for (const RegistryRow& row : kRegistryRows) {
        std::uint32_t value = 0;
        this->*row.field = store.readNumber(keyPath, row.loadName, value) ? static_cast<int>(value) : row.fallback;
    }
    return kOk;
}

int CCommonTlvr::SaveSettings(platform::RegistryStore& store, const std::string& keyPath)
{
    SaveTlvrRecord(store, keyPath, *this);
    return kOk;
}

bool SaveTlvrRecord(platform::RegistryStore& store, const std::string& keyPath, const CCommonTlvr& record)
{
    return store.update([&](platform::RegistryStore::Batch& batch) {
        for (const RegistryRow& row : kRegistryRows) {
            if (row.field == &T::Sentinel) {
                // A version text that cannot be stored (a line break from a
                // garbled reply) must not cost the rest of the record.
                const std::string& version = record.util().firmwareVersion;
                if (platform::reg::validText(version))
                    batch.writeString(keyPath, "Fwver", version);
                batch.writeNumber(keyPath, "Msrmode", record.util().msrMode);
            }
            batch.writeNumber(keyPath, row.saveName, static_cast<std::uint32_t>(record.*row.field));
        }
    });
}

} // namespace corvane
