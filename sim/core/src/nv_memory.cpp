#include "sim/nv_memory.h"

#include "sim/switch_state.h"

#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <memory>

namespace sim {

namespace {

constexpr std::size_t kHeaderSize = 5;         // prefix, pL, pH
constexpr std::size_t kDefineHeaderSize = 16;  // up to the colour byte 31
constexpr std::size_t kDefineFixed = 11;       // what pL pH counts besides the raster
constexpr std::size_t kDefineAllHeaderSize = 9;
constexpr std::size_t kBlockHeaderSize = 6;
constexpr std::size_t kMaxShownBytes = 32;
constexpr std::uint64_t kMaxReserve = std::uint64_t{1} << 16;
// The most a define-all can hold: 255 block headers and the memory's worth of rasters.
constexpr std::uint64_t kMaxDefineAllBody = NvMemory::kMaxStoredBytes + 255 * kBlockHeaderSize;

constexpr std::uint8_t kFunctionSet = 0x30;  // m "0" of GS ( L
enum Fn : std::uint8_t {
    kFnList = 0x40,
    kFnDeleteAll = 0x41,
    kFnDelete = 0x42,
    kFnDefine = 0x43,
    kFnPrint = 0x45,
};
constexpr std::uint8_t kMoreBlocks = 0x41;
constexpr std::uint8_t kLastBlock = 0x40;

std::uint8_t byteAt(std::string_view s, std::size_t i)
{
    return static_cast<std::uint8_t>(s[i]);
}

std::uint16_t word(std::string_view s, std::size_t i)
{
    return static_cast<std::uint16_t>(byteAt(s, i) | (byteAt(s, i + 1) << 8));
}

std::string hexBytes(std::string_view bytes)
{
    static constexpr char kHex[] = "0123456789abcdef";
    std::string out;
    for (std::size_t i = 0; i < bytes.size() && i < kMaxShownBytes; ++i) {
        if (i > 0)
            out.push_back(' ');
        out.push_back(kHex[byteAt(bytes, i) >> 4]);
        out.push_back(kHex[byteAt(bytes, i) & 0x0F]);
    }
    if (bytes.size() > kMaxShownBytes)
        out += " ...";
    return out;
}

std::string crcText(const std::string& raster)
{
    const auto crc = crc32_z(0, reinterpret_cast<const Bytef*>(raster.data()), raster.size());
    char text[9];
    std::snprintf(text, sizeof text, "%08x", static_cast<unsigned>(crc));
    return text;
}

std::string sizeText(const NvImage& image)
{
    return std::to_string(image.width) + "x" + std::to_string(image.height);
}

} // namespace

// The body of one define-all, taken block by block as its bytes arrive.
struct NvMemory::DefineAll {
    std::string header;        // the command's 9 bytes, for the log
    std::size_t expected = 0;  // c
    std::vector<NvImage> images;
    std::string blockHead;     // the current block's header so far
    std::uint64_t rasterDue = 0;
    std::uint64_t rasterTotal = 0;
    std::string problem;       // set: malformed, the rest is skipped
    bool tooLarge = false;     // well formed so far, but beyond the memory

    void take(std::string_view bytes)
    {
        while (!bytes.empty() && problem.empty()) {
            if (blockHead.size() < kBlockHeaderSize) {
                const std::size_t n = std::min(kBlockHeaderSize - blockHead.size(), bytes.size());
                blockHead.append(bytes.substr(0, n));
                bytes.remove_prefix(n);
                if (blockHead.size() == kBlockHeaderSize && !startBlock())
                    return;
                continue;
            }
            const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(rasterDue, bytes.size()));
            if (!tooLarge)
                images.back().raster.append(bytes.substr(0, n));
            bytes.remove_prefix(n);
            rasterDue -= n;
            if (rasterDue == 0)
                blockHead.clear();
        }
    }

    bool startBlock()
    {
        const std::string block = std::to_string(images.size() + 1);
        if (images.size() == expected) {
            problem = "more image blocks than the count " + std::to_string(expected);
            return false;
        }
        if (byteAt(blockHead, 0) != 0x01 || byteAt(blockHead, 5) != 0x31) {
            problem = "image block " + block + " does not start 01 .. .. .. .. 31";
            return false;
        }
        NvImage image;
        image.width = word(blockHead, 1);
        image.height = word(blockHead, 3);
        rasterDue = nvRasterBytes(image.width, image.height);
        rasterTotal += rasterDue;
        tooLarge = tooLarge || rasterTotal > kMaxStoredBytes;
        // The header's claim is not trusted with memory: the raster grows as it arrives.
        if (!tooLarge)
            image.raster.reserve(static_cast<std::size_t>(std::min<std::uint64_t>(rasterDue, kMaxReserve)));
        images.push_back(std::move(image));
        if (rasterDue == 0)
            blockHead.clear();
        return true;
    }
};

NvFamily nvFamilyFor(std::uint32_t versionNumber)
{
    return versionNumber >= 21000 && versionNumber <= 100999 ? NvFamily::Indexed : NvFamily::KeyCode;
}

std::string_view nvFamilyName(NvFamily family)
{
    return family == NvFamily::Indexed ? "indexed" : "key-code";
}

std::optional<NvFamily> nvFamilyNamed(std::string_view name)
{
    if (name == "indexed")
        return NvFamily::Indexed;
    if (name == "key-code")
        return NvFamily::KeyCode;
    return std::nullopt;
}

std::uint64_t nvRasterBytes(std::uint32_t width, std::uint32_t height)
{
    return (std::uint64_t{width} + 7) / 8 * height;
}

bool validNvKey(std::string_view key)
{
    return key.size() == 2 && std::all_of(key.begin(), key.end(), [](char c) { return c >= 0x20 && c <= 0x7E; });
}

std::string NvMemory::keyLabel(std::string_view key)
{
    std::string out;
    for (const char c : escapeBytes(key)) {
        if (c == ' ')
            out += "\\x20";
        else if (c == ':')
            out += "\\x3a";
        else
            out.push_back(c);
    }
    return out;
}

NvMemory::NvMemory(NvFamily family, const NvConfig& config)
    : family_(family), keysPerBlock_(std::clamp<std::size_t>(config.keysPerBlock, 1, NvConfig::kMaxKeysPerBlock))
{
    for (const NvPreload& p : config.images) {
        NvImage image{p.width, p.height, std::string(static_cast<std::size_t>(nvRasterBytes(p.width, p.height)), '\0')};
        if (storedBytes() + image.raster.size() > kMaxStoredBytes)
            break;
        if (family_ == NvFamily::Indexed)
            indexed_.push_back(std::move(image));
        else if (validNvKey(p.key))
            storeKeyed(p.key, std::move(image));
    }
}

void NvMemory::addCommands(CommandParser& parser)
{
    parser.addCommand(std::string(kNvKeyCommand), [this](std::string_view in) { return keyCommand(in); });
    parser.addCommand(std::string(kNvDefineAll), [this](std::string_view in) { return defineAll(in); });
    parser.addCommand(std::string(kNvIndexedCommand), [this](std::string_view in) { return indexedCommand(in); });
    parser.addCommand(std::string(kNvAck), [this](std::string_view in) { return ack(in); });
    parser.addCommand(std::string(kNvCancel), [this](std::string_view in) { return cancel(in); });
}

void NvMemory::hostGone()
{
    waiting_ = false;
    blocksDue_.clear();
}

const NvImage* NvMemory::findKey(std::string_view key) const
{
    const auto it = std::find_if(keyed_.begin(), keyed_.end(), [&](const KeyedNvImage& k) { return k.key == key; });
    return it == keyed_.end() ? nullptr : &it->image;
}

std::uint64_t NvMemory::storedBytes() const
{
    std::uint64_t total = 0;
    for (const auto& k : keyed_)
        total += k.image.raster.size();
    for (const auto& i : indexed_)
        total += i.raster.size();
    return total;
}

void NvMemory::storeKeyed(std::string key, NvImage image)
{
    std::erase_if(keyed_, [&](const KeyedNvImage& k) { return k.key == key; });
    keyed_.push_back({std::move(key), std::move(image)});
}

void NvMemory::malformed(std::string_view cmd, std::string reason)
{
    ++malformedCount_;
    if (malformed_.size() < kMaxListed)
        malformed_.push_back({std::move(reason), std::string(cmd.substr(0, kMaxShownBytes + 1))});
}

void NvMemory::ignore(std::string_view cmd, std::string reason)
{
    ++ignoredCount_;
    if (ignored_.size() < kMaxListed)
        ignored_.push_back({std::move(reason), std::string(cmd.substr(0, kMaxShownBytes + 1))});
}

std::string NvMemory::fileLabel(std::string_view key)
{
    static constexpr char kHex[] = "0123456789abcdef";
    std::string out;
    for (const char c : key) {
        const auto b = static_cast<unsigned char>(c);
        if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) {
            out.push_back(c);
        } else {
            out.push_back('_');
            out.push_back(kHex[b >> 4]);
            out.push_back(kHex[b & 0x0F]);
        }
    }
    return out;
}

void NvMemory::print(const std::string& label, const std::string& file, const NvImage* image)
{
    ++printCount_;
    if (prints_.size() < kMaxPrintsListed)
        prints_.push_back(image != nullptr ? label : label + " missing");
    if (image != nullptr && printSink_)
        printSink_(printCount_, file, *image);
}

std::string NvMemory::startKeyList()
{
    ++lists_;
    blocksDue_.clear();
    std::size_t next = 0;
    do {
        const std::size_t end = std::min(keyed_.size(), next + keysPerBlock_);
        std::string block = "\x37\x72";
        block.push_back(static_cast<char>(end < keyed_.size() ? kMoreBlocks : kLastBlock));
        for (; next < end; ++next)
            block += keyed_[next].key;
        block.push_back('\0');
        blocksDue_.push_back(std::move(block));
    } while (next < keyed_.size());
    std::string first = std::move(blocksDue_.front());
    blocksDue_.pop_front();
    waiting_ = true;
    return first;
}

HandlerResult NvMemory::ack(std::string_view)
{
    if (!waiting_)
        return HandlerResult::notCommand();
    ++acks_;
    if (blocksDue_.empty()) {
        waiting_ = false;
        return HandlerResult::done(1);
    }
    std::string block = std::move(blocksDue_.front());
    blocksDue_.pop_front();
    return HandlerResult::done(1, std::move(block));
}

HandlerResult NvMemory::cancel(std::string_view)
{
    if (!waiting_)
        return HandlerResult::notCommand();
    ++cancels_;
    hostGone();
    return HandlerResult::done(1);
}

HandlerResult NvMemory::keyCommand(std::string_view in)
{
    if (in.size() < kHeaderSize)
        return HandlerResult::needMore();
    const std::size_t length = word(in, 3);
    if (length < 2) {
        // Too short to hold m and fn: taken by its length, meaning nothing.
        if (in.size() < kHeaderSize + length)
            return HandlerResult::needMore();
        ignore(in.substr(0, kHeaderSize + length), "GS ( L command without a function");
        return HandlerResult::done(kHeaderSize + length);
    }
    if (in.size() < kHeaderSize + 2)
        return HandlerResult::needMore();
    if (byteAt(in, kHeaderSize) == kFunctionSet && byteAt(in, kHeaderSize + 1) == kFnDefine)
        return keyDefine(in, length);
    const std::size_t total = kHeaderSize + length;
    if (in.size() < total)
        return HandlerResult::needMore();
    const std::string_view cmd = in.substr(0, total);
    if (family_ != NvFamily::KeyCode) {
        ignore(cmd, "GS ( L command to an indexed printer");
        return HandlerResult::done(total);
    }
    const std::uint8_t fn = byteAt(cmd, kHeaderSize + 1);
    const std::string_view data = cmd.substr(kHeaderSize + 2);
    if (byteAt(cmd, kHeaderSize) != kFunctionSet) {
        ignore(cmd, "unknown GS ( L function set");
    } else if (fn == kFnList && data == "KC") {
        return HandlerResult::done(total, startKeyList());
    } else if (fn == kFnDeleteAll && data == "CLR") {
        keyed_.clear();
    } else if (fn == kFnDelete && data.size() == 2) {
        std::erase_if(keyed_, [&](const KeyedNvImage& k) { return k.key == data; });
    } else if (fn == kFnPrint && data.size() == 4) {
        const std::string_view key = data.substr(0, 2);
        print(keyLabel(key), fileLabel(key), findKey(key));
    } else {
        ignore(cmd, "unknown GS ( L function");
    }
    return HandlerResult::done(total);
}

HandlerResult NvMemory::keyDefine(std::string_view in, std::size_t length)
{
    const std::size_t total = kHeaderSize + length;
    if (length < kDefineFixed) {
        // Shorter than its own header: small, so buffered whole.
        if (in.size() < total)
            return HandlerResult::needMore();
        malformed(in.substr(0, total), "define of " + std::to_string(length) + " bytes, shorter than its header");
        return HandlerResult::done(total);
    }
    if (in.size() < kDefineHeaderSize)
        return HandlerResult::needMore();
    const std::string_view header = in.substr(0, kDefineHeaderSize);
    const std::uint64_t body = length - kDefineFixed;
    if (family_ != NvFamily::KeyCode) {
        ignore(header, "GS ( L define to an indexed printer");
        return HandlerResult::streamed(kDefineHeaderSize, body, {});
    }
    const std::string key(header.substr(8, 2));
    NvImage image;
    image.width = word(header, 11);
    image.height = word(header, 13);
    const std::uint64_t raster = nvRasterBytes(image.width, image.height);
    std::string problem;
    if (byteAt(header, 7) != 0x30 || byteAt(header, 10) != 0x01 || byteAt(header, 15) != 0x31)
        problem = "define header is not 30 43 30 k1 k2 01 xL xH yL yH 31";
    else if (!validNvKey(key))
        problem = "key code outside 20..7e";
    else if (body != raster)
        problem = "length " + std::to_string(length) + " is not 11 + " + std::to_string(raster) + " for " +
                  sizeText(image);
    if (!problem.empty()) {
        malformed(header, std::move(problem));
        return HandlerResult::streamed(kDefineHeaderSize, body, {});
    }
    std::uint64_t others = storedBytes();
    if (const NvImage* old = findKey(key))
        others -= old->raster.size();
    if (others + raster > kMaxStoredBytes) {
        ignore(header, "image beyond the NV memory's " + std::to_string(kMaxStoredBytes) + " bytes");
        return HandlerResult::streamed(kDefineHeaderSize, body, {});
    }

    auto pending = std::make_shared<NvImage>(std::move(image));
    pending->raster.reserve(static_cast<std::size_t>(raster));
    const std::string logged(header);
    BodyReader reader;
    reader.piece = [pending](std::string_view piece) { pending->raster.append(piece); };
    reader.end = [this, pending, key]() {
        storeKeyed(key, std::move(*pending));
        return std::string();
    };
    reader.cut = [this, logged](std::uint64_t missing) {
        malformed(logged, "stream ended " + std::to_string(missing) + " bytes before the define's end");
    };
    return HandlerResult::streamed(kDefineHeaderSize, body, std::move(reader));
}

HandlerResult NvMemory::defineAll(std::string_view in)
{
    constexpr std::size_t kLengthEnd = 7;
    if (in.size() < kLengthEnd)
        return HandlerResult::needMore();
    const std::uint64_t length = std::uint64_t{word(in, 3)} | (std::uint64_t{word(in, 5)} << 16);
    if (length < 2) {
        const auto total = static_cast<std::size_t>(kLengthEnd + length);
        if (in.size() < total)
            return HandlerResult::needMore();
        malformed(in.substr(0, total), "define-all length " + std::to_string(length) + ", below 2");
        return HandlerResult::done(total);
    }
    if (in.size() < kDefineAllHeaderSize)
        return HandlerResult::needMore();
    const std::string_view header = in.substr(0, kDefineAllHeaderSize);
    const std::uint64_t body = length - 2;
    if (body > kMaxDefineAllBody) {
        // A length no set of images could fill (a stray 08 5e 37 in other
        // data, say) would swallow everything after it: only the header is taken.
        malformed(header, "define-all length " + std::to_string(length) + " beyond any set of images");
        return HandlerResult::done(kDefineAllHeaderSize);
    }
    if (family_ != NvFamily::Indexed) {
        ignore(header, "define-all to a key-code printer");
        return HandlerResult::streamed(kDefineAllHeaderSize, body, {});
    }
    if (byteAt(header, 7) != 0x43) {
        malformed(header, "define-all without 43 after its length");
        return HandlerResult::streamed(kDefineAllHeaderSize, body, {});
    }
    auto d = std::make_shared<DefineAll>();
    d->header = std::string(header);
    d->expected = byteAt(header, 8);
    BodyReader reader;
    reader.piece = [d](std::string_view piece) { d->take(piece); };
    reader.end = [this, d]() {
        finishDefineAll(*d);
        return std::string();
    };
    reader.cut = [this, d](std::uint64_t missing) {
        malformed(d->header, "stream ended " + std::to_string(missing) + " bytes before the define-all's end");
    };
    return HandlerResult::streamed(kDefineAllHeaderSize, body, std::move(reader));
}

void NvMemory::finishDefineAll(DefineAll& d)
{
    const std::string count = std::to_string(d.expected);
    if (!d.problem.empty())
        malformed(d.header, std::move(d.problem));
    else if (!d.blockHead.empty())
        // A block whose header is not complete yet is not among the images.
        malformed(d.header, "length ends inside image block " +
                                std::to_string(d.images.size() + (d.blockHead.size() < kBlockHeaderSize ? 1 : 0)));
    else if (d.images.size() != d.expected)
        malformed(d.header, "length holds " + std::to_string(d.images.size()) + " image blocks, the count says " + count);
    else if (d.tooLarge)
        ignore(d.header, "images beyond the NV memory's " + std::to_string(kMaxStoredBytes) + " bytes");
    else
        indexed_ = std::move(d.images);
}

HandlerResult NvMemory::indexedCommand(std::string_view in)
{
    if (in.size() < kHeaderSize)
        return HandlerResult::needMore();
    const std::size_t total = kHeaderSize + word(in, 3);
    if (in.size() < total)
        return HandlerResult::needMore();
    const std::string_view cmd = in.substr(0, total);
    if (family_ != NvFamily::Indexed) {
        ignore(cmd, "BS ^ L command to a key-code printer");
        return HandlerResult::done(total);
    }
    const std::string_view data = cmd.substr(kHeaderSize);
    if (data.size() == 4 && byteAt(data, 0) == kFnPrint) {
        const std::uint8_t i = byteAt(data, 1);
        print(std::to_string(i), std::to_string(i), i < indexed_.size() ? &indexed_[i] : nullptr);
    } else if (data.size() == 1 && byteAt(data, 0) == kFnDeleteAll) {
        indexed_.clear();
    } else {
        ignore(cmd, "unknown BS ^ L function");
    }
    return HandlerResult::done(total);
}

std::string NvMemory::report() const
{
    std::string out;
    auto line = [&](const std::string& key, const std::string& value) { out += key + ": " + value + "\n"; };
    line("nv.family", std::string(nvFamilyName(family_)));
    line("nv.count", std::to_string(family_ == NvFamily::Indexed ? indexed_.size() : keyed_.size()));
    auto image = [&](const std::string& label, const NvImage& i) {
        line("nv.image." + label, sizeText(i) + " crc32 " + crcText(i.raster));
    };
    if (family_ == NvFamily::Indexed) {
        for (std::size_t i = 0; i < indexed_.size(); ++i)
            image(std::to_string(i), indexed_[i]);
    } else {
        for (const auto& k : keyed_)
            image(keyLabel(k.key), k.image);
    }
    line("nv.lists", std::to_string(lists_));
    line("nv.acks", std::to_string(acks_));
    line("nv.cancels", std::to_string(cancels_));
    line("nv.prints", std::to_string(printCount_));
    for (const auto& p : prints_)
        line("nv.print", p);
    auto list = [&](const char* key, std::uint64_t count, const std::vector<Refusal>& refusals) {
        line(key, std::to_string(count));
        for (std::size_t i = 0; i < refusals.size(); ++i)
            line(std::string(key) + "." + std::to_string(i + 1), refusals[i].reason + ": " + hexBytes(refusals[i].bytes));
    };
    list("nv.malformed", malformedCount_, malformed_);
    list("nv.ignored", ignoredCount_, ignored_);
    return out;
}

} // namespace sim
