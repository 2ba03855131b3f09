#include "kfile.h"

KFileHandle::KFileHandle() : m_IoStatus{}, m_Handle(nullptr) {}

KFileHandle::~KFileHandle()
{
    Close();
}

NTSTATUS KFileHandle::Settle(NTSTATUS status)
{
    // Information was cleared before the call, so a call that failed before
    // doing any I/O counts no bytes.
    m_IoStatus.Status = status;
    return status;
}

NTSTATUS KFileHandle::Open(PCWSTR path, ACCESS_MASK access, ULONG objectAttributes, ULONG fileAttributes,
                           ULONG shareAccess, ULONG disposition, ULONG options)
{
    Close();
    UNICODE_STRING name;
    RtlInitUnicodeString(&name, path);
    OBJECT_ATTRIBUTES attributes;
    InitializeObjectAttributes(&attributes, &name, objectAttributes, nullptr, nullptr);
    m_IoStatus.Status = STATUS_PENDING;
    m_IoStatus.Information = 0;
    HANDLE handle = nullptr;
    NTSTATUS status = ZwCreateFile(&handle, access, &attributes, &m_IoStatus, nullptr, fileAttributes, shareAccess,
                                   disposition, options, nullptr, 0);
    if (NT_SUCCESS(status)) {
        m_Handle = handle;
    }
    return Settle(status);
}

NTSTATUS KFileHandle::ReadAt(LONGLONG offset, PVOID buffer, ULONG length, ULONG_PTR& bytes)
{
    LARGE_INTEGER position;
    position.QuadPart = offset;
    m_IoStatus.Status = STATUS_PENDING;
    m_IoStatus.Information = 0;
    NTSTATUS status = Settle(ZwReadFile(m_Handle, nullptr, nullptr, nullptr, &m_IoStatus, buffer, length, &position,
                                        nullptr));
    bytes = m_IoStatus.Information;
    return status;
}

NTSTATUS KFileHandle::WriteAt(LONGLONG offset, const void* buffer, ULONG length, ULONG_PTR& bytes)
{
    LARGE_INTEGER position;
    position.QuadPart = offset;
    m_IoStatus.Status = STATUS_PENDING;
    m_IoStatus.Information = 0;
    NTSTATUS status = Settle(ZwWriteFile(m_Handle, nullptr, nullptr, nullptr, &m_IoStatus, const_cast<PVOID>(buffer),
                                         length, &position, nullptr));
    bytes = m_IoStatus.Information;
    return status;
}

NTSTATUS KFileHandle::QueryStandardInformation(FILE_STANDARD_INFORMATION& information)
{
    m_IoStatus.Status = STATUS_PENDING;
    m_IoStatus.Information = 0;
    return Settle(ZwQueryInformationFile(m_Handle, &m_IoStatus, &information, sizeof information,
                                         FileStandardInformation));
}

NTSTATUS KFileHandle::SetEndOfFile(LONGLONG endOfFile)
{
    FILE_END_OF_FILE_INFORMATION end;
    end.EndOfFile.QuadPart = endOfFile;
    m_IoStatus.Status = STATUS_PENDING;
    m_IoStatus.Information = 0;
    return Settle(ZwSetInformationFile(m_Handle, &m_IoStatus, &end, sizeof end, FileEndOfFileInformation));
}

void KFileHandle::Close()
{
    if (m_Handle != nullptr) {
        ZwClose(m_Handle);
        m_Handle = nullptr;
    }
}
