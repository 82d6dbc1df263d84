// The network setting window without the window: the form over one found
// device, the checks while typing and on Save, and the store exchange.
//
// The form works on a COPY of the device's record. Save builds the store
// datagram from the copy; the device list takes the copy only when the
// board acknowledges it ("SETC", or SET_RSP in WLAN mode), so a refused,
// unsent or unanswered store leaves the list as the board last reported it.
//
// Save's order: an empty port or inactivity text does nothing; a forbidden
// port (21, 23, 25, 80, 443, 3318) is refused and replaced by 9100; the
// inputs go into the copy; the address 0.0.0.0 is refused (with DHCP on as
// well); then the datagram. With no baud selection (the list is disabled for
// a code not in the table) the record's own code is kept.
#pragma once

#include "pavix/search/SearchJob.h"

#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace pavix::search {

struct BaudEntry {
    std::string_view text;
    std::uint8_t code;
};

// List position, text and code, in the list's order.
std::span<const BaudEntry> BaudTable();
std::optional<int> BaudPosition(std::uint8_t code);
// The code for a rate text such as "115200".
std::optional<std::uint8_t> BaudCodeForRate(std::string_view rate);
// The rate text, or "Unknown (0xNN)" for a code not in the table.
std::string BaudRateText(std::uint8_t code);

inline constexpr std::string_view kReadFailedMessage = "Error : Fail to read Infomation list!";
inline constexpr std::string_view kConfirmMessage = "Please confirm the IP and the Port.";
inline constexpr std::string_view kPortRangeMessage = "Cannot set the port.\r\nPlease, retype port number. (0~32767)";
inline constexpr std::string_view kTimeRangeMessage = "Cannot set the time.\r\nPlease, retype time number. (0~3600)";
inline constexpr std::string_view kForbiddenPortMessage = "Don't use the port.\r\nPlease, retype port number.";
inline constexpr std::string_view kWlanIpMessage = "Cannot set IP!\r\nPlease, retype IP.";
inline constexpr std::string_view kEthernetIpMessage = "Cannot set the IP!\r\nPlease, retype a IP.";
inline constexpr std::string_view kStoredMessage =
    "Setting just have finished!\r\nPlease research devices if lists were not refreshed.";
inline constexpr std::string_view kWlanStoredMessage =
    "WLAN Setting just have finished!\r\nPlease research devices if lists were not refreshed.";
inline constexpr std::string_view kStoreFailedMessage = "Fail to save your setting.\r\nPlease, configure one more again.";

inline constexpr int kMaxPort = 32767;
inline constexpr int kMaxInactivity = 3600;
inline constexpr int kSubstitutePort = 9100;
inline constexpr int kForbiddenPorts[] = {21, 23, 25, 80, 443, 3318};

std::string_view SettingTitle(SearchMode mode); // "WLAN Configuration" / "Ethernet Configuration"
std::string_view IpRefusedMessage(SearchMode mode);
// How long a store waits for its answer: 1000 ms WLAN, 10000 ms Ethernet.
constexpr std::uint32_t StoreWaitMs(SearchMode mode)
{
    return mode == SearchMode::Wlan ? 1000 : 10000;
}

// A typed text checked: the message to show (empty: none) and the text the
// input holds afterwards.
struct EditCheck {
    std::string message;
    std::string text;
};

struct SaveDecision {
    enum Kind {
        Nothing, // an empty port or time text: Save does nothing
        Refused, // show `message`, keep the window open
        Send,    // send `datagram`; `pending` is what the list takes on success
    };
    Kind kind = Nothing;
    std::string message;
    bool focusPort = false;
    Bytes datagram;
    DeviceRecord pending;
};

struct SettingOpening;

class NetworkSettingModel {
public:
    // Opens the form for device `number` of `list`.
    static SettingOpening open(const DeviceList& list, SearchMode mode, int number);

    SearchMode mode() const { return mode_; }
    int number() const { return number_; }
    std::string_view title() const { return SettingTitle(mode_); }
    const DeviceRecord& original() const { return original_; }

    // ---- inputs --------------------------------------------------------
    Ipv4 ip, subnet, gateway;
    std::string portText;
    std::string inactivityText;
    std::string firmwareText;

    bool dhcp() const { return dhcp_; }
    void setDhcp(bool on) { dhcp_ = on; }
    // The three address inputs are off while DHCP is on.
    bool addressInputsEnabled() const { return !dhcp_; }

    // Position in BaudTable(), or none.
    std::optional<int> baudSelection() const { return baud_; }
    // Ignored while the list is disabled or for a position off the table.
    void selectBaud(std::optional<int> position);
    bool baudListEnabled() const { return baudEnabled_; }

    // The while-typing rules: the text is re-read on every change; out of
    // range it is replaced (9100 / 0) and the message shown.
    EditCheck editPort(std::string text);
    EditCheck editInactivity(std::string text);

    // ---- Save ----------------------------------------------------------
    SaveDecision save();

private:
    NetworkSettingModel(SearchMode mode, int number, const DeviceRecord& record);

    SearchMode mode_;
    int number_;
    DeviceRecord original_;
    bool dhcp_ = false;
    std::optional<int> baud_;
    bool baudEnabled_ = true;
};

struct SettingOpening {
    std::optional<NetworkSettingModel> model; // none: show `message`, close as cancelled
    std::string message;                      // with a model: a notice to show, or empty
};

// Result codes of a store.
inline constexpr int kStoreDone = 0;
inline constexpr int kStoreTimedOut = 1;
inline constexpr int kStoreNotSent = 2;

// Sends one store datagram and waits for its answer: StoreWaitMs(mode),
// then the failure message. Both ends are Ok (the window closes with OK and
// the list searches again); the code tells them apart. On an answer the
// device list's entry becomes `pending`; otherwise it is left alone.
class StoreJob final : public DatagramJob {
public:
    StoreJob(SearchMode mode, DeviceList& list, int number, Bytes datagram, DeviceRecord pending, Sender sender);

    platform::JobNext start() override;
    platform::JobNext fire(int timerId) override;
    platform::JobResult cancelled() override;
    bool offer(ByteView datagram, bool truncated) override;

    const SendResult& sendResult() const { return send_; }
    // The store was acknowledged and the list updated.
    bool stored() const { return stored_; }

private:
    static constexpr int kWaitOver = 1;

    SearchMode mode_;
    DeviceList& list_;
    int number_;
    Bytes datagram_;
    DeviceRecord pending_;
    Sender sender_;
    SendResult send_;
    bool waiting_ = false;
    bool stored_ = false;
};

} // namespace pavix::search
