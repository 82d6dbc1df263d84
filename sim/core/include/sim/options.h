// printer-sim's command line: one option table (platform/cli) gives the
// grammar, the value ranges and --help; the checks a table cannot express
// (hex byte strings, model names, options that only go together) follow the
// table parse here.
#pragma once

#include "sim/personality.h"
#include "sim/printer.h"
#include "sim/receive_pacing.h"
#include "sim/reply_shaper.h"
#include "sim/udp_printers.h"

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace sim {

enum class Transport { None, Pty, Tcp, Udp };

struct Options {
    bool help = false;
    const Personality* personality = &defaultPersonality();
    std::string model;       // canonical model name
    PrinterConfig printer;   // model defaults with the overrides applied
    ReplyShaping shaping;
    ReadPacing pacing;
    Chatter chatter;
    Transport transport = Transport::None;
    std::string linkPath;    // --pty: symlink to the slave, if not empty
    std::uint16_t port = 0;  // --tcp: 0 picks a free port
    std::string bindAddress = "127.0.0.1";
    int receiveBuffer = 0;   // --tcp: SO_RCVBUF before listen; 0 leaves the system default
    std::string capturePath; // append every received byte here, if not empty
    std::string reportPath;  // keep the receive report here, if not empty
    std::string statePath;   // mobile printer memory: loaded at start if present, kept up to date
    std::string nvPrintDir;  // each print of a stored NV image written here as a PBM file, if not empty
    // Network boards: files read at start (raw bytes), and the TCP
    // responder for the access-point query (0 picks a free port).
    std::string ifRecordPath;
    std::string bssBodyPath;
    std::optional<std::uint16_t> bssTcpPort;
    bool bssTcpKeepOpen = false;
    // Network boards: where a stored record and uploaded certificates are
    // written (atomically), if not empty.
    std::string recordOutPath;
    std::string certDir;
    // --udp: network boards answering discovery and store datagrams.
    std::uint16_t udpPort = 0;
    std::string udpBind = "127.0.0.1";
    std::vector<UdpPrinter> udpPrinters;
    std::vector<UdpStray> udpStrays;
    // Replies no host reads for this long are dropped.
    std::uint32_t dropAfterMs = 2000;
    // --tcp: each client is dropped once it has sent this many bytes; 0 never.
    std::uint64_t dropClientAfter = 0;
};

struct ParseResult {
    Options options;
    std::string error;  // empty on success

    bool ok() const { return error.empty(); }
};

// `args` excludes the program name. Options take their value as the next
// argument or after '='. With --help the rest is not checked.
ParseResult parseOptions(std::span<const std::string_view> args);
// The full --help text, generated from the option table.
std::string helpText();
// The short usage shown after a refused command line.
std::string usageText();

// "AA-BB-CC-DD-EE-FF" (either case, '-' or ':'); false otherwise.
bool parseMac(std::string_view text, std::array<std::uint8_t, 6>& out);

// Hex digit pairs ("4142") to bytes; false on odd length or a non-hex digit.
bool parseHexBytes(std::string_view hex, std::string& out);

} // namespace sim
