// A kernel file handle and the I/O status block of its last call.
#pragma once

#include <ntifs.h>

class KFileHandle {
public:
    KFileHandle();
    ~KFileHandle();

    KFileHandle(const KFileHandle&) = delete;
    KFileHandle& operator=(const KFileHandle&) = delete;

    // ZwCreateFile on an NT path ("\??\C:\dir\file"); objectAttributes are
    // OBJ_ flags. Information of the status block tells FILE_CREATED from FILE_OPENED.
    NTSTATUS Open(PCWSTR path, ACCESS_MASK access, ULONG objectAttributes, ULONG fileAttributes, ULONG shareAccess,
                  ULONG disposition, ULONG options);
    // Synchronous transfers at a byte offset; `bytes` is the count the status
    // block reports, 0 when the call failed outright.
    NTSTATUS ReadAt(LONGLONG offset, PVOID buffer, ULONG length, ULONG_PTR& bytes);
    NTSTATUS WriteAt(LONGLONG offset, const void* buffer, ULONG length, ULONG_PTR& bytes);
    NTSTATUS QueryStandardInformation(FILE_STANDARD_INFORMATION& information);
    NTSTATUS SetEndOfFile(LONGLONG endOfFile);
    void Close();

    bool IsOpen() const { return m_Handle != nullptr; }
    bool WasCreated() const { return m_IoStatus.Information == FILE_CREATED; }
    const IO_STATUS_BLOCK& IoStatus() const { return m_IoStatus; }

private:
    // Records a call's status as the status block's.
    NTSTATUS Settle(NTSTATUS status);

    IO_STATUS_BLOCK m_IoStatus;
    HANDLE m_Handle;
};
