// What a network board tells about itself in a discovery answer, and the
// lists of boards a search found.
//
// `DeviceRecord` layout (Ethernet 27 bytes, WLAN 29; numbers big-endian,
// addresses first octet first)
//   0  6  MAC address            18 2  local (printer) port
//   6  4  IP address             20 1  baud rate code (see NetworkSetting.h)
//   10 4  subnet mask            21 1  firmware major, 22 1 firmware minor
//   14 4  gateway                23 1  DHCP flag (nonzero: DHCP)
//   24 2  inactivity time, s     26 1  web server on HTTPS when nonzero
//   27 1  WLAN: capability code  28 1  WLAN: reserved, sent back unchanged
//
// Flags and codes are kept as the board sent them, so a record decoded and
// encoded again is byte for byte the same.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace pavix::search {

using Bytes = std::vector<std::uint8_t>;
using ByteView = std::span<const std::uint8_t>;
using Ipv4 = std::array<std::uint8_t, 4>;
using MacAddress = std::array<std::uint8_t, 6>;

enum class SearchMode { Ethernet, Wlan };

inline constexpr std::size_t kEthernetRecordSize = 27;
inline constexpr std::size_t kWlanRecordSize = 29;

constexpr std::size_t RecordSize(SearchMode mode)
{
    return mode == SearchMode::Wlan ? kWlanRecordSize : kEthernetRecordSize;
}

struct DeviceRecord {
    MacAddress mac{};
    Ipv4 ip{};
    Ipv4 subnet{};
    Ipv4 gateway{};
    std::uint16_t localPort = 0;
    std::uint8_t baudCode = 0;
    std::uint8_t firmwareMajor = 0;
    std::uint8_t firmwareMinor = 0;
    std::uint8_t dhcp = 0;
    std::uint16_t inactivitySeconds = 0;
    std::uint8_t https = 0;
    std::uint8_t capability = 0; // WLAN only
    std::uint8_t reserved = 0;   // WLAN only

    friend bool operator==(const DeviceRecord&, const DeviceRecord&) = default;
};

// Reads the record from the first bytes of `bytes`; bytes beyond its end
// count as 0 (an answer cut short still gives a record, never a read past
// the datagram). At most kWlanRecordSize bytes are looked at.
DeviceRecord DecodeRecord(ByteView bytes);

// The record's RecordSize(mode) bytes (Ethernet leaves out bytes 27 and 28).
Bytes EncodeRecord(const DeviceRecord& record, SearchMode mode);

// The boards one search of one mode found, in arrival order, duplicates
// kept. Devices are numbered from 1; numbers hold until the next search.
class DeviceList {
public:
    void clear() { records_.clear(); }
    void append(const DeviceRecord& record) { records_.push_back(record); }
    int size() const { return static_cast<int>(records_.size()); }
    bool empty() const { return records_.empty(); }

    // nullptr when `number` is not 1..size().
    const DeviceRecord* find(int number) const;
    // Replaces device `number`; false when there is none.
    bool replace(int number, const DeviceRecord& record);

    const std::vector<DeviceRecord>& records() const { return records_; }

private:
    std::vector<DeviceRecord> records_;
};

// One list per mode, living as long as the program; reopening the list
// window keeps them.
class DeviceLists {
public:
    DeviceList& of(SearchMode mode) { return mode == SearchMode::Wlan ? wlan_ : ethernet_; }
    const DeviceList& of(SearchMode mode) const { return mode == SearchMode::Wlan ? wlan_ : ethernet_; }

private:
    DeviceList ethernet_;
    DeviceList wlan_;
};

} // namespace pavix::search
