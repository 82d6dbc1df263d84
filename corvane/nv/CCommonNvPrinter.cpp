// The printer exchanges of CCommonNv.
#include "corvane/nv/CCommonNv.h"
#include "corvane/nv/NvCommands.h"
#include "corvane/nv/NvKeyList.h"

#include <algorithm>
#include <array>
#include <cstdio>

namespace corvane {
namespace {

constexpr std::uint32_t kPassPauseMs = 150;
constexpr int kReadPieceBytes = 255;
constexpr int kReadWaitHintMs = 1000;
constexpr std::uint32_t kBetweenReadsMs = 10;
constexpr std::size_t kAccumulatorBytes = 1024;
// A pass ends once this long has passed and a read has come back empty.
constexpr std::uint64_t kPassQuietMs = 2000;
// A line that keeps delivering bytes without a NUL never reads empty; the
// pass is cut off here instead.
constexpr std::uint64_t kPassLimitMs = 5000;
// A printer that keeps answering "more blocks follow" is given up on here
// (an address list of 256 blocks is far beyond the NV area's capacity).
constexpr int kMaxKeyBlocks = 256;
// The number of prints of a print-all when no count is known.
constexpr int kPrintAllUnknownCount = 78;
constexpr std::uint32_t kMaxIndexedCount = 255;
constexpr std::size_t kDataPieceBytes = 4096;

} // namespace

int CCommonNv::send(const std::uint8_t* data, std::size_t length)
{
    const int want = static_cast<int>(length);
    if (util_.port.Write(data, want) != want) {
        util_.port.Close();
        return kShortWrite;
    }
    return kOk;
}

int CCommonNv::ReadKeyList()
{
    CDev& port = util_.port;
    if (!port.IsOpen())
        return kNotOpen;
    const auto command = nv::ReadKeyListCommand();
    if (send(command.data(), command.size()) != kOk)
        return kShortWrite;

    // Cancels the reply so the printer stops waiting for an ACK.
    const auto refuse = [&] {
        const std::uint8_t can = nv::kCan;
        port.Write(&can, 1);
        port.Close();
        return kBadFormat;
    };

    // Counted over the whole exchange, not per pass.
    int emptyReads = 0;
    std::array<std::uint8_t, kAccumulatorBytes> accumulator{};
    std::array<std::uint8_t, kReadPieceBytes> piece{};
    for (int block = 0;; ++block) {
        if (block == kMaxKeyBlocks)
            return refuse();
        clock_.pauseMs(kPassPauseMs);
        std::size_t stored = 0;
        const std::uint64_t passStart = clock_.tickMs();
        bool cutOff = false;
        for (;;) {
            const int n = port.Read(piece.data(), kReadPieceBytes, kReadWaitHintMs);
            bool terminated = false;
            if (n <= 0) {
                ++emptyReads;
            } else {
                const std::size_t got = std::min<std::size_t>(static_cast<std::size_t>(n), piece.size());
                for (std::size_t i = 0; i < got; ++i) {
                    if (stored < accumulator.size())
                        accumulator[stored++] = piece[i];
                    if (piece[i] == 0x00) {
                        terminated = true;
                        break;
                    }
                }
            }
            if (terminated)
                break;
            clock_.pauseMs(kBetweenReadsMs);
            const std::uint64_t elapsed = clock_.tickMs() - passStart;
            if (elapsed > kPassQuietMs && emptyReads > 0)
                break;
            if (elapsed >= kPassLimitMs) {
                cutOff = true;
                break;
            }
        }
        if (cutOff)
            return refuse();

        const nv::KeyBlock parsed = nv::ParseKeyBlock(accumulator.data(), stored);
        if (parsed.verdict == nv::KeyBlockVerdict::Malformed)
            return refuse();
        const std::uint8_t ack = nv::kAck;
        if (send(&ack, 1) != kOk)
            return kShortWrite;
        if (block == 0)
            addresses.clear();
        if (parsed.verdict == nv::KeyBlockVerdict::Empty)
            return kNvEmpty;
        addresses.insert(addresses.end(), parsed.keys.begin(), parsed.keys.end());
        if (!parsed.more)
            return kOk;
    }
}

int CCommonNv::LoadIndexedList(const platform::RegistryStore& store, const std::string& keyPath)
{
    if (!util_.port.IsOpen())
        return kNotOpen;
    // A count from the registry is only as good as whoever wrote it: the
    // printer's set holds at most 255 images (8-bit count).
    const std::uint32_t count = std::min(ReadStoredCount(store, keyPath), kMaxIndexedCount);
    storedCount = static_cast<std::int32_t>(count);
    if (count == 0)
        return kNvEmpty;
    addresses.clear();
    for (std::uint32_t i = 0; i < count; ++i) {
        char text[16];
        std::snprintf(text, sizeof text, "%02u", static_cast<unsigned>(i));
        addresses.emplace_back(text);
    }
    return kOk;
}

int CCommonNv::DeleteKey(std::string_view key)
{
    if (!util_.port.IsOpen())
        return kNotOpen;
    if (key.size() < 2)
        return kNvShortKey;
    const auto command = nv::DeleteKeyCommand(std::uint8_t(key[0]), std::uint8_t(key[1]));
    return send(command.data(), command.size());
}

int CCommonNv::DeleteAllKeyed()
{
    if (!util_.port.IsOpen())
        return kNotOpen;
    const auto command = nv::DeleteAllKeyedCommand();
    return send(command.data(), command.size());
}

int CCommonNv::DeleteAllIndexed(platform::RegistryStore& store, const std::string& keyPath)
{
    if (!util_.port.IsOpen())
        return kNotOpen;
    const auto command = nv::DeleteAllIndexedCommand();
    if (send(command.data(), command.size()) != kOk)
        return kShortWrite;
    storedCount = 0;
    // The printer's set is gone whether or not the registry takes the 0;
    // the manager writes the count again when it closes.
    WriteStoredCount(store, keyPath, 0);
    return kOk;
}

int CCommonNv::PrintKey(std::string_view key)
{
    if (!util_.port.IsOpen())
        return kNotOpen;
    if (key.size() < 2)
        return kNvShortKey;
    const auto command = nv::PrintKeyCommand(std::uint8_t(key[0]), std::uint8_t(key[1]));
    return send(command.data(), command.size());
}

int CCommonNv::PrintAllKeys()
{
    if (!util_.port.IsOpen())
        return kNotOpen;
    if (addresses.empty())
        return kNvEmpty;
    for (const std::string& key : addresses) {
        // The list holds only keys read from the printer (two characters
        // each); anything shorter is skipped rather than read past.
        if (key.size() < 2)
            continue;
        const auto command = nv::PrintKeyCommand(std::uint8_t(key[0]), std::uint8_t(key[1]));
        if (send(command.data(), command.size()) != kOk)
            return kShortWrite;
    }
    return kOk;
}

int CCommonNv::PrintIndex(std::uint8_t index)
{
    // No open check: a closed port fails the write (300).
    const auto command = nv::PrintIndexCommand(index);
    return send(command.data(), command.size());
}

int CCommonNv::PrintAllIndexed()
{
    if (!util_.port.IsOpen())
        return kNotOpen;
    // Without a known count the whole index range a printer commonly
    // holds is printed; a count beyond the 8-bit indices is cut there.
    const int count = std::clamp<std::int32_t>(storedCount, 0, std::int32_t(kMaxIndexedCount));
    const int prints = count == 0 ? kPrintAllUnknownCount : count;
    for (int i = 0; i < prints; ++i) {
        const auto command = nv::PrintIndexCommand(static_cast<std::uint8_t>(i));
        if (send(command.data(), command.size()) != kOk)
            return kShortWrite;
    }
    return kOk;
}

int CCommonNv::SendIndexedHeader(std::uint8_t count, std::uint32_t totalBlockBytes)
{
    if (!util_.port.IsOpen())
        return kNotOpen;
    const auto header = nv::DefineAllHeader(count, totalBlockBytes);
    return send(header.data(), header.size());
}

int CCommonNv::SendCommandData(const NvCommand& command)
{
    // No open check: a closed port fails the first write (300).
    const std::size_t length = command.data.size();
    for (std::size_t sent = 0; sent < length;) {
        const std::size_t piece = std::min(kDataPieceBytes, length - sent);
        if (send(command.data.data() + sent, piece) != kOk)
            return kShortWrite;
        sent += piece;
    }
    return kOk;
}

} // namespace corvane
