// The memory switch record as text: what `switches get` prints and what
// `switches set` reads back.
//
// One "Key: value" line per field, named as the record's fields, in the
// order the set writes them. Integers are the record's codes; the black
// mark sensor is its two switch characters ("01"); texts are double-quoted
// with \\, \" and \xHH escapes. Input also takes texts bare or as
// "hex:0A 1F 10 4C".
//
// Checks happen in two stages: static ones (syntax, keys, ranges, the
// sentinel code rules) before the port is opened, and the printer's own
// (what it reads and writes, what its firmware can carry) after the get.
#pragma once

#include "corvane/switches/CCommonTlvr.h"
#include "platform/cli/output.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace corvane::cli {

struct SwitchField;

// One value given for a field.
struct SwitchAssignment {
    const SwitchField* field = nullptr;
    int number = 0;
    std::string text;
    std::string origin;   // "line 3" or "--set"
};

// The field named `key` (any case), or nullptr.
const SwitchField* FindSwitchField(std::string_view key);
const char* SwitchFieldKey(const SwitchField& field);

// The fields this printer's get reads or its set writes, as printed.
platform::cli::Record SwitchSettingsRecord(const CCommonTlvr& record);

// Parses `Key: value` lines (get's output included: its identity lines are
// skipped; '#' comments and blank lines too). False with the problem
// ("line 4: Density 9 is out of range 0..7").
bool ParseSwitchInput(std::string_view text, std::vector<SwitchAssignment>& out, std::string& problem);
// One --set KEY=VALUE.
bool ParseSwitchOption(std::string_view option, SwitchAssignment& out, std::string& problem);

struct ApplyReport {
    std::vector<std::string> warnings;
    // A value this printer cannot take: the key and the refusal.
    std::optional<std::string> refusal;
};

// Applies the assignments to a record just read from the printer. Keys this
// printer's set does not write (or Bluetooth keys without `bluetooth`) are
// warned about and ignored. A changed value the printer cannot take is a
// refusal, and nothing is applied.
ApplyReport ApplySwitchAssignments(CCommonTlvr& record, const std::vector<SwitchAssignment>& assignments,
                                   bool bluetooth);

// True when the get read this printer's Bluetooth settings, so that they
// can be written back.
bool ReadsBluetooth(const CCommonTlvr& record);

} // namespace corvane::cli
