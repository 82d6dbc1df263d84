// What a network interface board holds and how it misbehaves on purpose:
// the configuration a network-board printer starts with. Kept apart from the
// board itself so PrinterConfig can carry it without the board's class.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace sim {

// The exchanges of the board's link, named after the host's request; the
// fault knobs are set per exchange.
enum class BoardExchange : std::uint8_t { Opener, SysReq, IfGet, BssReq, IfSet };
inline constexpr std::size_t kBoardExchanges = 5;

struct NetworkBoardConfig {
    static constexpr std::size_t kRecordSize = 603;
    static constexpr std::size_t kFirmwareWidth = 16;
    static constexpr std::size_t kUpdateDateWidth = 32;
    // Far above what any real board sees, and still a reply the host's
    // 16 KiB reassembly bound can take when framed.
    static constexpr std::size_t kMaxBssBody = 8000;

    std::string record;  // exactly kRecordSize bytes (see defaultIfRecord())
    std::string firmware = "IFB-W1 V2.10";
    std::string updateDate = "2025/06/14 09:30";
    std::array<std::uint8_t, 6> mac = {0x00, 0x19, 0x7b, 0x2a, 0x41, 0x0c};
    std::string bssBody;  // after the tag, before pad and checksum (see defaultBssBody())
    std::string openerAnswer{"\x1f\x57\x4d\x7f\x1d\x1f\x03", 7};

    // Fault knobs.
    bool upperHex = false;                            // replies framed in upper-case hex
    std::array<bool, kBoardExchanges> silentOn{};     // no answer at all
    std::array<bool, kBoardExchanges> badChecksum{};  // reply checksum off by one bit
    std::array<bool, kBoardExchanges> shortReply{};   // block two bytes short, checksum valid
    bool setFails = false;        // IF__SET answered with a valid message that is not IF__SUC; nothing stored
    bool certNoStart = false;     // certificate start requests NAKed, never "STRT"
    unsigned certGarbage = 0;     // each certificate chunk answered with garbage this many times first

    bool operator==(const NetworkBoardConfig&) const = default;
};

// The record a board holds out of the box: a named printer in infrastructure
// mode with a manual address, WPA2-PSK/AES, raw port 9100, 300 s inactivity.
std::string defaultIfRecord();
// Three access points: WPA2 infrastructure, WEP64 infrastructure, an open
// ad hoc cell.
std::string defaultBssBody();

} // namespace sim
