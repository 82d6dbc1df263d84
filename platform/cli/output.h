// What a command line prints: text that came from a printer or a file is
// escaped so that it can neither forge an output line nor drive the
// terminal, and a result is printed either as "key: value" lines or as one
// JSON object, from the same record.
//
//   escapeText   bytes outside 0x20..0x7E as \xHH (lower-case hex), '\' as \\;
//                printable ASCII stays as it is
//   jsonString   a quoted JSON string: '"' and '\' escaped, every control
//                byte and every byte from 0x7F up as \u00XX (the bytes are
//                taken as Latin-1), so the output is valid ASCII JSON whatever
//                the printer sent
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform::cli {

std::string escapeText(std::string_view bytes);
// The inverse for typed input: \xHH (either case) and \\; nullopt for any
// other backslash.
std::optional<std::string> unescapeText(std::string_view typed);
std::string jsonString(std::string_view bytes);
// "text" with '\\' as \\, '"' as \" and bytes outside 0x20..0x7E as \xHH.
std::string quoteText(std::string_view bytes);

// An ordered list of fields. Keys are the program's own words ("model
// code"); in JSON their spaces become underscores ("model_code").
class Record {
public:
    Record& text(std::string key, std::string_view value);
    // `shown` is the lines form of the number ("0x05"); empty: decimal.
    Record& number(std::string key, long long value, std::string shown = {});
    Record& boolean(std::string key, bool value);
    // Text shown double-quoted in the lines form, with '\\', '\"' and \xHH
    // escapes (so that an empty or blank-edged text is visible and the line
    // can be read back); a plain JSON string.
    Record& quoted(std::string key, std::string_view value);
    // A nested record: its lines follow in the lines form, a JSON object
    // under `key` in JSON.
    Record& object(std::string key, const Record& inner);
    // Appends the fields of `other` after these.
    Record& append(const Record& other);

    // "key: value\n" for every field, values escaped.
    std::string lines() const;
    // One JSON object on one line, ending in "\n".
    std::string json() const;

    bool empty() const { return fields_.empty(); }

private:
    enum class Type { Text, Number, Boolean, Quoted, Object };
    struct Field {
        std::string key;
        Type type;
        std::string text;    // Text, Quoted: the raw bytes; Number: shown form; Object: its lines
        long long number;
        std::string json;    // Object: its JSON
    };
    std::vector<Field> fields_;
};

} // namespace platform::cli
