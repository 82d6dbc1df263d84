#include "telvara/cli/cli_options.h"

namespace telvara::cli {
namespace {

using platform::cli::Choice;
using platform::cli::CommandRow;
using platform::cli::OptionRow;
using platform::cli::ProgramTable;
using platform::cli::ValueKind;

constexpr std::string_view kParityNames[] = {"none", "odd", "even", "mark", "space"};
constexpr std::string_view kStopBitsNames[] = {"1", "1.5", "2"};
constexpr std::string_view kFlowNames[] = {"hardware", "xonxoff", "none"};

OptionRow choice(std::string name, std::vector<Choice> choices, std::string defaultText, std::string help)
{
    OptionRow o;
    o.name = std::move(name);
    o.kind = ValueKind::Choice;
    o.choices = std::move(choices);
    o.defaultText = std::move(defaultText);
    o.help = std::move(help);
    return o;
}

template <std::size_t N>
std::vector<Choice> choicesOf(const std::string_view (&names)[N])
{
    std::vector<Choice> out;
    for (std::size_t i = 0; i < N; ++i)
        out.push_back({std::string(names[i]), static_cast<long>(i)});
    return out;
}

OptionRow text(std::string name, std::string valueName, std::string help)
{
    OptionRow o;
    o.name = std::move(name);
    o.kind = ValueKind::Text;
    o.valueName = std::move(valueName);
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
    ProgramTable t;
    t.name = "telvara-cli";
    t.summary = "check the connection to a KTP-M880/KTP-M882 POS printer over serial, parallel, USB or "
                "Ethernet, and print its self test";
    t.commands = {
        CommandRow{{"connection"},
                   {},
                   "Print the resolved configuration as 'key: value' lines: interface, port, device, baud, "
                   "data-bits, parity, stop-bits, flow (Ethernet: interface, port, address, tcp-port). "
                   "Nothing is opened."},
        CommandRow{{"ports"},
                   {},
                   "List the ports of --interface (default serial), one per line: the serial devices present "
                   "and COM1..COM9, \\\\.\\COM10..\\\\.\\COM14; LPT1..LPT3; the USB printers of the maker as "
                   "M880:NODE (product 0b16) or M882:NODE (product 0b23), no other device."},
        CommandRow{{"check"},
                   {},
                   "Open the port, reset the printer and ask it for its id, maker and model; prints "
                   "'maker: QUELLIX' and 'model: KTP-M880' (or KTP-M882). Any other printer fails."},
        CommandRow{{"selftest"},
                   {},
                   "check, then have the printer print its status sheet, and wait the 4300 ms it takes."},
        CommandRow{{"restore-queues"},
                   {},
                   "Resume the print spooler's queues that an earlier run stopped and could not give back "
                   "(killed, crashed); prints 'resumed QUEUE' per queue. Every other command does the same "
                   "at its start, reporting on stderr."},
    };
    OptionRow baud = choice("baud",
                            {{"2400", 2400}, {"4800", 4800}, {"9600", 9600}, {"19200", 19200}, {"38400", 38400},
                             {"57600", 57600}, {"115200", 115200}},
                            "9600", "Serial: the baud rate.");
    baud.valueName = "2400..115200";
    OptionRow tcpPort;
    tcpPort.name = "tcp-port";
    tcpPort.kind = ValueKind::Integer;
    tcpPort.valueName = "N";
    tcpPort.min = 1;
    tcpPort.max = 65535;
    tcpPort.defaultText = "9100";
    tcpPort.help = "Ethernet: the printer's TCP port.";
    t.options = {
        choice("interface", {{"serial", 0}, {"parallel", 1}, {"usb", 2}, {"ethernet", 3}}, "serial",
               "How the printer is connected. Without --port: the first port of the interface's list "
               "(Ethernet: 192.168.192.123)."),
        text("port", "NAME",
             "The port: COMn or \\\\.\\COMn (= /dev/ttyS(n-1)), a serial device path, LPTn (= /dev/lp(n-1)) "
             "or /dev/lpN, M880:NODE or M882:NODE as 'ports' lists them, or the printer's IPv4 address."),
        baud,
        choice("data-bits", {{"8", 8}, {"7", 7}}, "8", "Serial: data bits."),
        choice("parity", choicesOf(kParityNames), "none", "Serial: parity; mark and space are used as given."),
        choice("stop-bits", choicesOf(kStopBitsNames), "1",
               "Serial: stop bits. 1.5 is refused when the port is opened: this system's serial ports "
               "cannot send it."),
        choice("flow", choicesOf(kFlowNames), "hardware",
               "Serial: flow control; DTR and RTS are held on in every mode."),
        tcpPort,
        text("printer", "QUEUE",
             "Preset the settings from an installed printer: Custom_KTP-M880 or Custom_KTP-M882 read the "
             "registry store's key SOFTWARE\\QUELLIX\\KTP-M88x\\PSP\\Custom; any other name is a print "
             "spooler queue whose device URI (serial:, parallel:, usb:, socket:) gives the settings. A name "
             "that gives none keeps the defaults, with a status line saying why. The other options win."),
        flag("no-takeover",
             "Leave the print spooler's queues alone: no queue on the port is stopped for check and "
             "selftest, and none left stopped by an earlier run is resumed at the start. Without it, the "
             "queues on a serial or parallel port are stopped while the port is in use and resumed when "
             "the command ends (also on SIGINT, SIGTERM, SIGHUP); a queue that is printing fails the "
             "check."),
        flag("json", "Print the result as one JSON object on stdout (also on failure)."),
        flag("version", "Print the program's version and exit."),
    };
    t.exitStatuses = {
        {0, "success"},
        {1, "the port or the printer failed the check"},
        {2, "usage error"},
        {129, "stopped by SIGHUP; the port was released"},
        {130, "stopped by SIGINT (Ctrl+C); the port was released"},
        {143, "stopped by SIGTERM; the port was released"},
    };
    t.resultCodes = {
        {"config", "Port Configuration Set Error! (the port name is none the program knows)"},
        {"open", "Can't open port and Printer is disconnected (or the Ethernet socket messages)"},
        {"port", "Port error! Check printer's port, please."},
        {"printer-id", "Fail to get printer ID. Please retry connect"},
        {"maker", "This printer don't match our company name."},
        {"model", "The connected printer has different Model name."},
        {"usb", "Printer is not connected by USB. Please, turn on the printer!!"},
        {"spooler", "the print spooler could not be reached, or a queue could not be resumed (restore-queues)"},
        {"usage", "the command line is wrong"},
        {"signal", "stopped by a signal"},
    };
    t.epilogue = "The printer's messages go to stderr as 'status: TEXT' lines; on failure the lines before the "
                 "error line give the system's reason and what to check.\n"
                 "Environment: QUELLIX_DEVICE_ROOT=DIR looks for devices under DIR/sys and DIR/dev; "
                 "QUELLIX_REGISTRY=FILE is the registry store; CUPS_SERVER names the print spooler.";
    return t;
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

std::string_view ParityName(int parity)
{
    return parity >= 0 && parity < 5 ? kParityNames[parity] : "?";
}

std::string_view StopBitsName(int stopBits)
{
    return stopBits >= 0 && stopBits < 3 ? kStopBitsNames[stopBits] : "?";
}

std::string_view FlowName(int flow)
{
    return flow >= 0 && flow < 3 ? kFlowNames[flow] : "?";
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
    if (a.command == nullptr) {
        problem = "give a command: connection, ports, check, selftest or restore-queues";
        return false;
    }
    options.command = a.commandName();
    options.json = a.has("json");
    auto number = [&](const char* name) -> std::optional<int> {
        if (const auto v = a.value(name))
            return static_cast<int>(v->number);
        return std::nullopt;
    };
    if (const auto v = number("interface"))
        options.interface = static_cast<LinkKind>(*v);
    if (a.has("port"))
        options.port = a.text("port");
    options.baudRate = number("baud");
    options.dataBits = number("data-bits");
    options.parity = number("parity");
    options.stopBits = number("stop-bits");
    options.flowControl = number("flow");
    options.tcpPort = number("tcp-port");
    options.printer = a.text("printer");
    options.noTakeover = a.has("no-takeover");

    if (options.command == "ports") {
        for (const char* name : {"port", "baud", "data-bits", "parity", "stop-bits", "flow", "tcp-port", "printer"}) {
            if (a.has(name)) {
                problem = std::string("ports takes only --interface, not --") + name;
                return false;
            }
        }
    }
    if (options.command == "restore-queues") {
        for (const char* name : {"interface", "port", "baud", "data-bits", "parity", "stop-bits", "flow",
                                 "tcp-port", "printer", "no-takeover"}) {
            if (a.has(name)) {
                problem = std::string("restore-queues takes no --") + name;
                return false;
            }
        }
    }
    return true;
}

} // namespace telvara::cli
