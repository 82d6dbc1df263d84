#include "telvara/status/StatusFile.h"

#include <array>
#include <cerrno>

namespace telvara {

namespace {

constexpr std::size_t kSlotBytes = 36;

void putInt(std::string& out, std::size_t at, std::int32_t value)
{
    const auto u = static_cast<std::uint32_t>(value);
    for (std::size_t i = 0; i < 4; ++i)
        out[at + i] = static_cast<char>((u >> (8 * i)) & 0xFF);
}

std::int32_t getInt(const std::array<std::uint8_t, kStatusFileSize>& in, std::size_t at)
{
    std::uint32_t u = 0;
    for (std::size_t i = 0; i < 4; ++i)
        u |= std::uint32_t{in[at + i]} << (8 * i);
    return static_cast<std::int32_t>(u);
}

std::size_t pinOffset(int slot, int pin)
{
    return kSlotBytes * static_cast<std::size_t>(slot) + 4 * static_cast<std::size_t>(pin);
}

StatusFileOutcome failed(StatusFileResult result, const texts::Message& message, platform::OsError error = {})
{
    return {result, message, std::move(error)};
}

} // namespace

std::string EncodeStatusFile(const StatusMatrix& matrix, std::int32_t flag)
{
    std::string out(kStatusFileSize, '\0');
    for (int sw : kFileSwitches) {
        const int slot = SlotOfSwitch(sw);
        for (int pin = 1; pin <= kPinCount; ++pin)
            putInt(out, pinOffset(slot, pin), matrix.get(sw, pin));
    }
    putInt(out, kStatusFlagOffset, flag);
    return out;
}

std::optional<StatusFileContent> DecodeStatusFile(std::span<const std::uint8_t> bytes)
{
    std::array<std::uint8_t, kStatusFileSize> buffer{};
    for (std::size_t i = 0; i < bytes.size() && i < buffer.size(); ++i)
        buffer[i] = bytes[i];
    StatusFileContent content;
    for (int sw : kFileSwitches) {
        const int slot = SlotOfSwitch(sw);
        SwitchPins pins{};
        for (int pin = 1; pin <= kPinCount; ++pin) {
            const std::int32_t v = getInt(buffer, pinOffset(slot, pin));
            if (v < kNoChange || v > kOff)
                return std::nullopt;
            pins[static_cast<std::size_t>(pin - 1)] = static_cast<int>(v);
        }
        content.matrix.setSwitch(sw, pins);
    }
    content.flag = getInt(buffer, kStatusFlagOffset);
    return content;
}

bool HasStatusFileName(std::string_view path)
{
    return path.size() >= 3 && path.substr(path.size() - 3) == "sts";
}

StatusFileOutcome SaveStatusFile(const std::string& path, const StatusMatrix& matrix, std::int32_t flag,
                                 const platform::AtomicWriteOptions& options)
{
    platform::OsError error;
    if (!platform::writeFileAtomically(path, EncodeStatusFile(matrix, flag), error, options))
        return failed(StatusFileResult::NotSaved, texts::kCannotSave, std::move(error));
    return {};
}

StatusFileOutcome LoadStatusFile(const std::string& path, StatusMatrix& matrix, std::int32_t& flag)
{
    if (!HasStatusFileName(path))
        return failed(StatusFileResult::BadName, texts::kWrongFormat);
    std::string bytes;
    platform::OsError error;
    const platform::ReadResult read = platform::readFileBounded(path, kStatusFileReadLimit, bytes, error);
    if (read != platform::ReadResult::Loaded) {
        if (read == platform::ReadResult::Missing)
            error = platform::OsError(ENOENT, "open", path);
        return failed(StatusFileResult::Unreadable, texts::kCannotRead, std::move(error));
    }
    const auto content = DecodeStatusFile(
        std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
    if (!content)
        return failed(StatusFileResult::WrongFormat, texts::kWrongFormat);
    for (int sw : kFileSwitches)
        matrix.setSwitch(sw, content->matrix.pins(SlotOfSwitch(sw)));
    flag = content->flag;
    return {};
}

} // namespace telvara
