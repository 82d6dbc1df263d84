#include "corvane/nv/NvAddressing.h"

#include <algorithm>

namespace corvane::nv {

namespace {
bool contains(const std::vector<std::string>& list, std::string_view key)
{
    return std::find(list.begin(), list.end(), key) != list.end();
}
} // namespace

std::optional<std::vector<std::string>> AutoKeys(std::size_t count, const std::vector<std::string>& taken)
{
    std::vector<std::string> keys;
    std::string key = "00";
    unsigned c = 0;
    while (keys.size() < count) {
        if (c % 10 == 0) {
            if (key[0] >= 0x7E)
                return std::nullopt;
            key[0] = char(key[0] + 1);
            c = 0;
        }
        key[1] = char('0' + c);
        ++c;
        if (!contains(taken, key))
            keys.push_back(key);
    }
    return keys;
}

std::string KeyProblem(std::string_view key, const std::vector<std::string>& taken)
{
    if (key.size() != 2)
        return "the address needs exactly two characters";
    if (key[0] == '\0' || key[1] == '\0')
        return "the address may not contain a NUL byte";
    if (contains(taken, key))
        return kExistsAddress;
    return {};
}

} // namespace corvane::nv
