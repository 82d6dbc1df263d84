// The configuration record and the system information block, and the
// replies that carry them.
//
// Layouts (offsets into the block, after the 18-byte tag)
//   `IfConfigRecord`  603 bytes: numbers big-endian, IPv4 addresses first
//                     octet first, texts ASCII zero-filled to their width and
//                     NOT terminated when they fill it. Offsets are in the
//                     field table of IfRecords.cpp; bytes not listed there
//                     are sent as 0 and ignored when received.
//   `SystemInfo`      54 bytes: firmware version text (16), update date
//                     text (32), MAC address (6).
//   SYS_RSP           tag + 54 + checksum: at least 74 bytes.
//   IF__CUR / IF__SET tag + 603 + pad + checksum: 624 bytes; a reply needs
//                     at least 623 (tag, block, checksum) so the checksum
//                     never stands in for the record's last bytes.
//
// Texts are decoded by field width, up to the first zero byte or the whole
// width: a full field has no terminator. Codes are kept as the board sent
// them, known or not, so a record read and written back is unchanged.
#pragma once

#include "pavix/protocol/IfMessage.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace pavix {

using Ipv4 = std::array<std::uint8_t, 4>;
using MacAddress = std::array<std::uint8_t, 6>;

inline constexpr std::size_t kIfConfigRecordSize = 603;
inline constexpr std::size_t kSystemInfoSize = 54;
inline constexpr std::size_t kSysRspMinSize = kTagSize + kSystemInfoSize + kChecksumSize;    // 74
inline constexpr std::size_t kIfCurMinSize = kTagSize + kIfConfigRecordSize + kChecksumSize; // 623

// Text field widths, for the windows' input limits and the encoder's check.
inline constexpr std::size_t kPrinterNameWidth = 64;
inline constexpr std::size_t kSsidWidth = 32;
inline constexpr std::size_t kWepKeyWidth = 26;
inline constexpr std::size_t kPskKeyWidth = 64;
inline constexpr std::size_t kAuthTextWidth = 32;   // authentication ID and password
inline constexpr std::size_t kUserTextWidth = 32;   // user ID and password
inline constexpr std::size_t kCommunityWidth = 16;  // SNMP communities

struct IfConfigRecord {
    std::string printerName;      // 0, 64
    std::uint8_t networkMode = 0; // 65: 0 infrastructure, nonzero ad hoc
    std::uint8_t ipAssignment = 0; // 66: 1 automatic (DHCP), 0 manual
    Ipv4 ipAddress{};             // 67
    Ipv4 subnetMask{};            // 71
    Ipv4 gateway{};               // 75
    std::string ssid;             // 79, 32
    std::uint8_t authentication = 0; // 111: authentication table code
    std::uint8_t cryptograph = 0;    // 112: cryptograph table code
    std::string wepKey;           // 113, 26
    std::string pskKey;           // 217, 64
    std::uint8_t adhocChannel = 0; // 281: 0..14
    std::uint8_t eapMode = 0;     // 282: EAP table code
    std::string authId;           // 283, 32
    std::string authPassword;     // 315, 32: the certification key for EAP-TLS
    std::string userId;           // 347, 32
    std::string userPassword;     // 379, 32
    std::uint16_t printerPort = 0; // 411: 0..32767
    std::uint8_t https = 0;       // 544: switch codes
    std::uint8_t telnet = 0;      // 545
    std::uint8_t ftp = 0;         // 546
    std::uint8_t snmp = 0;        // 547
    std::string setCommunity;     // 549, 16: SNMP write community
    std::string getCommunity;     // 565, 16: SNMP read community
    std::string trapCommunity;    // 581, 16
    Ipv4 trapAddress{};           // 597
    std::uint16_t inactivityTime = 0; // 601: seconds, 0..3600

    bool operator==(const IfConfigRecord&) const = default;
};

using IfConfigBlock = std::array<std::uint8_t, kIfConfigRecordSize>;

// Reads a record from its 603 bytes; nullopt when fewer arrived. Bytes past
// the 603rd are not looked at.
std::optional<IfConfigRecord> DecodeIfConfigRecord(ByteView block);

// The name of the first text field that does not fit its width or holds a
// zero byte (which the board would read as its end); empty when all fit.
std::string_view IfConfigRecordTextProblem(const IfConfigRecord& record);

// The 603 bytes of a record; nullopt when IfConfigRecordTextProblem names a
// field, so nothing is ever cut short silently.
std::optional<IfConfigBlock> EncodeIfConfigRecord(const IfConfigRecord& record);

struct SystemInfo {
    std::string firmwareVersion; // 0, 16
    std::string updateDate;      // 16, 32
    MacAddress mac{};            // 48

    bool operator==(const SystemInfo&) const = default;
};

using SystemInfoBlock = std::array<std::uint8_t, kSystemInfoSize>;

std::optional<SystemInfo> DecodeSystemInfo(ByteView block);
// nullopt when a text does not fit (or holds a zero byte).
std::optional<SystemInfoBlock> EncodeSystemInfo(const SystemInfo& info);

// "AA-BB-CC-DD-EE-FF", upper-case hex.
std::string FormatMac(const MacAddress& mac);

// The replies: valid checksum, the right tag, long enough for the block.
std::optional<SystemInfo> ParseSysRsp(ByteView message);
std::optional<IfConfigRecord> ParseIfCur(ByteView message);
// The write's answer: a valid IF__SUC message.
bool IsIfSuc(ByteView message);

// The messages the board is sent or (as the simulator) sends, checksummed
// but not framed; nullopt when the record's texts do not fit.
std::optional<Bytes> BuildIfSet(const IfConfigRecord& record);
std::optional<Bytes> BuildIfCur(const IfConfigRecord& record);
std::optional<Bytes> BuildSysRsp(const SystemInfo& info);

} // namespace pavix
