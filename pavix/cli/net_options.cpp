#include "pavix/cli/net_options.h"

#include "pavix/search/NetworkSetting.h"
#include "platform/udp_socket.h"

#include <algorithm>

namespace pavix::cli {
namespace {

using platform::cli::CommandRow;
using platform::cli::OptionRow;
using platform::cli::ValueKind;

OptionRow row(std::string name, ValueKind kind, std::string valueName, std::string help)
{
    OptionRow o;
    o.name = std::move(name);
    o.kind = kind;
    o.valueName = std::move(valueName);
    o.help = std::move(help);
    return o;
}

const std::vector<std::string>& setOnlyNames()
{
    static const std::vector<std::string> names = {"ip",         "subnet", "gateway", "printer-port",
                                                   "inactivity", "dhcp",   "baud"};
    return names;
}

bool hexDigit(char c, std::uint8_t& value)
{
    if (c >= '0' && c <= '9')
        value = static_cast<std::uint8_t>(c - '0');
    else if (c >= 'a' && c <= 'f')
        value = static_cast<std::uint8_t>(c - 'a' + 10);
    else if (c >= 'A' && c <= 'F')
        value = static_cast<std::uint8_t>(c - 'A' + 10);
    else
        return false;
    return true;
}

std::string baudRates()
{
    std::string out;
    for (const search::BaudEntry& e : search::BaudTable())
        out += (out.empty() ? "" : ", ") + std::string(e.text);
    return out;
}

} // namespace

bool isNetCommand(const std::string& command)
{
    return command == "search" || command == "show" || command == "set" || command == "web";
}

std::vector<CommandRow> netCommandRows()
{
    return {
        CommandRow{{"search"},
                   {"ethernet|wlan"},
                   "Find the boards of one mode by a UDP broadcast and list every answer in arrival order "
                   "(a board that answers twice is listed twice), one tab-separated line each, no heading:\n"
                   "  No<TAB>Mac Address<TAB>IP Address<TAB>Subnet<TAB>Gateway<TAB>Port<TAB>Version\n"
                   "as the device list shows them ('Not Configuration' for an address starting with 0, "
                   "'N/A' for version 0.0); WLAN lines end with <TAB>capability code. No answer: no "
                   "lines, exit 0. The request goes to 255.255.255.255 out of every interface that is up "
                   "and can broadcast (Ethernet port 48781 from 48780, WLAN 3337 from 9000)."},
        CommandRow{{"show"},
                   {"ethernet|wlan", "DEVICE"},
                   "Search, then print one board as 'Name: value' lines: the list's columns, Local Port, "
                   "Baud Rate (or 'Unknown (0xNN)'), Firmware, DHCP, Inactivity Time, HTTPS, Capability "
                   "(WLAN), Web Address and the record in hex. DEVICE is its No from the search or its MAC "
                   "address."},
        CommandRow{{"set"},
                   {"ethernet|wlan", "DEVICE"},
                   "Search, then store the board's network settings: the given options replace the "
                   "reported values; ports 21, 23, 25, 80, 443 and 3318 and the address 0.0.0.0 are "
                   "refused (exit 2, nothing sent). The store datagram goes out and the answer is awaited "
                   "(1 s WLAN, 10 s Ethernet)."},
        CommandRow{{"web"},
                   {"ethernet|wlan", "DEVICE"},
                   "Search, then print the board's web address (https:// when its web server uses HTTPS, "
                   "else http://)."},
    };
}

std::vector<OptionRow> netOptionRows()
{
    OptionRow wait = row("wait", ValueKind::Integer, "MS",
                         "search, show, set, web: how long answers to the search are taken.");
    wait.min = 100;
    wait.max = 60000;
    wait.defaultText = "1100";
    OptionRow localPort = row("local-port", ValueKind::Integer, "N",
                              "The local UDP port the requests leave from and the answers arrive on "
                              "(default 48780 Ethernet, 9000 WLAN).");
    localPort.min = 0;
    localPort.max = 65535;
    OptionRow remotePort = row("remote-port", ValueKind::Integer, "N",
                               "The boards' UDP port (default 48781 Ethernet, 3337 WLAN).");
    remotePort.min = 1;
    remotePort.max = 65535;
    OptionRow dhcp = row("dhcp", ValueKind::Choice, "", "set: the board takes its address by DHCP.");
    dhcp.choices = {{"on", 1}, {"off", 0}};
    return {
        wait,
        row("interface", ValueKind::Text, "IF", "Broadcast out of this network interface only."),
        row("target", ValueKind::Text, "ADDRESS",
            "Send one datagram to this IPv4 address instead of the broadcast on every interface."),
        row("bind", ValueKind::Text, "ADDRESS", "The local IPv4 address to bind (default 0.0.0.0)."),
        localPort,
        remotePort,
        row("ip", ValueKind::Text, "A", "set: the IP address."),
        row("subnet", ValueKind::Text, "A", "set: the subnet mask."),
        row("gateway", ValueKind::Text, "A", "set: the gateway."),
        row("printer-port", ValueKind::Text, "N", "set: the printer's port, 0..32767."),
        row("inactivity", ValueKind::Text, "S", "set: the inactivity time in seconds, 0..3600."),
        dhcp,
        row("baud", ValueKind::Text, "RATE", "set: the device baud rate, one of " + baudRates() + "."),
    };
}

const std::vector<std::string>& netOptionNames()
{
    static const std::vector<std::string> names = [] {
        std::vector<std::string> out;
        for (const OptionRow& r : netOptionRows())
            out.push_back(r.name);
        return out;
    }();
    return names;
}

std::optional<DeviceChoice> parseDeviceChoice(const std::string& text)
{
    DeviceChoice choice;
    choice.typed = text;
    if (!text.empty() && text.size() <= 6 && std::all_of(text.begin(), text.end(), [](char c) {
            return c >= '0' && c <= '9';
        })) {
        const int number = std::stoi(text);
        if (number < 1)
            return std::nullopt;
        choice.number = number;
        return choice;
    }
    if (text.size() != 17)
        return std::nullopt;
    search::MacAddress mac{};
    const char separator = text[2];
    if (separator != ':' && separator != '-')
        return std::nullopt;
    for (std::size_t i = 0; i < 6; ++i) {
        std::uint8_t high = 0;
        std::uint8_t low = 0;
        if (!hexDigit(text[i * 3], high) || !hexDigit(text[i * 3 + 1], low))
            return std::nullopt;
        if (i < 5 && text[i * 3 + 2] != separator)
            return std::nullopt;
        mac[i] = static_cast<std::uint8_t>(high << 4 | low);
    }
    choice.mac = mac;
    return choice;
}

bool parseNetOptions(const platform::cli::ParsedArgs& a, NetOptions& net, std::string& problem)
{
    const std::string command = a.commandName();
    for (const char* linkOption : {"port", "read-timeout", "output", "tcp", "tcp-port"}) {
        if (a.has(linkOption)) {
            problem = "--" + std::string(linkOption) + " does not belong to " + command;
            return false;
        }
    }
    if (command != "set") {
        for (const std::string& name : setOnlyNames()) {
            if (a.has(name)) {
                problem = "--" + name + " belongs to set";
                return false;
            }
        }
    }
    if (a.arguments.empty()) {
        problem = command + " needs ethernet or wlan";
        return false;
    }
    if (a.arguments[0] == "ethernet") {
        net.mode = search::SearchMode::Ethernet;
    } else if (a.arguments[0] == "wlan") {
        net.mode = search::SearchMode::Wlan;
    } else {
        problem = "bad mode '" + a.arguments[0] + "' (ethernet or wlan)";
        return false;
    }
    if (command != "search") {
        const auto device = a.arguments.size() > 1 ? parseDeviceChoice(a.arguments[1]) : std::nullopt;
        if (!device) {
            problem = "bad DEVICE '" + (a.arguments.size() > 1 ? a.arguments[1] : std::string()) +
                      "' (its No from the search, or its MAC address AA:BB:CC:DD:EE:FF)";
            return false;
        }
        net.device = *device;
    }
    net.waitMs = static_cast<int>(a.number("wait", net.waitMs));
    net.interfaceName = a.text("interface");
    const auto address = [&](const char* name, std::optional<std::string>& into) {
        if (!a.has(name))
            return true;
        into = a.text(name);
        if (!platform::Ipv4Address::parse(*into)) {
            problem = "bad address '" + *into + "' for --" + name + " (a dotted IPv4 address)";
            return false;
        }
        return true;
    };
    std::optional<std::string> target;
    std::optional<std::string> bind;
    if (!address("target", target) || !address("bind", bind) || !address("ip", net.ip) ||
        !address("subnet", net.subnet) || !address("gateway", net.gateway))
        return false;
    net.target = target.value_or("");
    net.bind = bind.value_or("");
    if (a.has("interface") && a.has("target")) {
        problem = "--interface and --target do not go together";
        return false;
    }
    if (a.has("local-port"))
        net.localPort = static_cast<int>(a.number("local-port", 0));
    if (a.has("remote-port"))
        net.remotePort = static_cast<int>(a.number("remote-port", 0));
    if (a.has("printer-port"))
        net.printerPort = a.text("printer-port");
    if (a.has("inactivity"))
        net.inactivity = a.text("inactivity");
    if (a.has("dhcp"))
        net.dhcp = a.number("dhcp", 0) != 0;
    if (a.has("baud")) {
        net.baud = a.text("baud");
        if (!search::BaudCodeForRate(*net.baud)) {
            problem = "bad value '" + *net.baud + "' for --baud (" + baudRates() + ")";
            return false;
        }
    }
    return true;
}

} // namespace pavix::cli
