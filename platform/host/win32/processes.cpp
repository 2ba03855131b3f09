// CreateProcessW. This host runs no Windows programs: it records each start
// as it was asked for and answers with process and thread handles that
// CloseHandle takes, as a start that succeeded would.
#include "win32_errors.h"

#include "../kernel/object_table.h"

#include <host/utf16.h>
#include <host/win32_hooks.h>

#include <mutex>

namespace host {

namespace {

class ProcessObject final : public KernelObject {};
class ThreadObject final : public KernelObject {};

struct Starts {
    std::mutex lock;
    std::vector<ProcessStart> recorded;
    DWORD failure = ERROR_SUCCESS;
    DWORD nextId = 0x1000;  // ids are multiples of four, as on Windows
};

Starts& TheStarts()
{
    // Never destroyed: a start may come late in the process's life.
    static Starts* starts = new Starts;
    return *starts;
}

std::optional<std::u16string> TextOrNone(LPCWSTR text)
{
    return text != nullptr ? std::optional<std::u16string>(AsUtf16(text)) : std::nullopt;
}

}  // namespace

std::vector<ProcessStart> RecordedProcessStarts()
{
    auto& starts = TheStarts();
    std::lock_guard guard(starts.lock);
    return starts.recorded;
}

void ClearRecordedProcessStarts()
{
    auto& starts = TheStarts();
    std::lock_guard guard(starts.lock);
    starts.recorded.clear();
}

void FailProcessStarts(DWORD error)
{
    auto& starts = TheStarts();
    std::lock_guard guard(starts.lock);
    starts.failure = error;
}

}  // namespace host

extern "C" BOOL WINAPI CreateProcessW(LPCWSTR lpApplicationName, LPWSTR lpCommandLine,
                                      LPSECURITY_ATTRIBUTES lpProcessAttributes,
                                      LPSECURITY_ATTRIBUTES lpThreadAttributes, BOOL bInheritHandles,
                                      DWORD dwCreationFlags, LPVOID lpEnvironment, LPCWSTR lpCurrentDirectory,
                                      LPSTARTUPINFOW lpStartupInfo, LPPROCESS_INFORMATION lpProcessInformation)
{
    (void)lpProcessAttributes;
    (void)lpThreadAttributes;
    (void)bInheritHandles;
    (void)lpEnvironment;
    if (lpStartupInfo == nullptr || lpProcessInformation == nullptr ||
        (lpApplicationName == nullptr && lpCommandLine == nullptr)) {
        return host::FailWithError(ERROR_INVALID_PARAMETER);
    }
    host::ProcessStart start;
    start.applicationName = host::TextOrNone(lpApplicationName);
    start.commandLine = host::TextOrNone(lpCommandLine);
    start.currentDirectory = host::TextOrNone(lpCurrentDirectory);
    if (lpStartupInfo->dwFlags & STARTF_USESHOWWINDOW) {
        start.showWindow = lpStartupInfo->wShowWindow;
    }
    start.creationFlags = dwCreationFlags;

    DWORD processId = 0;
    {
        auto& starts = host::TheStarts();
        std::lock_guard guard(starts.lock);
        if (starts.failure != ERROR_SUCCESS) {
            return host::FailWithError(starts.failure);
        }
        starts.recorded.push_back(std::move(start));
        processId = starts.nextId;
        starts.nextId += 8;
    }
    auto process = host::MakeObject<host::ProcessObject>();
    auto thread = host::MakeObject<host::ThreadObject>();
    lpProcessInformation->hProcess = host::InsertHandle(process.Get());
    lpProcessInformation->hThread = host::InsertHandle(thread.Get());
    lpProcessInformation->dwProcessId = processId;
    lpProcessInformation->dwThreadId = processId + 4;
    return TRUE;
}
