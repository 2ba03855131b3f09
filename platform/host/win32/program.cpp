// The program's file and command line. This host starts no Windows program,
// so both are what a knob says; the command line defaults to the program
// file in quotes, as a program started from Explorer sees it.
#include "program.h"

#include <host/win32_hooks.h>

#include <deque>
#include <mutex>

namespace host {

namespace {

struct Program {
    std::mutex lock;
    std::u16string file;
    // Every text GetCommandLineW ever handed out stays valid, as its
    // answer does for the life of a Windows process.
    std::deque<std::u16string> commandLines{u""};
};

Program& TheProgram()
{
    // Never destroyed: the command line may be asked for until the process ends.
    static Program* program = new Program;
    return *program;
}

}  // namespace

std::optional<std::u16string> ProgramFile()
{
    auto& program = TheProgram();
    std::lock_guard guard(program.lock);
    return program.file.empty() ? std::nullopt : std::optional<std::u16string>(program.file);
}

void SetProgramFile(const std::u16string& windowsPath)
{
    auto& program = TheProgram();
    std::lock_guard guard(program.lock);
    program.file = windowsPath;
    program.commandLines.push_back(windowsPath.empty() ? u"" : u"\"" + windowsPath + u"\"");
}

void SetCommandLineText(const std::u16string& commandLine)
{
    auto& program = TheProgram();
    std::lock_guard guard(program.lock);
    program.commandLines.push_back(commandLine);
}

}  // namespace host

extern "C" LPWSTR WINAPI GetCommandLineW(void)
{
    auto& program = host::TheProgram();
    std::lock_guard guard(program.lock);
    return reinterpret_cast<LPWSTR>(program.commandLines.back().data());
}
