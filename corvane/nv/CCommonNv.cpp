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

} // namespace corvane
