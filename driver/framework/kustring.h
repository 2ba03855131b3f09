// An owned, counted UTF-16 string: the form in which the kernel takes names.
#pragma once

#include <ntifs.h>

class KUnicodeName {
public:
    KUnicodeName();
    ~KUnicodeName();

    KUnicodeName(const KUnicodeName&) = delete;
    KUnicodeName& operator=(const KUnicodeName&) = delete;

    // Copies a NUL-terminated text (terminator included). A failed allocation
    // leaves the string empty and answers STATUS_INSUFFICIENT_RESOURCES.
    NTSTATUS Assign(PCWSTR text);
    // Copies a counted string and adds a terminator.
    NTSTATUS Assign(PCUNICODE_STRING text);
    // prefix + name, in a buffer of exactly their length and a terminator.
    NTSTATUS Compose(PCWSTR prefix, PCWSTR name);
    // Appends within the buffer this string already has; STATUS_BUFFER_TOO_SMALL
    // when it does not fit.
    NTSTATUS Append(PCUNICODE_STRING more);
    void Release();
    // Takes over another string's buffer, leaving that one empty.
    void TakeFrom(KUnicodeName& other);

    bool IsEmpty() const { return m_String.Length == 0; }
    PCWSTR Text() const { return m_String.Buffer; }
    USHORT Length() const { return m_String.Length; }
    PUNICODE_STRING Get() { return &m_String; }
    PCUNICODE_STRING Get() const { return &m_String; }

protected:
    // An empty string with room for `bytes` bytes, terminator included.
    NTSTATUS Allocate(SIZE_T bytes);

private:
    UNICODE_STRING m_String;
    bool m_Owned;
};
