// Printer identification over the program's one printer connection.
//
// Queries (3 bytes each, one Write):
//   0 code page   GS I E  1D 49 45 -> NUL-terminated name, or nothing ("_PC437");
//                                     read on while a started name keeps coming
//   1 model       GS I C  1D 49 43 -> "_KMP-Z400\0", "_VX-440\0", ...
//   2 version     GS I A  1D 49 41 -> "_VER V1.04\0", "_B01.00\0", ...
//   3 MSR mode    ESC M I 1B 4D 49 -> 37 80 <mode> 00
//
// Model and version replies are collected until a NUL arrives or 3000 ms
// pass; the MSR reply until 4 bytes arrive or 5000 ms pass. Every failure
// except "port not open" closes the port.
#pragma once

#include "corvane/link/CDev.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace corvane {

// Result codes of printer operations.
enum Result : int {
    kOk = 0,
    kNotOpen = 101,
    kNotSupported = 107,
    kNoHeader = 108,
    kBadFormat = 109,
    kShortWrite = 300,
    kNoReply = 301,
};

// Model codes; codes above 440 are the wide models.
enum PrinterModel : int {
    kModelUnknown = 0,
    kModelZ400 = 400,
    kModelZ400W = 401,
    kModelZ400II = 402,
    kModelVX440 = 440,
    kModelZ600 = 600,
    kModelZ800 = 800,
};

enum QueryType : int {
    kQueryCodePage = 0,
    kQueryModel = 1,
    kQueryVersion = 2,
    kQueryMsrMode = 3,
};

// Pure reply rules, over the reply text up to its first NUL.
int ModelCodeFromReply(std::string_view reply);
std::uint32_t VersionNumberFromReply(std::string_view reply, int modelCode);

class CCommonUtil {
public:
    explicit CCommonUtil(platform::Clock& clock = platform::systemClock(),
                         platform::Devices& devices = platform::systemDevices());
    virtual ~CCommonUtil();
    CCommonUtil(const CCommonUtil&) = delete;
    CCommonUtil& operator=(const CCommonUtil&) = delete;

    // Copies `settings` into the port.
    void ApplyPortSettings();
    // 0 ok; 101, 107, 109, 300, 301 as above. Unknown query types return 0.
    int CheckPrinter(int queryType);

    std::string modelName;          // model reply from its second character
    int g_Model = kModelZ400;
    CDev port;
    std::string firmwareVersion;    // version reply from its second character
    std::uint32_t g_Getver = 0;
    std::string codePage;           // code page reply, or "_PC437"
    std::uint8_t msrMode = 0;
    PortSettings settings{"COM1:", 115200, 0, 8, 0, 0};

private:
    int sendQuery(const std::uint8_t (&command)[3]);
    int queryCodePage();
    int queryText(const std::uint8_t (&command)[3], int bufferSize, int readSize, std::string& reply);
    int queryModel();
    int queryVersion();
    int queryMsrMode();

    platform::Clock& clock_;
};

} // namespace corvane
