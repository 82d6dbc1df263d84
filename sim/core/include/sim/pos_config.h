// What a POS printer (KTP-M88x) answers and how it misbehaves on purpose:
// the configuration a POS-personality printer starts with. Kept apart from
// the printer itself so PrinterConfig can carry it.
#pragma once

#include "sim/pos_switches.h"

#include <map>
#include <set>
#include <string>

namespace sim {

struct PosConfig {
    std::string idReply = "c";            // GS I 3, sent as it is (no NUL)
    std::string makerReply = "_QUELLIX";  // GS I B, a NUL follows
    std::string languageReply = "_ENGLISH";  // GS I E, a NUL follows
    // The model (GS I C) and version (GS I A) replies are PrinterConfig's
    // modelReply and versionReply.

    // Raw replies by command prefix (the bytes of the command), sent exactly
    // as given instead of the command's own; a prefix no command has becomes
    // a command of its own length.
    std::map<std::string, std::string> rawReplies;
    // Commands taken but never answered.
    std::set<std::string> muted;
    // Bytes sent before the reply of one command (by prefix).
    std::map<std::string, std::string> strayBefore;
    // The memory switches at power-on and the switch reads left unanswered.
    PosSwitchConfig switches;
};

} // namespace sim
