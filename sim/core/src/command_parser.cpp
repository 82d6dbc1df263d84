#include "sim/command_parser.h"

#include <algorithm>
#include <stdexcept>

namespace sim {

void CommandParser::addCommand(std::string prefix, CommandHandler handler)
{
    if (prefix.empty())
        throw std::invalid_argument("command prefix must not be empty");
    for (auto& entry : entries_) {
        if (entry.prefix == prefix) {
            entry.handler = std::move(handler);
            return;
        }
    }
    entries_.push_back({std::move(prefix), std::move(handler)});
}

CommandParser::Match CommandParser::match(std::string_view rest) const
{
    Match m;
    for (const auto& entry : entries_) {
        const std::string_view prefix = entry.prefix;
        if (rest.size() >= prefix.size()) {
            if (rest.starts_with(prefix) && (m.full == nullptr || prefix.size() > m.full->prefix.size()))
                m.full = &entry;
        } else if (prefix.starts_with(rest)) {
            m.longerPossible = true;
        }
    }
    return m;
}

std::vector<std::string> CommandParser::feed(std::string_view bytes)
{
    pending_.append(bytes);
    return parse(false);
}

std::vector<std::string> CommandParser::endOfStream()
{
    return parse(true);
}

std::vector<std::string> CommandParser::parse(bool final)
{
    std::vector<std::string> replies;
    const std::string_view all = pending_;
    std::size_t pos = 0;
    std::size_t dataStart = pos;

    auto flushData = [&] {
        if (pos > dataStart && dataSink_)
            dataSink_(all.substr(dataStart, pos - dataStart));
        dataStart = pos;
    };

    for (;;) {
        if (inBody_) {
            const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(bodyDue_, all.size() - pos));
            if (n > 0 && body_.piece)
                body_.piece(all.substr(pos, n));
            pos += n;
            dataStart = pos;
            bodyDue_ -= n;
            if (bodyDue_ > 0) {
                if (final) {
                    if (body_.cut)
                        body_.cut(bodyDue_);
                    bodyDue_ = 0;
                    inBody_ = false;
                    body_ = {};
                }
                break;
            }
            inBody_ = false;
            BodyReader done = std::move(body_);
            body_ = {};
            if (done.end) {
                std::string reply = done.end();
                if (!reply.empty())
                    replies.push_back(std::move(reply));
            }
        }
        if (pos >= all.size())
            break;
        const std::string_view rest = all.substr(pos);
        const Match m = match(rest);
        if (m.longerPossible && !final)
            break;  // could still become a longer command
        if (m.full != nullptr) {
            HandlerResult r = m.full->handler(rest);
            if (r.status == HandlerResult::Status::Consumed) {
                flushData();
                // A handler must take at least one byte and no more than it got.
                pos += std::clamp<std::size_t>(r.consumed, 1, rest.size());
                dataStart = pos;
                if (r.counted)
                    ++commands_;
                if (!r.reply.empty())
                    replies.push_back(std::move(r.reply));
                if (r.body.piece || r.body.end || r.bodyBytes > 0) {
                    inBody_ = true;
                    bodyDue_ = r.bodyBytes;
                    body_ = std::move(r.body);
                }
                continue;
            }
            if (r.status == HandlerResult::Status::NotCommand) {
                ++pos;
                continue;
            }
            if (!final && rest.size() < kMaxPending)
                break;  // wait for the rest of the command
        }
        ++pos;  // starts no command: data
    }
    flushData();
    pending_.erase(0, pos);
    return replies;
}

} // namespace sim
