// The memory switch editor's settings record and the printer commands that
// read it from a mobile printer and write it back.
//
// The record is a value (copied into each settings page and back); it
// refers to the identification object for the port, the model code, the
// firmware version number, the model name and the MSR mode byte, and does
// not own it.
//
// Every operation returns a result code (CCommonUtil.h): 0 ok, 101 port not
// open (nothing sent), 107 not supported here (nothing sent unless stated),
// 108 reply header missing, 109 reply format wrong, 300 short write, 301 no
// reply in time. After 109, 300 and 301 the operation has closed the port;
// 101, 107 and 108 leave it as it was. A field changes only when a reply
// passed every check: a failed read leaves the record as it was.
//
// Replies are collected by CollectReply (ReplyCollect.h) into a fixed
// buffer, each read asking only for the room left, and parsed by the pure
// functions of TlvrReplies.h, which never index past what arrived.
#pragma once

#include "corvane/link/CCommonUtil.h"
#include "corvane/switches/SwitchCodec.h"
#include "platform/clock.h"
#include "platform/registry_store.h"

#include <cstdint>
#include <string>
#include <vector>

namespace corvane {

// Bluetooth items as the read command names them.
inline constexpr char kBtConnectionMode = 'c';
inline constexpr char kBtDeviceName = 'd';
inline constexpr char kBtPinCode = 'k';
inline constexpr char kBtSecurity = 's';

// The Bluetooth write is one command of at most this many bytes.
inline constexpr std::size_t kMaxBluetoothCommand = 100;
// Sentinel codes the printer keeps.
inline constexpr std::size_t kMaxSentinelCode = 10;

class CCommonTlvr {
public:
    explicit CCommonTlvr(CCommonUtil& util, platform::Clock& clock = platform::systemClock());
    virtual ~CCommonTlvr();
    CCommonTlvr(const CCommonTlvr&) = default;
    CCommonTlvr& operator=(const CCommonTlvr&) = default;

    CCommonUtil& util() const { return *util_; }
    platform::Clock& clock() const { return *clock_; }
    // The codec context of the identified printer.
    SwitchContext context() const;
    CommandForm form() const { return FormForVersion(util_->g_Getver); }

    // Fields, in the record's order. Texts are byte strings.
    int Sentinel = 0;
    std::string Track1Start, Track2Start, Track3Start;
    std::string Track1End, Track2End, Track3End;
    int Density = 0;
    int Speed = 0;
    int DataMatrix = 0;
    int MaxiCode = 0;
    int Pdf417 = 0;
    int QrCode = 0;
    int CodePage = 0;
    int Service = 0;
    int FontType = 0;
    int BeepPaper = 0;
    int BeepLowBat = 0;
    int LCharMode = 0;
    int BlackMarkSensor = 0;
    int MFI = 0;
    int TimeOff = 0;
    int TimeSave = 0;
    int Msr = 0;
    int Baudrate = 0;
    int Databit = 0;
    int Parity = 0;
    int Flowcontrol = 0;
    int BtSecurity = 0;
    int BtConnectionMode = 0;
    std::string BtPinCode;
    std::string BtDeviceName;
    int SkipBluetooth = 0;
    int RfInterface = 0;

    // The start or end code of track 1..3 (nullptr for another track).
    std::string* StartCode(int track);
    std::string* EndCode(int track);

    // Switch n: 1, 2, 3, 5, 6, 7, 8, 0x49 or 0x51 (GS), 1..8 without 4 (BS).
    int ReadSwitchGs(int n);
    int ReadSwitchBs(int n);
    int WriteSwitchGs(int n);
    int WriteSwitchBs(int n);
    // The eight characters "22222222" in a switch's place of the BS ^ E
    // block: the block keeps the length its header declares while that
    // switch stays as it is.
    int WriteSwitchBsUnchanged();
    int BeginSettingGs();
    int BeginSettingBs();
    int EndSettingGs();
    int EndSettingBs();
    // item 1 baud rate, 2 parity, 3 flow control, 4 data bits
    int ReadSerialGs(int item);
    int ReadSerialBs(int item);
    int WriteSerialGs(int item);
    int WriteSerialBs();
    int ReadRfInterface();
    int WriteRfInterface();
    int ReadSentinel(int track);
    int WriteSentinel(int track);
    int ReadBluetooth(char item);
    int WriteBluetooth();
    int SetFactoryDefault();

    // The registry record under `keyPath`. Both always return 0: a value
    // that cannot be read takes its default, a save that cannot be written
    // is dropped (SaveTlvrRecord tells why).
    int LoadSettings(const platform::RegistryStore& store, const std::string& keyPath);
    int SaveSettings(platform::RegistryStore& store, const std::string& keyPath);

private:
    int readSwitch(CommandForm form, int n);
    int readSerial(CommandForm form, int item);
    int send(const std::vector<std::uint8_t>& bytes);
    int failClosed(int code);

    CCommonUtil* util_;
    platform::Clock* clock_;
};

// Writes the record in one batch (one lock, one atomic replace). False when
// the store could not be written; store.lastError() has the reason.
bool SaveTlvrRecord(platform::RegistryStore& store, const std::string& keyPath, const CCommonTlvr& record);

// Pure command builders, shared with the tests.
std::vector<std::uint8_t> SerialItemData(const CCommonTlvr& record, int item);
// The baud text sent for a rate: one of the seven, any other rate "115200".
std::string BaudText(int baudrate);
bool IsSentBaudRate(int baudrate);
// False (and nothing built) for values the command cannot carry: a PIN or
// name with CR or NUL, security outside 0..1, mode outside 0..2, or more
// than kMaxBluetoothCommand bytes.
bool BuildBluetoothCommand(const CCommonTlvr& record, std::vector<std::uint8_t>& out);
// The model's factory setting sequence; empty for a model without one.
std::vector<std::uint8_t> FactorySequence(int modelCode, std::uint32_t version);

} // namespace corvane
