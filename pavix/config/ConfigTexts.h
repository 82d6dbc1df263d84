// Every message text of the configuration model and the certificate upload,
// in one place. These are the texts the board's users know from the
// original tool: they are copied byte for byte, odd spacing, "\r\n" versus
// "\n" and spelling included, so the windows and the command line show
// exactly what the documentation and support scripts expect. Do not
// "correct" them.
#pragma once

#include <string_view>

namespace pavix::texts {

// ---- Validation rows ---------------------------------------------------------
inline constexpr std::string_view kSystemName = "Incorrect System name. \nPlease insert System name !";
inline constexpr std::string_view kPortNumber = "Incorrect Port Number. \nPlease insert Port Number !";
inline constexpr std::string_view kUserName = "Incorrect User name. \nPlease insert User name !";
inline constexpr std::string_view kUserPassword = "Incorrect User password. \nPlease insert user password !";
inline constexpr std::string_view kCommunity = "Incorrect Community name. \nPlease insert Community name";
inline constexpr std::string_view kTrapCommunity = "Incorrect Trap Community. \nPlease insert Trap Community";
inline constexpr std::string_view kAdhocNumber = "Incorrect Adhoc Number. \nPlease insert Adhoc Number";
inline constexpr std::string_view kSsid = "Incorrect SSID. \nPlease insert SSID";
inline constexpr std::string_view kWepKey =
    "WEP Key is incorrect! WEP Key must be entered as 5, 13 characters or 10, 26 hexadecimal number.";
inline constexpr std::string_view kPskKey = "Incorrect PSK Key. \nPlease insert PSK Key";
inline constexpr std::string_view kCertificationId = "Incorrect certification ID. \nPlease insert certification ID";
inline constexpr std::string_view kCertificationPassword =
    "Incorrect certification password. \nPlease insert certification password";

// ---- While editing -------------------------------------------------------------
inline constexpr std::string_view kPortRange = "Cannot set the port.\r\nPlease, retype port number. (0~32767)";
inline constexpr std::string_view kChannelRange =
    "Cannot set the Channel Number.\r\nPlease, retype Channel Number. (0~14)";
inline constexpr std::string_view kTimeRange = "Cannot set the time.\r\nPlease, retype time number. (0~3600)";
inline constexpr std::string_view kAdhocNeedsOpenAuth =
    "Cannot select the Adhoc mode.\r\nAuthentication must be \"Open System\" or \"Shared Key\" !";
inline constexpr std::string_view kAdhocNeedsManualIp =
    "Network Mode is the Adhoc. you must use the manual Allocation IP.";

// ---- Writing the configuration ---------------------------------------------------
inline constexpr std::string_view kConfigCompleted = "Completed a configuration.";
inline constexpr std::string_view kConfigFailed = "Failed a configuration.";
inline constexpr std::string_view kResetPrinter = "Reset the printer.";
inline constexpr std::string_view kNotConnected = "Is not connected with the printer.";

// ---- Certificates ------------------------------------------------------------------
inline constexpr std::string_view kCertSelected = "Selected a certificate file.";
inline constexpr std::string_view kCertReadError = "Error certificate file to read.";
inline constexpr std::string_view kCertTooLarge = "Certificate file size is max 3K.";
inline constexpr std::string_view kCertInvalid = "Invalid certificate file.";
inline constexpr std::string_view kCertNotReady = "The certificate file was not selected or invalid file.";
inline constexpr std::string_view kCertUploadCompleted = "Completed to upload the certification document.";
inline constexpr std::string_view kCertUploadFailed = "Failed to upload the certification document.";

// The windows show a result and the reset reminder in one box, joined by " \n"
// ("Completed a configuration. \nReset the printer."); the command line prints
// them as two lines.
inline constexpr std::string_view kWindowLineBreak = " \n";

} // namespace pavix::texts
