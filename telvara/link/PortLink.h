// The one link of Telvara to its POS printer: LinkConfig (the settings) and
// PortLink (Configure / Open / Write / Read / Close over one of four kinds),
// on platform::Devices and timed by platform::Clock.
//
// Kind rules of Configure, in this order (ChooseKind):
//   empty name                      refused
//   COMn, \\.\COMn (optional ':')   serial, /dev/ttyS(n-1)
//   LPTn, /dev/lpN (<dev>/lpN)      parallel, <dev>/lp(n-1) or the path
//   M880:PATH, M882:PATH            USB, PATH (non-empty) as the device node
//   any other name starting '/'     serial (ttyUSB, rfcomm, pts, a symlink)
//   dotted IPv4, TCP port 1..65535  Ethernet
//   anything else                   refused
// Only the prefix makes a USB name: "xM880:..." or a short "M88" is not one.
//
// Open sequences
//   serial    exclusive open, 100 ms, line settings (every parity checked,
//             DTR and RTS on, the flow index mapped to Hardware/Xon-Xoff/
//             None), DSR must be on, time-outs (read interval 10 ms, total
//             10 ms per byte + 100 ms; write 5 ms per byte + 3000 ms),
//             purge, input buffer allocated.
//   parallel  exclusive open, the status byte must be 0x80 (selected and
//             ready); reads wait 10 ms per byte + 10 ms.
//   USB       exclusive open of the node; state "connected". A read or write
//             that finds the node gone (ENODEV, EIO, ENOENT) closes it and
//             goes to "removed"; the next call reopens the same path once it
//             is back, and the state returns to "connected".
//   Ethernet  connect within 10 s.
// USB and Ethernet reads wait at most 1000 ms. Ethernet writes go in pieces
// of 4096 bytes with 500 ms after every full piece and stop at the first
// piece not taken whole. Every Read is one call of the port.
#pragma once

#include "platform/clock.h"
#include "platform/devices.h"
#include "platform/os_error.h"
#include "platform/port.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace telvara {

enum class LinkKind { Serial = 0, Parallel = 1, Usb = 2, Ethernet = 3 };

// "serial", "parallel", "usb", "ethernet".
std::string_view LinkKindName(LinkKind kind);

struct LinkTimeouts {
    int readIntervalMs = 10;
    int readTotalPerByteMs = 10;
    int readTotalConstantMs = 10;
    int writeTotalPerByteMs = 0;
    int writeTotalConstantMs = 0;
};

struct LinkConfig {
    std::string portName;
    int baudRate = 9600;
    int dataBits = 8;
    int stopBits = 0;     // 0 one, 1 one and a half, 2 two
    int parity = 0;       // 0 none, 1 odd, 2 even, 3 mark, 4 space
    int flowControl = 0;  // 0 Hardware, 1 Xon/Xoff, 2 None
    LinkTimeouts timeouts;
    int inputBufferSize = 8149;
    int outputBufferSize = 8149;
    std::array<int, 5> carried{1, 0, 0, 1000, 3000};  // kept with the settings, not used
    int tcpPort = 0;
};

struct KindChoice {
    bool accepted = false;
    LinkKind kind = LinkKind::Serial;
    std::string device;  // serial, parallel, USB: the node; Ethernet: the address
};

KindChoice ChooseKind(const LinkConfig& config, const platform::DeviceRoots& roots);

enum class OpenFailure {
    None,
    NotConfigured,
    OpenFailed,     // the device did not open, or could not be set up
    DsrOff,         // serial: DSR low (printer off or not cabled)
    NotReady,       // parallel: the status byte was not 0x80
    SocketNotCreated,
    NotConnected,   // Ethernet: no connection within the bound
};

enum class UsbState { Connected, Removed };

class PortLink {
public:
    static constexpr std::uint32_t kSerialOpenPauseMs = 100;
    static constexpr int kStreamReadBoundMs = 1000;
    static constexpr int kConnectBoundMs = 10000;
    static constexpr int kEthernetPiece = 4096;
    static constexpr std::uint32_t kEthernetPiecePauseMs = 500;

    explicit PortLink(platform::Clock& clock = platform::systemClock(),
                      platform::Devices& devices = platform::systemDevices());
    ~PortLink();
    PortLink(const PortLink&) = delete;
    PortLink& operator=(const PortLink&) = delete;

    // 1 accepted, 0 refused. Closes and discards any previous kind.
    int Configure(const LinkConfig& config);
    // 1 open, 0 failed (lastOpenFailure() and lastError() say why). The flag
    // is ignored. An open link stays open.
    int Open(int flag = 0);
    // Bytes sent; 0 when not open, data null or length not positive.
    int Write(const std::uint8_t* data, int length);
    // Bytes received, one call of the port; 0 when not open or nothing
    // came. The wait hint is not used.
    int Read(std::uint8_t* buffer, int capacity, int waitHint = 1000);
    void Close();

    bool configured() const { return configured_; }
    bool isOpen() const;
    LinkKind kind() const { return choice_.kind; }
    const KindChoice& choice() const { return choice_; }
    const LinkConfig& config() const { return config_; }
    UsbState usbState() const { return usbState_; }
    OpenFailure lastOpenFailure() const { return openFailure_; }
    const platform::OsError& lastError() const { return lastError_; }
    platform::DeviceKind deviceKind() const;

private:
    OpenFailure openSerial();
    OpenFailure openParallel();
    OpenFailure openUsb();
    OpenFailure openEthernet();
    int writeEthernet(const std::uint8_t* data, int length);
    // USB: a failure that means the node went away.
    void noteUsbFailure(const platform::IoResult& result);
    bool reopenUsb();

    platform::Clock& clock_;
    platform::Devices& devices_;
    LinkConfig config_;
    KindChoice choice_;
    bool configured_ = false;
    std::unique_ptr<platform::Port> port_;
    bool open_ = false;
    UsbState usbState_ = UsbState::Connected;
    std::vector<std::uint8_t> inputBuffer_;
    OpenFailure openFailure_ = OpenFailure::None;
    platform::OsError lastError_;
};

} // namespace telvara
