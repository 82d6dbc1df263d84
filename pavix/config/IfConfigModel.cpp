#include "pavix/config/IfConfigModel.h"

#include "pavix/config/ConfigTexts.h"
#include "pavix/protocol/IfTables.h"

#include <algorithm>
#include <array>

namespace pavix {

namespace {

bool IsWpaFamily(std::uint8_t a) { return a >= auth::kWpaPsk && a <= auth::kWpa2; }
bool IsPskAuth(std::uint8_t a) { return a == auth::kWpaPsk || a == auth::kWpa2Psk; }
bool IsEapAuth(std::uint8_t a) { return a == auth::kWpa || a == auth::kWpa2; }
bool IsOpenOrShared(std::uint8_t a) { return a == auth::kOpenSystem || a == auth::kSharedKey; }
bool IsWepCode(std::uint8_t c) { return c == crypt::kWep64 || c == crypt::kWep128; }
// TKIP, AES and "AES + TKIP": the codes that need a PSK key or an EAP login.
bool IsWpaCipher(std::uint8_t c) { return c >= crypt::kTkip && c <= crypt::kAesTkip; }

// Ports the board keeps for its own services.
constexpr std::array<std::uint16_t, 6> kReservedPorts = {21, 23, 25, 80, 443, 3318};

struct ValidationRow {
    ConfigPage page;
    ConfigInput focus;
    bool (*fails)(const ConfigWorkingCopy&);
    std::string_view message;
};

// The rows in page order, top to bottom within a page; the first failing row
// of a page wins.
constexpr ValidationRow kRows[] = {
    {ConfigPage::System, ConfigInput::PrinterName, [](const ConfigWorkingCopy& c) { return c.values.printerName.empty(); },
     texts::kSystemName},
    {ConfigPage::System, ConfigInput::PrinterPort,
     [](const ConfigWorkingCopy& c) {
         return std::find(kReservedPorts.begin(), kReservedPorts.end(), c.values.printerPort) != kReservedPorts.end();
     },
     texts::kPortNumber},
    {ConfigPage::System, ConfigInput::UserId, [](const ConfigWorkingCopy& c) { return c.values.userId.empty(); },
     texts::kUserName},
    {ConfigPage::System, ConfigInput::UserPassword,
     [](const ConfigWorkingCopy& c) {
         return c.values.userPassword != c.confirmPassword || c.values.userPassword.empty();
     },
     texts::kUserPassword},
    {ConfigPage::Protocol, ConfigInput::WriteCommunity,
     [](const ConfigWorkingCopy& c) { return c.values.setCommunity.empty(); }, texts::kCommunity},
    {ConfigPage::Protocol, ConfigInput::ReadCommunity,
     [](const ConfigWorkingCopy& c) { return c.values.getCommunity.empty(); }, texts::kCommunity},
    {ConfigPage::Protocol, ConfigInput::TrapCommunity,
     [](const ConfigWorkingCopy& c) { return c.values.trapCommunity.empty(); }, texts::kTrapCommunity},
    {ConfigPage::Network, ConfigInput::AdhocChannel,
     [](const ConfigWorkingCopy& c) { return c.adHoc() && c.values.adhocChannel == 0; }, texts::kAdhocNumber},
    // "Otherwise": an ad hoc network with a channel needs no SSID check here.
    {ConfigPage::Network, ConfigInput::Ssid,
     [](const ConfigWorkingCopy& c) { return !c.adHoc() && c.values.ssid.empty(); }, texts::kSsid},
    {ConfigPage::Authentication, ConfigInput::WepKey,
     [](const ConfigWorkingCopy& c) {
         return IsOpenOrShared(c.values.authentication) && IsWepCode(c.values.cryptograph) &&
                !WepCodeForKeyLength(c.values.wepKey.size());
     },
     texts::kWepKey},
    {ConfigPage::Authentication, ConfigInput::PskKey,
     [](const ConfigWorkingCopy& c) {
         return IsPskAuth(c.values.authentication) && IsWpaCipher(c.values.cryptograph) && c.values.pskKey.empty();
     },
     texts::kPskKey},
    {ConfigPage::Authentication, ConfigInput::AuthId,
     [](const ConfigWorkingCopy& c) {
         return IsEapAuth(c.values.authentication) && IsWpaCipher(c.values.cryptograph) && c.values.authId.empty();
     },
     texts::kCertificationId},
    {ConfigPage::Authentication, ConfigInput::AuthPassword,
     [](const ConfigWorkingCopy& c) {
         return IsEapAuth(c.values.authentication) && IsWpaCipher(c.values.cryptograph) &&
                c.values.authPassword.empty();
     },
     texts::kCertificationPassword},
};

ConfigRefusal Refusal(std::string_view message, ConfigPage page, ConfigInput focus)
{
    return ConfigRefusal{std::string(message), page, focus};
}

// Where each text field of the record is edited, by the encoder's field name.
struct TextInput {
    std::string_view field;
    ConfigPage page;
    ConfigInput input;
};

constexpr TextInput kTextInputs[] = {
    {"printer name", ConfigPage::System, ConfigInput::PrinterName},
    {"SSID", ConfigPage::Network, ConfigInput::Ssid},
    {"WEP key", ConfigPage::Authentication, ConfigInput::WepKey},
    {"PSK key", ConfigPage::Authentication, ConfigInput::PskKey},
    {"authentication ID", ConfigPage::Authentication, ConfigInput::AuthId},
    {"authentication password", ConfigPage::Authentication, ConfigInput::AuthPassword},
    {"user ID", ConfigPage::System, ConfigInput::UserId},
    {"user password", ConfigPage::System, ConfigInput::UserPassword},
    {"SNMP write community", ConfigPage::Protocol, ConfigInput::WriteCommunity},
    {"SNMP read community", ConfigPage::Protocol, ConfigInput::ReadCommunity},
    {"trap community", ConfigPage::Protocol, ConfigInput::TrapCommunity},
};

// Texts the record cannot carry (longer than their field, or holding a zero
// byte the board would take for the end). The pages' typing limits keep the
// window from getting here; a configuration file can.
std::optional<ConfigRefusal> CheckTextsFit(const IfConfigRecord& record)
{
    const std::string_view problem = IfConfigRecordTextProblem(record);
    if (problem.empty())
        return std::nullopt;
    ConfigRefusal refusal{"The " + std::string(problem) + " does not fit the printer's configuration.",
                          ConfigPage::System, ConfigInput::PrinterName};
    for (const TextInput& t : kTextInputs)
        if (t.field == problem) {
            refusal.page = t.page;
            refusal.focus = t.input;
        }
    return refusal;
}

} // namespace

ConfigWorkingCopy WorkingCopyFromRecord(const IfConfigRecord& read)
{
    ConfigWorkingCopy copy;
    copy.values = read;
    copy.values.networkMode = NetworkModeChoice(read.networkMode);
    copy.values.ipAssignment = read.ipAssignment != 0 ? 1 : 0;
    if (copy.adHoc())
        copy.values.ipAssignment = 0;
    copy.confirmPassword = read.userPassword;
    return copy;
}

std::optional<ConfigRefusal> ValidatePage(const ConfigWorkingCopy& copy, ConfigPage page)
{
    for (const ValidationRow& row : kRows)
        if (row.page == page && row.fails(copy))
            return Refusal(row.message, row.page, row.focus);
    return std::nullopt;
}

std::optional<ConfigRefusal> ValidateAllPages(const ConfigWorkingCopy& copy)
{
    for (const ValidationRow& row : kRows)
        if (row.fails(copy))
            return Refusal(row.message, row.page, row.focus);
    return std::nullopt;
}

std::optional<std::uint8_t> WepCodeForKeyLength(std::size_t length)
{
    switch (length) {
    case 5:
    case 10:
        return crypt::kWep64;
    case 13:
    case 26:
        return crypt::kWep128;
    default:
        return std::nullopt;
    }
}

std::optional<ConfigRefusal> ApplyWepRule(ConfigWorkingCopy& copy)
{
    if (!IsWepCode(copy.values.cryptograph))
        return std::nullopt;
    const auto code = WepCodeForKeyLength(copy.values.wepKey.size());
    if (!code)
        return Refusal(texts::kWepKey, ConfigPage::Authentication, ConfigInput::WepKey);
    copy.values.cryptograph = *code;
    return std::nullopt;
}

std::optional<ConfigRefusal> CheckCombination(const ConfigWorkingCopy& copy)
{
    const std::uint8_t a = copy.values.authentication;
    const std::uint8_t c = copy.values.cryptograph;
    const auto choice = CryptographChoiceOf(c);
    if (a > auth::kWpa2 || !choice || !CryptographEnabled(a, *choice))
        return Refusal("Cryptograph " + EnumText(kCryptographTable, c) + " cannot be used with authentication " +
                           EnumText(kAuthenticationTable, a) + ".",
                       ConfigPage::Authentication, ConfigInput::Cryptograph);
    if (copy.adHoc() && IsWpaFamily(a))
        return Refusal(texts::kAdhocNeedsOpenAuth, ConfigPage::Network, ConfigInput::InfraNetwork);
    if (copy.adHoc() && copy.dhcp())
        return Refusal(texts::kAdhocNeedsManualIp, ConfigPage::Network, ConfigInput::ManualAllocation);
    return std::nullopt;
}

std::optional<ConfigRefusal> CheckBeforeWrite(ConfigWorkingCopy& copy, std::optional<ConfigPage> shown)
{
    if (auto refused = shown ? ValidatePage(copy, *shown) : ValidateAllPages(copy))
        return refused;
    if (auto refused = ApplyWepRule(copy))
        return refused;
    if (auto refused = CheckCombination(copy))
        return refused;
    return CheckTextsFit(BuildRecord(copy));
}

IfConfigRecord BuildRecord(const ConfigWorkingCopy& copy)
{
    IfConfigRecord record = copy.values;
    record.networkMode = NetworkModeChoice(copy.values.networkMode);
    record.ipAssignment = copy.dhcp() ? 1 : 0;
    return record;
}

std::optional<ConfigRefusal> EditPrinterPort(ConfigWorkingCopy& copy, std::uint32_t typed)
{
    if (typed > kMaxPrinterPort) {
        copy.values.printerPort = kDefaultPrinterPort;
        return Refusal(texts::kPortRange, ConfigPage::System, ConfigInput::PrinterPort);
    }
    copy.values.printerPort = static_cast<std::uint16_t>(typed);
    return std::nullopt;
}

std::optional<ConfigRefusal> EditAdhocChannel(ConfigWorkingCopy& copy, std::uint32_t typed)
{
    if (typed > kMaxAdhocChannel) {
        copy.values.adhocChannel = kMaxAdhocChannel;
        return Refusal(texts::kChannelRange, ConfigPage::Network, ConfigInput::AdhocChannel);
    }
    copy.values.adhocChannel = static_cast<std::uint8_t>(typed);
    return std::nullopt;
}

std::optional<ConfigRefusal> EditInactivityTime(ConfigWorkingCopy& copy, std::uint32_t typed)
{
    if (typed > kMaxInactivityTime) {
        copy.values.inactivityTime = kMaxInactivityTime;
        return Refusal(texts::kTimeRange, ConfigPage::Network, ConfigInput::InactivityTime);
    }
    copy.values.inactivityTime = static_cast<std::uint16_t>(typed);
    return std::nullopt;
}

std::optional<ConfigRefusal> ChooseAdhoc(ConfigWorkingCopy& copy)
{
    if (IsWpaFamily(copy.values.authentication))
        return Refusal(texts::kAdhocNeedsOpenAuth, ConfigPage::Network, ConfigInput::InfraNetwork);
    copy.values.networkMode = 1;
    copy.values.ipAssignment = 0;
    return std::nullopt;
}

void ChooseInfraNetwork(ConfigWorkingCopy& copy)
{
    copy.values.networkMode = 0;
}

std::optional<ConfigRefusal> ChooseDhcp(ConfigWorkingCopy& copy)
{
    if (copy.adHoc()) {
        copy.values.ipAssignment = 0;
        return Refusal(texts::kAdhocNeedsManualIp, ConfigPage::Network, ConfigInput::ManualAllocation);
    }
    copy.values.ipAssignment = 1;
    return std::nullopt;
}

void ChooseManualAllocation(ConfigWorkingCopy& copy)
{
    copy.values.ipAssignment = 0;
}

bool AuthenticationEnabled(const ConfigWorkingCopy& copy, std::uint8_t authentication)
{
    if (authentication > auth::kWpa2)
        return false;
    return !(copy.adHoc() && IsWpaFamily(authentication));
}

std::uint8_t AdjustCryptograph(std::uint8_t authentication, std::uint8_t c)
{
    switch (authentication) {
    case auth::kOpenSystem:
        return IsWpaCipher(c) ? crypt::kNone : c;
    case auth::kSharedKey:
        return (c == crypt::kNone || IsWpaCipher(c)) ? crypt::kWep128 : c;
    case auth::kWpaPsk:
    case auth::kWpa2Psk:
        return c <= crypt::kWep128 ? crypt::kTkip : c;
    case auth::kWpa:
        return (c <= crypt::kWep128 || c == crypt::kAes) ? crypt::kTkip : c;
    case auth::kWpa2:
        return c <= crypt::kTkip ? crypt::kAes : c;
    default:
        return c;
    }
}

bool ChooseAuthentication(ConfigWorkingCopy& copy, std::uint8_t authentication)
{
    if (!AuthenticationEnabled(copy, authentication))
        return false;
    copy.values.authentication = authentication;
    copy.values.cryptograph = AdjustCryptograph(authentication, copy.values.cryptograph);
    return true;
}

bool CryptographEnabled(std::uint8_t authentication, CryptographChoice choice)
{
    switch (authentication) {
    case auth::kOpenSystem:
        return choice == CryptographChoice::None || choice == CryptographChoice::Wep;
    case auth::kSharedKey:
        return choice == CryptographChoice::Wep;
    case auth::kWpaPsk:
    case auth::kWpa2Psk:
    case auth::kWpa:
    case auth::kWpa2:
        return choice == CryptographChoice::Tkip || choice == CryptographChoice::Aes ||
               choice == CryptographChoice::AesTkip;
    default:
        return false;
    }
}

bool ChooseCryptograph(ConfigWorkingCopy& copy, CryptographChoice choice)
{
    if (!CryptographEnabled(copy.values.authentication, choice))
        return false;
    switch (choice) {
    case CryptographChoice::None: copy.values.cryptograph = crypt::kNone; break;
    case CryptographChoice::Wep: copy.values.cryptograph = crypt::kWep128; break;
    case CryptographChoice::Tkip: copy.values.cryptograph = crypt::kTkip; break;
    case CryptographChoice::Aes: copy.values.cryptograph = crypt::kAes; break;
    case CryptographChoice::AesTkip: copy.values.cryptograph = crypt::kAesTkip; break;
    }
    return true;
}

std::optional<CryptographChoice> CryptographChoiceOf(std::uint8_t cryptograph)
{
    switch (cryptograph) {
    case crypt::kNone: return CryptographChoice::None;
    case crypt::kWep64:
    case crypt::kWep128: return CryptographChoice::Wep;
    case crypt::kTkip: return CryptographChoice::Tkip;
    case crypt::kAes: return CryptographChoice::Aes;
    case crypt::kAesTkip: return CryptographChoice::AesTkip;
    default: return std::nullopt;
    }
}

void EditWepKey(ConfigWorkingCopy& copy, std::string key)
{
    copy.values.wepKey = std::move(key);
    if (IsWepCode(copy.values.cryptograph))
        if (const auto code = WepCodeForKeyLength(copy.values.wepKey.size()))
            copy.values.cryptograph = *code;
}

std::size_t TypingLimit(ConfigInput input)
{
    switch (input) {
    case ConfigInput::PrinterName:
    case ConfigInput::UserId:
    case ConfigInput::UserPassword:
    case ConfigInput::ConfirmPassword:
    case ConfigInput::Ssid:
    case ConfigInput::AuthId:
    case ConfigInput::AuthPassword:
        return 32;
    case ConfigInput::WriteCommunity:
    case ConfigInput::ReadCommunity:
    case ConfigInput::TrapCommunity:
        return 16;
    case ConfigInput::WepKey:
        return kWepKeyWidth;
    case ConfigInput::PskKey:
        return kPskKeyWidth;
    default:
        return 0;
    }
}

bool IsPrintableAscii(std::string_view text)
{
    return std::all_of(text.begin(), text.end(), [](char ch) {
        const auto b = static_cast<unsigned char>(ch);
        return b >= 0x20 && b <= 0x7E;
    });
}

bool TypedTextAccepted(ConfigInput input, std::string_view before, std::string_view after)
{
    if (!IsPrintableAscii(after))
        return false;
    // A longer text can only have come from the board; editing it must not
    // force a cut, so it may keep its length or shrink.
    return after.size() <= TypingLimit(input) || after.size() <= before.size();
}

} // namespace pavix
