// What a mobile printer keeps in its non-volatile memory: the memory
// switches, the serial interface items, the MSR sentinel codes and the
// Bluetooth settings, plus how the printer tells its firmware family from
// its own identification replies. Values only; the commands that read and
// write them are in setting_memory.h.
//
// Text form (the state file, and the state part of the receive report), one
// "key: value" line per item, in this order:
//   switch.1 .. switch.8, switch.0x49, switch.0x50, switch.0x51
//                      eight characters "0"/"1", d1 (most significant bit) first
//   serial.baud        decimal, e.g. 115200
//   serial.parity      0 none, 1 odd, 2 even
//   serial.flow        0 none, 1 DTR/DSR
//   serial.databits    7 or 8
//   sentinel.T.start, sentinel.T.end   (T = 1..3) the code's bytes; a byte
//                      outside 0x20..0x7E as \xHH, a backslash doubled
//   bt.mode            connection mode 0..2 (the printer reports it as '1'..'3')
//   bt.security        0..1
//   bt.pin, bt.name    text, escaped as the sentinel codes
// Reading the text back takes any subset of these keys in any order (missing
// keys keep their value); blank lines and lines starting with '#' are skipped.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace sim {

// The switch numbers the printer keeps, in the order they are listed.
inline constexpr std::array<std::uint8_t, 10> kSwitchNumbers = {1, 2, 3, 5, 6, 7, 8, 0x49, 0x50, 0x51};
inline constexpr std::size_t kMaxSentinelBytes = 10;
// The rates a serial item write may set.
inline constexpr std::array<std::uint32_t, 7> kSerialRates = {2400, 4800, 9600, 19200, 38400, 57600, 115200};

enum class Dialect { Gs, Bs };  // GS ( E or BS ^ E user setting commands

struct SerialSettings {
    std::uint32_t baud = 115200;
    int parity = 0;
    int flow = 0;
    int dataBits = 8;
    bool operator==(const SerialSettings&) const = default;
};

struct SentinelCodes {
    std::string start;
    std::string end;
    bool operator==(const SentinelCodes&) const = default;
};

// The factory values are what the factory setting sequences write: "12" is
// security 1 and connection mode 1 (reported as '2').
struct BluetoothSettings {
    int mode = 1;      // 0..2
    int security = 1;  // 0..1
    std::string pin = "9274";
    std::string name = "KMP-Z400";
    bool operator==(const BluetoothSettings&) const = default;
};

// Defaults are the factory state of a KMP-Z400.
struct SwitchState {
    // Indexed like kSwitchNumbers; d1 is bit 7.
    std::array<std::uint8_t, kSwitchNumbers.size()> switches = {0x0C, 0x00, 0x01, 0x0F, 0x0A, 0x70, 0x00,
                                                                 0x00, 0x01, 0x00};
    SerialSettings serial;
    std::array<SentinelCodes, 3> sentinels = {{{"START1", "END1"}, {"START2", "END2"}, {"START3", "END3"}}};
    BluetoothSettings bluetooth;

    bool operator==(const SwitchState&) const = default;

    // nullptr for a switch the printer does not keep.
    std::uint8_t* switchByNumber(unsigned n);
    const std::uint8_t* switchByNumber(unsigned n) const;
};

// The factory state of the model whose Bluetooth name is `modelName`.
SwitchState factoryState(std::string_view modelName);

// "00001100" <-> 0x0C; parseBits takes exactly eight "0"/"1".
std::string bitsText(std::uint8_t bits);
std::optional<std::uint8_t> parseBits(std::string_view text);

// Value checks shared by the commands, the options and the state file.
bool validParity(int v);
bool validFlow(int v);
bool validDataBits(int v);
bool validBluetoothMode(int v);
bool validBluetoothSecurity(int v);

// Bytes outside 0x20..0x7E as \xHH (lower case), '\' as \\; and back
// (nullopt on a lone backslash or a bad escape).
std::string escapeBytes(std::string_view bytes);
std::optional<std::string> unescapeBytes(std::string_view text);

// The text form described above.
std::string formatState(const SwitchState& state);
// Applies the lines of `text` to `state`; false with `error` naming the line.
// `state` is left unchanged on failure.
bool applyStateText(std::string_view text, SwitchState& state, std::string& error);

// Identification, computed from the printer's own replies (without their
// NUL): the model code (400, 401, 402, 440, 600, 800; 0 unknown) and the
// firmware version number the host derives from the version reply.
int modelCodeOf(std::string_view modelReply);
std::uint32_t versionNumberOf(int modelCode, std::string_view versionReply);
// Version numbers 21000..100999 speak BS ^ E, all others GS ( E.
Dialect dialectFor(std::uint32_t versionNumber);

} // namespace sim
