// The NV image manager's model and protocol object: the images the user is
// preparing, the commands built from them for one download or one command
// file, the addresses the printer already holds, and every NV image command
// sent over the program's one printer connection.
//
// Two command families, chosen by the identified firmware version number:
// indexed (21000 <= version <= 100999: one numbered set; the printer cannot
// list it, so the stored count is kept here and in the registry) and key-code
// (everything else: images under two-character keys the printer lists).
//
// Operations return result codes and never show anything. Any failed write
// closes the port.
#pragma once

#include "corvane/link/CCommonUtil.h"
#include "platform/clock.h"
#include "platform/registry_store.h"

#include <cstdint>
#include <list>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace corvane {

// Result codes of the NV operations (besides kOk, kNotOpen 101, kBadFormat
// 109 and kShortWrite 300 of CCommonUtil.h).
enum NvResult : int {
    kNvEmpty = 400,          // no address: empty key list, stored count 0, empty address list
    kNvCapacity = 401,       // AddImage: the capacity would be exceeded
    kNvShortKey = 402,       // a key code of fewer than two characters
    kNvTooMany = 403,        // AddImage: the list already holds kNvMaxImages
    kNvLoadFailed = -2,      // the bitmap could not be loaded
    kNvTooLarge = 404,       // a converted image exceeds what one command can carry
};

inline constexpr std::uint32_t kNvCapacityBytes = 262144;
// Image numbers and the define-all count are 8-bit; the window's stored list
// holds at most this many.
inline constexpr std::size_t kNvMaxImages = 254;
// The registry key of the stored count ("Count", a DWORD) and of the
// window's image list.
inline constexpr const char* kNvRegistryKey = "Software\\Quellix\\Corvane\\NV";

// Indexed family when 21000 <= version < 101000.
bool IsIndexedFamily(std::uint32_t versionNumber);

struct NvImage {
    std::uint8_t number = 0;     // 1-based, dense
    std::int32_t size = 0;       // estimated raster bytes (capacity rule)
    std::string name;            // path after its last backslash
    std::string path;
    std::int32_t brightness = 0; // 0..100
    std::uint32_t width = 0;     // the bitmap's own size, as it was loaded
    std::uint32_t height = 0;
};

struct NvCommand {
    std::string name;
    std::vector<std::uint8_t> data;   // a key-code define command, or one indexed image block
    std::int32_t length() const { return std::int32_t(data.size()); }
};

// What a command list was converted for, so a download can refuse a printer
// that has changed since (another family or width class).
struct NvTarget {
    bool indexed = false;
    bool wide = false;   // model code above 440
    bool operator==(const NvTarget&) const = default;
};

class CCommonNv {
public:
    explicit CCommonNv(CCommonUtil& util, platform::Clock& clock = platform::systemClock());
    virtual ~CCommonNv();
    CCommonNv(const CCommonNv&) = delete;
    CCommonNv& operator=(const CCommonNv&) = delete;

    CCommonUtil& util() const { return util_; }
    bool indexedFamily() const { return IsIndexedFamily(util_.g_Getver); }
    NvTarget currentTarget() const;

    // Fields in the record's order.
    std::int32_t storedCount = 0;
    std::int32_t printerIdentified = 0;
    std::vector<NvCommand> commands;
    NvTarget commandsTarget;              // set by the conversions
    std::list<NvImage> images;
    std::vector<std::string> addresses;   // key codes, or "%02d" indices

    // --- the image list (no printer) ---
    int AddImage(NvImage image);          // 0, 401, 403; the list is unchanged on failure
    void RemoveImage(std::uint8_t number);
    void ClearImages();
    std::uint64_t TotalImageSize() const;

    // --- conversion (no printer) ---
    // A new record, or kNvLoadFailed in `error` (with the decoder's reason
    // in `reason` when given).
    std::unique_ptr<NvImage> LoadImageItem(std::uint8_t number, const std::string& path, int brightness,
                                           int& error, std::string* reason = nullptr);
    // Append one command to `commands`; 0, kNvLoadFailed or kNvTooLarge
    // (nothing appended), with a technician's detail in `detail`.
    int ConvertKeyed(const NvImage& image, std::string_view key, std::string* detail = nullptr);
    int ConvertIndexed(const NvImage& image, std::string* detail = nullptr);

    // The define-all header and every command back to back, written
    // atomically; false if it could not be written (the old file stays).
    bool SaveCommandFile(const std::string& path) const;
    bool SaveCommandFile(const std::string& path, platform::OsError& error) const;

    // Converts the whole image list into `commands` (key-code family: under
    // `keys`, one per image; indexed: `keys` is ignored). Every file is
    // decoded and the capacity re-checked from the files as they are now
    // before anything is built; on failure `commands` is left empty and
    // `detail` names the file. 0, kNvLoadFailed, kNvCapacity, kNvTooLarge,
    // kNvShortKey.
    int BuildCommands(const std::vector<std::string>& keys, std::string* detail = nullptr);

    // "Count" under `keyPath`: 0 when missing or not a 4-byte number.
    std::uint32_t ReadStoredCount(const platform::RegistryStore& store, const std::string& keyPath) const;
    bool WriteStoredCount(platform::RegistryStore& store, const std::string& keyPath, std::uint32_t value) const;

    // --- printer exchanges ---
    int ReadKeyList();
    int LoadIndexedList(const platform::RegistryStore& store, const std::string& keyPath = kNvRegistryKey);
    int DeleteKey(std::string_view key);
    int DeleteAllKeyed();
    int DeleteAllIndexed(platform::RegistryStore& store, const std::string& keyPath = kNvRegistryKey);
    int PrintKey(std::string_view key);
    int PrintAllKeys();
    int PrintIndex(std::uint8_t index);
    int PrintAllIndexed();
    int SendIndexedHeader(std::uint8_t count, std::uint32_t totalBlockBytes);
    int SendCommandData(const NvCommand& command);

private:
    int send(const std::uint8_t* data, std::size_t length);   // one Write; short: close, 300

    CCommonUtil& util_;
    platform::Clock& clock_;
};

} // namespace corvane
