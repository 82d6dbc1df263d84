#include "pavix/config/CertUpload.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace pavix {
namespace {

// Bitwise CRC-32 as the board computes it (MSB first, init 0, no final
// XOR), independent of the table-driven one under test.
std::uint32_t ReferenceCrc(ByteView bytes)
{
    std::uint32_t crc = 0;
    for (std::uint8_t b : bytes) {
        crc ^= static_cast<std::uint32_t>(b) << 24;
        for (int i = 0; i < 8; ++i)
            crc = (crc & 0x80000000u) ? (crc << 1) ^ 0x04C11DB7u : crc << 1;
    }
    return crc;
}

std::uint32_t Le32(ByteView b, std::size_t at)
{
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<std::uint32_t>(b[at + 3]) << 24);
}

struct Chunk {
    std::string tag;
    std::uint32_t offset = 0;
    Bytes data;
    bool crcOk = false;
};

Bytes Raw(std::string_view text)
{
    Bytes out = {0x1F, 0x57, 0x4D};
    out.insert(out.end(), text.begin(), text.end());
    return out;
}

// The board's side: answers the start request with "STRT" and every
// well-formed chunk with IF__SUC, unless `answer` overrides reply number n
// (1-based, counting every request).
struct FakeBoard {
    std::vector<Bytes> requests;
    std::vector<Chunk> chunks;
    std::function<std::optional<Bytes>(unsigned n, const Bytes& request)> answer;

    std::optional<Bytes> operator()(ByteView request)
    {
        requests.emplace_back(request.begin(), request.end());
        const unsigned n = static_cast<unsigned>(requests.size());
        std::optional<Bytes> normal;
        if (request.size() == 7) {
            normal = Raw("STRT");
        } else if (const auto message = DecodeReply(request)) {
            Chunk c;
            const ByteView m(*message);
            if (m.size() >= kCertChunkHeaderSize + kCertChunkCrcSize) {
                c.tag.assign(m.begin(), m.begin() + kTagSize);
                c.offset = Le32(m, 18);
                const std::uint32_t len = Le32(m, 22);
                if (m.size() == kCertChunkHeaderSize + len + kCertChunkCrcSize) {
                    c.data.assign(m.begin() + kCertChunkHeaderSize, m.begin() + kCertChunkHeaderSize + len);
                    const std::size_t at = kCertChunkHeaderSize + len;
                    const std::uint32_t sent = (std::uint32_t{m[at]} << 24) | (m[at + 1] << 16) |
                                               (m[at + 2] << 8) | m[at + 3];
                    c.crcOk = sent == ReferenceCrc(m.first(at));
                }
            }
            chunks.push_back(c);
            normal = Raw(kTagIfSuc);
        }
        if (answer)
            if (auto special = answer(n, requests.back()))
                return special;
        return normal;
    }
};

Bytes File(std::size_t n)
{
    Bytes out(n);
    for (std::size_t i = 0; i < n; ++i)
        out[i] = static_cast<std::uint8_t>('A' + i % 26);
    return out;
}

struct UploadRun {
    CertificateUploadReport report;
    std::vector<unsigned> progress;
    std::uint64_t elapsedMs = 0;
};

UploadRun Upload(FakeBoard& board, ByteView file, CertificateType type = CertificateType::Ca)
{
    UploadRun run;
    platform::ManualClock clock;
    run.report = UploadCertificate(
        type, file, [&board](ByteView r) { return board(r); }, clock,
        [&run](unsigned p) { run.progress.push_back(p); });
    run.elapsedMs = clock.tickMs();
    return run;
}

TEST(CertificateUpload, NineteenBytesGoAsNineNineAndOne)
{
    const std::string text = "-----BEGIN -----END";
    const Bytes file(text.begin(), text.end());
    FakeBoard board;
    const UploadRun run = Upload(board, file);

    EXPECT_EQ(run.report.result, CertificateUploadResult::Completed);
    EXPECT_EQ(run.report.bytesDone, 19u);
    EXPECT_EQ(run.report.requestsSent, 4u);
    ASSERT_EQ(board.requests.size(), 4u);
    EXPECT_EQ(board.requests[0], (Bytes{0x1F, 0x57, 0x43, 0x81, 0x1D, 0x1F, 0x03}));
    ASSERT_EQ(board.chunks.size(), 3u);
    const std::uint32_t offsets[] = {0, 9, 18};
    const std::size_t lengths[] = {9, 9, 1};
    const char* tags[] = {"__[I_F]__[FW_CERT]", "__[I_F]__[FW_CERT]", "__[I_F]__[CERTEND]"};
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(board.chunks[i].tag, tags[i]) << i;
        EXPECT_EQ(board.chunks[i].offset, offsets[i]) << i;
        EXPECT_EQ(board.chunks[i].data, Bytes(file.begin() + offsets[i], file.begin() + offsets[i] + lengths[i]));
        EXPECT_TRUE(board.chunks[i].crcOk) << i;
        // A framed chunk: header, two hex characters per byte, 03.
        EXPECT_EQ(board.requests[i + 1].size(), 2 * (26 + lengths[i] + 4) + 4);
    }
    EXPECT_EQ(run.progress, (std::vector<unsigned>{47, 94, 100}));
    EXPECT_EQ(run.elapsedMs, 3u * 50u); // one pause per accepted chunk
}

TEST(CertificateUpload, FiveHundredIsOneLastChunkAndFiveHundredOneIsTwo)
{
    FakeBoard board;
    UploadRun run = Upload(board, File(500), CertificateType::ClientPem);
    EXPECT_EQ(run.report.result, CertificateUploadResult::Completed);
    EXPECT_EQ(board.requests[0][3], 0x83);
    ASSERT_EQ(board.chunks.size(), 1u);
    EXPECT_EQ(board.chunks[0].tag, "__[I_F]__[CERTEND]");
    EXPECT_EQ(board.chunks[0].data.size(), 500u);
    EXPECT_TRUE(board.chunks[0].crcOk);

    FakeBoard board2;
    run = Upload(board2, File(501), CertificateType::ClientKey);
    EXPECT_EQ(run.report.result, CertificateUploadResult::Completed);
    EXPECT_EQ(board2.requests[0][3], 0x82);
    ASSERT_EQ(board2.chunks.size(), 2u);
    EXPECT_EQ(board2.chunks[0].tag, "__[I_F]__[FW_CERT]");
    EXPECT_EQ(board2.chunks[0].data.size(), 500u);
    EXPECT_EQ(board2.chunks[1].tag, "__[I_F]__[CERTEND]");
    EXPECT_EQ(board2.chunks[1].offset, 500u);
    EXPECT_EQ(board2.chunks[1].data, Bytes{File(501).back()});
    EXPECT_EQ(run.progress, (std::vector<unsigned>{99, 100}));

    // The largest file the checks let through: 500-byte chunks, the last 71.
    FakeBoard board3;
    run = Upload(board3, File(3071));
    EXPECT_EQ(run.report.result, CertificateUploadResult::Completed);
    ASSERT_EQ(board3.chunks.size(), 7u);
    EXPECT_EQ(board3.chunks.back().data.size(), 71u);
    EXPECT_EQ(board3.chunks.back().offset, 3000u);
}

TEST(CertificateUpload, FilesTooShortToSplitAreRefusedBeforeSending)
{
    for (std::size_t n : {0u, 1u}) {
        FakeBoard board;
        const UploadRun run = Upload(board, File(n));
        EXPECT_EQ(run.report.result, CertificateUploadResult::TooShort) << n;
        EXPECT_TRUE(board.requests.empty()) << n;
    }
    FakeBoard board;
    EXPECT_EQ(Upload(board, File(2)).report.result, CertificateUploadResult::Completed);
    ASSERT_EQ(board.chunks.size(), 2u);
    EXPECT_EQ(board.chunks[0].data.size(), 1u);
    EXPECT_EQ(CertificateChunkSize(1), 0u);
    EXPECT_EQ(CertificateChunkSize(499), 249u);
    EXPECT_EQ(CertificateChunkSize(500), 500u);
}

// ---- Retries ----------------------------------------------------------------------------

auto Garbage(unsigned from, unsigned to)
{
    return [=](unsigned n, const Bytes&) -> std::optional<Bytes> {
        if (n >= from && n <= to)
            return Raw("garbage, not an answer");
        return std::nullopt;
    };
}

TEST(CertificateUpload, StartRequestsShareTheBudget)
{
    FakeBoard never;
    never.answer = Garbage(1, 1000);
    UploadRun run = Upload(never, File(19));
    EXPECT_EQ(run.report.result, CertificateUploadResult::NoStartAnswer);
    EXPECT_EQ(run.report.requestsSent, 21u);
    for (const Bytes& r : never.requests)
        EXPECT_EQ(r.size(), 7u);

    // "STRT" itself spends one: after 19 repeats it still fits...
    FakeBoard late;
    late.answer = Garbage(1, 19);
    run = Upload(late, File(19));
    EXPECT_EQ(run.report.result, CertificateUploadResult::Completed);
    EXPECT_EQ(run.report.requestsSent, 20u + 3u);

    // ...after 20 the budget is gone when it arrives.
    FakeBoard tooLate;
    tooLate.answer = Garbage(1, 20);
    run = Upload(tooLate, File(19));
    EXPECT_EQ(run.report.result, CertificateUploadResult::NoStartAnswer);
    EXPECT_EQ(run.report.requestsSent, 21u);
    EXPECT_TRUE(tooLate.chunks.empty());
}

TEST(CertificateUpload, EachChunkHasTwentyRetriesAfterItsPredecessorWasAccepted)
{
    // The first chunk follows "STRT", which spent one: 19 garbage answers are recovered.
    FakeBoard first;
    first.answer = Garbage(2, 20);
    UploadRun run = Upload(first, File(19));
    EXPECT_EQ(run.report.result, CertificateUploadResult::Completed);
    EXPECT_EQ(run.report.requestsSent, 1u + 20u + 2u);

    FakeBoard firstFails;
    firstFails.answer = Garbage(2, 21);
    run = Upload(firstFails, File(19));
    EXPECT_EQ(run.report.result, CertificateUploadResult::ChunkRefused);
    EXPECT_EQ(run.report.requestsSent, 21u);
    EXPECT_EQ(run.report.bytesDone, 0u);

    // Later chunks: 20 garbage answers recovered, the 21st consecutive fails.
    FakeBoard second;
    second.answer = Garbage(3, 22);
    run = Upload(second, File(19));
    EXPECT_EQ(run.report.result, CertificateUploadResult::Completed);
    EXPECT_EQ(run.report.requestsSent, 2u + 21u + 1u);
    // Every resend is the same chunk.
    for (std::size_t i = 2; i < 23; ++i)
        EXPECT_EQ(second.requests[i], second.requests[2]) << i;

    FakeBoard persistent;
    persistent.answer = Garbage(3, 1000);
    run = Upload(persistent, File(19));
    EXPECT_EQ(run.report.result, CertificateUploadResult::ChunkRefused);
    EXPECT_EQ(run.report.requestsSent, 2u + 21u);
    EXPECT_EQ(run.report.bytesDone, 9u);
    EXPECT_EQ(run.progress, (std::vector<unsigned>{47}));
}

TEST(CertificateUpload, ShortAnswersAreNonSuccess)
{
    const Bytes strt = Raw("STRT");
    const Bytes suc = Raw(kTagIfSuc);
    FakeBoard board;
    board.answer = [&](unsigned n, const Bytes&) -> std::optional<Bytes> {
        switch (n) {
        case 1: return Bytes(strt.begin(), strt.end() - 1);  // 6 bytes: "STR"
        case 2: return Bytes{0x1F, 0x57};                     // shorter than the header
        case 3: return Bytes{};
        case 5: return Bytes(suc.begin(), suc.end() - 1);    // 20 bytes
        case 6: return Bytes(suc.begin(), suc.begin() + 3);  // the header alone
        default: return std::nullopt;
        }
    };
    const UploadRun run = Upload(board, File(19));
    EXPECT_EQ(run.report.result, CertificateUploadResult::Completed);
    // Three repeated start requests, then the first chunk three times.
    EXPECT_EQ(board.requests[3].size(), 7u);
    EXPECT_EQ(board.requests[4], board.requests[5]);
    EXPECT_EQ(board.requests[4], board.requests[6]);
    EXPECT_EQ(run.report.requestsSent, 4u + 3u + 2u);
}

TEST(CertificateUpload, ChunkAnswerDuringTheStartPhaseIsNoProgress)
{
    FakeBoard board;
    board.answer = [](unsigned n, const Bytes&) -> std::optional<Bytes> {
        return n == 1 ? std::optional<Bytes>(Raw(kTagIfSuc)) : std::nullopt;
    };
    const UploadRun run = Upload(board, File(19));
    EXPECT_EQ(run.report.result, CertificateUploadResult::Completed);
    EXPECT_EQ(board.requests[1].size(), 7u);
    ASSERT_EQ(board.chunks.size(), 3u);
    EXPECT_EQ(board.chunks[0].offset, 0u);
}

TEST(CertificateUpload, LinkFailureEndsAtOnce)
{
    for (unsigned failAt : {1u, 3u}) {
        FakeBoard board;
        unsigned calls = 0;
        platform::ManualClock clock;
        const auto report = UploadCertificate(
            CertificateType::Ca, File(19),
            [&](ByteView r) -> std::optional<Bytes> {
                if (++calls == failAt)
                    return std::nullopt;
                return board(r);
            },
            clock);
        EXPECT_EQ(report.result, CertificateUploadResult::LinkFailed);
        EXPECT_EQ(report.requestsSent, failAt);
        EXPECT_EQ(calls, failAt);
    }
}

TEST(CertificateUpload, Messages)
{
    EXPECT_EQ(CertificateUploadMessage(CertificateUploadResult::Completed),
              "Completed to upload the certification document.");
    for (auto r : {CertificateUploadResult::TooShort, CertificateUploadResult::LinkFailed,
                   CertificateUploadResult::NoStartAnswer, CertificateUploadResult::ChunkRefused})
        EXPECT_EQ(CertificateUploadMessage(r), "Failed to upload the certification document.");
    EXPECT_EQ(CertificateUploadWindowMessage(CertificateUploadResult::Completed),
              "Completed to upload the certification document. \nReset the printer.");
    EXPECT_EQ(CertificateUploadWindowMessage(CertificateUploadResult::ChunkRefused),
              "Failed to upload the certification document. \nReset the printer.");
}

} // namespace
} // namespace pavix
