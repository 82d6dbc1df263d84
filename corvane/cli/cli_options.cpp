#include "corvane/cli/cli_options.h"

#include <charconv>
#include <map>

namespace corvane::cli {
namespace {

bool parseInt(const std::string& text, long min, long max, int& out)
{
    long value = 0;
    const auto* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (text.empty() || ec != std::errc() || ptr != end || value < min || value > max)
        return false;
    out = static_cast<int>(value);
    return true;
}

bool pick(const std::string& text, const std::map<std::string, int>& choices, int& out)
{
    const auto it = choices.find(text);
    if (it == choices.end())
        return false;
    out = it->second;
    return true;
}

} // namespace

std::string usageText()
{
    return "usage: corvane-cli [--port NAME] [--baud N] [--data-bits N] [--parity none|odd|even]\n"
           "                   [--stop-bits 1|2] [--flow none|dtr] [--tcp-port N] COMMAND\n"
           "commands: identify | firmware FILE\n"
           "Try 'corvane-cli --help' for more.\n";
}

std::string helpText()
{
    return "corvane-cli - talk to a mobile receipt printer from the command line\n"
           "\n"
           "usage: corvane-cli [OPTIONS] identify\n"
           "       corvane-cli [OPTIONS] firmware FILE\n"
           "\n"
           "Commands:\n"
           "  identify        Open the port and ask the printer for its model, firmware\n"
           "                  version, code page and MSR mode. Prints six lines:\n"
           "                    model: <model name>\n"
           "                    model code: <400, 401, 402, 440, 600 or 800>\n"
           "                    firmware: <firmware version text>\n"
           "                    version number: <firmware version number>\n"
           "                    code page: <code page name>\n"
           "                    msr mode: 0x<two hex digits>\n"
           "  firmware FILE   Send a firmware file (*.fls) to the printer unchanged, in\n"
           "                  4096-byte pieces, with progress on stderr. Reset the printer\n"
           "                  afterwards.\n"
           "\n"
           "Connection options:\n"
           "  --port NAME       Serial: COM1..COMn (= /dev/ttyS0..) or a device path such as\n"
           "                    /dev/ttyUSB0, /dev/rfcomm0, /dev/pts/3.\n"
           "                    USB printer: /dev/usb/lpN.\n"
           "                    TCP/IP: NET followed by the IPv4 address, e.g. NET192.168.1.50.\n"
           "                    Without --port, the connection last saved by the Corvane\n"
           "                    window (Exit button) is used; options given here override\n"
           "                    its line settings.\n"
           "  --baud N          Serial baud rate (default 115200).\n"
           "  --data-bits N     5 to 8 (default 8).\n"
           "  --parity P        none, odd or even (default none).\n"
           "  --stop-bits N     1 or 2 (default 1).\n"
           "  --flow F          none or dtr (DTR/DSR; default dtr).\n"
           "  --tcp-port N      TCP port for NET addresses (default 9100).\n"
           "  -h, --help        Show this help.\n"
           "\n"
           "Exit status: 0 success; 1 the printer job failed, and the last line on stderr\n"
           "is 'error <code>: <message>' (code 101 port not open, 107 model not recognised,\n"
           "109 reply format wrong, 300 short write, 301 no reply, 'open' port did not\n"
           "open, 'file' firmware file unreadable, 'send' firmware send failed); 2 usage error.\n"
           "\n"
           "Environment: QUELLIX_REGISTRY names the settings file (default\n"
           "~/.config/quellix/registry.reg).\n";
}

bool parseOptions(int argc, char** argv, Options& options, std::string& problem)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "-h" || arg == "--help") {
            options.help = true;
            return true;
        }
        if (arg.rfind("--", 0) == 0) {
            std::string name = arg;
            std::string value;
            const auto eq = arg.find('=');
            if (eq != std::string::npos) {
                name = arg.substr(0, eq);
                value = arg.substr(eq + 1);
            } else {
                if (i + 1 >= args.size()) {
                    problem = "option " + arg + " needs a value";
                    return false;
                }
                value = args[++i];
            }
            bool ok = true;
            if (name == "--port") {
                ok = !value.empty();
                options.settings.portName = value;
                options.portGiven = true;
            } else if (name == "--baud") {
                ok = parseInt(value, 1, 4000000, options.settings.baudRate);
                options.baudGiven = true;
            } else if (name == "--data-bits") {
                ok = parseInt(value, 5, 8, options.settings.dataBits);
                options.lineGiven = true;
            } else if (name == "--parity") {
                ok = pick(value, {{"none", 0}, {"odd", 1}, {"even", 2}}, options.settings.parity);
                options.lineGiven = true;
            } else if (name == "--stop-bits") {
                ok = pick(value, {{"1", 0}, {"2", 2}}, options.settings.stopBits);
                options.lineGiven = true;
            } else if (name == "--flow") {
                ok = pick(value, {{"none", 0}, {"dtr", 1}}, options.settings.flowControl);
                options.lineGiven = true;
            } else if (name == "--tcp-port") {
                ok = parseInt(value, 1, 65535, options.tcpPort);
                options.tcpPortGiven = true;
            } else {
                problem = "unknown option " + name;
                return false;
            }
            if (!ok) {
                problem = "bad value '" + value + "' for " + name;
                return false;
            }
            continue;
        }
        if (options.command.empty())
            options.command = arg;
        else
            options.arguments.push_back(arg);
    }
    if (options.command.empty()) {
        problem = "no command given";
        return false;
    }
    if (options.command == "identify") {
        if (!options.arguments.empty()) {
            problem = "identify takes no arguments";
            return false;
        }
    } else if (options.command == "firmware") {
        if (options.arguments.size() != 1) {
            problem = "firmware needs exactly one FILE";
            return false;
        }
    } else {
        problem = "unknown command '" + options.command + "'";
        return false;
    }
    return true;
}

} // namespace corvane::cli
