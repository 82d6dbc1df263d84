// The printer's answers to the identification queries of the connection
// check, as pure functions over the bytes of one exchange.
//
//   GS I 3  (1D 49 03)  "c": the printer is there
//   GS I B  (1D 49 42)  maker:  "_" text NUL, e.g. "_QUELLIX\0"
//   GS I C  (1D 49 43)  model:  "_" text NUL, e.g. "_KTP-M880\0"
//
// Packet reads (USB, Ethernet) hand the parser what one or two reads
// brought: the text is the bytes from index 1 up to the first NUL or the
// end; nothing left over from an earlier exchange can show through. Byte
// reads (serial, parallel) feed a TextCollector one byte at a time: every
// byte but "_" is kept, the text ends at NUL or at kMaxTextBytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace telvara {

using ByteView = std::span<const std::uint8_t>;

inline constexpr std::uint8_t kPrinterIdByte = 'c';
inline constexpr std::size_t kMaxTextBytes = 256;

// The first byte of the reply is "c".
bool IsPrinterIdReply(ByteView reply);

// The text of a packet reply: bytes 1 .. first NUL (or the end); empty for
// a reply of fewer than two bytes.
std::string PacketText(ByteView reply);

class TextCollector {
public:
    // Takes one received byte; true once the text is complete (NUL seen,
    // or the bound reached).
    bool feed(std::uint8_t byte);
    bool done() const { return done_; }
    // At least one byte arrived (an underscore too).
    bool anyByte() const { return received_ > 0; }
    const std::string& text() const { return text_; }

private:
    std::string text_;
    std::size_t received_ = 0;
    bool done_ = false;
};

// Whole-reply form of the byte loop, for a reply already at hand: the text a
// TextCollector makes of `bytes` fed in order, and how many it took.
std::string CollectedText(ByteView bytes, std::size_t* used = nullptr);

bool IsOurMaker(const std::string& maker);
bool IsOurModel(const std::string& model);

} // namespace telvara
