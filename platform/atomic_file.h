// Files that must never be seen half-written: settings, command files,
// status files.
//
// writeFileAtomically() puts the new bytes in a temporary file beside the
// target (same directory, so the rename cannot cross file systems), syncs
// it, renames it over the target and syncs the directory. Readers see the
// old file or the new one, never a mix, and after a crash at any point the
// old file is still whole. On a reported failure the temporary file is
// removed again.
//
// updateFileLocked() is the read-modify-write on top of it for files that
// several processes change: it holds an exclusive lock on "<path>.lock"
// while it reads the file, lets the caller change the bytes and replaces the
// file. Readers need no lock.
#pragma once

#include "platform/os_error.h"

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace platform {

struct AtomicWriteOptions {
    // Permissions of a new file; an existing file keeps its own.
    unsigned mode = 0644;
    // Create missing parent directories (0755).
    bool createDirectories = false;
    // For tests: called with the temporary file's path once the new
    // contents are synced and before they replace the file, so a test can
    // stop the process exactly there or count replaces.
    std::function<void(const std::string& temporaryPath)> beforeRename;
};

bool writeFileAtomically(const std::string& path, std::string_view bytes, OsError& error,
                         const AtomicWriteOptions& options = {});

enum class ReadResult { Loaded, Missing, Failed };

// Reads the whole of a regular file of at most maxSize bytes. A FIFO, a
// device or a directory is refused (EINVAL / EISDIR) rather than blocking or
// flooding us; a bigger file fails with EFBIG. A missing file is Missing
// with `error` untouched.
ReadResult readFileBounded(const std::string& path, std::size_t maxSize, std::string& content,
                           OsError& error);

// Called with the current contents ("" for a missing file); edits them in
// place and returns true to write them back, or false (with its reason in
// `error`) to leave the file as it is.
using FileChange = std::function<bool(std::string& content, OsError& error)>;

// Writers hold the lock only for one read-modify-write, so waiting longer
// than lockTimeoutMs means a stuck process: the update then fails with the
// lock's reason (EWOULDBLOCK). Neither the old nor the new contents may
// exceed maxSize (EFBIG).
bool updateFileLocked(const std::string& path, std::size_t maxSize, const FileChange& change,
                      OsError& error, const AtomicWriteOptions& options = {}, int lockTimeoutMs = 5000);

} // namespace platform
