// Control ids of the Serial/USB configuration window's own controls (its
// dialog template); the pages' inputs are found by object name.
#pragma once

#include "platform/qt/ControlIds.h"

namespace pavix::serialusb_id {

inline constexpr int kQuit = 2;
inline constexpr int kTabs = 1000;
inline constexpr int kSerial = 1001;
inline constexpr int kUsb = 1002;
inline constexpr int kPortList = 1003;
inline constexpr int kConnect = 1004;
inline constexpr int kDisconnect = 1005;
inline constexpr int kUpdate = 1006;

static_assert(platform::qt::ControlIdsDistinct({kQuit, kTabs, kSerial, kUsb, kPortList, kConnect, kDisconnect,
                                                kUpdate}));

} // namespace pavix::serialusb_id
