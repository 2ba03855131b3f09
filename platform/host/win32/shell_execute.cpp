// ShellExecuteW. The host has no programs to open anything with, so each
// request is recorded, and answered as Windows answers about its target:
// success when it is there, SE_ERR_FNF or SE_ERR_PNF when it is not.
#include "desktop_reset.h"
#include "win32_errors.h"

#include "../common/dos_path.h"

#include <host/user32_hooks.h>
#include <host/utf16.h>

#include <mutex>

namespace host::user32 {

namespace {

// Any value above 32 means success; this is the one Windows gives.
constexpr INT_PTR kOpened = 42;

struct ShellRequests {
    std::mutex lock;
    std::vector<ShellExecuteRequest> requests;
};

ShellRequests& TheRequests()
{
    // Never destroyed: a program may open something late in its life.
    static ShellRequests* requests = new ShellRequests;
    return *requests;
}

std::optional<std::u16string> Argument(LPCWSTR text)
{
    return text != nullptr ? std::optional<std::u16string>(AsUtf16(text)) : std::nullopt;
}

bool IsDriveLetter(char16_t unit)
{
    return (unit >= u'A' && unit <= u'Z') || (unit >= u'a' && unit <= u'z');
}

// "S:" or "S:\".
bool IsDriveRoot(std::u16string_view path)
{
    return (path.size() == 2 || (path.size() == 3 && path[2] == u'\\')) && IsDriveLetter(path[0]) && path[1] == u':';
}

bool IsAbsolute(std::u16string_view path)
{
    return path.size() >= 3 && IsDriveLetter(path[0]) && path[1] == u':' && path[2] == u'\\';
}

INT_PTR Fail(INT_PTR answer, DWORD error)
{
    FailWithError(error);
    return answer;
}

INT_PTR Answer(LPCWSTR file, LPCWSTR directory)
{
    if (file == nullptr || file[0] == 0) {
        return Fail(SE_ERR_FNF, ERROR_FILE_NOT_FOUND);
    }
    std::u16string target(AsUtf16(file));
    if (IsDriveRoot(target)) {
        // A drive is there when it has a root folder: a mapped drive, or a
        // disk with a medium in it.
        const std::u16string root = target.substr(0, 2) + u"\\";
        if (GetDriveTypeW(reinterpret_cast<LPCWSTR>(root.c_str())) == DRIVE_NO_ROOT_DIR) {
            return Fail(SE_ERR_PNF, ERROR_PATH_NOT_FOUND);
        }
        return kOpened;
    }
    if (!IsAbsolute(target)) {
        // A relative name is looked for in the given folder; the host has no
        // search path and no registered programs to find it elsewhere.
        if (directory == nullptr || !IsAbsolute(AsUtf16(directory))) {
            return Fail(SE_ERR_FNF, ERROR_FILE_NOT_FOUND);
        }
        std::u16string folder(AsUtf16(directory));
        if (folder.back() != u'\\') {
            folder += u'\\';
        }
        target = folder + target;
    }
    // A folder may be named with a closing backslash.
    while (target.size() > 3 && target.back() == u'\\') {
        target.pop_back();
    }
    HostPath resolved;
    const NTSTATUS status = ResolveDosPath(target, true, resolved);
    if (status == STATUS_OBJECT_PATH_NOT_FOUND) {
        return Fail(SE_ERR_PNF, ERROR_PATH_NOT_FOUND);
    }
    if (!NT_SUCCESS(status) || !resolved.exists) {
        return Fail(SE_ERR_FNF, ERROR_FILE_NOT_FOUND);
    }
    return kOpened;
}

}  // namespace

void ResetShellRequests()
{
    ShellRequests& requests = TheRequests();
    std::lock_guard guard(requests.lock);
    requests.requests.clear();
}

}  // namespace host::user32

namespace host {

std::vector<ShellExecuteRequest> ShellExecuteRequests()
{
    user32::ShellRequests& requests = user32::TheRequests();
    std::lock_guard guard(requests.lock);
    return requests.requests;
}

void ClearShellExecuteRequests()
{
    user32::ResetShellRequests();
}

}  // namespace host

extern "C" HINSTANCE WINAPI ShellExecuteW(HWND hwnd, LPCWSTR lpOperation, LPCWSTR lpFile, LPCWSTR lpParameters,
                                          LPCWSTR lpDirectory, INT nShowCmd)
{
    using namespace host::user32;
    const HINSTANCE answer = reinterpret_cast<HINSTANCE>(Answer(lpFile, lpDirectory));
    ShellRequests& requests = TheRequests();
    std::lock_guard guard(requests.lock);
    requests.requests.push_back(host::ShellExecuteRequest{hwnd, Argument(lpOperation), Argument(lpFile),
                                                          Argument(lpParameters), Argument(lpDirectory), nShowCmd,
                                                          answer});
    return answer;
}
