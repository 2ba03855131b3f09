// The host's fmifs.dll, provided when a test asks for it: FormatEx records
// the request and reports progress and its outcome through the callback, on
// the caller's thread as Windows' does: as the script says, or as a real
// format of the drive goes.
#include "system_libraries.h"

#include <host/format_hooks.h>
#include <host/ntfs_volume.h>
#include <host/utf16.h>

#include <winioctl.h>

#include <mutex>

namespace host {

namespace {

typedef BOOLEAN(WINAPI* FormatCallback)(std::uint32_t command, DWORD detail, PVOID information);

constexpr std::uint32_t kProgress = 0;
constexpr std::uint32_t kDone = 11;

struct FormatState {
    std::mutex lock;
    FormatScript script;
    std::vector<FormatCall> calls;
};

FormatState& TheState()
{
    static FormatState* state = new FormatState;
    return *state;
}

std::u16string Text(const WCHAR* text)
{
    return text == nullptr ? std::u16string() : std::u16string(AsUtf16(text));
}

// An NTFS volume written onto the drive through "\\.\X:", as the volume's
// disk takes it: whole sectors at their offsets. Reports its progress.
bool WriteVolume(const std::u16string& driveRoot, const std::u16string& label, FormatCallback callback,
                 std::vector<BOOLEAN>& answers)
{
    if (driveRoot.size() < 2 || driveRoot[1] != u':') {
        return false;
    }
    const std::u16string device = u"\\\\.\\" + driveRoot.substr(0, 2);
    HANDLE volume = CreateFileW(reinterpret_cast<LPCWSTR>(device.c_str()), GENERIC_READ | GENERIC_WRITE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, FILE_FLAG_NO_BUFFERING,
                                nullptr);
    if (volume == INVALID_HANDLE_VALUE) {
        return false;
    }
    GET_LENGTH_INFORMATION length{};
    DWORD returned = 0;
    bool written = DeviceIoControl(volume, IOCTL_DISK_GET_LENGTH_INFO, nullptr, 0, &length, sizeof length, &returned,
                                   nullptr) != FALSE;
    if (written) {
        const std::string error = MakeNtfsVolume(
            static_cast<unsigned long long>(length.Length.QuadPart), Utf16ToUtf8(label).value_or("Vault"),
            [&](unsigned long long offset, const void* data, std::size_t bytes) {
                OVERLAPPED at{};
                at.Offset = static_cast<DWORD>(offset);
                at.OffsetHigh = static_cast<DWORD>(offset >> 32);
                DWORD done = 0;
                return WriteFile(volume, data, static_cast<DWORD>(bytes), &done, &at) != FALSE && done == bytes;
            },
            [&](int percent) {
                if (callback != nullptr) {
                    DWORD share = static_cast<DWORD>(percent);
                    answers.push_back(callback(kProgress, sizeof(share), &share));
                }
            });
        written = error.empty();
    }
    CloseHandle(volume);
    return written;
}

VOID WINAPI FormatEx(PWCHAR driveRoot, DWORD mediaFlag, PWCHAR fileSystem, PWCHAR label, BOOL quickFormat,
                     DWORD clusterSize, FormatCallback callback)
{
    FormatCall call{Text(driveRoot), mediaFlag, Text(fileSystem), Text(label), quickFormat, clusterSize, {}};
    FormatScript script;
    {
        std::lock_guard guard(TheState().lock);
        script = TheState().script;
    }
    if (script.writesVolume) {
        BOOLEAN succeeded = WriteVolume(call.driveRoot, call.label, callback, call.callbackAnswers) ? 1 : 0;
        if (callback != nullptr) {
            call.callbackAnswers.push_back(callback(kDone, sizeof(succeeded), &succeeded));
        }
        std::lock_guard guard(TheState().lock);
        TheState().calls.push_back(std::move(call));
        return;
    }
    // The reports carry their data's size in the second argument.
    if (callback != nullptr) {
        for (DWORD percentage : script.percentages) {
            call.callbackAnswers.push_back(callback(kProgress, sizeof(percentage), &percentage));
        }
        BOOLEAN succeeded = script.succeeds ? 1 : 0;
        call.callbackAnswers.push_back(callback(kDone, sizeof(succeeded), &succeeded));
    }
    std::lock_guard guard(TheState().lock);
    TheState().calls.push_back(std::move(call));
}

}  // namespace

void ProvideFormatLibrary(FormatScript script)
{
    {
        std::lock_guard guard(TheState().lock);
        TheState().script = std::move(script);
    }
    // Exports travel as FARPROC, through an untyped pointer as GetProcAddress
    // hands them out.
    ProvideSystemLibrary(u"fmifs.dll",
                         {{"FormatEx", reinterpret_cast<FARPROC>(reinterpret_cast<void*>(&FormatEx))}});
}

void WithdrawFormatLibrary()
{
    WithdrawSystemLibrary(u"fmifs.dll");
    std::lock_guard guard(TheState().lock);
    TheState().calls.clear();
}

std::vector<FormatCall> FormatCalls()
{
    std::lock_guard guard(TheState().lock);
    return TheState().calls;
}

}  // namespace host
