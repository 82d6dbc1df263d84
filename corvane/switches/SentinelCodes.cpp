#include "corvane/switches/SentinelCodes.h"

#include "corvane/switches/CCommonTlvr.h"

namespace corvane {
namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

} // namespace

int HexDigitValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

std::string HexToSentinelCode(std::string_view text)
{
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    std::string bytes;
    std::size_t k = 0;
    while (k < text.size()) {
        if (text[k] == ' ') {
            ++k;
            continue;
        }
        if (text.size() - k <= 1)
            return {};
        const int high = HexDigitValue(text[k]);
        const int low = HexDigitValue(text[k + 1]);
        if (high < 0 || low < 0)
            return sentinel_text::kErrorMarker;
        if (bytes.size() >= kMaxHexBytes)
            return sentinel_text::kErrorMarker;
        bytes.push_back(static_cast<char>(high * 16 + low));
        k += 2;
    }
    return bytes;
}

std::optional<std::string> SentinelCodeProblem(std::string_view code, bool required)
{
    if (code.size() > kMaxSentinelCode || (required && code.empty()))
        return std::string(sentinel_text::kBadLength);
    return std::nullopt;
}

} // namespace corvane
