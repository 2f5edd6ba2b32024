#pragma once
// Tools › Terminal: an outside terminal program on the probe's port, started from a command the
// environment keeps beside Environ.env (Terminal.txt in the configuration folder, one line), so
// the stored records keep their bytes. In the command DEV stands for the probe's device and BAUD
// for its baud rate. While that program runs it holds the port: the commands that talk to the
// probe (start of a cast, stop of the data flow, clearing the memory, the upload) refuse to run.

#include "platform/ChildProcess.h"

#include <filesystem>
#include <string>
#include <string_view>

namespace marevo {

class TEnviron;

inline constexpr std::string_view DefaultTerminalCommand =
    "x-terminal-emulator -e picocom -b BAUD DEV";
// The terminal guard's messages: at the start of a cast, and for the other probe commands.
inline constexpr std::string_view TerminalOpenAtStart = "Please, first close the Terminal !";
inline constexpr std::string_view TerminalOpenMessage = "Please close first the Terminal !";

std::filesystem::path TerminalCommandFileName(const TEnviron& env);
// The stored command; the default when there is none (or the file holds only blanks).
std::string ReadTerminalCommand(const TEnviron& env);
// Replaces the file whole or not at all; raises EMarevoError on failure.
void WriteTerminalCommand(const TEnviron& env, const std::string& command);

// command with every DEV replaced by the device quoted for the shell and every BAUD by the baud
// rate of the port text (9600 when it names none).
std::string ExpandTerminalCommand(std::string_view command, const std::string& device,
                                  std::string_view portText);
// The program a command runs (its first word) when it can be found: the word itself when it
// holds a "/", else through PATH. Empty when not found.
std::filesystem::path FindTerminalProgram(std::string_view command);

class TTerminal {
public:
    // Whether the terminal started last still runs.
    bool Open() { return process_.Alive(); }
    // TerminalBtnClick: a beep when one is open; a program not found or not started is told
    // ("... application not found!", "Terminal file can not be startted!"). True when started.
    bool Start(const TEnviron& env);
    // Ends the terminal (the tests, and a program that ends with the port).
    void Close() { process_.Terminate(); }
    pid_t Id() const { return process_.Id(); }

private:
    TChildProcess process_;
};

} // namespace marevo
