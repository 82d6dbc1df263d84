// What the command line needs of the status model, without the option table
// or any I/O: the text form of a switch set (`get` and `sts show`), and the
// SETTINGS arguments with the fixed order they are applied in.
//
//   MSW1 PPPPPPPP ... MSW12 PPPPPPPP    pins 8 -> 1: 1 on, 0 off, - no change
//   print-speed: 1..4 | unchanged | unknown
//   print-density: 1..3 | ...
//   emulation: 1..5 | ...
//   code-page: N NAME | ...             N is the list position 0..36
//   single-byte-font: A|B|C | ...
//   double-byte-font: KS5601|SHIFT-JIS|BIG5|GB2312|GB18030|single | ...
//
// SETTINGS:
//   --speed 1..4|keep  --density 1..3|keep  --emulation 1..5|keep
//   --code-page N|keep  --single-byte-font A|B|C|keep
//   --double-byte-font KS5601|SHIFT-JIS|BIG5|GB2312|GB18030|single|keep
//   --switch SW=PPPPPPPP (pins 8 -> 1: 1, 0, -)  --pin SW.P=on|off|keep
// "keep" chooses the list's "No Change" entry. The named settings apply in
// the order speed, density, emulation, code page, single, double byte font
// (a repeated one: the last counts), then every --switch and --pin in the
// order given, each as if the user had chosen that entry in the window.
#pragma once

#include "telvara/status/StatusPages.h"

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace telvara {

std::vector<std::string> DescribeStatus(const StatusMatrix& matrix);

struct PinEdit {
    int switchNumber = 0;
    int pin = 0;
    int entry = kNoChange;
};

struct SettingsRequest {
    // The chosen combo index per setting (indexed by Setting), if given.
    std::array<std::optional<int>, kSettingsInOrder.size()> choices{};
    std::vector<PinEdit> pinEdits;

    bool empty() const;
};

bool IsSettingOption(std::string_view name);
// One SETTINGS option and its value: nothing when taken, else why not.
std::optional<std::string> AddSettingOption(SettingsRequest& request, std::string_view name, std::string_view value);

struct SettingsParse {
    SettingsRequest request;
    std::optional<std::string> error;
};

// "--name value" or "--name=value" pairs; any other argument is an error.
SettingsParse ParseSettings(std::span<const std::string> args);

// Applies a request in the fixed order; the pages are refreshed after.
void ApplySettings(const SettingsRequest& request, StatusModel& model);

} // namespace telvara
