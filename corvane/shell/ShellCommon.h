// What the Corvane windows share: the services they are built on (so tests
// can give them a fake printer, a temporary registry file and a recording
// prompter), the program's texts, control ids and the program icon.
#pragma once

#include "corvane/version.h"
#include "platform/qt/Prompter.h"
#include "platform/clock.h"
#include "platform/devices.h"
#include "platform/registry_store.h"

#include <QIcon>
#include <QString>

class QWidget;

namespace corvane {

struct ShellServices {
    platform::RegistryStore& registry;
    Prompter& prompter;
    platform::Clock& clock;
    platform::Devices& devices;
};

namespace shell_text {
inline constexpr const char* kProgramCaption = "Corvane";
inline constexpr const char* kWindowTitle = "Corvane for PC V" CORVANE_VERSION_STRING;
inline constexpr const char* kAboutMenuItem = "&About Corvane";
inline constexpr const char* kAboutTitle = "About Corvane";
inline constexpr const char* kDescription =
    " * Select Menu \r\n This application is Corvane. You can change communication setting, "
    "code page and download NV image, etc.";
inline constexpr const char* kNoUsbPrinter = "Not connected USB printer!";
inline constexpr const char* kInterfaceSerial = "Serial / RS232C";
inline constexpr const char* kInterfaceUsb = "USB";
inline constexpr const char* kInterfaceTcp = "TCP/IP";
inline constexpr const char* kPortLabel = "Port :";
inline constexpr const char* kIpLabel = "IP : ";
inline constexpr const char* kDefaultIp = "0.0.0.0";
inline constexpr const char* kDefaultTcpPort = "9100";
inline constexpr const char* kSerialDefaultPort = "COM1";
} // namespace shell_text

// Control ids, carried by each control as the dynamic property "controlId".
namespace control_id {
inline constexpr int kOk = 1;            // "Exit" / "OK"
inline constexpr int kTelvara = 1000;
inline constexpr int kNvImageManager = 1001;
inline constexpr int kFirmwareManager = 1002;
inline constexpr int kDescription = 1003;
inline constexpr int kInterface = 1006;
inline constexpr int kPort = 1007;
inline constexpr int kBaudRate = 1008;
inline constexpr int kParity = 1009;
inline constexpr int kStopBits = 1010;
inline constexpr int kDataBits = 1011;
inline constexpr int kFlowControl = 1012;
inline constexpr int kIpAddress = 1074;
inline constexpr int kTcpPort = 1075;
inline constexpr int kPortLabel = 1077;
// Firmware download window.
inline constexpr int kFirmwareStatus = 1003;
inline constexpr int kFirmwareProgress = 1005;
inline constexpr int kStartDownload = 1026;
} // namespace control_id

inline constexpr const char* kControlIdProperty = "controlId";

void SetControlId(QWidget* widget, int id);
// The control of root's window (or root itself) carrying `id`, or nullptr;
// controls of dialogs opened on top of it are not searched.
QWidget* FindControl(QWidget* root, int id);

// Texts with Windows line breaks shown with this platform's.
QString DisplayText(const char* text);

QIcon ProgramIcon();

} // namespace corvane
