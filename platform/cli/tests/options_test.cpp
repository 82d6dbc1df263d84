#include "platform/cli/options.h"

#include <gtest/gtest.h>

#include <sstream>

namespace platform::cli {
namespace {

const ProgramTable& demo()
{
    static const ProgramTable table = [] {
        ProgramTable s;
        s.name = "demo";
        s.summary = "a program to try the table on";
        s.commands = {
            {{"identify"}, {}, "Ask the device who it is."},
            {{"firmware"}, {"FILE"}, "Send FILE."},
            {{"switches", "get"}, {}, "Read the switches."},
            {{"switches", "set"}, {"NAME", "VALUE"}, "Write one switch."},
        };
        OptionRow port{"port", 0, ValueKind::Text, "NAME", "Where the device is.", "", 0, 0, {}, false};
        OptionRow baud{"baud", 0, ValueKind::Integer, "N", "Baud rate.", "115200", 1, 4000000, {}, false};
        OptionRow parity{"parity", 0, ValueKind::Choice, "", "Parity.", "none", 0, 0,
                          {{"none", 0}, {"odd", 1}, {"even", 2}}, false};
        OptionRow json{"json", 'j', ValueKind::None, "", "Print JSON.", "", 0, 0, {}, false};
        OptionRow tag{"tag", 't', ValueKind::Text, "T", "Label the run.", "", 0, 0, {}, true};
        s.options = {port, baud, parity, json, tag};
        s.exitStatuses = {{0, "success"}, {1, "the device failed"}, {2, "usage error"}};
        s.resultCodes = {{"301", "no reply"}, {"open", "the port did not open"}};
        s.epilogue = "Environment: DEMO_HOME names the home.";
        return s;
    }();
    return table;
}

std::vector<std::string> words(const std::string& line)
{
    std::istringstream in(line);
    std::vector<std::string> out;
    for (std::string w; in >> w;)
        out.push_back(w);
    return out;
}

struct Good {
    std::vector<std::string> argv;
    std::string command;
    std::vector<std::string> arguments;
    std::string port;      // "" when not given
    long baud;             // -1 when not given
    long parity;           // -1 when not given
    bool json;
    std::vector<std::string> tags;
};

TEST(OptionTable, AcceptsGoodCommandLines)
{
    const std::vector<Good> cases = {
        {words("identify"), "identify", {}, "", -1, -1, false, {}},
        {words("--port COM3 identify"), "identify", {}, "COM3", -1, -1, false, {}},
        {words("--port=COM3 identify"), "identify", {}, "COM3", -1, -1, false, {}},
        {words("identify --port /dev/ttyUSB0"), "identify", {}, "/dev/ttyUSB0", -1, -1, false, {}},
        {words("--baud 9600 --parity even identify"), "identify", {}, "", 9600, 2, false, {}},
        {words("--baud=1 identify"), "identify", {}, "", 1, -1, false, {}},
        {words("--baud 4000000 identify"), "identify", {}, "", 4000000, -1, false, {}},
        {words("--parity=odd firmware fw.fls"), "firmware", {"fw.fls"}, "", -1, 1, false, {}},
        {words("firmware --json fw.fls"), "firmware", {"fw.fls"}, "", -1, -1, true, {}},
        {words("-j identify"), "identify", {}, "", -1, -1, true, {}},
        {words("-t a --tag b --tag=c identify"), "identify", {}, "", -1, -1, false, {"a", "b", "c"}},
        {words("switches get"), "switches get", {}, "", -1, -1, false, {}},
        {words("switches --json set speed 3"), "switches set", {"speed", "3"}, "", -1, -1, true, {}},
        // "--" ends the options: a file may start with a dash; "-" is a word.
        {words("firmware -- --odd-name.fls"), "firmware", {"--odd-name.fls"}, "", -1, -1, false, {}},
        {words("firmware -"), "firmware", {"-"}, "", -1, -1, false, {}},
        // A value is the next word even when it looks like an option.
        {words("--port --baud identify"), "identify", {}, "--baud", -1, -1, false, {}},
        // "=" inside an attached value belongs to the value.
        {words("--port=a=b identify"), "identify", {}, "a=b", -1, -1, false, {}},
    };
    for (const Good& c : cases) {
        const ParseResult r = parse(demo(), c.argv);
        const std::string line = ::testing::PrintToString(c.argv);
        ASSERT_TRUE(r.ok) << line << ": " << r.problem;
        EXPECT_FALSE(r.args.help) << line;
        EXPECT_EQ(r.args.commandName(), c.command) << line;
        EXPECT_EQ(r.args.arguments, c.arguments) << line;
        EXPECT_EQ(r.args.text("port"), c.port) << line;
        EXPECT_EQ(r.args.number("baud", -1), c.baud) << line;
        EXPECT_EQ(r.args.number("parity", -1), c.parity) << line;
        EXPECT_EQ(r.args.has("json"), c.json) << line;
        std::vector<std::string> tags;
        for (const OptionValue& v : r.args.values("tag"))
            tags.push_back(v.text);
        EXPECT_EQ(tags, c.tags) << line;
    }
}

TEST(OptionTable, RefusesBadCommandLinesWithTheExactProblem)
{
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"", "no command given"},
        {"--port COM1", "no command given"},
        {"frobnicate", "unknown command 'frobnicate'"},
        {"identify extra", "identify takes no arguments"},
        {"firmware", "firmware needs exactly one FILE"},
        {"firmware a b", "firmware needs exactly one FILE"},
        {"switches", "switches needs one of: get, set"},
        {"switches frob", "unknown command 'switches frob' (switches takes get, set)"},
        {"switches set speed", "switches set needs exactly 2 arguments: NAME VALUE"},
        {"--parity mark identify", "bad value 'mark' for --parity (none, odd or even)"},
        {"--baud 0 identify", "bad value '0' for --baud (1..4000000)"},
        {"--baud 4000001 identify", "bad value '4000001' for --baud (1..4000000)"},
        {"--baud 96x0 identify", "bad value '96x0' for --baud (1..4000000)"},
        {"--baud=+5 identify", "bad value '+5' for --baud (1..4000000)"},
        {"--baud= identify", "bad value '' for --baud (1..4000000)"},
        {"--port= identify", "bad value '' for --port"},
        {"identify --port", "option --port needs a value"},
        {"identify -t", "option -t needs a value"},
        {"--json=yes identify", "option --json takes no value"},
        {"--bogus identify", "unknown option --bogus"},
        {"--bogus=1 identify", "unknown option --bogus"},
        {"-x identify", "unknown option -x"},
        {"-jt identify", "unknown option -jt"},
        {"--baud 1 --baud 2 identify", "option --baud given more than once"},
        {"-j --json identify", "option --json given more than once"},
    };
    for (const auto& [line, problem] : cases) {
        const ParseResult r = parse(demo(), words(line));
        EXPECT_FALSE(r.ok) << line;
        EXPECT_EQ(r.problem, problem) << line;
    }
}

TEST(OptionTable, HelpStopsParsingWhereItStands)
{
    for (const char* line : {"--help", "-h", "--port COM1 --help frobnicate", "identify extra -h"}) {
        const ParseResult r = parse(demo(), words(line));
        EXPECT_TRUE(r.ok) << line;
        EXPECT_TRUE(r.args.help) << line;
    }
    // A problem before --help is still reported.
    EXPECT_FALSE(parse(demo(), words("--parity mark --help")).ok);
}

TEST(OptionTable, ArgvFormSkipsTheProgramName)
{
    const char* argv[] = {"demo", "--baud", "300", "firmware", "x.fls", nullptr};
    const ParseResult r = parse(demo(), 5, argv);
    ASSERT_TRUE(r.ok) << r.problem;
    EXPECT_EQ(r.args.number("baud", 0), 300);
    EXPECT_EQ(r.args.arguments, std::vector<std::string>{"x.fls"});
}

TEST(OptionTable, HelpDocumentsEveryOptionCommandExitStatusAndResultCode)
{
    const std::string help = helpText(demo());
    for (const char* piece : {"demo - a program to try the table on", "usage: demo [OPTIONS] identify",
                              "       demo [OPTIONS] switches set NAME VALUE", "  firmware FILE",
                              "--port NAME", "--baud N", "Baud rate (1..4000000; default 115200).",
                              "--parity none|odd|even", "Parity (default none).", "-j, --json",
                              "-t, --tag T", "May be given more than once.", "-h, --help", "Exit status:",
                              "  2 ", "usage error", "  open ", "the port did not open",
                              "Environment: DEMO_HOME"})
        EXPECT_NE(help.find(piece), std::string::npos) << piece << "\n" << help;
    std::istringstream lines(help);
    for (std::string line; std::getline(lines, line);)
        EXPECT_LE(line.size(), 79u) << line;
}

TEST(OptionTable, HelpWrapsLongTextAtTheHelpColumn)
{
    ProgramTable table = demo();
    table.options.front().help = std::string(20, 'a') + " " + std::string(20, 'b') + " " + std::string(20, 'c')
                                + "\n  indented line";
    const std::string help = helpText(table);
    const auto at = help.find("--port NAME");
    ASSERT_NE(at, std::string::npos);
    std::istringstream rest(help.substr(help.rfind('\n', at) + 1));
    std::string first, second, third;
    std::getline(rest, first);
    std::getline(rest, second);
    std::getline(rest, third);
    const auto column = first.find('a');
    ASSERT_NE(column, std::string::npos);
    EXPECT_NE(first.find('b'), std::string::npos) << first;
    EXPECT_EQ(second.find('c'), column) << second;
    EXPECT_EQ(third.find("indented"), column + 2) << third;
}

TEST(OptionTable, ShortUsageListsOptionsAndCommands)
{
    const std::string usage = usageText(demo());
    EXPECT_EQ(usage.rfind("usage: demo [--port NAME] [--baud N]", 0), 0u) << usage;
    EXPECT_NE(usage.find("[--tag T]..."), std::string::npos) << usage;
    EXPECT_NE(usage.find("commands: identify | firmware FILE | switches get | switches set NAME VALUE"),
              std::string::npos)
        << usage;
    EXPECT_NE(usage.find("Try 'demo --help' for more."), std::string::npos);
    std::istringstream lines(usage);
    for (std::string line; std::getline(lines, line);)
        EXPECT_LE(line.size(), 79u) << line;
}

// A program driven by options alone (a server picking its transport by a
// flag) has no command rows; it must then take no positional word at all.
ProgramTable optionsOnly()
{
    ProgramTable table = demo();
    table.name = "serve";
    table.commands.clear();
    return table;
}

TEST(OptionTable, WithoutCommandsOnlyOptionsAreAccepted)
{
    for (const char* line : {"", "--json", "--port COM1 --baud 300 -t a"}) {
        const ParseResult r = parse(optionsOnly(), words(line));
        ASSERT_TRUE(r.ok) << line << ": " << r.problem;
        EXPECT_EQ(r.args.command, nullptr) << line;
        EXPECT_TRUE(r.args.arguments.empty()) << line;
    }
    EXPECT_EQ(parse(optionsOnly(), words("--port COM1")).args.text("port"), "COM1");

    const std::vector<std::pair<std::string, std::string>> refused = {
        {"identify", "unexpected argument 'identify'"},
        {"--json extra", "unexpected argument 'extra'"},
        {"-- --json", "unexpected argument '--json'"},
        {"-", "unexpected argument '-'"},
        {"--baud 0", "bad value '0' for --baud (1..4000000)"},
    };
    for (const auto& [line, problem] : refused) {
        const ParseResult r = parse(optionsOnly(), words(line));
        EXPECT_FALSE(r.ok) << line;
        EXPECT_EQ(r.problem, problem) << line;
    }
}

TEST(OptionTable, WithoutCommandsHelpAndUsageShowNone)
{
    const std::string help = helpText(optionsOnly());
    EXPECT_NE(help.find("\nusage: serve [OPTIONS]\n"), std::string::npos) << help;
    EXPECT_EQ(help.find("Commands:"), std::string::npos) << help;
    EXPECT_NE(help.find("--baud N"), std::string::npos) << help;

    const std::string usage = usageText(optionsOnly());
    EXPECT_EQ(usage.rfind("usage: serve [--port NAME]", 0), 0u) << usage;
    EXPECT_EQ(usage.find("COMMAND"), std::string::npos) << usage;
    EXPECT_EQ(usage.find("commands:"), std::string::npos) << usage;
    EXPECT_NE(usage.find("Try 'serve --help' for more."), std::string::npos) << usage;
}

TEST(OptionTable, OptionalTrailingArguments)
{
    ProgramTable t;
    t.name = "opt";
    t.commands = {{{"load"}, {"FILE"}, "Load FILE or stdin.", 1}};
    EXPECT_TRUE(parse(t, std::vector<std::string>{"load"}).ok);
    const ParseResult one = parse(t, std::vector<std::string>{"load", "x"});
    ASSERT_TRUE(one.ok);
    EXPECT_EQ(one.args.arguments, std::vector<std::string>{"x"});
    const ParseResult two = parse(t, std::vector<std::string>{"load", "x", "y"});
    EXPECT_FALSE(two.ok);
    EXPECT_EQ(two.problem, "load takes at most 1 argument: [FILE]");
    EXPECT_NE(usageText(t).find("load [FILE]"), std::string::npos);
}

TEST(OptionTable, RepeatedLastArgument)
{
    ProgramTable t;
    t.name = "rep";
    CommandRow convert{{"nv", "convert"}, {"FILE"}, "Convert files."};
    convert.repeatLastArgument = true;
    t.commands = {convert};
    const ParseResult three = parse(t, std::vector<std::string>{"nv", "convert", "a", "b", "c"});
    ASSERT_TRUE(three.ok);
    EXPECT_EQ(three.args.arguments, (std::vector<std::string>{"a", "b", "c"}));
    const ParseResult none = parse(t, std::vector<std::string>{"nv", "convert"});
    EXPECT_FALSE(none.ok);
    EXPECT_EQ(none.problem, "nv convert needs at least 1 argument: FILE...");
    EXPECT_NE(usageText(t).find("nv convert FILE..."), std::string::npos);
}

} // namespace
} // namespace platform::cli
