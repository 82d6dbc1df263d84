// Sentinel codes as the technician types them: plain characters, or
// hexadecimal byte pairs ("0A 1F 10 4C"), and the checks a code must pass
// before it is sent.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace corvane {

namespace sentinel_text {
inline constexpr const char* kInvalidValue = "Invalid value!";
inline constexpr const char* kInvalidHex = "Invalid HEXA Format!!";
inline constexpr const char* kBadLength = "Sentinel length is over 10 ( length range : 1~10 )";
// Returned by HexToSentinelCode for text that is not hexadecimal.
inline constexpr const char* kErrorMarker = "ERRORQUELLIXINPUT";
} // namespace sentinel_text

// 0..15 for a hexadecimal digit (either case), -1 otherwise.
int HexDigitValue(char c);

// Hexadecimal pairs to bytes. Blanks between pairs are skipped; a single
// digit left over makes the whole result empty; a character that is not a
// hexadecimal digit makes it kErrorMarker. At most kMaxHexBytes bytes.
inline constexpr std::size_t kMaxHexBytes = 2048;
std::string HexToSentinelCode(std::string_view text);

// The reason a code is refused, or nothing. Start codes are `required`
// (1 to 10 bytes); end codes may be empty.
std::optional<std::string> SentinelCodeProblem(std::string_view code, bool required);

} // namespace corvane
