// Status files (*.sts): a switch set kept on disk so that it can be written
// to several printers.
//
// Layout: exactly 292 bytes, 73 little-endian int32. Slot k (0..7, the
// matrix order 1, 2, 3, 4, 5, 6, 11, 12) holds a spare integer at byte 36k
// and pin p (1..8) at 36k + 4p; the initialised flag is at byte 288.
//
// Only switches 1, 2, 11 and 12 and the flag travel: Save writes the slots
// of switches 3 to 6 (and every spare) as zeros, and Load ignores them, so
// files from older tools that left other values there stay readable. Load
// checks every pin it carries (0..2) before it changes anything: a file
// either loads whole or not at all.
#pragma once

#include "platform/atomic_file.h"
#include "telvara/status/StatusMatrix.h"
#include "telvara/status/StatusTexts.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace telvara {

inline constexpr std::size_t kStatusFileSize = 292;
inline constexpr std::size_t kStatusFlagOffset = 288;
// The switches a file carries.
inline constexpr std::array<int, 4> kFileSwitches{1, 2, 11, 12};
// Bigger files are refused before they are read; only the first 292 bytes
// of a smaller one count.
inline constexpr std::size_t kStatusFileReadLimit = 64 * 1024;

std::string EncodeStatusFile(const StatusMatrix& matrix, std::int32_t flag);

struct StatusFileContent {
    StatusMatrix matrix; // switches 1, 2, 11, 12; the others no change
    std::int32_t flag = 0;
};

// The first 292 bytes (missing bytes read as zero); nothing when a pin of a
// carried switch is outside 0..2.
std::optional<StatusFileContent> DecodeStatusFile(std::span<const std::uint8_t> bytes);

// The file dialog's choice must end in "sts" exactly (lower case).
bool HasStatusFileName(std::string_view path);

enum class StatusFileResult { Done, BadName, Unreadable, WrongFormat, NotSaved };

struct StatusFileOutcome {
    StatusFileResult result = StatusFileResult::Done;
    // The message to show unless Done.
    std::optional<texts::Message> message;
    platform::OsError error; // Unreadable, NotSaved
};

// Replaces the file atomically; on failure the old file is left whole.
StatusFileOutcome SaveStatusFile(const std::string& path, const StatusMatrix& matrix, std::int32_t flag,
                                 const platform::AtomicWriteOptions& options = {});

// On Done, switches 1, 2, 11, 12 of `matrix` and `flag` take the file's
// values; the other switches keep theirs. On any other result nothing
// changes.
StatusFileOutcome LoadStatusFile(const std::string& path, StatusMatrix& matrix, std::int32_t& flag);

} // namespace telvara
