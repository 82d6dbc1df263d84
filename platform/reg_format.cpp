#include "platform/reg_format.h"

#include <algorithm>
#include <cstdio>

namespace platform::reg {
namespace {

constexpr std::string_view kEditorHeader = "Windows Registry Editor Version 5.00";
constexpr std::string_view kMachineRoot = "HKEY_LOCAL_MACHINE";
constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
constexpr std::size_t kMaxKeyComponent = 255;
constexpr std::size_t kMaxValueName = 16383;

// ---- text helpers --------------------------------------------------------

char foldAscii(char c)
{
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

bool startsWithNoCase(std::string_view text, std::string_view prefix)
{
    return text.size() >= prefix.size() && equalsNoCase(text.substr(0, prefix.size()), prefix);
}

bool isBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view trimLeft(std::string_view s)
{
    std::size_t i = 0;
    while (i < s.size() && isBlank(s[i]))
        ++i;
    return s.substr(i);
}

std::string_view trimRight(std::string_view s)
{
    std::size_t n = s.size();
    while (n > 0 && isBlank(s[n - 1]))
        --n;
    return s.substr(0, n);
}

std::string_view trim(std::string_view s) { return trimRight(trimLeft(s)); }

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// 1 to 8 hex digits, nothing else.
std::optional<std::uint32_t> parseHex32(std::string_view s)
{
    if (s.empty() || s.size() > 8)
        return std::nullopt;
    std::uint32_t v = 0;
    for (char c : s) {
        const int d = hexDigit(c);
        if (d < 0)
            return std::nullopt;
        v = (v << 4) | static_cast<std::uint32_t>(d);
    }
    return v;
}

void appendUtf8(std::string& out, std::uint32_t cp)
{
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// UTF-16LE to UTF-8, stopping at the first NUL (the terminator of a
// string value). Unpaired surrogates become U+FFFD.
std::string utf16leToUtf8(const std::uint8_t* data, std::size_t size)
{
    std::string out;
    const std::size_t units = size / 2;
    for (std::size_t i = 0; i < units; ++i) {
        const std::uint32_t u = static_cast<std::uint32_t>(data[2 * i] | (data[2 * i + 1] << 8));
        if (u == 0)
            break;
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < units) {
            const std::uint32_t low = static_cast<std::uint32_t>(data[2 * i + 2] | (data[2 * i + 3] << 8));
            if (low >= 0xDC00 && low <= 0xDFFF) {
                appendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00));
                ++i;
                continue;
            }
        }
        appendUtf8(out, (u >= 0xD800 && u <= 0xDFFF) ? 0xFFFD : u);
    }
    return out;
}

// ---- document model ------------------------------------------------------

// Splits a key path into its components, dropping empty ones so that
// "A\\B\\" and "A\\\\B" name the same key as "A\\B".
std::vector<std::string_view> keyComponents(std::string_view key)
{
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    while (start <= key.size()) {
        std::size_t end = key.find('\\', start);
        if (end == std::string_view::npos)
            end = key.size();
        if (end > start)
            parts.push_back(key.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

// True if `key` is `base` or lies below it.
bool isSameOrBelow(std::string_view key, std::string_view base)
{
    if (key.size() == base.size())
        return equalsNoCase(key, base);
    return key.size() > base.size() && key[base.size()] == '\\'
           && equalsNoCase(key.substr(0, base.size()), base);
}

// `line` is kept as the header's text; `body` is the same line without a
// leading byte order mark.
Section parseSectionHeader(std::string_view line, std::string_view body)
{
    Section section;
    section.header = std::string(line);
    body = trim(body);
    if (body.size() < 2 || body.front() != '[' || body.back() != ']')
        return section;
    const std::string_view inner = body.substr(1, body.size() - 2);
    const std::size_t slash = inner.find('\\');
    const std::string_view root = inner.substr(0, slash);
    // Other roots, and removal sections ("[-HKEY_...]"), are carried over
    // untouched but never read or written.
    if (!equalsNoCase(root, kMachineRoot))
        return section;
    section.machine = true;
    if (slash != std::string_view::npos)
        section.key = normalizeKey(inner.substr(slash + 1));
    return section;
}

// A quoted name or string starting at s[pos] == '"'. Backslash escapes
// backslash and quote; a backslash before anything else is taken literally,
// which is how hand-edited files with "C:\Temp" are meant. On success pos is
// just past the closing quote.
std::optional<std::string> parseQuoted(std::string_view s, std::size_t& pos)
{
    if (pos >= s.size() || s[pos] != '"')
        return std::nullopt;
    std::string out;
    std::size_t i = pos + 1;
    while (i < s.size()) {
        const char c = s[i];
        if (c == '"') {
            pos = i + 1;
            return out;
        }
        if (c == '\\' && i + 1 < s.size() && (s[i + 1] == '\\' || s[i + 1] == '"')) {
            out += s[i + 1];
            i += 2;
            continue;
        }
        out += c;
        ++i;
    }
    return std::nullopt;
}

// The name and the position of the data of a value line ("name"=... or @=...).
struct ValueHead {
    std::string name;
    std::size_t dataPos = 0;
};

std::optional<ValueHead> parseValueHead(std::string_view line)
{
    std::size_t pos = line.size() - trimLeft(line).size();
    if (pos >= line.size())
        return std::nullopt;
    ValueHead head;
    if (line[pos] == '@') {
        ++pos;
    } else {
        auto name = parseQuoted(line, pos);
        if (!name)
            return std::nullopt;
        head.name = std::move(*name);
    }
    while (pos < line.size() && isBlank(line[pos]))
        ++pos;
    if (pos >= line.size() || line[pos] != '=')
        return std::nullopt;
    ++pos;
    while (pos < line.size() && isBlank(line[pos]))
        ++pos;
    head.dataPos = pos;
    return head;
}

// Comma-separated bytes of hex data; an empty list is valid.
std::optional<std::vector<std::uint8_t>> parseHexBytes(std::string_view s)
{
    std::vector<std::uint8_t> bytes;
    s = trim(s);
    if (s.empty())
        return bytes;
    std::size_t start = 0;
    while (true) {
        std::size_t end = s.find(',', start);
        const bool last = end == std::string_view::npos;
        if (last)
            end = s.size();
        const std::string_view item = trim(s.substr(start, end - start));
        if (item.empty() || item.size() > 2)
            return std::nullopt;
        const auto v = parseHex32(item);
        if (!v)
            return std::nullopt;
        bytes.push_back(static_cast<std::uint8_t>(*v));
        if (last)
            return bytes;
        start = end + 1;
    }
}

// Fills the typed part of `entry` from the data after '='. False when the
// data is not something this store understands; the line is then kept as
// it stands.
bool parseValueData(std::string_view data, Entry& entry)
{
    data = trimRight(data);
    if (!data.empty() && data.front() == '"') {
        std::size_t pos = 0;
        auto text = parseQuoted(data, pos);
        if (!text || pos != data.size())
            return false;
        entry.kind = ValueKind::String;
        entry.text = std::move(*text);
        return true;
    }
    if (data == "-") {
        entry.kind = ValueKind::Removal;
        return true;
    }
    if (startsWithNoCase(data, "dword:")) {
        const auto v = parseHex32(data.substr(6));
        if (!v)
            return false;
        entry.kind = ValueKind::Dword;
        entry.number = *v;
        return true;
    }
    if (startsWithNoCase(data, "hex")) {
        std::string_view rest = data.substr(3);
        unsigned type = kTypeBinary;
        if (!rest.empty() && rest.front() == '(') {
            const std::size_t close = rest.find(')');
            if (close == std::string_view::npos)
                return false;
            const auto t = parseHex32(rest.substr(1, close - 1));
            if (!t)
                return false;
            type = *t;
            rest = rest.substr(close + 1);
        }
        if (rest.empty() || rest.front() != ':')
            return false;
        auto bytes = parseHexBytes(rest.substr(1));
        if (!bytes)
            return false;
        entry.kind = ValueKind::Hex;
        entry.hexType = type;
        entry.bytes = std::move(*bytes);
        return true;
    }
    return false;
}

// Continued hex data ends a line with a backslash; the next line carries on
// with more hex digits.
bool endsWithContinuation(std::string_view s)
{
    s = trimRight(s);
    return !s.empty() && s.back() == '\\';
}

bool isContinuationLine(std::string_view line)
{
    line = trimLeft(line);
    return !line.empty() && hexDigit(line.front()) >= 0;
}

// Lines end in LF; a CR before it (or several, from a file that went
// through more than one CRLF conversion) belongs to the line ending, so
// that what we write back reads the same again.
std::vector<std::string_view> splitLines(std::string_view content)
{
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    while (start < content.size()) {
        std::size_t end = content.find('\n', start);
        const bool last = end == std::string_view::npos;
        if (last)
            end = content.size();
        std::string_view line = content.substr(start, end - start);
        while (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        lines.push_back(line);
        if (last)
            break;
        start = end + 1;
    }
    return lines;
}

bool isBlankEntry(const Entry& entry) { return !entry.isValue && trim(entry.raw).empty(); }

bool startsWithUtf16Bom(std::string_view content)
{
    return content.size() >= 2 && static_cast<unsigned char>(content[0]) == 0xFF
           && static_cast<unsigned char>(content[1]) == 0xFE;
}

std::string escapeQuoted(std::string_view s)
{
    std::string out;
    out.reserve(s.size() + 2);
    out += '"';
    for (char c : s) {
        if (c == '\\' || c == '"')
            out += '\\';
        out += c;
    }
    out += '"';
    return out;
}

void renderEntry(Entry& entry)
{
    std::string line = entry.name.empty() ? std::string("@") : escapeQuoted(entry.name);
    line += '=';
    if (entry.kind == ValueKind::Dword) {
        char digits[16];
        std::snprintf(digits, sizeof digits, "dword:%08x", static_cast<unsigned>(entry.number));
        line += digits;
    } else {
        line += escapeQuoted(entry.text);
    }
    entry.raw = std::move(line);
}

Entry* findMutableValue(Document& doc, std::string_view key, std::string_view name)
{
    return const_cast<Entry*>(findValue(static_cast<const Document&>(doc), key, name));
}

// A new key takes the spelling of the parts of its path that already
// exist, so "SOFTWARE\\QUELLIX\\NV" below "Software\\Quellix" is filed as
// "Software\\Quellix\\NV".
std::string spellNewKey(const Document& doc, std::string_view key)
{
    const std::vector<std::string_view> wanted = keyComponents(key);
    std::string result;
    for (std::size_t depth = 0; depth < wanted.size(); ++depth) {
        std::string_view spelling = wanted[depth];
        for (const Section& section : doc.sections) {
            if (!section.machine || (depth > 0 && !isSameOrBelow(section.key, result)))
                continue;
            const std::vector<std::string_view> have = keyComponents(section.key);
            if (have.size() > depth && equalsNoCase(have[depth], wanted[depth])) {
                spelling = have[depth];
                break;
            }
        }
        if (!result.empty())
            result += '\\';
        result += spelling;
    }
    return result;
}

void setValue(Document& doc, std::string_view key, Entry value)
{
    if (Entry* existing = findMutableValue(doc, key, value.name)) {
        value.name = existing->name;  // the first spelling stays
        renderEntry(value);
        *existing = std::move(value);
        return;
    }
    renderEntry(value);
    // A new value goes after the key's last value, before the blank lines
    // that separate it from the next section.
    for (auto it = doc.sections.rbegin(); it != doc.sections.rend(); ++it) {
        if (it->machine && equalsNoCase(it->key, key)) {
            auto& entries = it->entries;
            auto pos = entries.end();
            while (pos != entries.begin() && isBlankEntry(*(pos - 1)))
                --pos;
            entries.insert(pos, std::move(value));
            return;
        }
    }
    // A new key goes at the end, one blank line after what is there.
    if (!doc.sections.empty()) {
        auto& entries = doc.sections.back().entries;
        if (entries.empty() || !isBlankEntry(entries.back()))
            entries.emplace_back();
    } else if (!doc.preamble.empty() && !trim(doc.preamble.back()).empty()) {
        doc.preamble.emplace_back();
    }
    Section section;
    section.machine = true;
    section.key = spellNewKey(doc, key);
    section.header = "[" + std::string(kMachineRoot) + "\\" + section.key + "]";
    section.entries.push_back(std::move(value));
    doc.sections.push_back(std::move(section));
}

bool hasLineBreakOrNul(std::string_view s)
{
    return s.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

} // namespace

// ---- names and keys ------------------------------------------------------

// Names compare like the registry's: ASCII letters without regard to case,
// everything else byte for byte.
bool equalsNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (foldAscii(a[i]) != foldAscii(b[i]))
            return false;
    }
    return true;
}

std::string normalizeKey(std::string_view key)
{
    std::string out;
    for (std::string_view part : keyComponents(key)) {
        if (!out.empty())
            out += '\\';
        out += part;
    }
    return out;
}

bool validKey(std::string_view key)
{
    if (hasLineBreakOrNul(key))
        return false;
    const auto parts = keyComponents(key);
    if (parts.empty())
        return false;
    return std::all_of(parts.begin(), parts.end(),
                       [](std::string_view p) { return p.size() <= kMaxKeyComponent; });
}

bool validName(std::string_view name)
{
    return name.size() <= kMaxValueName && !hasLineBreakOrNul(name);
}

bool validText(std::string_view text) { return !hasLineBreakOrNul(text); }

// ---- parse and format ----------------------------------------------------

Document parse(std::string_view content)
{
    // A file saved as UTF-16 is read as text all the same; it is written
    // back as UTF-8.
    std::string decoded;
    if (startsWithUtf16Bom(content)) {
        decoded = utf16leToUtf8(reinterpret_cast<const std::uint8_t*>(content.data()) + 2,
                                content.size() - 2);
        content = decoded;
    }

    Document doc;
    const std::vector<std::string_view> lines = splitLines(content);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string_view line = lines[i];
        // A byte order mark is kept in the line's text but must not hide
        // a section header standing on the first line.
        std::string_view look = trimLeft(line);
        if (i == 0 && look.substr(0, kUtf8Bom.size()) == kUtf8Bom)
            look = trimLeft(look.substr(kUtf8Bom.size()));

        if (!look.empty() && look.front() == '[') {
            doc.sections.push_back(parseSectionHeader(line, look));
            continue;
        }
        if (doc.sections.empty()) {
            doc.preamble.emplace_back(line);
            continue;
        }

        Entry entry;
        entry.raw = std::string(line);
        if (const auto head = parseValueHead(line)) {
            std::string data(line.substr(head->dataPos));
            if (startsWithNoCase(data, "hex")) {
                while (endsWithContinuation(data) && i + 1 < lines.size()
                       && isContinuationLine(lines[i + 1])) {
                    data = std::string(trimRight(data));
                    data.pop_back();
                    ++i;
                    entry.raw += '\n';
                    entry.raw += lines[i];
                    data += trimLeft(lines[i]);
                }
            }
            if (parseValueData(data, entry)) {
                entry.isValue = true;
                entry.name = head->name;
            }
        }
        doc.sections.back().entries.push_back(std::move(entry));
    }
    // A new (or blank) file starts with the editor header; a file that has
    // content without one is left as it is.
    const bool blank = std::all_of(doc.preamble.begin(), doc.preamble.end(),
                                   [](const std::string& l) { return trim(l).empty(); });
    if (blank && doc.sections.empty())
        doc.preamble.assign(1, std::string(kEditorHeader));
    return doc;
}

// Every line is kept, blank lines included, so an untouched part of the
// file comes out exactly as it went in.
std::string format(const Document& doc)
{
    std::string out;
    for (const std::string& line : doc.preamble) {
        out += line;
        out += '\n';
    }
    for (const Section& section : doc.sections) {
        out += section.header;
        out += '\n';
        for (const Entry& entry : section.entries) {
            out += entry.raw;
            out += '\n';
        }
    }
    return out;
}

// ---- reading values ------------------------------------------------------

const Entry* findValue(const Document& doc, std::string_view key, std::string_view name)
{
    const Entry* found = nullptr;
    for (const Section& section : doc.sections) {
        if (!section.machine || !equalsNoCase(section.key, key))
            continue;
        for (const Entry& entry : section.entries) {
            if (entry.isValue && equalsNoCase(entry.name, name))
                found = &entry;
        }
    }
    return found;
}

std::optional<std::uint32_t> numberOf(const Entry& entry)
{
    if (!entry.isValue)
        return std::nullopt;
    if (entry.kind == ValueKind::Dword)
        return entry.number;
    if (entry.kind == ValueKind::Hex && entry.hexType == kTypeDword && entry.bytes.size() == 4) {
        const auto& b = entry.bytes;
        return static_cast<std::uint32_t>(b[0]) | (static_cast<std::uint32_t>(b[1]) << 8)
               | (static_cast<std::uint32_t>(b[2]) << 16) | (static_cast<std::uint32_t>(b[3]) << 24);
    }
    return std::nullopt;
}

std::optional<std::string> stringOf(const Entry& entry)
{
    if (!entry.isValue)
        return std::nullopt;
    if (entry.kind == ValueKind::String)
        return entry.text;
    if (entry.kind == ValueKind::Hex && (entry.hexType == kTypeString || entry.hexType == kTypeExpandString))
        return utf16leToUtf8(entry.bytes.data(), entry.bytes.size());
    return std::nullopt;
}

// ---- changing values -----------------------------------------------------

void setNumber(Document& doc, std::string_view key, std::string_view name, std::uint32_t value)
{
    Entry entry;
    entry.isValue = true;
    entry.name = std::string(name);
    entry.kind = ValueKind::Dword;
    entry.number = value;
    setValue(doc, key, std::move(entry));
}

void setString(Document& doc, std::string_view key, std::string_view name, std::string_view text)
{
    Entry entry;
    entry.isValue = true;
    entry.name = std::string(name);
    entry.kind = ValueKind::String;
    entry.text = std::string(text);
    setValue(doc, key, std::move(entry));
}

bool removeValue(Document& doc, std::string_view key, std::string_view name)
{
    bool removed = false;
    for (Section& section : doc.sections) {
        if (!section.machine || !equalsNoCase(section.key, key))
            continue;
        const auto before = section.entries.size();
        std::erase_if(section.entries, [&](const Entry& e) { return e.isValue && equalsNoCase(e.name, name); });
        removed = removed || section.entries.size() != before;
    }
    return removed;
}

bool removeKey(Document& doc, std::string_view key)
{
    const auto before = doc.sections.size();
    std::erase_if(doc.sections, [&](const Section& s) { return s.machine && isSameOrBelow(s.key, key); });
    return doc.sections.size() != before;
}

} // namespace platform::reg
