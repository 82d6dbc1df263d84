// Keeps the received bytes for later checks: a raw capture file and a report
// file with the receive statistics.
#pragma once

#include "fd.h"

#include <string>
#include <string_view>

namespace simapp {

class Recorder {
public:
    // Opens the capture file for appending (if a path is given). Returns
    // false with a message in `error` when it cannot.
    bool open(const std::string& capturePath, const std::string& reportPath, std::string& error);

    // Appends to the capture; rewrites the report atomically. Failures are
    // reported on stderr once per kind and do not stop the simulator.
    void record(std::string_view received, const std::string& report);

private:
    void warnOnce(bool& warned, const std::string& what);

    Fd capture_;
    std::string reportPath_;
    bool captureWarned_ = false;
    bool reportWarned_ = false;
};

// Writes `text` to `path` through a temporary file in the same directory and
// a rename, so readers see the old or the new contents, never a mix.
bool writeFileAtomically(const std::string& path, std::string_view text, std::string& error);

} // namespace simapp
