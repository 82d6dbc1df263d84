// The device list window without the window: column texts, which buttons
// a selected device enables, and what each button leads to.
//
// Columns ("No", "Mac Address", "IP Address", "Subnet", "Gateway", "Port",
// "Version"): the 1-based number; "%02x:%02x:%02x:%02x:%02x:%02x"; each
// address "%d.%d.%d.%d", or "Not Configuration" when its first octet is 0;
// the port "%d"; the firmware "%d.%d", or "N/A" for 0.0.
//
// Buttons: Ethernet devices enable "Setting" and "Configuration(Web)". A
// WLAN device's capability code decides by the table in DeviceListModel.cpp;
// a code not in the table leaves every button as it was.
#pragma once

#include "pavix/search/DeviceRecord.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pavix::search {

inline constexpr std::string_view kCaption = "Pavix";
inline constexpr std::string_view kSelectDeviceMessage = "Please, select a device in list.";
inline constexpr std::string_view kSearchAgainMessage = "Please, search a device again.";
inline constexpr std::string_view kNotConfigured = "Not Configuration";
inline constexpr std::string_view kNoVersion = "N/A";
// Certificates travel over the serial/USB link only; the list's button says
// where to go instead of sending anything.
inline constexpr std::string_view kCertificateUploadHint =
    "Certificates are uploaded over the Serial/USB link.\r\n"
    "Please, open \"Serial/USB Configuration\" and use the \"Certificate\" page.";

inline constexpr std::string_view kColumnTitles[] = {"No",      "Mac Address", "IP Address", "Subnet",
                                                     "Gateway", "Port",        "Version"};
inline constexpr int kColumnWidths[] = {30, 140, 130, 130, 130, 70, 70};

std::string MacText(const MacAddress& mac);
// "%d.%d.%d.%d" whatever the address (the web address and BSS window use it).
std::string DottedText(const Ipv4& address);
// DottedText, or "Not Configuration" when the first octet is 0.
std::string AddressText(const Ipv4& address);
std::string VersionText(std::uint8_t major, std::uint8_t minor);

struct DeviceRow {
    std::string no, mac, ip, subnet, gateway, port, version;
    std::uint8_t capability = 0; // the item's data value in WLAN mode

    std::vector<std::string> columns() const { return {no, mac, ip, subnet, gateway, port, version}; }
};

DeviceRow MakeRow(int number, const DeviceRecord& record);
std::vector<DeviceRow> MakeRows(const DeviceList& list);

// "https://a.b.c.d" when the HTTPS flag is set, else "http://a.b.c.d".
std::string WebAddress(const DeviceRecord& record);

struct DeviceButtons {
    bool setting = false;
    bool web = false;
    bool bssInfo = false;
    bool certificate = false;

    friend bool operator==(const DeviceButtons&, const DeviceButtons&) = default;
};

// The buttons a WLAN capability code sets, or nothing for a code that
// leaves them unchanged.
std::optional<DeviceButtons> CapabilityButtons(std::uint8_t code);

// After a "Setting" that ended with OK: the wait before searching again.
constexpr std::uint32_t ResearchDelayMs(SearchMode mode)
{
    return mode == SearchMode::Wlan ? 1000 : 3000;
}

// What a button press leads to.
struct ButtonAction {
    enum Kind {
        Message,        // show `text`
        OpenSetting,    // open the network setting window for `number`
        OpenWeb,        // open `text` with the desktop's handler
        OpenBssInfo,    // open the access-point window with address `text`
    };
    Kind kind = Message;
    std::string text;
    int number = -1;
};

class DeviceListModel {
public:
    explicit DeviceListModel(SearchMode mode) : mode_(mode) {}

    SearchMode mode() const { return mode_; }

    // Rebuilds the rows from `list`; selects the first row when there is one,
    // otherwise disables the device buttons.
    const std::vector<DeviceRow>& fill(const DeviceList& list);
    // Selects row `row` (0-based; -1 forgets the selection) and applies the
    // selection rules.
    void select(int row);

    const std::vector<DeviceRow>& rows() const { return rows_; }
    int selectedNumber() const { return selected_; }
    const DeviceButtons& buttons() const { return buttons_; }
    // "Certificate upload" and "BSS Info" exist in WLAN mode only.
    bool wlanButtonsShown() const { return mode_ == SearchMode::Wlan; }

    // `list` is the mode's current list (a record may be gone since the fill).
    ButtonAction setting() const;
    ButtonAction web(const DeviceList& list) const;
    ButtonAction bssInfo(const DeviceList& list) const;
    ButtonAction certificate() const;

private:
    SearchMode mode_;
    std::vector<DeviceRow> rows_;
    int selected_ = -1;
    DeviceButtons buttons_; // all off until a device is selected
};

} // namespace pavix::search
