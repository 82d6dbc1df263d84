#include "telvara/cli/switch_options.h"

#include <array>

namespace telvara::cli {
namespace {

using platform::cli::CommandRow;
using platform::cli::OptionRow;
using platform::cli::ValueKind;

OptionRow textRow(std::string name, std::string valueName, std::string help, bool repeatable = false)
{
    OptionRow o;
    o.name = std::move(name);
    o.kind = ValueKind::Text;
    o.valueName = std::move(valueName);
    o.help = std::move(help);
    o.repeatable = repeatable;
    return o;
}

OptionRow flagRow(std::string name, std::string help)
{
    OptionRow o;
    o.name = std::move(name);
    o.help = std::move(help);
    return o;
}

constexpr std::array<const char*, 8> kSettingNames{"speed",  "density",          "emulation",        "code-page",
                                                   "single-byte-font", "double-byte-font", "switch", "pin"};

bool takesSettings(const std::string& command)
{
    return command == "set" || command == "sts make";
}

} // namespace

std::vector<CommandRow> switchCommandRows()
{
    return {
        CommandRow{{"get"},
                   {},
                   "check, then read the printer's memory switches 1-6, 11, 12: prints model, firmware, language, "
                   "firmware-old, 'MSWn PPPPPPPP' (pins 8 to 1: 1 on, 0 off, - no change or missing) and the "
                   "decoded settings. A switch that does not answer fails the command (exit 1) and no file is "
                   "written."},
        CommandRow{{"set"},
                   {},
                   "check, get (unless --no-get), then --from or --initialize, then SETTINGS (speed, density, "
                   "emulation, code page, single, double byte font, then --switch and --pin in the order given), "
                   "and write the eight switches in the printer's user setting mode; prints 'sent MSWn "
                   "PPPPPPPP' (the characters sent, 2 leaves a pin alone)."},
        CommandRow{{"sts", "show"}, {"FILE.sts"}, "Print the switches and settings a status file holds."},
        CommandRow{{"sts", "make"},
                   {"FILE.sts"},
                   "Write a status file from --initialize and SETTINGS, as the window's Save would; no printer."},
        CommandRow{{"print-status"}, {}, "check, verify the printer and have it print its status sheet (1b 39 06)."},
        CommandRow{{"print-codepage"}, {}, "check, then have the printer print its full code page (1b 39 05)."},
    };
}

std::vector<OptionRow> switchOptionRows()
{
    return {
        textRow("save", "FILE.sts", "get: save the switches read as a status file (only after a complete get)."),
        textRow("from", "FILE.sts",
                "set: take switches 1, 2, 11, 12 from a status file (a bad file: nothing is sent)."),
        flagRow("initialize", "set, sts make: every pin of every switch off first."),
        flagRow("no-get", "set: do not read the switches first (pins not given are left alone)."),
        textRow("speed", "1..4|keep", "SETTINGS: print speed.", true),
        textRow("density", "1..3|keep", "SETTINGS: print density level.", true),
        textRow("emulation", "1..5|keep", "SETTINGS: emulation.", true),
        textRow("code-page", "N|keep", "SETTINGS: code page, its list position 0..36.", true),
        textRow("single-byte-font", "A|B|C|keep", "SETTINGS: single byte font.", true),
        textRow("double-byte-font", "KS5601|SHIFT-JIS|BIG5|GB2312|GB18030|single|keep",
                "SETTINGS: double byte font ('single' for the single byte font).", true),
        textRow("switch", "SW=PPPPPPPP", "SETTINGS: switch SW's pins 8 to 1 as 1 on, 0 off, - no change.", true),
        textRow("pin", "SW.P=on|off|keep", "SETTINGS: one pin.", true),
    };
}

std::vector<platform::cli::ResultCodeRow> switchResultCodes()
{
    return {
        {"printer", "Can't connect printer. Please restart printer. (no answer to the printer id query)"},
        {"incomplete", "Can't connect printer. Please restart printer. (a switch did not answer the get)"},
        {"link-lost", "Can't connect printer. Please restart printer. (a write of the set did not go out whole)"},
        {"product", "Don't use this program for other company product."},
        {"format", "Wrong format files loaded."},
        {"file", "Can't read the status file. / Can't save the status file."},
    };
}

bool IsSwitchCommand(const std::string& command)
{
    return command == "get" || command == "set" || command == "sts show" || command == "sts make"
           || command == "print-status" || command == "print-codepage";
}

bool parseSwitchArgs(const platform::cli::ParsedArgs& a, const std::vector<std::string>& words,
                     const std::string& command, SwitchArgs& out, std::string& problem)
{
    const auto belongs = [&](const char* name, bool ok, const char* where) {
        if (a.has(name) && !ok) {
            problem = std::string("--") + name + " belongs to " + where;
            return false;
        }
        return true;
    };
    if (!belongs("save", command == "get", "get") || !belongs("from", command == "set", "set")
        || !belongs("no-get", command == "set", "set")
        || !belongs("initialize", takesSettings(command), "set and sts make"))
        return false;
    for (const char* name : kSettingNames)
        if (!belongs(name, takesSettings(command), "set and sts make"))
            return false;
    out.save = a.text("save");
    out.from = a.text("from");
    out.initialize = a.has("initialize");
    out.noGet = a.has("no-get");
    if (!out.from.empty() && out.initialize) {
        problem = "--from and --initialize do not go together";
        return false;
    }
    if (!takesSettings(command))
        return true;
    // The SETTINGS in the order given.
    std::vector<std::string> settings;
    for (std::size_t i = 0; i < words.size(); ++i) {
        const std::string& w = words[i];
        if (w == "--")
            break;
        const std::string name = w.substr(0, w.find('='));
        if (!IsSettingOption(name))
            continue;
        if (name.size() < w.size()) {
            settings.push_back(w);
        } else if (i + 1 < words.size()) {
            settings.push_back(w);
            settings.push_back(words[++i]);
        }
    }
    SettingsParse parsed = ParseSettings(settings);
    if (parsed.error) {
        problem = *parsed.error;
        return false;
    }
    out.settings = std::move(parsed.request);
    return true;
}

} // namespace telvara::cli
