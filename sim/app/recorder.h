// Keeps the received bytes for later checks: a raw capture file and a report
// file with the receive statistics; and the printer's memory in its state
// file, so that it survives a restart.
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

    // Where saveState() writes; empty: nowhere.
    void setStatePath(std::string path) { statePath_ = std::move(path); }
    // Rewrites the state file atomically and durably (the data is on disk
    // before the rename). Failures are reported as for the report file.
    void saveState(const std::string& text);

private:
    void warnOnce(bool& warned, const std::string& what);

    Fd capture_;
    std::string reportPath_;
    std::string statePath_;
    bool captureWarned_ = false;
    bool reportWarned_ = false;
    bool stateWarned_ = false;
};

// Writes `text` to `path` through a temporary file in the same directory and
// a rename, so readers see the old or the new contents, never a mix. With
// `durable` the file is synced before the rename and the directory after it,
// so a crash leaves the old or the new contents on disk as well.
bool writeFileAtomically(const std::string& path, std::string_view text, std::string& error, bool durable = false);

// Reads a whole file of at most `maxBytes`. False with `error` set when it
// cannot be read or is larger; `missing` tells a file that does not exist.
bool readSmallFile(const std::string& path, std::size_t maxBytes, std::string& text, bool& missing,
                   std::string& error);

} // namespace simapp
