// Key codes for key-code family downloads.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace corvane::nv {

// The manager's automatic addressing: "10".."19", "20", ... skipping keys
// in `taken`. The first character keeps counting through the following
// character codes; past "~" (0x7E) no printable key is left and the result
// is empty (nullopt), never a non-ASCII key and never an endless search.
std::optional<std::vector<std::string>> AutoKeys(std::size_t count, const std::vector<std::string>& taken);

// Why a typed key cannot be used ("" when it can): it must be exactly two
// bytes, none of them NUL, and not one of `taken` ("Exists address!").
std::string KeyProblem(std::string_view key, const std::vector<std::string>& taken);

inline constexpr const char* kExistsAddress = "Exists address!";

} // namespace corvane::nv
