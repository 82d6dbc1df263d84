#include "pavix/link/IfLink.h"

#include "platform/wait_hook.h"

#include <algorithm>
#include <cerrno>

namespace pavix {
namespace {

void report(const ProgressSink& progress, int percent)
{
    if (progress)
        progress(percent);
}

std::string stageText(const std::string& stage)
{
    if (stage == "opener")
        return "the link opener";
    if (stage == "connect" || stage == "send" || stage == "receive")
        return "the access-point query";
    return stage.empty() ? std::string("the request") : "the " + stage + " request";
}

// Closes the TCP port whatever way the query ends.
struct ClosePort {
    platform::Port& port;
    ~ClosePort() { port.close(); }
};

} // namespace

std::string DescribeLinkResult(const LinkResult& result, int firstByteTimeoutMs)
{
    const std::string what = stageText(result.stage);
    switch (result.status) {
    case LinkStatus::Ok:
        return {};
    case LinkStatus::NotOpen:
        return "the port is not open";
    case LinkStatus::WriteFailed:
        return "sending " + what + " failed";
    case LinkStatus::ReadFailed:
        return "reading the answer to " + what + " failed";
    case LinkStatus::NoReply:
        if (result.stage == "receive")
            return "no answer to " + what + " within " + std::to_string(kBssReceiveAttempts) + " x "
                   + std::to_string(kBssReceiveTimeoutMs) + " ms";
        return "no answer to " + what + " within " + std::to_string(firstByteTimeoutMs) + " ms";
    case LinkStatus::BadOpenerAnswer:
        return "the answer to the link opener is not 1F 57 4D 7F";
    case LinkStatus::BadReply:
        return "the answer to " + what + " is not a valid message (frame, checksum, tag or length)";
    case LinkStatus::BadRecord:
        return "the configuration does not fit the board's record";
    case LinkStatus::ConnectFailed:
        if (result.error.isSet() && result.error.code != ETIMEDOUT)
            return "no TCP connection to the board";
        return "no TCP connection to the board within " + std::to_string(kBssConnectTimeoutMs) + " ms";
    case LinkStatus::SendFailed:
        return "sending " + what + " failed";
    }
    return {};
}

LinkResult IfLink::Failure(LinkStatus status, std::string_view stage, bool withPortError)
{
    LinkResult r;
    r.status = status;
    r.stage = std::string(stage);
    if (withPortError)
        r.error = port_.lastError();
    return r;
}

LinkResult IfLink::Opener()
{
    if (!port_.isOpen())
        return Failure(LinkStatus::NotOpen, "opener", false);
    if (!port_.write(kLinkOpener))
        return Failure(LinkStatus::WriteFailed, "opener");
    const Reply reply = port_.readReply();
    if (reply.end == ReplyEnd::Failed)
        return Failure(LinkStatus::ReadFailed, "opener");
    if (!reply.hasData())
        return Failure(LinkStatus::NoReply, "opener", false);
    if (!IsOpenerAnswer(reply.bytes))
        return Failure(LinkStatus::BadOpenerAnswer, "opener", false);
    return {};
}

LinkResult IfLink::Request(std::string_view tag, Bytes& message)
{
    // "__[I_F]__[SYS_REQ]" -> "SYS_REQ"
    const std::string_view stage = tag.substr(std::min<std::size_t>(10, tag.size()), 7);
    if (!port_.write(RequestFrame(tag)))
        return Failure(LinkStatus::WriteFailed, stage);
    const Reply reply = port_.readReply();
    if (reply.end == ReplyEnd::Failed)
        return Failure(LinkStatus::ReadFailed, stage);
    if (!reply.hasData())
        return Failure(LinkStatus::NoReply, stage, false);
    std::optional<Bytes> decoded = DecodeReply(reply.bytes);
    if (!decoded)
        return Failure(LinkStatus::BadReply, stage, false);
    message = std::move(*decoded);
    return {};
}

LinkResult IfLink::ReadSystemInfo(SystemInfo& info)
{
    if (LinkResult r = Opener(); !r.ok())
        return r;
    Bytes message;
    if (LinkResult r = Request(kTagSysReq, message); !r.ok())
        return r;
    std::optional<SystemInfo> parsed = ParseSysRsp(message);
    if (!parsed)
        return Failure(LinkStatus::BadReply, "SYS_REQ", false);
    info = std::move(*parsed);
    return {};
}

LinkResult IfLink::ReadConfiguration(SystemInfo& info, IfConfigRecord& record)
{
    SystemInfo readInfo;
    if (LinkResult r = ReadSystemInfo(readInfo); !r.ok())
        return r;
    if (LinkResult r = Opener(); !r.ok())
        return r;
    Bytes message;
    if (LinkResult r = Request(kTagIfGet, message); !r.ok())
        return r;
    std::optional<IfConfigRecord> parsed = ParseIfCur(message);
    if (!parsed)
        return Failure(LinkStatus::BadReply, "IF__GET", false);
    info = std::move(readInfo);
    record = std::move(*parsed);
    return {};
}

LinkResult IfLink::WriteConfiguration(const IfConfigRecord& record)
{
    // Encoded first: a record that cannot be sent must not cost an opener.
    const std::optional<Bytes> message = BuildIfSet(record);
    if (!message)
        return Failure(LinkStatus::BadRecord, "IF__SET", false);
    if (LinkResult r = Opener(); !r.ok())
        return r;
    if (!port_.write(EncodeFrame(*message)))
        return Failure(LinkStatus::WriteFailed, "IF__SET");
    const Reply reply = port_.readReply();
    if (reply.end == ReplyEnd::Failed)
        return Failure(LinkStatus::ReadFailed, "IF__SET");
    if (!reply.hasData())
        return Failure(LinkStatus::NoReply, "IF__SET", false);
    const std::optional<Bytes> decoded = DecodeReply(reply.bytes);
    if (!decoded || !IsIfSuc(*decoded))
        return Failure(LinkStatus::BadReply, "IF__SET", false);
    return {};
}

std::optional<Bytes> IfLink::ExchangeCertificate(ByteView request, LinkResult* failure)
{
    const auto fail = [&](LinkStatus status, bool withPortError) -> std::optional<Bytes> {
        if (failure)
            *failure = Failure(status, "certificate", withPortError);
        return std::nullopt;
    };
    if (!port_.isOpen())
        return fail(LinkStatus::NotOpen, false);
    if (!port_.write(request))
        return fail(LinkStatus::WriteFailed, true);
    // The raw answers ("STRT", the IF__SUC tag) hold no 03 after the header,
    // so they end at the board's silence; the reassembly never cuts them.
    Reply reply = port_.readReply();
    if (reply.end == ReplyEnd::Failed)
        return fail(LinkStatus::ReadFailed, true);
    // Silence is an answer too: an empty one, which the upload counts as a
    // non-success and retries within its budget.
    return std::move(reply.bytes);
}

LinkResult IfLink::ReadBss(const ProgressSink& progress, BssTable& table)
{
    if (LinkResult r = Opener(); !r.ok())
        return r;
    if (!port_.write(RequestFrame(kTagBssReq)))
        return Failure(LinkStatus::WriteFailed, "BSS_REQ");
    report(progress, 25);
    static constexpr int kAfterEmpty[kBssLinkReads] = {50, 75, 100};
    Reply reply;
    for (int i = 0; i < kBssLinkReads; ++i) {
        reply = port_.readReply();
        if (reply.end == ReplyEnd::Failed)
            return Failure(LinkStatus::ReadFailed, "BSS_REQ");
        if (reply.hasData()) {
            report(progress, 100);
            break;
        }
        report(progress, kAfterEmpty[i]);
    }
    if (!reply.hasData())
        return Failure(LinkStatus::NoReply, "BSS_REQ", false);
    const std::optional<Bytes> message = DecodeReply(reply.bytes);
    std::optional<BssTable> parsed = message ? ParseBssRsp(*message) : std::nullopt;
    if (!parsed)
        return Failure(LinkStatus::BadReply, "BSS_REQ", false);
    table = std::move(*parsed);
    return {};
}

LinkResult IfLink::ReadBssOverTcp(const std::string& address, const ProgressSink& progress, BssTable& table,
                                  std::uint16_t tcpPort)
{
    LinkResult r;
    std::unique_ptr<platform::Port> socket = port_.devices().makePort(platform::DeviceKind::Tcp);
    if (!socket) {
        r.status = LinkStatus::ConnectFailed;
        r.stage = "connect";
        return r;
    }
    const auto fail = [&](LinkStatus status, const char* stage, platform::OsError error) {
        r.status = status;
        r.stage = stage;
        r.error = std::move(error);
        return r;
    };
    if (!socket->open(platform::Endpoint{address, tcpPort, kBssConnectTimeoutMs}))
        return fail(LinkStatus::ConnectFailed, "connect", socket->lastError());
    const ClosePort closer{*socket};
    socket->setReadTimeoutMs(kBssReceiveTimeoutMs);

    const Bytes request = BuildMessage(kTagBssReq);
    const int length = static_cast<int>(request.size());
    const platform::IoResult sent = socket->write(request.data(), length);
    if (!sent.complete() || sent.bytes != length) {
        platform::OsError error = sent.error.isSet() ? sent.error : socket->lastError();
        if (!error.isSet())
            error = platform::OsError{EIO, "send", address,
                                      "short send: " + std::to_string(sent.bytes) + " of " + std::to_string(length)
                                          + " bytes"};
        return fail(LinkStatus::SendFailed, "send", std::move(error));
    }
    report(progress, 0);
    report(progress, 12);

    Bytes received;
    std::uint8_t piece[PrinterPort::kReadPiece];
    for (int attempt = 0; attempt < kBssReceiveAttempts && received.empty(); ++attempt) {
        const platform::IoResult got = socket->read(piece, static_cast<int>(sizeof piece));
        if (got.bytes > 0) {
            received.assign(piece, piece + std::min<int>(got.bytes, static_cast<int>(sizeof piece)));
            break;
        }
        // A failed attempt counts like an empty one, unless the program is
        // being stopped.
        if (platform::interruptRequested())
            return fail(LinkStatus::ReadFailed, "receive", got.error);
        report(progress, 24 + 12 * attempt);
    }
    if (!received.empty()) {
        // The answer may come in several segments; it ends when the board
        // closes or goes quiet.
        socket->setReadTimeoutMs(kBssTcpQuietMs);
        while (received.size() < kBssTcpMaxBytes) {
            const int room = static_cast<int>(std::min(sizeof piece, kBssTcpMaxBytes - received.size()));
            const platform::IoResult got = socket->read(piece, room);
            if (got.bytes <= 0)
                break;
            received.insert(received.end(), piece, piece + std::min(got.bytes, room));
            if (!got.complete())
                break;
        }
    }
    report(progress, 100);
    if (received.empty())
        return fail(LinkStatus::NoReply, "receive", {});
    std::optional<BssTable> parsed = ParseBssRsp(received);
    if (!parsed)
        return fail(LinkStatus::BadReply, "receive", {});
    table = std::move(*parsed);
    return r;
}

} // namespace pavix
