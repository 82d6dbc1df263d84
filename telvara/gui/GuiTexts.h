// The texts of Telvara's windows that are not the link's messages (those
// are in telvara/link/LinkTexts.h).
#pragma once

#ifndef TELVARA_VERSION_STRING
#define TELVARA_VERSION_STRING "unknown"
#endif

namespace telvara::gui_text {

inline constexpr const char* kProgramName = "Telvara";
inline constexpr const char* kVersion = TELVARA_VERSION_STRING;
inline constexpr const char* kWindowTitle = "Telvara V" TELVARA_VERSION_STRING;
inline constexpr const char* kAboutMenuItem = "&About TLVR...";
inline constexpr const char* kAboutTitle = "About TLVR";
inline constexpr const char* kAboutName = "Telvara Version " TELVARA_VERSION_STRING;
inline constexpr const char* kAboutLine = "Memory switch manager for KTP-M880 and KTP-M882 POS printers";

inline constexpr const char* kSerial = "SERIAL";
inline constexpr const char* kParallel = "PARALLEL";
inline constexpr const char* kUsb = "USB";
inline constexpr const char* kEthernet = "Ethernet";

inline constexpr const char* kCheckCommunication = "Check Communication";
inline constexpr const char* kSelfTest = "Self Test";
inline constexpr const char* kRunManager = "Run Manager";
inline constexpr const char* kCommandTestEditor = "Command Test Editor";
inline constexpr const char* kExit = "Exit";

inline constexpr const char* kBaudRates[] = {"2400", "4800", "9600", "19200", "38400", "57600", "115200"};
inline constexpr const char* kDataBits[] = {"8", "7"};
inline constexpr const char* kParities[] = {"None", "Odd", "Even", "Mark", "Space"};
inline constexpr const char* kStopBits[] = {"1", "1.5", "2"};
inline constexpr const char* kFlowControls[] = {"Hardware", "Xon/Xoff", "None"};

// What the interfaces start with.
inline constexpr const char* kStartBaudRate = "9600";
inline constexpr const char* kSerialSwitchBaudRate = "19200";

} // namespace telvara::gui_text
