// Corvane's registry values: numbers and strings under
// HKEY_LOCAL_MACHINE\Software\Quellix\Corvane (or a subkey of it, such as
// "NV" for the NV image list).
//
// Each call opens and closes the key on its own: the store re-reads its file
// for every read and replaces it atomically for every write, so a value
// written by another program is seen by the next read.
//
// Read rules: a number reads only if it is a 32-bit DWORD; a string reads
// only if it is a string value and not empty. On failure the output is
// 0 / "" and the result false.
#pragma once

#include "platform/registry_store.h"

#include <cstdint>
#include <string>

namespace corvane {

inline constexpr const char* kCorvaneRegistryKey = "Software\\Quellix\\Corvane";

// The key path for `subkey` below Corvane's key ("" = the key itself).
std::string CorvaneKeyPath(const std::string& subkey = {});

bool ReadRegistryNumber(const platform::RegistryStore& store, const std::string& name,
                        std::uint32_t& value, const std::string& subkey = {});
bool WriteRegistryNumber(platform::RegistryStore& store, const std::string& name,
                         std::uint32_t value, const std::string& subkey = {});
bool ReadRegistryString(const platform::RegistryStore& store, const std::string& name,
                        std::string& value, const std::string& subkey = {});
bool WriteRegistryString(platform::RegistryStore& store, const std::string& name,
                         const std::string& value, const std::string& subkey = {});

} // namespace corvane
