#include "win32_paths.h"

#include "win32_errors.h"

#include "../kernel/io_objects.h"

#include <host/utf16.h>

#include <sys/stat.h>

namespace host {

namespace {

// A letter that a DOS device definition leads to a device: the volume there
// has no file system that could hold files.
bool LetterNamesDevice(std::u16string_view name)
{
    Ref<Device> device;
    return name.size() >= 2 && name[1] == u':' &&
           NT_SUCCESS(FindDevice(u"\\??\\" + std::u16string(name.substr(0, 2)), device));
}

}  // namespace

DWORD ResolveWin32File(LPCWSTR name, Win32File& file)
{
    if (name == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    file = Win32File{};
    file.name = NormalizeWin32Path(AsUtf16(name));
    // "X:\" is the root folder itself; any longer name with a trailing
    // separator names a folder.
    if (file.name.size() > 3 && file.name.back() == u'\\') {
        file.name.pop_back();
        file.mustBeFolder = true;
    }
    if (LetterNamesDevice(file.name)) {
        return ERROR_UNRECOGNIZED_VOLUME;
    }
    const NTSTATUS status = ResolveDosPath(file.name, true, file.host);
    return NT_SUCCESS(status) ? ERROR_SUCCESS : Win32ErrorFromStatus(status);
}

bool IsHostFolder(const std::string& path)
{
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

}  // namespace host
