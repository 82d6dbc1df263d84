// The network-board personality (wire format in network_board.h).
#include "sim/network_board.h"

#include "sim/models.h"

#include <algorithm>

namespace sim {

namespace {

constexpr std::string_view kTags[] = {
    {},  // the opener has no tag
    "__[I_F]__[SYS_REQ]",
    "__[I_F]__[IF__GET]",
    "__[I_F]__[BSS_REQ]",
    "__[I_F]__[IF__SET]",
};
constexpr std::string_view kNames[] = {"opener", "sys-req", "if-get", "bss-req", "if-set"};
// The exact length of each request message: a bare tag and its checksum,
// or IF__SET's tag, record, pad byte and checksum.
constexpr std::size_t kRequestSize[] = {0, 20, 20, 20, 624};

constexpr std::string_view kTagSysRsp = "__[I_F]__[SYS_RSP]";
constexpr std::string_view kTagIfCur = "__[I_F]__[IF__CUR]";
constexpr std::string_view kTagBssRsp = "__[I_F]__[BSS_RSP]";
constexpr std::string_view kTagIfSuc = "__[I_F]__[IF__SUC]";

std::size_t index(BoardExchange e)
{
    return static_cast<std::size_t>(e);
}

int lowerHexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

void put(std::string& block, std::size_t offset, std::string_view bytes)
{
    block.replace(offset, bytes.size(), bytes);
}

void putText(std::string& block, std::size_t offset, std::size_t width, std::string_view text)
{
    put(block, offset, text.substr(0, width));
}

void put16(std::string& block, std::size_t offset, std::uint16_t value)
{
    block[offset] = static_cast<char>(value >> 8);
    block[offset + 1] = static_cast<char>(value & 0xff);
}

void putIp(std::string& block, std::size_t offset, std::uint8_t a, std::uint8_t b, std::uint8_t c, std::uint8_t d)
{
    const char ip[4] = {static_cast<char>(a), static_cast<char>(b), static_cast<char>(c), static_cast<char>(d)};
    put(block, offset, std::string_view(ip, 4));
}

void putBssEntry(std::string& body, std::string_view ssid, std::string_view bssid, std::uint8_t mode,
                 std::int16_t rssi, std::uint8_t flags)
{
    body.push_back('\x00');
    body.push_back(static_cast<char>(ssid.size()));
    body.append(ssid);
    body.push_back('\x01');
    body.push_back(static_cast<char>(bssid.size()));
    body.append(bssid);
    body.push_back(static_cast<char>(mode));
    const auto raw = static_cast<std::uint16_t>(rssi);
    body.push_back(static_cast<char>(raw >> 8));
    body.push_back(static_cast<char>(raw & 0xff));
    body.push_back(static_cast<char>(flags));
}

constexpr ModelInfo kModels[] = {
    {"IFB-W1", {}, "IFB-W1", "IFB-W1 V2.10"},
};

PrinterConfig configFor(const ModelInfo& model)
{
    PrinterConfig config;
    config.modelReply = std::string(model.reply);
    config.versionReply = std::string(model.version);
    config.board.firmware = std::string(model.version);
    config.board.record = defaultIfRecord();
    config.board.bssBody = defaultBssBody();
    return config;
}

std::unique_ptr<PrinterState> makeState(const PrinterConfig& config)
{
    return std::make_unique<NetworkBoard>(config);
}

// The board's link commands all start 1F 57 43 and are read by its state
// (NetworkBoard::onFrame); this row only makes the prefix known to the
// table rules, and is replaced when the state adds its own handler.
HandlerResult frameRow(const PrinterConfig&, std::string_view)
{
    return HandlerResult::notCommand();
}

constexpr CommandRow kCommands[] = {
    {kFrameStart, frameRow},
};

} // namespace

std::string defaultIfRecord()
{
    std::string r(NetworkBoardConfig::kRecordSize, '\0');
    putText(r, 0, 64, "QX Mobile Printer");
    r[65] = 0;  // infrastructure
    r[66] = 0;  // manual allocation
    putIp(r, 67, 192, 168, 0, 100);
    putIp(r, 71, 255, 255, 255, 0);
    putIp(r, 75, 192, 168, 0, 1);
    putText(r, 79, 32, "quellix-lab");
    r[111] = 3;  // WPA2-PSK
    r[112] = 4;  // AES
    putText(r, 217, 64, "printer-psk-2025");
    r[281] = 11;  // ad hoc channel
    r[282] = 5;   // EAP: none
    putText(r, 347, 32, "admin");
    putText(r, 379, 32, "admin123");
    put16(r, 411, 9100);
    r[544] = 1;  // HTTPS
    r[545] = 0;  // TELNET
    r[546] = 1;  // FTP
    r[547] = 1;  // SNMP
    putText(r, 549, 16, "private");
    putText(r, 565, 16, "public");
    putText(r, 581, 16, "public");
    putIp(r, 597, 192, 168, 0, 10);
    put16(r, 601, 300);
    return r;
}

std::string defaultBssBody()
{
    using namespace std::string_view_literals;  // the BSSIDs hold zero bytes
    std::string body;
    putBssEntry(body, "quellix-lab", "\x00\x1a\x2b\x3c\x4d\x5e"sv, 0, -48, 0x08);
    putBssEntry(body, "guest-wep", "\x02\x11\x22\x33\x44\x55"sv, 0, -71, 0x01);
    putBssEntry(body, "adhoc-cell", "\x06\xaa\xbb\xcc\xdd\xee"sv, 1, -80, 0x00);
    return body;
}

std::uint16_t internetChecksum(std::string_view bytes)
{
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i < bytes.size(); i += 2) {
        std::uint32_t word = static_cast<std::uint8_t>(bytes[i]) << 8;
        if (i + 1 < bytes.size())
            word |= static_cast<std::uint8_t>(bytes[i + 1]);
        sum += word;
        sum = (sum & 0xffff) + (sum >> 16);
    }
    return static_cast<std::uint16_t>(~sum & 0xffff);
}

std::string boardMessage(std::string_view tag, std::string_view body)
{
    std::string m(tag);
    m.append(body);
    if (m.size() % 2 != 0)
        m.push_back('\0');
    m.append(2, '\0');
    put16(m, m.size() - 2, internetChecksum(m));
    return m;
}

bool checksumValid(std::string_view message)
{
    return internetChecksum(message) == 0;
}

std::string hexOf(std::string_view bytes, bool upper)
{
    const char* digits = upper ? "0123456789ABCDEF" : "0123456789abcdef";
    std::string out;
    out.reserve(bytes.size() * 2);
    for (const char c : bytes) {
        const auto b = static_cast<std::uint8_t>(c);
        out.push_back(digits[b >> 4]);
        out.push_back(digits[b & 0x0f]);
    }
    return out;
}

std::string_view exchangeName(BoardExchange exchange)
{
    return kNames[index(exchange)];
}

NetworkBoard::NetworkBoard(const PrinterConfig& config) : config_(config.board), record_(config.board.record)
{
    record_.resize(NetworkBoardConfig::kRecordSize, '\0');
}

void NetworkBoard::addCommands(CommandParser& parser)
{
    parser.addCommand(std::string(kFrameStart), [this](std::string_view input) { return onFrame(input); });
}

HandlerResult NetworkBoard::refuse(std::size_t consumed, std::string_view frame, const std::string& reason)
{
    ++errors_;
    if (errorLines_.size() < kMaxBoardErrorLines) {
        std::string shown = hexOf(frame.substr(0, kBoardErrorBytesShown));
        if (frame.size() > kBoardErrorBytesShown)
            shown += "...";
        errorLines_.push_back(reason + ": " + shown);
    }
    return HandlerResult::done(consumed, std::string(kBoardNak));
}

std::string NetworkBoard::frameReply(std::string_view message) const
{
    return std::string(kReplyStart) + hexOf(message, config_.upperHex) + "\x03";
}

HandlerResult NetworkBoard::onFrame(std::string_view input)
{
    if (input.size() <= kFrameStart.size())
        return HandlerResult::needMore();
    const std::size_t end = input.find('\x03', kFrameStart.size());
    if (end == std::string_view::npos) {
        if (input.size() < kMaxRequestFrame)
            return HandlerResult::needMore();
        return refuse(kMaxRequestFrame, input.substr(0, kMaxRequestFrame),
                      "no 03 within " + std::to_string(kMaxRequestFrame) + " bytes");
    }
    const std::string_view frame = input.substr(0, end + 1);
    if (frame == kLinkOpener) {
        ++openers_;
        const bool silent = config_.silentOn[index(BoardExchange::Opener)];
        return HandlerResult::done(frame.size(), silent ? std::string() : config_.openerAnswer);
    }

    if (const auto type = certificateStartType(frame))
        return onCertificateStart(*type, frame);

    const std::string_view hex = frame.substr(kFrameStart.size(), frame.size() - kFrameStart.size() - 1);
    if (hex.size() % 2 != 0)
        return refuse(frame.size(), frame, "odd number of hex digits");
    std::string message;
    message.reserve(hex.size() / 2);
    for (std::size_t i = 0; i < hex.size(); i += 2) {
        const int hi = lowerHexDigit(hex[i]);
        const int lo = lowerHexDigit(hex[i + 1]);
        if (hi < 0 || lo < 0)
            return refuse(frame.size(), frame, "not lower-case hex at byte " + std::to_string(3 + i + (hi < 0 ? 0 : 1)));
        message.push_back(static_cast<char>(hi * 16 + lo));
    }
    if (isCertificateChunk(message))
        return onCertificateChunk(frame, message);
    if (message.size() < kBoardTagSize + 2)
        return refuse(frame.size(), frame, "message of " + std::to_string(message.size()) + " bytes");
    if (!checksumValid(message))
        return refuse(frame.size(), frame, "bad checksum");
    const std::string_view tag = std::string_view(message).substr(0, kBoardTagSize);
    const auto* found = std::find(std::begin(kTags) + 1, std::end(kTags), tag);
    if (found == std::end(kTags))
        return refuse(frame.size(), frame, "unknown tag");
    const auto exchange = static_cast<BoardExchange>(found - std::begin(kTags));
    if (message.size() != kRequestSize[index(exchange)])
        return refuse(frame.size(), frame,
                      std::string(exchangeName(exchange)) + " of " + std::to_string(message.size()) + " bytes, want "
                          + std::to_string(kRequestSize[index(exchange)]));

    ++frames_[index(exchange)];
    if (exchange == BoardExchange::IfSet)
        return onIfSet(frame, message);
    const auto reply = replyMessage(exchange);
    return HandlerResult::done(frame.size(), reply ? frameReply(*reply) : std::string());
}

HandlerResult NetworkBoard::onIfSet(std::string_view frame, std::string_view message)
{
    if (config_.setFails && !config_.silentOn[index(BoardExchange::IfSet)]) {
        // A well-formed answer that is not IF__SUC: only its tag tells.
        return HandlerResult::done(frame.size(), frameReply(boardMessage("__[I_F]__[IF__ERR]")));
    }
    record_.assign(message, kBoardTagSize, NetworkBoardConfig::kRecordSize);
    if (recordSink_)
        recordSink_(record_);
    const auto reply = replyMessage(BoardExchange::IfSet);
    return HandlerResult::done(frame.size(), reply ? frameReply(*reply) : std::string());
}

HandlerResult NetworkBoard::onCertificateStart(std::size_t type, std::string_view frame)
{
    if (config_.certNoStart)
        return refuse(frame.size(), frame, "certificate start refused (--cert-no-start)");
    certificates_.start(type);
    garbageLeft_ = config_.certGarbage;
    return HandlerResult::done(frame.size(), std::string(kCertStartAnswer));
}

HandlerResult NetworkBoard::onCertificateChunk(std::string_view frame, std::string_view message)
{
    if (garbageLeft_ > 0) {
        // Neither stored nor refused: the host must send the same chunk again.
        --garbageLeft_;
        certificates_.countGarbage();
        return HandlerResult::done(frame.size(), std::string("\x1f\x57\x4d" "\xa5garbage!", 12));
    }
    const std::string problem = certificates_.chunk(message);
    if (!problem.empty())
        return refuse(frame.size(), frame, problem);
    garbageLeft_ = config_.certGarbage;
    if (certificates_.committed() && certificateSink_) {
        const std::size_t type = *certificates_.lastCommitted();
        certificateSink_(type, *certificates_.stored(type));
    }
    return HandlerResult::done(frame.size(), std::string(kCertChunkAnswer));
}

std::optional<std::string> NetworkBoard::replyMessage(BoardExchange exchange) const
{
    const std::size_t i = index(exchange);
    if (config_.silentOn[i])
        return std::nullopt;
    std::string_view tag;
    std::string block;
    switch (exchange) {
    case BoardExchange::Opener:
        return config_.openerAnswer;
    case BoardExchange::SysReq:
        tag = kTagSysRsp;
        block.assign(NetworkBoardConfig::kFirmwareWidth + NetworkBoardConfig::kUpdateDateWidth, '\0');
        putText(block, 0, NetworkBoardConfig::kFirmwareWidth, config_.firmware);
        putText(block, NetworkBoardConfig::kFirmwareWidth, NetworkBoardConfig::kUpdateDateWidth, config_.updateDate);
        block.append(reinterpret_cast<const char*>(config_.mac.data()), config_.mac.size());
        break;
    case BoardExchange::IfGet:
        tag = kTagIfCur;
        block = record_;
        break;
    case BoardExchange::BssReq:
        tag = kTagBssRsp;
        block = config_.bssBody;
        break;
    case BoardExchange::IfSet:
        tag = kTagIfSuc;
        break;
    }
    // A block two bytes short with a valid checksum: the checksum lands
    // where the block's last bytes belong, which only a length check catches.
    if (config_.shortReply[i])
        block.resize(block.size() >= 2 ? block.size() - 2 : 0);
    std::string message = boardMessage(tag, block);
    if (config_.badChecksum[i])
        message.back() = static_cast<char>(message.back() ^ 0x01);
    return message;
}

std::optional<std::string> NetworkBoard::answerTcp(std::string_view message)
{
    ++tcpQueries_;
    tcpLast_ = hexOf(message.substr(0, kMaxRequestFrame));
    const bool request = message.size() == kRequestSize[index(BoardExchange::BssReq)]
                         && message.starts_with(kTags[index(BoardExchange::BssReq)]) && checksumValid(message);
    if (!request) {
        ++tcpErrors_;
        return std::string();
    }
    return replyMessage(BoardExchange::BssReq);
}

std::string NetworkBoard::report() const
{
    std::string out = "board.openers: " + std::to_string(openers_) + "\n";
    for (std::size_t i = 1; i < kBoardExchanges; ++i)
        out += "board.frames." + std::string(kNames[i]) + ": " + std::to_string(frames_[i]) + "\n";
    out += "board.errors: " + std::to_string(errors_) + "\n";
    for (std::size_t k = 0; k < errorLines_.size(); ++k)
        out += "board.error." + std::to_string(k + 1) + ": " + errorLines_[k] + "\n";
    out += "board.tcp.queries: " + std::to_string(tcpQueries_) + "\n";
    out += "board.tcp.errors: " + std::to_string(tcpErrors_) + "\n";
    out += "board.tcp.last: " + tcpLast_ + "\n";
    out += "board.record: " + hexOf(record_) + "\n";
    out += certificates_.report();
    return out;
}

NetworkBoard* networkBoardOf(Printer& printer)
{
    return dynamic_cast<NetworkBoard*>(printer.state());
}

const NetworkBoard* networkBoardOf(const Printer& printer)
{
    return dynamic_cast<const NetworkBoard*>(printer.state());
}

constinit const Personality networkBoardPersonality{
    "network-board", "WLAN/Ethernet interface board on its configuration link", kCommands, kModels, "IFB-W1",
    configFor, makeState,
};

} // namespace sim
