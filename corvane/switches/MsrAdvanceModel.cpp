#include "corvane/switches/MsrAdvanceModel.h"

#include "corvane/switches/SentinelCodes.h"

namespace corvane {
namespace {

std::string refusal(const std::string& reason)
{
    return std::string(sentinel_text::kInvalidValue) + "\r\n" + reason;
}

} // namespace

MsrAdvanceModel::MsrAdvanceModel(int option, const MsrCodes& codes)
    : openedOption_(option), opened_(codes), typed_(codes), result_(codes)
{
    exact_.fill(true);
    setOption(option);
}

void MsrAdvanceModel::setOption(int option)
{
    option_ = (option >= kMsrOptionNone && option <= kMsrOptionDynamic) ? option : kMsrOptionUnset;
}

void MsrAdvanceModel::toggleHexInput()
{
    hexInput_ = !hexInput_;
    label_ = hexInput_ ? msr_text::kInputModeHex : msr_text::kInputModeAscii;
    for (std::size_t k = 0; k < typed_.size(); ++k) {
        typed_[k].clear();
        exact_[k] = true;
    }
}

void MsrAdvanceModel::setCode(int slot, std::string_view typed, bool exact)
{
    const auto k = static_cast<std::size_t>(slot);
    typed_.at(k).assign(typed);
    exact_.at(k) = exact;
}

std::optional<std::string> MsrAdvanceModel::accept()
{
    MsrCodes codes = typed_;
    if (hexInput_) {
        for (std::size_t k = 0; k < codes.size(); ++k) {
            // A character no byte can carry is not a hexadecimal digit either.
            codes[k] = exact_[k] ? HexToSentinelCode(typed_[k]) : std::string(sentinel_text::kErrorMarker);
            if (codes[k] == sentinel_text::kErrorMarker)
                return refusal(sentinel_text::kInvalidHex);
        }
    }
    for (std::size_t k = 0; k < codes.size(); ++k) {
        if (auto reason = SentinelCodeProblem(codes[k], IsStartSlot(static_cast<int>(k))))
            return refusal(*reason);
        if (hexInput_)
            continue;
        const bool unchanged = exact_[k] && codes[k] == opened_[k];
        if (unchanged)
            continue;
        if (!exact_[k])
            return refusal(msr_text::kBadCharacter);
        if (auto reason = SentinelCharacterProblem(codes[k]))
            return refusal(*reason);
    }
    result_ = codes;
    return std::nullopt;
}

std::optional<std::string> SentinelCharacterProblem(std::string_view code)
{
    for (const char c : code) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte > 0x7F)
            return std::string(msr_text::kBadCharacter);
    }
    return std::nullopt;
}

} // namespace corvane
