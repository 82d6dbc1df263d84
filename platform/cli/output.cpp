#include "platform/cli/output.h"

#include <cstdio>

namespace platform::cli {
namespace {

void appendHex(std::string& out, const char* prefix, unsigned char byte)
{
    char buffer[8];
    std::snprintf(buffer, sizeof buffer, "%s%02x", prefix, static_cast<unsigned>(byte));
    out += buffer;
}

std::string jsonKey(const std::string& key)
{
    std::string out = key;
    for (char& c : out)
        if (c == ' ')
            c = '_';
    return out;
}

// Quotes `bytes`: '"' and '\\' escaped with a backslash, printable ASCII as
// it is, every other byte as `prefix` and two hex digits.
std::string quoteWith(std::string_view bytes, const char* prefix)
{
    std::string out = "\"";
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte == '"' || byte == '\\') {
            out += '\\';
            out += c;
        } else if (byte >= 0x20 && byte <= 0x7e) {
            out += c;
        } else {
            appendHex(out, prefix, byte);
        }
    }
    out += '"';
    return out;
}

} // namespace

std::string escapeText(std::string_view bytes)
{
    std::string out;
    out.reserve(bytes.size());
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte == '\\')
            out += "\\\\";
        else if (byte >= 0x20 && byte <= 0x7e)
            out += c;
        else
            appendHex(out, "\\x", byte);
    }
    return out;
}

std::string jsonString(std::string_view bytes)
{
    return quoteWith(bytes, "\\u00");
}

std::string quoteText(std::string_view bytes)
{
    return quoteWith(bytes, "\\x");
}

Record& Record::quoted(std::string key, std::string_view value)
{
    fields_.push_back({std::move(key), Type::Quoted, std::string(value), 0, {}});
    return *this;
}

Record& Record::object(std::string key, const Record& inner)
{
    std::string json = inner.json();
    json.pop_back(); // its newline
    fields_.push_back({std::move(key), Type::Object, inner.lines(), 0, std::move(json)});
    return *this;
}

Record& Record::text(std::string key, std::string_view value)
{
    fields_.push_back({std::move(key), Type::Text, std::string(value), 0, {}});
    return *this;
}

Record& Record::number(std::string key, long long value, std::string shown)
{
    if (shown.empty())
        shown = std::to_string(value);
    fields_.push_back({std::move(key), Type::Number, std::move(shown), value, {}});
    return *this;
}

Record& Record::boolean(std::string key, bool value)
{
    fields_.push_back({std::move(key), Type::Boolean, value ? "true" : "false", value ? 1 : 0, {}});
    return *this;
}

Record& Record::append(const Record& other)
{
    fields_.insert(fields_.end(), other.fields_.begin(), other.fields_.end());
    return *this;
}

std::string Record::lines() const
{
    std::string out;
    for (const Field& field : fields_) {
        if (field.type == Type::Object)
            out += field.text;
        else if (field.type == Type::Quoted)
            out += field.key + ": " + quoteText(field.text) + "\n";
        else
            out += field.key + ": " + escapeText(field.text) + "\n";
    }
    return out;
}

std::string Record::json() const
{
    std::string out = "{";
    for (const Field& field : fields_) {
        if (out.size() > 1)
            out += ", ";
        out += jsonString(jsonKey(field.key)) + ": ";
        switch (field.type) {
        case Type::Text:
        case Type::Quoted:
            out += jsonString(field.text);
            break;
        case Type::Object:
            out += field.json;
            break;
        case Type::Number:
            out += std::to_string(field.number);
            break;
        case Type::Boolean:
            out += field.text;
            break;
        }
    }
    return out + "}\n";
}

std::optional<std::string> unescapeText(std::string_view typed)
{
    auto hex = [](char c) {
        if (c >= '0' && c <= '9')
            return c - '0';
        if (c >= 'a' && c <= 'f')
            return c - 'a' + 10;
        if (c >= 'A' && c <= 'F')
            return c - 'A' + 10;
        return -1;
    };
    std::string out;
    for (std::size_t i = 0; i < typed.size(); ++i) {
        if (typed[i] != '\\') {
            out.push_back(typed[i]);
        } else if (i + 1 < typed.size() && typed[i + 1] == '\\') {
            out.push_back('\\');
            ++i;
        } else if (i + 3 < typed.size() && (typed[i + 1] == 'x' || typed[i + 1] == 'X') && hex(typed[i + 2]) >= 0
                   && hex(typed[i + 3]) >= 0) {
            out.push_back(char(hex(typed[i + 2]) * 16 + hex(typed[i + 3])));
            i += 3;
        } else {
            return std::nullopt;
        }
    }
    return out;
}

} // namespace platform::cli
