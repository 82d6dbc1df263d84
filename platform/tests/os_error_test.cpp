// The OS reason kept by failed platform calls and the hints derived from it.
#include "platform/os_error.h"
#include "platform/port.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

namespace {

using platform::DeviceKind;
using platform::OsError;

TEST(OsErrorHint, PermissionDeniedNamesTheGroupForTheDeviceKind)
{
    const OsError denied{EACCES, "open", "/dev/ttyS0"};
    const std::string serial = platform::osErrorHint(denied, DeviceKind::Serial);
    EXPECT_NE(serial.find("dialout"), std::string::npos) << serial;

    const std::string usb = platform::osErrorHint(denied, DeviceKind::Usb);
    EXPECT_NE(usb.find("'lp'"), std::string::npos) << usb;
    EXPECT_EQ(usb.find("dialout"), std::string::npos) << usb;

    EXPECT_EQ(platform::osErrorHint(denied, DeviceKind::Tcp), "");
}

TEST(OsErrorHint, BusyAndMissingDevicesGetAHintExceptOnTcp)
{
    const OsError busy{EBUSY, "open", "/dev/ttyS0"};
    EXPECT_NE(platform::osErrorHint(busy, DeviceKind::Serial).find("Another program"), std::string::npos);
    EXPECT_NE(platform::osErrorHint(busy, DeviceKind::Usb), "");
    EXPECT_EQ(platform::osErrorHint(busy, DeviceKind::Tcp), "");

    const OsError missing{ENOENT, "open", "/dev/ttyS9"};
    EXPECT_NE(platform::osErrorHint(missing, DeviceKind::Serial).find("No such device"), std::string::npos);
    EXPECT_NE(platform::osErrorHint(missing, DeviceKind::Usb), "");
    EXPECT_EQ(platform::osErrorHint(missing, DeviceKind::Tcp), "");

    EXPECT_EQ(platform::osErrorHint(OsError{EINVAL, "configure", "/dev/ttyS0"}, DeviceKind::Serial), "");
    EXPECT_NE(platform::osErrorHint(OsError{ECONNREFUSED, "connect", "10.0.0.5:9100"}, DeviceKind::Tcp), "");
}

TEST(OsErrorHint, APrinterThatDoesNotAnswerOnTheLineIsToldToBeCheckedForPower)
{
    EXPECT_NE(osErrorHint(OsError{EIO, "open", "/dev/ttyS0"}, DeviceKind::Serial).find("switched on"), std::string::npos);
    EXPECT_EQ(osErrorHint(OsError{EIO, "send", "10.0.0.5:9100"}, DeviceKind::Tcp), "");
}

TEST(OsErrorDescribe, NamesOperationTargetAndReason)
{
    const OsError error{EACCES, "open", "/dev/ttyUSB0"};
    EXPECT_TRUE(error.isSet());
    EXPECT_EQ(error.describe(), std::string("open /dev/ttyUSB0: ") + std::strerror(EACCES));

    const OsError noTarget{ETIMEDOUT, "read", ""};
    EXPECT_EQ(noTarget.describe(), std::string("read: ") + std::strerror(ETIMEDOUT));
    EXPECT_FALSE(OsError{}.isSet());
}

TEST(OsErrorCapture, LastOsErrorReadsErrnoAtTheCall)
{
    errno = ENODEV;
    const OsError error = platform::lastOsError("write", "/dev/usb/lp0");
    EXPECT_EQ(error.code, ENODEV);
    EXPECT_EQ(error.operation, "write");
    EXPECT_EQ(error.target, "/dev/usb/lp0");
}

TEST(StallReason, NamesTheBoundInSeconds)
{
    EXPECT_EQ(platform::stallReason(60000), "the printer stopped accepting data for 60 s");
    EXPECT_EQ(platform::stallReason(5000), "the printer stopped accepting data for 5 s");
    EXPECT_EQ(platform::stallReason(1500), "the printer stopped accepting data for 1.5 s");
    EXPECT_EQ(platform::stallReason(300), "the printer stopped accepting data for 0.3 s");
    EXPECT_EQ(platform::stallReason(25), "the printer stopped accepting data for 0.025 s");
    EXPECT_EQ(platform::stallReason(0), platform::stallReason(platform::kDefaultStallTimeoutMs));

    const OsError stall = platform::stallError("write", "/dev/ttyS0", 60000);
    EXPECT_EQ(stall.code, ETIMEDOUT);
    EXPECT_EQ(stall.describe(), "write /dev/ttyS0: the printer stopped accepting data for 60 s");
    // A stall is the printer's doing on every kind of link, not a lost address.
    for (const DeviceKind kind : {DeviceKind::Serial, DeviceKind::Usb, DeviceKind::Tcp}) {
        const std::string hint = platform::osErrorHint(stall, kind);
        EXPECT_NE(hint.find("stopped taking data"), std::string::npos) << hint;
    }
    EXPECT_NE(platform::osErrorHint(OsError{ETIMEDOUT, "connect", "10.0.0.5:9100"}, DeviceKind::Tcp)
                  .find("No answer"),
              std::string::npos);
}

} // namespace
