#include "sim/models.h"

#include <algorithm>
#include <cctype>

namespace sim {

namespace {

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

bool equalsIgnoreCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::toupper(static_cast<unsigned char>(x)) ==
                      std::toupper(static_cast<unsigned char>(y));
           });
}

} // namespace

std::span<const ModelInfo> knownModels()
{
    return kModels;
}

const ModelInfo* findModel(std::string_view name)
{
    if (name.empty())
        return nullptr;
    for (const auto& model : kModels) {
        if (equalsIgnoreCase(name, model.name))
            return &model;
        for (std::string_view other : model.alsoAs) {
            if (!other.empty() && equalsIgnoreCase(name, other))
                return &model;
        }
    }
    return nullptr;
}

PrinterConfig configForModel(const ModelInfo& model)
{
    PrinterConfig config;
    config.modelReply = std::string(model.reply);
    config.versionReply = std::string(model.version);
    return config;
}

} // namespace sim
