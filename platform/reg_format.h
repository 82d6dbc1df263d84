// The registry export text format, as a pure transformation between bytes
// and a document; no files, no locks.
//
//   Windows Registry Editor Version 5.00
//
//   [HKEY_LOCAL_MACHINE\Software\Quellix\Corvane]
//   "uPort"="NET192.168.1.50"
//   "uBaudrate"=dword:00002580
//   "blob"=hex:01,02,03,\   (a trailing backslash continues hex data
//     04,05                 on the next line)
//   @="the key's default value"
//
// Rules a reader must know:
// - Key and value names compare without regard to ASCII case and keep the
//   spelling they were first written with.
// - Inside quotes, \\ and \" are escapes; a backslash before anything else
//   is taken literally, which is what hand-edited "C:\Temp" means.
// - dword: takes 1 to 8 hex digits; hex(N): is a value of registry type N
//   (4 = DWORD little-endian, 1/2 = UTF-16LE string); hex: is binary.
// - Only keys below HKEY_LOCAL_MACHINE are read and written. Everything else
//   (other roots, comments, lines this parser does not understand) is kept
//   verbatim, so a rewrite changes only the values that were set.
// - Lines end in LF or CRLF; output uses LF. A file that starts with the
//   UTF-16LE byte order mark is decoded and written back as UTF-8.
// - When a key or value appears twice, the last one wins, as on import.
//
// parse() never fails: whatever it cannot read becomes kept text, and
// format(parse(x)) is a fixed point of parse/format.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform::reg {

enum class ValueKind { String, Dword, Hex, Removal };

// Registry value types as they appear in hex(N): data.
inline constexpr unsigned kTypeString = 1;
inline constexpr unsigned kTypeExpandString = 2;
inline constexpr unsigned kTypeBinary = 3;
inline constexpr unsigned kTypeDword = 4;

// One line of a section (or, for hex data continued with a backslash,
// several lines joined by '\n').
struct Entry {
    bool isValue = false;     // false: kept verbatim (blank, comment, unparseable)
    std::string raw;          // the text as it stands in the file
    std::string name;         // "" = default value (@)
    ValueKind kind = ValueKind::String;
    std::string text;         // String
    std::uint32_t number = 0; // Dword
    unsigned hexType = 0;     // Hex: the N of hex(N):, kTypeBinary for hex:
    std::vector<std::uint8_t> bytes;

    bool operator==(const Entry&) const = default;
};

struct Section {
    std::string header;       // the [..] line as it stands in the file
    bool machine = false;     // a key below HKEY_LOCAL_MACHINE, read and written
    std::string key;          // key path below the root, empty components dropped
    std::vector<Entry> entries;

    bool operator==(const Section&) const = default;
};

struct Document {
    // The editor header and whatever stands before the first section.
    std::vector<std::string> preamble;
    std::vector<Section> sections;

    bool operator==(const Document&) const = default;
};

Document parse(std::string_view content);
std::string format(const Document& doc);

// ---- names and keys ------------------------------------------------------

bool equalsNoCase(std::string_view a, std::string_view b);
// "A\\\\B\\" -> "A\\B": empty components are dropped.
std::string normalizeKey(std::string_view key);
// Keys and names that can be written: one line, no NUL, within the
// registry's length limits, and a key with at least one component.
bool validKey(std::string_view key);
bool validName(std::string_view name);
// A string value must fit on one line too.
bool validText(std::string_view text);

// ---- reading values ------------------------------------------------------

// The value as an import would leave it, or nullptr. `key` is normalized.
const Entry* findValue(const Document& doc, std::string_view key, std::string_view name);
// A DWORD (dword: or hex(4): of exactly four bytes), or nothing.
std::optional<std::uint32_t> numberOf(const Entry& entry);
// A string (quoted, or hex(1)/hex(2) UTF-16LE up to its NUL), or nothing.
// Environment references in expandable strings are left as they are.
std::optional<std::string> stringOf(const Entry& entry);

// ---- changing values -----------------------------------------------------
// `key` is normalized and, with `name` (and `text`), valid.

void setNumber(Document& doc, std::string_view key, std::string_view name, std::uint32_t value);
void setString(Document& doc, std::string_view key, std::string_view name, std::string_view text);
// False when there was no such value / key.
bool removeValue(Document& doc, std::string_view key, std::string_view name);
// Removes the key with its values and subkeys.
bool removeKey(Document& doc, std::string_view key);

} // namespace platform::reg
