// Control ids of the firmware download window (its dialog template).
#pragma once

#include "platform/qt/ControlIds.h"

namespace corvane::firmware_id {

inline constexpr int kExit = 1;
inline constexpr int kStatus = 1003;
inline constexpr int kProgress = 1005;
inline constexpr int kStartDownload = 1026;

static_assert(platform::qt::ControlIdsDistinct({kExit, kStatus, kProgress, kStartDownload}));

} // namespace corvane::firmware_id
