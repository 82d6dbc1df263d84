// The discovery and store datagrams of both modes.
//
// Wire format (UDP, no checksum, no framing; requests go to the broadcast
// address, answers come back to the local port the request left from)
//   Ethernet  remote port 48781, local port 48780
//     search  "FIND"                                   4 bytes
//     answer  "IMIN" + 27-byte record                  31 bytes
//     store   "SETT" + record bytes 0..25              30 bytes
//     stored  a datagram beginning "SETC"
//   WLAN      remote port 3337, local port 9000
//     search  "__[I_F]__[PRT_REG]"                     18 bytes
//     answer  "__[I_F]__[REG_RSP]" + 29-byte record    47 bytes
//     store   "__[I_F]__[PRT_SET]" + record 0..28      47 bytes
//     stored  "SETC", or "__[I_F]__[SET_RSP]"          4 / 18 bytes
//
// Quirks a reader must know
//   - An Ethernet answer needs 5 bytes; its record bytes that did not come
//     read as 0. A WLAN answer is treated the same way (19 bytes and up, the
//     missing record bytes 0) rather than reading past the datagram.
//   - In WLAN mode any datagram shorter than 19 bytes ends the search at
//     once: the boards' own tools do so, and the answers until then stand.
//   - A store is acknowledged by 4 bytes "SETC" in either mode, or (WLAN) by
//     the 18-byte SET_RSP; shorter or other datagrams are not answers. A
//     WLAN board answering "SETC" gets the Ethernet wording.
//   - Answers are read up to kMaxDatagram bytes; longer ones are judged by
//     their first bytes.
#pragma once

#include "pavix/search/DeviceRecord.h"

#include <cstdint>
#include <string_view>

namespace pavix::search {

inline constexpr std::size_t kMaxDatagram = 512;

inline constexpr std::string_view kEthernetSearch = "FIND";
inline constexpr std::string_view kEthernetAnswer = "IMIN";
inline constexpr std::string_view kEthernetStore = "SETT";
inline constexpr std::string_view kStored = "SETC";
inline constexpr std::string_view kWlanSearch = "__[I_F]__[PRT_REG]";
inline constexpr std::string_view kWlanAnswer = "__[I_F]__[REG_RSP]";
inline constexpr std::string_view kWlanStore = "__[I_F]__[PRT_SET]";
inline constexpr std::string_view kWlanStored = "__[I_F]__[SET_RSP]";

inline constexpr std::size_t kEthernetAnswerMin = 5;
inline constexpr std::size_t kWlanAnswerMin = 19;
// Bytes of the record an Ethernet store carries (the HTTPS flag stays out).
inline constexpr std::size_t kEthernetStoreRecordBytes = 26;

struct UdpPorts {
    std::uint16_t remote = 0; // where requests go
    std::uint16_t local = 0;  // where they leave from and answers arrive
};

constexpr UdpPorts DefaultPorts(SearchMode mode)
{
    return mode == SearchMode::Wlan ? UdpPorts{3337, 9000} : UdpPorts{48781, 48780};
}

Bytes SearchRequest(SearchMode mode);

enum class AnswerKind {
    Device,     // a board's answer: `record` holds it
    Ignored,    // not an answer of this mode
    EndsSearch, // WLAN: too short for an answer; the search stops here
};

struct SearchAnswer {
    AnswerKind kind = AnswerKind::Ignored;
    DeviceRecord record;
    bool shortRecord = false; // the record was cut short and zero-filled
};

SearchAnswer ParseSearchAnswer(SearchMode mode, ByteView datagram);

// Tag and the mode's record bytes from `record`.
Bytes StoreRequest(SearchMode mode, const DeviceRecord& record);

enum class StoreAnswer {
    None,   // not an answer to a store
    Stored, // "SETC"
    WlanStored, // SET_RSP, WLAN mode only
};

StoreAnswer ParseStoreAnswer(SearchMode mode, ByteView datagram);

} // namespace pavix::search
