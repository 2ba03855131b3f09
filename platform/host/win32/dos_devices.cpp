// DOS device names: drive letters and other names under \??\, defined onto
// object names. Definitions of one name stack; removing one uncovers the
// one before.
#include "win32_errors.h"

#include "../kernel/io_objects.h"

#include <host/utf16.h>

namespace {

std::u16string LinkName(LPCWSTR deviceName)
{
    return u"\\??\\" + std::u16string(host::AsUtf16(deviceName));
}

}  // namespace

extern "C" {

BOOL WINAPI DefineDosDeviceW(DWORD dwFlags, LPCWSTR lpDeviceName, LPCWSTR lpTargetPath)
{
    if (lpDeviceName == nullptr || lpDeviceName[0] == 0) {
        return host::FailWithError(ERROR_INVALID_PARAMETER);
    }
    const std::u16string link = LinkName(lpDeviceName);
    std::u16string target;
    if (lpTargetPath != nullptr) {
        target = std::u16string(host::AsUtf16(lpTargetPath));
        // Without a raw target, the target is a DOS path itself.
        if ((dwFlags & DDD_RAW_TARGET_PATH) == 0) {
            target = u"\\??\\" + target;
        }
    }
    if (dwFlags & DDD_REMOVE_DEFINITION) {
        const NTSTATUS status = host::PopLink(link, lpTargetPath != nullptr ? &target : nullptr);
        return status == STATUS_SUCCESS ? TRUE : host::FailWithError(ERROR_FILE_NOT_FOUND);
    }
    if (lpTargetPath == nullptr || target.empty()) {
        return host::FailWithError(ERROR_INVALID_PARAMETER);
    }
    return host::FailWithStatus(host::PushLink(link, target));
}

DWORD WINAPI QueryDosDeviceW(LPCWSTR lpDeviceName, LPWSTR lpTargetPath, DWORD ucchMax)
{
    if (lpDeviceName == nullptr) {
        host::FailWithError(ERROR_NOT_SUPPORTED);
        return 0;
    }
    const std::vector<std::u16string> targets = host::LinkTargets(LinkName(lpDeviceName));
    if (targets.empty()) {
        host::FailWithError(ERROR_FILE_NOT_FOUND);
        return 0;
    }
    // The current target first, then those it hides, each terminated, and
    // one more terminator after the last.
    std::u16string list;
    for (const auto& target : targets) {
        list += target;
        list += u'\0';
    }
    list += u'\0';
    if (list.size() > ucchMax) {
        host::FailWithError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    for (std::size_t i = 0; i < list.size(); ++i) {
        lpTargetPath[i] = static_cast<WCHAR>(list[i]);
    }
    return static_cast<DWORD>(list.size());
}

}  // extern "C"
