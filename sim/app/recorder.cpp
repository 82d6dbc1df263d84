#include "recorder.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace simapp {

namespace {

bool writeAll(int fd, std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

} // namespace

bool writeFileAtomically(const std::string& path, std::string_view text, std::string& error, bool durable)
{
    const std::string temp = path + ".tmp" + std::to_string(::getpid());
    Fd fd(::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    if (!fd.valid()) {
        error = "cannot create " + temp + ": " + std::strerror(errno);
        return false;
    }
    if (!writeAll(fd.get(), text)) {
        error = "cannot write " + temp + ": " + std::strerror(errno);
        ::unlink(temp.c_str());
        return false;
    }
    if (durable && ::fsync(fd.get()) != 0) {
        error = "cannot sync " + temp + ": " + std::strerror(errno);
        ::unlink(temp.c_str());
        return false;
    }
    fd.reset();
    if (::rename(temp.c_str(), path.c_str()) != 0) {
        error = "cannot rename " + temp + " to " + path + ": " + std::strerror(errno);
        ::unlink(temp.c_str());
        return false;
    }
    if (durable) {
        const std::size_t slash = path.rfind('/');
        const std::string dir = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
        Fd d(::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (d.valid())
            ::fsync(d.get());  // best effort: the file itself is already safe
    }
    return true;
}

bool readSmallFile(const std::string& path, std::size_t maxBytes, std::string& text, bool& missing,
                   std::string& error)
{
    missing = false;
    Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd.valid()) {
        missing = errno == ENOENT;
        error = "cannot open " + path + ": " + std::strerror(errno);
        return false;
    }
    std::string out;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            error = "cannot read " + path + ": " + std::strerror(errno);
            return false;
        }
        if (n == 0)
            break;
        if (out.size() + static_cast<std::size_t>(n) > maxBytes) {
            error = path + " is larger than " + std::to_string(maxBytes) + " bytes";
            return false;
        }
        out.append(buffer, static_cast<std::size_t>(n));
    }
    text = std::move(out);
    return true;
}

bool Recorder::open(const std::string& capturePath, const std::string& reportPath, std::string& error)
{
    if (!capturePath.empty()) {
        capture_.reset(::open(capturePath.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644));
        if (!capture_.valid()) {
            error = "cannot open capture file " + capturePath + ": " + std::strerror(errno);
            return false;
        }
    }
    reportPath_ = reportPath;
    return true;
}

void Recorder::record(std::string_view received, const std::string& report)
{
    // Plain write(2) without user-space buffering: once this returns, a
    // reader of the capture sees every byte of this read.
    if (capture_.valid() && !writeAll(capture_.get(), received))
        warnOnce(captureWarned_, std::string("cannot append to capture file: ") + std::strerror(errno));
    if (!reportPath_.empty()) {
        std::string error;
        if (!writeFileAtomically(reportPath_, report, error))
            warnOnce(reportWarned_, error);
    }
}

void Recorder::saveState(const std::string& text)
{
    if (statePath_.empty())
        return;
    std::string error;
    if (!writeFileAtomically(statePath_, text, error, true))
        warnOnce(stateWarned_, error);
}

void Recorder::warnOnce(bool& warned, const std::string& what)
{
    if (warned)
        return;
    warned = true;
    std::fprintf(stderr, "printer-sim: %s\n", what.c_str());
}

} // namespace simapp
