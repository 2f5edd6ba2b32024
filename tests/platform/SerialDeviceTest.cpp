#include "platform/SerialDevice.h"
#include "platform/SerialTermios.h"
#include "support/Pty.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <poll.h>
#include <pty.h>
#include <string>
#include <sys/ioctl.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace marevo {
namespace {

using test::TPty;


// The pseudo-terminal hands bytes over through a kernel work queue; they show up shortly after
// the write. Polls for at most two seconds.
bool WaitFor(const std::function<bool()>& condition) {
    for (int i = 0; i < 2000; ++i) {
        if (condition())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return condition();
}

std::size_t Waiting(ISerialDevice& device) {
    TSerialStatus status;
    EXPECT_TRUE(device.Status(status)) << device.LastError();
    EXPECT_EQ(status.errors, 0u);
    return status.waiting;
}

bool WaitForWaiting(ISerialDevice& device, std::size_t count) {
    return WaitFor([&] { return Waiting(device) == count; });
}

TEST(SerialTermios, LineSettingsBecomeRawModeFlags) {
    struct Case {
        TSerialSettings settings;
        speed_t speed;
        tcflag_t size;
        tcflag_t parityFlags; // of PARENB | PARODD | CMSPAR
    };
    const Case cases[] = {
        {{9600, TParity::None, 8, 1, false}, B9600, CS8, 0},
        {{19200, TParity::Even, 7, 1, false}, B19200, CS7, PARENB},
        {{115200, TParity::Odd, 8, 2, true}, B115200, CS8, PARENB | PARODD},
        {{4800, TParity::Mark, 7, 1, false}, B4800, CS7, PARENB | PARODD | CMSPAR},
        {{1200, TParity::Space, 5, 2, true}, B1200, CS5, PARENB | CMSPAR},
        {{921600, TParity::None, 6, 1, false}, B921600, CS6, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.settings.baud);
        // Start from a cooked terminal with everything the raw mode must clear.
        termios t{};
        t.c_lflag = ICANON | ECHO | ISIG | IEXTEN;
        t.c_iflag = IXON | ICRNL;
        t.c_oflag = OPOST;
        t.c_cflag = CSTOPB | PARENB | PARODD | CMSPAR | CRTSCTS | CS6;
        std::string error;
        ASSERT_TRUE(MakeSerialTermios(c.settings, t, error)) << error;
        EXPECT_EQ(cfgetospeed(&t), c.speed);
        EXPECT_EQ(cfgetispeed(&t), c.speed);
        EXPECT_EQ(t.c_cflag & CSIZE, c.size);
        EXPECT_EQ(t.c_cflag & (PARENB | PARODD | CMSPAR), c.parityFlags);
        EXPECT_EQ((t.c_iflag & INPCK) != 0, c.settings.parity != TParity::None);
        EXPECT_EQ((t.c_cflag & CSTOPB) != 0, c.settings.stopBits == 2);
        EXPECT_EQ((t.c_cflag & CRTSCTS) != 0, c.settings.rtsCts);
        EXPECT_EQ(t.c_cflag & (CREAD | CLOCAL), tcflag_t(CREAD | CLOCAL));
        EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
        EXPECT_EQ(t.c_iflag & (IXON | ICRNL), 0u);
        EXPECT_EQ(t.c_oflag & OPOST, 0u);
    }
}

TEST(SerialTermios, RefusesWhatTermiosCannotExpress) {
    struct Case {
        TSerialSettings settings;
        std::string reason;
    };
    const Case cases[] = {
        {{12345, TParity::None, 8, 1, false}, "unsupported baud rate 12345"},
        {{0, TParity::None, 8, 1, false}, "unsupported baud rate 0"},
        {{9600, TParity::None, 9, 1, false}, "unsupported number of data bits 9"},
        {{9600, TParity::None, 4, 1, false}, "unsupported number of data bits 4"},
        {{9600, TParity::None, 8, 3, false}, "unsupported number of stop bits 3"},
    };
    for (const Case& c : cases) {
        termios t{};
        std::string error;
        EXPECT_FALSE(MakeSerialTermios(c.settings, t, error));
        EXPECT_EQ(error, c.reason);
    }
}

TEST(PosixSerialDevice, PutsTheTerminalInRawModeAtTheRate) {
    TPty pty;
    TPosixSerialDevice device;
    ASSERT_TRUE(device.Open(pty.path, {57600, TParity::None, 8, 2, true})) << device.LastError();
    EXPECT_TRUE(device.IsOpen());
    termios t{};
    ASSERT_EQ(tcgetattr(pty.slave, &t), 0);
    EXPECT_EQ(cfgetospeed(&t), speed_t(B57600));
    EXPECT_NE(t.c_cflag & CSTOPB, 0u);
    EXPECT_NE(t.c_cflag & CRTSCTS, 0u);
    EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG), 0u);
}

TEST(PosixSerialDevice, RefusesWhatItCannotOpenWithAReason) {
    TPty pty;
    const std::string file = ::testing::TempDir() + "/not-a-port.txt";
    std::ofstream(file) << "x";
    TPosixSerialDevice holder;
    ASSERT_TRUE(holder.Open(pty.path, {}));

    struct Case {
        std::string path;
        TSerialSettings settings;
        std::string reason;
    };
    const Case cases[] = {
        {"/dev/marevo-no-such-port", {}, "/dev/marevo-no-such-port: No such file or directory"},
        {file, {}, file + ": not a serial device"},
        {pty.path, {}, pty.path + ": in use by another program"},
    };
    for (const Case& c : cases) {
        TPosixSerialDevice device;
        EXPECT_FALSE(device.Open(c.path, c.settings)) << c.path;
        EXPECT_FALSE(device.IsOpen());
        EXPECT_EQ(device.LastError(), c.reason);
    }
    std::remove(file.c_str());
    // The refused opens left the holder's exclusive mode in place; closing gives it up.
    int exclusive = 0;
    ASSERT_EQ(::ioctl(pty.slave, TIOCGEXCL, &exclusive), 0);
    EXPECT_EQ(exclusive, 1);
    holder.Close();
    ASSERT_EQ(::ioctl(pty.slave, TIOCGEXCL, &exclusive), 0);
    EXPECT_EQ(exclusive, 0);

    // Settings the line cannot take leave the device closed, and so free for the next open.
    struct Bad {
        TSerialSettings settings;
        std::string reason;
    };
    const Bad bad[] = {
        {{12345, TParity::None, 8, 1, false}, "unsupported baud rate 12345"},
        {{9600, TParity::None, 8, 3, false}, "unsupported number of stop bits 3"},
    };
    for (const Bad& b : bad) {
        TPosixSerialDevice device;
        EXPECT_FALSE(device.Open(pty.path, b.settings));
        EXPECT_FALSE(device.IsOpen());
        EXPECT_EQ(device.LastError(), pty.path + ": " + b.reason);
    }
    EXPECT_TRUE(holder.Open(pty.path, {})) << holder.LastError();
}

TEST(PosixSerialDevice, CountsWaitingBytesAndReadsOnlyThose) {
    TPty pty;
    TPosixSerialDevice device;
    ASSERT_TRUE(device.Open(pty.path, {}));
    EXPECT_EQ(Waiting(device), 0u);
    char buffer[100];
    EXPECT_EQ(device.Read(buffer, sizeof buffer), 0); // nothing there: returns at once

    pty.Send("ABCDEFGH");
    ASSERT_TRUE(WaitForWaiting(device, 8));
    ASSERT_EQ(device.Read(buffer, 3), 3);
    EXPECT_EQ(std::string(buffer, 3), "ABC");
    EXPECT_EQ(Waiting(device), 5u);
    ASSERT_EQ(device.Read(buffer, sizeof buffer), 5);
    EXPECT_EQ(std::string(buffer, 5), "DEFGH");
    EXPECT_EQ(Waiting(device), 0u);
    EXPECT_EQ(device.Read(buffer, sizeof buffer), 0);
}

TEST(PosixSerialDevice, PurgeDiscardsWhatWasReceived) {
    TPty pty;
    TPosixSerialDevice device;
    ASSERT_TRUE(device.Open(pty.path, {}));
    pty.Send("stale answer\r\n");
    ASSERT_TRUE(WaitForWaiting(device, 14));
    ASSERT_TRUE(device.PurgeReceive()) << device.LastError();
    EXPECT_EQ(Waiting(device), 0u);
    char buffer[32];
    EXPECT_EQ(device.Read(buffer, sizeof buffer), 0);

    pty.Send("OK");
    ASSERT_TRUE(WaitForWaiting(device, 2));
    ASSERT_EQ(device.Read(buffer, sizeof buffer), 2);
    EXPECT_EQ(std::string(buffer, 2), "OK");
}

TEST(PosixSerialDevice, WritesReachThePeerAndNeverWaitForAFullQueue) {
    TPty pty;
    TPosixSerialDevice device;
    ASSERT_TRUE(device.Open(pty.path, {}));
    ASSERT_EQ(device.Write("SN\r", 3), 3);
    EXPECT_EQ(pty.Receive(3), "SN\r");

    // Nobody reads the master: the queue fills, and then the device takes nothing more.
    const std::string block(4096, 'x');
    std::ptrdiff_t taken = 1;
    for (int i = 0; i < 1000 && taken > 0; ++i) {
        taken = device.Write(block.data(), block.size());
        ASSERT_GE(taken, 0) << device.LastError();
    }
    EXPECT_EQ(taken, 0);
}

TEST(PosixSerialDevice, PseudoTerminalHasNoModemLinesSoCtsNeverHolds) {
    TPty pty;
    TPosixSerialDevice device;
    ASSERT_TRUE(device.Open(pty.path, {9600, TParity::None, 8, 1, true}));
    EXPECT_FALSE(device.CtsHolding());
}

TEST(PosixSerialDevice, ClosedPeerIsAHangUpNotACrash) {
    TPty pty;
    TPosixSerialDevice device;
    ASSERT_TRUE(device.Open(pty.path, {}));
    pty.Send("lost");
    ASSERT_TRUE(WaitForWaiting(device, 4));
    pty.CloseMaster();

    for (int i = 0; i < 2; ++i) { // it stays reported, call after call
        TSerialStatus status;
        ASSERT_TRUE(device.Status(status)) << device.LastError();
        EXPECT_EQ(status.errors, std::uint32_t(le_HangUp));
        EXPECT_EQ(status.waiting, 0u);
    }
    char buffer[8];
    EXPECT_EQ(device.Read(buffer, sizeof buffer), -1);
    EXPECT_EQ(device.LastError(), pty.path + ": device hung up");
    EXPECT_EQ(device.Write("x", 1), -1);
    EXPECT_FALSE(device.CtsHolding());
    device.Close();
    EXPECT_FALSE(device.IsOpen());
}

TEST(PosixSerialDevice, EveryOperationOnAClosedDeviceFails) {
    TPosixSerialDevice device;
    TSerialStatus status;
    char buffer[4];
    EXPECT_FALSE(device.Status(status));
    EXPECT_EQ(device.Read(buffer, sizeof buffer), -1);
    EXPECT_EQ(device.Write("x", 1), -1);
    EXPECT_FALSE(device.PurgeReceive());
    EXPECT_FALSE(device.CtsHolding());
    EXPECT_EQ(device.LastError(), "serial device: not open");
}

} // namespace
} // namespace marevo

namespace marevo {
namespace {

TEST(PosixSerialDevice, OutputPendingIsNothingOnceTheOtherSideHasRead) {
    TPosixSerialDevice device;
    EXPECT_EQ(device.OutputPending(), -1) << "closed";
    test::TPty pty;
    ASSERT_TRUE(device.Open(pty.path, TSerialSettings{}));
    ASSERT_EQ(device.Write("PRESS", 5), 5);
    EXPECT_EQ(pty.Receive(5), "PRESS");
    EXPECT_EQ(device.OutputPending(), 0);
}

} // namespace
} // namespace marevo
