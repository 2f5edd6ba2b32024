#include "shell/Terminal.h"

#include "foundation/EventLog.h"
#include "foundation/Guard.h"
#include "foundation/Runtime.h"
#include "foundation/Stream.h"
#include "records/Environ.h"

#include <cctype>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace marevo {

namespace fs = std::filesystem;

namespace {

// text quoted for /bin/sh: inside single quotes nothing is special but the quote itself.
std::string ShellQuoted(const std::string& text) {
    std::string quoted = "'";
    for (const char c : text)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

void ReplaceAll(std::string& text, std::string_view word, const std::string& by) {
    for (std::size_t at = text.find(word); at != std::string::npos;
         at = text.find(word, at + by.size()))
        text.replace(at, word.size(), by);
}

std::string Trimmed(std::string text) {
    const std::size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

bool Executable(const fs::path& file) {
    std::error_code ec;
    return fs::is_regular_file(file, ec) && ::access(file.c_str(), X_OK) == 0;
}

} // namespace

fs::path TerminalCommandFileName(const TEnviron& env) {
    return env.ConfigFolder() / "Terminal.txt";
}

std::string ReadTerminalCommand(const TEnviron& env) {
    std::ifstream in(TerminalCommandFileName(env), std::ios::binary);
    std::string line;
    if (in)
        std::getline(in, line);
    line = Trimmed(line);
    return line.empty() ? std::string(DefaultTerminalCommand) : line;
}

void WriteTerminalCommand(const TEnviron& env, const std::string& command) {
    const std::string text = Trimmed(command) + "\n";
    WriteFileAtomically(TerminalCommandFileName(env), [&](TStream& out) {
        if (out.Write(text.data(), text.size()) != text.size())
            Raise("Terminal.txt: write error");
    });
}

std::string ExpandTerminalCommand(std::string_view command, const std::string& device,
                                  std::string_view portText) {
    // The baud rate: the digits after "COMn:".
    std::string baud;
    if (const std::size_t colon = portText.find(':'); colon != std::string_view::npos)
        for (std::size_t i = colon + 1; i < portText.size() && std::isdigit(static_cast<unsigned char>(portText[i])); ++i)
            baud += portText[i];
    if (baud.empty())
        baud = "9600";
    std::string line(command);
    ReplaceAll(line, "BAUD", baud);
    ReplaceAll(line, "DEV", ShellQuoted(device));
    return line;
}

fs::path FindTerminalProgram(std::string_view command) {
    const std::string text = Trimmed(std::string(command));
    const std::string word = text.substr(0, text.find_first_of(" \t"));
    if (word.empty())
        return {};
    if (word.find('/') != std::string::npos)
        return Executable(word) ? fs::path(word) : fs::path();
    const char* path = std::getenv("PATH");
    std::istringstream folders(path ? path : "/usr/bin:/bin");
    for (std::string folder; std::getline(folders, folder, ':');)
        if (!folder.empty() && Executable(fs::path(folder) / word))
            return fs::path(folder) / word;
    return {};
}

bool TTerminal::Start(const TEnviron& env) {
    bool started = false;
    Guard({"Error opening Terminal", "Start Terminal"}, [&] {
        if (Open()) {
            Operator().Beep();
            return;
        }
        const std::string command = ReadTerminalCommand(env);
        if (FindTerminalProgram(command).empty()) {
            const std::string program = command.substr(0, command.find_first_of(" \t"));
            Operator().Message(program + " application not found!", "Warning",
                               TMessageKind::Warning);
            return;
        }
        const std::string line = ExpandTerminalCommand(
            command, env.PortDeviceName(env.ProbeCommPort), env.ProbeCommPort.CommCfgStr.Get());
        started = process_.Start(line);
        if (started)
            WriteLog("Terminal started: " + line);
        else
            Operator().Message("Terminal file can not be startted!", "Warning",
                               TMessageKind::Warning);
    });
    return started;
}

} // namespace marevo
