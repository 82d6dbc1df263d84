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
//
// A record of many values (a memory switch record, the NV image list) is
// written with update(): all its values in one locked read-modify-write and
// one replace, so a reader or a crash sees the whole old record or the whole
// new one, and the cost is one fsync instead of one per value.
#pragma once

#include "platform/os_error.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

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

    // Changes collected for one update(), applied in the order given. A
    // delete of something that is not there is no failure here: the batch
    // states what the store holds afterwards.
    class Batch {
    public:
        void writeNumber(const std::string& key, const std::string& name, std::uint32_t value);
        void writeString(const std::string& key, const std::string& name, const std::string& value);
        void deleteValue(const std::string& key, const std::string& name);
        void deleteKey(const std::string& key);
        std::size_t size() const { return changes_.size(); }
        bool empty() const { return changes_.empty(); }

    private:
        friend class RegistryStore;
        enum class Op { Number, String, DeleteValue, DeleteKey };
        struct Change {
            Op op;
            std::string key;
            std::string name;
            std::string text;
            std::uint32_t number = 0;
        };
        std::vector<Change> changes_;
    };

    // Applies every change of the batch under one lock in one replace, or
    // none of them: a key, name or string that cannot be stored fails the
    // whole batch with EINVAL before the file is touched. An empty batch
    // succeeds without writing.
    bool update(const std::function<void(Batch&)>& fill);
    bool apply(const Batch& batch);

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
