// The machine's registry store: hierarchical keys under HKEY_LOCAL_MACHINE
// with typed values (32-bit DWORD, string), kept in a text file in the .reg
// export format:
//
//   Windows Registry Editor Version 5.00
//
//   [HKEY_LOCAL_MACHINE\Software\Quellix\Corvane]
//   "uPort"="NET192.168.1.50"
//   "uBaudrate"=dword:00002580
//
// Key and value names are case-insensitive and case-preserving. Every
// operation re-reads the file; every write does so under an exclusive lock
// and replaces the file atomically (temporary file, fsync, rename), so
// concurrent writers and crashes never lose or corrupt values. Lines that
// cannot be parsed are carried over unchanged.
#pragma once

#include "platform/os_error.h"

#include <cstdint>
#include <string>

namespace platform {

class RegistryStore {
public:
    // $QUELLIX_REGISTRY, else $XDG_CONFIG_HOME/quellix/registry.reg, else
    // ~/.config/quellix/registry.reg.
    static std::string defaultPath();

    explicit RegistryStore(std::string filePath = defaultPath());

    const std::string& path() const { return path_; }

    // Key paths are relative to HKEY_LOCAL_MACHINE, e.g.
    // "Software\\Quellix\\Corvane". Reads succeed only for a value of the
    // right type (and for numbers, size 4); on failure the output is 0 / "".
    // An empty string value reads as failure.
    bool readNumber(const std::string& key, const std::string& name, std::uint32_t& value) const;
    bool readString(const std::string& key, const std::string& name, std::string& value) const;
    // Creates the key as needed.
    bool writeNumber(const std::string& key, const std::string& name, std::uint32_t value);
    bool writeString(const std::string& key, const std::string& name, const std::string& value);
    bool deleteValue(const std::string& key, const std::string& name);
    // Removes the key with its values and subkeys.
    bool deleteKey(const std::string& key);

    // The reason of the last failed write (or read of an unreadable file).
    OsError lastError() const { return lastError_; }

    // For tests: called with the temporary file's path once the new contents
    // are on disk and before they replace the file, so a test can stop the
    // process exactly there. nullptr removes it.
    using BeforeReplaceHook = void (*)(const std::string& temporaryPath);
    static void setBeforeReplaceHook(BeforeReplaceHook hook);

private:
    std::string path_;
    mutable OsError lastError_;
};

} // namespace platform
