#include "telvara/link/DeviceUriPreset.h"

#include <algorithm>
#include <array>
#include <vector>

namespace telvara::link {
namespace {

constexpr std::size_t kMaxNoticeLength = 200;

struct Word {
    std::string_view text;
    int value;
};

// The serial backend's option values and what they select in the dialog.
constexpr std::array<Word, 5> kParities = {{{"none", 0}, {"odd", 1}, {"even", 2}, {"mark", 3}, {"space", 4}}};
constexpr std::array<Word, 6> kFlows = {
    {{"hard", 0}, {"rtscts", 0}, {"dtrdsr", 0}, {"soft", 1}, {"xonxoff", 1}, {"none", 2}}};
constexpr std::array<Word, 3> kStops = {{{"1", 0}, {"1.5", 1}, {"2", 2}}};

char lower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool equalsNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (lower(a[i]) != lower(b[i]))
            return false;
    }
    return true;
}

bool startsWithNoCase(std::string_view text, std::string_view prefix)
{
    return text.size() >= prefix.size() && equalsNoCase(text.substr(0, prefix.size()), prefix);
}

template <std::size_t N>
bool lookUp(const std::array<Word, N>& table, std::string_view text, int& value)
{
    for (const Word& word : table) {
        if (equalsNoCase(word.text, text)) {
            value = word.value;
            return true;
        }
    }
    return false;
}

// A decimal number in [low, high], all of `text`.
bool number(std::string_view text, long low, long high, int& value)
{
    if (text.empty() || text.size() > 9)
        return false;
    long parsed = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return false;
        parsed = parsed * 10 + (c - '0');
    }
    if (parsed < low || parsed > high)
        return false;
    value = static_cast<int>(parsed);
    return true;
}

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    c = lower(c);
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

std::string percentDecoded(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size()) {
            const int high = hexDigit(text[i + 1]);
            const int low = hexDigit(text[i + 2]);
            if (high >= 0 && low >= 0) {
                out.push_back(static_cast<char>(high * 16 + low));
                i += 2;
                continue;
            }
        }
        out.push_back(text[i]);
    }
    return out;
}

void addNotice(DeviceUriPreset& preset, std::string_view what)
{
    std::string text = preset.notice.empty() ? std::string() : preset.notice + "; ";
    text.append(what.substr(0, std::min<std::size_t>(what.size(), 64)));
    preset.notice = text.substr(0, std::min(text.size(), kMaxNoticeLength));
}

void serialOption(DeviceUriPreset& preset, std::string_view option)
{
    const std::size_t eq = option.find('=');
    if (eq == std::string_view::npos) {
        addNotice(preset, std::string("option not used: ") + std::string(option.substr(0, 32)));
        return;
    }
    const std::string_view name = option.substr(0, eq);
    const std::string_view value = option.substr(eq + 1);
    bool used = false;
    if (equalsNoCase(name, "baud"))
        used = number(value, 1, 4000000, preset.baud);
    else if (equalsNoCase(name, "bits"))
        used = number(value, 5, 8, preset.dataBits);
    else if (equalsNoCase(name, "parity"))
        used = lookUp(kParities, value, preset.parity);
    else if (equalsNoCase(name, "flow"))
        used = lookUp(kFlows, value, preset.flow);
    else if (equalsNoCase(name, "stop"))
        used = lookUp(kStops, value, preset.stopBits);
    if (!used)
        addNotice(preset, std::string("option not used: ") + std::string(option.substr(0, 32)));
}

void parseSerial(DeviceUriPreset& preset, std::string_view rest)
{
    const std::size_t query = rest.find('?');
    preset.port = percentDecoded(rest.substr(0, query));
    if (query == std::string_view::npos)
        return;
    std::string_view options = rest.substr(query + 1);
    while (!options.empty()) {
        const std::size_t end = std::min(options.find_first_of("+&"), options.size());
        if (end > 0)
            serialOption(preset, options.substr(0, end));
        options.remove_prefix(std::min(end + 1, options.size()));
    }
}

// Four decimal parts 0..255 separated by dots, nothing else.
bool dottedIpv4(std::string_view text)
{
    for (int parts = 1;; ++parts) {
        const std::size_t dot = std::min(text.find('.'), text.size());
        int value = 0;
        if (dot > 3 || !number(text.substr(0, dot), 0, 255, value))
            return false;
        if (dot == text.size())
            return parts == 4;
        if (parts == 4)
            return false;
        text.remove_prefix(dot + 1);
    }
}

void parseSocket(DeviceUriPreset& preset, std::string_view rest)
{
    if (!startsWithNoCase(rest, "//")) {
        addNotice(preset, "socket URI without an address");
        return;
    }
    rest.remove_prefix(2);
    const std::string_view authority = rest.substr(0, std::min(rest.find_first_of("/?"), rest.size()));
    const std::size_t colon = authority.find(':');
    const std::string_view host = authority.substr(0, colon);
    if (!dottedIpv4(host)) {
        addNotice(preset, std::string("not a dotted IPv4 address: ") + std::string(host.substr(0, 40)));
        return;
    }
    preset.address = std::string(host);
    if (colon != std::string_view::npos && !number(authority.substr(colon + 1), 1, 65535, preset.tcpPort))
        addNotice(preset, "TCP port not used: " + std::string(authority.substr(colon + 1, 16)));
}

} // namespace

DeviceUriPreset presetFromDeviceUri(std::string_view uri)
{
    DeviceUriPreset preset;
    if (startsWithNoCase(uri, "serial:")) {
        parseSerial(preset, uri.substr(7));
    } else if (startsWithNoCase(uri, "parallel:")) {
        preset.interface = PresetInterface::Parallel;
        preset.port = percentDecoded(uri.substr(9, uri.substr(9).find('?')));
    } else if (startsWithNoCase(uri, "usb:")) {
        preset.interface = PresetInterface::Usb;
        preset.port = std::string(uri.substr(4));
    } else if (startsWithNoCase(uri, "socket:")) {
        preset.interface = PresetInterface::Ethernet;
        parseSocket(preset, uri.substr(7));
    } else {
        const std::string_view scheme = uri.substr(0, std::min(uri.find(':'), uri.size()));
        addNotice(preset, std::string("device URI scheme not known: ") + std::string(scheme.substr(0, 32)));
    }
    return preset;
}

QueuePreset presetForQueue(platform::spooler::Spooler& spooler, const std::string& queueName)
{
    QueuePreset out;
    std::vector<platform::spooler::QueueInfo> queues;
    out.result = spooler.listQueues(queues);
    if (!out.result.ok())
        return out;
    for (const auto& queue : queues) {
        if (equalsNoCase(queue.name, queueName)) {
            out.deviceUri = queue.deviceUri;
            out.preset = presetFromDeviceUri(queue.deviceUri);
            return out;
        }
    }
    out.result.status = platform::spooler::Status::NotFound;
    out.result.reason = "no printer queue named " + queueName.substr(0, 128);
    return out;
}

} // namespace telvara::link
