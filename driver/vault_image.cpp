#include "vault_image.h"

#include "vantor_ioctl.h"
#include "vantor_trace.h"

namespace {

// GENERIC_READ | GENERIC_WRITE, shared with nobody, opened or created.
constexpr ACCESS_MASK VaultFileAccess = GENERIC_READ | GENERIC_WRITE;
constexpr ULONG VaultFileOptions =
    FILE_NO_INTERMEDIATE_BUFFERING | FILE_SYNCHRONOUS_IO_NONALERT | FILE_NON_DIRECTORY_FILE | FILE_RANDOM_ACCESS;
static_assert(VaultFileOptions == 0x868, "vault file create options");
// The open and change-password records carry exactly one password field.
static_assert(sizeof(OPENDISKFILE_INFO::Password) == VaultImage::PasswordFieldBytes, "password field");
static_assert(sizeof(NewPassword) == VaultImage::PasswordFieldBytes, "password record");
static_assert(sizeof(NewPassword::Password) / sizeof(WCHAR) == VaultImage::PasswordFieldChars, "password chars");

constexpr ULONG PasswordChars = VaultImage::PasswordFieldChars;

// Letter case does not matter, as for Windows passwords. A field without a
// NUL in its 16 code units (an all-zero header block decodes to such a
// field) matches nothing.
bool PasswordsMatch(const VaultImage::PasswordField& supplied, const VaultImage::PasswordField& stored)
{
    WCHAR a[PasswordChars];
    WCHAR b[PasswordChars];
    RtlCopyMemory(a, supplied, sizeof a);
    RtlCopyMemory(b, stored, sizeof b);
    const bool match =
        VaultImage::HoldsTerminatedText(a) && VaultImage::HoldsTerminatedText(b) && _wcsicmp(a, b) == 0;
    RtlSecureZeroMemory(a, sizeof a);
    RtlSecureZeroMemory(b, sizeof b);
    return match;
}

}  // namespace

bool VaultImage::HoldsTerminatedText(const PasswordField& field)
{
    WCHAR text[PasswordChars];
    RtlCopyMemory(text, field, sizeof text);
    const bool terminated = HoldsTerminatedText(text);
    RtlSecureZeroMemory(text, sizeof text);
    return terminated;
}

void VaultImage::EncodePassword(PasswordField& field)
{
    UCHAR sum = 0;
    for (ULONG i = 0; i < PasswordFieldBytes; ++i) {
        sum = UCHAR(sum + field[i]);
        field[i] = UCHAR(255 - sum - i);
    }
}

void VaultImage::DecodePassword(PasswordField& field)
{
    UCHAR sum = 0;
    for (ULONG i = 0; i < PasswordFieldBytes; ++i) {
        const UCHAR plain = UCHAR(255 - field[i] - sum - i);
        field[i] = plain;
        sum = UCHAR(sum + plain);
    }
}

VaultImage::VaultImage() : m_DiskSize(0), m_Mounted(false) {}

NTSTATUS VaultImage::Mount(PCWSTR path, PasswordField& password, ULONGLONG requestedSize)
{
    // A new vault given such a password could never be opened again.
    if (!HoldsTerminatedText(password)) {
        return STATUS_INVALID_PARAMETER;
    }
    KPoolBlock header(NonPagedPool, HeaderBlockBytes);
    if (!header) {
        return STATUS_INSUFFICIENT_RESOURCES;
    }
    RtlZeroMemory(header.Get(), HeaderBlockBytes);

    const NTSTATUS opened = m_File.Open(path, VaultFileAccess, OBJ_CASE_INSENSITIVE, FILE_ATTRIBUTE_NORMAL, 0,
                                        FILE_OPEN_IF, VaultFileOptions);
    if (!NT_SUCCESS(opened)) {
        // The sender hears STATUS_INVALID_PARAMETER, as for a wrong password;
        // the file system's own answer (a missing folder, a file in use, no
        // rights) goes to the trace, so that a refused mount can be told apart.
        g_Trace.Trace(1, "VaultImage::Mount: the vault file does not open, STATUS %x\n", opened);
        return STATUS_INVALID_PARAMETER;
    }
    const bool ready = m_File.WasCreated() ? PrepareNewFile(header, password, requestedSize)
                                           : CheckExistingFile(header, password);
    if (!ready) {
        m_File.Close();
        return STATUS_INVALID_PARAMETER;
    }
    // The kept name serves diagnosis only; a mount stands without it.
    m_FileName.Assign(path);
    m_Mounted.store(true, std::memory_order_release);
    return STATUS_SUCCESS;
}

bool VaultImage::PrepareNewFile(KPoolBlock& header, PasswordField& password, ULONGLONG requestedSize)
{
    // A size whose file length would not fit a file offset is refused before
    // the length is set, instead of wrapping round to a tiny file.
    if (requestedSize > ULONGLONG(MAXLONGLONG) - DataOffset) {
        return false;
    }
    if (!NT_SUCCESS(m_File.SetEndOfFile(LONGLONG(requestedSize + DataOffset)))) {
        return false;
    }
    m_DiskSize.store(requestedSize, std::memory_order_relaxed);
    // Without its header block on disk the vault would open with no password
    // ever again, so a failed write fails the mount.
    return NT_SUCCESS(WriteHeaderBlock(header, password));
}

NTSTATUS VaultImage::WriteHeaderBlock(KPoolBlock& block, PasswordField& password)
{
    RtlZeroMemory(block.Get(), HeaderBlockBytes);
    EncodePassword(password);
    RtlCopyMemory(block.Get(), password, PasswordFieldBytes);
    ULONG_PTR written = 0;
    const NTSTATUS status = m_File.WriteAt(HeaderOffset, block.Get(), HeaderBlockBytes, written);
    // Part of a block would leave a password that opens nothing.
    if (NT_SUCCESS(status) && written != HeaderBlockBytes) {
        return STATUS_UNEXPECTED_IO_ERROR;
    }
    return status;
}

bool VaultImage::CheckExistingFile(KPoolBlock& block, const PasswordField& password)
{
    UCHAR* header = block.As<UCHAR>();
    // A failed or short read leaves zeros, which match no password.
    ULONG_PTR read = 0;
    m_File.ReadAt(HeaderOffset, header, HeaderBlockBytes, read);

    PasswordField stored;
    RtlCopyMemory(stored, header, PasswordFieldBytes);
    DecodePassword(stored);
    // The stored password itself never goes to the debugger's output.
    g_Trace.Trace(1, "---> ********\r\n");
    const bool match = PasswordsMatch(password, stored);
    RtlSecureZeroMemory(stored, sizeof stored);
    RtlSecureZeroMemory(header, PasswordFieldBytes);
    if (!match) {
        return false;
    }

    FILE_STANDARD_INFORMATION information;
    if (!NT_SUCCESS(m_File.QueryStandardInformation(information))) {
        return false;
    }
    // A file too short to hold its header has no data area; its size would
    // otherwise wrap round to an almost endless disk.
    if (information.EndOfFile.QuadPart < LONGLONG(DataOffset)) {
        return false;
    }
    m_DiskSize.store(ULONGLONG(information.EndOfFile.QuadPart) - DataOffset, std::memory_order_relaxed);
    return true;
}

NTSTATUS VaultImage::Unmount()
{
    if (!m_Mounted.exchange(false, std::memory_order_acq_rel)) {
        return STATUS_NO_MEDIA_IN_DEVICE;
    }
    m_File.Close();
    return STATUS_SUCCESS;
}

NTSTATUS VaultImage::ReadData(ULONGLONG offset, ULONG length, PVOID destination, ULONG_PTR& bytes)
{
    bytes = 0;
    // An offset this close to 2^63 would wrap round into the file's special
    // offsets (end of file, current position) instead of failing.
    if (offset > ULONGLONG(MAXLONGLONG) - DataOffset) {
        return STATUS_INVALID_PARAMETER;
    }
    // The file is unbuffered, so the memory it is read into must meet the
    // alignment of the device below. A page-aligned destination meets every
    // device's and is read into directly. Any other is read through a pool
    // block (page-aligned from a page up) of exactly the request's length, so
    // the extra memory is bounded by what the request asked for, and only
    // the bytes read are copied over. Writes (WriteData) take no such block:
    // they go straight from the caller's buffer whatever its alignment, and
    // a device that cannot take it fails the write with its own status.
    if ((ULONG_PTR(destination) & (PAGE_SIZE - 1)) == 0) {
        const NTSTATUS status = m_File.ReadAt(LONGLONG(offset + DataOffset), destination, length, bytes);
        if (bytes > length) {
            bytes = length;
        }
        return status;
    }
    KPoolBlock buffer(PagedPool, length);
    if (!buffer) {
        return STATUS_INSUFFICIENT_RESOURCES;
    }
    const NTSTATUS status = m_File.ReadAt(LONGLONG(offset + DataOffset), buffer.Get(), length, bytes);
    if (bytes > length) {
        bytes = length;
    }
    RtlCopyMemory(destination, buffer.Get(), bytes);
    return status;
}

NTSTATUS VaultImage::WriteData(ULONGLONG offset, ULONG length, const void* source, ULONG_PTR& bytes)
{
    bytes = 0;
    // offset + length > DiskSize, without letting the sum wrap round.
    const ULONGLONG diskSize = DiskSize();
    if (length > diskSize || offset > diskSize - length) {
        return STATUS_INVALID_PARAMETER;
    }
    return m_File.WriteAt(LONGLONG(offset + DataOffset), source, length, bytes);
}

NTSTATUS VaultImage::ChangePassword(PasswordField& newPassword)
{
    if (!IsMounted()) {
        return STATUS_NO_MEDIA_IN_DEVICE;
    }
    // Stored, such a password would lock the vault for good.
    if (!HoldsTerminatedText(newPassword)) {
        return STATUS_INVALID_PARAMETER;
    }
    KPoolBlock block(NonPagedPool, HeaderBlockBytes);
    if (!block) {
        return STATUS_INSUFFICIENT_RESOURCES;
    }
    return WriteHeaderBlock(block, newPassword);
}
