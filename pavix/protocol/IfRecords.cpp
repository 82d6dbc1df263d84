#include "pavix/protocol/IfRecords.h"

#include <algorithm>
#include <cstdio>

namespace pavix {

namespace {

template <class Record>
struct TextField {
    std::string Record::*member;
    std::size_t offset;
    std::size_t width;
    std::string_view name;
};

template <class Record>
struct ByteField {
    std::uint8_t Record::*member;
    std::size_t offset;
};

template <class Record>
struct Ipv4Field {
    Ipv4 Record::*member;
    std::size_t offset;
};

template <class Record>
struct Word16Field {
    std::uint16_t Record::*member;
    std::size_t offset;
};

using R = IfConfigRecord;

// Where each field of the record sits.
constexpr TextField<R> kRecordTexts[] = {
    {&R::printerName, 0, kPrinterNameWidth, "printer name"},
    {&R::ssid, 79, kSsidWidth, "SSID"},
    {&R::wepKey, 113, kWepKeyWidth, "WEP key"},
    {&R::pskKey, 217, kPskKeyWidth, "PSK key"},
    {&R::authId, 283, kAuthTextWidth, "authentication ID"},
    {&R::authPassword, 315, kAuthTextWidth, "authentication password"},
    {&R::userId, 347, kUserTextWidth, "user ID"},
    {&R::userPassword, 379, kUserTextWidth, "user password"},
    {&R::setCommunity, 549, kCommunityWidth, "SNMP write community"},
    {&R::getCommunity, 565, kCommunityWidth, "SNMP read community"},
    {&R::trapCommunity, 581, kCommunityWidth, "trap community"},
};

constexpr ByteField<R> kRecordBytes[] = {
    {&R::networkMode, 65},    {&R::ipAssignment, 66}, {&R::authentication, 111},
    {&R::cryptograph, 112},   {&R::adhocChannel, 281}, {&R::eapMode, 282},
    {&R::https, 544},         {&R::telnet, 545},       {&R::ftp, 546},
    {&R::snmp, 547},
};

constexpr Ipv4Field<R> kRecordAddresses[] = {
    {&R::ipAddress, 67}, {&R::subnetMask, 71}, {&R::gateway, 75}, {&R::trapAddress, 597},
};

constexpr Word16Field<R> kRecordWords[] = {
    {&R::printerPort, 411},
    {&R::inactivityTime, 601},
};

constexpr TextField<SystemInfo> kSystemTexts[] = {
    {&SystemInfo::firmwareVersion, 0, 16, "firmware version"},
    {&SystemInfo::updateDate, 16, 32, "update date"},
};
constexpr std::size_t kMacOffset = 48;

// The field's bytes up to the first zero, or its whole width.
std::string ReadText(ByteView block, std::size_t offset, std::size_t width)
{
    const auto begin = block.begin() + static_cast<std::ptrdiff_t>(offset);
    const auto end = std::find(begin, begin + static_cast<std::ptrdiff_t>(width), std::uint8_t{0});
    return std::string(begin, end);
}

template <class Record>
std::string_view TextProblem(const Record& record, std::span<const TextField<Record>> fields)
{
    for (const auto& f : fields) {
        const std::string& text = record.*f.member;
        if (text.size() > f.width || text.find('\0') != std::string::npos)
            return f.name;
    }
    return {};
}

template <class Record, std::size_t N>
void WriteTexts(const Record& record, std::span<const TextField<Record>> fields, std::array<std::uint8_t, N>& out)
{
    for (const auto& f : fields) {
        const std::string& text = record.*f.member;
        std::copy(text.begin(), text.end(), out.begin() + static_cast<std::ptrdiff_t>(f.offset));
    }
}

template <class Record>
void ReadTexts(Record& record, std::span<const TextField<Record>> fields, ByteView block)
{
    for (const auto& f : fields)
        record.*f.member = ReadText(block, f.offset, f.width);
}

std::optional<Bytes> BuildWithBlock(std::string_view tag, const std::optional<IfConfigBlock>& block)
{
    if (!block)
        return std::nullopt;
    return BuildMessage(tag, *block);
}

ByteView AfterTag(ByteView message)
{
    return message.subspan(std::min(message.size(), kTagSize));
}

} // namespace

std::optional<IfConfigRecord> DecodeIfConfigRecord(ByteView block)
{
    if (block.size() < kIfConfigRecordSize)
        return std::nullopt;
    IfConfigRecord r;
    ReadTexts<R>(r, kRecordTexts, block);
    for (const auto& f : kRecordBytes)
        r.*f.member = block[f.offset];
    for (const auto& f : kRecordAddresses)
        std::copy_n(block.begin() + static_cast<std::ptrdiff_t>(f.offset), 4, (r.*f.member).begin());
    for (const auto& f : kRecordWords)
        r.*f.member = static_cast<std::uint16_t>(block[f.offset] << 8 | block[f.offset + 1]);
    return r;
}

std::string_view IfConfigRecordTextProblem(const IfConfigRecord& record)
{
    return TextProblem<R>(record, kRecordTexts);
}

std::optional<IfConfigBlock> EncodeIfConfigRecord(const IfConfigRecord& record)
{
    if (!IfConfigRecordTextProblem(record).empty())
        return std::nullopt;
    IfConfigBlock out{};
    WriteTexts<R>(record, kRecordTexts, out);
    for (const auto& f : kRecordBytes)
        out[f.offset] = record.*f.member;
    for (const auto& f : kRecordAddresses)
        std::copy_n((record.*f.member).begin(), 4, out.begin() + static_cast<std::ptrdiff_t>(f.offset));
    for (const auto& f : kRecordWords) {
        out[f.offset] = static_cast<std::uint8_t>(record.*f.member >> 8);
        out[f.offset + 1] = static_cast<std::uint8_t>(record.*f.member);
    }
    return out;
}

std::optional<SystemInfo> DecodeSystemInfo(ByteView block)
{
    if (block.size() < kSystemInfoSize)
        return std::nullopt;
    SystemInfo info;
    ReadTexts<SystemInfo>(info, kSystemTexts, block);
    std::copy_n(block.begin() + kMacOffset, info.mac.size(), info.mac.begin());
    return info;
}

std::optional<SystemInfoBlock> EncodeSystemInfo(const SystemInfo& info)
{
    if (!TextProblem<SystemInfo>(info, kSystemTexts).empty())
        return std::nullopt;
    SystemInfoBlock out{};
    WriteTexts<SystemInfo>(info, kSystemTexts, out);
    std::copy(info.mac.begin(), info.mac.end(), out.begin() + kMacOffset);
    return out;
}

std::string FormatMac(const MacAddress& mac)
{
    char text[18];
    std::snprintf(text, sizeof text, "%02X-%02X-%02X-%02X-%02X-%02X", mac[0], mac[1], mac[2], mac[3], mac[4],
                  mac[5]);
    return text;
}

std::optional<SystemInfo> ParseSysRsp(ByteView message)
{
    if (!IsValidReply(message, kTagSysRsp, kSysRspMinSize))
        return std::nullopt;
    return DecodeSystemInfo(AfterTag(message));
}

std::optional<IfConfigRecord> ParseIfCur(ByteView message)
{
    if (!IsValidReply(message, kTagIfCur, kIfCurMinSize))
        return std::nullopt;
    return DecodeIfConfigRecord(AfterTag(message));
}

bool IsIfSuc(ByteView message)
{
    return IsValidReply(message, kTagIfSuc);
}

std::optional<Bytes> BuildIfSet(const IfConfigRecord& record)
{
    return BuildWithBlock(kTagIfSet, EncodeIfConfigRecord(record));
}

std::optional<Bytes> BuildIfCur(const IfConfigRecord& record)
{
    return BuildWithBlock(kTagIfCur, EncodeIfConfigRecord(record));
}

std::optional<Bytes> BuildSysRsp(const SystemInfo& info)
{
    const std::optional<SystemInfoBlock> block = EncodeSystemInfo(info);
    if (!block)
        return std::nullopt;
    return BuildMessage(kTagSysRsp, *block);
}

} // namespace pavix
