#include "sim/pos_printer.h"

#include "sim/options.h"

#include <charconv>

namespace sim {
namespace {

namespace cli = platform::cli;

std::string withNul(const std::string& text)
{
    std::string reply = text;
    reply.push_back('\0');
    return reply;
}

constexpr ModelInfo kModels[] = {
    {"KTP-M880", {"M880"}, "_KTP-M880", "_V2.00"},
    {"KTP-M882", {"M882"}, "_KTP-M882", "_V2.00"},
};

PrinterConfig configFor(const ModelInfo& model)
{
    PrinterConfig config;
    config.modelReply = std::string(model.reply);
    config.versionReply = std::string(model.version);
    return config;
}

std::unique_ptr<PrinterState> makeState(const PrinterConfig& config)
{
    return std::make_unique<PosPrinter>(config);
}

cli::OptionRow textRow(std::string name, std::string valueName, std::string help, bool repeatable = false)
{
    cli::OptionRow o;
    o.name = std::move(name);
    o.kind = cli::ValueKind::Text;
    o.valueName = std::move(valueName);
    o.help = std::move(help);
    o.repeatable = repeatable;
    return o;
}

// "PREFIX=BYTES", both hex.
bool hexPair(const std::string& text, std::string& prefix, std::string& bytes)
{
    const std::size_t eq = text.find('=');
    if (eq == std::string::npos || eq == 0 || text.size() > 8200)
        return false;
    return parseHexBytes(std::string_view(text).substr(0, eq), prefix)
           && parseHexBytes(std::string_view(text).substr(eq + 1), bytes) && !prefix.empty();
}

// The reply to the command `bytes` with the knobs applied.
std::string shapedReply(const PosConfig& pos, std::string_view bytes, std::string reply)
{
    const std::string key(bytes);
    if (const auto raw = pos.rawReplies.find(key); raw != pos.rawReplies.end())
        reply = raw->second;
    if (pos.muted.count(key) != 0)
        return {};
    if (const auto stray = pos.strayBefore.find(key); stray != pos.strayBefore.end() && !reply.empty())
        reply = stray->second + reply;
    return reply;
}

// ESC = n and GS a n: taken, no reply.
HandlerResult threeByteSetting(const PrinterConfig& c, std::string_view input)
{
    if (input.size() < 3)
        return HandlerResult::needMore();
    return HandlerResult::done(3, shapedReply(c.pos, input.substr(0, 3), {}));
}

HandlerResult idQuery(const PrinterConfig& c, std::string_view)
{
    return HandlerResult::done(kPosQueryId.size(), shapedReply(c.pos, kPosQueryId, c.pos.idReply));
}

HandlerResult makerQuery(const PrinterConfig& c, std::string_view)
{
    return HandlerResult::done(kPosQueryMaker.size(), shapedReply(c.pos, kPosQueryMaker, withNul(c.pos.makerReply)));
}

HandlerResult modelQuery(const PrinterConfig& c, std::string_view)
{
    return HandlerResult::done(kPosQueryModel.size(), shapedReply(c.pos, kPosQueryModel, withNul(c.modelReply)));
}

HandlerResult versionQuery(const PrinterConfig& c, std::string_view)
{
    return HandlerResult::done(kPosQueryVersion.size(),
                               shapedReply(c.pos, kPosQueryVersion, withNul(c.versionReply)));
}

HandlerResult languageQuery(const PrinterConfig& c, std::string_view)
{
    return HandlerResult::done(kPosQueryLanguage.size(),
                               shapedReply(c.pos, kPosQueryLanguage, withNul(c.pos.languageReply)));
}

constexpr CommandRow kCommands[] = {
    {kPosSelect, threeByteSetting},  {kPosStatusBack, threeByteSetting}, {kPosQueryId, idQuery},
    {kPosQueryMaker, makerQuery},    {kPosQueryModel, modelQuery},       {kPosQueryVersion, versionQuery},
    {kPosQueryLanguage, languageQuery},
};

} // namespace

PosPrinter::PosPrinter(const PrinterConfig& config) : config_(config), switches_(config.pos.switches) {}

std::string PosPrinter::shaped(std::string_view bytes, std::string reply) const
{
    return shapedReply(config_.pos, bytes, std::move(reply));
}

// The reset and the test print are counted, so they live with the state;
// so do raw replies for prefixes that are no command of the table.
void PosPrinter::addCommands(CommandParser& parser)
{
    const PosConfig& pos = config_.pos;
    parser.addCommand(std::string(kPosReset), [this](std::string_view) {
        ++resets_;
        return HandlerResult::done(kPosReset.size(), shaped(kPosReset, {}));
    });
    parser.addCommand(std::string(kPosTestPrint), [this](std::string_view input) {
        if (input.size() < 5)
            return HandlerResult::needMore();
        const std::size_t length = 5 + static_cast<unsigned char>(input[3])
                                   + 256u * static_cast<unsigned char>(input[4]);
        if (input.size() < length)
            return HandlerResult::needMore();
        ++testPrints_;
        if (input.substr(0, length) == kPosSelfTest)
            ++selfTests_;
        return HandlerResult::done(length, shaped(input.substr(0, length), {}));
    });
    parser.addCommand(std::string(kPosUserSetting), [this](std::string_view input) {
        const PosSwitches::Taken t = switches_.userSetting(input);
        if (!t.complete)
            return HandlerResult::needMore();
        return HandlerResult::done(t.length, shaped(input.substr(0, t.length), t.reply));
    });
    parser.addCommand(std::string(kPosPrintSheet), [this](std::string_view input) {
        if (input.size() < 3)
            return HandlerResult::needMore();
        switches_.printSheet(static_cast<std::uint8_t>(input[2]));
        return HandlerResult::done(3, shaped(input.substr(0, 3), {}));
    });
    // Raw replies for prefixes that are no command of the printer's.
    for (const auto& [prefix, reply] : pos.rawReplies) {
        const bool known = prefix == kPosReset || prefix.starts_with(kPosSelect) || prefix.starts_with(kPosStatusBack)
                           || prefix.starts_with(kPosTestPrint) || prefix.starts_with(kPosUserSetting)
                           || prefix.starts_with(kPosPrintSheet) || prefix == kPosQueryId || prefix == kPosQueryMaker
                           || prefix == kPosQueryModel || prefix == kPosQueryVersion || prefix == kPosQueryLanguage;
        if (known)
            continue;
        parser.addCommand(prefix, [this, size = prefix.size(), prefix = prefix](std::string_view) {
            return HandlerResult::done(size, shaped(prefix, {}));
        });
    }
}

std::string PosPrinter::report() const
{
    return "pos.resets: " + std::to_string(resets_) + "\npos.selftests: " + std::to_string(selfTests_)
           + "\npos.test-prints: " + std::to_string(testPrints_) + "\n" + switches_.report();
}

const PosPrinter* posPrinterOf(const Printer& printer)
{
    return dynamic_cast<const PosPrinter*>(printer.state());
}

std::vector<cli::OptionRow> posOptionRows()
{
    return {
        textRow("id-reply", "TEXT", "POS printer: the answer to GS I 3 (1d4903), sent without a NUL.", false),
        textRow("maker", "TEXT", "POS printer: the maker reply to GS I B (1d4942), a NUL follows.", false),
        textRow("language", "TEXT", "POS printer: the language reply to GS I E (1d4945), a NUL follows.", false),
        textRow("pos-raw", "PREFIX=HEX",
                "POS printer: answer the command PREFIX (hex, e.g. 1d4942) with exactly these bytes (hex) "
                "instead of its own reply; a PREFIX that is no command becomes one.",
                true),
        textRow("mute", "PREFIX", "POS printer: take the command PREFIX (hex) and never answer it.", true),
        textRow("stray-before", "PREFIX=HEX",
                "POS printer: send these bytes (hex) before the reply of the command PREFIX (hex) only.", true),
        textRow("msw", "N=PPPPPPPP",
                "POS printer: memory switch N (1..255) holds these pins, 8 first, 0/1 (e.g. --msw 1=00000011); "
                "the others start all off. --state FILE keeps them as 'pos.msw.N: PPPPPPPP' lines.",
                true),
        textRow("mute-switch", "N", "POS printer: take the read of memory switch N (1..255) and never answer it.",
                true),
    };
}

bool posOptions(const cli::ParsedArgs& a, bool posPersonalityChosen, PosConfig& config, std::string& error)
{
    static constexpr const char* kNames[] = {"id-reply", "maker",  "language",   "pos-raw",
                                             "mute",     "stray-before", "msw", "mute-switch"};
    if (!posPersonalityChosen) {
        for (const char* name : kNames) {
            if (a.has(name)) {
                error = std::string("--") + name + " works only with --personality pos";
                return false;
            }
        }
        return true;
    }
    if (a.has("id-reply"))
        config.idReply = a.text("id-reply");
    if (a.has("maker"))
        config.makerReply = a.text("maker");
    if (a.has("language"))
        config.languageReply = a.text("language");
    for (const auto& v : a.values("pos-raw")) {
        std::string prefix;
        std::string bytes;
        if (!hexPair(v.text, prefix, bytes)) {
            error = "--pos-raw: '" + v.text + "' is not PREFIX=HEX with hex byte pairs (e.g. 1d4942=5f5800)";
            return false;
        }
        config.rawReplies[prefix] = bytes;
    }
    for (const auto& v : a.values("mute")) {
        std::string prefix;
        if (v.text.size() > 64 || !parseHexBytes(v.text, prefix) || prefix.empty()) {
            error = "--mute: '" + v.text + "' is not a command's hex bytes (e.g. 1d4903)";
            return false;
        }
        config.muted.insert(prefix);
    }
    for (const auto& v : a.values("stray-before")) {
        std::string prefix;
        std::string bytes;
        if (!hexPair(v.text, prefix, bytes)) {
            error = "--stray-before: '" + v.text + "' is not PREFIX=HEX with hex byte pairs (e.g. 1d4942=4142)";
            return false;
        }
        config.strayBefore[prefix] = bytes;
    }
    const auto switchNumber = [](std::string_view text) -> int {
        int n = 0;
        const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), n);
        return ec == std::errc{} && end == text.data() + text.size() && n >= 1 && n <= 255 ? n : 0;
    };
    for (const auto& v : a.values("msw")) {
        const std::size_t eq = v.text.find('=');
        const int n = eq == std::string::npos ? 0 : switchNumber(std::string_view(v.text).substr(0, eq));
        const auto pins = eq == std::string::npos ? std::nullopt : parsePosPins(std::string_view(v.text).substr(eq + 1));
        if (n == 0 || !pins) {
            error = "--msw: '" + v.text + "' is not N=PPPPPPPP with N 1..255 and eight 0/1, pin 8 first";
            return false;
        }
        config.switches.values[static_cast<std::size_t>(n)] = *pins;
    }
    for (const auto& v : a.values("mute-switch")) {
        const int n = switchNumber(v.text);
        if (n == 0) {
            error = "--mute-switch: '" + v.text + "' is not a switch number 1..255";
            return false;
        }
        config.switches.mutedReads.insert(n);
    }
    return true;
}

constinit const Personality posPersonality{
    "pos", "POS printer (KTP-M88x)", kCommands, kModels, "KTP-M880", configFor, makeState,
};

} // namespace sim
