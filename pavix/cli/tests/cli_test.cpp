// pavix-cli's option rules, its text forms and its error lines, without a
// board.
#include "pavix/cli/bss_text.h"
#include "pavix/cli/cli_jobs.h"
#include "pavix/cli/cli_options.h"
#include "pavix/cli/config_text.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <sstream>

using namespace pavix;
using namespace pavix::cli;

namespace {

std::vector<std::string> splitLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

bool parses(const std::vector<std::string>& words, Options& options)
{
    std::string problem;
    return parseOptions(words, options, problem);
}

std::string refusal(const std::vector<std::string>& words)
{
    Options options;
    std::string problem;
    EXPECT_FALSE(parseOptions(words, options, problem)) << "accepted: " << words.back();
    return problem;
}

TEST(PavixCliOptions, AcceptsTheDocumentedCommandLines)
{
    Options o;
    ASSERT_TRUE(parses({"ports"}, o));
    EXPECT_EQ(o.command, "ports");

    o = {};
    ASSERT_TRUE(parses({"--port", "USB001", "--read-timeout", "250", "sysinfo"}, o));
    EXPECT_EQ(o.command, "sysinfo");
    EXPECT_EQ(o.port, "USB001");
    EXPECT_EQ(o.readTimeoutMs, 250);

    o = {};
    ASSERT_TRUE(parses({"--port", "/dev/pts/3", "config", "read", "--output", "board.txt", "--json"}, o));
    EXPECT_EQ(o.command, "config read");
    EXPECT_EQ(o.output, "board.txt");
    EXPECT_TRUE(o.json);
    EXPECT_EQ(o.readTimeoutMs, 5000) << "the default first-byte bound";

    o = {};
    ASSERT_TRUE(parses({"bss", "--tcp", "127.0.0.1", "--tcp-port", "4000"}, o));
    EXPECT_EQ(o.tcpAddress, "127.0.0.1");
    EXPECT_EQ(o.tcpPort, 4000);

    o = {};
    ASSERT_TRUE(parses({"bss", "--tcp", "10.0.0.2"}, o));
    EXPECT_EQ(o.tcpPort, 3318);

    o = {};
    ASSERT_TRUE(parses({"--version"}, o));
    EXPECT_TRUE(o.version);
}

TEST(PavixCliOptions, RefusesWhatDoesNotBelongTogether)
{
    EXPECT_NE(refusal({"sysinfo"}).find("--port"), std::string::npos);
    EXPECT_NE(refusal({"bss"}).find("--tcp"), std::string::npos);
    refusal({"--port", "COM1", "bss", "--tcp", "127.0.0.1"});
    refusal({"bss", "--tcp", "127.0.0.1", "--read-timeout", "100"});
    refusal({"--port", "COM1", "bss", "--tcp-port", "3318"});
    refusal({"--port", "COM1", "sysinfo", "--output", "x"});
    refusal({"--port", "COM1", "sysinfo", "--tcp", "127.0.0.1"});
    refusal({"ports", "--port", "COM1"});
    EXPECT_NE(refusal({"bss", "--tcp", "printer.local"}).find("IPv4"), std::string::npos);
    refusal({"bss", "--tcp", "300.1.1.1"});
    refusal({"--port", "COM1", "--read-timeout", "0", "sysinfo"});
    refusal({"--port", "COM1", "config"});
    refusal({"--port", "COM1", "config", "write"});
}

TEST(PavixCliOptions, HelpDocumentsEveryOption)
{
    const std::string help = helpText();
    for (const char* option : {"--port", "--read-timeout", "--output", "--tcp", "--tcp-port", "--json", "--version"})
        EXPECT_NE(help.find(option), std::string::npos) << option;
    for (const char* command : {"ports", "sysinfo", "config read", "bss"})
        EXPECT_NE(help.find(command), std::string::npos) << command;
}

IfConfigRecord oddRecord()
{
    IfConfigRecord r;
    r.printerName = "Shop\\front\x01";
    r.printerPort = 9100;
    r.userId = "admin";
    r.https = 1;
    r.telnet = 7;
    r.networkMode = 2;
    r.adhocChannel = 11;
    r.ssid = std::string(32, 'S');
    r.inactivityTime = 3600;
    r.ipAssignment = 0;
    r.ipAddress = {192, 168, 1, 50};
    r.subnetMask = {255, 255, 255, 0};
    r.gateway = {192, 168, 1, 1};
    r.trapAddress = {10, 0, 0, 255};
    r.authentication = 9;
    r.cryptograph = 5;
    r.eapMode = 6;
    r.pskKey = "key with spaces";
    return r;
}

TEST(PavixConfigText, TwentySevenNamedLinesInTheWindowsOrder)
{
    const std::vector<std::string> lines = splitLines(ConfigText(oddRecord()));
    ASSERT_EQ(lines.size(), 27u);
    for (std::size_t i = 0; i < lines.size(); ++i)
        EXPECT_EQ(lines[i].rfind(std::string(kConfigFieldNames[i]) + ": ", 0), 0u) << lines[i];
    EXPECT_EQ(kConfigFieldNames.front(), "Printer Name");
    EXPECT_EQ(kConfigFieldNames.back(), "Auth Password/Certification Key(EAP-TLS)");
}

TEST(PavixConfigText, ValuesAreShownEscapedWithTableTexts)
{
    const std::vector<std::string> lines = splitLines(ConfigText(oddRecord()));
    ASSERT_EQ(lines.size(), 27u);
    EXPECT_EQ(lines[0], "Printer Name: Shop\\\\front\\x01");
    EXPECT_EQ(lines[1], "Printer Port Num: 9100");
    EXPECT_EQ(lines[3], "User Password: ") << "empty values still get their line";
    EXPECT_EQ(lines[4], "Https: Enable");
    EXPECT_EQ(lines[5], "Telnet: Unknown (7)");
    EXPECT_EQ(lines[6], "Ftp: Disable");
    EXPECT_EQ(lines[10], "Trap IP Address: 10.0.0.255");
    EXPECT_EQ(lines[12], "Network Mode: Adhoc") << "2 is ad hoc";
    EXPECT_EQ(lines[13], "Adhoc Channel: 11");
    EXPECT_EQ(lines[14], "SSID: " + std::string(32, 'S'));
    EXPECT_EQ(lines[15], "Inactivity Time: 3600");
    EXPECT_EQ(lines[16], "IP Assignment method: Manual allocation");
    EXPECT_EQ(lines[17], "IP Address: 192.168.1.50");
    EXPECT_EQ(lines[18], "Subnet Mask: 255.255.255.0");
    EXPECT_EQ(lines[19], "Gateway: 192.168.1.1");
    EXPECT_EQ(lines[20], "Authentication: Unknown (9)");
    EXPECT_EQ(lines[21], "Cryptograph: AES + TKIP");
    EXPECT_EQ(lines[23], "PSK Key: key with spaces");
    EXPECT_EQ(lines[24], "EAP Mode: Unknown (6)");
}

TEST(PavixConfigText, SystemInformationLines)
{
    const SystemInfo info{"V2.\x7f", "2024", {0x00, 0x1b, 0xAA, 0x0f, 0xf0, 0xff}};
    EXPECT_EQ(SystemInfoRecord(info).lines(),
              "Firmware Version: V2.\\x7f\nUpdate Date: 2024\nMac Address: 00-1B-AA-0F-F0-FF\n");
}

BssEntry entry(std::string ssid, std::uint8_t last, std::uint8_t mode, std::int16_t rssi, std::uint8_t flags)
{
    return BssEntry{std::move(ssid), {0x00, 0x1A, 0x2B, 0x3C, 0x4D, last}, mode, rssi, flags};
}

TEST(PavixBssText, RowsAsTheAccessPointListShowsThem)
{
    BssTable table;
    table.entries = {entry("office", 0x0E, 0, -40, kBssWpa | kBssWpa2), entry("tab\there", 0xF1, 2, -91, 0),
                     entry("wep", 1, 1, 5, kBssWep64 | kBssRsn2 | 0x80)};
    const std::vector<std::string> lines = splitLines(BssRows(table));
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0], "No\tSSID\tBSSID\tMode\tRSSI\tSecurity");
    EXPECT_EQ(lines[1], "1\toffice\t00-1A-2B-3C-4D-0E\tInfrastructure\t-40\tWPA/WPA2");
    EXPECT_EQ(lines[2], "2\ttab\\x09here\t00-1A-2B-3C-4D-F1\tAd hoc\t-91\tNo");
    EXPECT_EQ(lines[3], "3\twep\t00-1A-2B-3C-4D-01\tAd hoc\t5\tWEP64/RSN2");
}

TEST(PavixBssText, ListStopsAtTheFirstZeroBssidOrAfter100Rows)
{
    BssTable table;
    table.entries = {entry("a", 1, 0, 0, 0), BssEntry{"end", {}, 0, 0, 0}, entry("after", 2, 0, 0, 0)};
    EXPECT_EQ(ShownBssEntries(table).size(), 1u);
    EXPECT_EQ(splitLines(BssRows(table)).size(), 2u);
    EXPECT_NE(BssJsonMembers(table).find("\"count\": 1"), std::string::npos);

    table.entries.assign(120, entry("x", 9, 0, 0, 0));
    EXPECT_EQ(ShownBssEntries(table).size(), kMaxBssRows);

    table.entries.clear();
    EXPECT_EQ(BssRows(table), "No\tSSID\tBSSID\tMode\tRSSI\tSecurity\n");
    EXPECT_EQ(BssJsonMembers(table), "\"count\": 0, \"access_points\": []");
}

TEST(PavixCliPorts, OneLinePerSerialAndUsbDevice)
{
    const std::vector<UsbDevice> usb{{"USB001", "/dev/usb/lp0", 0x1a2b, 0x0c21, true},
                                     {"USB002", "/dev/usb/lp2", 0x1a2b, 0x0C2A, false}};
    EXPECT_EQ(PortsText({"/dev/ttyS0"}, usb),
              "serial\t/dev/ttyS0\nusb\tUSB001\t/dev/usb/lp0\t1a2b:0c21\taccepted\n"
              "usb\tUSB002\t/dev/usb/lp2\t1a2b:0c2a\tother\n");
    EXPECT_EQ(PortsJsonMembers({}, {}), "\"serial\": [], \"usb\": []");
}

TEST(PavixCliErrors, OpenFailuresCarryThePartsMessagesAndTheReason)
{
    PrinterPort port;
    port.portName = "USB999";
    ASSERT_EQ(port.open(), OpenResult::NoUsbDevice);
    JobResult r = OpenFailure(OpenResult::NoUsbDevice, port);
    EXPECT_EQ(r.exitStatus, kExitFailed);
    EXPECT_EQ(r.errorCode, "usb");
    EXPECT_EQ(r.errorMessage, "Not Connect USB Device and Power off!");
    EXPECT_FALSE(r.reason.empty());

    port.portName = "/nonexistent/tty";
    ASSERT_EQ(port.open(), OpenResult::OpenFailed);
    r = OpenFailure(OpenResult::OpenFailed, port);
    EXPECT_EQ(r.errorCode, "open");
    EXPECT_EQ(r.errorMessage, "Failed a port open!");
    EXPECT_NE(r.reason.find("/nonexistent/tty"), std::string::npos);
}

TEST(PavixCliErrors, ErrorLineComesLastWithTheReasonBeforeIt)
{
    LinkResult link;
    link.status = LinkStatus::ReadFailed;
    link.stage = "opener";
    link.error = platform::OsError{EIO, "read", "/dev/usb/lp0"};
    const JobResult r = LinkFailure(link, 5000, false);
    std::ostringstream out, err;
    EXPECT_EQ(printResult(r, false, out, err), kExitFailed);
    EXPECT_TRUE(out.str().empty());
    const std::vector<std::string> lines = splitLines(err.str());
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines.front(), "read /dev/usb/lp0: Input/output error");
    EXPECT_EQ(lines.back(), "error link: Is not connected with the printer.");
}

TEST(PavixCliErrors, BssFailureShowsBothLinesOfItsMessage)
{
    LinkResult link;
    link.status = LinkStatus::NoReply;
    link.stage = "receive";
    const JobResult r = LinkFailure(link, 5000, true);
    std::ostringstream out, err;
    printResult(r, false, out, err);
    const std::vector<std::string> lines = splitLines(err.str());
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[lines.size() - 2], "Printer all the member and connection IP or confirm Port.");
    EXPECT_EQ(lines.back(), "error bss: Failed in BSS information acquisitions");

    std::ostringstream jsonOut, jsonErr;
    printResult(r, true, jsonOut, jsonErr);
    EXPECT_EQ(jsonOut.str().rfind("{\"ok\": false, \"error\": \"bss\", \"message\": \"Failed in BSS information "
                                  "acquisitions \\u000aPrinter all the member and connection IP or confirm Port.\"",
                                  0),
              0u)
        << jsonOut.str();
}

TEST(PavixCliErrors, StoppedCommandKeepsItsOwnErrorAsANote)
{
    JobResult r = failure(kExitFailed, "link", "Is not connected with the printer.");
    markStopped(r, 15, "SIGTERM");
    EXPECT_EQ(r.exitStatus, 143);
    EXPECT_EQ(r.errorCode, "signal");
    ASSERT_EQ(r.notes.size(), 1u);
    EXPECT_EQ(r.notes[0], "error link: Is not connected with the printer.");
}

TEST(PavixCliOutput, SuccessPrintsDataOnlyOnStdout)
{
    JobResult r;
    r.text = "Firmware Version: V1\n";
    r.jsonMembers = "\"Firmware_Version\": \"V1\"";
    r.status.push_back("saved: x");
    std::ostringstream out, err;
    EXPECT_EQ(printResult(r, false, out, err), kExitOk);
    EXPECT_EQ(out.str(), "Firmware Version: V1\n");
    EXPECT_EQ(err.str(), "saved: x\n");
    std::ostringstream jsonOut, jsonErr;
    printResult(r, true, jsonOut, jsonErr);
    EXPECT_EQ(jsonOut.str(), "{\"ok\": true, \"Firmware_Version\": \"V1\"}\n");
}

} // namespace
