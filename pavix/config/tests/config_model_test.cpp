#include "pavix/config/ConfigTexts.h"
#include "pavix/config/IfConfigModel.h"

#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <string>

namespace pavix {
namespace {

// A working copy that passes every page: infrastructure, WPA2-PSK with AES.
ConfigWorkingCopy GoodCopy()
{
    IfConfigRecord r;
    r.printerName = "Printer-1";
    r.printerPort = 9100;
    r.userId = "admin";
    r.userPassword = "secret";
    r.setCommunity = "private";
    r.getCommunity = "public";
    r.trapCommunity = "trap";
    r.ssid = "office";
    r.authentication = auth::kWpa2Psk;
    r.cryptograph = crypt::kAes;
    r.pskKey = "passphrase";
    r.ipAssignment = 1;
    r.ipAddress = {192, 168, 1, 20};
    return WorkingCopyFromRecord(r);
}

struct RowCase {
    const char* name;
    std::function<void(ConfigWorkingCopy&)> change;
    ConfigPage page;
    std::string_view message;
    ConfigInput focus;
};

void PrintTo(const RowCase& c, std::ostream* os)
{
    *os << c.name;
}

class ValidationRowTest : public ::testing::TestWithParam<RowCase> {};

TEST_P(ValidationRowTest, RefusesWithItsMessageAndFocus)
{
    const RowCase& c = GetParam();
    ConfigWorkingCopy copy = GoodCopy();
    ASSERT_FALSE(ValidateAllPages(copy));
    c.change(copy);

    const auto onPage = ValidatePage(copy, c.page);
    ASSERT_TRUE(onPage);
    EXPECT_EQ(onPage->message, c.message);
    EXPECT_EQ(onPage->page, c.page);
    EXPECT_EQ(onPage->focus, c.focus);
    EXPECT_EQ(ValidateAllPages(copy), onPage);
    // Only the page being left is judged.
    for (ConfigPage other : {ConfigPage::System, ConfigPage::Protocol, ConfigPage::Network,
                             ConfigPage::Authentication, ConfigPage::BssInformation, ConfigPage::Certificate})
        if (other != c.page) {
            EXPECT_FALSE(ValidatePage(copy, other)) << static_cast<int>(other);
        }
}

auto OpenWep(std::string key, std::uint8_t code = crypt::kWep128)
{
    return [key, code](ConfigWorkingCopy& c) {
        c.values.authentication = auth::kOpenSystem;
        c.values.cryptograph = code;
        c.values.wepKey = key;
    };
}

auto Eap(std::uint8_t a, std::uint8_t cr, std::string id, std::string pw)
{
    return [=](ConfigWorkingCopy& c) {
        c.values.authentication = a;
        c.values.cryptograph = cr;
        c.values.authId = id;
        c.values.authPassword = pw;
    };
}

auto Psk(std::uint8_t a, std::uint8_t cr)
{
    return [=](ConfigWorkingCopy& c) {
        c.values.authentication = a;
        c.values.cryptograph = cr;
        c.values.pskKey.clear();
    };
}

const RowCase kRowCases[] = {
    {"EmptyName", [](ConfigWorkingCopy& c) { c.values.printerName.clear(); }, ConfigPage::System,
     "Incorrect System name. \nPlease insert System name !", ConfigInput::PrinterName},
    {"Port21", [](ConfigWorkingCopy& c) { c.values.printerPort = 21; }, ConfigPage::System,
     "Incorrect Port Number. \nPlease insert Port Number !", ConfigInput::PrinterPort},
    {"Port23", [](ConfigWorkingCopy& c) { c.values.printerPort = 23; }, ConfigPage::System, texts::kPortNumber,
     ConfigInput::PrinterPort},
    {"Port25", [](ConfigWorkingCopy& c) { c.values.printerPort = 25; }, ConfigPage::System, texts::kPortNumber,
     ConfigInput::PrinterPort},
    {"Port80", [](ConfigWorkingCopy& c) { c.values.printerPort = 80; }, ConfigPage::System, texts::kPortNumber,
     ConfigInput::PrinterPort},
    {"Port443", [](ConfigWorkingCopy& c) { c.values.printerPort = 443; }, ConfigPage::System, texts::kPortNumber,
     ConfigInput::PrinterPort},
    {"Port3318", [](ConfigWorkingCopy& c) { c.values.printerPort = 3318; }, ConfigPage::System, texts::kPortNumber,
     ConfigInput::PrinterPort},
    {"EmptyUserId", [](ConfigWorkingCopy& c) { c.values.userId.clear(); }, ConfigPage::System,
     "Incorrect User name. \nPlease insert User name !", ConfigInput::UserId},
    {"PasswordMismatch", [](ConfigWorkingCopy& c) { c.confirmPassword = "other"; }, ConfigPage::System,
     "Incorrect User password. \nPlease insert user password !", ConfigInput::UserPassword},
    {"PasswordEmpty",
     [](ConfigWorkingCopy& c) {
         c.values.userPassword.clear();
         c.confirmPassword.clear();
     },
     ConfigPage::System, texts::kUserPassword, ConfigInput::UserPassword},
    {"EmptyWriteCommunity", [](ConfigWorkingCopy& c) { c.values.setCommunity.clear(); }, ConfigPage::Protocol,
     "Incorrect Community name. \nPlease insert Community name", ConfigInput::WriteCommunity},
    {"EmptyReadCommunity", [](ConfigWorkingCopy& c) { c.values.getCommunity.clear(); }, ConfigPage::Protocol,
     texts::kCommunity, ConfigInput::ReadCommunity},
    {"EmptyTrapCommunity", [](ConfigWorkingCopy& c) { c.values.trapCommunity.clear(); }, ConfigPage::Protocol,
     "Incorrect Trap Community. \nPlease insert Trap Community", ConfigInput::TrapCommunity},
    {"AdhocChannelZero",
     [](ConfigWorkingCopy& c) {
         c.values.authentication = auth::kOpenSystem;
         c.values.cryptograph = crypt::kNone;
         c.values.networkMode = 1;
         c.values.adhocChannel = 0;
         c.values.ssid.clear(); // the channel row comes first
     },
     ConfigPage::Network, "Incorrect Adhoc Number. \nPlease insert Adhoc Number", ConfigInput::AdhocChannel},
    {"EmptySsid", [](ConfigWorkingCopy& c) { c.values.ssid.clear(); }, ConfigPage::Network,
     "Incorrect SSID. \nPlease insert SSID", ConfigInput::Ssid},
    {"OpenWepLength7", OpenWep("abcdefg"), ConfigPage::Authentication,
     "WEP Key is incorrect! WEP Key must be entered as 5, 13 characters or 10, 26 hexadecimal number.",
     ConfigInput::WepKey},
    {"OpenWep64Empty", OpenWep("", crypt::kWep64), ConfigPage::Authentication, texts::kWepKey, ConfigInput::WepKey},
    {"SharedWepLength27",
     [](ConfigWorkingCopy& c) {
         OpenWep(std::string(27, 'a'))(c);
         c.values.authentication = auth::kSharedKey;
     },
     ConfigPage::Authentication, texts::kWepKey, ConfigInput::WepKey},
    {"WpaPskTkipEmptyPsk", Psk(auth::kWpaPsk, crypt::kTkip), ConfigPage::Authentication,
     "Incorrect PSK Key. \nPlease insert PSK Key", ConfigInput::PskKey},
    {"Wpa2PskAesEmptyPsk", Psk(auth::kWpa2Psk, crypt::kAes), ConfigPage::Authentication, texts::kPskKey,
     ConfigInput::PskKey},
    // The board can never associate with these; they used to pass.
    {"WpaPskAesTkipEmptyPsk", Psk(auth::kWpaPsk, crypt::kAesTkip), ConfigPage::Authentication, texts::kPskKey,
     ConfigInput::PskKey},
    {"Wpa2PskAesTkipEmptyPsk", Psk(auth::kWpa2Psk, crypt::kAesTkip), ConfigPage::Authentication, texts::kPskKey,
     ConfigInput::PskKey},
    {"WpaTkipEmptyId", Eap(auth::kWpa, crypt::kTkip, "", "pw"), ConfigPage::Authentication,
     "Incorrect certification ID. \nPlease insert certification ID", ConfigInput::AuthId},
    {"Wpa2AesTkipEmptyId", Eap(auth::kWpa2, crypt::kAesTkip, "", "pw"), ConfigPage::Authentication,
     texts::kCertificationId, ConfigInput::AuthId},
    {"WpaEmptyIdBeforePassword", Eap(auth::kWpa, crypt::kAes, "", ""), ConfigPage::Authentication,
     texts::kCertificationId, ConfigInput::AuthId},
    {"Wpa2AesEmptyPassword", Eap(auth::kWpa2, crypt::kAes, "user", ""), ConfigPage::Authentication,
     "Incorrect certification password. \nPlease insert certification password", ConfigInput::AuthPassword},
    {"WpaAesTkipEmptyPassword", Eap(auth::kWpa, crypt::kAesTkip, "user", ""), ConfigPage::Authentication,
     texts::kCertificationPassword, ConfigInput::AuthPassword},
};

INSTANTIATE_TEST_SUITE_P(Rows, ValidationRowTest, ::testing::ValuesIn(kRowCases),
                         [](const auto& param) { return std::string(param.param.name); });

TEST(Validation, FirstFailingRowWinsWithinAPageAndPagesGoInOrder)
{
    ConfigWorkingCopy copy = GoodCopy();
    copy.values.printerName.clear();
    copy.values.userId.clear();
    copy.values.trapCommunity.clear();
    EXPECT_EQ(ValidatePage(copy, ConfigPage::System)->focus, ConfigInput::PrinterName);
    EXPECT_EQ(ValidateAllPages(copy)->focus, ConfigInput::PrinterName);
    copy.values.printerName = "p";
    copy.values.userId = "u";
    EXPECT_EQ(ValidateAllPages(copy)->focus, ConfigInput::TrapCommunity);
}

TEST(Validation, AcceptsWhatTheRowsAllow)
{
    const std::function<void(ConfigWorkingCopy&)> accepted[] = {
        [](ConfigWorkingCopy& c) { c.values.printerPort = 22; },
        [](ConfigWorkingCopy& c) { c.values.printerPort = 0; },
        // Ad hoc with a channel needs no SSID.
        [](ConfigWorkingCopy& c) {
            c.values.authentication = auth::kOpenSystem;
            c.values.cryptograph = crypt::kNone;
            c.values.networkMode = 1;
            c.values.adhocChannel = 6;
            c.values.ssid.clear();
        },
        OpenWep("12345", crypt::kWep64),
        OpenWep("0123456789"),
        OpenWep("abcdefghijklm"),
        OpenWep(std::string(26, 'f')),
        // Without a cipher the keys are not needed.
        [](ConfigWorkingCopy& c) {
            c.values.authentication = auth::kOpenSystem;
            c.values.cryptograph = crypt::kNone;
            c.values.wepKey.clear();
        },
        Eap(auth::kWpa2, crypt::kAes, "id", "pw"),
    };
    for (std::size_t i = 0; i < std::size(accepted); ++i) {
        ConfigWorkingCopy copy = GoodCopy();
        accepted[i](copy);
        EXPECT_FALSE(ValidateAllPages(copy)) << i << ": " << ValidateAllPages(copy)->message;
    }
}

TEST(WepRule, CodeFollowsTheKeyLength)
{
    for (std::size_t len : {5u, 10u})
        EXPECT_EQ(WepCodeForKeyLength(len), crypt::kWep64) << len;
    for (std::size_t len : {13u, 26u})
        EXPECT_EQ(WepCodeForKeyLength(len), crypt::kWep128) << len;
    for (std::size_t len : {0u, 4u, 6u, 9u, 11u, 12u, 14u, 25u, 27u})
        EXPECT_FALSE(WepCodeForKeyLength(len)) << len;

    ConfigWorkingCopy copy = GoodCopy();
    OpenWep("0123456789", crypt::kWep128)(copy);
    EXPECT_FALSE(ApplyWepRule(copy));
    EXPECT_EQ(copy.values.cryptograph, crypt::kWep64);
    OpenWep(std::string(26, 'a'), crypt::kWep64)(copy);
    EXPECT_FALSE(ApplyWepRule(copy));
    EXPECT_EQ(copy.values.cryptograph, crypt::kWep128);

    OpenWep("short", crypt::kWep128)(copy);
    copy.values.wepKey = "1234567";
    const auto refused = ApplyWepRule(copy);
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->message, texts::kWepKey);
    EXPECT_EQ(refused->focus, ConfigInput::WepKey);

    // Other codes ignore the key.
    copy.values.cryptograph = crypt::kNone;
    EXPECT_FALSE(ApplyWepRule(copy));
    EXPECT_EQ(copy.values.cryptograph, crypt::kNone);
}

TEST(WepRule, TypingAKeySetsTheCodeOnlyForWepAndOnlyAtValidLengths)
{
    ConfigWorkingCopy copy = GoodCopy();
    OpenWep("", crypt::kWep128)(copy);
    EditWepKey(copy, "abcde");
    EXPECT_EQ(copy.values.cryptograph, crypt::kWep64);
    EditWepKey(copy, "abcdef"); // no valid length: the code stays
    EXPECT_EQ(copy.values.cryptograph, crypt::kWep64);
    EditWepKey(copy, "abcdefghijklm");
    EXPECT_EQ(copy.values.cryptograph, crypt::kWep128);
    EXPECT_EQ(copy.values.wepKey, "abcdefghijklm");

    copy.values.cryptograph = crypt::kNone;
    EditWepKey(copy, "abcde");
    EXPECT_EQ(copy.values.cryptograph, crypt::kNone);
    EXPECT_EQ(copy.values.wepKey, "abcde");
}

TEST(CheckBeforeWrite, CertificatePageSkipsTheRowsButNotTheWepRule)
{
    ConfigWorkingCopy copy = GoodCopy();
    copy.values.printerName.clear();
    EXPECT_FALSE(CheckBeforeWrite(copy, ConfigPage::Certificate));
    EXPECT_EQ(CheckBeforeWrite(copy, ConfigPage::System)->message, texts::kSystemName);
    EXPECT_EQ(CheckBeforeWrite(copy, std::nullopt)->message, texts::kSystemName);

    copy = GoodCopy();
    OpenWep("1234567")(copy);
    EXPECT_EQ(CheckBeforeWrite(copy, ConfigPage::Certificate)->message, texts::kWepKey);
    copy.values.wepKey = "0123456789";
    EXPECT_FALSE(CheckBeforeWrite(copy, ConfigPage::Certificate));
    EXPECT_EQ(copy.values.cryptograph, crypt::kWep64);
}

TEST(CheckBeforeWrite, RefusesTextsTheRecordCannotCarry)
{
    ConfigWorkingCopy copy = GoodCopy();
    copy.values.printerName = std::string(64, 'n'); // the full width is fine
    EXPECT_FALSE(CheckBeforeWrite(copy, std::nullopt));
    copy.values.printerName += "n";
    auto refused = CheckBeforeWrite(copy, std::nullopt);
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->message, "The printer name does not fit the printer's configuration.");
    EXPECT_EQ(refused->focus, ConfigInput::PrinterName);

    copy = GoodCopy();
    copy.values.trapCommunity = std::string("tr\0ap", 5);
    refused = CheckBeforeWrite(copy, std::nullopt);
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->page, ConfigPage::Protocol);
    EXPECT_EQ(refused->focus, ConfigInput::TrapCommunity);
}

// ---- Combinations the pages cannot produce ------------------------------------------

TEST(CheckCombination, RefusesEveryCryptographTheAuthenticationDisables)
{
    // Allowed cryptograph codes per authentication: Open System NONE/WEP,
    // Shared Key WEP, the WPA family TKIP/AES/AES + TKIP.
    const bool allowed[6][7] = {
        {true, true, true, false, false, false, false},  {false, true, true, false, false, false, false},
        {false, false, false, true, true, true, false},  {false, false, false, true, true, true, false},
        {false, false, false, true, true, true, false},  {false, false, false, true, true, true, false},
    };
    for (std::uint8_t a = 0; a < 6; ++a)
        for (std::uint8_t c = 0; c < 7; ++c) {
            ConfigWorkingCopy copy = GoodCopy();
            copy.values.authentication = a;
            copy.values.cryptograph = c;
            EXPECT_EQ(!CheckCombination(copy), allowed[a][c]) << int(a) << "/" << int(c);
        }

    ConfigWorkingCopy copy = GoodCopy();
    copy.values.authentication = auth::kOpenSystem;
    copy.values.cryptograph = crypt::kAesTkip;
    const auto refused = CheckCombination(copy);
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->message, "Cryptograph AES + TKIP cannot be used with authentication Open System.");
    EXPECT_EQ(refused->page, ConfigPage::Authentication);
    EXPECT_EQ(refused->focus, ConfigInput::Cryptograph);

    copy.values.authentication = 9;
    copy.values.cryptograph = crypt::kAes;
    EXPECT_EQ(CheckCombination(copy)->message, "Cryptograph AES cannot be used with authentication Unknown (9).");
}

TEST(CheckCombination, RefusesAdHocWithWpaOrDhcp)
{
    ConfigWorkingCopy copy = GoodCopy(); // WPA2-PSK, DHCP
    copy.values.networkMode = 1;
    copy.values.adhocChannel = 3;
    EXPECT_EQ(CheckCombination(copy)->message, texts::kAdhocNeedsOpenAuth);
    copy.values.authentication = auth::kSharedKey;
    copy.values.cryptograph = crypt::kWep128;
    EXPECT_EQ(CheckCombination(copy)->message, texts::kAdhocNeedsManualIp);
    copy.values.ipAssignment = 0;
    EXPECT_FALSE(CheckCombination(copy));
}

// ---- Connect -----------------------------------------------------------------------------

TEST(WorkingCopy, NormalisesTheRecordReadOnConnect)
{
    IfConfigRecord read = GoodCopy().values;
    read.userPassword = "pw";
    read.ipAssignment = 7;
    ConfigWorkingCopy copy = WorkingCopyFromRecord(read);
    EXPECT_EQ(copy.confirmPassword, "pw");
    EXPECT_EQ(copy.values.ipAssignment, 1);
    EXPECT_EQ(copy.values.networkMode, 0);

    read.networkMode = 2; // some boards send 2 for ad hoc
    copy = WorkingCopyFromRecord(read);
    EXPECT_EQ(copy.values.networkMode, 1);
    EXPECT_EQ(copy.values.ipAssignment, 0); // ad hoc forces manual allocation
    EXPECT_EQ(copy.values.ipAddress, read.ipAddress);
    EXPECT_EQ(copy.values.pskKey, read.pskKey);
}

// ---- While editing -----------------------------------------------------------------------

struct NumberCase {
    const char* name;
    std::optional<ConfigRefusal> (*edit)(ConfigWorkingCopy&, std::uint32_t);
    std::uint32_t typed;
    std::uint32_t stored;
    std::string_view message; // empty: taken as typed
};

void PrintTo(const NumberCase& c, std::ostream* os)
{
    *os << c.name;
}

class NumberEditTest : public ::testing::TestWithParam<NumberCase> {};

std::uint32_t Stored(const ConfigWorkingCopy& c, const NumberCase& n)
{
    if (n.edit == &EditPrinterPort)
        return c.values.printerPort;
    if (n.edit == &EditAdhocChannel)
        return c.values.adhocChannel;
    return c.values.inactivityTime;
}

TEST_P(NumberEditTest, ClampsOutOfRangeValuesWithTheirMessage)
{
    const NumberCase& n = GetParam();
    ConfigWorkingCopy copy = GoodCopy();
    const auto shown = n.edit(copy, n.typed);
    EXPECT_EQ(Stored(copy, n), n.stored);
    if (n.message.empty()) {
        EXPECT_FALSE(shown);
    } else {
        EXPECT_EQ(shown ? shown->message : "", n.message);
    }
}

const NumberCase kNumberCases[] = {
    {"Port32767", &EditPrinterPort, 32767, 32767, ""},
    {"Port32768", &EditPrinterPort, 32768, 9100, "Cannot set the port.\r\nPlease, retype port number. (0~32767)"},
    {"Port99999", &EditPrinterPort, 99999, 9100, texts::kPortRange},
    {"Channel14", &EditAdhocChannel, 14, 14, ""},
    {"Channel15", &EditAdhocChannel, 15, 14,
     "Cannot set the Channel Number.\r\nPlease, retype Channel Number. (0~14)"},
    {"Channel300", &EditAdhocChannel, 300, 14, texts::kChannelRange},
    {"Time3600", &EditInactivityTime, 3600, 3600, ""},
    {"Time3601", &EditInactivityTime, 3601, 3600, "Cannot set the time.\r\nPlease, retype time number. (0~3600)"},
    {"Time70000", &EditInactivityTime, 70000, 3600, texts::kTimeRange},
};

INSTANTIATE_TEST_SUITE_P(Edits, NumberEditTest, ::testing::ValuesIn(kNumberCases),
                         [](const auto& param) { return std::string(param.param.name); });

TEST(NetworkPage, AdhocIsRefusedUnderEveryWpaAuthentication)
{
    for (std::uint8_t a : {auth::kWpaPsk, auth::kWpa2Psk, auth::kWpa, auth::kWpa2}) {
        ConfigWorkingCopy copy = GoodCopy();
        copy.values.authentication = a;
        const auto refused = ChooseAdhoc(copy);
        ASSERT_TRUE(refused) << int(a);
        EXPECT_EQ(refused->message,
                  "Cannot select the Adhoc mode.\r\nAuthentication must be \"Open System\" or \"Shared Key\" !");
        EXPECT_EQ(refused->focus, ConfigInput::InfraNetwork);
        EXPECT_FALSE(copy.adHoc());
        EXPECT_TRUE(copy.dhcp());
    }
    for (std::uint8_t a : {auth::kOpenSystem, auth::kSharedKey}) {
        ConfigWorkingCopy copy = GoodCopy();
        copy.values.authentication = a;
        EXPECT_FALSE(ChooseAdhoc(copy));
        EXPECT_TRUE(copy.adHoc());
        EXPECT_FALSE(copy.dhcp()); // manual allocation forced
        ChooseInfraNetwork(copy);
        EXPECT_FALSE(copy.adHoc());
    }
}

TEST(NetworkPage, DhcpIsRefusedInAdHocAndKeepsTheAddresses)
{
    ConfigWorkingCopy copy = GoodCopy();
    copy.values.authentication = auth::kOpenSystem;
    ASSERT_FALSE(ChooseAdhoc(copy));
    const auto refused = ChooseDhcp(copy);
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->message, "Network Mode is the Adhoc. you must use the manual Allocation IP.");
    EXPECT_EQ(refused->focus, ConfigInput::ManualAllocation);
    EXPECT_FALSE(copy.dhcp());

    ChooseInfraNetwork(copy);
    EXPECT_FALSE(ChooseDhcp(copy));
    EXPECT_TRUE(copy.dhcp());
    ChooseManualAllocation(copy);
    EXPECT_FALSE(copy.dhcp());
    EXPECT_EQ(copy.values.ipAddress, (Ipv4{192, 168, 1, 20}));
}

// ---- Authentication page ------------------------------------------------------------------

TEST(AuthenticationPage, AdjustsTheCryptographForEachAuthentication)
{
    // expected[authentication][cryptograph before]
    const std::uint8_t expected[6][6] = {
        {0, 1, 2, 0, 0, 0}, // Open System: TKIP, AES and AES + TKIP become NONE
        {2, 1, 2, 2, 2, 2}, // Shared Key: NONE and the WPA ciphers become WEP128
        {3, 3, 3, 3, 4, 5}, // WPA-PSK
        {3, 3, 3, 3, 4, 5}, // WPA2-PSK
        {3, 3, 3, 3, 3, 5}, // WPA: AES becomes TKIP
        {4, 4, 4, 4, 4, 5}, // WPA2
    };
    for (std::uint8_t a = 0; a < 6; ++a)
        for (std::uint8_t c = 0; c < 6; ++c)
            EXPECT_EQ(AdjustCryptograph(a, c), expected[a][c]) << int(a) << "/" << int(c);
    EXPECT_EQ(AdjustCryptograph(auth::kOpenSystem, 9), 9);
}

TEST(AuthenticationPage, OpenSystemAndSharedKeyDropAesTkip)
{
    ConfigWorkingCopy copy = GoodCopy();
    copy.values.cryptograph = crypt::kAesTkip;
    ASSERT_TRUE(ChooseAuthentication(copy, auth::kOpenSystem));
    EXPECT_EQ(copy.values.cryptograph, crypt::kNone);
    EXPECT_FALSE(CheckCombination(copy));

    copy.values.authentication = auth::kWpaPsk;
    copy.values.cryptograph = crypt::kAesTkip;
    ASSERT_TRUE(ChooseAuthentication(copy, auth::kSharedKey));
    EXPECT_EQ(copy.values.cryptograph, crypt::kWep128);
    EXPECT_FALSE(CheckCombination(copy));
}

TEST(AuthenticationPage, WpaChoicesAreDisabledInAdHoc)
{
    ConfigWorkingCopy copy = GoodCopy();
    ASSERT_TRUE(ChooseAuthentication(copy, auth::kOpenSystem));
    ASSERT_FALSE(ChooseAdhoc(copy));
    for (std::uint8_t a : {auth::kWpaPsk, auth::kWpa2Psk, auth::kWpa, auth::kWpa2}) {
        EXPECT_FALSE(AuthenticationEnabled(copy, a));
        EXPECT_FALSE(ChooseAuthentication(copy, a));
        EXPECT_EQ(copy.values.authentication, auth::kOpenSystem);
    }
    EXPECT_TRUE(ChooseAuthentication(copy, auth::kSharedKey));
    EXPECT_FALSE(ChooseAuthentication(copy, 6));
}

TEST(AuthenticationPage, CryptographChoicesFollowTheAuthentication)
{
    using C = CryptographChoice;
    ConfigWorkingCopy copy = GoodCopy();
    ASSERT_TRUE(ChooseAuthentication(copy, auth::kOpenSystem));
    EXPECT_FALSE(ChooseCryptograph(copy, C::Aes));
    EXPECT_TRUE(ChooseCryptograph(copy, C::Wep));
    EXPECT_EQ(copy.values.cryptograph, crypt::kWep128);
    EXPECT_TRUE(ChooseCryptograph(copy, C::None));
    EXPECT_EQ(copy.values.cryptograph, crypt::kNone);

    ASSERT_TRUE(ChooseAuthentication(copy, auth::kSharedKey));
    EXPECT_FALSE(ChooseCryptograph(copy, C::None));
    EXPECT_EQ(copy.values.cryptograph, crypt::kWep128);

    ASSERT_TRUE(ChooseAuthentication(copy, auth::kWpa));
    EXPECT_FALSE(ChooseCryptograph(copy, C::Wep));
    EXPECT_TRUE(ChooseCryptograph(copy, C::AesTkip));
    EXPECT_EQ(copy.values.cryptograph, crypt::kAesTkip);
    EXPECT_TRUE(ChooseCryptograph(copy, C::Aes));
    EXPECT_EQ(copy.values.cryptograph, crypt::kAes);
    EXPECT_TRUE(ChooseCryptograph(copy, C::Tkip));
    EXPECT_EQ(copy.values.cryptograph, crypt::kTkip);

    EXPECT_EQ(CryptographChoiceOf(crypt::kWep64), C::Wep);
    EXPECT_EQ(CryptographChoiceOf(crypt::kWep128), C::Wep);
    EXPECT_FALSE(CryptographChoiceOf(6));
}

// ---- Record build ---------------------------------------------------------------------------

TEST(BuildRecord, DhcpSetsByte66AndUnlistedBytesStayZero)
{
    ConfigWorkingCopy copy = GoodCopy();
    copy.values.ipAssignment = 5; // however it got there, DHCP is sent as 1
    auto block = EncodeIfConfigRecord(BuildRecord(copy));
    ASSERT_TRUE(block);
    EXPECT_EQ((*block)[66], 1);
    ChooseManualAllocation(copy);
    block = EncodeIfConfigRecord(BuildRecord(copy));
    ASSERT_TRUE(block);
    EXPECT_EQ((*block)[66], 0);
    EXPECT_EQ((*block)[64], 0);
    EXPECT_EQ((*block)[548], 0);
    for (std::size_t i = 413; i < 544; ++i)
        EXPECT_EQ((*block)[i], 0) << i;
}

TEST(BuildRecord, FullWidthTextsFromTheBoardSurviveAnEdit)
{
    IfConfigRecord read = GoodCopy().values;
    read.printerName = std::string(40, 'n') + std::string(24, 'N'); // 64: no terminator on the board
    read.pskKey = std::string(64, 'p');
    read.authentication = auth::kWpaPsk;
    read.cryptograph = crypt::kTkip;
    ConfigWorkingCopy copy = WorkingCopyFromRecord(read);
    copy.values.ssid = "new-ssid";
    ASSERT_FALSE(CheckBeforeWrite(copy, std::nullopt));
    const IfConfigRecord built = BuildRecord(copy);
    EXPECT_EQ(built.printerName, read.printerName);
    EXPECT_EQ(built.pskKey, read.pskKey);
    const auto block = EncodeIfConfigRecord(built);
    ASSERT_TRUE(block);
    EXPECT_EQ(std::string(block->begin(), block->begin() + 64), read.printerName);
}

TEST(TypedText, LimitHoldsForTypingOnly)
{
    const std::string name32(32, 'a');
    EXPECT_TRUE(TypedTextAccepted(ConfigInput::PrinterName, "", name32));
    EXPECT_FALSE(TypedTextAccepted(ConfigInput::PrinterName, name32, name32 + "b"));
    const std::string fromBoard(50, 'x');
    EXPECT_TRUE(TypedTextAccepted(ConfigInput::PrinterName, fromBoard, std::string(49, 'x')));
    EXPECT_TRUE(TypedTextAccepted(ConfigInput::PrinterName, fromBoard, std::string(49, 'x') + "y"));
    EXPECT_FALSE(TypedTextAccepted(ConfigInput::PrinterName, fromBoard, fromBoard + "y"));
    EXPECT_FALSE(TypedTextAccepted(ConfigInput::WriteCommunity, "", std::string(17, 'c')));
    EXPECT_TRUE(TypedTextAccepted(ConfigInput::PskKey, "", std::string(64, 'k')));
    EXPECT_FALSE(TypedTextAccepted(ConfigInput::WepKey, "", std::string(27, 'k')));
    EXPECT_FALSE(TypedTextAccepted(ConfigInput::Ssid, "", "caf\xc3\xa9"));
    EXPECT_FALSE(TypedTextAccepted(ConfigInput::Ssid, "", std::string("a\0b", 3)));
    EXPECT_FALSE(TypedTextAccepted(ConfigInput::Ssid, "", "tab\there"));
    EXPECT_TRUE(TypedTextAccepted(ConfigInput::Ssid, "", " ~!"));
}

} // namespace
} // namespace pavix
