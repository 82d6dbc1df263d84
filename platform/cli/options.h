// Command lines from one table: what a program accepts, its help text and its
// short usage all come from the same ProgramTable, so they cannot drift apart.
//
// Grammar (GNU style; options may stand anywhere between the words):
//   --name            a flag (ValueKind::None); "--name=V" is refused
//   --name V          an option with a value, also "--name=V"
//   -c                the short form of a flag; "-c V" for a value
//   --                ends the options: every later word is positional
//   -                 a positional word (conventionally stdin)
//   -h, --help        always known: parse() stops there and sets help
// The first positional words name the command (one or two words:
// "identify", "switches get"); the rest are that command's arguments, whose
// count must match the command's table row. A table without command rows
// describes a program driven by options alone: it takes no positional words.
// An option not marked repeatable may be given once.
//
// No I/O and no device access here: the parser takes words and returns values
// or one problem text, so a program decides itself how to report it.
#pragma once

#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform::cli {

enum class ValueKind {
    None,     // a flag
    Text,     // any non-empty text
    Integer,  // decimal, within [min, max]
    Choice,   // one of the named choices; yields the choice's number
};

struct Choice {
    std::string name;
    long value = 0;
};

struct OptionRow {
    std::string name;          // long name without the dashes: "port"
    char shortName = 0;        // 0: none
    ValueKind kind = ValueKind::None;
    std::string valueName;     // "NAME", "N"; choices show as "a|b|c" when empty
    std::string help;          // one sentence or more; '\n' starts a new line
    std::string defaultText;   // shown as "default X"; empty: none shown
    long min = 0;              // Integer range
    long max = 0;
    std::vector<Choice> choices;
    bool repeatable = false;
};

struct CommandRow {
    std::vector<std::string> words;      // {"identify"}, {"switches", "get"}
    std::vector<std::string> arguments;  // names of the positional arguments
    std::string help;
    // The last this-many arguments may be left out ("[FILE]" in the usage).
    std::size_t optionalArguments = 0;
    // The last argument may be given any number of times, at least once
    // ("FILE..." in the usage).
    bool repeatLastArgument = false;
};

struct ExitStatusRow {
    int status = 0;
    std::string meaning;
};

// A result code a program reports as "error <code>: <message>".
struct ResultCodeRow {
    std::string code;
    std::string meaning;
};

struct ProgramTable {
    std::string name;         // "prog"
    std::string summary;      // one line: what the program is for
    std::vector<CommandRow> commands;
    std::vector<OptionRow> options;
    std::vector<ExitStatusRow> exitStatuses;
    std::vector<ResultCodeRow> resultCodes;
    std::string epilogue;     // free text at the end of --help (environment, ...)
};

// One option as given on the command line.
struct OptionValue {
    std::string text;         // as typed ("even"; empty for a flag)
    long number = 0;          // Integer: the value; Choice: the choice's value
};

class ParsedArgs {
public:
    bool help = false;
    const CommandRow* command = nullptr;  // null when help is set or the table has no commands
    std::vector<std::string> arguments;    // the command's positional arguments

    // The command's words joined by one space: "switches get".
    std::string commandName() const;

    bool has(std::string_view option) const { return count(option) > 0; }
    std::size_t count(std::string_view option) const;
    // The last given value, if any.
    std::optional<OptionValue> value(std::string_view option) const;
    // Every given value, in command-line order.
    std::vector<OptionValue> values(std::string_view option) const;
    std::string text(std::string_view option, std::string fallback = {}) const;
    long number(std::string_view option, long fallback) const;

    void add(const std::string& option, OptionValue value) { given_[option].push_back(std::move(value)); }

private:
    std::map<std::string, std::vector<OptionValue>, std::less<>> given_;
};

struct ParseResult {
    bool ok = false;
    std::string problem;  // when !ok: one line, e.g. "bad value 'mark' for --parity"
    ParsedArgs args;
};

// `words` are the arguments without the program name (argv + 1).
ParseResult parse(const ProgramTable& table, const std::vector<std::string>& words);
ParseResult parse(const ProgramTable& table, int argc, const char* const* argv);

// The full --help text.
std::string helpText(const ProgramTable& table);
// A few lines for a usage error: the synopsis, the commands, where to find
// more.
std::string usageText(const ProgramTable& table);

} // namespace platform::cli
