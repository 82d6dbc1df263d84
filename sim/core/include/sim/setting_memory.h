// The mobile printer's user setting commands over its memory (SwitchState).
//
// Wire format (pL pH: little-endian length of what follows them):
//   GS ( E   1d 28 45 pL pH fn ...            (version numbers outside 21000..100999)
//     fn 01 "IN"   enter the user setting mode; reply 37 20 00
//     fn 02 "OUT"  leave it; no reply
//     fn 04 n      read switch n (1,2,3,5,6,7,8; 0x50, 0x51 from version 101000);
//                  reply 37 21 d1..d8 00, d1 the most significant bit as "0"/"1"
//     fn 03 n d1..d8  write switch n (also 0x49); "2" leaves a bit as it is
//     fn 0c i      read serial item i (1 baud, 2 parity, 3 flow, 4 data bits);
//                  reply 37 33 '0'+i 1f <decimal text> 00
//     fn 0b i <text>  write serial item i
//   BS ^ E   08 5e 45 pL pH fn ...            (version numbers 21000..100999)
//     fn 01 / fn 02 enter / leave the setting mode (reply 37 20 00 to fn 01)
//     fn 04 n      read switch n (1,2,3,5,6,7,8), same reply
//     fn 03 + 56 characters: switches 1,2,3,5,6,7,8 in this order, pL 0x39
//     fn 0c i      read serial item i, same reply
//     fn 0b <baud text><parity><flow><data bits>: all four serial items
//   Sentinels, both dialects, version 21021 and above:
//     08 4d 53 02 00 34 t       read track t ('1'..'3'): 37 81 t <start> 1f <end> 00
//     08 4d 53 pL 00 32 t <start>, 08 4d 53 pL 00 33 t <end>: write, 0..10 bytes;
//                               an end code of the one byte 00 means empty
//   Bluetooth, both dialects:
//     1f 1f 69 c|d|k|s          read (version 101000 and above): 37 42 <item> <value> 00
//                               (c: '1'+mode, d: name, k: PIN, s: '0'+security)
//     1f 1f 70 <'0'+security> <'1'+mode> <PIN> 0d <name> 0d   write, at most 100 bytes
// Quirks a reader must know:
//   - GS fn 03 carries pL 0x0b although 10 bytes follow; the printer takes
//     exactly fn, n and 8 characters whatever pL says, and hosts rely on it.
//   - The printer answers one dialect only. The other dialect's commands, and
//     commands its version does not have, are taken whole and ignored without
//     a reply, so a host that picked the wrong one sees silence.
//   - Switch and serial writes apply only inside the setting mode; the
//     sentinel and Bluetooth writes apply at any time (hosts send them after
//     leaving it). A write outside the mode or with a bad character changes
//     nothing and is counted as rejected.
//   - Switch 0x49 is kept and written, but its read gets no reply.
#pragma once

#include "sim/printer.h"
#include "sim/switch_state.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace sim {

inline constexpr std::string_view kGsSetting{"\x1d\x28\x45", 3};      // GS ( E
inline constexpr std::string_view kBsSetting{"\x08\x5e\x45", 3};      // BS ^ E
inline constexpr std::string_view kSentinelCommand{"\x08\x4d\x53", 3};
inline constexpr std::string_view kBluetoothRead{"\x1f\x1f\x69", 3};
inline constexpr std::string_view kBluetoothWrite{"\x1f\x1f\x70", 3};
inline constexpr std::size_t kMaxBluetoothCommand = 100;

// Receive report lines after the receive statistics, in this order:
//   dialect: gs|bs
//   version-number: N
//   setting-mode: on|off
//   the state lines of switch_state.h (switch.1 ... bt.name)
//   rejected: N                  writes refused (bad character or value, outside the setting mode)
//   rejected.K: REASON: HEX      K = 1.., the first kMaxListed of them; HEX the command's
//                                bytes as lower-case pairs split by spaces (at most 64, then "...")
//   ignored: N                   commands taken without effect or reply (other dialect,
//                                not in this version, unknown switch or item)
//   ignored.K: REASON: HEX
class SettingMemory : public PrinterState {
public:
    static constexpr std::size_t kMaxListed = 50;

    struct Refusal {
        std::string reason;
        std::string bytes;
    };

    explicit SettingMemory(const PrinterConfig& config);

    void addCommands(CommandParser& parser) override;
    std::string report() const override;
    std::string saveText() const override { return formatState(state_); }
    std::uint64_t changes() const override { return changes_; }

    const SwitchState& state() const { return state_; }
    Dialect dialect() const { return dialect_; }
    std::uint32_t versionNumber() const { return version_; }
    bool settingMode() const { return settingMode_; }
    std::uint64_t rejectedCount() const { return rejectedCount_; }
    std::uint64_t ignoredCount() const { return ignoredCount_; }
    const std::vector<Refusal>& rejected() const { return rejected_; }
    const std::vector<Refusal>& ignored() const { return ignored_; }

private:
    HandlerResult gsCommand(std::string_view in);
    HandlerResult bsCommand(std::string_view in);
    HandlerResult sentinelCommand(std::string_view in);
    HandlerResult bluetoothRead(std::string_view in);
    HandlerResult bluetoothWrite(std::string_view in);

    std::string readSwitch(std::string_view cmd, unsigned n, bool gs);
    void writeSwitch(std::string_view cmd, unsigned n, std::string_view chars);
    std::string readSerial(std::string_view cmd, unsigned item);
    void writeSerial(std::string_view cmd, unsigned item, std::string_view text);
    void writeAllSerial(std::string_view cmd, std::string_view text);
    bool serialValue(unsigned item, std::string_view text, SerialSettings& into) const;

    void reject(std::string_view cmd, std::string reason);
    void ignore(std::string_view cmd, std::string reason);
    void changed() { ++changes_; }

    SwitchState state_;
    Dialect dialect_;
    std::uint32_t version_;
    bool settingMode_ = false;
    std::uint64_t changes_ = 0;
    std::uint64_t rejectedCount_ = 0;
    std::uint64_t ignoredCount_ = 0;
    std::vector<Refusal> rejected_;
    std::vector<Refusal> ignored_;
};

// The memory of a mobile printer, or nullptr for a printer without one
// (defined with the mobile printer, which keeps it beside its NV memory).
const SettingMemory* settingMemoryOf(const Printer& printer);

} // namespace sim
