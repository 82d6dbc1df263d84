#include "telvara/link/PrinterPreset.h"

#include "telvara/link/DeviceUriPreset.h"

namespace telvara {
namespace {

constexpr std::size_t kMaxNameInNotice = 128;

LinkKind kindOf(link::PresetInterface interface)
{
    switch (interface) {
    case link::PresetInterface::Parallel:
        return LinkKind::Parallel;
    case link::PresetInterface::Usb:
        return LinkKind::Usb;
    case link::PresetInterface::Ethernet:
        return LinkKind::Ethernet;
    case link::PresetInterface::Serial:
        break;
    }
    return LinkKind::Serial;
}

} // namespace

Preset PresetForPrinter(const std::string& printerName, const platform::RegistryStore& store,
                        platform::spooler::Spooler* spooler, const LinkConfig& defaults)
{
    if (!CustomPresetKey(printerName).empty())
        return ReadCustomPreset(store, printerName, defaults);

    Preset p;
    p.config = defaults;
    const std::string name = printerName.substr(0, kMaxNameInNotice);
    if (spooler == nullptr) {
        p.notice = "no print spooler to ask for printer " + name + "; the defaults are used";
        return p;
    }
    const link::QueuePreset queue = link::presetForQueue(*spooler, printerName);
    if (!queue.result.ok()) {
        p.notice = queue.result.describe("preset from printer " + name) + "; the defaults are used";
        return p;
    }
    const link::DeviceUriPreset& u = queue.preset;
    // A URI the parser could not place (unknown scheme, serial: without a
    // path) comes back as a serial preset with no port: nothing to use.
    if (u.interface == link::PresetInterface::Serial && u.port.empty()) {
        p.notice = "printer " + name + " has the device URI \"" + queue.deviceUri.substr(0, kMaxNameInNotice)
                   + "\", which gives no port" + (u.notice.empty() ? "" : " (" + u.notice + ")")
                   + "; the defaults are used";
        return p;
    }
    p.found = true;
    p.kind = kindOf(u.interface);
    switch (p.kind) {
    case LinkKind::Serial:
        p.config.portName = u.port;
        p.config.baudRate = u.baud;
        // The dialog offers 8 and 7 data bits only; anything but 8 is 7.
        p.config.dataBits = u.dataBits == 8 ? 8 : 7;
        p.config.parity = u.parity;
        p.config.stopBits = u.stopBits;
        p.config.flowControl = u.flow;
        break;
    case LinkKind::Parallel:
        p.config.portName = u.port;
        break;
    case LinkKind::Usb:
        p.config.portName.clear();
        break;
    case LinkKind::Ethernet:
        p.config.portName = u.address;
        p.config.tcpPort = u.tcpPort;
        break;
    }
    if (!u.notice.empty())
        p.notice = "printer " + name + ": " + u.notice;
    return p;
}

} // namespace telvara
