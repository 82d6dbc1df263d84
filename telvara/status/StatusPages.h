// The status dialog without a window: the matrix, the firmware-old flag, the
// initialised flag a status file carries, the "Memory switch" pin pages and
// the "Printer Setting" page, and how a Set ends.
//
// A user's choice and a refresh are different calls: choose*() writes the
// matrix, refresh() takes it by const reference and only moves selections,
// so showing what was read can never change what a later Set sends.
#pragma once

#include "telvara/status/NamedSettings.h"
#include "telvara/status/StatusMatrix.h"
#include "telvara/status/StatusTexts.h"

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace telvara {

// The version rule: five characters from the second of the version text (as
// the printer reports it, without its leading "_"); when they hold ".",
// their first two characters are the major number and their last two the
// minor; major x 100 + minor <= 131 is old firmware. A text too short to
// give both numbers is not old.
bool FirmwareIsOld(std::string_view versionText);

// One pin combo of the "Memory switch" page. Index 0 is always "No Change",
// 1 on and 2 off, whatever the other two texts say.
struct PinCombo {
    std::string_view label;
    std::array<std::string_view, 3> items;
    bool editable = true;
    int selected = 0;
};

// The label, entries and editability of a pin; switch 12 (which has no
// page) and unnamed pins get the reserved defaults.
PinCombo DescribePin(int switchNumber, int pin);

class PinPageModel {
public:
    static constexpr int kPageCount = 7; // switches 1, 2, 3, 4, 5, 6, 11

    PinPageModel();

    int page() const { return page_; }
    int switchNumber() const;
    bool backEnabled() const { return page_ > 1; }
    bool nextEnabled() const { return page_ < kPageCount; }
    // "< &Back" / "&Next >": false when the button is disabled.
    bool back(const StatusMatrix& matrix);
    bool next(const StatusMatrix& matrix);

    void refresh(const StatusMatrix& matrix);
    // The user picked entry `index` of pin `pin`'s combo: stored at once.
    // False (nothing changed) for a combo that is not editable or an index
    // outside it.
    bool choose(StatusMatrix& matrix, int pin, int index);

    const PinCombo& combo(int pin) const { return combos_[static_cast<std::size_t>(pin - 1)]; }

private:
    void load();

    int page_ = 1;
    std::array<PinCombo, kPinCount> combos_{};
};

class SettingPageModel {
public:
    std::string firmwareText, modelText, languageText;

    std::span<const std::string_view> items(Setting setting) const { return SettingItems(setting); }
    // The shown entry, -1 for none.
    int selected(Setting setting) const { return selected_[static_cast<std::size_t>(setting)]; }

    void refresh(const StatusMatrix& matrix);
    bool choose(StatusMatrix& matrix, Setting setting, int index);

private:
    std::array<int, kSettingsInOrder.size()> selected_{};
};

class StatusModel {
public:
    StatusMatrix matrix;
    // 1 after a complete Get or an Initialize; a loaded file brings its own.
    std::int32_t initialisedFlag = 0;
    bool firmwareOld = false;
    PinPageModel pinPage;
    SettingPageModel settingPage;

    void setIdentity(std::string model, std::string firmware, std::string language);
    // The eight switch reads of a Get, in matrix order; a switch that did
    // not answer is missing and reads as "no change". True when all eight
    // answered (the flag is set then).
    bool takeGet(const std::array<std::optional<SwitchPins>, kSwitchCount>& reads);
    void initialize();
    void refresh();

    bool chooseSetting(Setting setting, int index);
    bool choosePin(int pin, int index) { return pinPage.choose(matrix, pin, index); }
};

// What the end of a Set shows and starts.
struct SetEnding {
    texts::Message message;
    // The double byte font (combo index) whose download is due, 0 for none.
    int fontDownload = 0;
    // Read firmware version and language again and refresh the "Printer
    // Setting" page before the message.
    bool rereadIdentity = false;
};

// `writesWhole`: IN, the eight switch writes and OUT all went out in full.
SetEnding DecideSetEnding(bool writesWhole, int doubleByteSelection, bool firmwareOld);

} // namespace telvara
