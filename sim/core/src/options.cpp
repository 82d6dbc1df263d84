#include "sim/options.h"

#include "sim/mobile_printer.h"
#include "sim/models.h"
#include "sim/network_board.h"
#include "sim/nv_memory.h"
#include "sim/pos_printer.h"
#include "sim/setting_memory.h"
#include "sim/switch_state.h"

#include "platform/cli/options.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <limits>
#include <optional>
#include <vector>

namespace sim {

namespace {

namespace cli = platform::cli;

constexpr long kMaxDelayMs = 600'000;
constexpr long kMaxChunk = 65'536;
constexpr std::size_t kMaxStrayBytes = 4096;
// Byte counts up to 1 TiB where a long holds that much.
constexpr long kMaxCount = static_cast<long>(std::min<long long>(1LL << 40, std::numeric_limits<long>::max()));
constexpr long kMaxRate = 1'000'000'000;  // bytes per second
constexpr long kMinReceiveBuffer = 256;
constexpr long kMaxReceiveBuffer = 1L << 24;
// A PIN or name longer than this cannot fit the printer's 100-byte Bluetooth command.
constexpr std::size_t kMaxBluetoothText = 90;

cli::OptionRow flag(std::string name, std::string help)
{
    cli::OptionRow o;
    o.name = std::move(name);
    o.help = std::move(help);
    return o;
}

cli::OptionRow text(std::string name, std::string valueName, std::string help, std::string defaultText = {})
{
    cli::OptionRow o;
    o.name = std::move(name);
    o.kind = cli::ValueKind::Text;
    o.valueName = std::move(valueName);
    o.help = std::move(help);
    o.defaultText = std::move(defaultText);
    return o;
}

cli::OptionRow integer(std::string name, std::string valueName, long min, long max, std::string help,
                       std::string defaultText = {})
{
    cli::OptionRow o;
    o.name = std::move(name);
    o.kind = cli::ValueKind::Integer;
    o.valueName = std::move(valueName);
    o.min = min;
    o.max = max;
    o.help = std::move(help);
    o.defaultText = std::move(defaultText);
    return o;
}

cli::OptionRow repeatable(cli::OptionRow o)
{
    o.repeatable = true;
    return o;
}

cli::OptionRow dialectOption()
{
    cli::OptionRow o;
    o.name = "dialect";
    o.kind = cli::ValueKind::Choice;
    o.choices = {{"gs", 0}, {"bs", 1}};
    o.help = "User setting commands to answer: gs (GS ( E) or bs (BS ^ E); the other dialect gets "
             "silence. Without it, taken from the version reply: version numbers 21000..100999 bs, "
             "others gs.";
    return o;
}

cli::OptionRow nvFamilyOption()
{
    cli::OptionRow o;
    o.name = "nv-family";
    o.kind = cli::ValueKind::Choice;
    o.choices = {{"key-code", 0}, {"indexed", 1}};
    o.help = "NV image commands to answer: key-code (GS ( L, images under two-character keys) or indexed "
             "(BS ^ 7 / BS ^ L, one numbered set); the other family gets silence. Without it, taken from "
             "the version reply: version numbers 21000..100999 indexed, others key-code.";
    return o;
}

// One of the board's exchanges, named after the host's request.
cli::OptionRow exchangeOption(std::string name, std::string help, bool withOpener)
{
    cli::OptionRow o;
    o.name = std::move(name);
    o.kind = cli::ValueKind::Choice;
    o.repeatable = true;
    for (std::size_t i = withOpener ? 0 : 1; i < kBoardExchanges; ++i)
        o.choices.push_back({std::string(exchangeName(static_cast<BoardExchange>(i))), static_cast<long>(i)});
    o.help = std::move(help);
    return o;
}

// One choice per row of the personalities table; the value is the row.
cli::OptionRow personalityOption()
{
    cli::OptionRow o;
    o.name = "personality";
    o.kind = cli::ValueKind::Choice;
    const auto all = personalities();
    for (std::size_t i = 0; i < all.size(); ++i)
        o.choices.push_back({std::string(all[i]->name), static_cast<long>(i)});
    o.help = "What to pose as; without it, what --model implies, else " + std::string(defaultPersonality().name)
             + ".";
    return o;
}

// The models of every personality, for the help of --model.
std::string modelList()
{
    std::string out;
    for (const Personality* p : personalities()) {
        std::string models;
        for (const auto& m : p->models) {
            if (!models.empty())
                models += ", ";
            models += m.name;
        }
        out += "\n  " + std::string(p->name) + ": " + std::string(p->summary) + " (default model "
               + std::string(p->defaultModel) + "); models:\n    " + models;
    }
    return out;
}

cli::ProgramTable makeTable()
{
    cli::ProgramTable t;
    t.name = "printer-sim";
    t.summary = "pose as a printer on a pseudo-terminal or a TCP port, for tests and demos";
    t.options = {
        // Transport: exactly one of --pty and --tcp.
        flag("pty", "Serve on a new pseudo-terminal."),
        text("link", "PATH", "With --pty: symlink PATH to the slave (removed on exit)."),
        integer("tcp", "PORT", 0, 65535, "Listen on PORT (0 picks a free port); one client at a time."),
        text("bind", "ADDR", "With --tcp: numeric address to listen on.", "127.0.0.1"),
        integer("rcvbuf", "BYTES", kMinReceiveBuffer, kMaxReceiveBuffer,
                "With --tcp: socket receive buffer, set before listening; small values let a stalled "
                "printer fill the host's send buffer quickly."),
        // The printer.
        personalityOption(),
        text("model", "NAME", "A model of the personality (any case)." + modelList()),
        text("model-reply", "TEXT", "Model query reply instead of the model's own."),
        text("version", "TEXT", "Version query reply instead of the model's default."),
        text("code-page", "TEXT", "Code page query reply.", "_PC437"),
        text("msr-mode", "N", "MSR mode byte, 0..255, decimal or 0x hex.", "0"),
        // The mobile printer's memory; without these, the model's factory state.
        repeatable(text("switch", "N=BITS",
                        "Memory switch N (1, 2, 3, 5, 6, 7, 8, 0x49, 0x50 or 0x51; decimal or 0x hex) "
                        "holds BITS, eight characters 0/1 with d1 (the most significant bit) first, e.g. "
                        "--switch 0x51=00000001.")),
        text("serial", "BAUD,PARITY,FLOW,DATABITS",
             "Serial interface items: BAUD a positive decimal rate, PARITY 0 none/1 odd/2 even, FLOW 0 "
             "none/1 DTR-DSR, DATABITS 7 or 8.", "115200,0,0,8"),
        repeatable(text("sentinel", "T=START,END",
                        "MSR sentinel codes of track T (1..3), 0..10 bytes each; \\xHH gives any byte "
                        "(\\x2c a comma), \\\\ a backslash.",
                        "START1,END1 START2,END2 START3,END3")),
        integer("bt-mode", "N", 0, 2, "Bluetooth connection mode (reported as '1'+N).", "1"),
        integer("bt-security", "N", 0, 1, "Bluetooth security (authentication and encryption).", "1"),
        text("bt-pin", "TEXT", "Bluetooth PIN code.", "9274"),
        text("bt-name", "TEXT", "Bluetooth device name.", "the model name"),
        dialectOption(),
        text("state", "FILE",
             "Keep the memory in FILE: read at start if it exists (its values win over the options "
             "above), rewritten atomically after every change, so the memory survives restarts. One "
             "'key: value' line per item: switch.1 .. switch.8, switch.0x49, switch.0x50, switch.0x51 "
             "(eight 0/1), serial.baud, serial.parity, serial.flow, serial.databits, "
             "sentinel.T.start, sentinel.T.end (escaped as above), bt.mode, bt.security, bt.pin, "
             "bt.name; '#' lines are comments, missing keys keep their value."),
        // The mobile printer's NV images; kept for the run only, not in --state.
        nvFamilyOption(),
        integer("nv-keys-per-block", "N", 1, static_cast<long>(NvConfig::kMaxKeysPerBlock),
                "Key-code printers: keys per key list block; each block waits for the host's ACK.",
                std::to_string(NvConfig::kDefaultKeysPerBlock)),
        repeatable(text("nv-key", "KK=WxH",
                        "Key-code printers: store a blank W x H dot image under the two-character key KK "
                        "(bytes 20..7e) at start, in the order given.")),
        repeatable(text("nv-image", "WxH",
                        "Indexed printers: store a blank W x H dot image as the next index at start.")),
        text("nv-print-dir", "DIR",
             "Write each print of a stored NV image to DIR as a PBM file (P4): print-NNNN-LABEL.pbm, NNNN "
             "counting all prints from 0001, LABEL the index, or the key with bytes other than letters and digits "
             "as _HH (hex)."),
        // The network board (--personality network-board).
        text("if-record", "FILE",
             "Network board: the 603-byte configuration record it holds, raw bytes (default: a named "
             "printer, infrastructure, manual 192.168.0.100/255.255.255.0/192.168.0.1, SSID quellix-lab, "
             "WPA2-PSK/AES, raw port 9100, inactivity 300 s). An IF__SET replaces it for the run."),
        text("firmware", "TEXT", "Network board: firmware version text, up to 16 bytes.", "the model's"),
        text("update-date", "TEXT", "Network board: update date text, up to 32 bytes.", "2025/06/14 09:30"),
        text("mac", "AA-BB-CC-DD-EE-FF", "Network board: MAC address.", "00-19-7B-2A-41-0C"),
        text("bss-body", "FILE",
             "Network board: the access-point answer's body (after the tag, without pad and checksum), "
             "raw bytes, up to " + std::to_string(NetworkBoardConfig::kMaxBssBody)
                 + " (default: three entries, WPA2 and WEP64 infrastructure and an open ad hoc cell)."),
        text("opener-answer", "HEX", "Network board: the answer to the link opener.", "1f574d7f1d1f03"),
        integer("bss-tcp-port", "PORT", 0, 65535,
                "Network board: also answer the access-point query over TCP on 127.0.0.1 PORT (0 picks a "
                "free port, announced as a second stdout line): the raw 20-byte BSS_REQ message in, the raw "
                "BSS_RSP message out, then the connection is closed."),
        flag("bss-tcp-keep-open", "With --bss-tcp-port: keep the connection open after answering, until the "
                                  "host closes it."),
        flag("upper-hex", "Network board: frame replies in upper-case hex."),
        text("record-out", "FILE",
             "Network board: after each IF__SET write the 603-byte record it stored to FILE (raw bytes, "
             "replaced atomically)."),
        text("cert-dir", "DIR",
             "Network board: write each uploaded certificate to DIR/ca.pem, DIR/client-key.pem or "
             "DIR/client-pem.pem (replaced atomically)."),
        flag("set-fails", "Network board: answer IF__SET with a valid message that is not IF__SUC and store "
                          "nothing."),
        flag("cert-no-start", "Network board: NAK certificate start requests instead of answering STRT."),
        integer("cert-garbage", "K", 0, 1000,
                "Network board: answer each certificate chunk with garbage K times before taking it."),
        exchangeOption("bad-checksum", "Network board: the reply to this request carries a wrong checksum.",
                       false),
        exchangeOption("short-reply",
                       "Network board: the reply to this request is two bytes short of its layout, with a "
                       "valid checksum.",
                       false),
        exchangeOption("silent-on", "Network board: never answer this request (--silent: never answer at all).",
                       true),
        // Received bytes.
        text("capture", "FILE", "Append every received byte to FILE."),
        integer("drop-client-after", "N", 1, kMaxCount,
                "With --tcp: close each client's connection once it has sent N bytes (the first N are "
                "taken as usual)."),
        text("report", "FILE",
             "Rewrite FILE after each read with the lines 'bytes N', 'crc32 HEX8' and 'commands N'. "
             "A mobile printer adds 'key: value' lines: 'dialect: gs|bs', 'version-number: N', "
             "'setting-mode: on|off', its memory as in --state, 'rejected: N' (refused writes: bad "
             "character or value, outside the setting mode) and 'ignored: N' (commands of the other "
             "dialect or not in this version), each followed by up to 50 lines 'rejected.K: REASON: "
             "HEX' / 'ignored.K: REASON: HEX'. Then its NV images: 'nv.family: key-code|indexed', "
             "'nv.count: N', one 'nv.image.LABEL: WxH crc32 HEX8' per image in list order (LABEL the "
             "key, escaped as in --state with space and colon as \\x20 and \\x3a, or the index; the "
             "CRC-32 of its raster), 'nv.lists: N', 'nv.acks: N', 'nv.cancels: N' (key lists asked for, "
             "the ACKs and CANs their blocks took), 'nv.prints: N' with one 'nv.print: LABEL' per print "
             "in order (the first 1000; ' missing' after a label not stored), 'nv.malformed: N' (defines "
             "not stored: length, header or blocks wrong) and 'nv.ignored: N' (the other family's "
             "commands, unknown functions), each followed by up to 50 lines 'nv.malformed.K: REASON: "
             "HEX' / 'nv.ignored.K: REASON: HEX'. A network board adds 'board.openers: N', "
             "'board.frames.sys-req|if-get|bss-req|if-set: N' (requests answered or not), 'board.errors: N' "
             "(frames refused and NAKed) with up to 50 lines 'board.error.K: REASON: HEX', "
             "'board.tcp.queries: N', 'board.tcp.errors: N', 'board.tcp.last: HEX' (the last message "
             "received over TCP), 'board.record: HEX' (the record it holds), 'board.cert.starts: N', "
             "'board.cert.chunks: N', 'board.cert.refused: N', 'board.cert.garbage: N' and per uploaded type "
             "'board.cert.ca|client-key|client-pem: SIZE crc32 HEX8'."),
        // Test knobs for the replies.
        integer("chunk", "N", 1, kMaxChunk,
                "Send each reply in pieces of N bytes (--chunk 1024 --chunk-delay 50 delivers a network "
                "board's 1252-byte configuration reply as 1024 + 228, as a USB printer node reads it)."),
        integer("chunk-delay", "MS", 0, kMaxDelayMs, "Wait MS between pieces."),
        integer("reply-delay", "MS", 0, kMaxDelayMs, "Wait MS before each reply."),
        text("stray", "HEX", "Send these bytes (e.g. 4142) before each reply."),
        flag("silent", "Never reply (chatter is still sent)."),
        integer("drop-after", "MS", 10, kMaxDelayMs, "Drop replies no host reads for MS.", "2000"),
        text("chatter", "HEX",
             "Status bytes (e.g. 1200) sent unasked every --chatter-every N received bytes; give both "
             "or neither."),
        integer("chatter-every", "N", 1, kMaxCount, "Received bytes between two --chatter sends."),
        // Test knobs for receiving, counted over all hosts since start.
        integer("read-rate", "BPS", 1, kMaxRate, "Read at most BPS bytes per second."),
        integer("stall-after", "N", 0, kMaxCount, "Stop reading after N bytes, until killed."),
        integer("pause-after", "N", 1, kMaxCount,
                "Every N bytes, stop reading for --pause-ms MS; give both or neither."),
        integer("pause-ms", "MS", 1, kMaxDelayMs, "Length of each --pause-after pause."),
        // Network boards on UDP (the third transport).
        integer("udp", "PORT", 0, 65535,
                "Answer the network boards' discovery and store datagrams on UDP PORT (0 picks a free port, "
                "announced), both modes on the one port, every answer unicast to the request's source."),
        text("udp-bind", "ADDR",
             "With --udp: the address to bind, in 127.0.0.0/8; 0.0.0.0 only when given, so that a "
             "broadcast to 127.255.255.255 reaches the boards.",
             "127.0.0.1"),
        repeatable(text("udp-printer", "MODE[,KEY=VALUE...]",
                        "With --udp: one board, MODE ethernet or wlan. Record keys: mac=AA:BB:CC:DD:EE:FF, ip=, "
                        "subnet=, gateway= (dotted), port=N, baud=HH (hex code), fw=MAJOR.MINOR, dhcp=N, "
                        "inactivity=S, https=N, cap=N and reserved=N (wlan), or record=HEX (27 or 29 bytes). "
                        "Knobs: repeat=N (answer each search N times), delay=MS, cut=N (only the answer's "
                        "first N bytes), pad=N (N zero bytes more), store=setc|setrsp|none|HEX (the store "
                        "answer; default SETC for ethernet, SET_RSP for wlan), store-delay=MS. Defaults: MAC "
                        "00:19:7B:10:00:NN, 192.168.0.(100+NN) for the NNth board, 255.255.255.0, gateway "
                        "192.168.0.1, port 9100, baud FF, firmware 1.5, capability 31. A store is taken by "
                        "the boards of its mode with the record's MAC, which keep the new bytes.")),
        repeatable(text("udp-stray", "HEX[@MS]",
                        "With --udp: send these bytes to every searcher, MS after the request (default 0).")),
    };
    for (cli::OptionRow& row : posOptionRows())
        t.options.push_back(std::move(row));
    t.exitStatuses = {
        {0, "stopped by SIGTERM, SIGINT or SIGHUP"},
        {1, "the link could not be opened or failed, a capture, report or state file could not be "
            "written, or the state file could not be read"},
        {2, "usage error"},
    };
    t.epilogue = "Give exactly one transport: --pty, --tcp PORT or --udp PORT. Once ready, printer-sim prints "
                 "one line to stdout (the slave path with --pty, the port number with --tcp or --udp; with "
                 "--bss-tcp-port a "
                 "second line, that port number) and serves until "
                 "SIGTERM or SIGINT. SIGUSR1 prints the receive report to stderr.\n"
                 "The receiving knobs count the bytes of all hosts since the start.";
    return t;
}

const cli::ProgramTable& programTable()
{
    static const cli::ProgramTable table = makeTable();
    return table;
}

// Decimal, or hex after "0x"; the whole text must be the number.
std::optional<std::uint64_t> parseByteValue(std::string_view text)
{
    int base = 10;
    if (text.starts_with("0x") || text.starts_with("0X")) {
        text.remove_prefix(2);
        base = 16;
    }
    if (text.empty())
        return std::nullopt;
    std::uint64_t value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (ec != std::errc{} || end != text.data() + text.size() || value > 255)
        return std::nullopt;
    return value;
}

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// A bounded hex byte string option into `out`; false with the problem set.
bool hexOption(const cli::ParsedArgs& a, const char* name, const char* example, std::string& out,
               std::string& error)
{
    const auto v = a.value(name);
    if (!v)
        return true;
    if (v->text.size() <= 2 * kMaxStrayBytes && parseHexBytes(v->text, out))
        return true;
    error = std::string("--") + name + " needs hex byte pairs such as " + example + " (up to "
            + std::to_string(kMaxStrayBytes) + " bytes)";
    return false;
}

std::vector<std::string_view> splitOn(std::string_view text, char sep)
{
    std::vector<std::string_view> parts;
    for (;;) {
        const std::size_t at = text.find(sep);
        parts.push_back(text.substr(0, at));
        if (at == std::string_view::npos)
            return parts;
        text.remove_prefix(at + 1);
    }
}

std::optional<long> parseSmallDecimal(std::string_view text, std::size_t maxDigits)
{
    long v = 0;
    if (text.empty() || text.size() > maxDigits)
        return std::nullopt;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc{} || end != text.data() + text.size() || v < 0)
        return std::nullopt;
    return v;
}

// --switch, --serial, --sentinel and the Bluetooth options onto `state`.
bool memoryOptions(const cli::ParsedArgs& a, SwitchState& state, std::string& error)
{
    for (const auto& v : a.values("switch")) {
        const std::size_t eq = v.text.find('=');
        const auto n = eq == std::string::npos ? std::nullopt : parseByteValue(std::string_view(v.text).substr(0, eq));
        std::uint8_t* bits = n ? state.switchByNumber(static_cast<unsigned>(*n)) : nullptr;
        const auto value = eq == std::string::npos ? std::nullopt : parseBits(std::string_view(v.text).substr(eq + 1));
        if (bits == nullptr || !value) {
            error = "--switch: '" + v.text + "' is not N=BITS with N one of 1, 2, 3, 5, 6, 7, 8, 0x49, 0x50, "
                    "0x51 and BITS eight characters 0/1";
            return false;
        }
        *bits = *value;
    }
    if (const auto v = a.value("serial")) {
        const auto parts = splitOn(v->text, ',');
        std::optional<long> n[4];
        for (std::size_t i = 0; i < 4 && parts.size() == 4; ++i)
            n[i] = parseSmallDecimal(parts[i], i == 0 ? 7 : 1);
        if (parts.size() != 4 || !n[0] || *n[0] == 0 || !n[1] || !validParity(static_cast<int>(*n[1])) || !n[2]
            || !validFlow(static_cast<int>(*n[2])) || !n[3] || !validDataBits(static_cast<int>(*n[3]))) {
            error = "--serial: '" + v->text + "' is not BAUD,PARITY,FLOW,DATABITS (e.g. 115200,0,0,8; "
                    "parity 0..2, flow 0..1, data bits 7 or 8)";
            return false;
        }
        state.serial = {static_cast<std::uint32_t>(*n[0]), static_cast<int>(*n[1]), static_cast<int>(*n[2]),
                        static_cast<int>(*n[3])};
    }
    for (const auto& v : a.values("sentinel")) {
        const std::string_view text = v.text;
        const std::size_t eq = text.find('=');
        const auto parts = splitOn(eq == std::string_view::npos ? std::string_view{} : text.substr(eq + 1), ',');
        const auto track = eq == 1 && text[0] >= '1' && text[0] <= '3' ? text[0] - '1' : -1;
        const auto start = parts.size() == 2 ? unescapeBytes(parts[0]) : std::nullopt;
        const auto end = parts.size() == 2 ? unescapeBytes(parts[1]) : std::nullopt;
        if (track < 0 || !start || !end || start->size() > kMaxSentinelBytes || end->size() > kMaxSentinelBytes) {
            error = "--sentinel: '" + v.text + "' is not T=START,END with T 1..3 and codes of up to "
                    + std::to_string(kMaxSentinelBytes) + " bytes";
            return false;
        }
        state.sentinels[static_cast<std::size_t>(track)] = {*start, *end};
    }
    if (const auto v = a.value("bt-mode"))
        state.bluetooth.mode = static_cast<int>(v->number);
    if (const auto v = a.value("bt-security"))
        state.bluetooth.security = static_cast<int>(v->number);
    for (const char* name : {"bt-pin", "bt-name"}) {
        const auto v = a.value(name);
        if (!v)
            continue;
        if (v->text.size() > kMaxBluetoothText || v->text.find('\r') != std::string::npos) {
            error = std::string("--") + name + " takes up to " + std::to_string(kMaxBluetoothText)
                    + " bytes without a carriage return";
            return false;
        }
        (name[3] == 'p' ? state.bluetooth.pin : state.bluetooth.name) = v->text;
    }
    return true;
}

// "WxH" with both 0..65535.
std::optional<NvPreload> parseImageSize(std::string_view text)
{
    const std::size_t x = text.find('x');
    if (x == std::string_view::npos)
        return std::nullopt;
    const auto w = parseSmallDecimal(text.substr(0, x), 5);
    const auto h = parseSmallDecimal(text.substr(x + 1), 5);
    if (!w || !h || *w > 65535 || *h > 65535)
        return std::nullopt;
    NvPreload p;
    p.width = static_cast<std::uint16_t>(*w);
    p.height = static_cast<std::uint16_t>(*h);
    return p;
}

// The NV options onto `config`, for a printer of `family`.
bool nvOptions(const cli::ParsedArgs& a, NvFamily family, NvConfig& config, std::string& error)
{
    if (const auto v = a.value("nv-keys-per-block"))
        config.keysPerBlock = static_cast<std::size_t>(v->number);
    const bool indexed = family == NvFamily::Indexed;
    if (a.has("nv-key") && indexed) {
        error = "--nv-key works only with a key-code printer; give --nv-image for an indexed one";
        return false;
    }
    if (a.has("nv-image") && !indexed) {
        error = "--nv-image works only with an indexed printer; give --nv-key KK=WxH for a key-code one";
        return false;
    }
    std::uint64_t total = 0;
    auto add = [&](NvPreload p) {
        total += nvRasterBytes(p.width, p.height);
        if (total > NvMemory::kMaxStoredBytes) {
            error = "the --nv-key and --nv-image images need more than the NV memory's " +
                    std::to_string(NvMemory::kMaxStoredBytes) + " bytes";
            return false;
        }
        config.images.push_back(std::move(p));
        return true;
    };
    for (const auto& v : a.values("nv-key")) {
        const std::string_view text = v.text;
        auto p = text.size() > 3 && text[2] == '=' ? parseImageSize(text.substr(3)) : std::nullopt;
        if (!p || !validNvKey(text.substr(0, 2))) {
            error = "--nv-key: '" + v.text + "' is not KK=WxH with KK two characters 20..7e and W, H 0..65535";
            return false;
        }
        p->key = std::string(text.substr(0, 2));
        if (!add(std::move(*p)))
            return false;
    }
    for (const auto& v : a.values("nv-image")) {
        auto p = parseImageSize(v.text);
        if (!p) {
            error = "--nv-image: '" + v.text + "' is not WxH with W, H 0..65535";
            return false;
        }
        if (!add(std::move(*p)))
            return false;
    }
    return true;
}

// The network board's options onto `o.printer.board` and `o`.
bool boardOptions(const cli::ParsedArgs& a, const Personality& personality, Options& o, std::string& error)
{
    static constexpr const char* kBoardOptions[] = {
        "if-record", "firmware", "update-date", "mac", "bss-body", "opener-answer", "bss-tcp-port",
        "bss-tcp-keep-open", "upper-hex", "bad-checksum", "short-reply", "silent-on",
        "record-out", "cert-dir", "set-fails", "cert-no-start", "cert-garbage",
    };
    if (&personality != &networkBoardPersonality) {
        for (const char* name : kBoardOptions) {
            if (a.has(name)) {
                error = std::string("--") + name + " works only with --personality network-board";
                return false;
            }
        }
        return true;
    }
    NetworkBoardConfig& board = o.printer.board;
    if (a.has("bss-tcp-keep-open") && !a.has("bss-tcp-port")) {
        error = "--bss-tcp-keep-open works only with --bss-tcp-port";
        return false;
    }
    if (const auto v = a.value("firmware")) {
        if (v->text.size() > NetworkBoardConfig::kFirmwareWidth) {
            error = "--firmware takes up to " + std::to_string(NetworkBoardConfig::kFirmwareWidth) + " bytes";
            return false;
        }
        board.firmware = v->text;
    }
    if (const auto v = a.value("update-date")) {
        if (v->text.size() > NetworkBoardConfig::kUpdateDateWidth) {
            error = "--update-date takes up to " + std::to_string(NetworkBoardConfig::kUpdateDateWidth) + " bytes";
            return false;
        }
        board.updateDate = v->text;
    }
    if (const auto v = a.value("mac"); v && !parseMac(v->text, board.mac)) {
        error = "--mac: '" + v->text + "' is not six hex pairs such as 00-19-7B-2A-41-0C";
        return false;
    }
    if (!hexOption(a, "opener-answer", "1f574d7f1d1f03", board.openerAnswer, error))
        return false;
    if (a.has("opener-answer") && board.openerAnswer.empty()) {
        error = "--opener-answer needs at least one byte (--silent-on opener sends none)";
        return false;
    }
    board.upperHex = a.has("upper-hex");
    const std::pair<const char*, std::array<bool, kBoardExchanges>*> perExchange[] = {
        {"bad-checksum", &board.badChecksum}, {"short-reply", &board.shortReply}, {"silent-on", &board.silentOn}};
    for (const auto& [name, flags] : perExchange) {
        for (const auto& v : a.values(name))
            (*flags)[static_cast<std::size_t>(v.number)] = true;
    }
    o.ifRecordPath = a.text("if-record");
    o.bssBodyPath = a.text("bss-body");
    o.recordOutPath = a.text("record-out");
    o.certDir = a.text("cert-dir");
    board.setFails = a.has("set-fails");
    board.certNoStart = a.has("cert-no-start");
    board.certGarbage = static_cast<unsigned>(a.number("cert-garbage", 0));
    if (const auto v = a.value("bss-tcp-port"))
        o.bssTcpPort = static_cast<std::uint16_t>(v->number);
    o.bssTcpKeepOpen = a.has("bss-tcp-keep-open");
    return true;
}

} // namespace

bool parseMac(std::string_view text, std::array<std::uint8_t, 6>& out)
{
    if (text.size() != 17)
        return false;
    std::array<std::uint8_t, 6> mac{};
    for (std::size_t i = 0; i < 6; ++i) {
        const std::size_t at = i * 3;
        if (i > 0 && text[at - 1] != '-' && text[at - 1] != ':')
            return false;
        const int hi = hexDigit(text[at]);
        const int lo = hexDigit(text[at + 1]);
        if (hi < 0 || lo < 0)
            return false;
        mac[i] = static_cast<std::uint8_t>(hi * 16 + lo);
    }
    out = mac;
    return true;
}

bool parseHexBytes(std::string_view hex, std::string& out)
{
    if (hex.size() % 2 != 0)
        return false;
    std::string bytes;
    bytes.reserve(hex.size() / 2);
    for (std::size_t i = 0; i < hex.size(); i += 2) {
        const int hi = hexDigit(hex[i]);
        const int lo = hexDigit(hex[i + 1]);
        if (hi < 0 || lo < 0)
            return false;
        bytes.push_back(static_cast<char>(hi * 16 + lo));
    }
    out = std::move(bytes);
    return true;
}

ParseResult parseOptions(std::span<const std::string_view> args)
{
    ParseResult result;
    Options& o = result.options;
    auto fail = [&](std::string message) {
        result.error = std::move(message);
        return result;
    };

    const std::vector<std::string> words(args.begin(), args.end());
    const cli::ParseResult parsed = cli::parse(programTable(), words);
    if (!parsed.ok)
        return fail(parsed.problem);
    const cli::ParsedArgs& a = parsed.args;
    if (a.help) {
        o.help = true;
        return result;
    }
    // The table has checked every number against its range.
    auto count = [&](const char* name, std::uint64_t fallback) {
        const auto v = a.value(name);
        return v ? static_cast<std::uint64_t>(v->number) : fallback;
    };

    const bool pty = a.has("pty");
    const bool tcp = a.has("tcp");
    const bool udp = a.has("udp");
    if (pty && tcp)
        return fail("give either --pty or --tcp, not both");
    if (udp && (pty || tcp))
        return fail("--udp serves the boards' datagrams alone: no --pty or --tcp with it");
    if (!pty && !tcp && !udp)
        return fail("give a transport: --pty, --tcp PORT or --udp PORT");
    o.transport = pty ? Transport::Pty : tcp ? Transport::Tcp : Transport::Udp;
    if (!udp && (a.has("udp-bind") || a.has("udp-printer") || a.has("udp-stray")))
        return fail("--udp-bind, --udp-printer and --udp-stray work only with --udp");
    o.udpPort = static_cast<std::uint16_t>(count("udp", 0));
    o.udpBind = a.text("udp-bind", o.udpBind);
    int udpIndex = 0;
    for (const auto& v : a.values("udp-printer")) {
        UdpPrinter printer;
        if (!parseUdpPrinter(v.text, udpIndex++, printer, result.error))
            return result;
        o.udpPrinters.push_back(std::move(printer));
    }
    for (const auto& v : a.values("udp-stray")) {
        UdpStray stray;
        if (!parseUdpStray(v.text, stray, result.error))
            return result;
        o.udpStrays.push_back(std::move(stray));
    }
    if (a.has("link") && !pty)
        return fail("--link works only with --pty");
    if (a.has("bind") && !tcp)
        return fail("--bind works only with --tcp");
    if (a.has("rcvbuf") && !tcp)
        return fail("--rcvbuf works only with --tcp");
    if (a.has("drop-client-after") && !tcp)
        return fail("--drop-client-after works only with --tcp");
    o.dropClientAfter = count("drop-client-after", 0);
    if (a.has("chatter") != a.has("chatter-every"))
        return fail("--chatter and --chatter-every go together");
    if (a.has("pause-after") != a.has("pause-ms"))
        return fail("--pause-after and --pause-ms go together");

    o.linkPath = a.text("link");
    o.port = static_cast<std::uint16_t>(count("tcp", 0));
    o.bindAddress = a.text("bind", o.bindAddress);
    o.receiveBuffer = static_cast<int>(count("rcvbuf", 0));
    o.capturePath = a.text("capture");
    o.reportPath = a.text("report");

    o.shaping.silent = a.has("silent");
    o.shaping.chunkSize = static_cast<std::size_t>(count("chunk", o.shaping.chunkSize));
    o.shaping.chunkDelayMs = static_cast<std::uint32_t>(count("chunk-delay", o.shaping.chunkDelayMs));
    o.shaping.replyDelayMs = static_cast<std::uint32_t>(count("reply-delay", o.shaping.replyDelayMs));
    o.dropAfterMs = static_cast<std::uint32_t>(count("drop-after", o.dropAfterMs));
    if (!hexOption(a, "stray", "4142", o.shaping.stray, result.error)
        || !hexOption(a, "chatter", "1200", o.chatter.bytes, result.error))
        return result;
    o.chatter.every = count("chatter-every", o.chatter.every);

    o.pacing.bytesPerSecond = count("read-rate", o.pacing.bytesPerSecond);
    if (a.has("stall-after"))
        o.pacing.stallAfter = count("stall-after", 0);
    o.pacing.pauseAfter = count("pause-after", o.pacing.pauseAfter);
    o.pacing.pauseMs = static_cast<std::uint32_t>(count("pause-ms", o.pacing.pauseMs));

    std::optional<std::uint8_t> msrMode;
    if (const auto v = a.value("msr-mode")) {
        const auto n = parseByteValue(v->text);
        if (!n)
            return fail("--msr-mode: '" + v->text + "' is not a number from 0 to 255");
        msrMode = static_cast<std::uint8_t>(*n);
    }

    // The model implies the personality unless one is given.
    const Personality* personality = nullptr;
    if (const auto v = a.value("personality"))
        personality = personalities()[static_cast<std::size_t>(v->number)];
    const std::optional<std::string> modelName =
        a.has("model") ? std::optional<std::string>(a.text("model")) : std::nullopt;
    const ModelInfo* model = nullptr;
    if (!modelName) {
        if (personality == nullptr)
            personality = &defaultPersonality();
        model = findModelIn(*personality, personality->defaultModel);
    } else if (personality != nullptr) {
        model = findModelIn(*personality, *modelName);
        if (model == nullptr && findModel(*modelName) != nullptr)
            return fail("model '" + *modelName + "' is not a " + std::string(personality->name) + " model");
    } else {
        model = findModel(*modelName);
        if (model != nullptr)
            personality = personalityOf(*model);
    }
    if (model == nullptr || personality == nullptr)
        return fail("unknown model '" + modelName.value_or("") + "'");

    o.personality = personality;
    o.model = std::string(model->name);
    o.printer = personality->configFor(*model);
    if (a.has("model-reply"))
        o.printer.modelReply = a.text("model-reply");
    if (a.has("version"))
        o.printer.versionReply = a.text("version");
    if (a.has("code-page"))
        o.printer.codePageReply = a.text("code-page");
    if (msrMode)
        o.printer.msrMode = *msrMode;

    const bool memory = a.has("switch") || a.has("serial") || a.has("sentinel") || a.has("bt-mode")
                        || a.has("bt-security") || a.has("bt-pin") || a.has("bt-name") || a.has("dialect")
                        || (a.has("state") && personality != &posPersonality) || a.has("nv-family") || a.has("nv-keys-per-block") || a.has("nv-key")
                        || a.has("nv-image") || a.has("nv-print-dir");
    if (memory && personality != &mobilePersonality)
        return fail("the memory options work only with a printer that has memory switches");
    if (!boardOptions(a, *personality, o, result.error))
        return result;
    if (!posOptions(a, personality == &posPersonality, o.printer.pos, result.error))
        return result;
    if (!memoryOptions(a, o.printer.switches, result.error))
        return result;
    if (const auto v = a.value("dialect"))
        o.printer.dialect = v->number == 0 ? Dialect::Gs : Dialect::Bs;
    o.statePath = a.text("state");
    if (const auto v = a.value("nv-family"))
        o.printer.nv.family = v->number == 0 ? NvFamily::KeyCode : NvFamily::Indexed;
    if (!nvOptions(a, nvFamilyOf(o.printer), o.printer.nv, result.error))
        return result;
    o.nvPrintDir = a.text("nv-print-dir");
    return result;
}

std::string helpText()
{
    return cli::helpText(programTable());
}

std::string usageText()
{
    return cli::usageText(programTable());
}

} // namespace sim
