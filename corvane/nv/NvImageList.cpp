#include "corvane/nv/NvImageList.h"

#include <algorithm>
#include <cstdio>

namespace corvane {

StoredImage ParseStoredImage(std::string_view text)
{
    StoredImage entry{std::string(text), 0};
    const std::size_t comma = text.rfind(',');
    if (comma == std::string_view::npos)
        return entry;
    const std::string_view digits = text.substr(comma + 1);
    if (digits.empty() || digits.size() > 3
        || !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return entry;
    int value = 0;
    for (char c : digits)
        value = value * 10 + (c - '0');
    entry.path.assign(text.substr(0, comma));
    entry.brightness = std::clamp(value, 0, 100);
    return entry;
}

std::string FormatStoredImage(const NvImage& image)
{
    char digits[8];
    std::snprintf(digits, sizeof digits, ",%03d", std::clamp(int(image.brightness), 0, 100));
    return image.path + digits;
}

std::string StoredImageValueName(std::size_t number)
{
    char name[16];
    std::snprintf(name, sizeof name, "image%03zu", number);
    return name;
}

std::vector<std::string> ReadStoredImageTexts(const platform::RegistryStore& store, const std::string& keyPath)
{
    std::vector<std::string> texts;
    for (std::size_t i = 1; i <= kNvMaxImages; ++i) {
        std::string text;
        if (!store.readString(keyPath, StoredImageValueName(i), text) || text.empty())
            break;
        texts.push_back(std::move(text));
    }
    return texts;
}

RestoreOutcome RestoreImageList(CCommonNv& nv, const platform::RegistryStore& store, const std::string& keyPath)
{
    RestoreOutcome outcome;
    nv.ClearImages();
    for (const std::string& text : ReadStoredImageTexts(store, keyPath)) {
        const StoredImage stored = ParseStoredImage(text);
        int error = 0;
        auto image = nv.LoadImageItem(std::uint8_t(nv.images.size() + 1), stored.path, stored.brightness, error);
        if (!image) {
            ++outcome.unloadable;
            continue;
        }
        if (nv.AddImage(*image) != 0) {
            ++outcome.overCapacity;
            continue;
        }
        ++outcome.restored;
    }
    return outcome;
}

bool SaveImageList(platform::RegistryStore& store, const CCommonNv& nv, const std::string& keyPath)
{
    return store.update([&](platform::RegistryStore::Batch& batch) {
        batch.deleteValue(keyPath, "Count");
        for (std::size_t i = 1; i <= kNvMaxImages; ++i)
            batch.deleteValue(keyPath, StoredImageValueName(i));
        std::size_t number = 0;
        for (const NvImage& image : nv.images) {
            if (++number > kNvMaxImages)
                break;
            batch.writeString(keyPath, StoredImageValueName(number), FormatStoredImage(image));
        }
        batch.writeNumber(keyPath, "Count", std::uint32_t(nv.storedCount));
    });
}

} // namespace corvane
