// The personalities table: one row per kind of device printer-sim can pose as.
#include "sim/personality.h"

#include "sim/mobile_printer.h"
#include "sim/network_board.h"
#include "sim/pos_printer.h"

namespace sim {

namespace {

const Personality* const kPersonalities[] = {
    &mobilePersonality,
    &networkBoardPersonality,
    &posPersonality,
};

} // namespace

std::span<const Personality* const> personalities()
{
    return kPersonalities;
}

const Personality& defaultPersonality()
{
    return *kPersonalities[0];
}

const Personality* findPersonality(std::string_view name)
{
    for (const Personality* p : kPersonalities) {
        if (p->name == name)
            return p;
    }
    return nullptr;
}

} // namespace sim
