#include "kustring.h"

#include "kpool.h"

KUnicodeName::KUnicodeName() : m_String{0, 0, nullptr}, m_Owned(false) {}

KUnicodeName::~KUnicodeName()
{
    Release();
}

NTSTATUS KUnicodeName::Allocate(SIZE_T bytes)
{
    Release();
    if (bytes > MAXUSHORT) {
        return STATUS_INSUFFICIENT_RESOURCES;
    }
    KPoolBlock block(PagedPool, bytes);
    if (!block) {
        return STATUS_INSUFFICIENT_RESOURCES;
    }
    m_String.Buffer = static_cast<PWSTR>(block.Detach());
    m_String.Length = 0;
    m_String.MaximumLength = static_cast<USHORT>(bytes);
    m_String.Buffer[0] = 0;
    m_Owned = true;
    return STATUS_SUCCESS;
}

NTSTATUS KUnicodeName::Assign(PCWSTR text)
{
    UNICODE_STRING source;
    RtlInitUnicodeString(&source, text);
    return Assign(&source);
}

NTSTATUS KUnicodeName::Assign(PCUNICODE_STRING text)
{
    NTSTATUS status = Allocate(SIZE_T(text->Length) + sizeof(WCHAR));
    if (NT_SUCCESS(status)) {
        status = Append(text);
    }
    return status;
}

NTSTATUS KUnicodeName::Compose(PCWSTR prefix, PCWSTR name)
{
    UNICODE_STRING first;
    UNICODE_STRING second;
    RtlInitUnicodeString(&first, prefix);
    RtlInitUnicodeString(&second, name);
    NTSTATUS status = Allocate(SIZE_T(first.Length) + second.Length + sizeof(WCHAR));
    if (NT_SUCCESS(status)) {
        status = Append(&first);
    }
    if (NT_SUCCESS(status)) {
        status = Append(&second);
    }
    return status;
}

NTSTATUS KUnicodeName::Append(PCUNICODE_STRING more)
{
    return RtlAppendUnicodeStringToString(&m_String, more);
}

void KUnicodeName::Release()
{
    if (m_Owned && m_String.Buffer != nullptr) {
        ExFreePoolWithTag(m_String.Buffer, 0);
    }
    m_String = {0, 0, nullptr};
    m_Owned = false;
}

void KUnicodeName::TakeFrom(KUnicodeName& other)
{
    if (this == &other) {
        return;
    }
    Release();
    m_String = other.m_String;
    m_Owned = other.m_Owned;
    other.m_String = {0, 0, nullptr};
    other.m_Owned = false;
}
