#include "telvara/link/CustomPreset.h"

#include <cctype>

namespace telvara {
namespace {

std::string upperPrefix(const std::string& text)
{
    std::string prefix = text.substr(0, 3);
    for (char& c : prefix)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return prefix;
}

void readInt(const platform::RegistryStore& store, const std::string& key, const char* name, int& into,
             int min, int max)
{
    std::uint32_t value = 0;
    if (store.readNumber(key, name, value) && value >= static_cast<std::uint32_t>(min)
        && value <= static_cast<std::uint32_t>(max))
        into = static_cast<int>(value);
}

} // namespace

std::string CustomPresetKey(const std::string& printerName)
{
    if (printerName == "Custom_KTP-M880")
        return "SOFTWARE\\QUELLIX\\KTP-M880\\PSP\\Custom";
    if (printerName == "Custom_KTP-M882")
        return "SOFTWARE\\QUELLIX\\KTP-M882\\PSP\\Custom";
    return {};
}

Preset ReadCustomPreset(const platform::RegistryStore& store, const std::string& printerName,
                        const LinkConfig& defaults)
{
    Preset p;
    p.config = defaults;
    const std::string key = CustomPresetKey(printerName);
    std::string port;
    if (key.empty() || !store.readString(key, "Port", port)) {
        p.notice = "no port settings for " + printerName + " in the registry store (" + store.path()
                   + "); the defaults are used";
        return p;
    }
    const std::string prefix = upperPrefix(port);
    std::string name = port;
    if (!name.empty() && name.back() == ':')
        name.pop_back();
    if (prefix == "COM") {
        p.kind = LinkKind::Serial;
        p.config.portName = name;
        readInt(store, key, "BaudRate", p.config.baudRate, 1, 4000000);
    } else if (prefix == "LPT") {
        p.kind = LinkKind::Parallel;
        p.config.portName = name;
    } else if (prefix == "USB") {
        p.kind = LinkKind::Usb;
        p.config.portName.clear();
    } else if (prefix == "NET") {
        p.kind = LinkKind::Ethernet;
        std::string address;
        store.readString(key, "TcpIp", address);
        p.config.portName = address;
        readInt(store, key, "TcpPort", p.config.tcpPort, 1, 65535);
    } else {
        p.notice = "the registry store's port \"" + port + "\" for " + printerName
                   + " names no known interface; the defaults are used";
        return p;
    }
    int dataBits = p.config.dataBits;
    readInt(store, key, "DataBits", dataBits, 0, 255);
    p.config.dataBits = dataBits == 8 ? 8 : 7;
    readInt(store, key, "FlowControl", p.config.flowControl, 0, 2);
    readInt(store, key, "Parity", p.config.parity, 0, 4);
    readInt(store, key, "StopBits", p.config.stopBits, 0, 2);
    p.found = true;
    return p;
}

} // namespace telvara
