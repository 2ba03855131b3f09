#include "shell/startup.h"

#include "shell/manager.h"
#include "shell/texts.h"
#include "shell/ui.h"

#include <shellapi.h>

namespace tessaly {

namespace {

// Session-local: each logged-on user has a manager of their own.
constexpr char16_t kInstanceMarker[] = u"Korvel.tessaly.SingleInstance";
constexpr DWORD kAutoStart = 2;

}  // namespace

SingleInstance::SingleInstance()
{
    m_Marker = CreateMutexW(nullptr, FALSE, reinterpret_cast<LPCWSTR>(kInstanceMarker));
    m_AnotherIsRunning = m_Marker != nullptr && GetLastError() == ERROR_ALREADY_EXISTS;
}

SingleInstance::~SingleInstance()
{
    if (m_Marker != nullptr) {
        CloseHandle(m_Marker);
    }
}

void AskShellToOpenVaultDrive()
{
    ShellExecuteW(nullptr, L"open", L"S:", L"", L"", SW_SHOWNORMAL);
}

Text FolderOf(const Text& filePath)
{
    const std::size_t backslash = filePath.rfind(u'\\');
    return backslash == Text::npos ? Text() : filePath.substr(0, backslash);
}

Text ProgramFolder()
{
    Text path(MAX_PATH, u'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, WideBuffer(path), static_cast<DWORD>(path.size()));
        if (length == 0) {
            return {};
        }
        if (length < path.size()) {
            path.resize(length);
            return FolderOf(path);
        }
        path.resize(path.size() * 2);
    }
}

Text ArgumentText(const Text& commandLine)
{
    std::size_t at = 0;
    if (!commandLine.empty() && commandLine[0] == u'"') {
        const std::size_t close = commandLine.find(u'"', 1);
        at = close == Text::npos ? commandLine.size() : close + 1;
    } else {
        while (at < commandLine.size() && commandLine[at] != u' ' && commandLine[at] != u'\t') {
            ++at;
        }
    }
    while (at < commandLine.size() && (commandLine[at] == u' ' || commandLine[at] == u'\t')) {
        ++at;
    }
    return commandLine.substr(at);
}

Text RunCommandFor(const Text& programFolder)
{
    return programFolder + texts::kRunCommandSuffix;
}

bool UpdateRunEntry(Manager& manager)
{
    const Text wanted = RunCommandFor(manager.programFolder);
    if (manager.registry.ReadRegString(texts::kRunKeyPath, texts::kRunValueName) == wanted) {
        return false;
    }
    manager.registry.WriteRegString(texts::kRunKeyPath, texts::kRunValueName, wanted);
    return true;
}

bool StartDriverService(Manager& manager)
{
    if (manager.pellix.SysDiskInstall(texts::kServiceName, manager.programFolder + texts::kDriverFile, kAutoStart) !=
        0) {
        return true;
    }
    manager.pellix.SysDiskUnInstall();
    manager.ui.ShowMessage(texts::kDriverFailed, MessageButtons::Ok);
    return false;
}

}  // namespace tessaly
