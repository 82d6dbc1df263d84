#include "telvara/link/ConnectionCheck.h"

#include "telvara/link/IdReplies.h"
#include "telvara/link/LinkTexts.h"

#include <array>

namespace telvara {

bool ConnectionCheck::byteKind() const
{
    return link_.kind() == LinkKind::Serial || link_.kind() == LinkKind::Parallel;
}

CheckResult ConnectionCheck::fail(std::string key, std::string_view message)
{
    CheckResult r;
    r.errorKey = std::move(key);
    r.message = message;
    r.caption = texts::kWarning;
    r.error = link_.lastError();
    link_.Close();
    return r;
}

void ConnectionCheck::drain()
{
    const std::uint64_t start = clock_.tickMs();
    int empty = 0;
    for (;;) {
        std::uint8_t byte = 0;
        empty = link_.Read(&byte, 1) > 0 ? 0 : empty + 1;
        if (empty >= kDrainEmptyReads || clock_.tickMs() - start >= kDrainBoundMs)
            return;
        clock_.pauseMs(kDrainStepMs);
    }
}

bool ConnectionCheck::send(std::initializer_list<std::uint8_t> bytes)
{
    const int length = static_cast<int>(bytes.size());
    return link_.Write(bytes.begin(), length) == length;
}

bool ConnectionCheck::printerId()
{
    if (!byteKind()) {
        clock_.pauseMs(kPacketPauseMs);
        std::array<std::uint8_t, kPacketReadBytes> reply{};
        int n = link_.Read(reply.data(), kPacketReadBytes);
        if (n <= 0)
            n = link_.Read(reply.data(), kPacketReadBytes);
        return IsPrinterIdReply(ByteView(reply.data(), static_cast<std::size_t>(std::max(n, 0))));
    }
    clock_.pauseMs(kByteReadPauseMs);
    std::uint8_t byte = 0;
    if (link_.Read(&byte, 1) == 1 && byte == kPrinterIdByte)
        return true;
    for (int retry = 0; retry < kIdRetries; ++retry) {
        clock_.pauseMs(kByteReadPauseMs);
        if (link_.Read(&byte, 1) == 1 && byte == kPrinterIdByte)
            return true;
    }
    return false;
}

std::string ConnectionCheck::text()
{
    if (!byteKind()) {
        clock_.pauseMs(kPacketPauseMs);
        std::array<std::uint8_t, kPacketReadBytes> reply{};
        int n = link_.Read(reply.data(), kPacketReadBytes);
        if (n <= 0)
            n = link_.Read(reply.data(), kPacketReadBytes);
        return PacketText(ByteView(reply.data(), static_cast<std::size_t>(std::max(n, 0))));
    }
    clock_.pauseMs(kByteReadPauseMs);
    TextCollector collector;
    const std::uint64_t start = clock_.tickMs();
    while (!collector.done()) {
        std::uint8_t byte = 0;
        if (link_.Read(&byte, 1) == 1) {
            collector.feed(byte);
            continue;
        }
        if (collector.anyByte() || clock_.tickMs() - start >= kTextSilenceBoundMs)
            break;
    }
    return collector.text();
}

CheckResult ConnectionCheck::run(const LinkConfig& config, const BeforeOpen& beforeOpen)
{
    if (link_.Configure(config) == 0)
        return fail("config", texts::kConfigRefused);
    if (beforeOpen && byteKind()) {
        CheckResult refused;
        if (!beforeOpen(link_.choice(), refused)) {
            link_.Close();
            return refused;
        }
    }
    if (link_.Open(0) == 0) {
        CheckResult r = fail("open", texts::kOpenFailed);
        if (link_.lastOpenFailure() == OpenFailure::SocketNotCreated) {
            r.message = texts::kSocketNotCreated;
            r.caption = texts::kError;
        } else if (link_.lastOpenFailure() == OpenFailure::NotConnected) {
            r.message = texts::kSocketNotConnected;
            r.caption = texts::kError;
        }
        return r;
    }
    if (byteKind())
        drain();
    if (!send({0x1b, 0x40}))
        return fail("port", texts::kPortError);
    send({0x1b, 0x3d, 0x01});
    send({0x1d, 0x61, 0x00});
    if (byteKind()) {
        for (int i = 0; i < kDiscardReads; ++i) {
            clock_.pauseMs(kByteReadPauseMs);
            std::uint8_t byte = 0;
            link_.Read(&byte, 1);
        }
    }
    send({0x1d, 0x49, 0x03});
    if (!printerId())
        return fail("printer-id", texts::kNoPrinterId);

    send({0x1d, 0x49, 0x42});
    const std::string maker = text();
    clock_.pauseMs(kAfterMakerMs);
    if (!IsOurMaker(maker)) {
        CheckResult r = fail("maker", texts::kWrongMaker);
        r.maker = maker;
        r.detail = "the printer gave the maker name \"" + maker + "\"";
        return r;
    }
    send({0x1d, 0x49, 0x43});
    const std::string model = text();
    if (!IsOurModel(model)) {
        CheckResult r = fail("model", texts::kWrongModel);
        r.maker = maker;
        r.model = model;
        r.detail = "the printer gave the model name \"" + model + "\"";
        return r;
    }
    CheckResult r;
    r.ok = true;
    r.message = texts::kConnected;
    r.caption = texts::kInformation;
    r.maker = maker;
    r.model = model;
    return r;
}

CheckResult ConnectionCheck::selfTest()
{
    const int length = static_cast<int>(sizeof kSelfTestCommand);
    if (link_.Write(kSelfTestCommand, length) != length)
        return fail("port", texts::kPortError);
    clock_.pauseMs(kSelfTestMs);
    CheckResult r;
    r.ok = true;
    return r;
}

} // namespace telvara
