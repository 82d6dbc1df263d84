#include "corvane/nv/CCommonNv.h"

namespace corvane {

bool IsIndexedFamily(std::uint32_t versionNumber)
{
    return versionNumber >= 21000 && versionNumber < 101000;
}

CCommonNv::CCommonNv(CCommonUtil& util, platform::Clock& clock) : util_(util), clock_(clock) {}

CCommonNv::~CCommonNv() = default;

NvTarget CCommonNv::currentTarget() const
{
    return NvTarget{indexedFamily(), util_.g_Model > kModelVX440};
}

// Temporary bodies of the stored count, so the printer exchanges link on
// their own; the record's full implementation replaces them.
std::uint32_t CCommonNv::ReadStoredCount(const platform::RegistryStore& store, const std::string& keyPath) const
{
    std::uint32_t value = 0;
    return store.readNumber(keyPath, "Count", value) ? value : 0;
}

bool CCommonNv::WriteStoredCount(platform::RegistryStore& store, const std::string& keyPath,
                                 std::uint32_t value) const
{
    return store.writeNumber(keyPath, "Count", value);
}

} // namespace corvane
