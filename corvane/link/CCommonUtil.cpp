#include "corvane/link/CCommonUtil.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

namespace corvane {
namespace {

constexpr std::uint8_t kCmdCodePage[3] = {0x1D, 0x49, 0x45};
constexpr std::uint8_t kCmdModel[3] = {0x1D, 0x49, 0x43};
constexpr std::uint8_t kCmdVersion[3] = {0x1D, 0x49, 0x41};
constexpr std::uint8_t kCmdMsrMode[3] = {0x1B, 0x4D, 0x49};

constexpr int kCodePageBuffer = 100;
constexpr int kModelBuffer = 30;
constexpr int kModelReadSize = 20;
constexpr int kVersionBuffer = 40;
constexpr int kVersionReadSize = 40;
constexpr int kMsrReplySize = 4;

constexpr std::uint32_t kCodePageSettleMs = 100;
constexpr std::uint32_t kMsrSettleMs = 200;
constexpr std::uint64_t kTextReplyLimitMs = 3000;
constexpr std::uint64_t kMsrReplyLimitMs = 5000;

// Only the first 16 characters may hold the underscore that starts a model
// reply; anything before it is line noise.
constexpr std::size_t kUnderscoreWindow = 16;

// Character k of `text`, or NUL past its end.
char at(std::string_view text, std::size_t k)
{
    return k < text.size() ? text[k] : '\0';
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// The digits of the given characters read as a decimal number up to the
// first non-digit (0 when the first is not a digit).
std::uint32_t valueOf(std::initializer_list<char> chars)
{
    std::uint32_t value = 0;
    for (char c : chars) {
        if (!isDigit(c))
            break;
        value = value * 10 + static_cast<std::uint32_t>(c - '0');
    }
    return value;
}

std::string_view upToNul(const std::uint8_t* data, std::size_t size)
{
    const auto* text = reinterpret_cast<const char*>(data);
    const void* nul = std::memchr(text, 0, size);
    return {text, nul ? static_cast<std::size_t>(static_cast<const char*>(nul) - text) : size};
}

std::string fromSecondCharacter(std::string_view text)
{
    return text.empty() ? std::string() : std::string(text.substr(1));
}

} // namespace

int ModelCodeFromReply(std::string_view reply)
{
    const std::size_t window = std::min(reply.size(), kUnderscoreWindow);
    const auto u = reply.substr(0, window).find('_');
    if (u == std::string_view::npos)
        return kModelUnknown;
    auto pos = [&](std::size_t k) { return at(reply, u + k); };

    if (pos(1) == 'K' && pos(2) == 'M' && pos(3) == 'P') {
        if (pos(5) != 'Z')
            return kModelUnknown;
        switch (pos(6)) {
        case '4':
            // The length counts from the reply's first character, not from
            // the underscore: noise before it hides the W and II variants.
            if (reply.size() == 11 && pos(9) == 'I' && pos(10) == 'I')
                return kModelZ400II;
            if (reply.size() == 10 && pos(9) == 'W')
                return kModelZ400W;
            return kModelZ400;
        case '6':
            return kModelZ600;
        case '8':
            return kModelZ800;
        default:
            return kModelUnknown;
        }
    }
    if (pos(1) == 'V' && pos(2) == 'X' && pos(4) == '4' && pos(5) == '4')
        return kModelVX440;
    return kModelUnknown;
}

std::uint32_t VersionNumberFromReply(std::string_view r, int modelCode)
{
    if (modelCode != kModelZ400 && modelCode != kModelVX440)
        return (valueOf({at(r, 2), at(r, 3), at(r, 5), at(r, 6)}) + 10000) * 10;
    if (r.substr(0, 6) == "_VER V")
        return valueOf({at(r, 6), at(r, 8), at(r, 9)}) * 10;
    if (r.substr(0, 5) == "_VER ") {
        const std::uint32_t tms = r.size() >= 9 && r.substr(6, 3) == "TMS" ? 1 : 0;
        return (valueOf({at(r, 11), at(r, 13), at(r, 14)}) + 1000) * 10 + tms;
    }
    const std::uint32_t beta = r.substr(0, 2) == "_B" ? 1 : 0;
    return (valueOf({at(r, 2), at(r, 3), at(r, 5), at(r, 6)}) + 2000) * 10 + beta;
}

CCommonUtil::CCommonUtil(platform::Clock& clock, platform::Devices& devices)
    : port(clock, devices), clock_(clock)
{
    port.settings = PortSettings{};
}

CCommonUtil::~CCommonUtil() = default;

void CCommonUtil::ApplyPortSettings()
{
    port.settings = settings;
}

int CCommonUtil::CheckPrinter(int queryType)
{
    switch (queryType) {
    case kQueryCodePage:
        return queryCodePage();
    case kQueryModel:
        return queryModel();
    case kQueryVersion:
        return queryVersion();
    case kQueryMsrMode:
        return queryMsrMode();
    default:
        return kOk;
    }
}

int CCommonUtil::sendQuery(const std::uint8_t (&command)[3])
{
    if (!port.IsOpen())
        return kNotOpen;
    if (port.Write(command, 3) != 3) {
        port.Close();
        return kShortWrite;
    }
    return kOk;
}

int CCommonUtil::queryCodePage()
{
    if (const int rc = sendQuery(kCmdCodePage); rc != kOk)
        return rc;
    clock_.pauseMs(kCodePageSettleMs);
    std::array<std::uint8_t, kCodePageBuffer> buffer{};
    int received = std::clamp(port.Read(buffer.data(), kCodePageBuffer, 1000), 0, kCodePageBuffer);
    // A printer that keeps quiet here is not an error: it has the default page.
    if (received == 0) {
        codePage = "_PC437";
        return kOk;
    }
    // A reply that is still coming (no NUL yet) is read on while more
    // arrives, so a name split over two reads is not cut short.
    while (received < kCodePageBuffer && !std::memchr(buffer.data(), 0, static_cast<std::size_t>(received))) {
        const int n = port.Read(buffer.data() + received, kCodePageBuffer - received, 1000);
        if (n <= 0)
            break;
        received += std::min(n, kCodePageBuffer - received);
    }
    codePage = std::string(upToNul(buffer.data(), static_cast<std::size_t>(received)));
    return kOk;
}

// Collects a NUL-terminated reply into a buffer of bufferSize bytes, reading
// up to readSize bytes at a time, for 3000 ms at most (the last read may end
// one read time-out later). The whole buffer is read from the port, so a
// reply that fits it exactly takes its NUL along instead of leaving it to
// the next query; the text is at most bufferSize - 1 characters, as a C
// string in that buffer would be.
int CCommonUtil::queryText(const std::uint8_t (&command)[3], int bufferSize, int readSize, std::string& reply)
{
    if (const int rc = sendQuery(command); rc != kOk)
        return rc;
    std::vector<std::uint8_t> buffer(static_cast<std::size_t>(bufferSize), 0);
    int received = 0;
    const std::uint64_t start = clock_.tickMs();
    for (;;) {
        const int room = bufferSize - received;
        if (room <= 0)
            break; // full without a NUL: parse what fits
        const int n = port.Read(buffer.data() + received, std::min(readSize, room), 1);
        if (n > 0)
            received += std::min(n, room);
        if (received > 0 && buffer[static_cast<std::size_t>(received) - 1] == 0)
            break;
        if (clock_.tickMs() - start > kTextReplyLimitMs)
            break;
    }
    if (received == 0) {
        port.Close();
        return kNoReply;
    }
    const auto textLimit = static_cast<std::size_t>(std::min(received, bufferSize - 1));
    reply = std::string(upToNul(buffer.data(), textLimit));
    return kOk;
}

int CCommonUtil::queryModel()
{
    std::string reply;
    if (const int rc = queryText(kCmdModel, kModelBuffer, kModelReadSize, reply); rc != kOk)
        return rc;
    g_Model = ModelCodeFromReply(reply);
    if (g_Model == kModelUnknown) {
        port.Close();
        return kNotSupported;
    }
    modelName = fromSecondCharacter(reply);
    return kOk;
}

int CCommonUtil::queryVersion()
{
    std::string reply;
    if (const int rc = queryText(kCmdVersion, kVersionBuffer, kVersionReadSize, reply); rc != kOk)
        return rc;
    g_Getver = VersionNumberFromReply(reply, g_Model);
    firmwareVersion = fromSecondCharacter(reply);
    return kOk;
}

// The reply is 37 80 <mode> 00. It is collected until all four bytes are
// in, so a reply that arrives in pieces (as TCP/IP and USB links deliver
// it) is still accepted.
int CCommonUtil::queryMsrMode()
{
    if (const int rc = sendQuery(kCmdMsrMode); rc != kOk)
        return rc;
    clock_.pauseMs(kMsrSettleMs);
    std::array<std::uint8_t, kMsrReplySize> reply{};
    int received = 0;
    const std::uint64_t start = clock_.tickMs();
    while (received < kMsrReplySize) {
        const int n = port.Read(reply.data() + received, kMsrReplySize - received, 1);
        if (n > 0)
            received += std::min(n, kMsrReplySize - received);
        if (received < kMsrReplySize && clock_.tickMs() - start > kMsrReplyLimitMs)
            break;
    }
    if (received != kMsrReplySize) {
        port.Close();
        return kNoReply;
    }
    if (reply[0] != 0x37 || reply[1] != 0x80 || reply[3] != 0x00) {
        port.Close();
        return kBadFormat;
    }
    msrMode = reply[2];
    return kOk;
}

} // namespace corvane
