#include "shell/Terminal.h"

#include "records/Environ.h"
#include "support/TestEnv.h"

#include <gtest/gtest.h>

#include <fstream>

namespace marevo {
namespace {

TEST(Terminal, TheCommandNamesTheProbesDeviceQuotedAndItsBaudRate) {
    struct TCase {
        const char* command;
        const char* device;
        const char* port;
        const char* line;
    };
    const TCase cases[] = {
        {"x-terminal-emulator -e picocom -b BAUD DEV", "/dev/ttyUSB0", "COM1:19200,n,8,1,n",
         "x-terminal-emulator -e picocom -b 19200 '/dev/ttyUSB0'"},
        // A device name is never read by the shell as more than one word.
        {"xterm -e picocom DEV", "/dev/it's; rm x", "COM2:9600,n,8,1,n",
         "xterm -e picocom '/dev/it'\\''s; rm x'"},
        {"term BAUD", "/dev/pts/4", "NONE", "term 9600"},
    };
    for (const TCase& c : cases)
        EXPECT_EQ(ExpandTerminalCommand(c.command, c.device, c.port), c.line) << c.command;
}

TEST(Terminal, TheCommandIsKeptBesideTheEnvironmentAndDefaultsWhenAbsent) {
    test::TTestEnv env;
    TEnviron environ;
    environ.Dir[FileTypeConfig].Set(env.dir.string() + "/");
    EXPECT_EQ(ReadTerminalCommand(environ), DefaultTerminalCommand);
    WriteTerminalCommand(environ, "  sleep 5 \n");
    EXPECT_EQ(ReadTerminalCommand(environ), "sleep 5");
    std::ofstream(TerminalCommandFileName(environ)) << "   \n";
    EXPECT_EQ(ReadTerminalCommand(environ), DefaultTerminalCommand);
}

TEST(Terminal, IsOpenWhileItsProcessLivesAndAMissingProgramIsTold) {
    test::TTestEnv env;
    TEnviron environ;
    environ.Dir[FileTypeConfig].Set(env.dir.string() + "/");
    TTerminal terminal;
    WriteTerminalCommand(environ, "no-such-terminal-program -e DEV");
    EXPECT_FALSE(terminal.Start(environ));
    EXPECT_FALSE(terminal.Open());
    WriteTerminalCommand(environ, "sleep 5");
    EXPECT_TRUE(terminal.Start(environ));
    EXPECT_TRUE(terminal.Open());
    EXPECT_GT(terminal.Id(), 0);
    EXPECT_FALSE(terminal.Start(environ)); // one at a time: a beep
    terminal.Close();
    EXPECT_FALSE(terminal.Open());
    EXPECT_EQ(env.op.Events(),
              (std::vector<std::string>{
                  "Message Warning [Warning]: no-such-terminal-program application not found!",
                  "Beep 0 0"}));
}

} // namespace
} // namespace marevo
