// What the Corvane windows share: the services they are built on (so tests
// can give them a fake printer, a temporary registry file and a recording
// prompter), the main window's and about box's texts and the program icon.
// Control ids live in each dialog's own header (MainDialogIds.h, ...).
#pragma once

#include "corvane/version.h"
#include "platform/qt/Prompter.h"
#include "platform/clock.h"
#include "platform/devices.h"
#include "platform/registry_store.h"

#include <QIcon>
#include <QString>

namespace corvane {

struct ShellServices {
    platform::RegistryStore& registry;
    platform::qt::Prompter& prompter;
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

// Texts with Windows line breaks shown with this platform's.
QString DisplayText(const char* text);

QIcon ProgramIcon();

} // namespace corvane
