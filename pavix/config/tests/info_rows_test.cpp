#include "pavix/config/IfConfigModel.h"
#include "pavix/config/IfInfoRows.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace pavix {
namespace {

IfConfigRecord Sample()
{
    IfConfigRecord r;
    r.printerName = "Shop-3";
    r.printerPort = 9101;
    r.userId = "admin";
    r.userPassword = "pw%d";
    r.https = 1;
    r.snmp = 1;
    r.setCommunity = "private";
    r.getCommunity = "public";
    r.trapAddress = {10, 0, 0, 254};
    r.trapCommunity = "traps";
    r.ssid = "office";
    r.inactivityTime = 600;
    r.ipAssignment = 0;
    r.ipAddress = {192, 168, 1, 20};
    r.subnetMask = {255, 255, 255, 0};
    r.gateway = {192, 168, 1, 1};
    r.wepKey = "abcde";
    r.pskKey = "passphrase";
    r.authId = "user";
    r.authPassword = "cert-key";
    r.eapMode = 2;
    return r;
}

std::map<std::string, std::string> ByName(const IfConfigRecord& r)
{
    std::map<std::string, std::string> out;
    for (const InfoRow& row : InformationRows(r))
        out[std::string(row.name)] = row.value;
    return out;
}

TEST(InformationRows, NumbersNamesAndPlainValues)
{
    const auto rows = InformationRows(Sample());
    const char* names[] = {"Printer Name", "Printer Port Num", "User ID", "User Password", "Https", "Telnet",
                           "Ftp", "Snmp", "Set Community", "Get Community", "Trap IP Address", "Trap Community",
                           "Network Mode", "Adhoc Channel", "SSID", "Inactivity Time", "IP Assignment method",
                           "IP Address", "Subnet Mask", "Gateway", "Authentication", "Cryptograph", "WEP Key",
                           "PSK Key", "EAP Mode", "Auth ID", "Auth Password/Certification Key(EAP-TLS)"};
    for (std::size_t i = 0; i < kInfoRowCount; ++i) {
        EXPECT_EQ(rows[i].number, i + 1);
        EXPECT_EQ(rows[i].name, names[i]);
    }
    auto v = ByName(Sample());
    EXPECT_EQ(v["Printer Name"], "Shop-3");
    EXPECT_EQ(v["Printer Port Num"], "9101");
    EXPECT_EQ(v["User Password"], "pw%d");
    EXPECT_EQ(v["Https"], "Enable");
    EXPECT_EQ(v["Telnet"], "Disable");
    EXPECT_EQ(v["Snmp"], "Enable");
    EXPECT_EQ(v["Set Community"], "private");
    EXPECT_EQ(v["Get Community"], "public");
    EXPECT_EQ(v["Trap IP Address"], "10.0.0.254");
    EXPECT_EQ(v["Network Mode"], "Infra Network");
    EXPECT_EQ(v["Adhoc Channel"], "-");
    EXPECT_EQ(v["Inactivity Time"], "600");
    EXPECT_EQ(v["IP Assignment method"], "Manual allocation");
    EXPECT_EQ(v["IP Address"], "192.168.1.20");
    EXPECT_EQ(v["Subnet Mask"], "255.255.255.0");
    EXPECT_EQ(v["Gateway"], "192.168.1.1");
    EXPECT_EQ(v["Authentication"], "Open System");
    EXPECT_EQ(v["Cryptograph"], "NONE");

    IfConfigRecord r = Sample();
    r.networkMode = 2;
    r.adhocChannel = 11;
    r.ipAssignment = 1;
    r.telnet = 7;
    v = ByName(r);
    EXPECT_EQ(v["Network Mode"], "Adhoc");
    EXPECT_EQ(v["Adhoc Channel"], "11");
    EXPECT_EQ(v["IP Assignment method"], "Automatic Allocation(DHCP)");
    EXPECT_EQ(v["Telnet"], "Unknown (7)");
}

TEST(InformationRows, KeysShowOnlyWhereTheyApply)
{
    struct Case {
        std::uint8_t authentication, cryptograph;
        const char *wep, *psk, *eapMode, *authId, *authPassword;
    };
    const Case cases[] = {
        {auth::kOpenSystem, crypt::kNone, "", "", "NONE", "", ""},
        {auth::kOpenSystem, crypt::kWep64, "abcde", "", "NONE", "", ""},
        {auth::kSharedKey, crypt::kWep128, "abcde", "", "NONE", "", ""},
        {auth::kWpaPsk, crypt::kTkip, "", "passphrase", "NONE", "", ""},
        {auth::kWpa2Psk, crypt::kAesTkip, "", "passphrase", "NONE", "", ""},
        {auth::kWpa, crypt::kTkip, "", "", "EAP-TLS", "user", "cert-key"},
        {auth::kWpa2, crypt::kAes, "", "", "EAP-TLS", "user", "cert-key"},
        // A PSK under an EAP authentication is not the board's key.
        {auth::kWpa2, crypt::kAesTkip, "", "", "EAP-TLS", "user", "cert-key"},
        // A PSK authentication without a WPA cipher shows no key.
        {auth::kWpaPsk, crypt::kNone, "", "", "NONE", "", ""},
    };
    for (const Case& c : cases) {
        IfConfigRecord r = Sample();
        r.authentication = c.authentication;
        r.cryptograph = c.cryptograph;
        auto v = ByName(r);
        SCOPED_TRACE(std::to_string(c.authentication) + "/" + std::to_string(c.cryptograph));
        EXPECT_EQ(v["WEP Key"], c.wep);
        EXPECT_EQ(v["PSK Key"], c.psk);
        EXPECT_EQ(v["EAP Mode"], c.eapMode);
        EXPECT_EQ(v["Auth ID"], c.authId);
        EXPECT_EQ(v["Auth Password/Certification Key(EAP-TLS)"], c.authPassword);
    }
    IfConfigRecord r = Sample();
    r.authentication = auth::kWpa;
    r.eapMode = 5;
    EXPECT_EQ(ByName(r)["EAP Mode"], "NONE");
    r.eapMode = 0;
    EXPECT_EQ(ByName(r)["EAP Mode"], "EAP-PEAP");
}

TEST(InformationRows, ShowTheRecordBuiltForTheWrite)
{
    IfConfigRecord read = Sample();
    read.printerName = std::string(64, 'W');
    read.networkMode = 2;
    read.ipAssignment = 1;
    read.adhocChannel = 6;
    const auto v = ByName(BuildRecord(WorkingCopyFromRecord(read)));
    EXPECT_EQ(v.at("Printer Name"), std::string(64, 'W'));
    EXPECT_EQ(v.at("Network Mode"), "Adhoc");
    EXPECT_EQ(v.at("IP Assignment method"), "Manual allocation");
}

} // namespace
} // namespace pavix
