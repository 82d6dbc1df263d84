#include "platform/registry_store.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string_view>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {
namespace {

constexpr std::string_view kEditorHeader = "Windows Registry Editor Version 5.00";
constexpr std::string_view kMachineRoot = "HKEY_LOCAL_MACHINE";
constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
// A configuration store; anything bigger is not ours and is refused rather
// than read into memory.
constexpr std::size_t kMaxFileSize = 16u * 1024u * 1024u;
constexpr std::size_t kMaxKeyComponent = 255;
constexpr std::size_t kMaxValueName = 16383;
// Writers hold the lock only for one read-modify-write, so a wait this long
// means a stuck process, not a busy one.
constexpr auto kLockTimeout = std::chrono::seconds(5);

// Registry value types as they appear in hex(N): data.
constexpr unsigned kTypeString = 1;
constexpr unsigned kTypeExpandString = 2;
constexpr unsigned kTypeBinary = 3;
constexpr unsigned kTypeDword = 4;

std::atomic<RegistryStore::BeforeReplaceHook> g_beforeReplaceHook{nullptr};

// ---- text helpers --------------------------------------------------------

char foldAscii(char c)
{
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

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

enum class ValueKind { String, Dword, Hex, Removal };

// One line (or, for continued hex data, several lines) of a section.
struct Entry {
    bool isValue = false;     // false: kept verbatim (blank, comment, unparseable)
    std::string raw;          // the text as it stands in the file
    std::string name;         // "" = default value (@)
    ValueKind kind = ValueKind::String;
    std::string text;         // String
    std::uint32_t number = 0; // Dword
    unsigned hexType = 0;     // Hex: the N of hex(N):, kTypeBinary for hex:
    std::vector<std::uint8_t> bytes;
};

struct Section {
    std::string header;       // the [..] line as it stands in the file
    bool machine = false;     // a key below HKEY_LOCAL_MACHINE, read and written
    std::string key;          // key path below the root, empty components dropped
    std::vector<Entry> entries;
};

struct Document {
    // The editor header and whatever stands before the first section.
    std::vector<std::string> preamble;
    std::vector<Section> sections;
};

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
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        lines.push_back(line);
        if (last)
            break;
        start = end + 1;
    }
    return lines;
}

bool isBlankEntry(const Entry& entry) { return !entry.isValue && trim(entry.raw).empty(); }

Document parseDocument(std::string_view content)
{
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
std::string renderDocument(const Document& doc)
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

// ---- lookups and changes -------------------------------------------------

// The value as an import would leave it: when a key or a value stands
// more than once, the last one wins.
const Entry* findValue(const Document& doc, const std::string& key, std::string_view name)
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

Entry* findValue(Document& doc, const std::string& key, std::string_view name)
{
    return const_cast<Entry*>(findValue(static_cast<const Document&>(doc), key, name));
}

// A new key takes the spelling of the parts of its path that already
// exist, so "SOFTWARE\\QUELLIX\\NV" below "Software\\Quellix" is filed as
// "Software\\Quellix\\NV".
std::string spellNewKey(const Document& doc, const std::string& key)
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

void setValue(Document& doc, const std::string& key, Entry value)
{
    if (Entry* existing = findValue(doc, key, value.name)) {
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

bool removeValue(Document& doc, const std::string& key, std::string_view name)
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

bool removeKey(Document& doc, const std::string& key)
{
    const auto before = doc.sections.size();
    std::erase_if(doc.sections, [&](const Section& s) { return s.machine && isSameOrBelow(s.key, key); });
    return doc.sections.size() != before;
}

// ---- validation ----------------------------------------------------------

bool hasLineBreakOrNul(std::string_view s)
{
    return s.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

// Keys, names and strings must fit on one line of the file.
bool validKey(const std::string& key)
{
    if (hasLineBreakOrNul(key))
        return false;
    const auto parts = keyComponents(key);
    if (parts.empty())
        return false;
    return std::all_of(parts.begin(), parts.end(),
                       [](std::string_view p) { return p.size() <= kMaxKeyComponent; });
}

bool validName(const std::string& name)
{
    return name.size() <= kMaxValueName && !hasLineBreakOrNul(name);
}

// ---- file access ---------------------------------------------------------

class FileDescriptor {
public:
    explicit FileDescriptor(int fd = -1) : fd_(fd) {}
    ~FileDescriptor() { reset(); }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    void reset(int fd = -1)
    {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = fd;
    }
    int release()
    {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }

private:
    int fd_;
};

std::string parentDirectory(const std::string& path)
{
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}

bool makeDirectories(const std::string& dir, OsError& error)
{
    for (std::size_t pos = 1; pos <= dir.size(); ++pos) {
        if (pos != dir.size() && dir[pos] != '/')
            continue;
        const std::string prefix = dir.substr(0, pos);
        if (::mkdir(prefix.c_str(), 0755) != 0 && errno != EEXIST) {
            error = lastOsError("mkdir", prefix);
            return false;
        }
    }
    return true;
}

enum class LoadResult { Loaded, Missing, Failed };

// Reads the whole file, refusing anything that is not a regular file of
// sensible size (a FIFO or device must not block or flood us).
LoadResult loadFile(const std::string& path, std::string& content, OsError& error)
{
    content.clear();
    FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!fd.valid()) {
        if (errno == ENOENT)
            return LoadResult::Missing;
        error = lastOsError("open", path);
        return LoadResult::Failed;
    }
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) {
        error = lastOsError("stat", path);
        return LoadResult::Failed;
    }
    if (S_ISDIR(st.st_mode)) {
        error = OsError{EISDIR, "read", path};
        return LoadResult::Failed;
    }
    if (!S_ISREG(st.st_mode)) {
        error = OsError{EINVAL, "read", path};
        return LoadResult::Failed;
    }
    if (static_cast<std::uint64_t>(st.st_size) > kMaxFileSize) {
        error = OsError{EFBIG, "read", path};
        return LoadResult::Failed;
    }
    char buffer[65536];
    while (true) {
        const ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            error = lastOsError("read", path);
            return LoadResult::Failed;
        }
        if (n == 0)
            break;
        content.append(buffer, static_cast<std::size_t>(n));
        if (content.size() > kMaxFileSize) {
            error = OsError{EFBIG, "read", path};
            return LoadResult::Failed;
        }
    }
    // A file saved as UTF-16 is read as text all the same; it is written
    // back as UTF-8.
    if (content.size() >= 2 && static_cast<unsigned char>(content[0]) == 0xFF
        && static_cast<unsigned char>(content[1]) == 0xFE) {
        content = utf16leToUtf8(reinterpret_cast<const std::uint8_t*>(content.data()) + 2,
                                content.size() - 2);
    }
    return LoadResult::Loaded;
}

bool writeAll(int fd, std::string_view data)
{
    while (!data.empty()) {
        const ssize_t n = ::write(fd, data.data(), data.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

// Replaces the file with `content`: a temporary file beside it, synced,
// then renamed over it, then the directory synced. A crash at any point
// leaves either the old file or the new one, never a mix.
bool replaceFile(const std::string& path, std::string_view content, OsError& error)
{
    mode_t mode = 0644;
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0)
        mode = st.st_mode & 07777;

    std::string temp = path + ".XXXXXX";
    FileDescriptor fd(::mkostemp(temp.data(), O_CLOEXEC));
    if (!fd.valid()) {
        error = lastOsError("create", path + ".XXXXXX");
        return false;
    }
    const auto fail = [&](const char* operation) {
        error = lastOsError(operation, temp);
        fd.reset();
        ::unlink(temp.c_str());
        return false;
    };
    if (::fchmod(fd.get(), mode) != 0)
        return fail("chmod");
    if (!writeAll(fd.get(), content))
        return fail("write");
    if (::fsync(fd.get()) != 0)
        return fail("fsync");
    if (::close(fd.release()) != 0)
        return fail("close");

    if (const auto hook = g_beforeReplaceHook.load())
        hook(temp);

    if (::rename(temp.c_str(), path.c_str()) != 0) {
        error = lastOsError("rename", path);
        ::unlink(temp.c_str());
        return false;
    }
    const std::string dir = parentDirectory(path);
    FileDescriptor dirFd(::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    // Some file systems cannot sync a directory; the rename has happened,
    // so only a real I/O error is worth reporting.
    if (dirFd.valid() && ::fsync(dirFd.get()) != 0 && errno != EINVAL) {
        error = lastOsError("fsync", dir);
        return false;
    }
    return true;
}

// Takes the writers' lock, polling so that the wait is bounded.
bool lockExclusive(int fd, const std::string& lockPath, OsError& error)
{
    using namespace std::chrono;
    const auto deadline = steady_clock::now() + kLockTimeout;
    auto pause = microseconds(100);
    while (true) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0)
            return true;
        if (errno == EINTR)
            continue;
        if (errno != EWOULDBLOCK || steady_clock::now() >= deadline) {
            error = lastOsError("lock", lockPath);
            return false;
        }
        std::this_thread::sleep_for(pause);
        pause = std::min<microseconds>(pause * 2, milliseconds(10));
    }
}

// Reads and parses the file; a missing file is an empty store.
bool loadDocument(const std::string& path, Document& doc, OsError& error)
{
    std::string content;
    if (loadFile(path, content, error) == LoadResult::Failed)
        return false;
    doc = parseDocument(content);
    return true;
}

const Entry* lookup(const std::string& path, const std::string& key, const std::string& name,
                    Document& doc, OsError& error)
{
    if (!validKey(key) || !validName(name))
        return nullptr;
    if (!loadDocument(path, doc, error))
        return nullptr;
    return findValue(doc, normalizeKey(key), name);
}

// One read-modify-write under the writers' lock. `change` edits the parsed
// file and returns false (with the reason in the error) when there is
// nothing to do. The lock is released when its file is closed.
template <typename Change>
bool modifyStore(const std::string& path, OsError& error, Change&& change)
{
    const std::string lockPath = path + ".lock";
    FileDescriptor lock(::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644));
    if (!lock.valid() && errno == ENOENT) {
        if (!makeDirectories(parentDirectory(path), error))
            return false;
        lock.reset(::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644));
    }
    if (!lock.valid()) {
        error = lastOsError("open", lockPath);
        return false;
    }
    if (!lockExclusive(lock.get(), lockPath, error))
        return false;

    Document doc;
    if (!loadDocument(path, doc, error))
        return false;
    if (!change(doc))
        return false;
    return replaceFile(path, renderDocument(doc), error);
}

} // namespace

// ---- RegistryStore -------------------------------------------------------

std::string RegistryStore::defaultPath()
{
    if (const char* explicitPath = std::getenv("QUELLIX_REGISTRY"); explicitPath && *explicitPath)
        return explicitPath;
    if (const char* config = std::getenv("XDG_CONFIG_HOME"); config && *config)
        return std::string(config) + "/quellix/registry.reg";
    const char* home = std::getenv("HOME");
    return std::string(home ? home : "") + "/.config/quellix/registry.reg";
}

RegistryStore::RegistryStore(std::string filePath) : path_(std::move(filePath)) {}

void RegistryStore::setBeforeReplaceHook(BeforeReplaceHook hook)
{
    g_beforeReplaceHook.store(hook);
}

bool RegistryStore::readNumber(const std::string& key, const std::string& name, std::uint32_t& value) const
{
    value = 0;
    Document doc;
    const Entry* entry = lookup(path_, key, name, doc, lastError_);
    if (!entry)
        return false;
    if (entry->kind == ValueKind::Dword) {
        value = entry->number;
        return true;
    }
    if (entry->kind == ValueKind::Hex && entry->hexType == kTypeDword && entry->bytes.size() == 4) {
        const auto& b = entry->bytes;
        value = static_cast<std::uint32_t>(b[0]) | (static_cast<std::uint32_t>(b[1]) << 8)
                | (static_cast<std::uint32_t>(b[2]) << 16) | (static_cast<std::uint32_t>(b[3]) << 24);
        return true;
    }
    return false;
}

bool RegistryStore::readString(const std::string& key, const std::string& name, std::string& value) const
{
    value.clear();
    Document doc;
    const Entry* entry = lookup(path_, key, name, doc, lastError_);
    if (!entry)
        return false;
    if (entry->kind == ValueKind::String) {
        value = entry->text;
    } else if (entry->kind == ValueKind::Hex
               && (entry->hexType == kTypeString || entry->hexType == kTypeExpandString)) {
        // Environment references in expandable strings are left as they are.
        value = utf16leToUtf8(entry->bytes.data(), entry->bytes.size());
    }
    return !value.empty();
}

bool RegistryStore::writeNumber(const std::string& key, const std::string& name, std::uint32_t value)
{
    lastError_ = {};
    if (!validKey(key) || !validName(name)) {
        lastError_ = OsError{EINVAL, "write", key};
        return false;
    }
    Entry entry;
    entry.isValue = true;
    entry.name = name;
    entry.kind = ValueKind::Dword;
    entry.number = value;
    return modifyStore(path_, lastError_, [&](Document& doc) {
        setValue(doc, normalizeKey(key), std::move(entry));
        return true;
    });
}

bool RegistryStore::writeString(const std::string& key, const std::string& name, const std::string& value)
{
    lastError_ = {};
    if (!validKey(key) || !validName(name) || hasLineBreakOrNul(value)) {
        lastError_ = OsError{EINVAL, "write", key};
        return false;
    }
    Entry entry;
    entry.isValue = true;
    entry.name = name;
    entry.kind = ValueKind::String;
    entry.text = value;
    return modifyStore(path_, lastError_, [&](Document& doc) {
        setValue(doc, normalizeKey(key), std::move(entry));
        return true;
    });
}

bool RegistryStore::deleteValue(const std::string& key, const std::string& name)
{
    lastError_ = {};
    if (!validKey(key) || !validName(name)) {
        lastError_ = OsError{EINVAL, "delete", key};
        return false;
    }
    return modifyStore(path_, lastError_, [&](Document& doc) {
        if (removeValue(doc, normalizeKey(key), name))
            return true;
        lastError_ = OsError{ENOENT, "delete", key + "\\" + name};
        return false;
    });
}

bool RegistryStore::deleteKey(const std::string& key)
{
    lastError_ = {};
    if (!validKey(key)) {
        lastError_ = OsError{EINVAL, "delete", key};
        return false;
    }
    return modifyStore(path_, lastError_, [&](Document& doc) {
        if (removeKey(doc, normalizeKey(key)))
            return true;
        lastError_ = OsError{ENOENT, "delete", key};
        return false;
    });
}

} // namespace platform
