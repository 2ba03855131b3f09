// One vault file served as a disk: its layout, its password block and the
// image-level operations the driver's units call.
//
// File layout: bytes 0-511 are never written; 512-1023 are the header block,
// whose first 32 bytes hold the scrambled password; the disk's data follows
// from byte 1024, byte d of the disk at byte d + 1024 of the file.
#pragma once

#include "framework/kfile.h"
#include "framework/kpool.h"
#include "framework/kustring.h"

#include <ntifs.h>

#include <atomic>

class VaultImage {
public:
    static constexpr ULONG PasswordFieldBytes = 32;
    static constexpr ULONG PasswordFieldChars = PasswordFieldBytes / sizeof(WCHAR);
    static constexpr ULONG HeaderOffset = 512;
    static constexpr ULONG HeaderBlockBytes = 512;
    static constexpr ULONG DataOffset = 1024;

    // 16 UTF-16 code units: up to 15 characters and a NUL.
    using PasswordField = UCHAR[PasswordFieldBytes];

    // A request's password field (16 UTF-16 code units) taken over as the
    // bytes the image works on, and wiped when it goes. The request's own
    // buffer is left as it came.
    class PasswordCopy {
    public:
        explicit PasswordCopy(const WCHAR (&text)[PasswordFieldChars]) { RtlCopyMemory(m_Field, text, sizeof m_Field); }
        ~PasswordCopy() { RtlSecureZeroMemory(m_Field, sizeof m_Field); }
        PasswordCopy(const PasswordCopy&) = delete;
        PasswordCopy& operator=(const PasswordCopy&) = delete;

        PasswordField& Field() { return m_Field; }

    private:
        PasswordField m_Field;
    };

    // The keyless byte transform that keeps the stored password from
    // standing in the file as plain text. Each undoes the other.
    static void EncodePassword(PasswordField& field);
    static void DecodePassword(PasswordField& field);
    // Whether a text field holds its NUL within its bounds. Fields are read
    // only within them: a name without its NUL names nothing, a password
    // without one is no password at all and matches nothing.
    template <SIZE_T Chars>
    static bool HoldsTerminatedText(const WCHAR (&text)[Chars])
    {
        for (WCHAR unit : text) {
            if (unit == 0) {
                return true;
            }
        }
        return false;
    }
    static bool HoldsTerminatedText(const PasswordField& field);

    VaultImage();

    // Opens the vault file at `path` (an NT path) with `password`, creating
    // it with a data area of `requestedSize` bytes when it does not exist. A
    // new file's password is scrambled in place in `password`.
    NTSTATUS Mount(PCWSTR path, PasswordField& password, ULONGLONG requestedSize);
    NTSTATUS Unmount();
    NTSTATUS ReadData(ULONGLONG offset, ULONG length, PVOID destination, ULONG_PTR& bytes);
    NTSTATUS WriteData(ULONGLONG offset, ULONG length, const void* source, ULONG_PTR& bytes);
    // Stores a new password; `newPassword` is scrambled in place.
    NTSTATUS ChangePassword(PasswordField& newPassword);

    // Read without a lock by other threads, as a quick refusal.
    bool IsMounted() const { return m_Mounted.load(std::memory_order_acquire); }
    ULONGLONG DiskSize() const { return m_DiskSize.load(std::memory_order_relaxed); }
    bool HasOpenFile() const { return m_File.IsOpen(); }
    const KUnicodeName& FileName() const { return m_FileName; }
    // The status and byte count of the latest file read or write.
    const IO_STATUS_BLOCK& LastFileStatus() const { return m_File.IoStatus(); }

private:
    bool PrepareNewFile(KPoolBlock& header, PasswordField& password, ULONGLONG requestedSize);
    bool CheckExistingFile(KPoolBlock& header, const PasswordField& password);
    // Scrambles `password` in place and writes it as the header block, in
    // `block` (HeaderBlockBytes of pool). Only a whole block written counts.
    NTSTATUS WriteHeaderBlock(KPoolBlock& block, PasswordField& password);

    KFileHandle m_File;
    std::atomic<ULONGLONG> m_DiskSize;
    std::atomic<bool> m_Mounted;
    KUnicodeName m_FileName;
};
