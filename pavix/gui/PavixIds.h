// Control ids of Pavix's network windows (their dialog templates). Ids are
// unique within one window; each window's table is checked below.
#pragma once

#include "platform/qt/ControlIds.h"

namespace pavix::gui {

namespace main_id {
inline constexpr int kExit = 2;
inline constexpr int kEthernet = 1000;
inline constexpr int kWlan = 1001;
inline constexpr int kSerialUsb = 1002;
static_assert(platform::qt::ControlIdsDistinct({kExit, kEthernet, kWlan, kSerialUsb}));
} // namespace main_id

namespace search_id {
inline constexpr int kCancel = 2;
inline constexpr int kProgress = 1010;
inline constexpr int kStatus = 1011;
static_assert(platform::qt::ControlIdsDistinct({kCancel, kProgress, kStatus}));
} // namespace search_id

namespace list_id {
inline constexpr int kExit = 2;
inline constexpr int kList = 1020;
inline constexpr int kSearch = 1021;
inline constexpr int kSetting = 1022;
inline constexpr int kWeb = 1023;
inline constexpr int kBssInfo = 1024;
inline constexpr int kCertificate = 1025;
static_assert(platform::qt::ControlIdsDistinct({kExit, kList, kSearch, kSetting, kWeb, kBssInfo, kCertificate}));
} // namespace list_id

namespace setting_id {
inline constexpr int kSave = 1;
inline constexpr int kCancel = 2;
inline constexpr int kIp = 1030;
inline constexpr int kSubnet = 1031;
inline constexpr int kGateway = 1032;
inline constexpr int kLocalPort = 1033;
inline constexpr int kInactivity = 1034;
inline constexpr int kDhcp = 1035;
inline constexpr int kBaud = 1036;
inline constexpr int kFirmware = 1037;
static_assert(platform::qt::ControlIdsDistinct({kSave, kCancel, kIp, kSubnet, kGateway, kLocalPort, kInactivity,
                                                kDhcp, kBaud, kFirmware}));
} // namespace setting_id

namespace bss_id {
inline constexpr int kCancel = 2;
inline constexpr int kList = 1040;
inline constexpr int kProgress = 1041;
inline constexpr int kGet = 1042;
static_assert(platform::qt::ControlIdsDistinct({kCancel, kList, kProgress, kGet}));
} // namespace bss_id

} // namespace pavix::gui
