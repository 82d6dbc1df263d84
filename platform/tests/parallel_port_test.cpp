// The parallel port: names, the status byte from the lp driver's bits, and
// I/O through a pseudo-terminal standing in for the lp node.
#include "platform/parallel_port.h"
#include "platform/devices.h"
#include "platform/testing/pty_peer.h"

#include <gtest/gtest.h>

#include <linux/lp.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <vector>

namespace {

using platform::DeviceRoots;

TEST(ParallelPortNames, LptNamesMapToLpNodesUnderTheDeviceRoot)
{
    const DeviceRoots system;
    EXPECT_EQ(platform::parallelDevicePath("LPT1", system), "/dev/lp0");
    EXPECT_EQ(platform::parallelDevicePath("lpt3:", system), "/dev/lp2");
    const DeviceRoots fake{"/tmp/x/sys", "/tmp/x/dev/"};
    EXPECT_EQ(platform::parallelDevicePath("LPT2", fake), "/tmp/x/dev/lp1");
    for (const std::string name : {"/dev/lp0", "LPT0", "LPT", "LPTx", "LPT1a", "LPT99999", "xLPT1"})
        EXPECT_EQ(platform::parallelDevicePath(name, system), name);
}

TEST(ParallelStatus, OnlySelectedNotBusyPaperAndNoErrorIsReady)
{
    const int ready = LP_PSELECD | LP_PBUSY | LP_PERRORP;
    EXPECT_EQ(platform::parallelStatusFromLp(ready), platform::kParallelReady);
    EXPECT_EQ(platform::parallelStatusFromLp(ready | LP_PACK), platform::kParallelReady);
    // Each fault alone makes it not ready.
    for (const int status : {ready & ~LP_PSELECD, ready & ~LP_PBUSY, ready | LP_POUTPA, ready & ~LP_PERRORP, 0}) {
        SCOPED_TRACE(status);
        EXPECT_NE(platform::parallelStatusFromLp(status), platform::kParallelReady);
        EXPECT_EQ(platform::parallelStatusFromLp(status) & platform::kParallelReady, 0);
    }
}

TEST(ParallelTransport, TheDeviceTableHasAParallelRow)
{
    auto port = platform::systemDevices().makePort(platform::DeviceKind::Parallel);
    ASSERT_NE(port, nullptr);
    EXPECT_EQ(port->kind(), platform::DeviceKind::Parallel);
    EXPECT_NE(dynamic_cast<platform::ParallelPort*>(port.get()), nullptr);
}

class ParallelOverPty : public ::testing::Test {
protected:
    std::unique_ptr<platform::ParallelPort> openPort()
    {
        auto port = platform::makeParallelPort();
        EXPECT_TRUE(port->open({peer_.slavePath()})) << port->lastError().describe();
        return port;
    }
    platform::testing::PtyPeer peer_{false};
};

TEST_F(ParallelOverPty, APseudoTerminalReadsAsReadyAndPassesBytesBothWays)
{
    auto port = openPort();
    std::uint8_t status = 0;
    ASSERT_TRUE(port->statusByte(status));
    EXPECT_EQ(status, platform::kParallelReady);

    const std::vector<std::uint8_t> out{0x1b, 0x40, 0x11, 0x13, 0x00, 0x0d};
    EXPECT_EQ(port->write(out.data(), static_cast<int>(out.size())).bytes, 6);
    EXPECT_EQ(peer_.read(6), out);

    peer_.write({'c', 0x00});
    port->setReadTimeoutMs(1000);
    std::uint8_t in[16] = {};
    const auto got = port->read(in, sizeof in);
    ASSERT_TRUE(got.complete());
    ASSERT_GE(got.bytes, 1);
    EXPECT_EQ(in[0], 'c');
}

TEST_F(ParallelOverPty, ASilentPrinterEndsTheReadAtItsBound)
{
    auto port = openPort();
    port->setReadTimeoutMs(50);
    std::uint8_t in[4];
    const auto start = std::chrono::steady_clock::now();
    const auto got = port->read(in, sizeof in);
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
    EXPECT_EQ(got.bytes, 0);
    EXPECT_EQ(got.end, platform::IoEnd::Timeout);
    EXPECT_GE(ms.count(), 40);
    EXPECT_LT(ms.count(), 5000);
}

TEST_F(ParallelOverPty, TheNodeIsExclusiveAndTheGoneEndIsAnError)
{
    auto port = openPort();
    auto second = platform::makeParallelPort();
    EXPECT_FALSE(second->open({peer_.slavePath()}));
    EXPECT_EQ(second->lastError().code, EBUSY);

    peer_.hangUp();
    std::uint8_t in[4];
    const auto got = port->read(in, sizeof in);
    EXPECT_EQ(got.end, platform::IoEnd::Error);
}

TEST(ParallelClosed, CallsOnAClosedPortFail)
{
    auto port = platform::makeParallelPort();
    std::uint8_t status = 1;
    EXPECT_FALSE(port->statusByte(status));
    const std::uint8_t b = 0;
    EXPECT_EQ(port->write(&b, 1).end, platform::IoEnd::Error);
    EXPECT_EQ(port->lastError().code, EBADF);
    EXPECT_FALSE(port->open({"/nonexistent/lp0"}));
    EXPECT_EQ(port->lastError().code, ENOENT);
}

} // namespace
