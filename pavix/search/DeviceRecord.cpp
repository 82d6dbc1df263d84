#include "pavix/search/DeviceRecord.h"

#include <algorithm>

namespace pavix::search {
namespace {

// Bounded reader: a byte past the view reads as 0.
class Reader {
public:
    explicit Reader(ByteView bytes) : bytes_(bytes) {}
    std::uint8_t at(std::size_t offset) const { return offset < bytes_.size() ? bytes_[offset] : 0; }
    std::uint16_t be16(std::size_t offset) const
    {
        return static_cast<std::uint16_t>((at(offset) << 8) | at(offset + 1));
    }
    template <std::size_t N>
    std::array<std::uint8_t, N> array(std::size_t offset) const
    {
        std::array<std::uint8_t, N> out{};
        for (std::size_t i = 0; i < N; ++i)
            out[i] = at(offset + i);
        return out;
    }

private:
    ByteView bytes_;
};

void put16(Bytes& out, std::uint16_t value)
{
    out.push_back(static_cast<std::uint8_t>(value >> 8));
    out.push_back(static_cast<std::uint8_t>(value));
}

template <std::size_t N>
void putArray(Bytes& out, const std::array<std::uint8_t, N>& value)
{
    out.insert(out.end(), value.begin(), value.end());
}

} // namespace

DeviceRecord DecodeRecord(ByteView bytes)
{
    const Reader r(bytes.first(std::min(bytes.size(), kWlanRecordSize)));
    DeviceRecord record;
    record.mac = r.array<6>(0);
    record.ip = r.array<4>(6);
    record.subnet = r.array<4>(10);
    record.gateway = r.array<4>(14);
    record.localPort = r.be16(18);
    record.baudCode = r.at(20);
    record.firmwareMajor = r.at(21);
    record.firmwareMinor = r.at(22);
    record.dhcp = r.at(23);
    record.inactivitySeconds = r.be16(24);
    record.https = r.at(26);
    record.capability = r.at(27);
    record.reserved = r.at(28);
    return record;
}

Bytes EncodeRecord(const DeviceRecord& record, SearchMode mode)
{
    Bytes out;
    out.reserve(kWlanRecordSize);
    putArray(out, record.mac);
    putArray(out, record.ip);
    putArray(out, record.subnet);
    putArray(out, record.gateway);
    put16(out, record.localPort);
    out.push_back(record.baudCode);
    out.push_back(record.firmwareMajor);
    out.push_back(record.firmwareMinor);
    out.push_back(record.dhcp);
    put16(out, record.inactivitySeconds);
    out.push_back(record.https);
    if (mode == SearchMode::Wlan) {
        out.push_back(record.capability);
        out.push_back(record.reserved);
    }
    return out;
}

const DeviceRecord* DeviceList::find(int number) const
{
    if (number < 1 || number > size())
        return nullptr;
    return &records_[static_cast<std::size_t>(number - 1)];
}

bool DeviceList::replace(int number, const DeviceRecord& record)
{
    if (number < 1 || number > size())
        return false;
    records_[static_cast<std::size_t>(number - 1)] = record;
    return true;
}

} // namespace pavix::search
