// The model behind the Serial/USB configuration pages: a working copy of
// the board's interface configuration, the rules the pages apply while the
// user edits, the validation run before a page is left or the
// configuration written, and the record built for the write.
//
// Everything here is a pure function over `ConfigWorkingCopy`; the window
// and `pavix-cli config write` drive the same functions, so a value the
// window would refuse is refused on the command line with the same text.
//
// Rules a reader must know
//   - Texts read from the board are kept byte-exact, full width included: a
//     64-character printer name survives an edit of any other field. The
//     pages' shorter input limits (32 for the name) hold for typing only.
//   - The cryptograph follows the authentication (AdjustCryptograph); the
//     WEP code (1 WEP64, 2 WEP128) follows the key length, never the choice.
//   - "AES + TKIP" (5) counts with TKIP and AES everywhere: in the
//     adjustment and in the PSK/ID/password rows.
//   - CheckBeforeWrite also refuses what no sequence of clicks could give
//     (an authentication with a cryptograph its page disables, ad hoc with a
//     WPA authentication or with DHCP), so a record read from a confused
//     board or a hand-written file is never written as it is.
#pragma once

#include "pavix/protocol/IfRecords.h"
#include "pavix/protocol/IfTables.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pavix {

// The tab pages, in the window's order.
enum class ConfigPage : std::uint8_t { System, Protocol, BssInformation, Network, Authentication, Certificate };

// The inputs a message can send the focus to.
enum class ConfigInput : std::uint8_t {
    PrinterName,
    PrinterPort,
    UserId,
    UserPassword,
    ConfirmPassword,
    WriteCommunity,
    ReadCommunity,
    TrapCommunity,
    InfraNetwork,
    AdhocChannel,
    ManualAllocation,
    Ssid,
    InactivityTime,
    Authentication,
    Cryptograph,
    WepKey,
    PskKey,
    AuthId,
    AuthPassword,
};

// Authentication codes (the authentication table's order).
namespace auth {
inline constexpr std::uint8_t kOpenSystem = 0, kSharedKey = 1, kWpaPsk = 2, kWpa2Psk = 3, kWpa = 4, kWpa2 = 5;
}
// Cryptograph codes.
namespace crypt {
inline constexpr std::uint8_t kNone = 0, kWep64 = 1, kWep128 = 2, kTkip = 3, kAes = 4, kAesTkip = 5;
}

// The cryptograph choices of the Authentication page: one "WEP64/128" choice
// stands for both WEP codes.
enum class CryptographChoice : std::uint8_t { None, Wep, Tkip, Aes, AesTkip };

inline constexpr std::uint16_t kDefaultPrinterPort = 9100;
inline constexpr std::uint16_t kMaxPrinterPort = 32767;
inline constexpr std::uint8_t kMaxAdhocChannel = 14;
inline constexpr std::uint16_t kMaxInactivityTime = 3600;

// What the pages hold: the record's fields as the user sees them, and the
// password confirmation, which the record does not carry.
struct ConfigWorkingCopy {
    IfConfigRecord values;
    std::string confirmPassword;

    bool adHoc() const { return IsAdHocMode(values.networkMode); }
    bool dhcp() const { return values.ipAssignment != 0; }
    bool operator==(const ConfigWorkingCopy&) const = default;
};

// The working copy after a successful read: network mode 2 (any nonzero)
// becomes ad hoc (1), ad hoc forces manual allocation, a nonzero IP
// assignment reads as DHCP (1), and the password goes into both password
// fields. Every other field is kept as read.
ConfigWorkingCopy WorkingCopyFromRecord(const IfConfigRecord& read);

// A refusal: the message to show, the page and the input to focus.
struct ConfigRefusal {
    std::string message;
    ConfigPage page = ConfigPage::System;
    ConfigInput focus = ConfigInput::PrinterName;

    bool operator==(const ConfigRefusal&) const = default;
};

// ---- Validation ------------------------------------------------------------------

// The rows of one page, top to bottom; the first failing row. "BSS
// Information" and "Certificate" have no rows.
std::optional<ConfigRefusal> ValidatePage(const ConfigWorkingCopy& copy, ConfigPage page);

// The rows of every page in page order (what the command line checks,
// since its file can touch every page at once).
std::optional<ConfigRefusal> ValidateAllPages(const ConfigWorkingCopy& copy);

// The WEP code by key length: 5 or 10 characters give WEP64 (1), 13 or 26
// WEP128 (2); nullopt for any other length.
std::optional<std::uint8_t> WepCodeForKeyLength(std::size_t length);

// Before a write, for WEP codes (1 or 2) only: sets the code by the key's
// length, or refuses with the WEP message.
std::optional<ConfigRefusal> ApplyWepRule(ConfigWorkingCopy& copy);

// Combinations the pages can never produce: a cryptograph the
// authentication's page disables (message "Cryptograph <X> cannot be used
// with authentication <Y>."), ad hoc with a WPA authentication, ad hoc with
// DHCP.
std::optional<ConfigRefusal> CheckCombination(const ConfigWorkingCopy& copy);

// The pages' "Update": validates the shown page (every page when shown is
// nullopt, as the command line does), applies the WEP rule, the combination
// check, and last refuses a text the record cannot carry ("The <field> does
// not fit the printer's configuration."). On success the copy's WEP code may
// have changed and BuildRecord's record always encodes.
std::optional<ConfigRefusal> CheckBeforeWrite(ConfigWorkingCopy& copy, std::optional<ConfigPage> shown);

// The record written: the working copy with the IP assignment byte 1 for
// DHCP and 0 for manual, the network mode 0 or 1; bytes the record does not
// list stay 0 when it is encoded.
IfConfigRecord BuildRecord(const ConfigWorkingCopy& copy);

// ---- While editing -----------------------------------------------------------------
// Each returns the message to show when the page corrects or refuses the
// input (the focus it names), and nothing when the change is taken as is.

// A port of 32768 or more becomes 9100.
std::optional<ConfigRefusal> EditPrinterPort(ConfigWorkingCopy& copy, std::uint32_t typed);
// A channel of 15 or more becomes 14.
std::optional<ConfigRefusal> EditAdhocChannel(ConfigWorkingCopy& copy, std::uint32_t typed);
// An inactivity time above 3600 becomes 3600.
std::optional<ConfigRefusal> EditInactivityTime(ConfigWorkingCopy& copy, std::uint32_t typed);

// "Adhoc": refused (focus back on "Infra Network") while a WPA
// authentication is chosen; otherwise ad hoc with manual allocation.
std::optional<ConfigRefusal> ChooseAdhoc(ConfigWorkingCopy& copy);
void ChooseInfraNetwork(ConfigWorkingCopy& copy);
// "Automatic Allocation(DHCP)": refused in ad hoc mode (manual allocation
// forced and focused). The addresses stay in the working copy; the page
// shows them as 0 while DHCP is chosen.
std::optional<ConfigRefusal> ChooseDhcp(ConfigWorkingCopy& copy);
void ChooseManualAllocation(ConfigWorkingCopy& copy);

// Whether the Authentication page offers this authentication (the WPA ones
// are disabled in ad hoc mode).
bool AuthenticationEnabled(const ConfigWorkingCopy& copy, std::uint8_t authentication);
// The cryptograph an authentication change leaves: Open System turns 3..5
// into 0, Shared Key turns 0 and 3..5 into 2, WPA-PSK/WPA2-PSK turn 0..2
// into 3, WPA turns 0..2 and 4 into 3, WPA2 turns 0..3 into 4. Unknown
// codes are left alone.
std::uint8_t AdjustCryptograph(std::uint8_t authentication, std::uint8_t cryptograph);
// Chooses an authentication and adjusts the cryptograph; false (nothing
// changed) when the page has the choice disabled or the code is unknown.
bool ChooseAuthentication(ConfigWorkingCopy& copy, std::uint8_t authentication);

// Whether the page offers this cryptograph choice under the authentication.
bool CryptographEnabled(std::uint8_t authentication, CryptographChoice choice);
// NONE sets 0, "WEP64/128" 2, TKIP/AES/"AES + TKIP" 3/4/5; false when the
// choice is disabled.
bool ChooseCryptograph(ConfigWorkingCopy& copy, CryptographChoice choice);
// The choice that marks a code (1 and 2 both mark "WEP64/128").
std::optional<CryptographChoice> CryptographChoiceOf(std::uint8_t cryptograph);

// Stores the key; with a WEP code (1 or 2) a length of 5/10 or 13/26 sets
// the code at once.
void EditWepKey(ConfigWorkingCopy& copy, std::string key);

// ---- Text inputs -----------------------------------------------------------------------

// The page's typing limit of a text input (32 for the printer name, 26 WEP,
// 64 PSK, 16 communities, 32 for the rest); 0 for inputs without text.
std::size_t TypingLimit(ConfigInput input);

// Whether a typed change from `before` to `after` is taken: printable ASCII
// only, and either within the typing limit or no longer than `before`. A
// text longer than the limit can only have come from the board: it may be
// edited in place or shortened, but is never cut to fit, and typing cannot
// make it longer.
bool TypedTextAccepted(ConfigInput input, std::string_view before, std::string_view after);

// Printable ASCII (0x20..0x7E) only.
bool IsPrintableAscii(std::string_view text);

} // namespace pavix
