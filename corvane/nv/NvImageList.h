// The manager window's image list in the registry: "image001".."image254"
// under the NV key, each "<path>,<brightness as three digits>", beside the
// stored count "Count".
//
// Restoring reads from image001 upward and stops at the first missing or
// empty value. The brightness is taken from after the LAST comma, and only
// when one to three digits follow it, so a path with commas in it survives;
// otherwise the whole text is the path and the brightness is 0. Brightness
// values are clamped to 0..100 (above 100 every dot would turn white).
//
// Saving replaces Count and every image value in one batch update: one lock
// and one atomic replace, so a crash leaves the old list or the new one.
#pragma once

#include "corvane/nv/CCommonNv.h"
#include "platform/registry_store.h"

#include <string>
#include <string_view>
#include <vector>

namespace corvane {

struct StoredImage {
    std::string path;
    int brightness = 0;
};

StoredImage ParseStoredImage(std::string_view text);
std::string FormatStoredImage(const NvImage& image);
// "image%03d".
std::string StoredImageValueName(std::size_t number);

// The stored texts in order (at most kNvMaxImages).
std::vector<std::string> ReadStoredImageTexts(const platform::RegistryStore& store,
                                              const std::string& keyPath = kNvRegistryKey);

struct RestoreOutcome {
    int restored = 0;
    int unloadable = 0;   // skipped silently, as the window does
    int overCapacity = 0; // each one is reported with "NV image area too small!"
};

// Replaces the image list of `nv` with the stored one.
RestoreOutcome RestoreImageList(CCommonNv& nv, const platform::RegistryStore& store,
                                const std::string& keyPath = kNvRegistryKey);

// Count = nv.storedCount, the images in list order; every other image value
// removed. False when the store could not be written (store.lastError()).
bool SaveImageList(platform::RegistryStore& store, const CCommonNv& nv,
                   const std::string& keyPath = kNvRegistryKey);

} // namespace corvane
