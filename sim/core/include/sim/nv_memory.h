// The mobile printer's NV image memory: logos kept across power cycles and
// printed on command. A printer speaks one of two command families, chosen
// by its firmware version number like the user setting dialect.
//
// Key-code family (images under two-character keys), GS ( L:
//   1d 28 4c 04 00 30 40 4b 43        read the key list ("KC")
//   1d 28 4c 05 00 30 41 43 4c 52     delete all ("CLR")
//   1d 28 4c 04 00 30 42 k1 k2        delete one
//   1d 28 4c 06 00 30 45 k1 k2 sx sy  print one (scales taken, not checked)
//   1d 28 4c pL pH 30 43 30 k1 k2 01 xL xH yL yH 31 raster   define one
//     pL pH = 11 + ceil(x/8)*y; the raster is rows top down, ceil(x/8) bytes
//     each, most significant bit leftmost, 1 a dark dot (PBM P4 order).
//   Key list reply, in blocks of at most keysPerBlock keys:
//     37 72 s k1 k2 k1 k2 ... 00      s 41: more blocks follow, 40: last
//     an empty printer answers 37 72 40 00.
//   After every block the printer waits for the host's ACK (06): an ACK
//   after a 41 block brings the next block, after the last one it ends the
//   exchange. CAN (18) while it waits ends the exchange at once. Outside
//   such a wait, ACK and CAN are plain data.
// Indexed family (one numbered set, 0-based), BS ^ ...:
//   08 5e 37 L0 L1 L2 L3 43 c  blocks   define all: c image blocks
//     "01 xL xH yL yH 31 raster", L0..L3 (little-endian) = their bytes + 2;
//     each define-all replaces the whole set.
//   08 5e 4c 04 00 45 i sx sy          print image i
//   08 5e 4c 01 00 41                  delete all
// Quirks a reader must know:
//   - Commands are framed by their length fields, as the printer does: a
//     define whose length disagrees with its width and height still takes
//     exactly as many bytes as its length field says, is logged as
//     malformed and not stored; so is a define-all whose length does not end
//     on its c-th block. A define-all longer than any set of images could
//     be (more than kMaxStoredBytes of rasters) takes only its 9 header
//     bytes, so a stray header in other data cannot swallow the stream.
//     Define bodies stream through (CommandParser's
//     streamed bodies), so an image of any size is never buffered whole.
//   - A printer answers its own family only; the other family's commands are
//     taken whole and ignored without a reply, so a host that picked the
//     wrong family sees silence.
//   - Keys are two bytes 20..7e. Defining a key that is stored already
//     replaces it and moves it to the end of the list: the list is in
//     definition order, the newest definition last.
//   - Printing an image that is not stored prints nothing; the print is
//     still recorded, marked "missing".
#pragma once

#include "sim/command_parser.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sim {

inline constexpr std::string_view kNvKeyCommand{"\x1d\x28\x4c", 3};      // GS ( L
inline constexpr std::string_view kNvDefineAll{"\x08\x5e\x37", 3};       // BS ^ 7
inline constexpr std::string_view kNvIndexedCommand{"\x08\x5e\x4c", 3};  // BS ^ L
inline constexpr std::string_view kNvAck{"\x06", 1};
inline constexpr std::string_view kNvCancel{"\x18", 1};

enum class NvFamily { KeyCode, Indexed };

// Version numbers 21000..100999 are indexed printers, all others key-code.
NvFamily nvFamilyFor(std::uint32_t versionNumber);
// "key-code" / "indexed", as the options and the report spell them.
std::string_view nvFamilyName(NvFamily family);
std::optional<NvFamily> nvFamilyNamed(std::string_view name);
// ceil(width / 8) * height.
std::uint64_t nvRasterBytes(std::uint32_t width, std::uint32_t height);
// A key fit for a key-code printer: two bytes 20..7e.
bool validNvKey(std::string_view key);

struct NvImage {
    std::uint16_t width = 0;
    std::uint16_t height = 0;
    std::string raster;
    bool operator==(const NvImage&) const = default;
};

struct KeyedNvImage {
    std::string key;
    NvImage image;
};

// A blank image stored at power-on; key empty for an indexed printer.
struct NvPreload {
    std::string key;
    std::uint16_t width = 0;
    std::uint16_t height = 0;
};

struct NvConfig {
    static constexpr std::size_t kDefaultKeysPerBlock = 16;
    static constexpr std::size_t kMaxKeysPerBlock = 1000;

    std::optional<NvFamily> family;  // forced; else from the version number
    std::size_t keysPerBlock = kDefaultKeysPerBlock;  // 1..kMaxKeysPerBlock
    std::vector<NvPreload> images;   // in order
};

// Receive report lines, after the user setting lines, in this order:
//   nv.family: key-code|indexed
//   nv.count: N                       images stored
//   nv.image.LABEL: WxH crc32 HEX8    one per image in list order; LABEL the key
//                                     (escaped as the state file's texts, with
//                                     ' ' as \x20 and ':' as \x3a) or the index
//   nv.lists: N                       key lists asked for
//   nv.acks: N, nv.cancels: N         ACKs and CANs the key list waits took
//   nv.prints: N                      print commands
//   nv.print: LABEL[ missing]         one per print in order, the first kMaxPrintsListed
//   nv.malformed: N                   defines not stored: bad length, header or blocks
//   nv.malformed.K: REASON: HEX       the first kMaxListed, HEX the command's first bytes
//   nv.ignored: N                     commands of the other family, unknown
//   nv.ignored.K: REASON: HEX         functions, images beyond the memory's size
class NvMemory {
public:
    static constexpr std::uint64_t kMaxStoredBytes = std::uint64_t{4} << 20;  // all rasters together
    static constexpr std::size_t kMaxListed = 50;
    static constexpr std::size_t kMaxPrintsListed = 1000;

    struct Refusal {
        std::string reason;
        std::string bytes;
    };
    // Called for every print of a stored image; `number` counts all prints
    // from 1, `fileLabel` names the image safely inside a file name.
    using PrintSink = std::function<void(std::uint64_t number, const std::string& fileLabel, const NvImage& image)>;

    NvMemory(NvFamily family, const NvConfig& config);
    // The handlers refer to this object.
    NvMemory(const NvMemory&) = delete;
    NvMemory& operator=(const NvMemory&) = delete;

    void addCommands(CommandParser& parser);
    // The host went away: a key list waiting for its ACK is dropped.
    void hostGone();
    std::string report() const;
    void setPrintSink(PrintSink sink) { printSink_ = std::move(sink); }

    NvFamily family() const { return family_; }
    const std::vector<KeyedNvImage>& keyed() const { return keyed_; }
    const std::vector<NvImage>& indexed() const { return indexed_; }
    const NvImage* findKey(std::string_view key) const;
    bool waitingForAck() const { return waiting_; }
    // Labels of the listed prints, "missing" ones with that suffix.
    const std::vector<std::string>& prints() const { return prints_; }
    std::uint64_t printCount() const { return printCount_; }
    std::uint64_t malformedCount() const { return malformedCount_; }
    std::uint64_t ignoredCount() const { return ignoredCount_; }
    const std::vector<Refusal>& malformed() const { return malformed_; }
    const std::vector<Refusal>& ignored() const { return ignored_; }

    // How a key appears in the report.
    static std::string keyLabel(std::string_view key);
    // How a key or index appears in a file name: letters and digits as they
    // are, any other byte as _HH (lower-case hex).
    static std::string fileLabel(std::string_view key);

private:
    struct DefineAll;

    HandlerResult keyCommand(std::string_view in);
    HandlerResult keyDefine(std::string_view in, std::size_t length);
    HandlerResult defineAll(std::string_view in);
    HandlerResult indexedCommand(std::string_view in);
    HandlerResult ack(std::string_view in);
    HandlerResult cancel(std::string_view in);

    std::string startKeyList();
    void storeKeyed(std::string key, NvImage image);
    std::uint64_t storedBytes() const;
    void print(const std::string& label, const std::string& fileLabel, const NvImage* image);
    void malformed(std::string_view cmd, std::string reason);
    void ignore(std::string_view cmd, std::string reason);
    void finishDefineAll(DefineAll& d);

    NvFamily family_;
    std::size_t keysPerBlock_;
    std::vector<KeyedNvImage> keyed_;
    std::vector<NvImage> indexed_;
    // The key list exchange: blocks still to send, and whether one is out
    // waiting for its ACK.
    std::deque<std::string> blocksDue_;
    bool waiting_ = false;
    std::uint64_t lists_ = 0;
    std::uint64_t acks_ = 0;
    std::uint64_t cancels_ = 0;
    std::vector<std::string> prints_;
    std::uint64_t printCount_ = 0;
    std::uint64_t malformedCount_ = 0;
    std::uint64_t ignoredCount_ = 0;
    std::vector<Refusal> malformed_;
    std::vector<Refusal> ignored_;
    PrintSink printSink_;
};

} // namespace sim
