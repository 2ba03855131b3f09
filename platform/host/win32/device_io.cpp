// Opening files, devices and volumes, and their I/O. Names are resolved as
// Windows resolves them: "\\.\NAME" is the object "\??\NAME", a drive
// letter that names a device leads to the volume on it, and any other drive
// letter to the host folder the drive table gives it.
#include "win32_errors.h"
#include "win32_objects.h"
#include "raw_volumes.h"

#include "../common/dos_path.h"

#include <host/drive_table.h>
#include <host/utf16.h>
#include <ntifs.h>
#include <ntddstor.h>

#include <cstring>

namespace host {

namespace {

constexpr ULONG kSectorSize = 512;

bool IsDriveLetterName(std::u16string_view name)
{
    return name.size() == 2 && name[1] == u':' &&
           ((name[0] >= u'A' && name[0] <= u'Z') || (name[0] >= u'a' && name[0] <= u'z'));
}

HANDLE Fail(DWORD error)
{
    FailWithError(error);
    return INVALID_HANDLE_VALUE;
}

HANDLE FailStatus(NTSTATUS status)
{
    FailWithStatus(status);
    return INVALID_HANDLE_VALUE;
}

constexpr DWORD kReadAccess = GENERIC_READ | GENERIC_ALL | FILE_READ_DATA;
constexpr DWORD kWriteAccess = GENERIC_WRITE | GENERIC_ALL | FILE_WRITE_DATA | FILE_APPEND_DATA;

// Whether a new handle on the volume is compatible with those open, as the
// volume's file system checks share access on Windows: neither may want
// what the other does not share.
bool SharesWithOpenHandles(const Volume& volume, const DeviceFileHandle& wanted)
{
    for (const DeviceFileHandle* open : volume.handles) {
        if ((wanted.reads && (open->share & FILE_SHARE_READ) == 0) ||
            (wanted.writes && (open->share & FILE_SHARE_WRITE) == 0) ||
            (open->reads && (wanted.share & FILE_SHARE_READ) == 0) ||
            (open->writes && (wanted.share & FILE_SHARE_WRITE) == 0)) {
            return false;
        }
    }
    return true;
}

// "\\.\NAME": a device, or the volume on the disk a drive letter names.
HANDLE OpenDeviceName(std::u16string_view name, DWORD access, DWORD share, DWORD flags)
{
    const std::u16string ntName = u"\\??\\" + std::u16string(name);
    Ref<Device> device;
    NTSTATUS status = FindDevice(ntName, device);
    if (!NT_SUCCESS(status)) {
        return FailStatus(status);
    }
    Ref<DeviceFileHandle> handle = MakeObject<DeviceFileHandle>();
    const bool volume = IsDriveLetterName(name) && device->body.DeviceType == FILE_DEVICE_DISK;
    status = OpenDevice(ntName, handle->device);
    if (!NT_SUCCESS(status)) {
        return FailStatus(status);
    }
    if (volume) {
        // A volume is there only while its disk has a medium.
        const IoResult media =
            DeviceIoControl(handle->device, IOCTL_STORAGE_CHECK_VERIFY, nullptr, 0, nullptr, 0);
        if (!NT_SUCCESS(media.status)) {
            return FailStatus(media.status);
        }
        std::shared_ptr<Volume> target = VolumeFor(device.Get());
        std::lock_guard guard(target->lock);
        // A locked volume is its locker's alone.
        if (target->lockedBy != nullptr) {
            return Fail(ERROR_ACCESS_DENIED);
        }
        handle->reads = (access & kReadAccess) != 0;
        handle->writes = (access & kWriteAccess) != 0;
        handle->share = share;
        if (!SharesWithOpenHandles(*target, *handle)) {
            return Fail(ERROR_SHARING_VIOLATION);
        }
        target->handles.insert(handle.Get());
        handle->volume = std::move(target);
        handle->sectorAligned = true;
    }
    handle->sectorAligned = handle->sectorAligned || (flags & FILE_FLAG_NO_BUFFERING) != 0;
    return InsertHandle(handle.Get());
}

// "X:\path": a file on a volume, or on a host drive.
HANDLE OpenPath(std::u16string_view path, DWORD access, DWORD share, DWORD disposition, DWORD flags)
{
    if (path.size() < 3 || path[1] != u':' || path[2] != u'\\') {
        return Fail(ERROR_PATH_NOT_FOUND);
    }
    Ref<Device> device;
    if (NT_SUCCESS(FindDevice(u"\\??\\" + std::u16string(path.substr(0, 2)), device))) {
        // The volume has no file system that could hold a file.
        RecordRawVolumeRequest("CreateFileW", path);
        return Fail(ERROR_UNRECOGNIZED_VOLUME);
    }
    static const ULONG kDispositions[] = {0, FILE_CREATE, FILE_OVERWRITE_IF, FILE_OPEN, FILE_OPEN_IF, FILE_OVERWRITE};
    if (disposition < CREATE_NEW || disposition > TRUNCATE_EXISTING) {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    std::u16string ntPath = u"\\??\\" + std::u16string(path);
    UNICODE_STRING name;
    name.Buffer = reinterpret_cast<PWSTR>(ntPath.data());
    name.Length = static_cast<USHORT>(ntPath.size() * sizeof(WCHAR));
    name.MaximumLength = name.Length;
    OBJECT_ATTRIBUTES attributes;
    InitializeObjectAttributes(&attributes, &name, OBJ_CASE_INSENSITIVE, nullptr, nullptr);
    ULONG options = FILE_SYNCHRONOUS_IO_NONALERT | FILE_NON_DIRECTORY_FILE;
    if (flags & FILE_FLAG_NO_BUFFERING) {
        options |= FILE_NO_INTERMEDIATE_BUFFERING;
    }
    HANDLE file = nullptr;
    IO_STATUS_BLOCK iosb{};
    const NTSTATUS status = ZwCreateFile(&file, access, &attributes, &iosb, nullptr, FILE_ATTRIBUTE_NORMAL, share,
                                         kDispositions[disposition], options, nullptr, 0);
    if (!NT_SUCCESS(status)) {
        if (status == STATUS_OBJECT_NAME_COLLISION) {
            return Fail(ERROR_FILE_EXISTS);
        }
        return FailStatus(status);
    }
    // Like Windows: opening an existing file with a disposition that may
    // create says so through the last error.
    SetLastError((disposition == OPEN_ALWAYS || disposition == CREATE_ALWAYS) && iosb.Information != FILE_CREATED
                     ? ERROR_ALREADY_EXISTS
                     : ERROR_SUCCESS);
    return file;
}

Ref<DeviceFileHandle> DeviceHandleFrom(HANDLE handle)
{
    return ReferenceHandleAs<DeviceFileHandle>(handle);
}

BOOL Transfer(HANDLE hFile, void* buffer, DWORD length, LPDWORD done, LPOVERLAPPED overlapped, bool write)
{
    if (done != nullptr) {
        *done = 0;
    }
    // Without an OVERLAPPED the transfer goes at the file pointer.
    LARGE_INTEGER at;
    at.QuadPart = overlapped != nullptr ? LONGLONG(ULONGLONG(overlapped->OffsetHigh) << 32 | overlapped->Offset) : 0;
    Ref<DeviceFileHandle> device = DeviceHandleFrom(hFile);
    if (!device) {
        // A regular file: the kernel's own handle.
        IO_STATUS_BLOCK iosb{};
        PLARGE_INTEGER offset = overlapped != nullptr ? &at : nullptr;
        const NTSTATUS status = write ? ZwWriteFile(hFile, nullptr, nullptr, nullptr, &iosb, buffer, length, offset,
                                                    nullptr)
                                      : ZwReadFile(hFile, nullptr, nullptr, nullptr, &iosb, buffer, length, offset,
                                                   nullptr);
        if (status == STATUS_END_OF_FILE) {
            return TRUE;  // a read at the end succeeds with nothing read
        }
        if (NT_SUCCESS(status) && done != nullptr) {
            *done = static_cast<DWORD>(iosb.Information);
        }
        return FailWithStatus(status);
    }
    std::lock_guard guard(device->positionLock);
    if (overlapped != nullptr) {
        device->position = at.QuadPart;
    }
    if (device->sectorAligned && (device->position % kSectorSize != 0 || length % kSectorSize != 0)) {
        return FailWithError(ERROR_INVALID_PARAMETER);
    }
    const IoResult result = write ? SendWrite(device->device, buffer, length, device->position).Wait()
                                  : SendRead(device->device, buffer, length, device->position).Wait();
    if (NT_ERROR(result.status)) {
        return FailWithStatus(result.status);
    }
    device->position += static_cast<LONGLONG>(result.information);
    if (done != nullptr) {
        *done = static_cast<DWORD>(result.information);
    }
    return TRUE;
}

}  // namespace

}  // namespace host

extern "C" {

HANDLE WINAPI CreateFileW(LPCWSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                          LPSECURITY_ATTRIBUTES lpSecurityAttributes, DWORD dwCreationDisposition,
                          DWORD dwFlagsAndAttributes, HANDLE hTemplateFile)
{
    (void)lpSecurityAttributes;
    (void)hTemplateFile;
    if (lpFileName == nullptr) {
        return host::Fail(ERROR_INVALID_PARAMETER);
    }
    std::u16string_view name = host::AsUtf16(lpFileName);
    if (name.substr(0, 4) == u"\\\\.\\") {
        if (dwCreationDisposition != OPEN_EXISTING) {
            return host::Fail(ERROR_INVALID_PARAMETER);
        }
        return host::OpenDeviceName(name.substr(4), dwDesiredAccess, dwShareMode, dwFlagsAndAttributes);
    }
    // The name as every Win32 file call normalises it ("\\?\" names stay literal).
    return host::OpenPath(host::NormalizeWin32Path(name), dwDesiredAccess, dwShareMode, dwCreationDisposition,
                          dwFlagsAndAttributes);
}

BOOL WINAPI CloseHandle(HANDLE hObject)
{
    return host::RemoveHandle(hObject) ? TRUE : host::FailWithError(ERROR_INVALID_HANDLE);
}

BOOL WINAPI ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead, LPDWORD lpNumberOfBytesRead,
                     LPOVERLAPPED lpOverlapped)
{
    return host::Transfer(hFile, lpBuffer, nNumberOfBytesToRead, lpNumberOfBytesRead, lpOverlapped, false);
}

BOOL WINAPI WriteFile(HANDLE hFile, LPCVOID lpBuffer, DWORD nNumberOfBytesToWrite, LPDWORD lpNumberOfBytesWritten,
                      LPOVERLAPPED lpOverlapped)
{
    return host::Transfer(hFile, const_cast<LPVOID>(lpBuffer), nNumberOfBytesToWrite, lpNumberOfBytesWritten,
                          lpOverlapped, true);
}

BOOL WINAPI GetFileSizeEx(HANDLE hFile, PLARGE_INTEGER lpFileSize)
{
    if (host::DeviceHandleFrom(hFile)) {
        return host::FailWithError(ERROR_INVALID_FUNCTION);  // a device has no file size
    }
    IO_STATUS_BLOCK iosb{};
    FILE_STANDARD_INFORMATION standard{};
    const NTSTATUS status = ZwQueryInformationFile(hFile, &iosb, &standard, sizeof standard, FileStandardInformation);
    if (!NT_SUCCESS(status)) {
        return host::FailWithStatus(status);
    }
    lpFileSize->QuadPart = standard.EndOfFile.QuadPart;
    return TRUE;
}

BOOL WINAPI SetFilePointerEx(HANDLE hFile, LARGE_INTEGER liDistanceToMove, PLARGE_INTEGER lpNewFilePointer,
                             DWORD dwMoveMethod)
{
    host::Ref<host::DeviceFileHandle> device = host::DeviceHandleFrom(hFile);
    LONGLONG base = 0;
    FILE_POSITION_INFORMATION position{};
    IO_STATUS_BLOCK iosb{};
    if (dwMoveMethod == FILE_END) {
        return host::FailWithError(ERROR_NOT_SUPPORTED);
    }
    if (dwMoveMethod == FILE_CURRENT) {
        if (device) {
            std::lock_guard guard(device->positionLock);
            base = device->position;
        } else {
            const NTSTATUS status =
                ZwQueryInformationFile(hFile, &iosb, &position, sizeof position, FilePositionInformation);
            if (!NT_SUCCESS(status)) {
                return host::FailWithStatus(status);
            }
            base = position.CurrentByteOffset.QuadPart;
        }
    } else if (dwMoveMethod != FILE_BEGIN) {
        return host::FailWithError(ERROR_INVALID_PARAMETER);
    }
    const LONGLONG target = base + liDistanceToMove.QuadPart;
    if (target < 0) {
        return host::FailWithError(ERROR_NEGATIVE_SEEK);
    }
    if (device) {
        std::lock_guard guard(device->positionLock);
        device->position = target;
    } else {
        position.CurrentByteOffset.QuadPart = target;
        const NTSTATUS status =
            ZwSetInformationFile(hFile, &iosb, &position, sizeof position, FilePositionInformation);
        if (!NT_SUCCESS(status)) {
            return host::FailWithStatus(status);
        }
    }
    if (lpNewFilePointer != nullptr) {
        lpNewFilePointer->QuadPart = target;
    }
    return TRUE;
}

BOOL WINAPI DeviceIoControl(HANDLE hDevice, DWORD dwIoControlCode, LPVOID lpInBuffer, DWORD nInBufferSize,
                            LPVOID lpOutBuffer, DWORD nOutBufferSize, LPDWORD lpBytesReturned,
                            LPOVERLAPPED lpOverlapped)
{
    if (lpOverlapped != nullptr) {
        return host::FailWithError(ERROR_NOT_SUPPORTED);
    }
    if (lpBytesReturned != nullptr) {
        *lpBytesReturned = 0;
    }
    host::Ref<host::DeviceFileHandle> device = host::DeviceHandleFrom(hDevice);
    if (!device) {
        return host::FailWithError(host::ReferenceHandle(hDevice) ? ERROR_INVALID_FUNCTION : ERROR_INVALID_HANDLE);
    }
    if (device->volume && host::IsVolumeControl(dwIoControlCode)) {
        return host::VolumeControl(*device, dwIoControlCode);
    }
    // Everything else passes down to the device under the volume, if any.
    const host::IoResult result = host::DeviceIoControl(device->device, dwIoControlCode, lpInBuffer, nInBufferSize,
                                                        lpOutBuffer, nOutBufferSize);
    if (lpBytesReturned != nullptr && !NT_ERROR(result.status)) {
        *lpBytesReturned = static_cast<DWORD>(result.information);
    }
    if (result.status == STATUS_BUFFER_OVERFLOW) {
        return host::FailWithError(ERROR_MORE_DATA);
    }
    return host::FailWithStatus(result.status);
}

UINT WINAPI GetDriveTypeW(LPCWSTR lpRootPathName)
{
    if (lpRootPathName == nullptr) {
        return DRIVE_NO_ROOT_DIR;  // no current directory on this host
    }
    std::u16string_view root = host::AsUtf16(lpRootPathName);
    if (root.size() < 2 || !host::IsDriveLetterName(root.substr(0, 2)) || root.size() > 3 ||
        (root.size() == 3 && root[2] != u'\\')) {
        return DRIVE_NO_ROOT_DIR;
    }
    const std::u16string ntName = u"\\??\\" + std::u16string(root.substr(0, 2));
    host::Ref<host::Device> device;
    if (NT_SUCCESS(host::FindDevice(ntName, device))) {
        if (device->body.DeviceType != FILE_DEVICE_DISK) {
            return DRIVE_UNKNOWN;
        }
        if (host::VolumeArrivalDelayed()) {
            return DRIVE_NO_ROOT_DIR;
        }
        // A disk without a medium has no volume to show.
        host::DeviceHandle probe;
        if (!NT_SUCCESS(host::OpenDevice(ntName, probe)) ||
            !NT_SUCCESS(host::DeviceIoControl(probe, IOCTL_STORAGE_CHECK_VERIFY, nullptr, 0, nullptr, 0).status)) {
            return DRIVE_NO_ROOT_DIR;
        }
        return DRIVE_FIXED;
    }
    const auto drive = host::FindDrive(static_cast<char>(root[0]));
    return drive ? static_cast<UINT>(drive->type) : DRIVE_NO_ROOT_DIR;
}

}  // extern "C"
