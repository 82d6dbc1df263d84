// Every message and caption of the connection check, the self test and the
// port lists, in one place, as the windows and the command line show them.
// These are the texts the printer's users know: copied byte for byte, "\r\n"
// versus "\n", spacing and spelling included. Do not "correct" them.
#pragma once

#include <string_view>

namespace telvara::texts {

// ---- Captions ------------------------------------------------------------------
inline constexpr std::string_view kInformation = "Information";
inline constexpr std::string_view kWarning = "Warning";
inline constexpr std::string_view kError = "Error";

// ---- Connection check ----------------------------------------------------------
inline constexpr std::string_view kConfigRefused = "Port Configuration Set Error!";
inline constexpr std::string_view kOpenFailed = "Can't open port and Printer is disconnected";
inline constexpr std::string_view kPortError = "Port error! Check printer's port, please.";
inline constexpr std::string_view kNoPrinterId = "Fail to get printer ID.\r\n\r\nPlease retry connect";
inline constexpr std::string_view kWrongMaker = "This printer don't match our company name.";
inline constexpr std::string_view kWrongModel = "The connected printer has different Model name.";
inline constexpr std::string_view kConnected = "Printer is connected.";

// ---- Ethernet open ---------------------------------------------------------------
inline constexpr std::string_view kSocketNotCreated = "Error : Failed to Create socket!";
inline constexpr std::string_view kSocketNotConnected =
    "Error : Failed to connected \r\nPlease, check IP port configuration in printer control pannel \"PORT\"";

// ---- Port lists -------------------------------------------------------------------
inline constexpr std::string_view kNoUsbPrinter = "Printer is not connected by USB.\nPlease, turn on the printer!!";

// ---- What the printer must say -----------------------------------------------------
inline constexpr std::string_view kMakerName = "QUELLIX";
inline constexpr std::string_view kModelNames[] = {"KTP-M880", "KTP-M882"};

} // namespace telvara::texts
