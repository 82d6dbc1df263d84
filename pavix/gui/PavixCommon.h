// What Pavix's windows share: the services they are built on (so tests can
// give them a recording prompter, a fake web opener and UDP redirected to
// loopback), the device lists that live for the whole run, and the texts
// every window uses.
#pragma once

#include "pavix/search/DeviceRecord.h"
#include "pavix/search/UdpChannel.h"
#include "platform/devices.h"
#include "platform/qt/Prompter.h"

#include <QString>
#include <QUrl>

#include <cstdint>
#include <functional>

class QWidget;

namespace pavix::gui {

// Opens a web address with the desktop's default handler; tests replace it.
class UrlOpener {
public:
    virtual ~UrlOpener() = default;
    virtual bool open(const QUrl& url) = 0;
};

// QDesktopServices::openUrl.
class DesktopUrlOpener final : public UrlOpener {
public:
    bool open(const QUrl& url) override;
};

// Where the UDP datagrams of a mode go and arrive, for the search and the
// network setting window (search::DefaultUdpSettings plus the PAVIX_UDP_*
// variables in production).
using UdpSettingsSource = std::function<search::UdpSettings(search::SearchMode)>;

struct PavixServices {
    platform::qt::Prompter& prompter;
    UrlOpener& urlOpener;
    search::DeviceLists& lists;
    UdpSettingsSource udpSettings;
    // The access-point window's TCP side: the devices it connects through
    // and the board's port (3318 unless PAVIX_BSS_TCP_PORT says otherwise).
    platform::Devices& devices;
    std::uint16_t bssTcpPort = 3318;
};

namespace text {
inline constexpr const char* kCaption = "Pavix";
inline constexpr const char* kMainTitle = "QUELLIX Pavix V2.0.4";
inline constexpr const char* kEthernetConfiguration = "Ethernet Configuration";
inline constexpr const char* kWlanConfiguration = "WLAN Configuration";
inline constexpr const char* kSerialUsbConfiguration = "Serial/USB Configuration\r\n(For mobile WLAN)";
inline constexpr const char* kExit = "Exit";
inline constexpr const char* kCancel = "Cancel";
// Not among the board tool's own messages: a socket that cannot be bound
// (another program holds the local port) must not pass silently.
inline constexpr const char* kUdpOpenFailed = "The UDP port could not be opened.";
inline constexpr const char* kSendFailed = "The request could not be sent.";
} // namespace text

// Texts with Windows line breaks shown with this platform's.
QString DisplayText(std::string_view text);

// The PAVIX_UDP_* variables over the mode's defaults, read through `lookup`
// (getenv in production); a value that does not parse is reported in
// `problem` and leaves the rest as parsed.
search::UdpSettings UdpSettingsFromEnvironment(search::SearchMode mode, const search::EnvLookup& lookup,
                                               std::string* problem = nullptr);
// PAVIX_BSS_TCP_PORT, or 3318 when unset or not a port 1..65535.
std::uint16_t BssTcpPortFromEnvironment(const search::EnvLookup& lookup);

} // namespace pavix::gui
