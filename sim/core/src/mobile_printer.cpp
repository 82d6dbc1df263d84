#include "sim/mobile_printer.h"

#include <zlib.h>

#include <algorithm>
#include <cstdio>
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

    while (pos < all.size()) {
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

std::string formatReport(const ReceiveStats& stats)
{
    char crc[9];
    std::snprintf(crc, sizeof crc, "%08x", static_cast<unsigned>(stats.crc32));
    return "bytes " + std::to_string(stats.bytes) + "\ncrc32 " + crc + "\ncommands " +
           std::to_string(stats.commands) + "\n";
}

MobilePrinter::MobilePrinter(PrinterConfig config) : config_(std::move(config))
{
    auto textReply = [](const std::string& text) {
        std::string reply = text;
        reply.push_back('\0');
        return reply;
    };
    parser_.addCommand(std::string(kQueryModel), [this, textReply](std::string_view) {
        return HandlerResult::done(kQueryModel.size(), textReply(config_.modelReply));
    });
    parser_.addCommand(std::string(kQueryVersion), [this, textReply](std::string_view) {
        return HandlerResult::done(kQueryVersion.size(), textReply(config_.versionReply));
    });
    parser_.addCommand(std::string(kQueryCodePage), [this, textReply](std::string_view) {
        return HandlerResult::done(kQueryCodePage.size(), textReply(config_.codePageReply));
    });
    parser_.addCommand(std::string(kQueryMsrMode), [this](std::string_view) {
        std::string reply{"\x37\x80\x00\x00", 4};
        reply[2] = static_cast<char>(config_.msrMode);
        return HandlerResult::done(kQueryMsrMode.size(), std::move(reply));
    });
    parser_.addCommand(std::string(kOpenProbe), [](std::string_view) {
        return HandlerResult::filler(kOpenProbe.size());
    });
}

std::vector<std::string> MobilePrinter::receive(std::string_view bytes)
{
    bytes_ += bytes.size();
    crc_ = static_cast<std::uint32_t>(
        crc32_z(crc_, reinterpret_cast<const Bytef*>(bytes.data()), bytes.size()));
    return parser_.feed(bytes);
}

std::vector<std::string> MobilePrinter::endOfStream()
{
    return parser_.endOfStream();
}

ReceiveStats MobilePrinter::stats() const
{
    return {bytes_, crc_, parser_.commandCount()};
}

} // namespace sim
