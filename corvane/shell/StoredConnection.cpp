#include "corvane/shell/StoredConnection.h"

#include "corvane/shell/CorvaneRegistry.h"

#include <cstdint>

namespace corvane {
namespace {

int readInt(const platform::RegistryStore& store, const char* name)
{
    std::uint32_t value = 0;
    ReadRegistryNumber(store, name, value);
    return static_cast<int>(value);
}

} // namespace

bool LoadStoredConnection(const platform::RegistryStore& store, StoredConnection& out)
{
    out = StoredConnection{};
    std::uint32_t portType = 0;
    // An interface index the window cannot select is as good as none.
    if (!ReadRegistryNumber(store, "uPortType", portType) || portType > kInterfaceTcp)
        return false;

    out.interfaceIndex = static_cast<int>(portType);
    ReadRegistryString(store, "uPort", out.settings.portName);
    out.settings.baudRate = readInt(store, "uBaudrate");
    out.settings.dataBits = readInt(store, "uDatabit");
    out.settings.parity = readInt(store, "uParity");
    out.settings.stopBits = readInt(store, "uStopbit");
    out.settings.flowControl = readInt(store, "uFlowcontrol");
    return true;
}

bool SaveStoredConnection(platform::RegistryStore& store, const StoredConnection& connection)
{
    const PortSettings& s = connection.settings;
    bool ok = true;
    ok &= WriteRegistryNumber(store, "uPortType", static_cast<std::uint32_t>(connection.interfaceIndex));
    ok &= WriteRegistryString(store, "uPort", s.portName);
    ok &= WriteRegistryNumber(store, "uBaudrate", static_cast<std::uint32_t>(s.baudRate));
    ok &= WriteRegistryNumber(store, "uDatabit", static_cast<std::uint32_t>(s.dataBits));
    ok &= WriteRegistryNumber(store, "uParity", static_cast<std::uint32_t>(s.parity));
    ok &= WriteRegistryNumber(store, "uStopbit", static_cast<std::uint32_t>(s.stopBits));
    ok &= WriteRegistryNumber(store, "uFlowcontrol", static_cast<std::uint32_t>(s.flowControl));
    return ok;
}

} // namespace corvane
