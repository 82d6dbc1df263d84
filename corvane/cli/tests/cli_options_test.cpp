#include "corvane/cli/cli_options.h"

#include <gtest/gtest.h>

#include <sstream>

namespace corvane::cli {
namespace {

std::vector<std::string> words(const std::string& line)
{
    std::istringstream in(line);
    std::vector<std::string> out;
    for (std::string w; in >> w;)
        out.push_back(w);
    return out;
}

Options parsed(const std::string& line)
{
    Options options;
    std::string problem;
    EXPECT_TRUE(parseOptions(words(line), options, problem)) << line << ": " << problem;
    return options;
}

TEST(CorvaneCommandLine, DefaultsAreTheWindowsDefaults)
{
    const Options o = parsed("identify");
    EXPECT_EQ(o.command, "identify");
    EXPECT_FALSE(o.portGiven);
    EXPECT_FALSE(o.baudGiven);
    EXPECT_FALSE(o.lineGiven);
    EXPECT_FALSE(o.tcpPortGiven);
    EXPECT_FALSE(o.json);
    EXPECT_EQ(o.settings.baudRate, 115200);
    EXPECT_EQ(o.settings.dataBits, 8);
    EXPECT_EQ(o.settings.parity, 0);
    EXPECT_EQ(o.settings.stopBits, 0);
    EXPECT_EQ(o.settings.flowControl, 1);
    EXPECT_EQ(o.tcpPort, 9100);
    EXPECT_EQ(o.stallTimeoutMs, 60000);
}

TEST(CorvaneCommandLine, OptionsFillTheConnection)
{
    const Options o = parsed("--port COM3 --baud 9600 --parity even --stop-bits 2 --data-bits 7 --flow none "
                             "--tcp-port 9200 --stall-timeout 5 --json firmware fw.fls");
    EXPECT_EQ(o.command, "firmware");
    EXPECT_EQ(o.arguments, std::vector<std::string>{"fw.fls"});
    EXPECT_TRUE(o.portGiven);
    EXPECT_EQ(o.settings.portName, "COM3");
    EXPECT_TRUE(o.baudGiven);
    EXPECT_EQ(o.settings.baudRate, 9600);
    EXPECT_TRUE(o.lineGiven);
    EXPECT_EQ(o.settings.parity, 2);
    EXPECT_EQ(o.settings.stopBits, 2);  // two stop bits are stored as 2, one as 0
    EXPECT_EQ(o.settings.dataBits, 7);
    EXPECT_EQ(o.settings.flowControl, 0);
    EXPECT_TRUE(o.tcpPortGiven);
    EXPECT_EQ(o.tcpPort, 9200);
    EXPECT_EQ(o.stallTimeoutMs, 5000);
    EXPECT_TRUE(o.json);
}

TEST(CorvaneCommandLine, AnyLineOptionMarksTheLineAsGiven)
{
    for (const char* line : {"--parity odd identify", "--data-bits 5 identify", "--stop-bits 1 identify",
                             "--flow dtr identify"})
        EXPECT_TRUE(parsed(line).lineGiven) << line;
    EXPECT_FALSE(parsed("--baud 9600 --tcp-port 1 --stall-timeout 1 identify").lineGiven);
}

TEST(CorvaneCommandLine, RefusesValuesOutsideTheTable)
{
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"--port COM1 frobnicate", "unknown command 'frobnicate'"},
        {"--port COM1 --parity mark identify", "bad value 'mark' for --parity (none, odd or even)"},
        {"--stop-bits 1.5 identify", "bad value '1.5' for --stop-bits (1 or 2)"},
        {"--data-bits 9 identify", "bad value '9' for --data-bits (5..8)"},
        {"--tcp-port 65536 identify", "bad value '65536' for --tcp-port (1..65535)"},
        {"--baud 0 identify", "bad value '0' for --baud (1..4000000)"},
        {"--stall-timeout 0 identify", "bad value '0' for --stall-timeout (1..3600)"},
        {"firmware", "firmware needs exactly one FILE"},
    };
    for (const auto& [line, problem] : cases) {
        Options options;
        std::string got;
        EXPECT_FALSE(parseOptions(words(line), options, got)) << line;
        EXPECT_EQ(got, problem) << line;
    }
}

TEST(CorvaneCommandLine, HelpNamesEveryOptionAndResultCode)
{
    Options o;
    std::string problem;
    ASSERT_TRUE(parseOptions({"--help"}, o, problem));
    EXPECT_TRUE(o.help);
    const std::string help = helpText();
    for (const char* piece : {"--port NAME", "--baud N", "--data-bits N", "--parity none|odd|even",
                              "--stop-bits 1|2", "--flow none|dtr", "--tcp-port N", "--stall-timeout N",
                              "--json", "-h, --help", "identify", "firmware FILE", "  model code: <400",
                              "  301 ", "  open ", "  signal ", "143  stopped by SIGTERM", "QUELLIX_REGISTRY"})
        EXPECT_NE(help.find(piece), std::string::npos) << piece << "\n" << help;
    const std::string usage = usageText();
    EXPECT_NE(usage.find("[--stall-timeout N]"), std::string::npos) << usage;
    EXPECT_NE(usage.find("commands: identify | firmware FILE"), std::string::npos) << usage;
}

} // namespace
} // namespace corvane::cli
