#include "telvara/link/IdReplies.h"

#include "telvara/link/LinkTexts.h"

namespace telvara {

bool IsPrinterIdReply(ByteView reply)
{
    return !reply.empty() && reply[0] == kPrinterIdByte;
}

std::string PacketText(ByteView reply)
{
    std::string text;
    for (std::size_t i = 1; i < reply.size() && text.size() < kMaxTextBytes; ++i) {
        if (reply[i] == 0)
            break;
        text.push_back(static_cast<char>(reply[i]));
    }
    return text;
}

bool TextCollector::feed(std::uint8_t byte)
{
    if (done_)
        return true;
    ++received_;
    if (byte == 0) {
        done_ = true;
    } else if (byte != '_') {
        text_.push_back(static_cast<char>(byte));
    }
    if (received_ >= kMaxTextBytes)
        done_ = true;
    return done_;
}

std::string CollectedText(ByteView bytes, std::size_t* used)
{
    TextCollector collector;
    std::size_t i = 0;
    while (i < bytes.size() && !collector.done())
        collector.feed(bytes[i++]);
    if (used != nullptr)
        *used = i;
    return collector.text();
}

bool IsOurMaker(const std::string& maker)
{
    return maker == texts::kMakerName;
}

bool IsOurModel(const std::string& model)
{
    for (std::string_view name : texts::kModelNames) {
        if (model == name)
            return true;
    }
    return false;
}

} // namespace telvara
