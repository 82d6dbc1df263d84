// The "Printer Setting" tab's named settings and the pins behind them.
//
//   print speed        switch 1 pins 1-3    speed 4/3/2/1 = bits 0..3 on pins 1, 2
//   print density      switch 1 pins 6, 7   level 3 off/on, 2 on/off, 1 off/off
//   emulation          switch 3 pins 1-3
//   code page          switch 2 pins 3-8    list position n: bit 0..4 on pins 4..8,
//                                           bit 5 on pin 3
//   single byte font   switch 4 pins 3, 4   A off/off, B on/off, C off/on
//   double byte font   switch 4 pins 5-7, switch 2 pin 1, switch 12 pins 1, 2
//
// Every list's first entry is "No Change" (the single byte font's reads
// "No Chnage"); the texts are the printer documentation's own, typos
// included, and must not be corrected.
//
// Choosing writes the matrix (ChooseSetting); decoding only reads it
// (DecodeSetting), so refreshing a page can never change what a later Set
// sends.
#pragma once

#include "telvara/status/StatusMatrix.h"

#include <span>
#include <string_view>

namespace telvara {

enum class Setting { Speed, Density, Emulation, CodePage, SingleByteFont, DoubleByteFont };
inline constexpr std::array<Setting, 6> kSettingsInOrder{Setting::Speed,          Setting::Density,
                                                         Setting::Emulation,      Setting::CodePage,
                                                         Setting::SingleByteFont, Setting::DoubleByteFont};

// The combo's entries, "No Change" first.
std::span<const std::string_view> SettingItems(Setting setting);

// Code page list positions run 0..36; combo index = position + 1.
inline constexpr int kCodePageCount = 37;
// Double byte font combo indexes.
inline constexpr int kFontKs5601 = 1;
inline constexpr int kFontGb18030 = 5;
inline constexpr int kFontSingleByte = 6;

// The user chose combo entry `index`: writes that entry's pins. False (the
// matrix untouched) for an index outside the list.
bool ChooseSetting(StatusMatrix& matrix, Setting setting, int index);

enum class DecodeKind {
    Listed,    // the pins name an entry of the list
    Unchanged, // every pin of the setting is "no change"
    Unknown,   // the pins name no entry of the list
};

// What the combo shows for an unchanged setting that keeps its previous
// selection.
inline constexpr int kKeepPrevious = -2;

struct Decoded {
    DecodeKind kind = DecodeKind::Unknown;
    // The combo index to show: an entry, -1 for no selection, or
    // kKeepPrevious.
    int index = -1;
};

Decoded DecodeSetting(const StatusMatrix& matrix, Setting setting);

} // namespace telvara
