#include "sim/udp_printers.h"

#include "sim/options.h"

#include <charconv>
#include <optional>

namespace sim {
namespace {

constexpr std::string_view kFind = "FIND";
constexpr std::string_view kImin = "IMIN";
constexpr std::string_view kSett = "SETT";
constexpr std::string_view kSetc = "SETC";
constexpr std::string_view kPrtReg = "__[I_F]__[PRT_REG]";
constexpr std::string_view kRegRsp = "__[I_F]__[REG_RSP]";
constexpr std::string_view kPrtSet = "__[I_F]__[PRT_SET]";
constexpr std::string_view kSetRsp = "__[I_F]__[SET_RSP]";
constexpr std::size_t kEthernetStoreRecord = 26;

const char* modeName(UdpMode mode)
{
    return mode == UdpMode::Wlan ? "wlan" : "ethernet";
}

std::string hex(std::string_view bytes)
{
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string out;
    out.reserve(bytes.size() * 2);
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        out += kDigits[b >> 4];
        out += kDigits[b & 15];
    }
    return out;
}

std::optional<long> number(std::string_view text, long min, long max)
{
    long value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || value < min || value > max)
        return std::nullopt;
    return value;
}

bool address(std::string_view text, std::string& record, std::size_t at)
{
    std::string octets;
    std::size_t start = 0;
    for (int i = 0; i < 4; ++i) {
        const std::size_t dot = i < 3 ? text.find('.', start) : text.size();
        if (dot == std::string_view::npos)
            return false;
        const auto v = number(text.substr(start, dot - start), 0, 255);
        if (!v || dot == start)
            return false;
        octets.push_back(static_cast<char>(*v));
        start = dot + 1;
    }
    if (start != text.size() + 1)
        return false;
    record.replace(at, 4, octets);
    return true;
}

void put16(std::string& record, std::size_t at, long value)
{
    record[at] = static_cast<char>((value >> 8) & 0xff);
    record[at + 1] = static_cast<char>(value & 0xff);
}

// The answer bytes as the printer's knobs shape them.
std::string shaped(const UdpPrinter& p, std::string answer)
{
    if (p.cut >= 0 && static_cast<std::size_t>(p.cut) < answer.size())
        answer.resize(static_cast<std::size_t>(p.cut));
    answer.append(static_cast<std::size_t>(p.pad), '\0');
    return answer;
}

void keep(std::vector<std::string>& list, std::string line)
{
    if (list.size() < UdpPrinters::kMaxListed)
        list.push_back(std::move(line));
}

} // namespace

bool parseUdpPrinter(std::string_view text, int index, UdpPrinter& out, std::string& error)
{
    UdpPrinter p;
    const std::size_t comma = text.find(',');
    const std::string_view mode = text.substr(0, comma);
    if (mode == "ethernet") {
        p.mode = UdpMode::Ethernet;
    } else if (mode == "wlan") {
        p.mode = UdpMode::Wlan;
    } else {
        error = "--udp-printer: '" + std::string(mode) + "' is not ethernet or wlan";
        return false;
    }
    const std::size_t size = p.mode == UdpMode::Wlan ? kUdpWlanRecord : kUdpEthernetRecord;
    const auto nn = static_cast<char>((index + 1) & 0xff);
    p.record = std::string("\x00\x19\x7b\x10\x00", 5) + nn;
    p.record += std::string("\xc0\xa8\x00", 3) + static_cast<char>(100 + ((index + 1) % 150));
    p.record += std::string("\xff\xff\xff\x00\xc0\xa8\x00\x01\x23\x8c\xff\x01\x05\x00\x00\x00\x00", 17);
    if (p.mode == UdpMode::Wlan)
        p.record += std::string("\x1f\x00", 2);
    p.storeAnswer = std::string(p.mode == UdpMode::Wlan ? kSetRsp : kSetc);

    std::string_view rest = comma == std::string_view::npos ? std::string_view() : text.substr(comma + 1);
    while (!rest.empty()) {
        const std::size_t next = rest.find(',');
        const std::string_view item = rest.substr(0, next);
        rest = next == std::string_view::npos ? std::string_view() : rest.substr(next + 1);
        const std::size_t eq = item.find('=');
        if (eq == std::string_view::npos) {
            error = "--udp-printer: '" + std::string(item) + "' is not KEY=VALUE";
            return false;
        }
        const std::string key(item.substr(0, eq));
        const std::string_view value = item.substr(eq + 1);
        const auto bad = [&] {
            error = "--udp-printer: bad value '" + std::string(value) + "' for " + key;
            return false;
        };
        const auto byteAt = [&](std::size_t at, long max) {
            const auto v = number(value, 0, max);
            if (!v)
                return false;
            p.record[at] = static_cast<char>(*v);
            return true;
        };
        if (key == "mac") {
            std::array<std::uint8_t, 6> mac{};
            if (!parseMac(value, mac))
                return bad();
            for (std::size_t i = 0; i < 6; ++i)
                p.record[i] = static_cast<char>(mac[i]);
        } else if (key == "ip" || key == "subnet" || key == "gateway") {
            const std::size_t at = key == "ip" ? 6 : key == "subnet" ? 10 : 14;
            if (!address(value, p.record, at))
                return bad();
        } else if (key == "port" || key == "inactivity") {
            const auto v = number(value, 0, 65535);
            if (!v)
                return bad();
            put16(p.record, key == "port" ? 18 : 24, *v);
        } else if (key == "baud") {
            std::string code;
            if (value.size() != 2 || !parseHexBytes(value, code))
                return bad();
            p.record[20] = code[0];
        } else if (key == "fw") {
            const std::size_t dot = value.find('.');
            const auto major = dot == std::string_view::npos ? std::nullopt : number(value.substr(0, dot), 0, 255);
            const auto minor = major ? number(value.substr(dot + 1), 0, 255) : std::nullopt;
            if (!minor)
                return bad();
            p.record[21] = static_cast<char>(*major);
            p.record[22] = static_cast<char>(*minor);
        } else if (key == "dhcp") {
            if (!byteAt(23, 255))
                return bad();
        } else if (key == "https") {
            if (!byteAt(26, 255))
                return bad();
        } else if (key == "cap" || key == "reserved") {
            if (p.mode != UdpMode::Wlan) {
                error = "--udp-printer: " + key + " is for wlan printers";
                return false;
            }
            if (!byteAt(key == "cap" ? 27 : 28, 255))
                return bad();
        } else if (key == "record") {
            std::string bytes;
            if (!parseHexBytes(value, bytes) || bytes.size() != size) {
                error = "--udp-printer: record takes " + std::to_string(size) + " bytes in hex for " +
                        std::string(mode);
                return false;
            }
            p.record = bytes;
        } else if (key == "repeat") {
            const auto v = number(value, 1, kUdpMaxRepeat);
            if (!v)
                return bad();
            p.repeat = static_cast<int>(*v);
        } else if (key == "delay" || key == "store-delay") {
            const auto v = number(value, 0, kUdpMaxDelayMs);
            if (!v)
                return bad();
            (key == "delay" ? p.delayMs : p.storeDelayMs) = static_cast<std::uint32_t>(*v);
        } else if (key == "cut") {
            const auto v = number(value, 0, 4096);
            if (!v)
                return bad();
            p.cut = static_cast<int>(*v);
        } else if (key == "pad") {
            const auto v = number(value, 0, kUdpMaxPad);
            if (!v)
                return bad();
            p.pad = static_cast<int>(*v);
        } else if (key == "store") {
            if (value == "setc") {
                p.storeAnswer = std::string(kSetc);
            } else if (value == "setrsp") {
                p.storeAnswer = std::string(kSetRsp);
            } else if (value == "none") {
                p.storeAnswer.clear();
            } else if (!parseHexBytes(value, p.storeAnswer) || p.storeAnswer.empty() ||
                       p.storeAnswer.size() > 1024) {
                return bad();
            }
        } else {
            error = "--udp-printer: unknown key '" + key + "'";
            return false;
        }
    }
    out = std::move(p);
    return true;
}

bool parseUdpStray(std::string_view text, UdpStray& out, std::string& error)
{
    UdpStray stray;
    const std::size_t at = text.find('@');
    if (at != std::string_view::npos) {
        const auto v = number(text.substr(at + 1), 0, kUdpMaxDelayMs);
        if (!v) {
            error = "--udp-stray: bad delay in '" + std::string(text) + "'";
            return false;
        }
        stray.delayMs = static_cast<std::uint32_t>(*v);
    }
    if (!parseHexBytes(text.substr(0, at), stray.bytes) || stray.bytes.empty() || stray.bytes.size() > 1024) {
        error = "--udp-stray: '" + std::string(text) + "' is not 1 to 1024 bytes in hex (HEX or HEX@MS)";
        return false;
    }
    out = std::move(stray);
    return true;
}

std::vector<UdpSend> UdpPrinters::handle(std::string_view datagram, const std::string& from)
{
    std::vector<UdpSend> sends;
    std::optional<UdpMode> search;
    if (datagram == kFind)
        search = UdpMode::Ethernet;
    else if (datagram == kPrtReg)
        search = UdpMode::Wlan;
    if (search) {
        ++requestCount_;
        keep(requests_, std::string(modeName(*search)) + " " + from + " " + hex(datagram));
        for (const UdpStray& s : strays_)
            sends.push_back({s.delayMs, s.bytes});
        for (const UdpPrinter& p : printers_) {
            if (p.mode != *search)
                continue;
            const std::string answer = std::string(p.mode == UdpMode::Wlan ? kRegRsp : kImin) + p.record;
            for (int i = 0; i < p.repeat; ++i)
                sends.push_back({p.delayMs, shaped(p, answer)});
        }
        return sends;
    }

    std::optional<UdpMode> store;
    std::size_t recordBytes = 0;
    if (datagram.size() == kSett.size() + kEthernetStoreRecord && datagram.starts_with(kSett)) {
        store = UdpMode::Ethernet;
        recordBytes = kEthernetStoreRecord;
    } else if (datagram.size() == kPrtSet.size() + kUdpWlanRecord && datagram.starts_with(kPrtSet)) {
        store = UdpMode::Wlan;
        recordBytes = kUdpWlanRecord;
    }
    if (!store) {
        ++ignoredCount_;
        keep(ignored_, hex(datagram.substr(0, 1024)));
        return sends;
    }
    ++storeCount_;
    keep(stores_, std::string(modeName(*store)) + " " + hex(datagram));
    const std::string_view bytes = datagram.substr(datagram.size() - recordBytes);
    for (UdpPrinter& p : printers_) {
        if (p.mode != *store || p.record.compare(0, 6, bytes.substr(0, 6)) != 0)
            continue;
        p.record.replace(0, recordBytes, bytes);
        ++storedCount_;
        if (!p.storeAnswer.empty())
            sends.push_back({p.storeDelayMs, p.storeAnswer});
    }
    return sends;
}

std::string UdpPrinters::report() const
{
    std::string out;
    const auto list = [&](const char* name, std::uint64_t count, const std::vector<std::string>& lines) {
        out += std::string("udp.") + name + "s: " + std::to_string(count) + "\n";
        for (std::size_t i = 0; i < lines.size(); ++i)
            out += std::string("udp.") + name + "." + std::to_string(i + 1) + ": " + lines[i] + "\n";
    };
    list("request", requestCount_, requests_);
    list("store", storeCount_, stores_);
    out += "udp.stored: " + std::to_string(storedCount_) + "\n";
    out += "udp.ignored: " + std::to_string(ignoredCount_) + "\n";
    for (std::size_t i = 0; i < ignored_.size(); ++i)
        out += "udp.ignored." + std::to_string(i + 1) + ": " + ignored_[i] + "\n";
    for (std::size_t i = 0; i < printers_.size(); ++i)
        out += "udp.printer." + std::to_string(i + 1) + ": " + modeName(printers_[i].mode) + " " +
               hex(printers_[i].record) + "\n";
    return out;
}

} // namespace sim
