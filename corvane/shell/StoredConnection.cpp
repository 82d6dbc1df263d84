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
    const std::string key = CorvaneKeyPath();
    // One replace: a crash or a reader never sees a port name of one save
    // with the line settings of another.
    return store.update([&](platform::RegistryStore::Batch& b) {
        b.writeNumber(key, "uPortType", static_cast<std::uint32_t>(connection.interfaceIndex));
        b.writeString(key, "uPort", s.portName);
        b.writeNumber(key, "uBaudrate", static_cast<std::uint32_t>(s.baudRate));
        b.writeNumber(key, "uDatabit", static_cast<std::uint32_t>(s.dataBits));
        b.writeNumber(key, "uParity", static_cast<std::uint32_t>(s.parity));
        b.writeNumber(key, "uStopbit", static_cast<std::uint32_t>(s.stopBits));
        b.writeNumber(key, "uFlowcontrol", static_cast<std::uint32_t>(s.flowControl));
    });
}

} // namespace corvane
