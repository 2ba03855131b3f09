#include "mount.h"

#include "caller_input.h"
#include "plain_disk_ioctl.h"
#include "vantor_ioctl.h"

#include <stdio.h>
#include <winioctl.h>

namespace {

constexpr int PasswordChars = VANTOR_PASSWORD_CHARS - 1;

// The plain driver's open request: its head, then the name in the ANSI code
// page (up to four bytes a character), then room for the spare bytes.
struct PlainOpenRequest {
    PLAIN_OPENDISKFILE_HEAD head;
    char name[4 * (NameChars + 4) + 3];
};
static_assert(offsetof(PlainOpenRequest, name) == sizeof(PLAIN_OPENDISKFILE_HEAD), "the name follows the head");

constexpr LONGLONG BytesPerMegabyte = 1048576;

// "\\.\ :" with the drive letter in its fifth character; from the letter
// on, the same buffer is the drive name ("S:").
class VolumePath {
public:
    explicit VolumePath(LPCWSTR drive) { m_Path[4] = drive[0]; }
    LPCWSTR Path() const { return m_Path; }
    LPCWSTR DriveName() const { return m_Path + 4; }

private:
    WCHAR m_Path[7] = {L'\\', L'\\', L'.', L'\\', L' ', L':', 0};
};

// An open handle, closed with the object.
class Handle {
public:
    explicit Handle(HANDLE handle) : m_Handle(handle) {}
    ~Handle()
    {
        if (IsOpen()) {
            CloseHandle(m_Handle);
        }
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;

    bool IsOpen() const { return m_Handle != INVALID_HANDLE_VALUE; }
    HANDLE Get() const { return m_Handle; }

    bool Control(DWORD code, LPVOID input = nullptr, DWORD inputLength = 0)
    {
        DWORD returned = 0;
        return DeviceIoControl(m_Handle, code, input, inputLength, nullptr, 0, &returned, nullptr) != FALSE;
    }

private:
    HANDLE m_Handle;
};

HANDLE OpenForControl(LPCWSTR path)
{
    return CreateFileW(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                       FILE_FLAG_NO_BUFFERING, nullptr);
}

// prefix followed by the number in decimal.
void NumberedName(WCHAR (&out)[NameChars], LPCWSTR prefix, DWORD number)
{
    lstrcpynW(out, prefix, NameChars);
    WCHAR digits[11];
    int count = 0;
    do {
        digits[count++] = WCHAR(L'0' + number % 10);
        number /= 10;
    } while (number != 0);
    int length = lstrlenW(out);
    while (count > 0 && length < NameChars - 1) {
        out[length++] = digits[--count];
    }
    out[length] = 0;
}

// Only a letter names a drive. Anything else would make a name that the
// mounted vault could not be dismounted through again.
bool ValidDrive(LPCWSTR drive)
{
    return drive != nullptr && ((drive[0] >= L'A' && drive[0] <= L'Z') || (drive[0] >= L'a' && drive[0] <= L'z'));
}

// The letter answers to an open: something is mounted on it already.
bool LetterInUse(const VolumePath& volume)
{
    Handle probe(OpenForControl(volume.Path()));
    if (!probe.IsOpen()) {
        return false;
    }
    SetLastError(ERROR_BUSY);
    ReportLastError(volume.DriveName());
    return true;
}

// Undoes a failed mount's letter. The caller learns why the mount failed,
// not how the removal went: the thread's last error is kept.
void RemoveDefinition(const VolumePath& volume)
{
    const DWORD failure = GetLastError();
    DefineDosDeviceW(DDD_REMOVE_DEFINITION, volume.DriveName(), nullptr);
    SetLastError(failure);
}

// The unforced way locks the volume first, so that it fails while anyone
// has a file open on it; the forced way takes the volume from under them.
bool Dismount(LPCWSTR drive, bool force, DWORD closeCode)
{
    if (!ValidDrive(drive)) {
        return Refuse();
    }
    VolumePath volume(drive);
    Handle handle(OpenForControl(volume.Path()));
    if (!handle.IsOpen()) {
        ReportLastError(volume.DriveName());
        return false;
    }
    bool ok = force || handle.Control(FSCTL_LOCK_VOLUME);
    ok = ok && handle.Control(FSCTL_DISMOUNT_VOLUME);
    ok = ok && handle.Control(closeCode);
    ok = ok && (force || handle.Control(FSCTL_UNLOCK_VOLUME));
    ok = ok && DefineDosDeviceW(DDD_REMOVE_DEFINITION, volume.DriveName(), nullptr);
    return ok;
}

// The label of the report line for an open request the driver refused. The
// vault mount grew out of the plain driver's and kept its label; the report
// lines are part of what the library shows its callers, so both keep it.
constexpr WCHAR RefusedLabel[] = L"PlainDisk:";

}  // namespace

void ReportLastError(LPCWSTR label)
{
    const DWORD error = GetLastError();
    LPWSTR text = nullptr;
    FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                   nullptr, error, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<LPWSTR>(&text), 0,
                   nullptr);
    // Standard error is a byte stream: both go out in the ANSI code page.
    char labelBytes[4 * NameChars] = {};
    char textBytes[2048] = {};
    WideCharToMultiByte(CP_ACP, 0, label, -1, labelBytes, sizeof labelBytes - 1, nullptr, nullptr);
    if (text != nullptr) {
        WideCharToMultiByte(CP_ACP, 0, text, -1, textBytes, sizeof textBytes - 1, nullptr, nullptr);
        LocalFree(text);
    }
    fprintf(stderr, "%s %s", labelBytes, textBytes);
    SetLastError(error);
}

bool MountVault(DWORD deviceNumber, LPCWSTR imagePath, int sizeMegabytes, LPCWSTR password, LPCWSTR drive)
{
    // Nothing that does not fit its field is sent, and a negative size would
    // reach the driver as an enormous one.
    if (imagePath == nullptr || password == nullptr || !ValidDrive(drive) || sizeMegabytes < 0 ||
        lstrlenW(password) > PasswordChars) {
        return Refuse();
    }
    // A path that begins with two backslashes reaches the driver as
    // "\??\Shadow" and the whole path, both backslashes kept: that is the NT
    // name such paths have always been opened under, and a vault made through
    // one is found again only under the same name.
    const bool shadow = imagePath[0] == L'\\' && imagePath[1] == L'\\';
    LPCWSTR prefix = shadow ? L"\\??\\Shadow" : L"\\??\\";
    if (lstrlenW(prefix) + lstrlenW(imagePath) > VANTOR_FILE_NAME_CHARS - 1) {
        return Refuse();
    }

    VolumePath volume(drive);
    if (LetterInUse(volume)) {
        return false;
    }
    WCHAR target[NameChars];
    WCHAR devicePath[NameChars];
    NumberedName(target, L"\\Device\\" VANTOR_DEVICE_BASE_NAME, deviceNumber);
    NumberedName(devicePath, L"\\\\.\\" VANTOR_DEVICE_BASE_NAME, deviceNumber);
    Handle device(OpenForControl(devicePath));
    if (!device.IsOpen()) {
        ReportLastError(volume.DriveName());
        return false;
    }

    OPENDISKFILE_INFO info = {};
    info.FileSize = LONGLONG(sizeMegabytes) * BytesPerMegabyte;
    info.Reserved = 0;
    lstrcpynW(info.FileName, prefix, VANTOR_FILE_NAME_CHARS);
    lstrcpynW(info.FileName + lstrlenW(prefix), imagePath, VANTOR_FILE_NAME_CHARS - lstrlenW(prefix));
    lstrcpynW(info.Password, password, VANTOR_PASSWORD_CHARS);
    if (!device.Control(IOCTL_OPENDISKFILE, &info, sizeof info)) {
        ReportLastError(RefusedLabel);
        RemoveDefinition(volume);
        return false;
    }
    // The image is open in the driver now; a letter that cannot be defined
    // is reported, and the mount stands.
    if (!DefineDosDeviceW(DDD_RAW_TARGET_PATH, volume.DriveName(), target)) {
        ReportLastError(volume.DriveName());
    }
    return true;
}

bool DismountVault(LPCWSTR drive, bool force)
{
    return Dismount(drive, force, IOCTL_CLOSEDISKFILE);
}

bool ChangeVaultPassword(LPCWSTR drive, LPCWSTR newPassword)
{
    if (newPassword == nullptr || !ValidDrive(drive) || lstrlenW(newPassword) > PasswordChars) {
        return Refuse();
    }
    NewPassword record = {};
    lstrcpynW(record.Password, newPassword, VANTOR_PASSWORD_CHARS);
    VolumePath volume(drive);
    Handle handle(OpenForControl(volume.Path()));
    if (!handle.IsOpen()) {
        ReportLastError(volume.DriveName());
        return false;
    }
    return handle.Control(IOCTL_CHANGEPWD, &record, sizeof record);
}

bool MountPlain(DWORD deviceNumber, LPCWSTR imagePath, int sizeMegabytes, LPCWSTR drive)
{
    if (imagePath == nullptr || !ValidDrive(drive) || sizeMegabytes < 0 || lstrlenW(imagePath) >= NameChars) {
        return Refuse();
    }
    WCHAR prefixed[NameChars + 4];
    lstrcpynW(prefixed, L"\\??\\", 5);
    lstrcpynW(prefixed + 4, imagePath, NameChars);
    PlainOpenRequest record = {};
    const int nameBytes = WideCharToMultiByte(CP_ACP, 0, prefixed, -1, record.name, int(sizeof record.name) - 3,
                                              nullptr, nullptr);
    if (nameBytes <= 0) {
        return Refuse();
    }
    const USHORT nameLength = USHORT(nameBytes - 1);

    VolumePath volume(drive);
    if (LetterInUse(volume)) {
        return false;
    }
    WCHAR target[NameChars];
    NumberedName(target, PLAIN_DISK_DEVICE_PREFIX, deviceNumber);
    if (!DefineDosDeviceW(DDD_RAW_TARGET_PATH, volume.DriveName(), target)) {
        ReportLastError(volume.DriveName());
        return false;
    }
    Handle handle(OpenForControl(volume.Path()));
    if (!handle.IsOpen()) {
        ReportLastError(volume.DriveName());
        RemoveDefinition(volume);
        return false;
    }
    record.head.FileSize = LONGLONG(sizeMegabytes) * BytesPerMegabyte;
    record.head.ReadOnly = 0;
    record.head.FileNameLength = nameLength;
    if (!handle.Control(IOCTL_PLAIN_OPENDISKFILE, &record, DWORD(PLAIN_OPENDISKFILE_LENGTH(nameLength)))) {
        ReportLastError(RefusedLabel);
        RemoveDefinition(volume);
        return false;
    }
    return true;
}

bool DismountPlain(LPCWSTR drive, bool force)
{
    return Dismount(drive, force, IOCTL_PLAIN_CLOSEDISKFILE);
}
