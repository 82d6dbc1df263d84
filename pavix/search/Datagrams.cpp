#include "pavix/search/Datagrams.h"

#include <algorithm>

namespace pavix::search {
namespace {

bool beginsWith(ByteView bytes, std::string_view prefix)
{
    return bytes.size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), bytes.begin(),
                                                       [](char c, std::uint8_t b) {
                                                           return static_cast<std::uint8_t>(c) == b;
                                                       });
}

Bytes textBytes(std::string_view text)
{
    return Bytes(text.begin(), text.end());
}

} // namespace

Bytes SearchRequest(SearchMode mode)
{
    return textBytes(mode == SearchMode::Wlan ? kWlanSearch : kEthernetSearch);
}

SearchAnswer ParseSearchAnswer(SearchMode mode, ByteView datagram)
{
    const ByteView used = datagram.first(std::min(datagram.size(), kMaxDatagram));
    SearchAnswer answer;
    const bool wlan = mode == SearchMode::Wlan;
    const std::size_t minimum = wlan ? kWlanAnswerMin : kEthernetAnswerMin;
    if (used.size() < minimum) {
        answer.kind = wlan ? AnswerKind::EndsSearch : AnswerKind::Ignored;
        return answer;
    }
    const std::string_view tag = wlan ? kWlanAnswer : kEthernetAnswer;
    if (!beginsWith(used, tag))
        return answer;
    const ByteView body = used.subspan(tag.size());
    answer.kind = AnswerKind::Device;
    answer.shortRecord = body.size() < RecordSize(mode);
    answer.record = DecodeRecord(body.first(std::min(body.size(), RecordSize(mode))));
    return answer;
}

Bytes StoreRequest(SearchMode mode, const DeviceRecord& record)
{
    const bool wlan = mode == SearchMode::Wlan;
    Bytes out = textBytes(wlan ? kWlanStore : kEthernetStore);
    const Bytes body = EncodeRecord(record, mode);
    const std::size_t carried = wlan ? kWlanRecordSize : kEthernetStoreRecordBytes;
    out.insert(out.end(), body.begin(), body.begin() + static_cast<std::ptrdiff_t>(carried));
    return out;
}

StoreAnswer ParseStoreAnswer(SearchMode mode, ByteView datagram)
{
    const ByteView used = datagram.first(std::min(datagram.size(), kMaxDatagram));
    if (beginsWith(used, kStored))
        return StoreAnswer::Stored;
    if (mode == SearchMode::Wlan && beginsWith(used, kWlanStored))
        return StoreAnswer::WlanStored;
    return StoreAnswer::None;
}

} // namespace pavix::search
