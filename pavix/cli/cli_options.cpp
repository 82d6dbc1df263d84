#include "pavix/cli/cli_options.h"

#include <arpa/inet.h>

namespace pavix::cli {
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

OptionRow integer(std::string name, std::string valueName, long min, long max, std::string defaultText,
                  std::string help)
{
    OptionRow o;
    o.name = std::move(name);
    o.kind = ValueKind::Integer;
    o.valueName = std::move(valueName);
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
    s.name = "pavix-cli";
    s.summary = "read a printer's WLAN/Ethernet interface board over serial, USB or TCP, and find and set boards over UDP";
    s.commands = {
        CommandRow{{"ports"},
                   {},
                   "List the ports a board can be on, one line each:\n"
                   "  serial<TAB>DEVICE\n"
                   "  usb<TAB>USBnnn<TAB>DEVICE<TAB>VVVV:PPPP<TAB>accepted|other\n"
                   "USBnnn is the device's position in the full USB list; 'accepted' marks the board's "
                   "product ids (0c21, 0c28, 0c29), the only USB devices the other commands open."},
        CommandRow{{"sysinfo"},
                   {},
                   "Ask the board for its system information. Prints\n"
                   "  Firmware Version: <text>\n"
                   "  Update Date: <text>\n"
                   "  Mac Address: AA-BB-CC-DD-EE-FF"},
        CommandRow{{"config", "read"},
                   {},
                   "Read the system information and the whole interface configuration. Prints the three "
                   "sysinfo lines, then 27 'Name: Value' lines: Printer Name, Printer Port Num, User ID, "
                   "User Password, Https, Telnet, Ftp, Snmp, Set Community, Get Community, Trap IP Address, "
                   "Trap Community, Network Mode, Adhoc Channel, SSID, Inactivity Time, IP Assignment method, "
                   "IP Address, Subnet Mask, Gateway, Authentication, Cryptograph, WEP Key, PSK Key, EAP Mode, "
                   "Auth ID, Auth Password/Certification Key(EAP-TLS). Codes the board sends that have no "
                   "text show as 'Unknown (N)'. Text from the board is shown with bytes outside printable "
                   "ASCII as \\xHH and '\\' as \\\\."},
        CommandRow{{"bss"},
                   {},
                   "List the access points the board sees, over the serial/USB link (--port) or over the "
                   "network (--tcp). Prints a heading and one row per access point:\n"
                   "  No<TAB>SSID<TAB>BSSID<TAB>Mode<TAB>RSSI<TAB>Security\n"
                   "BSSID as AA-BB-CC-DD-EE-FF, Mode Infrastructure or Ad hoc, Security the flags joined by "
                   "'/' (WEP64, WEP128, WPA, WPA2, RSN1, RSN2) or No. The list stops at the first entry "
                   "without a BSSID, and after 100 rows."},
        CommandRow{{"config", "write"},
                   {"FILE"},
                   "Write a whole interface configuration. FILE holds 'Name: Value' lines as "
                   "'config read --output' writes them (blank and '#' lines ignored; a name left out keeps "
                   "the board's value; texts take \\xHH and \\\\; enumerations their texts in any case; "
                   "'Adhoc Channel: -' is 0). The board is read first, then every page's checks run as the "
                   "window's: a refusal exits 2 with its message and nothing is written. Prints 'Completed a "
                   "configuration.', 'Reset the printer.' and the 27 rows No<TAB>Name<TAB>Value. With "
                   "--dry-run only the rows, nothing written."},
        CommandRow{{"cert", "upload"},
                   {"FILE"},
                   "Upload a PEM certificate or key (--type) in checksummed chunks. FILE must be a regular "
                   "file under 3072 bytes beginning '-----BEGIN ' and holding '-----END', or nothing is sent "
                   "(exit 2). The board is read first; on success prints 'Completed to upload the "
                   "certification document.' and 'Reset the printer.'."},
    };
    for (CommandRow& row : netCommandRows())
        s.commands.push_back(std::move(row));
    s.options = {
        text("port", "PATH|COMn|USBnnn",
             "The board's link: a serial device path (/dev/ttyUSB0, /dev/pts/3), COMn (= /dev/ttyS(n-1)), "
             "USBnnn as 'ports' lists it, or a USB printer device path (/dev/usb/lpN). Serial runs at "
             "115200 8N1 with RTS/CTS handshake; the board must hold CTS and DSR on."),
        integer("read-timeout", "MS", 1, 600000, "5000",
                "How long the board may take to start each answer, in milliseconds. An answer ends at "
                "its end byte or after 100 ms of silence."),
        text("output", "FILE",
             "config read: also write the 27 configuration lines (only those) to FILE, replaced "
             "atomically."),
        text("tcp", "ADDRESS", "bss: ask the board at this IPv4 address over TCP instead of the link."),
        integer("tcp-port", "N", 1, 65535, "3318", "bss --tcp: the board's TCP port."),
        flag("dry-run", "config write: check and print the rows, write nothing."),
        choice("type", {{"ca", 1}, {"client-key", 2}, {"client-pem", 3}}, "ca",
               "cert upload: what FILE is: the CA certificate, the client key or the client certificate."),
        flag("json", "Print the result as one JSON object on stdout (also on failure)."),
        flag("version", "Print the program's version and exit."),
    };
    for (OptionRow& row : netOptionRows())
        s.options.push_back(std::move(row));
    s.exitStatuses = {
        {0, "success"},
        {1, "the board exchange or the port failed"},
        {2, "usage error, or set refused the settings; nothing was sent"},
        {129, "stopped by SIGHUP; the port was released"},
        {130, "stopped by SIGINT (Ctrl+C); the port was released"},
        {143, "stopped by SIGTERM; the port was released"},
    };
    s.resultCodes = {
        {"open", "Failed a port open! (the serial device did not open, or CTS/DSR are off)"},
        {"usb", "Not Connect USB Device and Power off! (no such USB device, or not a board)"},
        {"link", "Is not connected with the printer. (no answer, or a wrong or damaged one)"},
        {"bss", "Failed in BSS information acquisitions"},
        {"save", "the --output file could not be written"},
        {"file", "config write: FILE could not be read or has a bad line (nothing was sent)"},
        {"refused", "config write: the configuration was refused by a check (nothing was written)"},
        {"write", "Failed a configuration."},
        {"certificate", "cert upload: FILE failed a check (nothing was sent)"},
        {"upload", "Failed to upload the certification document."},
        {"usage", "the command line is wrong"},
        {"signal", "stopped by a signal"},
        {"udp", "the UDP socket could not be bound or the request not sent"},
        {"device", "show, set, web: no such device in the search"},
        {"refused", "set: the settings were refused (the window's message); nothing was sent"},
        {"store", "Fail to save your setting. Please, configure one more again. (no answer to the store)"},
    };
    s.epilogue = "On failure the lines before the error line give the system's reason and what to check.\n"
                 "Environment: QUELLIX_DEVICE_ROOT=DIR looks for devices under DIR/sys and DIR/dev.\n"
                 "PAVIX_UDP_TARGET, PAVIX_UDP_BIND, PAVIX_UDP_LOCAL_PORT and PAVIX_UDP_REMOTE_PORT stand in "
                 "for --target, --bind, --local-port and --remote-port (the options win).";
    return s;
}

bool isIpv4(const std::string& text)
{
    in_addr address{};
    return ::inet_pton(AF_INET, text.c_str(), &address) == 1;
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
    for (const std::string& word : words) {
        if (word == "--")
            break;
        if (word == "--version") {
            options.version = true;
            return true;
        }
    }
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
    options.json = a.has("json");
    options.port = a.text("port");
    options.readTimeoutMs = static_cast<int>(a.number("read-timeout", options.readTimeoutMs));
    options.output = a.text("output");
    options.tcpAddress = a.text("tcp");
    options.tcpPort = static_cast<int>(a.number("tcp-port", options.tcpPort));

    options.dryRun = a.has("dry-run");
    options.certType = a.text("type", options.certType);
    if ((options.command == "config write" || options.command == "cert upload") && !a.arguments.empty())
        options.file = a.arguments.front();
    if (options.dryRun && options.command != "config write") {
        problem = "--dry-run belongs to config write";
        return false;
    }
    if (a.has("type") && options.command != "cert upload") {
        problem = "--type belongs to cert upload";
        return false;
    }
    if (isNetCommand(options.command))
        return parseNetOptions(a, options.net, problem);
    for (const std::string& name : netOptionNames()) {
        if (a.has(name)) {
            problem = "--" + name + " belongs to search, show, set and web";
            return false;
        }
    }

    const bool overTcp = a.has("tcp");
    if (a.has("output") && options.command != "config read") {
        problem = "--output belongs to config read";
        return false;
    }
    if (overTcp && options.command != "bss") {
        problem = "--tcp belongs to bss";
        return false;
    }
    if (a.has("tcp-port") && !overTcp) {
        problem = "--tcp-port needs --tcp ADDRESS";
        return false;
    }
    if (options.command == "ports") {
        if (a.has("port") || a.has("read-timeout")) {
            problem = "ports takes no --port or --read-timeout";
            return false;
        }
        return true;
    }
    if (overTcp) {
        if (a.has("port") || a.has("read-timeout")) {
            problem = "bss takes either --port (with --read-timeout) or --tcp, not both";
            return false;
        }
        if (!isIpv4(options.tcpAddress)) {
            problem = "bad address '" + options.tcpAddress + "' for --tcp (a dotted IPv4 address)";
            return false;
        }
        return true;
    }
    if (!a.has("port")) {
        problem = options.command == "bss" ? "bss needs --port PATH|COMn|USBnnn or --tcp ADDRESS"
                                           : options.command + " needs --port PATH|COMn|USBnnn";
        return false;
    }
    return true;
}

} // namespace pavix::cli
