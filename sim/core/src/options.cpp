#include "sim/options.h"

#include "sim/models.h"

#include <charconv>
#include <cstdint>
#include <optional>

namespace sim {

namespace {

constexpr std::uint64_t kMaxDelayMs = 600'000;
constexpr std::uint64_t kMaxChunk = 65'536;
constexpr std::size_t kMaxStrayBytes = 4096;
constexpr std::uint64_t kMaxCount = std::uint64_t{1} << 40;  // byte counts: 1 TiB
constexpr std::uint64_t kMaxRate = 1'000'000'000;             // bytes per second
constexpr std::uint64_t kMinReceiveBuffer = 256;
constexpr std::uint64_t kMaxReceiveBuffer = std::uint64_t{1} << 24;

// Decimal, or hex after "0x" when `allowHex`; the whole text must be the number.
std::optional<std::uint64_t> parseUnsigned(std::string_view text, std::uint64_t max, bool allowHex)
{
    int base = 10;
    if (allowHex && (text.starts_with("0x") || text.starts_with("0X"))) {
        text.remove_prefix(2);
        base = 16;
    }
    if (text.empty())
        return std::nullopt;
    std::uint64_t value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (ec != std::errc{} || end != text.data() + text.size() || value > max)
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

} // namespace

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
    const Personality* personality = nullptr;
    std::optional<std::string> modelName;
    std::optional<std::string> modelReply, version, codePage;
    std::optional<std::uint8_t> msrMode;
    bool pty = false;
    bool tcp = false;
    bool bindGiven = false;
    bool chatterEveryGiven = false;
    bool pauseMsGiven = false;

    auto fail = [&](std::string message) {
        result.error = std::move(message);
        return result;
    };

    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string_view name = args[i];
        std::optional<std::string_view> inlineValue;
        if (name.starts_with("--")) {
            if (const auto eq = name.find('='); eq != std::string_view::npos) {
                inlineValue = name.substr(eq + 1);
                name = name.substr(0, eq);
            }
        }
        const std::string optName(name);

        auto flag = [&]() -> bool {
            if (inlineValue) {
                result.error = optName + " takes no value";
                return false;
            }
            return true;
        };
        std::string_view value;
        auto takeValue = [&]() -> bool {
            if (inlineValue) {
                value = *inlineValue;
                return true;
            }
            if (i + 1 >= args.size()) {
                result.error = optName + " needs a value";
                return false;
            }
            value = args[++i];
            return true;
        };
        auto number = [&](std::uint64_t max, bool allowHex) -> std::optional<std::uint64_t> {
            if (!takeValue())
                return std::nullopt;
            auto n = parseUnsigned(value, max, allowHex);
            if (!n)
                result.error = optName + ": '" + std::string(value) + "' is not a number from 0 to " +
                               std::to_string(max);
            return n;
        };

        if (name == "-h" || name == "--help") {
            if (!flag())
                return result;
            o.help = true;
            return result;
        } else if (name == "--pty") {
            if (!flag())
                return result;
            pty = true;
        } else if (name == "--silent") {
            if (!flag())
                return result;
            o.shaping.silent = true;
        } else if (name == "--link") {
            if (!takeValue())
                return result;
            if (value.empty())
                return fail("--link needs a path");
            o.linkPath = std::string(value);
        } else if (name == "--tcp") {
            const auto n = number(65535, false);
            if (!n)
                return result;
            o.port = static_cast<std::uint16_t>(*n);
            tcp = true;
        } else if (name == "--bind") {
            if (!takeValue())
                return result;
            if (value.empty())
                return fail("--bind needs an address");
            o.bindAddress = std::string(value);
            bindGiven = true;
        } else if (name == "--personality") {
            if (!takeValue())
                return result;
            personality = findPersonality(value);
            if (personality == nullptr)
                return fail("unknown personality '" + std::string(value) + "'");
        } else if (name == "--model") {
            if (!takeValue())
                return result;
            modelName = std::string(value);
        } else if (name == "--model-reply") {
            if (!takeValue())
                return result;
            modelReply = std::string(value);
        } else if (name == "--version") {
            if (!takeValue())
                return result;
            version = std::string(value);
        } else if (name == "--code-page") {
            if (!takeValue())
                return result;
            codePage = std::string(value);
        } else if (name == "--msr-mode") {
            const auto n = number(255, true);
            if (!n)
                return result;
            msrMode = static_cast<std::uint8_t>(*n);
        } else if (name == "--chunk") {
            const auto n = number(kMaxChunk, false);
            if (!n)
                return result;
            if (*n == 0)
                return fail("--chunk must be at least 1");
            o.shaping.chunkSize = static_cast<std::size_t>(*n);
        } else if (name == "--chunk-delay") {
            const auto n = number(kMaxDelayMs, false);
            if (!n)
                return result;
            o.shaping.chunkDelayMs = static_cast<std::uint32_t>(*n);
        } else if (name == "--reply-delay") {
            const auto n = number(kMaxDelayMs, false);
            if (!n)
                return result;
            o.shaping.replyDelayMs = static_cast<std::uint32_t>(*n);
        } else if (name == "--drop-after") {
            const auto n = number(kMaxDelayMs, false);
            if (!n)
                return result;
            if (*n < 10)
                return fail("--drop-after must be at least 10 ms");
            o.dropAfterMs = static_cast<std::uint32_t>(*n);
        } else if (name == "--stray") {
            if (!takeValue())
                return result;
            if (value.empty() || value.size() > 2 * kMaxStrayBytes ||
                !parseHexBytes(value, o.shaping.stray))
                return fail("--stray needs hex byte pairs such as 4142 (up to " +
                            std::to_string(kMaxStrayBytes) + " bytes)");
        } else if (name == "--chatter") {
            if (!takeValue())
                return result;
            if (value.empty() || value.size() > 2 * kMaxStrayBytes ||
                !parseHexBytes(value, o.chatter.bytes))
                return fail("--chatter needs hex byte pairs such as 1200 (up to " +
                            std::to_string(kMaxStrayBytes) + " bytes)");
        } else if (name == "--chatter-every") {
            const auto n = number(kMaxCount, false);
            if (!n)
                return result;
            if (*n == 0)
                return fail("--chatter-every must be at least 1");
            o.chatter.every = *n;
            chatterEveryGiven = true;
        } else if (name == "--read-rate") {
            const auto n = number(kMaxRate, false);
            if (!n)
                return result;
            if (*n == 0)
                return fail("--read-rate must be at least 1 byte per second");
            o.pacing.bytesPerSecond = *n;
        } else if (name == "--stall-after") {
            const auto n = number(kMaxCount, false);
            if (!n)
                return result;
            o.pacing.stallAfter = *n;
        } else if (name == "--pause-after") {
            const auto n = number(kMaxCount, false);
            if (!n)
                return result;
            if (*n == 0)
                return fail("--pause-after must be at least 1");
            o.pacing.pauseAfter = *n;
        } else if (name == "--pause-ms") {
            const auto n = number(kMaxDelayMs, false);
            if (!n)
                return result;
            if (*n == 0)
                return fail("--pause-ms must be at least 1");
            o.pacing.pauseMs = static_cast<std::uint32_t>(*n);
            pauseMsGiven = true;
        } else if (name == "--rcvbuf") {
            const auto n = number(kMaxReceiveBuffer, false);
            if (!n)
                return result;
            if (*n < kMinReceiveBuffer)
                return fail("--rcvbuf must be at least " + std::to_string(kMinReceiveBuffer));
            o.receiveBuffer = static_cast<int>(*n);
        } else if (name == "--capture") {
            if (!takeValue())
                return result;
            if (value.empty())
                return fail("--capture needs a file name");
            o.capturePath = std::string(value);
        } else if (name == "--report") {
            if (!takeValue())
                return result;
            if (value.empty())
                return fail("--report needs a file name");
            o.reportPath = std::string(value);
        } else {
            return fail("unknown option '" + optName + "'");
        }
    }

    if (pty && tcp)
        return fail("give either --pty or --tcp, not both");
    if (!pty && !tcp)
        return fail("give a transport: --pty or --tcp PORT");
    o.transport = pty ? Transport::Pty : Transport::Tcp;
    if (!o.linkPath.empty() && !pty)
        return fail("--link works only with --pty");
    if (bindGiven && !tcp)
        return fail("--bind works only with --tcp");
    if (o.receiveBuffer != 0 && !tcp)
        return fail("--rcvbuf works only with --tcp");
    if (o.chatter.bytes.empty() != !chatterEveryGiven)
        return fail("--chatter and --chatter-every go together");
    if ((o.pacing.pauseAfter == 0) != !pauseMsGiven)
        return fail("--pause-after and --pause-ms go together");

    // The model implies the personality unless one is given.
    const ModelInfo* model = nullptr;
    if (!modelName) {
        if (personality == nullptr)
            personality = &defaultPersonality();
        model = findModelIn(*personality, personality->defaultModel);
    } else if (personality != nullptr) {
        model = findModelIn(*personality, *modelName);
        if (model == nullptr && findModel(*modelName) != nullptr)
            return fail("model '" + *modelName + "' is not a " + std::string(personality->name) +
                        " model");
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
    if (modelReply)
        o.printer.modelReply = *modelReply;
    if (version)
        o.printer.versionReply = *version;
    if (codePage)
        o.printer.codePageReply = *codePage;
    if (msrMode)
        o.printer.msrMode = *msrMode;
    return result;
}

std::string usageText(std::string_view program)
{
    std::string kinds;
    for (const Personality* p : personalities()) {
        std::string models;
        for (const auto& m : p->models) {
            if (!models.empty())
                models += ", ";
            models += m.name;
        }
        kinds += "                      " + std::string(p->name) + ": " + std::string(p->summary) +
                 " (default model " + std::string(p->defaultModel) + ")\n"
                 "                        models: " + models + "\n";
    }
    const std::string p(program);
    return "Usage: " + p + " --pty [--link PATH] [options]\n"
           "       " + p + " --tcp PORT [--bind ADDR] [options]\n"
           "\n"
           "Poses as a printer. Once ready it prints one line to stdout (the slave\n"
           "path with --pty, the port number with --tcp) and serves until SIGTERM or\n"
           "SIGINT. SIGUSR1 prints the receive report to stderr.\n"
           "\n"
           "Transport (exactly one):\n"
           "  --pty               serve on a new pseudo-terminal\n"
           "  --link PATH         with --pty: symlink PATH to the slave (removed on exit)\n"
           "  --tcp PORT          listen on PORT (0 picks a free port); one client at a time\n"
           "  --bind ADDR         with --tcp: numeric address to listen on (default 127.0.0.1)\n"
           "  --rcvbuf BYTES      with --tcp: socket receive buffer (256..16777216), set\n"
           "                      before listening; small values let a stalled printer\n"
           "                      fill the host's send buffer quickly\n"
           "\n"
           "Printer:\n"
           "  --personality NAME  what to pose as (default: what --model implies, else " +
           std::string(defaultPersonality().name) + "):\n" + kinds +
           "  --model NAME        a model of the personality (any case)\n"
           "  --model-reply TEXT  model query reply instead of the model's own\n"
           "  --version TEXT      version query reply instead of the model's default\n"
           "  --code-page TEXT    code page query reply (default _PC437)\n"
           "  --msr-mode N        MSR mode byte, 0..255, decimal or 0x hex (default 0)\n"
           "\n"
           "Received bytes:\n"
           "  --capture FILE      append every received byte to FILE\n"
           "  --report FILE       rewrite FILE after each read with the lines\n"
           "                      'bytes N', 'crc32 HEX8' and 'commands N'\n"
           "\n"
           "Test knobs, replies:\n"
           "  --chunk N           send each reply in pieces of N bytes\n"
           "  --chunk-delay MS    wait MS between pieces\n"
           "  --reply-delay MS    wait MS before each reply\n"
           "  --stray HEX         send these bytes (e.g. 4142) before each reply\n"
           "  --silent            never reply (chatter is still sent)\n"
           "  --drop-after MS     drop replies no host reads for MS (default 2000)\n"
           "  --chatter HEX       status bytes (e.g. 1200) sent unasked ...\n"
           "  --chatter-every N   ... every N received bytes (both or neither)\n"
           "\n"
           "Test knobs, receiving (counted over all hosts since start):\n"
           "  --read-rate BPS     read at most BPS bytes per second\n"
           "  --stall-after N     stop reading after N bytes, until killed\n"
           "  --pause-after N     stop reading for --pause-ms MS after every N bytes\n"
           "  --pause-ms MS       (both or neither)\n"
           "  -h, --help          show this help\n"
           "\n"
           "Options take their value as the next argument or after '='.\n";
}

} // namespace sim
