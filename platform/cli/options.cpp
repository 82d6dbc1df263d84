#include "platform/cli/options.h"

#include <algorithm>
#include <charconv>
#include <sstream>

namespace platform::cli {
namespace {

constexpr std::size_t kLineWidth = 79;
constexpr std::size_t kMaxLeftColumn = 26;

std::string join(const std::vector<std::string>& parts, std::string_view separator)
{
    std::string out;
    for (const std::string& part : parts) {
        if (!out.empty())
            out += separator;
        out += part;
    }
    return out;
}

// "a, b or c"
std::string listOfChoices(const std::vector<Choice>& choices)
{
    std::string out;
    for (std::size_t i = 0; i < choices.size(); ++i) {
        if (i > 0)
            out += i + 1 == choices.size() ? " or " : ", ";
        out += choices[i].name;
    }
    return out;
}

std::string valueShown(const OptionRow& option)
{
    if (!option.valueName.empty())
        return option.valueName;
    switch (option.kind) {
    case ValueKind::None:
        return {};
    case ValueKind::Text:
        return "TEXT";
    case ValueKind::Integer:
        return "N";
    case ValueKind::Choice: {
        std::vector<std::string> names;
        for (const Choice& choice : option.choices)
            names.push_back(choice.name);
        return join(names, "|");
    }
    }
    return {};
}

std::string longForm(const OptionRow& option)
{
    std::string out = "--" + option.name;
    if (option.kind != ValueKind::None)
        out += " " + valueShown(option);
    return out;
}

// What the user may type instead, for a refused value.
std::string allowedValues(const OptionRow& option)
{
    switch (option.kind) {
    case ValueKind::Integer:
        return " (" + std::to_string(option.min) + ".." + std::to_string(option.max) + ")";
    case ValueKind::Choice:
        return " (" + listOfChoices(option.choices) + ")";
    case ValueKind::Text:
    case ValueKind::None:
        break;
    }
    return {};
}

bool parseNumber(const std::string& text, long& out)
{
    if (text.empty())
        return false;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, out);
    return ec == std::errc() && ptr == end;
}

// Checks and converts one value; false when the option refuses it.
bool convert(const OptionRow& option, const std::string& text, OptionValue& out)
{
    out.text = text;
    switch (option.kind) {
    case ValueKind::None:
        return true;
    case ValueKind::Text:
        return !text.empty();
    case ValueKind::Integer:
        return parseNumber(text, out.number) && out.number >= option.min && out.number <= option.max;
    case ValueKind::Choice:
        for (const Choice& choice : option.choices) {
            if (choice.name == text) {
                out.number = choice.value;
                return true;
            }
        }
        return false;
    }
    return false;
}

const OptionRow* findLong(const ProgramTable& table, std::string_view name)
{
    for (const OptionRow& option : table.options)
        if (option.name == name)
            return &option;
    return nullptr;
}

const OptionRow* findShort(const ProgramTable& table, char name)
{
    for (const OptionRow& option : table.options)
        if (option.shortName != 0 && option.shortName == name)
            return &option;
    return nullptr;
}

std::string commandName(const CommandRow& command)
{
    return join(command.words, " ");
}

std::string commandSynopsis(const CommandRow& command)
{
    std::string out = commandName(command);
    const std::size_t required = command.arguments.size() - std::min(command.optionalArguments, command.arguments.size());
    for (std::size_t k = 0; k < command.arguments.size(); ++k)
        out += k < required ? " " + command.arguments[k] : " [" + command.arguments[k] + "]";
    if (command.repeatLastArgument && !command.arguments.empty())
        out += "...";
    return out;
}

// Picks the command the positional words start with (the longest match) and
// hands it the rest as arguments.
bool matchCommand(const ProgramTable& table, const std::vector<std::string>& positional, ParseResult& result)
{
    if (table.commands.empty()) {
        if (positional.empty())
            return true;
        result.problem = "unexpected argument '" + positional.front() + "'";
        return false;
    }
    if (positional.empty()) {
        result.problem = "no command given";
        return false;
    }
    const CommandRow* best = nullptr;
    for (const CommandRow& command : table.commands) {
        const auto& words = command.words;
        if (words.empty() || words.size() > positional.size())
            continue;
        if (!std::equal(words.begin(), words.end(), positional.begin()))
            continue;
        if (best == nullptr || words.size() > best->words.size())
            best = &command;
    }
    if (best == nullptr) {
        std::vector<std::string> seconds;
        for (const CommandRow& command : table.commands)
            if (command.words.size() > 1 && command.words.front() == positional.front())
                seconds.push_back(command.words[1]);
        if (seconds.empty())
            result.problem = "unknown command '" + positional.front() + "'";
        else if (positional.size() == 1)
            result.problem = positional.front() + " needs one of: " + join(seconds, ", ");
        else
            result.problem = "unknown command '" + positional[0] + " " + positional[1] + "' (" + positional[0]
                             + " takes " + join(seconds, ", ") + ")";
        return false;
    }
    const std::size_t given = positional.size() - best->words.size();
    const std::size_t wanted = best->arguments.size();
    const std::size_t required = wanted - std::min(best->optionalArguments, wanted);
    const bool tooMany = given > wanted && !(best->repeatLastArgument && wanted > 0);
    if (given < required || tooMany) {
        const std::string name = commandName(*best);
        if (best->repeatLastArgument)
            result.problem = name + " needs at least " + std::to_string(required) + " argument"
                             + (required == 1 ? "" : "s") + ": " + commandSynopsis(*best).substr(name.size() + 1);
        else if (required != wanted)
            result.problem = name + " takes at most " + std::to_string(wanted) + " argument"
                             + (wanted == 1 ? "" : "s") + ": " + commandSynopsis(*best).substr(name.size() + 1);
        else if (wanted == 0)
            result.problem = name + " takes no arguments";
        else if (wanted == 1)
            result.problem = name + " needs exactly one " + best->arguments.front();
        else
            result.problem = name + " needs exactly " + std::to_string(wanted) + " arguments: "
                             + join(best->arguments, " ");
        return false;
    }
    result.args.command = best;
    result.args.arguments.assign(positional.begin() + static_cast<std::ptrdiff_t>(best->words.size()),
                                 positional.end());
    return true;
}

// Appending instead of "\n" + std::string(n, ' '): GCC 12 reports a false
// -Wrestrict overlap for a literal prepended to a temporary string.
void newLine(std::string& out, std::size_t indent)
{
    out += '\n';
    out.append(indent, ' ');
}

// Wraps `text` into lines of at most kLineWidth columns, the first starting
// at column `firstColumn` (already written by the caller), the others
// indented by `indent`. A '\n' in the text starts a new line; leading spaces
// of a line are kept as extra indentation for it and its continuations.
std::string wrap(const std::string& text, std::size_t firstColumn, std::size_t indent)
{
    std::string out;
    std::size_t column = firstColumn;
    bool firstLine = true;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        std::size_t extra = 0;
        while (extra < line.size() && line[extra] == ' ')
            ++extra;
        if (!firstLine) {
            newLine(out, indent);
            column = indent;
        }
        firstLine = false;
        out += std::string(extra, ' ');
        column += extra;
        const std::size_t lineStart = column;
        std::istringstream words(line.substr(extra));
        std::string word;
        bool lineEmpty = true;
        while (words >> word) {
            if (!lineEmpty && column + 1 + word.size() > kLineWidth) {
                newLine(out, lineStart);
                column = lineStart;
                lineEmpty = true;
            }
            if (!lineEmpty) {
                out += ' ';
                ++column;
            }
            out += word;
            column += word.size();
            lineEmpty = false;
        }
    }
    return out;
}

// Two-column rows: left text, then the wrapped help at a common column.
std::string twoColumns(const std::vector<std::pair<std::string, std::string>>& rows)
{
    std::size_t width = 0;
    for (const auto& [left, right] : rows)
        if (left.size() + 4 <= kMaxLeftColumn)
            width = std::max(width, left.size() + 4);
    std::string out;
    for (const auto& [left, right] : rows) {
        out += "  " + left;
        if (right.empty()) {
            out += "\n";
            continue;
        }
        std::size_t column = 2 + left.size();
        if (column + 2 > width) {
            newLine(out, width);
        } else {
            out += std::string(width - column, ' ');
        }
        column = width;
        out += wrap(right, column, width) + "\n";
    }
    return out;
}

std::string optionHelp(const OptionRow& option)
{
    std::vector<std::string> notes;
    if (option.kind == ValueKind::Integer)
        notes.push_back(std::to_string(option.min) + ".." + std::to_string(option.max));
    if (option.kind == ValueKind::Choice && !option.valueName.empty())
        notes.push_back(listOfChoices(option.choices));
    if (!option.defaultText.empty())
        notes.push_back("default " + option.defaultText);
    std::string help = option.help;
    if (!notes.empty()) {
        const bool period = !help.empty() && help.back() == '.';
        if (period)
            help.pop_back();
        help += (help.empty() ? "(" : " (") + join(notes, "; ") + ")" + (period ? "." : "");
    }
    if (option.repeatable)
        help += help.empty() ? "May be given more than once." : " May be given more than once.";
    return help;
}

} // namespace

std::string ParsedArgs::commandName() const
{
    return command == nullptr ? std::string{} : join(command->words, " ");
}

std::size_t ParsedArgs::count(std::string_view option) const
{
    const auto it = given_.find(option);
    return it == given_.end() ? 0 : it->second.size();
}

std::optional<OptionValue> ParsedArgs::value(std::string_view option) const
{
    const auto it = given_.find(option);
    if (it == given_.end() || it->second.empty())
        return std::nullopt;
    return it->second.back();
}

std::vector<OptionValue> ParsedArgs::values(std::string_view option) const
{
    const auto it = given_.find(option);
    return it == given_.end() ? std::vector<OptionValue>{} : it->second;
}

std::string ParsedArgs::text(std::string_view option, std::string fallback) const
{
    const auto v = value(option);
    return v ? v->text : fallback;
}

long ParsedArgs::number(std::string_view option, long fallback) const
{
    const auto v = value(option);
    return v ? v->number : fallback;
}

ParseResult parse(const ProgramTable& table, const std::vector<std::string>& words)
{
    ParseResult result;
    std::vector<std::string> positional;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < words.size(); ++i) {
        const std::string& word = words[i];
        if (optionsEnded || word.size() < 2 || word[0] != '-') {
            positional.push_back(word);
            continue;
        }
        if (word == "--") {
            optionsEnded = true;
            continue;
        }
        if (word == "-h" || word == "--help") {
            result.args.help = true;
            result.ok = true;
            return result;
        }
        const OptionRow* option = nullptr;
        std::string shown;
        std::optional<std::string> attached;
        if (word[1] == '-') {
            std::string name = word.substr(2);
            if (const auto eq = name.find('='); eq != std::string::npos) {
                attached = name.substr(eq + 1);
                name.resize(eq);
            }
            shown = "--" + name;
            option = findLong(table, name);
        } else {
            shown = word;
            if (word.size() == 2)
                option = findShort(table, word[1]);
        }
        if (option == nullptr) {
            result.problem = "unknown option " + shown;
            return result;
        }
        OptionValue value;
        if (option->kind == ValueKind::None) {
            if (attached) {
                result.problem = "option " + shown + " takes no value";
                return result;
            }
        } else {
            std::string text;
            if (attached) {
                text = *attached;
            } else if (i + 1 < words.size()) {
                text = words[++i];
            } else {
                result.problem = "option " + shown + " needs a value";
                return result;
            }
            if (!convert(*option, text, value)) {
                result.problem = "bad value '" + text + "' for " + shown + allowedValues(*option);
                return result;
            }
        }
        if (!option->repeatable && result.args.has(option->name)) {
            result.problem = "option " + shown + " given more than once";
            return result;
        }
        result.args.add(option->name, std::move(value));
    }
    result.ok = matchCommand(table, positional, result);
    return result;
}

ParseResult parse(const ProgramTable& table, int argc, const char* const* argv)
{
    std::vector<std::string> words;
    for (int i = 1; i < argc && argv != nullptr && argv[i] != nullptr; ++i)
        words.emplace_back(argv[i]);
    return parse(table, words);
}

std::string helpText(const ProgramTable& table)
{
    std::string out = table.name + " - " + table.summary + "\n\n";
    if (table.commands.empty())
        out += "usage: " + table.name + " [OPTIONS]\n";
    for (std::size_t i = 0; i < table.commands.size(); ++i)
        out += (i == 0 ? "usage: " : "       ") + table.name + " [OPTIONS] " + commandSynopsis(table.commands[i]) + "\n";

    std::vector<std::pair<std::string, std::string>> rows;
    if (!table.commands.empty()) {
        for (const CommandRow& command : table.commands)
            rows.emplace_back(commandSynopsis(command), command.help);
        out += "\nCommands:\n" + twoColumns(rows);
        rows.clear();
    }

    for (const OptionRow& option : table.options) {
        std::string left = option.shortName != 0 ? std::string("-") + option.shortName + ", " : std::string();
        rows.emplace_back(left + longForm(option), optionHelp(option));
    }
    rows.emplace_back("-h, --help", "Show this help and exit.");
    out += "\nOptions:\n" + twoColumns(rows);

    if (!table.exitStatuses.empty()) {
        rows.clear();
        for (const ExitStatusRow& row : table.exitStatuses)
            rows.emplace_back(std::to_string(row.status), row.meaning);
        out += "\nExit status:\n" + twoColumns(rows);
    }
    if (!table.resultCodes.empty()) {
        rows.clear();
        for (const ResultCodeRow& row : table.resultCodes)
            rows.emplace_back(row.code, row.meaning);
        out += "\nResult codes (the last line on stderr is 'error <code>: <message>'):\n" + twoColumns(rows);
    }
    if (!table.epilogue.empty())
        out += "\n" + wrap(table.epilogue, 0, 0) + "\n";
    return out;
}

std::string usageText(const ProgramTable& table)
{
    const std::string lead = "usage: " + table.name;
    std::string out = lead;
    std::size_t column = lead.size();
    std::vector<std::string> items;
    for (const OptionRow& option : table.options) {
        std::string shown = "[";
        shown += longForm(option);
        shown += option.repeatable ? "]..." : "]";
        items.push_back(std::move(shown));
    }
    if (!table.commands.empty())
        items.push_back("COMMAND");
    for (const std::string& item : items) {
        if (column + 1 + item.size() > kLineWidth) {
            newLine(out, lead.size());
            column = lead.size();
        }
        out += " " + item;
        column += 1 + item.size();
    }
    out += "\n";
    if (!table.commands.empty()) {
        std::vector<std::string> commands;
        for (const CommandRow& command : table.commands)
            commands.push_back(commandSynopsis(command));
        out += "commands: " + join(commands, " | ") + "\n";
    }
    out += "Try '" + table.name + " --help' for more.\n";
    return out;
}

} // namespace platform::cli
