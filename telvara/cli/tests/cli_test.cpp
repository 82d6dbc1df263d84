// telvara-cli's option handling, connection resolution and output, on the
// fake printer: what a script reading it relies on.
#include "telvara/cli/cli_jobs.h"
#include "telvara/cli/cli_options.h"

#include "platform/testing/fake_devices.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include <stdlib.h>

namespace {

namespace fs = std::filesystem;
using platform::testing::Bytes;
using platform::testing::bytesOf;
using telvara::LinkKind;
using telvara::cli::Options;

Options parsed(const std::vector<std::string>& words)
{
    Options o;
    std::string problem;
    EXPECT_TRUE(telvara::cli::parseOptions(words, o, problem)) << problem;
    return o;
}

std::string problemOf(const std::vector<std::string>& words)
{
    Options o;
    std::string problem;
    EXPECT_FALSE(telvara::cli::parseOptions(words, o, problem));
    return problem;
}

class CliTest : public ::testing::Test {
protected:
    ~CliTest() override { fs::remove_all(dir_); }
    static fs::path makeDir()
    {
        char pattern[] = "/tmp/telvara-cli-XXXXXX";
        return ::mkdtemp(pattern) != nullptr ? fs::path(pattern) : fs::path("/nonexistent");
    }

    telvara::cli::JobResult run(const std::vector<std::string>& words)
    {
        return telvara::cli::runJob(parsed(words), devices_, clock_, store_);
    }
    static std::string printed(const telvara::cli::JobResult& r, bool json, std::string* err = nullptr)
    {
        std::ostringstream out;
        std::ostringstream e;
        telvara::cli::printResult(r, json, out, e);
        if (err != nullptr)
            *err = e.str();
        return out.str();
    }

    fs::path dir_ = makeDir();
    platform::RegistryStore store_{(dir_ / "registry.reg").string()};
    platform::ManualClock clock_;
    platform::testing::FakePrinter printer_{clock_};
    platform::testing::FakeDevices devices_{printer_, (dir_ / "dev").string()};
};

TEST(CliOptions, ValuesAndRefusals)
{
    const Options o = parsed({"--interface", "serial", "--port", "COM2", "--baud", "19200", "--parity", "mark",
                              "--stop-bits", "1.5", "--flow", "none", "--data-bits", "7", "check"});
    EXPECT_EQ(o.command, "check");
    EXPECT_EQ(o.baudRate, 19200);
    EXPECT_EQ(o.parity, 3);
    EXPECT_EQ(o.stopBits, 1);
    EXPECT_EQ(o.flowControl, 2);
    EXPECT_EQ(o.dataBits, 7);
    EXPECT_FALSE(problemOf({"--baud", "12345", "check"}).empty());
    EXPECT_FALSE(problemOf({"--parity", "marks", "check"}).empty());
    EXPECT_FALSE(problemOf({"--tcp-port", "0", "check"}).empty());
    EXPECT_NE(problemOf({"--port", "COM1", "ports"}).find("--port"), std::string::npos);
    EXPECT_NE(problemOf({"--no-takeover", "restore-queues"}).find("--no-takeover"), std::string::npos);
    EXPECT_NE(problemOf({"--port", "COM1", "restore-queues"}).find("--port"), std::string::npos);
    EXPECT_TRUE(parsed({"--no-takeover", "connection"}).noTakeover);
    EXPECT_TRUE(parsed({"--version"}).version);
    EXPECT_NE(telvara::cli::helpText().find("selftest"), std::string::npos);
}

TEST(CliOutput, LineBreaksFoldToOneSpace)
{
    EXPECT_EQ(telvara::cli::FoldLines("Fail to get printer ID.\r\n\r\nPlease retry connect"),
              "Fail to get printer ID. Please retry connect");
    EXPECT_EQ(telvara::cli::FoldLines("Printer is not connected by USB.\nPlease, turn on the printer!!"),
              "Printer is not connected by USB. Please, turn on the printer!!");
    EXPECT_EQ(telvara::cli::FoldLines("Error : Failed to connected \r\nPlease"), "Error : Failed to connected Please");
}

TEST_F(CliTest, ConnectionShowsTheResolvedSettings)
{
    const auto r = run({"--port", "COM3", "--parity", "space", "connection"});
    ASSERT_FALSE(r.failed()) << r.errorMessage;
    EXPECT_EQ(printed(r, false), "interface: serial\nport: COM3\ndevice: /dev/ttyS2\nbaud: 9600\ndata-bits: 8\n"
                                 "parity: space\nstop-bits: 1\nflow: hardware\n");
    const auto e = run({"--interface", "ethernet", "--port", "127.0.0.1", "connection"});
    EXPECT_EQ(printed(e, false), "interface: ethernet\nport: 127.0.0.1\naddress: 127.0.0.1\ntcp-port: 9100\n");
    const auto lpt = run({"--interface", "parallel", "connection"});
    EXPECT_NE(printed(lpt, false).find("device: " + (dir_ / "dev" / "lp0").string()), std::string::npos);
}

TEST_F(CliTest, AnInterfaceThatDisagreesWithThePortIsAUsageError)
{
    const auto r = run({"--interface", "parallel", "--port", "COM1", "connection"});
    EXPECT_EQ(r.exitStatus, telvara::cli::kExitUsage);
    const auto bad = run({"--port", "printer.local", "connection"});
    EXPECT_EQ(bad.errorCode, "config");
    EXPECT_EQ(bad.exitStatus, telvara::cli::kExitFailed);
}

TEST_F(CliTest, PrinterPresetFromTheRegistryStoreAndOptionsOverIt)
{
    const char* key = "SOFTWARE\\QUELLIX\\KTP-M882\\PSP\\Custom";
    ASSERT_TRUE(store_.writeString(key, "Port", "COM4:"));
    ASSERT_TRUE(store_.writeNumber(key, "BaudRate", 38400));
    ASSERT_TRUE(store_.writeNumber(key, "Parity", 2));
    const auto r = run({"--printer", "Custom_KTP-M882", "--flow", "xonxoff", "connection"});
    const std::string out = printed(r, false);
    EXPECT_NE(out.find("port: COM4\n"), std::string::npos);
    EXPECT_NE(out.find("baud: 38400\n"), std::string::npos);
    EXPECT_NE(out.find("parity: even\n"), std::string::npos);
    EXPECT_NE(out.find("flow: xonxoff\n"), std::string::npos);

    // No spooler to ask: the defaults, and why.
    const auto other = run({"--printer", "Office", "connection"});
    EXPECT_FALSE(other.failed());
    ASSERT_EQ(other.status.size(), 1u);
    EXPECT_NE(other.status[0].find("Office"), std::string::npos);
    EXPECT_NE(printed(other, false).find("port: COM1\n"), std::string::npos);
}

TEST_F(CliTest, CheckPrintsMakerAndModelAndTheStatusLine)
{
    printer_.onWrite = [this](const Bytes& w) {
        if (w == Bytes{0x1d, 0x49, 0x03})
            printer_.reply({'c'});
        if (w == Bytes{0x1d, 0x49, 0x42})
            printer_.reply(bytesOf("_QUELLIX", true));
        if (w == Bytes{0x1d, 0x49, 0x43})
            printer_.reply(bytesOf("_KTP-M882", true));
    };
    std::string err;
    const auto r = run({"--port", "/dev/pts/9", "selftest"});
    EXPECT_EQ(printed(r, false, &err), "maker: QUELLIX\nmodel: KTP-M882\nselftest: sent\n");
    EXPECT_EQ(err, "status: Printer is connected.\n");
    EXPECT_EQ(printer_.writes.back(), (Bytes{0x1d, 0x28, 0x41, 0x02, 0x00, 0x01, 0x02}));
    EXPECT_FALSE(printer_.isOpen);  // released when the command ends
    EXPECT_EQ(printed(r, true), "{\"ok\": true, \"status\": [\"Printer is connected.\"], \"maker\": \"QUELLIX\", "
                                "\"model\": \"KTP-M882\", \"selftest\": \"sent\"}\n");
}

TEST_F(CliTest, AFailedCheckEndsWithItsErrorLine)
{
    std::string err;
    const auto r = run({"--port", "COM1", "check"});
    EXPECT_EQ(r.exitStatus, telvara::cli::kExitFailed);
    EXPECT_EQ(printed(r, false, &err), "");
    const std::string last = err.substr(err.rfind('\n', err.size() - 2) + 1);
    EXPECT_EQ(last, "error printer-id: Fail to get printer ID. Please retry connect\n");
}

TEST_F(CliTest, UsbPortsWithNoneFoundFailWithTheNotice)
{
    std::string err;
    const auto r = run({"--interface", "usb", "ports"});
    EXPECT_EQ(r.errorCode, "usb");
    printed(r, false, &err);
    EXPECT_NE(err.find("status: Printer is not connected by USB. Please, turn on the printer!!\n"), std::string::npos);
    const auto lpt = run({"--interface", "parallel", "ports"});
    EXPECT_EQ(printed(lpt, false), "LPT1\nLPT2\nLPT3\n");
    EXPECT_EQ(printed(lpt, true), "{\"ok\": true, \"ports\": [\"LPT1\", \"LPT2\", \"LPT3\"]}\n");
}

} // namespace
