#include "sim/setting_memory.h"

#include <algorithm>

namespace sim {

namespace {

constexpr std::uint32_t kSentinelVersion = 21021;
constexpr std::uint32_t kNewSwitchVersion = 101000;  // switches 0x50, 0x51, Bluetooth reads

constexpr std::size_t kHeaderSize = 5;        // prefix, pL, pH
constexpr std::size_t kGsSwitchWriteSize = 15;  // header, fn 03, n, 8 characters
constexpr std::size_t kBsSwitchBlock = 56;    // 7 switches of 8 characters
constexpr std::uint8_t kBsBlockOrder[] = {1, 2, 3, 5, 6, 7, 8};
constexpr std::size_t kMaxShownBytes = 64;

const std::string kEnterReply{"\x37\x20\x00", 3};

enum Fn : std::uint8_t {
    kFnEnter = 0x01,
    kFnLeave = 0x02,
    kFnWriteSwitch = 0x03,
    kFnReadSwitch = 0x04,
    kFnWriteSerial = 0x0B,
    kFnReadSerial = 0x0C,
    kFnSentinelStart = 0x32,
    kFnSentinelEnd = 0x33,
    kFnSentinelRead = 0x34,
};

std::uint8_t byteAt(std::string_view s, std::size_t i)
{
    return static_cast<std::uint8_t>(s[i]);
}

// The length after pL pH, once the header is in.
std::size_t frameLength(std::string_view in)
{
    return byteAt(in, 3) | (std::size_t{byteAt(in, 4)} << 8);
}

std::string hexBytes(std::string_view bytes)
{
    static constexpr char kHex[] = "0123456789abcdef";
    std::string out;
    for (std::size_t i = 0; i < bytes.size() && i < kMaxShownBytes; ++i) {
        if (i > 0)
            out.push_back(' ');
        out.push_back(kHex[byteAt(bytes, i) >> 4]);
        out.push_back(kHex[byteAt(bytes, i) & 0x0F]);
    }
    if (bytes.size() > kMaxShownBytes)
        out += " ...";
    return out;
}

std::string switchName(unsigned n)
{
    static constexpr char kHex[] = "0123456789abcdef";
    if (n < 10)
        return "switch " + std::to_string(n);
    return std::string("switch 0x") + kHex[(n >> 4) & 0x0F] + kHex[n & 0x0F];
}

std::string switchReply(std::uint8_t bits)
{
    return "\x37\x21" + bitsText(bits) + std::string(1, '\0');
}

bool allSwitchCharacters(std::string_view chars)
{
    return std::all_of(chars.begin(), chars.end(), [](char c) { return c == '0' || c == '1' || c == '2'; });
}

// d1..d8 over `bits`: "0"/"1" set a bit, "2" leaves it.
std::uint8_t applySwitchCharacters(std::uint8_t bits, std::string_view chars)
{
    for (std::size_t i = 0; i < 8; ++i) {
        const auto mask = static_cast<std::uint8_t>(0x80u >> i);
        if (chars[i] == '1')
            bits = static_cast<std::uint8_t>(bits | mask);
        else if (chars[i] == '0')
            bits = static_cast<std::uint8_t>(bits & ~mask);
    }
    return bits;
}

bool oneDigit(std::string_view text, int& value)
{
    if (text.size() != 1 || text[0] < '0' || text[0] > '9')
        return false;
    value = text[0] - '0';
    return true;
}

} // namespace

SettingMemory::SettingMemory(const PrinterConfig& config)
    : state_(config.switches),
      version_(versionNumberOf(modelCodeOf(config.modelReply), config.versionReply))
{
    dialect_ = config.dialect.value_or(dialectFor(version_));
}

void SettingMemory::addCommands(CommandParser& parser)
{
    parser.addCommand(std::string(kGsSetting), [this](std::string_view in) { return gsCommand(in); });
    parser.addCommand(std::string(kBsSetting), [this](std::string_view in) { return bsCommand(in); });
    parser.addCommand(std::string(kSentinelCommand), [this](std::string_view in) { return sentinelCommand(in); });
    parser.addCommand(std::string(kBluetoothRead), [this](std::string_view in) { return bluetoothRead(in); });
    parser.addCommand(std::string(kBluetoothWrite), [this](std::string_view in) { return bluetoothWrite(in); });
}

void SettingMemory::reject(std::string_view cmd, std::string reason)
{
    ++rejectedCount_;
    if (rejected_.size() < kMaxListed)
        rejected_.push_back({std::move(reason), std::string(cmd.substr(0, kMaxShownBytes + 1))});
}

void SettingMemory::ignore(std::string_view cmd, std::string reason)
{
    ++ignoredCount_;
    if (ignored_.size() < kMaxListed)
        ignored_.push_back({std::move(reason), std::string(cmd.substr(0, kMaxShownBytes + 1))});
}

HandlerResult SettingMemory::gsCommand(std::string_view in)
{
    if (in.size() < kHeaderSize)
        return HandlerResult::needMore();
    const std::size_t length = frameLength(in);
    if (length == 0) {
        ignore(in.substr(0, kHeaderSize), "GS ( E command without a function");
        return HandlerResult::done(kHeaderSize);
    }
    if (in.size() < kHeaderSize + 1)
        return HandlerResult::needMore();
    const std::uint8_t fn = byteAt(in, kHeaderSize);
    const std::size_t total = fn == kFnWriteSwitch ? kGsSwitchWriteSize : kHeaderSize + length;
    if (in.size() < total)
        return HandlerResult::needMore();
    const std::string_view cmd = in.substr(0, total);
    const std::string_view data = cmd.substr(kHeaderSize + 1);
    if (dialect_ != Dialect::Gs) {
        ignore(cmd, "GS ( E command to a BS ^ E printer");
        return HandlerResult::done(total);
    }

    std::string reply;
    if (fn == kFnEnter && data == "IN") {
        settingMode_ = true;
        reply = kEnterReply;
    } else if (fn == kFnLeave && data == "OUT") {
        settingMode_ = false;
    } else if (fn == kFnReadSwitch && data.size() == 1) {
        reply = readSwitch(cmd, byteAt(data, 0), true);
    } else if (fn == kFnWriteSwitch) {
        writeSwitch(cmd, byteAt(data, 0), data.substr(1));
    } else if (fn == kFnReadSerial && data.size() == 1) {
        reply = readSerial(cmd, byteAt(data, 0));
    } else if (fn == kFnWriteSerial && !data.empty()) {
        writeSerial(cmd, byteAt(data, 0), data.substr(1));
    } else {
        ignore(cmd, "unknown GS ( E function");
    }
    return HandlerResult::done(total, std::move(reply));
}

HandlerResult SettingMemory::bsCommand(std::string_view in)
{
    if (in.size() < kHeaderSize)
        return HandlerResult::needMore();
    const std::size_t total = kHeaderSize + frameLength(in);
    if (in.size() < total)
        return HandlerResult::needMore();
    const std::string_view cmd = in.substr(0, total);
    if (dialect_ != Dialect::Bs) {
        ignore(cmd, "BS ^ E command to a GS ( E printer");
        return HandlerResult::done(total);
    }
    if (total == kHeaderSize) {
        ignore(cmd, "BS ^ E command without a function");
        return HandlerResult::done(total);
    }
    const std::uint8_t fn = byteAt(cmd, kHeaderSize);
    const std::string_view data = cmd.substr(kHeaderSize + 1);

    std::string reply;
    if (fn == kFnEnter && data.empty()) {
        settingMode_ = true;
        reply = kEnterReply;
    } else if (fn == kFnLeave && data.empty()) {
        settingMode_ = false;
    } else if (fn == kFnReadSwitch && data.size() == 1) {
        reply = readSwitch(cmd, byteAt(data, 0), false);
    } else if (fn == kFnWriteSwitch) {
        if (data.size() != kBsSwitchBlock) {
            reject(cmd, "switch block of " + std::to_string(data.size()) + " characters, not 56");
        } else if (!settingMode_) {
            reject(cmd, "switch write outside the setting mode");
        } else if (!allSwitchCharacters(data)) {
            reject(cmd, "switch character other than 0, 1, 2");
        } else {
            for (std::size_t i = 0; i < std::size(kBsBlockOrder); ++i) {
                std::uint8_t& bits = *state_.switchByNumber(kBsBlockOrder[i]);
                bits = applySwitchCharacters(bits, data.substr(8 * i, 8));
            }
            changed();
        }
    } else if (fn == kFnReadSerial && data.size() == 1) {
        reply = readSerial(cmd, byteAt(data, 0));
    } else if (fn == kFnWriteSerial) {
        writeAllSerial(cmd, data);
    } else {
        ignore(cmd, "unknown BS ^ E function");
    }
    return HandlerResult::done(total, std::move(reply));
}

std::string SettingMemory::readSwitch(std::string_view cmd, unsigned n, bool gs)
{
    const bool newSwitch = n == 0x50 || n == 0x51;
    const std::uint8_t* bits = state_.switchByNumber(n);
    if (bits == nullptr || n == 0x49 || (newSwitch && (!gs || version_ < kNewSwitchVersion))) {
        ignore(cmd, "read of " + switchName(n) + ", which this printer does not answer");
        return {};
    }
    return switchReply(*bits);
}

void SettingMemory::writeSwitch(std::string_view cmd, unsigned n, std::string_view chars)
{
    const bool newSwitch = n == 0x50 || n == 0x51;
    std::uint8_t* bits = state_.switchByNumber(n);
    if (bits == nullptr || (newSwitch && version_ < kNewSwitchVersion)) {
        ignore(cmd, "write of " + switchName(n) + ", which this printer does not have");
    } else if (!settingMode_) {
        reject(cmd, switchName(n) + " write outside the setting mode");
    } else if (!allSwitchCharacters(chars)) {
        reject(cmd, switchName(n) + " character other than 0, 1, 2");
    } else {
        *bits = applySwitchCharacters(*bits, chars);
        changed();
    }
}

std::string SettingMemory::readSerial(std::string_view cmd, unsigned item)
{
    std::string value;
    switch (item) {
    case 1: value = std::to_string(state_.serial.baud); break;
    case 2: value = std::to_string(state_.serial.parity); break;
    case 3: value = std::to_string(state_.serial.flow); break;
    case 4: value = std::to_string(state_.serial.dataBits); break;
    default:
        ignore(cmd, "read of unknown serial item");
        return {};
    }
    std::string reply = "\x37\x33";
    reply.push_back(static_cast<char>('0' + item));
    reply.push_back('\x1f');
    reply += value;
    reply.push_back('\0');
    return reply;
}

bool SettingMemory::serialValue(unsigned item, std::string_view text, SerialSettings& into) const
{
    int digit = 0;
    switch (item) {
    case 1: {
        if (text.empty() || text.size() > 6 || !std::all_of(text.begin(), text.end(), [](char c) {
                return c >= '0' && c <= '9';
            }))
            return false;
        const auto rate = static_cast<std::uint32_t>(std::stoul(std::string(text)));
        if (std::find(kSerialRates.begin(), kSerialRates.end(), rate) == kSerialRates.end())
            return false;
        into.baud = rate;
        return true;
    }
    case 2:
        if (!oneDigit(text, digit) || !validParity(digit))
            return false;
        into.parity = digit;
        return true;
    case 3:
        if (!oneDigit(text, digit) || !validFlow(digit))
            return false;
        into.flow = digit;
        return true;
    case 4:
        if (!oneDigit(text, digit) || !validDataBits(digit))
            return false;
        into.dataBits = digit;
        return true;
    default:
        return false;
    }
}

void SettingMemory::writeSerial(std::string_view cmd, unsigned item, std::string_view text)
{
    SerialSettings next = state_.serial;
    if (item < 1 || item > 4) {
        ignore(cmd, "write of unknown serial item");
    } else if (!settingMode_) {
        reject(cmd, "serial item write outside the setting mode");
    } else if (!serialValue(item, text, next)) {
        reject(cmd, "invalid serial item " + std::to_string(item) + " value");
    } else {
        state_.serial = next;
        changed();
    }
}

void SettingMemory::writeAllSerial(std::string_view cmd, std::string_view text)
{
    SerialSettings next = state_.serial;
    if (!settingMode_) {
        reject(cmd, "serial write outside the setting mode");
        return;
    }
    // The baud text is what the three one-digit items leave.
    const bool ok = text.size() >= 4 && serialValue(1, text.substr(0, text.size() - 3), next)
                    && serialValue(2, text.substr(text.size() - 3, 1), next)
                    && serialValue(3, text.substr(text.size() - 2, 1), next)
                    && serialValue(4, text.substr(text.size() - 1, 1), next);
    if (!ok) {
        reject(cmd, "invalid serial settings");
        return;
    }
    state_.serial = next;
    changed();
}

HandlerResult SettingMemory::sentinelCommand(std::string_view in)
{
    if (in.size() < kHeaderSize)
        return HandlerResult::needMore();
    const std::size_t total = kHeaderSize + frameLength(in);
    if (in.size() < total)
        return HandlerResult::needMore();
    const std::string_view cmd = in.substr(0, total);
    if (total < kHeaderSize + 2) {
        ignore(cmd, "sentinel command without function and track");
        return HandlerResult::done(total);
    }
    if (version_ < kSentinelVersion) {
        ignore(cmd, "sentinel command to a printer below version 21021");
        return HandlerResult::done(total);
    }
    const std::uint8_t fn = byteAt(cmd, kHeaderSize);
    const std::uint8_t track = byteAt(cmd, kHeaderSize + 1);
    const std::string_view code = cmd.substr(kHeaderSize + 2);
    if (track < '1' || track > '3') {
        ignore(cmd, "sentinel command for an unknown track");
        return HandlerResult::done(total);
    }
    SentinelCodes& codes = state_.sentinels[track - '1'];

    std::string reply;
    if (fn == kFnSentinelRead && code.empty()) {
        reply = "\x37\x81";
        reply.push_back(static_cast<char>(track));
        reply += codes.start;
        reply.push_back('\x1f');
        reply += codes.end;
        reply.push_back('\0');
    } else if (fn == kFnSentinelStart || fn == kFnSentinelEnd) {
        if (code.size() > kMaxSentinelBytes) {
            reject(cmd, "sentinel code longer than 10 bytes");
        } else {
            const bool start = fn == kFnSentinelStart;
            // The host cannot send an empty end code; a lone NUL stands for it.
            const bool empty = !start && code == std::string_view("\0", 1);
            (start ? codes.start : codes.end) = empty ? std::string() : std::string(code);
            changed();
        }
    } else {
        ignore(cmd, "unknown sentinel function");
    }
    return HandlerResult::done(total, std::move(reply));
}

HandlerResult SettingMemory::bluetoothRead(std::string_view in)
{
    constexpr std::size_t kSize = 4;
    if (in.size() < kSize)
        return HandlerResult::needMore();
    const std::string_view cmd = in.substr(0, kSize);
    if (version_ < kNewSwitchVersion) {
        ignore(cmd, "Bluetooth read to a printer below version 101000");
        return HandlerResult::done(kSize);
    }
    const BluetoothSettings& bt = state_.bluetooth;
    std::string value;
    switch (in[3]) {
    case 'c': value = std::string(1, static_cast<char>('1' + bt.mode)); break;
    case 'd': value = bt.name; break;
    case 'k': value = bt.pin; break;
    case 's': value = std::string(1, static_cast<char>('0' + bt.security)); break;
    default:
        ignore(cmd, "read of unknown Bluetooth item");
        return HandlerResult::done(kSize);
    }
    std::string reply = "\x37\x42";
    reply.push_back(in[3]);
    reply += value;
    reply.push_back('\0');
    return HandlerResult::done(kSize, std::move(reply));
}

HandlerResult SettingMemory::bluetoothWrite(std::string_view in)
{
    // 1f 1f 70 security mode PIN 0d name 0d
    constexpr std::size_t kPinAt = 5;
    const std::string_view window = in.substr(0, kMaxBluetoothCommand);
    const std::size_t pinEnd = window.size() > kPinAt ? window.find('\r', kPinAt) : std::string_view::npos;
    const std::size_t nameEnd = pinEnd == std::string_view::npos ? pinEnd : window.find('\r', pinEnd + 1);
    if (nameEnd == std::string_view::npos) {
        if (in.size() < kMaxBluetoothCommand)
            return HandlerResult::needMore();
        // No end within the longest command: only the prefix is taken, the
        // rest is read afresh.
        reject(window, "Bluetooth write without its two CR bytes within 100 bytes");
        return HandlerResult::done(kBluetoothWrite.size());
    }
    const std::size_t total = nameEnd + 1;
    const std::string_view cmd = in.substr(0, total);
    const int security = cmd[3] - '0';
    const int mode = cmd[4] - '1';
    const std::string_view pin = cmd.substr(kPinAt, pinEnd - kPinAt);
    const std::string_view name = cmd.substr(pinEnd + 1, nameEnd - pinEnd - 1);
    const std::string_view nul("\0", 1);
    if (!validBluetoothSecurity(security) || !validBluetoothMode(mode) || pin.find(nul) != std::string_view::npos
        || name.find(nul) != std::string_view::npos) {
        reject(cmd, "invalid Bluetooth settings");
        return HandlerResult::done(total);
    }
    state_.bluetooth = {mode, security, std::string(pin), std::string(name)};
    changed();
    return HandlerResult::done(total);
}

std::string SettingMemory::report() const
{
    std::string out;
    out += std::string("dialect: ") + (dialect_ == Dialect::Gs ? "gs" : "bs") + "\n";
    out += "version-number: " + std::to_string(version_) + "\n";
    out += std::string("setting-mode: ") + (settingMode_ ? "on" : "off") + "\n";
    out += formatState(state_);
    auto list = [&](const char* key, std::uint64_t count, const std::vector<Refusal>& refusals) {
        out += std::string(key) + ": " + std::to_string(count) + "\n";
        for (std::size_t i = 0; i < refusals.size(); ++i)
            out += std::string(key) + "." + std::to_string(i + 1) + ": " + refusals[i].reason + ": "
                   + hexBytes(refusals[i].bytes) + "\n";
    };
    list("rejected", rejectedCount_, rejected_);
    list("ignored", ignoredCount_, ignored_);
    return out;
}

} // namespace sim
