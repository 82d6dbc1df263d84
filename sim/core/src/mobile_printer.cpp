// Mobile receipt printer.
//
// Wire format, host to printer: ESC/POS-style commands mixed with print
// data. The printer answers four identification queries:
//   GS I C  (1d 49 43)  model name, e.g. "_KMP-Z400" NUL
//   GS I A  (1d 49 41)  firmware version, e.g. "_VER V1.04" NUL
//   GS I E  (1d 49 45)  code page, e.g. "_PC437" NUL
//   ESC M I (1b 4d 49)  MSR mode: 37 80 <mode> 00 (four bytes, no NUL)
// A lone NUL is the host's "does the port take bytes" probe: swallowed, not
// a command, no reply. The user setting commands over the printer's memory
// switches, serial items, sentinels and Bluetooth settings are described in
// setting_memory.h, the NV image commands in nv_memory.h. Everything else is
// data and gets no reply.
// Quirk: the text replies carry their own NUL terminator; the MSR reply is
// binary and may itself contain NULs.
#include "sim/mobile_printer.h"

#include "sim/setting_memory.h"
#include "sim/switch_state.h"

namespace sim {

namespace {

std::string textReply(const std::string& text)
{
    std::string reply = text;
    reply.push_back('\0');
    return reply;
}

HandlerResult modelQuery(const PrinterConfig& c, std::string_view)
{
    return HandlerResult::done(kQueryModel.size(), textReply(c.modelReply));
}

HandlerResult versionQuery(const PrinterConfig& c, std::string_view)
{
    return HandlerResult::done(kQueryVersion.size(), textReply(c.versionReply));
}

HandlerResult codePageQuery(const PrinterConfig& c, std::string_view)
{
    return HandlerResult::done(kQueryCodePage.size(), textReply(c.codePageReply));
}

HandlerResult msrModeQuery(const PrinterConfig& c, std::string_view)
{
    std::string reply{"\x37\x80\x00\x00", 4};
    reply[2] = static_cast<char>(c.msrMode);
    return HandlerResult::done(kQueryMsrMode.size(), std::move(reply));
}

HandlerResult openProbe(const PrinterConfig&, std::string_view)
{
    return HandlerResult::filler(kOpenProbe.size());
}

constexpr CommandRow kCommands[] = {
    {kQueryModel, modelQuery},
    {kQueryVersion, versionQuery},
    {kQueryCodePage, codePageQuery},
    {kQueryMsrMode, msrModeQuery},
    {kOpenProbe, openProbe},
};

constexpr std::string_view kVer104 = "_VER V1.04";
constexpr std::string_view kV0100 = "_V01.00";

constexpr ModelInfo kModels[] = {
    {"KMP-Z400", {}, "_KMP-Z400", kVer104},
    {"KMP-Z400W", {}, "_KMP-Z400W", kVer104},
    {"KMP-Z400II", {}, "_KMP-Z400II", kVer104},
    {"VX 440", {"VX440", "VX-440"}, "_VX 440", kVer104},
    {"KMP-Z600", {}, "_KMP-Z600", kV0100},
    {"KMP-Z800", {}, "_KMP-Z800", kV0100},
};

PrinterConfig configFor(const ModelInfo& model)
{
    PrinterConfig config;  // code page _PC437, MSR mode 0
    config.modelReply = std::string(model.reply);
    config.versionReply = std::string(model.version);
    config.switches = factoryState(model.name);
    return config;
}

std::unique_ptr<PrinterState> makeState(const PrinterConfig& config)
{
    return std::make_unique<MobileMemory>(config);
}

} // namespace

NvFamily nvFamilyOf(const PrinterConfig& config)
{
    return config.nv.family.value_or(
        nvFamilyFor(versionNumberOf(modelCodeOf(config.modelReply), config.versionReply)));
}

MobileMemory::MobileMemory(const PrinterConfig& config) : settings(config), nv(nvFamilyOf(config), config.nv) {}

void MobileMemory::addCommands(CommandParser& parser)
{
    settings.addCommands(parser);
    nv.addCommands(parser);
}

const SettingMemory* settingMemoryOf(const Printer& printer)
{
    const auto* memory = dynamic_cast<const MobileMemory*>(printer.state());
    return memory != nullptr ? &memory->settings : nullptr;
}

const NvMemory* nvMemoryOf(const Printer& printer)
{
    const auto* memory = dynamic_cast<const MobileMemory*>(printer.state());
    return memory != nullptr ? &memory->nv : nullptr;
}

NvMemory* nvMemoryOf(Printer& printer)
{
    auto* memory = dynamic_cast<MobileMemory*>(printer.state());
    return memory != nullptr ? &memory->nv : nullptr;
}

constinit const Personality mobilePersonality{
    "mobile", "mobile receipt printer", kCommands, kModels, kDefaultModel, configFor, makeState,
};

} // namespace sim
