// DeleteFileW. The file is opened for deletion first, so that another open
// that does not share deletion refuses it, as on Windows; a read-only file or
// a folder cannot be deleted this way, nor a library that is loaded.
#include "loaded_modules.h"
#include "win32_errors.h"
#include "win32_paths.h"

#include "../common/drive_space.h"
#include "../common/errno_status.h"
#include "../common/stored_attributes.h"

#include <ntifs.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace host {

namespace {

// A kernel handle that closes itself.
class KernelFile {
public:
    KernelFile() = default;
    ~KernelFile()
    {
        if (m_Handle != nullptr) {
            ZwClose(m_Handle);
        }
    }
    KernelFile(const KernelFile&) = delete;
    KernelFile& operator=(const KernelFile&) = delete;

    PHANDLE Receive() { return &m_Handle; }

private:
    HANDLE m_Handle = nullptr;
};

NTSTATUS OpenForDeletion(const std::u16string& name, KernelFile& file)
{
    std::u16string ntName = u"\\??\\" + name;
    UNICODE_STRING objectName;
    objectName.Buffer = reinterpret_cast<PWSTR>(ntName.data());
    objectName.Length = static_cast<USHORT>(ntName.size() * sizeof(WCHAR));
    objectName.MaximumLength = objectName.Length;
    OBJECT_ATTRIBUTES attributes;
    InitializeObjectAttributes(&attributes, &objectName, OBJ_CASE_INSENSITIVE, nullptr, nullptr);
    IO_STATUS_BLOCK iosb{};
    return ZwCreateFile(file.Receive(), DELETE, &attributes, &iosb, nullptr, FILE_ATTRIBUTE_NORMAL,
                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, FILE_OPEN,
                        FILE_SYNCHRONOUS_IO_NONALERT | FILE_NON_DIRECTORY_FILE, nullptr, 0);
}

}  // namespace

}  // namespace host

extern "C" BOOL WINAPI DeleteFileW(LPCWSTR lpFileName)
{
    host::Win32File file;
    if (const DWORD error = host::ResolveWin32File(lpFileName, file); error != ERROR_SUCCESS) {
        return host::FailWithError(error);
    }
    if (file.mustBeFolder) {
        return host::FailWithError(ERROR_INVALID_NAME);
    }
    if (!file.host.exists) {
        return host::FailWithError(ERROR_FILE_NOT_FOUND);
    }
    // NTFS refuses to delete a read-only file (STATUS_CANNOT_DELETE) and a
    // folder through this call.
    if (host::IsHostFolder(file.host.path) || host::IsReadOnlyFile(file.host.path)) {
        return host::FailWithError(ERROR_ACCESS_DENIED);
    }
    struct stat info {};
    const bool known = stat(file.host.path.c_str(), &info) == 0;
    // A loaded library's file is mapped as an image until it is freed.
    if (known && host::IsLoadedLibraryFile(info.st_dev, info.st_ino)) {
        return host::FailWithError(ERROR_ACCESS_DENIED);
    }
    host::KernelFile opened;
    const NTSTATUS status = host::OpenForDeletion(file.name, opened);
    if (!NT_SUCCESS(status)) {
        return host::FailWithStatus(status);
    }
    if (unlink(file.host.path.c_str()) != 0) {
        return host::FailWithStatus(host::StatusFromErrno(errno));
    }
    // The last name of a file on a simulated volume gives its space back.
    if (known && info.st_nlink == 1) {
        host::ReturnDriveSpace(file.host.letter, static_cast<std::uint64_t>(info.st_size));
    }
    return TRUE;
}
