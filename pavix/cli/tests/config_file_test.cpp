// Configuration files read back: the round trip with `config read
// --output`, every refusal with its line, and the value forms.
#include "pavix/cli/cli_options.h"
#include "pavix/cli/config_file.h"
#include "pavix/cli/config_text.h"

#include <gtest/gtest.h>

using namespace pavix;
using namespace pavix::cli;

namespace {

IfConfigRecord boardRecord()
{
    IfConfigRecord r;
    r.printerName = std::string(60, 'N') + "\\\x01\x7f\xff"; // full width, bytes to escape
    r.networkMode = 1;
    r.ipAddress = {192, 168, 7, 9};
    r.subnetMask = {255, 255, 255, 0};
    r.gateway = {192, 168, 7, 1};
    r.ssid = " leading and trailing ";
    r.authentication = 1;
    r.cryptograph = 2;
    r.wepKey = "0123456789abcdef0123456789";
    r.adhocChannel = 0;
    r.eapMode = 5;
    r.userId = "admin";
    r.userPassword = "pw:with:colons";
    r.printerPort = 32767;
    r.https = 1;
    r.snmp = 1;
    r.setCommunity = "private";
    r.getCommunity = "public";
    r.trapCommunity = "trap";
    r.trapAddress = {10, 0, 0, 255};
    r.inactivityTime = 3600;
    return r;
}

ConfigFileError parseFails(std::string_view text)
{
    ConfigFileValues parsed;
    ConfigFileError error;
    EXPECT_FALSE(ParseConfigFile(text, parsed, error)) << text;
    return error;
}

TEST(ConfigFile, WhatConfigReadWritesReadsBackExactly)
{
    const IfConfigRecord written = boardRecord();
    ConfigFileValues parsed;
    ConfigFileError error;
    ASSERT_TRUE(ParseConfigFile(ConfigText(written), parsed, error)) << error.describe();
    EXPECT_TRUE(parsed.present.all());
    IfConfigRecord applied;
    ApplyConfigFile(parsed, applied);
    EXPECT_EQ(applied, written);

    // Unknown codes come back as the codes they were.
    IfConfigRecord odd = written;
    odd.authentication = 9;
    odd.eapMode = 200;
    ASSERT_TRUE(ParseConfigFile(ConfigText(odd), parsed, error)) << error.describe();
    EXPECT_EQ(parsed.values.authentication, 9);
    EXPECT_EQ(parsed.values.eapMode, 200);
}

TEST(ConfigFile, MissingNamesKeepTheBoardsValues)
{
    ConfigFileValues parsed;
    ConfigFileError error;
    const std::string text = "# provisioning for store 12\r\n\n   \nSSID: store-12\r\nPSK Key:  two  spaces\n"
                             "  # indented comment\nAdhoc Channel: -\nCryptograph: aes + tkip";
    ASSERT_TRUE(ParseConfigFile(text, parsed, error)) << error.describe();
    EXPECT_EQ(parsed.present.count(), 4u);
    IfConfigRecord record = boardRecord();
    record.adhocChannel = 7;
    ApplyConfigFile(parsed, record);
    EXPECT_EQ(record.ssid, "store-12");
    EXPECT_EQ(record.pskKey, " two  spaces") << "one space after ':' separates, the rest is the value";
    EXPECT_EQ(record.adhocChannel, 0);
    EXPECT_EQ(record.cryptograph, 5);
    EXPECT_EQ(record.printerName, boardRecord().printerName);
    EXPECT_EQ(record.wepKey, boardRecord().wepKey);
}

TEST(ConfigFile, EnumerationsMatchTheirTextsInAnyCase)
{
    ConfigFileValues parsed;
    ConfigFileError error;
    ASSERT_TRUE(ParseConfigFile("Authentication: wpa2-psk\nIP Assignment method: Manual Allocation\n"
                                "Network Mode: ADHOC\nHttps: enable\nEAP Mode: eap-tls\n",
                                parsed, error))
        << error.describe();
    EXPECT_EQ(parsed.values.authentication, 3);
    EXPECT_EQ(parsed.values.ipAssignment, 0);
    EXPECT_EQ(parsed.values.networkMode, 1);
    EXPECT_EQ(parsed.values.https, 1);
    EXPECT_EQ(parsed.values.eapMode, 2);
}

TEST(ConfigFile, RefusalsNameTheirLine)
{
    const struct {
        const char* text;
        std::size_t line;
        const char* problem;
    } cases[] = {
        {"SSID: a\nSSId: b\n", 2, "unknown name 'SSId'"},
        {"# c\nSSID: a\n\nSSID: b\n", 4, "given twice"},
        {"SSID a\n", 1, "not a 'Name: Value' line"},
        {"Printer Port Num: 32768\n", 1, "0 to 32767"},
        {"Printer Port Num: -1\n", 1, "0 to 32767"},
        {"Adhoc Channel: 15\n", 1, "0 to 14"},
        {"Inactivity Time: 3601\n", 1, "0 to 3600"},
        {"Inactivity Time: 99999999999999999999\n", 1, "0 to 3600"},
        {"Authentication: WPA3\n", 1, "not one of 'Open System'"},
        {"Cryptograph: WEP64/128\n", 1, "not one of"},
        {"IP Address: 192.168.1\n", 1, "dotted IPv4"},
        {"SSID: 0123456789012345678901234567890123\n", 1, "34 bytes, the field holds 32"},
        {"SSID: bad \\q escape\n", 1, "\\xHH"},
        {"SSID: nul\\x00inside\n", 1, "zero byte"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const ConfigFileError error = parseFails(c.text);
        EXPECT_EQ(error.line, c.line);
        EXPECT_NE(error.problem.find(c.problem), std::string::npos) << error.problem;
    }
    EXPECT_EQ(parseFails("SSID: a\nFoo: b\n").describe(), "line 2: unknown name 'Foo'");
}

TEST(ConfigFile, BoundsHoldForHugeFilesAndLines)
{
    EXPECT_EQ(parseFails(std::string(kMaxConfigFileBytes + 1, '#')).line, 0u);
    const ConfigFileError line = parseFails("# ok\nSSID: " + std::string(kMaxConfigLineBytes, 'x') + "\n");
    EXPECT_EQ(line.line, 2u);
    EXPECT_NE(line.problem.find("longer than"), std::string::npos);
}

TEST(WriteOptions, CommandsTakeTheirFileAndOptions)
{
    Options o;
    std::string problem;
    ASSERT_TRUE(parseOptions({"--port", "/dev/pts/3", "config", "write", "f.conf", "--dry-run"}, o, problem))
        << problem;
    EXPECT_EQ(o.command, "config write");
    EXPECT_EQ(o.file, "f.conf");
    EXPECT_TRUE(o.dryRun);

    Options c;
    ASSERT_TRUE(parseOptions({"--port", "COM1", "cert", "upload", "--type", "client-key", "key.pem"}, c, problem))
        << problem;
    EXPECT_EQ(c.command, "cert upload");
    EXPECT_EQ(c.certType, "client-key");
    EXPECT_EQ(c.file, "key.pem");

    const std::vector<std::vector<std::string>> refused = {
        {"--port", "COM1", "config", "write"},
        {"config", "write", "f"},
        {"--port", "COM1", "config", "read", "--dry-run"},
        {"--port", "COM1", "config", "write", "f", "--type", "ca"},
        {"--port", "COM1", "cert", "upload", "--type", "server", "f"},
    };
    for (const auto& words : refused) {
        Options r;
        EXPECT_FALSE(parseOptions(words, r, problem)) << words.back();
    }
}

} // namespace
