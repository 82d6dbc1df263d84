// Configuration files from anyone: the reader is bounded, refuses with a
// line inside the file, and whatever it accepts writes back (config_text)
// and reads again to the same values.
#include "pavix/cli/config_file.h"
#include "pavix/cli/config_text.h"

#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace {
[[noreturn]] void broken(const char* what)
{
    std::fprintf(stderr, "pavix_config_file_fuzz: %s\n", what);
    std::abort();
}

std::size_t lineCount(std::string_view text)
{
    std::size_t n = 0;
    for (const char c : text)
        n += c == '\n';
    return n + 1;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    pavix::cli::ConfigFileValues parsed;
    pavix::cli::ConfigFileError error;
    if (!pavix::cli::ParseConfigFile(text, parsed, error)) {
        if (error.line > lineCount(text))
            broken("refusal names a line past the end");
        return 0;
    }
    pavix::IfConfigRecord record;
    pavix::cli::ApplyConfigFile(parsed, record);
    if (!pavix::EncodeIfConfigRecord(record))
        broken("an accepted file gives a record that does not encode");
    pavix::cli::ConfigFileValues again;
    if (!pavix::cli::ParseConfigFile(pavix::cli::ConfigText(record), again, error))
        broken("the written form of an accepted file is refused");
    pavix::IfConfigRecord reread;
    pavix::cli::ApplyConfigFile(again, reread);
    if (reread != record)
        broken("the written form reads back to other values");
    return 0;
}
