#include "corvane/cli/cli_jobs.h"

#include <gtest/gtest.h>

#include <csignal>
#include <sstream>

namespace corvane::cli {
namespace {

struct Printed {
    int status;
    std::string out;
    std::string err;
};

Printed print(const JobResult& result, bool json)
{
    std::ostringstream out, err;
    const int status = printResult(result, json, out, err);
    return {status, out.str(), err.str()};
}

std::string lastLine(const std::string& text)
{
    std::string trimmed = text;
    if (!trimmed.empty() && trimmed.back() == '\n')
        trimmed.pop_back();
    const auto at = trimmed.rfind('\n');
    return at == std::string::npos ? trimmed : trimmed.substr(at + 1);
}

JobResult identified(const std::string& model, const std::string& firmware, const std::string& codePage)
{
    CCommonUtil util;
    util.modelName = model;
    util.g_Model = kModelZ400;
    util.firmwareVersion = firmware;
    util.g_Getver = 1040;
    util.codePage = codePage;
    util.msrMode = 5;
    JobResult r;
    r.data = identityRecord(util);
    return r;
}

TEST(IdentifyOutput, SixLinesAsBefore)
{
    const Printed p = print(identified("KMP-Z400", "VER V1.04", "_PC850"), false);
    EXPECT_EQ(p.status, kExitOk);
    EXPECT_EQ(p.out, "model: KMP-Z400\nmodel code: 400\nfirmware: VER V1.04\nversion number: 1040\n"
                     "code page: _PC850\nmsr mode: 0x05\n");
    EXPECT_EQ(p.err, "");
}

TEST(IdentifyOutput, PrinterTextCannotForgeLinesOrDriveTheTerminal)
{
    const Printed p = print(identified("KMP-Z400\nmodel code: 999", "\x1b[2J\x1b[HV1", "_PC\\850"), false);
    EXPECT_EQ(p.out, "model: KMP-Z400\\x0amodel code: 999\nmodel code: 400\nfirmware: \\x1b[2J\\x1b[HV1\n"
                     "version number: 1040\ncode page: _PC\\\\850\nmsr mode: 0x05\n");
    std::istringstream lines(p.out);
    int lineCount = 0;
    int modelCodeLines = 0;
    for (std::string line; std::getline(lines, line); ++lineCount)
        modelCodeLines += line.rfind("model code:", 0) == 0 ? 1 : 0;
    EXPECT_EQ(lineCount, 6);
    EXPECT_EQ(modelCodeLines, 1);
}

TEST(IdentifyOutput, JsonIsOneValidObject)
{
    const Printed p = print(identified("KMP\"Z400\n", "V\xe9", "_PC437"), true);
    EXPECT_EQ(p.status, kExitOk);
    EXPECT_EQ(p.out, "{\"ok\": true, \"model\": \"KMP\\\"Z400\\u000a\", \"model_code\": 400, "
                     "\"firmware\": \"V\\u00e9\", \"version_number\": 1040, \"code_page\": \"_PC437\", "
                     "\"msr_mode\": 5}\n");
}

JobResult sendFailed()
{
    JobResult r;
    r.exitStatus = kExitFailed;
    r.errorCode = "send";
    r.errorMessage = "Error : Send Failed!";
    r.reason = "write /dev/pts/9\nerror 0: forged: No space";
    r.hint = "Check the cable.";
    r.notes.push_back("sent 4096 of 10000 bytes");
    r.data.number("bytes sent", 4096).number("file bytes", 10000);
    return r;
}

TEST(FailureOutput, ReasonHintNotesThenTheErrorLineLast)
{
    const Printed p = print(sendFailed(), false);
    EXPECT_EQ(p.status, kExitFailed);
    EXPECT_EQ(p.out, "");  // nothing on stdout when the job failed
    // A file or device name from outside is escaped on stderr too, so it
    // cannot forge the error line.
    EXPECT_EQ(p.err, "write /dev/pts/9\\x0aerror 0: forged: No space\nCheck the cable.\n"
                     "sent 4096 of 10000 bytes\nerror send: Error : Send Failed!\n");
}

TEST(FailureOutput, JsonCarriesCodeReasonAndCounts)
{
    const Printed p = print(sendFailed(), true);
    EXPECT_EQ(p.out, "{\"ok\": false, \"error\": \"send\", \"message\": \"Error : Send Failed!\", "
                     "\"reason\": \"write /dev/pts/9\\u000aerror 0: forged: No space\", "
                     "\"hint\": \"Check the cable.\", \"bytes_sent\": 4096, \"file_bytes\": 10000}\n");
    EXPECT_EQ(lastLine(p.err), "error send: Error : Send Failed!");
}

TEST(StoppedOutput, SignalBecomesTheExitStatusAndTheLastLine)
{
    struct Case {
        int signal;
        const char* name;
        int status;
    };
    for (const Case c : {Case{SIGINT, "SIGINT", 130}, Case{SIGTERM, "SIGTERM", 143}, Case{SIGHUP, "SIGHUP", 129}}) {
        JobResult r = sendFailed();
        markStopped(r, c.signal, c.name);
        const Printed p = print(r, false);
        EXPECT_EQ(p.status, c.status);
        EXPECT_EQ(p.out, "");
        EXPECT_EQ(lastLine(p.err), std::string("error signal: stopped by ") + c.name + "; the port was released");
        // The job's own failure is kept, just before.
        EXPECT_NE(p.err.find("error send: Error : Send Failed!\nerror signal:"), std::string::npos) << p.err;
    }
}

TEST(StoppedOutput, AJobThatFinishedStillShowsItsData)
{
    JobResult r = identified("KMP-Z400", "VER V1.04", "_PC437");
    markStopped(r, SIGTERM, "SIGTERM");
    const Printed p = print(r, false);
    EXPECT_EQ(p.status, 143);
    EXPECT_EQ(p.out.rfind("model: KMP-Z400\n", 0), 0u) << p.out;
    EXPECT_EQ(p.err, "error signal: stopped by SIGTERM; the port was released\n");
    const Printed j = print(r, true);
    EXPECT_EQ(j.out.rfind("{\"ok\": false, \"error\": \"signal\", ", 0), 0u) << j.out;
    EXPECT_NE(j.out.find("\"model\": \"KMP-Z400\""), std::string::npos) << j.out;
}

} // namespace
} // namespace corvane::cli
