#include "probelink/FileComm.h"

#include "support/Pty.h"
#include "support/SerialFakes.h"
#include "support/TestEnv.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <poll.h>
#include <pty.h>
#include <stdexcept>
#include <thread>
#include <unistd.h>

namespace marevo {

// Found by GoogleTest through the argument's namespace, so failures show port texts.
void PrintTo(const TCommConfig& c, std::ostream* os) {
    const TSerialSettings& s = c.settings;
    *os << "COM" << c.comNumber << ":" << s.baud << "," << static_cast<char>(s.parity) << ","
        << s.dataBits << "," << s.stopBits << "," << (s.rtsCts ? "e" : "n");
}

namespace {

using test::TFakeSerialDevice;
using test::TPty;
using test::TTestEnv;

// A port whose device the test keeps a hand on.
struct TFakePort {
    TFakePort() : device(new TFakeSerialDevice), port(std::unique_ptr<ISerialDevice>(device)) {}
    TFakeSerialDevice* device;
    TFileCOMM port;
};

std::filesystem::path FakePath(int n) {
    return "/dev/fake" + std::to_string(n);
}

TEST(CommConfig, PortTextsAreTakenApartOrRefusedWhole) {
    using P = TParity;
    struct Case {
        const char* text;
        std::optional<TCommConfig> expected;
    };
    const Case cases[] = {
        {"COM1:9600,n,8,1,n", TCommConfig{1, {9600, P::None, 8, 1, false}}},
        {"COM12:115200,e,7,2,e", TCommConfig{12, {115200, P::Even, 7, 2, true}}},
        {"com3:4800,O,8,1,N", TCommConfig{3, {4800, P::Odd, 8, 1, false}}},
        {"COM2:1200,m,7,1,E", TCommConfig{2, {1200, P::Mark, 7, 1, true}}},
        {"COM4:19200, s, 5, 2, n", TCommConfig{4, {19200, P::Space, 5, 2, false}}},
        // No colon: nothing to open.
        {"", std::nullopt},
        {"COM1", std::nullopt},
        {"9600,n,8,1,n", std::nullopt},
        // The port name.
        {"COM:9600,n,8,1,n", std::nullopt},
        {"COM0:9600,n,8,1,n", std::nullopt},
        {"COMx:9600,n,8,1,n", std::nullopt},
        {"LPT1:9600,n,8,1,n", std::nullopt},
        // Baud.
        {"COM1:abc,n,8,1,n", std::nullopt},
        {"COM1:0,n,8,1,n", std::nullopt},
        {"COM1:-9600,n,8,1,n", std::nullopt},
        {"COM1:9600.5,n,8,1,n", std::nullopt},
        // Parity.
        {"COM1:9600,x,8,1,n", std::nullopt},
        {"COM1:9600,no,8,1,n", std::nullopt},
        // Data and stop bits.
        {"COM1:9600,n,9,1,n", std::nullopt},
        {"COM1:9600,n,4,1,n", std::nullopt},
        {"COM1:9600,n,8,3,n", std::nullopt},
        {"COM1:9600,n,8,1.5,n", std::nullopt},
        // Flow.
        {"COM1:9600,n,8,1,x", std::nullopt},
        // Fields missing or extra.
        {"COM1:9600,n,8,1", std::nullopt},
        {"COM1:9600,n,8", std::nullopt},
        {"COM1:", std::nullopt},
        {"COM1:9600,,8,1,n", std::nullopt},
        {"COM1:9600,n,8,1,n,n", std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ParseCommConfig(c.text), c.expected) << c.text;
}

TEST(CommConfig, UnmappedPortsAreTheOnBoardSerialPorts) {
    EXPECT_EQ(DefaultPortPath(1), "/dev/ttyS0");
    EXPECT_EQ(DefaultPortPath(4), "/dev/ttyS3");
}

TEST(FileComm, OpensTheResolvedDeviceWithTheLineSettings) {
    TTestEnv env;
    TFakePort p;
    EXPECT_TRUE(p.port.Open("CTD", "COM7:38400,e,7,2,n", FakePath));
    EXPECT_TRUE(p.port.IsOpen());
    EXPECT_EQ(p.device->openedPath, "/dev/fake7");
    EXPECT_EQ(p.device->openedSettings, (TSerialSettings{38400, TParity::Even, 7, 2, false}));
    EXPECT_TRUE(env.op.Events().empty());
    EXPECT_TRUE(env.LogMessages().empty());
}

TEST(FileComm, APortTextItCannotUseOpensNothingAndSaysNothing) {
    for (const char* text : {"", "CTD", "9600,n,8,1,n", "COM1:9600,q,8,1,n"}) {
        TTestEnv env;
        TFakePort p;
        EXPECT_FALSE(p.port.Open("CTD", text, FakePath)) << text;
        EXPECT_FALSE(p.port.IsOpen());
        EXPECT_EQ(p.device->opens, 0) << text;
        EXPECT_NE(p.port.OpenError(), "");
        EXPECT_TRUE(env.op.Events().empty());
        EXPECT_TRUE(env.LogMessages().empty());
    }
}

TEST(FileComm, ADeviceThatDoesNotOpenIsReportedClosedEvenWithFlowControl) {
    for (const char* text : {"COM1:9600,n,8,1,n", "COM1:9600,n,8,1,e"}) {
        TTestEnv env;
        TFakePort p;
        p.device->openSucceeds = false;
        p.device->ctsHolding = false;
        EXPECT_FALSE(p.port.Open("CTD", text, FakePath)) << text;
        EXPECT_EQ(p.port.OpenError(), "fake: device gone");
        EXPECT_TRUE(env.op.Events().empty());
        EXPECT_TRUE(env.LogMessages().empty());
    }
}

TEST(FileComm, FlowControlWithNothingConnectedWarnsOnceAndReportsClosed) {
    struct Case {
        const char* text;
        bool ctsHolding;
        std::string alreadySent;
        bool opens;
    };
    const Case cases[] = {
        {"COM2:4800,n,8,1,e", true, "", false},      // CTS off, silent line: nobody there
        {"COM2:4800,n,8,1,e", true, "$GPGGA", true}, // something talks: it is connected
        {"COM2:4800,n,8,1,e", false, "", true},      // CTS on
        {"COM2:4800,n,8,1,n", true, "", true},       // no flow control: CTS does not matter
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.text) + " cts holding " + std::to_string(c.ctsHolding) +
                     " sent " + c.alreadySent);
        TTestEnv env;
        TFakePort p;
        p.device->ctsHolding = c.ctsHolding;
        p.device->Receive(c.alreadySent);
        const auto start = env.clock.TickMs();
        EXPECT_EQ(p.port.Open("GPS", c.text, FakePath), c.opens);
        EXPECT_EQ(p.port.IsOpen(), c.opens);
        EXPECT_EQ(p.device->open, c.opens); // a port reported closed does not hold the device
        if (c.opens) {
            EXPECT_TRUE(env.op.Events().empty());
        } else {
            EXPECT_EQ(env.op.Events(),
                      std::vector<std::string>{
                          "Message Warning [Warning]: CTS/RTS is enabled and no GPS connected!"});
        }
        // With flow control the line is given 100 ms to raise CTS before it is looked at.
        EXPECT_EQ(env.clock.TickMs() - start, std::string_view(c.text).back() == 'e' ? 100u : 0u);
        EXPECT_TRUE(env.LogMessages().empty());
    }
}

TEST(FileComm, AFailureWhileOpeningIsLoggedAndLeavesThePortClosed) {
    TTestEnv env;
    TFakePort p;
    const TPortResolver broken = [](int) -> std::filesystem::path {
        throw std::runtime_error("Ports.map: line 3 unreadable");
    };
    EXPECT_FALSE(p.port.Open("CTD", "COM1:9600,n,8,1,n", broken));
    EXPECT_FALSE(p.port.IsOpen());
    EXPECT_EQ(env.LogMessages(),
              std::vector<std::string>{"Error in TFileCOMM.Create Ports.map: line 3 unreadable"});
    EXPECT_TRUE(env.op.Events().empty());
}

TEST(FileComm, ReadTakesOnlyWhatIsWaitingAndNeverMore) {
    TTestEnv env;
    TFakePort p;
    ASSERT_TRUE(p.port.Open("CTD", "COM1:9600,n,8,1,n", FakePath));
    char buffer[16] = {};
    EXPECT_EQ(p.port.size(), 0);
    EXPECT_EQ(p.port.Read(buffer, sizeof buffer), 0u);

    p.device->Receive("ABCDE");
    EXPECT_EQ(p.port.size(), 5);
    EXPECT_EQ(p.port.Size(), 5);
    EXPECT_EQ(p.port.Read(buffer, 2), 2u);
    EXPECT_EQ(std::string(buffer, 2), "AB");
    EXPECT_EQ(p.port.Read(buffer, sizeof buffer), 3u);
    EXPECT_EQ(std::string(buffer, 3), "CDE");
    std::uint8_t byte = 0;
    EXPECT_FALSE(p.port.ReadByte(byte));
    p.device->Receive("\x7f");
    EXPECT_TRUE(p.port.ReadByte(byte));
    EXPECT_EQ(byte, 0x7f);
    EXPECT_FALSE(p.port.ComResetted);
    EXPECT_TRUE(env.LogMessages().empty());
}

TEST(FileComm, DriverTroubleGivesNoDataSetsComResettedAndIsLoggedOncePerSpell) {
    struct Case {
        bool statusReadable;
        std::uint32_t errors;
        std::string sizeLine;
        std::string readLine;
    };
    const Case cases[] = {
        {false, 0, "TFileCOMM.Size failure calling ClearCommError ",
         "TFileCOMM.ReadComm: failure calling ClearCommError "},
        {true, le_Overrun | le_Frame, "TFileCOMM.Size: communication error 10",
         "TFileCOMM.ReadComm: communication error 10"},
        {true, le_HangUp, "TFileCOMM.Size: communication error 1024",
         "TFileCOMM.ReadComm: communication error 1024"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.sizeLine);
        TTestEnv env;
        TFakePort p;
        ASSERT_TRUE(p.port.Open("CTD", "COM1:9600,n,8,1,n", FakePath));
        p.device->Receive("ABC");
        p.device->statusReadable = c.statusReadable;
        p.device->errors = c.errors;
        char buffer[8];
        for (int i = 0; i < 3; ++i) { // a lasting fault is polled over and over
            EXPECT_EQ(p.port.Read(buffer, sizeof buffer), 0u);
            EXPECT_TRUE(p.port.ComResetted);
            EXPECT_EQ(p.port.size(), 0);
        }
        EXPECT_EQ(env.LogMessages(), std::vector<std::string>{c.readLine});

        // A clean reading ends the spell; the next fault is logged again.
        p.device->statusReadable = true;
        p.device->errors = 0;
        EXPECT_EQ(p.port.size(), 3);
        p.device->statusReadable = c.statusReadable;
        p.device->errors = c.errors;
        EXPECT_EQ(p.port.size(), 0);
        EXPECT_EQ(p.port.size(), 0);
        EXPECT_EQ(env.LogMessages(), (std::vector<std::string>{c.readLine, c.sizeLine}));

        // The driver recovers; ComResetted stays until flush.
        p.device->statusReadable = true;
        p.device->errors = 0;
        EXPECT_EQ(p.port.size(), 3);
        EXPECT_TRUE(p.port.ComResetted);
        EXPECT_TRUE(p.port.flush());
        EXPECT_FALSE(p.port.ComResetted);
        EXPECT_EQ(p.port.size(), 0); // flush discarded the queue
        EXPECT_TRUE(env.op.Events().empty());
    }
}

TEST(FileComm, AFailingReadIsLoggedAndGivesNothing) {
    TTestEnv env;
    TFakePort p;
    ASSERT_TRUE(p.port.Open("CTD", "COM1:9600,n,8,1,n", FakePath));
    p.device->Receive("ABC");
    p.device->failReads = true;
    char buffer[8];
    EXPECT_EQ(p.port.Read(buffer, sizeof buffer), 0u);
    EXPECT_TRUE(p.port.ComResetted);
    EXPECT_EQ(env.LogMessages(),
              std::vector<std::string>{"Error in TFileCOMM.ReadCommfake: device gone"});
}

TEST(FileComm, FlushThatCannotPurgeSaysSoOnTheStatusLineAndStillClears) {
    TTestEnv env;
    TFakePort p;
    ASSERT_TRUE(p.port.Open("CTD", "COM1:9600,n,8,1,n", FakePath));
    p.device->errors = le_Break;
    EXPECT_EQ(p.port.size(), 0);
    p.device->purgeSucceeds = false;
    EXPECT_TRUE(p.port.flush());
    EXPECT_FALSE(p.port.ComResetted);
    EXPECT_EQ(env.op.Status(), "Flush Communication Error");
    EXPECT_EQ(env.LogMessages(), (std::vector<std::string>{"TFileCOMM.Size: communication error 16",
                                                           "Flush Communication Error"}));
}

TEST(FileComm, WriteGivesUpAfterItsTimeOutOnALineThatTakesNothing) {
    struct Case {
        std::size_t takesPerWrite;
        std::size_t count;
        std::size_t written;
        std::uint64_t maxElapsedMs;
    };
    const Case cases[] = {
        {SIZE_MAX, 5, 5, 0}, // all at once
        {2, 5, 5, 2},        // a byte or two at a time, a millisecond apart
        {0, 5, 0, 1501},     // 5 × 100 ms + 1 s, then one more millisecond to exceed it
        {0, 20, 0, 3001},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.takesPerWrite) + " per write, " + std::to_string(c.count));
        TTestEnv env;
        TFakePort p;
        ASSERT_TRUE(p.port.Open("CTD", "COM1:9600,n,8,1,n", FakePath));
        p.device->takesPerWrite = c.takesPerWrite;
        const std::string command(c.count, 'x');
        const auto start = env.clock.TickMs();
        EXPECT_EQ(p.port.Write(command.data(), command.size()), c.written);
        EXPECT_EQ(env.clock.TickMs() - start, c.maxElapsedMs);
        EXPECT_EQ(p.device->sent, command.substr(0, c.written));
        if (c.written == c.count) {
            EXPECT_TRUE(env.LogMessages().empty());
        } else {
            EXPECT_EQ(env.LogMessages(),
                      std::vector<std::string>{"Error in TFileCOMM.Write time-out, 0 of " +
                                               std::to_string(c.count) + " bytes written"});
        }
    }
}

TEST(FileComm, AfterFreeEveryCallFailsAndIsLogged) {
    TTestEnv env;
    TFakePort p;
    ASSERT_TRUE(p.port.Open("CTD", "COM1:9600,n,8,1,n", FakePath));
    p.port.free();
    EXPECT_FALSE(p.port.IsOpen());
    EXPECT_FALSE(p.device->open);
    char buffer[4];
    EXPECT_EQ(p.port.size(), 0);
    EXPECT_EQ(p.port.Write("SN\r", 3), 0u);
    EXPECT_TRUE(p.port.flush());
    EXPECT_EQ(p.port.Read(buffer, sizeof buffer), 0u);
    EXPECT_EQ(
        env.LogMessages(),
        (std::vector<std::string>{
            "TFileCOMM.Size failure calling ClearCommError ",
            "Error in TFileCOMM.Write fake: device gone, 0 of 3 bytes written",
            "Flush Communication Error", "TFileCOMM.ReadComm: failure calling ClearCommError "}));
}

TEST(FileComm, WrapsADeviceThatIsAlreadyOpen) {
    TTestEnv env;
    auto device = std::make_unique<TFakeSerialDevice>();
    device->open = true;
    device->Receive("hello");
    TFileCOMM port(std::move(device));
    EXPECT_TRUE(port.IsOpen());
    char buffer[8];
    EXPECT_EQ(port.Read(buffer, sizeof buffer), 5u);
    EXPECT_EQ(std::string(buffer, 5), "hello");
}

// ---- On a pseudo-terminal ------------------------------------------------------------------

TPortResolver ResolverOf(const TPty& pty) {
    return [path = pty.path](int) { return std::filesystem::path(path); };
}

// Bytes written on the master reach the slave through a kernel work queue, shortly after.
bool WaitForSize(TFileCOMM& port, int count) {
    for (int i = 0; i < 2000; ++i) {
        if (port.size() == count)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return port.size() == count;
}

TEST(FileCommOnPseudoTerminal, CountsReadsPurgesAndWrites) {
    TTestEnv env;
    TPty pty;
    TFileCOMM port;
    ASSERT_TRUE(port.Open("CTD", "COM1:9600,n,8,1,n", ResolverOf(pty))) << port.OpenError();
    pty.Send("SN 0123\r\n");
    ASSERT_TRUE(WaitForSize(port, 9));
    char buffer[32];
    EXPECT_EQ(port.Read(buffer, 2), 2u);
    EXPECT_EQ(std::string(buffer, 2), "SN");
    EXPECT_EQ(port.Read(buffer, sizeof buffer), 7u); // only what is waiting
    EXPECT_EQ(std::string(buffer, 7), " 0123\r\n");
    EXPECT_EQ(port.Read(buffer, sizeof buffer), 0u);

    pty.Send("stale");
    ASSERT_TRUE(WaitForSize(port, 5));
    EXPECT_TRUE(port.flush());
    EXPECT_EQ(port.size(), 0);

    EXPECT_EQ(port.Write("BA\r", 3), 3u);
    EXPECT_EQ(pty.Receive(3), "BA\r");
    EXPECT_TRUE(env.LogMessages().empty());
    EXPECT_TRUE(env.op.Events().empty());
}

TEST(FileCommOnPseudoTerminal, FlowControlOpensBecauseAPseudoTerminalNeverHoldsCts) {
    TTestEnv env;
    TPty pty;
    TFileCOMM port;
    EXPECT_TRUE(port.Open("CTD", "COM1:9600,n,8,1,e", ResolverOf(pty))) << port.OpenError();
    EXPECT_TRUE(env.op.Events().empty());
}

TEST(FileCommOnPseudoTerminal, UnpluggedDeviceIsReportedWithoutACrashUntilFlush) {
    TTestEnv env;
    TPty pty;
    TFileCOMM port;
    ASSERT_TRUE(port.Open("CTD", "COM1:9600,n,8,1,n", ResolverOf(pty)));
    pty.Send("half a fra");
    ASSERT_TRUE(WaitForSize(port, 10));
    pty.CloseMaster();

    char buffer[32];
    EXPECT_EQ(port.size(), 0);
    EXPECT_TRUE(port.ComResetted);
    EXPECT_EQ(port.Read(buffer, sizeof buffer), 0u);
    EXPECT_EQ(port.size(), 0);
    EXPECT_TRUE(port.ComResetted);
    EXPECT_EQ(port.Write("ST\r", 3), 0u);
    EXPECT_TRUE(port.flush());
    EXPECT_FALSE(port.ComResetted);
    EXPECT_EQ(port.size(), 0); // still gone
    EXPECT_TRUE(port.ComResetted);

    // Reading is refused in silence while the same fault lasts; the hang-up is logged again
    // after flush, as the port is still gone.
    EXPECT_EQ(env.LogMessages(),
              (std::vector<std::string>{
                  "TFileCOMM.Size: communication error 1024",
                  "Error in TFileCOMM.Write " + pty.path + ": device hung up, 0 of 3 bytes written",
                  "Flush Communication Error",
                  "TFileCOMM.Size: communication error 1024",
              }));
}

} // namespace
} // namespace marevo
