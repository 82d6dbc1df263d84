#include "corvane/nv/NvImageFile.h"

#include <zlib.h>

namespace corvane::nv {

std::string PbmBytes(const Raster& raster)
{
    std::string out = "P4\n" + std::to_string(raster.width) + " " + std::to_string(raster.height) + "\n";
    out.append(reinterpret_cast<const char*>(raster.bytes.data()), raster.bytes.size());
    return out;
}

namespace {

void put32(std::string& out, std::uint32_t v)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(char((v >> shift) & 0xFF));
}

void chunk(std::string& out, const char (&type)[5], const std::string& data)
{
    put32(out, std::uint32_t(data.size()));
    const std::size_t start = out.size();
    out.append(type, 4);
    out += data;
    const auto* bytes = reinterpret_cast<const Bytef*>(out.data() + start);
    put32(out, std::uint32_t(crc32(0L, bytes, uInt(out.size() - start))));
}

} // namespace

std::string PngBytes(const Raster& raster)
{
    if (raster.width == 0 || raster.height == 0)
        return {};
    const std::size_t rowBytes = (raster.width + 7) / 8;
    // Greyscale 1 bit: 1 is white, so the printed dots are the inverted bits;
    // each row starts with filter type 0. The padding bits past the width
    // are ignored by readers.
    std::string rows;
    rows.reserve((rowBytes + 1) * raster.height);
    for (std::uint32_t y = 0; y < raster.height; ++y) {
        rows.push_back('\0');
        for (std::size_t i = 0; i < rowBytes; ++i)
            rows.push_back(char(~raster.bytes[y * rowBytes + i] & 0xFF));
    }
    uLongf packedSize = compressBound(uLong(rows.size()));
    std::string packed(packedSize, '\0');
    if (compress2(reinterpret_cast<Bytef*>(packed.data()), &packedSize, reinterpret_cast<const Bytef*>(rows.data()),
                  uLong(rows.size()), Z_BEST_COMPRESSION)
        != Z_OK)
        return {};
    packed.resize(packedSize);

    std::string out("\x89PNG\r\n\x1a\n", 8);
    std::string header;
    put32(header, raster.width);
    put32(header, raster.height);
    header += std::string("\x01\x00\x00\x00\x00", 5);   // 1 bit, greyscale, deflate, no filter, no interlace
    chunk(out, "IHDR", header);
    chunk(out, "IDAT", packed);
    chunk(out, "IEND", {});
    return out;
}

} // namespace corvane::nv
