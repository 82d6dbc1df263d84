// Control ids of Telvara's main window and about box (their dialog
// templates), checked for clashes at compile time.
#pragma once

#include "platform/qt/ControlIds.h"

namespace telvara::main_id {

inline constexpr int kExit = 2;
inline constexpr int kCheckCommunication = 1001;
inline constexpr int kSerial = 1018;
inline constexpr int kParallel = 1019;
inline constexpr int kUsb = 1020;
inline constexpr int kEthernet = 1021;
inline constexpr int kPort = 1022;
inline constexpr int kSelfTest = 1023;
inline constexpr int kBaudRate = 1024;
inline constexpr int kDataBits = 1025;
inline constexpr int kParity = 1026;
inline constexpr int kStopBits = 1027;
inline constexpr int kIpAddress = 1028;
inline constexpr int kTcpPort = 1029;
inline constexpr int kRunManager = 1030;
inline constexpr int kFlowControl = 1031;
inline constexpr int kCommandTestEditor = 1033;

static_assert(platform::qt::ControlIdsDistinct({kExit, kCheckCommunication, kSerial, kParallel, kUsb, kEthernet,
                                                kPort, kSelfTest, kBaudRate, kDataBits, kParity, kStopBits,
                                                kIpAddress, kTcpPort, kRunManager, kFlowControl,
                                                kCommandTestEditor}));

} // namespace telvara::main_id

namespace telvara::about_id {

inline constexpr int kOk = 1;

} // namespace telvara::about_id
