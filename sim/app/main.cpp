// printer-sim: a simulated printer on a pseudo-terminal or a TCP port, for
// tests and demos. Its command line is the option table in sim/options.h.
#include "bss_tcp_responder.h"
#include "clock.h"
#include "pty_link.h"
#include "recorder.h"
#include "server.h"
#include "tcp_link.h"
#include "udp_responder.h"

#include "sim/mobile_printer.h"
#include "sim/network_board.h"
#include "sim/nv_memory.h"
#include "sim/pos_printer.h"
#include "sim/options.h"
#include "sim/printer.h"
#include "sim/switch_state.h"

#include "platform/cli/output.h"

#include <sys/signalfd.h>

#include <sys/stat.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr const char* kProgram = "printer-sim";
// Far above what a state file holds (about 600 bytes).
constexpr std::size_t kMaxStateFileBytes = 64 * 1024;

int fail(const std::string& message)
{
    std::fprintf(stderr, "%s: %s\n", kProgram, message.c_str());
    return 1;
}

// Each print of a stored image as a PBM file: the raster is already rows top
// down with the leftmost dot in the high bit and 1 for dark, which is P4.
void writePrints(sim::Printer& printer, const std::string& dir)
{
    sim::NvMemory* nv = sim::nvMemoryOf(printer);
    if (nv == nullptr || dir.empty())
        return;
    nv->setPrintSink([dir, warned = false](std::uint64_t number, const std::string& label,
                                           const sim::NvImage& image) mutable {
        char counter[24];
        std::snprintf(counter, sizeof counter, "%04llu", static_cast<unsigned long long>(number));
        const std::string path = dir + "/print-" + counter + "-" + label + ".pbm";
        const std::string pbm =
            "P4\n" + std::to_string(image.width) + " " + std::to_string(image.height) + "\n" + image.raster;
        std::string error;
        if (!simapp::writeFileAtomically(path, pbm, error) && !warned) {
            warned = true;  // once: a full disk should not flood the log
            std::fprintf(stderr, "%s: %s\n", kProgram, error.c_str());
        }
    });
}

// A network board's stored record and uploaded certificates, written out as
// they arrive. A failed write is reported and does not stop the simulator.
void attachBoardOutputs(sim::NetworkBoard& board, const std::string& recordOut, const std::string& certDir)
{
    const auto write = [](const std::string& path, const std::string& bytes) {
        std::string error;
        if (!simapp::writeFileAtomically(path, bytes, error))
            std::fprintf(stderr, "%s: %s\n", kProgram, error.c_str());
    };
    if (!recordOut.empty())
        board.setRecordSink([recordOut, write](const std::string& record) { write(recordOut, record); });
    if (!certDir.empty())
        board.setCertificateSink([certDir, write](std::size_t type, const std::string& file) {
            write(certDir + "/" + std::string(sim::certTypeName(type)) + ".pem", file);
        });
}

// The one line scripts wait for.
void announce(const std::string& line)
{
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv)
{
    const std::vector<std::string_view> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    const sim::ParseResult parsed = sim::parseOptions(args);
    if (!parsed.ok()) {
        // The problem quotes what was typed, which may hold any byte.
        std::fprintf(stderr, "%s%s: %s\n", sim::usageText().c_str(), kProgram,
                     platform::cli::escapeText(parsed.error).c_str());
        return 2;
    }
    const sim::Options& options = parsed.options;
    if (options.help) {
        std::fputs(sim::helpText().c_str(), stdout);
        return 0;
    }

    // Signals arrive through a descriptor the serving loop polls, so a
    // terminating one ends the loop normally and the cleanup runs.
    sigset_t set;
    sigemptyset(&set);
    for (int sig : {SIGTERM, SIGINT, SIGHUP, SIGUSR1})
        sigaddset(&set, sig);
    if (sigprocmask(SIG_BLOCK, &set, nullptr) != 0)
        return fail(std::string("sigprocmask: ") + std::strerror(errno));
    std::signal(SIGPIPE, SIG_IGN);
    simapp::Fd signalFd(::signalfd(-1, &set, SFD_NONBLOCK | SFD_CLOEXEC));
    if (!signalFd.valid())
        return fail(std::string("signalfd: ") + std::strerror(errno));

    // The memory as the last run left it, over the initial state the options gave.
    sim::PrinterConfig config = options.printer;
    if (!options.statePath.empty()) {
        std::string text;
        std::string error;
        bool missing = false;
        if (simapp::readSmallFile(options.statePath, kMaxStateFileBytes, text, missing, error)) {
            const bool ok = options.personality == &sim::posPersonality
                                ? sim::applyPosSwitchText(text, config.pos.switches.values, error)
                                : sim::applyStateText(text, config.switches, error);
            if (!ok)
                return fail("state file " + options.statePath + ": " + error);
        } else if (!missing) {
            return fail(error);
        }
    }

    // A network board's record and access-point body, as raw bytes.
    if (!options.ifRecordPath.empty() || !options.bssBodyPath.empty()) {
        std::string text;
        std::string error;
        bool missing = false;
        const auto load = [&](const std::string& path, std::size_t maxBytes, std::string& into) {
            if (!simapp::readSmallFile(path, maxBytes, text, missing, error))
                return false;
            into = text;
            return true;
        };
        if (!options.ifRecordPath.empty()) {
            if (!load(options.ifRecordPath, sim::NetworkBoardConfig::kRecordSize, config.board.record))
                return fail(error);
            if (config.board.record.size() != sim::NetworkBoardConfig::kRecordSize)
                return fail("--if-record " + options.ifRecordPath + ": " + std::to_string(config.board.record.size())
                            + " bytes, want " + std::to_string(sim::NetworkBoardConfig::kRecordSize));
        }
        if (!options.bssBodyPath.empty() && !load(options.bssBodyPath, sim::NetworkBoardConfig::kMaxBssBody,
                                                  config.board.bssBody))
            return fail(error);
    }

    sim::Printer printer(*options.personality, config);
    if (sim::NetworkBoard* board = sim::networkBoardOf(printer)) {
        if (!options.certDir.empty()) {
            struct stat st{};
            if (::stat(options.certDir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
                return fail("--cert-dir " + options.certDir + ": not a directory");
        }
        attachBoardOutputs(*board, options.recordOutPath, options.certDir);
    }
    if (!options.nvPrintDir.empty()) {
        struct stat st{};
        if (::stat(options.nvPrintDir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
            return fail("--nv-print-dir " + options.nvPrintDir + ": not a directory");
        writePrints(printer, options.nvPrintDir);
    }
    simapp::Recorder recorder;
    recorder.setStatePath(options.statePath);
    std::string error;
    if (!recorder.open(options.capturePath, options.reportPath, error))
        return fail(error);
    // A report and a state file exist from the start, so a script can read
    // them before any byte arrives.
    if (printer.state() != nullptr)
        recorder.saveState(printer.state()->saveText());
    recorder.record({}, printer.report());

    const simapp::ServeConfig serve{options.shaping, options.pacing, options.chatter, options.dropAfterMs,
                                    options.dropClientAfter};
    const simapp::SteadyClock clock;
    simapp::Server server(printer, serve, recorder, clock);
    std::unique_ptr<simapp::BssTcpResponder> bssTcp;
    if (options.bssTcpPort) {
        sim::NetworkBoard* board = sim::networkBoardOf(printer);
        if (board == nullptr)
            return fail("--bss-tcp-port needs a network board");
        bssTcp = std::make_unique<simapp::BssTcpResponder>(*board, options.bssTcpKeepOpen, clock);
        if (!bssTcp->listen(*options.bssTcpPort, error))
            return fail(error);
    }
    // The link's line first, then the access-point port's.
    auto announceSide = [&] {
        if (bssTcp)
            announce(std::to_string(bssTcp->port()));
    };
    if (options.transport == sim::Transport::Udp) {
        sim::UdpPrinters boards(options.udpPrinters, options.udpStrays);
        simapp::UdpResponder udp(boards, recorder, clock);
        if (!udp.bind(options.udpBind, options.udpPort, error))
            return fail(error);
        recorder.record({}, boards.report());
        announce(std::to_string(udp.port()));
        return udp.run(signalFd.get());
    }
    if (options.transport == sim::Transport::Pty) {
        simapp::PtyLink pty;
        if (!pty.open(options.linkPath, error))
            return fail(error);
        announce(pty.slavePath());
        announceSide();
        return server.run(pty, signalFd.get(), bssTcp.get());
    }
    simapp::TcpLink tcp;
    if (!tcp.listen(options.bindAddress, options.port, options.receiveBuffer, error))
        return fail(error);
    announce(std::to_string(tcp.port()));
    announceSide();
    return server.run(tcp, signalFd.get(), bssTcp.get());
}
