#include "sim/models.h"

#include "sim/personality.h"

#include <algorithm>
#include <cctype>

namespace sim {

namespace {

bool equalsIgnoreCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::toupper(static_cast<unsigned char>(x)) ==
                      std::toupper(static_cast<unsigned char>(y));
           });
}

bool answersTo(const ModelInfo& model, std::string_view name)
{
    if (equalsIgnoreCase(name, model.name))
        return true;
    for (std::string_view other : model.alsoAs) {
        if (!other.empty() && equalsIgnoreCase(name, other))
            return true;
    }
    return false;
}

} // namespace

const ModelInfo* findModelIn(const Personality& personality, std::string_view name)
{
    if (name.empty())
        return nullptr;
    for (const auto& model : personality.models) {
        if (answersTo(model, name))
            return &model;
    }
    return nullptr;
}

const ModelInfo* findModel(std::string_view name)
{
    for (const Personality* p : personalities()) {
        if (const ModelInfo* model = findModelIn(*p, name))
            return model;
    }
    return nullptr;
}

const Personality* personalityOf(const ModelInfo& model)
{
    for (const Personality* p : personalities()) {
        for (const auto& m : p->models) {
            if (&m == &model)
                return p;
        }
    }
    return nullptr;
}

PrinterConfig configForModel(const ModelInfo& model)
{
    if (const Personality* p = personalityOf(model))
        return p->configFor(model);
    PrinterConfig config;
    config.modelReply = std::string(model.reply);
    config.versionReply = std::string(model.version);
    return config;
}

} // namespace sim
