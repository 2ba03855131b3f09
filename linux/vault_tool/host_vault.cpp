#include "host_vault.h"

#include "framework/kfile.h"

#include <host/drive_table.h>
#include <host/utf16.h>

#include <cstring>
#include <filesystem>

namespace vault_tool {

namespace {

// The host's drive for the vault's folder; the tool serves one vault at a time.
constexpr char kDrive = 'V';

}  // namespace

bool ToPasswordField(const std::string& utf8, VaultImage::PasswordField& field)
{
    const std::u16string text = host::Utf8ToUtf16(utf8);
    std::memset(field, 0, sizeof field);
    if (text.size() * 2 >= sizeof field) {
        return false;
    }
    std::memcpy(field, text.data(), text.size() * 2);
    return true;
}

HostVault::HostVault(const std::string& path)
{
    const std::filesystem::path absolute = std::filesystem::absolute(path);
    host::MapDrive(kDrive, host::Drive{absolute.parent_path().string(), host::DriveType::Fixed, std::nullopt});
    m_NtName = u"\\??\\V:\\" + host::Utf8ToUtf16(absolute.filename().string());
}

HostVault::~HostVault()
{
    m_Image.Unmount();
    host::UnmapDrive(kDrive);
}

NTSTATUS HostVault::Open(const std::string& password, unsigned long long newDataBytes)
{
    VaultImage::PasswordField field;
    if (!ToPasswordField(password, field)) {
        return STATUS_INVALID_PARAMETER;
    }
    const NTSTATUS status = m_Image.Mount(reinterpret_cast<PCWSTR>(m_NtName.c_str()), field, newDataBytes);
    std::memset(field, 0, sizeof field);
    return status;
}

bool HostVault::InUse() const
{
    // Shares everything and asks only to read: only a holder that shares
    // nothing refuses it.
    KFileHandle probe;
    const NTSTATUS status =
        probe.Open(reinterpret_cast<PCWSTR>(m_NtName.c_str()), FILE_READ_DATA | SYNCHRONIZE, OBJ_CASE_INSENSITIVE,
                   FILE_ATTRIBUTE_NORMAL, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, FILE_OPEN,
                   FILE_NON_DIRECTORY_FILE | FILE_SYNCHRONOUS_IO_NONALERT);
    return status == STATUS_SHARING_VIOLATION;
}

}  // namespace vault_tool
