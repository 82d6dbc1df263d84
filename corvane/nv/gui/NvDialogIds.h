// Control ids of the NV image windows (their dialog templates): the
// manager window, the address dialog and the progress window. Ids are
// unique within one window; each window's list is checked on its own.
#pragma once

#include "platform/qt/ControlIds.h"

namespace corvane::nv_id {

// ---- manager window ----
inline constexpr int kExit = 1;
inline constexpr int kImageList = 1022;
inline constexpr int kAddImage = 1023;
inline constexpr int kRemoveImage = 1024;
inline constexpr int kReset = 1025;
inline constexpr int kDownload = 1026;
inline constexpr int kSlider = 1028;
inline constexpr int kPreview = 1029;
inline constexpr int kAddressList = 1032;
inline constexpr int kPrint = 1033;
inline constexpr int kPrintAll = 1034;
inline constexpr int kRemoveAll = 1035;
inline constexpr int kRefresh = 1036;
inline constexpr int kAutoAddressing = 1037;
inline constexpr int kRemoveStored = 1038;
inline constexpr int kInfo = 1042;
inline constexpr int kSaveAs = 1070;

static_assert(platform::qt::ControlIdsDistinct({kExit, kImageList, kAddImage, kRemoveImage, kReset, kDownload,
                                                kSlider, kPreview, kAddressList, kPrint, kPrintAll, kRemoveAll,
                                                kRefresh, kAutoAddressing, kRemoveStored, kInfo, kSaveAs}));

// ---- address dialog ----
inline constexpr int kAddressEdit = 1039;
inline constexpr int kAddressOk = 1;       // the template's OK
inline constexpr int kAddressCancel = 2;   // the template's Cancel

static_assert(platform::qt::ControlIdsDistinct({kAddressEdit, kAddressOk, kAddressCancel}));

// ---- progress window ----
inline constexpr int kProgress = 1005;
inline constexpr int kStatusGroup = 1072;

static_assert(platform::qt::ControlIdsDistinct({kProgress, kStatusGroup}));

} // namespace corvane::nv_id
