#include "corvane/cli/cli_options.h"

namespace corvane::cli {
namespace {

using platform::cli::CommandRow;
using platform::cli::OptionRow;
using platform::cli::ProgramTable;
using platform::cli::ValueKind;

OptionRow text(std::string name, std::string valueName, std::string help)
{
    OptionRow o;
    o.name = std::move(name);
    o.kind = ValueKind::Text;
    o.valueName = std::move(valueName);
    o.help = std::move(help);
    return o;
}

OptionRow integer(std::string name, long min, long max, std::string defaultText, std::string help)
{
    OptionRow o;
    o.name = std::move(name);
    o.kind = ValueKind::Integer;
    // Not `= "N"`: GCC 12 at -O3 reports a false -Wrestrict overlap for a
    // one-character literal assigned to a string.
    o.valueName.assign(1, 'N');
    o.min = min;
    o.max = max;
    o.defaultText = std::move(defaultText);
    o.help = std::move(help);
    return o;
}

OptionRow choice(std::string name, std::vector<platform::cli::Choice> choices, std::string defaultText,
                  std::string help)
{
    OptionRow o;
    o.name = std::move(name);
    o.kind = ValueKind::Choice;
    o.choices = std::move(choices);
    o.defaultText = std::move(defaultText);
    o.help = std::move(help);
    return o;
}

OptionRow flag(std::string name, std::string help)
{
    OptionRow o;
    o.name = std::move(name);
    o.help = std::move(help);
    return o;
}

ProgramTable makeTable()
{
    ProgramTable s;
    s.name = "corvane-cli";
    s.summary = "talk to a mobile receipt printer from the command line";
    s.commands = {
        CommandRow{{"identify"},
                    {},
                    "Open the port and ask the printer for its model, firmware version, code page and "
                    "MSR mode. Prints six lines:\n"
                    "  model: <model name>\n"
                    "  model code: <400, 401, 402, 440, 600 or 800>\n"
                    "  firmware: <firmware version text>\n"
                    "  version number: <firmware version number>\n"
                    "  code page: <code page name>\n"
                    "  msr mode: 0x<two hex digits>\n"
                    "Text from the printer is shown with bytes outside printable ASCII as \\xHH and "
                    "'\\' as \\\\."},
        CommandRow{{"firmware"},
                    {"FILE"},
                    "Send a firmware file (*.fls) to the printer unchanged, in 4096-byte pieces, with "
                    "progress on stderr when it is a terminal. Reset the printer afterwards."},
        CommandRow{{"switches", "get"},
                    {},
                    "Identify the printer and read its memory switches, serial settings, MSR sentinels, "
                    "RF interface and Bluetooth settings. Prints the six identify lines, then\n"
                    "  command form: gs|bs\n"
                    "and one 'Key: value' line per setting this printer has, in the order a set writes "
                    "them (Density, Speed, LCharMode, CodePage, QrCode, MaxiCode, DataMatrix, Pdf417, "
                    "TimeOff, TimeSave, Msr, Sentinel, Service, BeepLowBat, BeepPaper, FontType, MFI, "
                    "BlackMarkSensor, Baudrate, Parity, Flowcontrol, Databit, Track1Start .. Track3End, "
                    "RfInterface, BtConnectionMode, BtDeviceName, BtPinCode, BtSecurity). Numbers are the "
                    "printer's codes; BlackMarkSensor is two characters (00, 01, 10); texts are "
                    "double-quoted with \\\\, \\\" and \\xHH escapes. Nothing is saved. MFI is not read "
                    "from the printer: it is the value last saved on this computer."},
        CommandRow{{"switches", "set"},
                    {"FILE"},
                    "Read the printer's settings, change them and write them all back, then save them "
                    "on this computer. FILE ('-' for stdin) holds 'Key: value' lines as 'switches get' "
                    "prints them (its identity lines, blank lines and # comments are skipped; keys in any "
                    "case); --set options are applied after it. Texts may be \"quoted\", bare, or "
                    "hex:0A 1F 10 4C. Every value is checked before the port is opened; a value this "
                    "printer cannot take ends with error 107 before anything is written. Keys this "
                    "printer does not have are ignored with a warning. Bluetooth settings are written "
                    "only with --bluetooth. Switch the printer off and on afterwards.",
                    1},
        CommandRow{{"switches", "default"},
                    {},
                    "Identify the printer and restore its factory settings (memory switches, serial "
                    "settings, sentinels, Bluetooth). Nothing is saved on this computer. Switch the "
                    "printer off and on afterwards."},
        [] {
            CommandRow row{{"nv", "convert"},
                           {"FILE.bmp"},
                           "Without a printer: convert bitmaps into exactly the NV image commands a download "
                           "would send (key-code family: the define commands back to back; indexed family: the "
                           "define-all header, then one block per image) and write them to --out. Prints one "
                           "line per image\n"
                           "  image N: NAME WxH -> wxh key KK RASTER bytes, estimate E\n"
                           "(indexed: 'index I' instead of 'key KK'), then\n"
                           "  saved: FILE BYTES bytes\n"
                           "Without --key, keys are assigned as automatic addressing does for an empty printer "
                           "(10, 11, ..., 19, 20, ...). Every file is decoded and checked (capacity 262144 "
                           "bytes, at most 254 images, the size one command can carry) before anything is "
                           "written; an existing output file is only replaced once the new one is complete."};
            row.repeatLastArgument = true;
            return row;
        }(),
        CommandRow{{"nv", "preview"},
                    {"FILE.bmp"},
                    "Without a printer: convert one bitmap as 'nv convert' does and write the dots to --out: "
                    "FILE.pbm (P4, the width and height in dots, then exactly the raster bytes) or FILE.png "
                    "(a 1-bit greyscale picture)."},
        CommandRow{{"nv", "list"},
                    {},
                    "Identify the printer and list the NV images it holds:\n"
                    "  family: key-code|indexed\n"
                    "  count: N\n"
                    "  address: KK   (one line per image; indexed printers: 00, 01, ... from the count "
                    "this computer stored at the last download)"},
        [] {
            CommandRow row{{"nv", "download"},
                           {"FILE.bmp"},
                           "Convert the bitmaps for the printer that answers (its family and width) and "
                           "download them: key-code printers keep them under --key codes or automatic ones "
                           "(10, 11, ... skipping the printer's own); indexed printers replace their whole "
                           "set. Every file, key and size is checked before the first image is sent. Prints "
                           "the 'nv convert' lines, 'download: N images, B bytes', then the new list."};
            row.repeatLastArgument = true;
            return row;
        }(),
        CommandRow{{"nv", "print"},
                    {"KK"},
                    "Print one stored image: KK on a key-code printer, --index N on an indexed one; "
                    "--all prints every stored image.",
                    1},
        CommandRow{{"nv", "delete"},
                    {"KK"},
                    "Delete one stored image by its key (key-code printers only), or --all of them.",
                    1},
    };
    s.options = {
        text("port", "NAME",
             "Serial: COM1..COMn (= /dev/ttyS0..) or a device path such as /dev/ttyUSB0, "
             "/dev/rfcomm0, /dev/pts/3.\n"
             "USB printer: /dev/usb/lpN.\n"
             "TCP/IP: NET followed by the IPv4 address, e.g. NET192.168.1.50.\n"
             "Without --port, the connection last saved by the Corvane window (Exit button) is used; "
             "options given here override its line settings."),
        integer("baud", 1, 4000000, "115200", "Serial baud rate."),
        integer("data-bits", 5, 8, "8", "Serial data bits."),
        choice("parity", {{"none", 0}, {"odd", 1}, {"even", 2}}, "none", "Serial parity."),
        choice("stop-bits", {{"1", 0}, {"2", 2}}, "1", "Serial stop bits."),
        choice("flow", {{"none", 0}, {"dtr", 1}}, "dtr", "Serial flow control; dtr is DTR/DSR."),
        integer("tcp-port", 1, 65535, "9100", "TCP port for NET addresses."),
        integer("stall-timeout", 1, 3600, "60",
                "Seconds without a byte accepted before a transfer fails; printers may hold flow "
                "control off while they erase flash."),
        flag("json", "Print the result as one JSON object on stdout (also on failure)."),
        [] {
            OptionRow o = text("set", "KEY=VALUE", "switches set: change one setting (repeatable; applied in order, "
                                                   "after FILE).");
            o.repeatable = true;
            return o;
        }(),
        flag("bluetooth", "switches set: also write the Bluetooth settings (name, PIN, mode, security)."),
        text("model", "NAME|CODE",
             "nv convert/preview: the printer the images are for (a download takes the printer that answers): KMP-Z400, KMP-Z400W, KMP-Z400II, VX 440, KMP-Z600, "
             "KMP-Z800 or the model code (400, 401, 402, 440, 600, 800). Default KMP-Z400. The wide models "
             "(600, 800) take 832 dots in the key-code family; everything else 384."),
        choice("family", {{"key-code", 0}, {"indexed", 1}}, "key-code",
               "nv convert/preview: the printer's NV command family (indexed: firmware numbers 21000..100999)."),
        [] {
            OptionRow o = integer("brightness", 0, 100, "0",
                                  "nv: lighten the printed dots (0 none .. 100 at most one dot in 16). Given "
                                  "once it applies to every file; given k times, k must equal the number of "
                                  "files.");
            o.repeatable = true;
            return o;
        }(),
        [] {
            OptionRow o = text("key", "KK",
                               "nv convert/download: the key code of one image: exactly two bytes, \\xHH escapes "
                               "allowed, no NUL, no duplicates; give one per file, in order.");
            o.repeatable = true;
            return o;
        }(),
        text("out", "FILE", "nv convert/preview: the file to write (replaced atomically)."),
        integer("index", 0, 255, "", "nv print: the position of the image in an indexed printer's set."),
        flag("all", "nv print/delete: every stored image."),
    };
    s.exitStatuses = {
        {0, "success"},
        {1, "the printer exchange or the port failed"},
        {2, "usage error, no connection to use, an unreadable firmware file or settings refused before "
            "the port was opened; nothing was sent"},
        {129, "stopped by SIGHUP; the port was released"},
        {130, "stopped by SIGINT (Ctrl+C); the port was released"},
        {143, "stopped by SIGTERM; the port was released"},
    };
    s.resultCodes = {
        {"101", "port not open"},
        {"107", "printer model not recognised"},
        {"108", "reply header missing"},
        {"109", "reply format wrong"},
        {"300", "short write"},
        {"301", "no reply"},
        {"open", "the port did not open"},
        {"file", "the firmware file, the settings input or a bitmap could not be read"},
        {"401", "the NV images need more than 262144 bytes"},
        {"403", "more than 254 NV images"},
        {"too-large", "one image is too large for one NV image command"},
        {"save", "the output file could not be written"},
        {"key", "a key code is taken by the printer already"},
        {"unsupported", "the printer's NV family has no such operation"},
        {"send", "the firmware send failed"},
        {"usage", "the command line is wrong"},
        {"connection", "no port given and no connection saved"},
        {"signal", "stopped by a signal"},
    };
    s.epilogue = "On failure the lines before the error line give the system's reason and what to "
                 "check.\n"
                 "Environment: QUELLIX_REGISTRY names the settings file (default "
                 "~/.config/quellix/registry.reg).";
    return s;
}

} // namespace

const ProgramTable& programTable()
{
    static const ProgramTable table = makeTable();
    return table;
}

std::string usageText()
{
    return platform::cli::usageText(programTable());
}

std::string helpText()
{
    return platform::cli::helpText(programTable());
}

bool parseOptions(const std::vector<std::string>& words, Options& options, std::string& problem)
{
    const platform::cli::ParseResult parsed = platform::cli::parse(programTable(), words);
    if (!parsed.ok) {
        problem = parsed.problem;
        return false;
    }
    const platform::cli::ParsedArgs& a = parsed.args;
    options.help = a.help;
    if (a.help)
        return true;
    options.command = a.commandName();
    options.arguments = a.arguments;
    options.json = a.has("json");
    for (const platform::cli::OptionValue& v : a.values("set"))
        options.sets.push_back(v.text);
    options.bluetooth = a.has("bluetooth");
    options.model = a.text("model");
    options.familyGiven = a.has("family");
    options.indexedFamily = a.number("family", 0) == 1;
    for (const platform::cli::OptionValue& v : a.values("brightness"))
        options.brightness.push_back(static_cast<int>(v.number));
    for (const platform::cli::OptionValue& v : a.values("key"))
        options.keys.push_back(v.text);
    options.out = a.text("out");
    options.indexGiven = a.has("index");
    options.index = static_cast<int>(a.number("index", 0));
    options.all = a.has("all");
    const bool nvCommand = options.command.rfind("nv ", 0) == 0;
    if (!nvCommand && (a.has("model") || a.has("family") || a.has("brightness") || a.has("key") || a.has("out")
                       || a.has("index") || a.has("all"))) {
        problem = "--model, --family, --brightness, --key, --out, --index and --all belong to the nv commands";
        return false;
    }
    const bool offline = options.command == "nv convert" || options.command == "nv preview";
    if (nvCommand && !offline && (a.has("model") || a.has("family") || a.has("out"))) {
        problem = "--model, --family and --out belong to nv convert and nv preview: a printer says what it is";
        return false;
    }
    if (options.command == "nv print" || options.command == "nv delete") {
        const int ways = int(!options.arguments.empty()) + int(options.indexGiven) + int(options.all);
        if (ways != 1) {
            problem = options.command + " needs exactly one of KK, " + (options.command == "nv print" ? "--index N, " : "")
                      + "--all";
            return false;
        }
        if (options.command == "nv delete" && options.indexGiven) {
            problem = "nv delete takes KK or --all";
            return false;
        }
    } else if (nvCommand && (options.indexGiven || options.all)) {
        problem = "--index and --all belong to nv print and nv delete";
        return false;
    }
    if (nvCommand && !offline && options.command != "nv download" && (a.has("brightness") || a.has("key"))) {
        problem = "--brightness and --key belong to nv convert, nv preview and nv download";
        return false;
    }
    const bool setCommand = options.command == "switches set";
    if (!setCommand && (a.has("set") || a.has("bluetooth"))) {
        problem = "--set and --bluetooth belong to switches set";
        return false;
    }

    PortSettings& s = options.settings;
    options.portGiven = a.has("port");
    s.portName = a.text("port");
    options.baudGiven = a.has("baud");
    s.baudRate = static_cast<int>(a.number("baud", s.baudRate));
    options.lineGiven = a.has("data-bits") || a.has("parity") || a.has("stop-bits") || a.has("flow");
    s.dataBits = static_cast<int>(a.number("data-bits", s.dataBits));
    s.parity = static_cast<int>(a.number("parity", s.parity));
    s.stopBits = static_cast<int>(a.number("stop-bits", s.stopBits));
    s.flowControl = static_cast<int>(a.number("flow", s.flowControl));
    options.tcpPortGiven = a.has("tcp-port");
    options.tcpPort = static_cast<int>(a.number("tcp-port", options.tcpPort));
    options.stallTimeoutMs = static_cast<int>(a.number("stall-timeout", options.stallTimeoutMs / 1000) * 1000);
    return true;
}

} // namespace corvane::cli
