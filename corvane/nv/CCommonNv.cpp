#include "corvane/nv/CCommonNv.h"

#include "corvane/nv/NvCommands.h"
#include "corvane/nv/NvConvert.h"
#include "platform/atomic_file.h"
#include "platform/bitmap.h"

#include <algorithm>
#include <limits>

namespace corvane {

bool IsIndexedFamily(std::uint32_t versionNumber)
{
    return versionNumber >= 21000 && versionNumber < 101000;
}

CCommonNv::CCommonNv(CCommonUtil& util, platform::Clock& clock) : util_(util), clock_(clock) {}

CCommonNv::~CCommonNv() = default;

NvTarget CCommonNv::currentTarget() const
{
    return NvTarget{indexedFamily(), util_.g_Model > kModelVX440};
}

namespace {

// The key-code define's 16-bit length field counts all but 5 of its 16 + raster bytes.
constexpr std::uint64_t kMaxKeyedRaster = 0xFFFF - 11;

std::string NameOfPath(const std::string& path)
{
    const std::size_t cut = path.find_last_of("/\\");
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

// Validates the whole file; only the size is kept.
class SizeOnly final : public platform::BitmapSink {
public:
    bool begin(std::uint32_t width, std::uint32_t height) override
    {
        size = {width, height};
        return true;
    }
    void row(std::uint32_t, const platform::Rgb*) override {}
    platform::BitmapSize size;
};

void setDetail(std::string* detail, std::string text)
{
    if (detail)
        *detail = std::move(text);
}

} // namespace

int CCommonNv::AddImage(NvImage image)
{
    if (images.size() >= kNvMaxImages)
        return kNvTooMany;
    if (TotalImageSize() + std::uint64_t(std::uint32_t(image.size)) > kNvCapacityBytes)
        return kNvCapacity;
    images.push_back(std::move(image));
    return kOk;
}

void CCommonNv::RemoveImage(std::uint8_t number)
{
    auto found = std::find_if(images.begin(), images.end(), [&](const NvImage& i) { return i.number == number; });
    if (found != images.end())
        images.erase(found);
    std::uint8_t next = 1;
    for (NvImage& image : images)
        image.number = next++;
}

void CCommonNv::ClearImages() { images.clear(); }

std::uint64_t CCommonNv::TotalImageSize() const
{
    std::uint64_t total = 0;
    for (const NvImage& image : images)
        total += std::uint32_t(image.size);
    return total;
}

std::unique_ptr<NvImage> CCommonNv::LoadImageItem(std::uint8_t number, const std::string& path, int brightness,
                                                  int& error, std::string* reason)
{
    SizeOnly probe;
    const platform::BitmapStatus status = platform::decodeBmpFile(path, probe);
    if (!status.ok()) {
        error = kNvLoadFailed;
        setDetail(reason, status.error == platform::BitmapError::Open ? status.os.describe() : status.reason);
        return nullptr;
    }
    const std::uint32_t limit = nv::WidthLimit(util_.g_Model, nv::WidthUse::Estimate);
    const std::uint64_t width = std::min(probe.size.width, limit);
    const std::uint64_t size = nv::RowBytes(width) * probe.size.height;
    auto image = std::make_unique<NvImage>();
    image->number = number;
    image->size = std::int32_t(std::min<std::uint64_t>(size, std::numeric_limits<std::int32_t>::max()));
    image->name = NameOfPath(path);
    image->path = path;
    image->brightness = brightness;
    image->width = probe.size.width;
    image->height = probe.size.height;
    error = 0;
    return image;
}

namespace {

int convertFile(const NvImage& image, std::uint32_t limit, std::uint64_t maxRaster, nv::Raster& raster,
                std::string* detail)
{
    nv::RasterBuilder builder(limit, image.brightness, maxRaster);
    const platform::BitmapStatus status = platform::decodeBmpFile(image.path, builder);
    if (status.error == platform::BitmapError::Refused) {
        setDetail(detail, image.path + ": " + builder.refusal());
        return kNvTooLarge;
    }
    if (!status.ok()) {
        setDetail(detail, image.path + ": "
                              + (status.error == platform::BitmapError::Open ? status.os.describe() : status.reason));
        return kNvLoadFailed;
    }
    raster = builder.finish();
    return kOk;
}

} // namespace

int CCommonNv::ConvertKeyed(const NvImage& image, std::string_view key, std::string* detail)
{
    if (key.size() < 2) {
        setDetail(detail, "the key code needs two characters");
        return kNvShortKey;
    }
    nv::Raster raster;
    const int rc = convertFile(image, nv::WidthLimit(util_.g_Model, nv::WidthUse::KeyCode), kMaxKeyedRaster, raster,
                               detail);
    if (rc != kOk)
        return rc;
    commands.push_back(NvCommand{image.name,
                                 nv::DefineKeyedCommand(std::uint8_t(key[0]), std::uint8_t(key[1]),
                                                        std::uint16_t(raster.width), std::uint16_t(raster.height),
                                                        raster.bytes)});
    commandsTarget = NvTarget{false, util_.g_Model > kModelVX440};
    return kOk;
}

int CCommonNv::ConvertIndexed(const NvImage& image, std::string* detail)
{
    nv::Raster raster;
    const int rc = convertFile(image, nv::WidthLimit(util_.g_Model, nv::WidthUse::Indexed), 0, raster, detail);
    if (rc != kOk)
        return rc;
    commands.push_back(NvCommand{image.name, nv::IndexedImageBlock(std::uint16_t(raster.width),
                                                                   std::uint16_t(raster.height), raster.bytes)});
    commandsTarget = NvTarget{true, util_.g_Model > kModelVX440};
    return kOk;
}

int CCommonNv::BuildCommands(const std::vector<std::string>& keys, std::string* detail)
{
    commands.clear();
    const bool indexed = indexedFamily();
    if (!indexed && keys.size() < images.size()) {
        setDetail(detail, "a key code is missing");
        return kNvShortKey;
    }
    // Every file is read again as it is now: sizes first, so a file grown
    // since it was added cannot slip past the capacity.
    std::uint64_t total = 0;
    for (const NvImage& image : images) {
        int error = 0;
        std::string reason;
        auto now = LoadImageItem(image.number, image.path, image.brightness, error, &reason);
        if (!now) {
            setDetail(detail, image.path + ": " + reason);
            return kNvLoadFailed;
        }
        total += std::uint32_t(now->size);
    }
    if (total > kNvCapacityBytes) {
        setDetail(detail, "the images need " + std::to_string(total) + " bytes, the printer keeps "
                              + std::to_string(kNvCapacityBytes));
        return kNvCapacity;
    }
    std::size_t i = 0;
    for (const NvImage& image : images) {
        const int rc = indexed ? ConvertIndexed(image, detail) : ConvertKeyed(image, keys[i], detail);
        ++i;
        if (rc != kOk) {
            commands.clear();
            return rc;
        }
    }
    commandsTarget = NvTarget{indexed, util_.g_Model > kModelVX440};
    return kOk;
}

bool CCommonNv::SaveCommandFile(const std::string& path) const
{
    platform::OsError error;
    return SaveCommandFile(path, error);
}

bool CCommonNv::SaveCommandFile(const std::string& path, platform::OsError& error) const
{
    std::string bytes;
    if (commandsTarget.indexed) {
        std::uint64_t total = 0;
        for (const NvCommand& command : commands)
            total += command.data.size();
        const auto header = nv::DefineAllHeader(std::uint8_t(commands.size()), std::uint32_t(total));
        bytes.append(reinterpret_cast<const char*>(header.data()), header.size());
    }
    for (const NvCommand& command : commands)
        bytes.append(reinterpret_cast<const char*>(command.data.data()), command.data.size());
    return platform::writeFileAtomically(path, bytes, error);
}

std::uint32_t CCommonNv::ReadStoredCount(const platform::RegistryStore& store, const std::string& keyPath) const
{
    std::uint32_t value = 0;
    return store.readNumber(keyPath, "Count", value) ? value : 0;
}

bool CCommonNv::WriteStoredCount(platform::RegistryStore& store, const std::string& keyPath,
                                 std::uint32_t value) const
{
    return store.writeNumber(keyPath, "Count", value);
}

} // namespace corvane
