// Reading a configuration file back: the `Name: Value` lines that
// `config read --output` writes (config_text.h), applied over a board's
// record by `config write`.
//
// Lines
//   blank, or '#' as the first non-blank byte    ignored
//   Name: Value                                  one field; the name exactly
//                                                as kConfigFieldNames spells
//                                                it, ": " (or ':') and the
//                                                value to the line's end (a
//                                                trailing '\r' is dropped)
// A field the file does not name keeps the board's value. An unknown name,
// a name given twice, a line without ':' or a bad value is refused with its
// 1-based line number, before anything is sent.
// Values
//   texts          \xHH and \\ escapes read back to the exact bytes; at most
//                  the record field's width
//   enumerations   the table texts, case-insensitively, or "Unknown (N)" as
//                  `config read` shows a code the tables lack
//   numbers        decimal: port 0..32767, channel 0..14 ("-" is 0),
//                  inactivity 0..3600
//   addresses      dotted IPv4
// Bounds: at most kMaxConfigFileBytes in all and kMaxConfigLineBytes a line.
#pragma once

#include "pavix/protocol/IfRecords.h"

#include <bitset>
#include <cstddef>
#include <string>
#include <string_view>

namespace pavix::cli {

inline constexpr std::size_t kConfigFieldCount = 27;
inline constexpr std::size_t kMaxConfigFileBytes = 64 * 1024;
inline constexpr std::size_t kMaxConfigLineBytes = 1024;

// The fields a file names and their values (fields not named are left at
// their defaults in `values`).
struct ConfigFileValues {
    IfConfigRecord values;
    std::bitset<kConfigFieldCount> present; // by kConfigFieldNames position
};

struct ConfigFileError {
    std::size_t line = 0; // 1-based; 0 for the file as a whole
    std::string problem;

    // "line 7: unknown name 'SSId'"
    std::string describe() const;
};

// False with the first problem found.
bool ParseConfigFile(std::string_view text, ConfigFileValues& parsed, ConfigFileError& error);

// Copies the named fields over `record`.
void ApplyConfigFile(const ConfigFileValues& parsed, IfConfigRecord& record);

} // namespace pavix::cli
