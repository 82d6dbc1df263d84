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

bool writeFileAtomically(const std::string& path, std::string_view text, std::string& error)
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
    fd.reset();
    if (::rename(temp.c_str(), path.c_str()) != 0) {
        error = "cannot rename " + temp + " to " + path + ": " + std::strerror(errno);
        ::unlink(temp.c_str());
        return false;
    }
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

void Recorder::warnOnce(bool& warned, const std::string& what)
{
    if (warned)
        return;
    warned = true;
    std::fprintf(stderr, "printer-sim: %s\n", what.c_str());
}

} // namespace simapp
