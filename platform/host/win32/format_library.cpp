// The host's fmifs.dll, provided when a test asks for it: FormatEx records
// the request and reports progress and its outcome through the callback, as
// the script says, on the caller's thread as Windows' does.
#include "system_libraries.h"

#include <host/format_hooks.h>
#include <host/utf16.h>

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

VOID WINAPI FormatEx(PWCHAR driveRoot, DWORD mediaFlag, PWCHAR fileSystem, PWCHAR label, BOOL quickFormat,
                     DWORD clusterSize, FormatCallback callback)
{
    FormatCall call{Text(driveRoot), mediaFlag, Text(fileSystem), Text(label), quickFormat, clusterSize, {}};
    FormatScript script;
    {
        std::lock_guard guard(TheState().lock);
        script = TheState().script;
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
