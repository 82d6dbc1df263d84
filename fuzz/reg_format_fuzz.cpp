// libFuzzer target for the .reg text format: a settings file is outside
// input (hand-edited, copied between machines, half-written by another
// tool), so the parser must take any bytes.
//
// Invariants checked for every input:
// - parse never crashes and format(parse(x)) is a fixed point: parsing it
//   again gives the same document, formatting that gives the same text;
// - every value reads back from the re-parsed text exactly as before;
// - setting one value (as the store does) changes that value only, and the
//   result is again a fixed point.
#include "platform/reg_format.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace reg = platform::reg;

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

std::string formatFixedPoint(const reg::Document& doc)
{
    const std::string once = reg::format(doc);
    const reg::Document again = reg::parse(once);
    check(again == doc);
    check(reg::format(again) == once);
    return once;
}

// Every machine value of `before` reads the same in `after`, except
// (skipKey, skipName).
void checkValuesRead(const reg::Document& before, const reg::Document& after, std::string_view skipKey = {},
                     std::string_view skipName = {}, bool skip = false)
{
    for (const reg::Section& section : before.sections) {
        if (!section.machine)
            continue;
        for (const reg::Entry& entry : section.entries) {
            if (!entry.isValue)
                continue;
            if (skip && reg::equalsNoCase(section.key, skipKey) && reg::equalsNoCase(entry.name, skipName))
                continue;
            const reg::Entry* was = reg::findValue(before, section.key, entry.name);
            const reg::Entry* is = reg::findValue(after, section.key, entry.name);
            check(was != nullptr && is != nullptr);
            check(reg::numberOf(*was) == reg::numberOf(*is));
            check(reg::stringOf(*was) == reg::stringOf(*is));
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const reg::Document doc = reg::parse(input);
    const std::string text = formatFixedPoint(doc);
    checkValuesRead(doc, reg::parse(text));

    // A value to set, taken from the first line that has an '=': the name
    // is what stands before it, the text what follows.
    std::string_view line;
    for (std::size_t start = 0; start < input.size();) {
        const std::size_t end = std::min(input.find('\n', start), input.size());
        if (input.substr(start, end - start).find('=') != std::string_view::npos) {
            line = input.substr(start, end - start);
            break;
        }
        start = end + 1;
    }
    const std::size_t eq = line.find('=');
    if (eq == std::string_view::npos)
        return 0;
    const std::string_view name = line.substr(0, std::min<std::size_t>(eq, 64));
    const std::string_view value = line.substr(eq + 1);
    if (!reg::validName(name) || !reg::validText(value))
        return 0;
    // Into a key the file already has, or a new one.
    std::string key = "Software\\Quellix\\Fuzz";
    for (const reg::Section& section : doc.sections) {
        if (section.machine && reg::validKey(section.key) && (size % 2) == 0) {
            key = section.key;
            break;
        }
    }

    reg::Document edited = doc;
    if ((size % 3) == 0)
        reg::setNumber(edited, key, name, static_cast<std::uint32_t>(value.size() * 2654435761u));
    else
        reg::setString(edited, key, name, value);
    const reg::Document reread = reg::parse(formatFixedPoint(edited));
    const reg::Entry* set = reg::findValue(reread, key, name);
    check(set != nullptr);
    if ((size % 3) == 0)
        check(reg::numberOf(*set) == static_cast<std::uint32_t>(value.size() * 2654435761u));
    else
        check(reg::stringOf(*set) == std::string(value));
    checkValuesRead(doc, reread, key, name, true);
    return 0;
}
