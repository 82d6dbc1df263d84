// Control ids of Corvane's main window (its dialog template).
#pragma once

#include "platform/qt/ControlIds.h"

namespace corvane::main_id {

inline constexpr int kExit = 1;
inline constexpr int kTelvara = 1000;
inline constexpr int kNvImageManager = 1001;
inline constexpr int kFirmwareManager = 1002;
inline constexpr int kDescription = 1003;
inline constexpr int kInterface = 1006;
inline constexpr int kPort = 1007;
inline constexpr int kBaudRate = 1008;
inline constexpr int kParity = 1009;
inline constexpr int kStopBits = 1010;
inline constexpr int kDataBits = 1011;
inline constexpr int kFlowControl = 1012;
inline constexpr int kIpAddress = 1074;
inline constexpr int kTcpPort = 1075;
inline constexpr int kPortLabel = 1077;

static_assert(platform::qt::ControlIdsDistinct({kExit, kTelvara, kNvImageManager, kFirmwareManager, kDescription,
                                                kInterface, kPort, kBaudRate, kParity, kStopBits, kDataBits,
                                                kFlowControl, kIpAddress, kTcpPort, kPortLabel}));

} // namespace corvane::main_id
