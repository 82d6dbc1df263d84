#include "corvane/shell/CorvaneRegistry.h"

namespace corvane {

std::string CorvaneKeyPath(const std::string& subkey)
{
    std::string key = kCorvaneRegistryKey;
    if (!subkey.empty()) {
        key += '\\';
        key += subkey;
    }
    return key;
}

bool ReadRegistryNumber(const platform::RegistryStore& store, const std::string& name,
                        std::uint32_t& value, const std::string& subkey)
{
    value = 0;
    if (store.readNumber(CorvaneKeyPath(subkey), name, value))
        return true;
    value = 0;
    return false;
}

bool WriteRegistryNumber(platform::RegistryStore& store, const std::string& name,
                         std::uint32_t value, const std::string& subkey)
{
    return store.writeNumber(CorvaneKeyPath(subkey), name, value);
}

bool ReadRegistryString(const platform::RegistryStore& store, const std::string& name,
                        std::string& value, const std::string& subkey)
{
    value.clear();
    if (store.readString(CorvaneKeyPath(subkey), name, value) && !value.empty())
        return true;
    value.clear();
    return false;
}

bool WriteRegistryString(platform::RegistryStore& store, const std::string& name,
                         const std::string& value, const std::string& subkey)
{
    return store.writeString(CorvaneKeyPath(subkey), name, value);
}

} // namespace corvane
