#include "pavix/search/NetworkSetting.h"

#include "pavix/search/DeviceListModel.h"

#include <algorithm>
#include <cstdio>
#include <utility>

namespace pavix::search {
namespace {

constexpr BaudEntry kBaudTable[] = {
    {"1200", 0xA0},  {"2400", 0xD0},  {"4800", 0xE8},   {"9600", 0xF4},   {"19200", 0xFA},
    {"38400", 0xFD}, {"57600", 0xFE}, {"115200", 0xFF}, {"230400", 0xBB},
};

// Decimal digits only, at most `maxDigits` of them; anything else is none.
std::optional<int> digitsValue(const std::string& text, std::size_t maxDigits)
{
    if (text.empty() || text.size() > maxDigits)
        return std::nullopt;
    int value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + (c - '0');
    }
    return value;
}

// A typed number within 0..maximum. Texts the digits-only input cannot hold,
// or too long to be in range, count as out of range.
std::optional<int> inRange(const std::string& text, int maximum)
{
    const auto value = digitsValue(text, 6);
    if (!value || *value > maximum)
        return std::nullopt;
    return value;
}

EditCheck checkTyped(std::string text, int maximum, std::string_view message, int substitute)
{
    if (text.empty() || inRange(text, maximum))
        return {{}, std::move(text)};
    return {std::string(message), std::to_string(substitute)};
}

} // namespace

std::span<const BaudEntry> BaudTable()
{
    return kBaudTable;
}

std::optional<int> BaudPosition(std::uint8_t code)
{
    for (std::size_t i = 0; i < std::size(kBaudTable); ++i) {
        if (kBaudTable[i].code == code)
            return static_cast<int>(i);
    }
    return std::nullopt;
}

std::optional<std::uint8_t> BaudCodeForRate(std::string_view rate)
{
    for (const BaudEntry& entry : kBaudTable) {
        if (entry.text == rate)
            return entry.code;
    }
    return std::nullopt;
}

std::string BaudRateText(std::uint8_t code)
{
    if (const auto position = BaudPosition(code))
        return std::string(kBaudTable[static_cast<std::size_t>(*position)].text);
    char text[20];
    std::snprintf(text, sizeof text, "Unknown (0x%02X)", code);
    return text;
}

std::string_view SettingTitle(SearchMode mode)
{
    return mode == SearchMode::Wlan ? "WLAN Configuration" : "Ethernet Configuration";
}

std::string_view IpRefusedMessage(SearchMode mode)
{
    return mode == SearchMode::Wlan ? kWlanIpMessage : kEthernetIpMessage;
}

NetworkSettingModel::NetworkSettingModel(SearchMode mode, int number, const DeviceRecord& record)
    : ip(record.ip), subnet(record.subnet), gateway(record.gateway), portText(std::to_string(record.localPort)),
      inactivityText(std::to_string(record.inactivitySeconds)),
      firmwareText(VersionText(record.firmwareMajor, record.firmwareMinor)), mode_(mode), number_(number),
      original_(record), dhcp_(record.dhcp != 0), baud_(BaudPosition(record.baudCode)), baudEnabled_(baud_.has_value())
{
}

SettingOpening NetworkSettingModel::open(const DeviceList& list, SearchMode mode, int number)
{
    SettingOpening opening;
    const DeviceRecord* record = list.find(number);
    if (record == nullptr) {
        opening.message = std::string(kReadFailedMessage);
        return opening;
    }
    opening.model = NetworkSettingModel(mode, number, *record);
    if (record->localPort == 0)
        opening.message = std::string(kConfirmMessage);
    return opening;
}

void NetworkSettingModel::selectBaud(std::optional<int> position)
{
    if (!baudEnabled_)
        return;
    if (position && (*position < 0 || *position >= static_cast<int>(std::size(kBaudTable))))
        return;
    baud_ = position;
}

EditCheck NetworkSettingModel::editPort(std::string text)
{
    EditCheck check = checkTyped(std::move(text), kMaxPort, kPortRangeMessage, kSubstitutePort);
    portText = check.text;
    return check;
}

EditCheck NetworkSettingModel::editInactivity(std::string text)
{
    EditCheck check = checkTyped(std::move(text), kMaxInactivity, kTimeRangeMessage, 0);
    inactivityText = check.text;
    return check;
}

SaveDecision NetworkSettingModel::save()
{
    SaveDecision decision;
    if (portText.empty() || inactivityText.empty())
        return decision;

    // The typing rules keep both texts in range; a text set around them is
    // refused the same way rather than wrapped into 16 bits.
    const auto port = inRange(portText, kMaxPort);
    if (!port) {
        portText = std::to_string(kSubstitutePort);
        return {SaveDecision::Refused, std::string(kPortRangeMessage), true, {}, {}};
    }
    const auto inactivity = inRange(inactivityText, kMaxInactivity);
    if (!inactivity) {
        inactivityText = "0";
        return {SaveDecision::Refused, std::string(kTimeRangeMessage), false, {}, {}};
    }
    if (std::find(std::begin(kForbiddenPorts), std::end(kForbiddenPorts), *port) != std::end(kForbiddenPorts)) {
        portText = std::to_string(kSubstitutePort);
        return {SaveDecision::Refused, std::string(kForbiddenPortMessage), true, {}, {}};
    }

    DeviceRecord pending = original_;
    pending.dhcp = dhcp_ ? 1 : 0;
    pending.ip = ip;
    pending.subnet = subnet;
    pending.gateway = gateway;
    pending.localPort = static_cast<std::uint16_t>(*port);
    pending.inactivitySeconds = static_cast<std::uint16_t>(*inactivity);
    if (baud_)
        pending.baudCode = kBaudTable[static_cast<std::size_t>(*baud_)].code;

    if (pending.ip == Ipv4{})
        return {SaveDecision::Refused, std::string(IpRefusedMessage(mode_)), false, {}, {}};

    decision.kind = SaveDecision::Send;
    decision.datagram = StoreRequest(mode_, pending);
    decision.pending = pending;
    return decision;
}

StoreJob::StoreJob(SearchMode mode, DeviceList& list, int number, Bytes datagram, DeviceRecord pending,
                   Sender sender)
    : mode_(mode), list_(list), number_(number), datagram_(std::move(datagram)), pending_(pending),
      sender_(std::move(sender))
{
}

platform::JobNext StoreJob::start()
{
    send_ = sender_ ? sender_(datagram_) : SendResult{false, "no sender", {}};
    if (!send_.sent) {
        platform::JobResult result{platform::JobEnd::Ok, std::string(kStoreFailedMessage), kStoreNotSent};
        endWith(result);
        return platform::JobNext::end(result);
    }
    waiting_ = true;
    return platform::JobNext::step(kWaitOver, StoreWaitMs(mode_));
}

platform::JobNext StoreJob::fire(int timerId)
{
    if (ended())
        return platform::JobNext::end(endResult());
    if (timerId != kWaitOver)
        return platform::JobNext::step(kWaitOver, StoreWaitMs(mode_));
    waiting_ = false;
    platform::JobResult result{platform::JobEnd::Ok, std::string(kStoreFailedMessage), kStoreTimedOut};
    endWith(result);
    return platform::JobNext::end(result);
}

platform::JobResult StoreJob::cancelled()
{
    waiting_ = false;
    platform::JobResult result{platform::JobEnd::Cancel, {}, kStoreTimedOut};
    if (!ended())
        endWith(result);
    return result;
}

bool StoreJob::offer(ByteView datagram, bool /*truncated*/)
{
    if (!waiting_ || ended())
        return false;
    const StoreAnswer answer = ParseStoreAnswer(mode_, datagram);
    if (answer == StoreAnswer::None)
        return true;
    waiting_ = false;
    stored_ = list_.replace(number_, pending_);
    endWith(platform::JobResult{platform::JobEnd::Ok,
                                std::string(answer == StoreAnswer::Stored ? kStoredMessage : kWlanStoredMessage),
                                kStoreDone});
    return false;
}

} // namespace pavix::search
