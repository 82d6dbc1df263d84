#include "sim/printer.h"

#include "sim/personality.h"

#include <zlib.h>

#include <cstdio>

namespace sim {

std::string formatReport(const ReceiveStats& stats)
{
    char crc[9];
    std::snprintf(crc, sizeof crc, "%08x", static_cast<unsigned>(stats.crc32));
    return "bytes " + std::to_string(stats.bytes) + "\ncrc32 " + crc + "\ncommands " +
           std::to_string(stats.commands) + "\n";
}

Printer::Printer(const Personality& personality, PrinterConfig config)
    : personality_(personality), config_(std::move(config))
{
    for (const CommandRow& row : personality_.commands) {
        parser_.addCommand(std::string(row.prefix), [this, handle = row.handle](std::string_view input) {
            return handle(config_, input);
        });
    }
    if (personality_.makeState != nullptr) {
        state_ = personality_.makeState(config_);
        state_->addCommands(parser_);
    }
}

std::string Printer::report() const
{
    std::string text = formatReport(stats());
    if (state_)
        text += state_->report();
    return text;
}

std::vector<std::string> Printer::receive(std::string_view bytes)
{
    bytes_ += bytes.size();
    crc_ = static_cast<std::uint32_t>(
        crc32_z(crc_, reinterpret_cast<const Bytef*>(bytes.data()), bytes.size()));
    return parser_.feed(bytes);
}

std::vector<std::string> Printer::endOfStream()
{
    auto replies = parser_.endOfStream();
    if (state_)
        state_->hostGone();
    return replies;
}

ReceiveStats Printer::stats() const
{
    return {bytes_, crc_, parser_.commandCount()};
}

} // namespace sim
