// The kernel's string routines.
#include "../common/ms_format.h"
#include <host/utf16.h>

#include <ntddk.h>

#include <cstring>

extern "C" VOID NTAPI RtlInitUnicodeString(PUNICODE_STRING DestinationString, PCWSTR SourceString)
{
    DestinationString->Buffer = const_cast<PWSTR>(SourceString);
    if (SourceString == nullptr) {
        DestinationString->Length = 0;
        DestinationString->MaximumLength = 0;
        return;
    }
    std::size_t bytes = host::Utf16Length(SourceString) * sizeof(WCHAR);
    if (bytes > MAXUSHORT - sizeof(WCHAR)) {
        bytes = MAXUSHORT - sizeof(WCHAR);
    }
    DestinationString->Length = static_cast<USHORT>(bytes);
    DestinationString->MaximumLength = static_cast<USHORT>(bytes + sizeof(WCHAR));
}

extern "C" VOID NTAPI RtlInitAnsiString(PANSI_STRING DestinationString, PCSTR SourceString)
{
    DestinationString->Buffer = const_cast<PCHAR>(SourceString);
    if (SourceString == nullptr) {
        DestinationString->Length = 0;
        DestinationString->MaximumLength = 0;
        return;
    }
    std::size_t bytes = std::strlen(SourceString);
    if (bytes > MAXUSHORT - 1) {
        bytes = MAXUSHORT - 1;
    }
    DestinationString->Length = static_cast<USHORT>(bytes);
    DestinationString->MaximumLength = static_cast<USHORT>(bytes + 1);
}

extern "C" NTSTATUS NTAPI RtlAppendUnicodeStringToString(PUNICODE_STRING Destination, PCUNICODE_STRING Source)
{
    if (Source->Length == 0) {
        return STATUS_SUCCESS;
    }
    const unsigned total = static_cast<unsigned>(Destination->Length) + Source->Length;
    if (total > Destination->MaximumLength) {
        return STATUS_BUFFER_TOO_SMALL;
    }
    std::memmove(reinterpret_cast<char*>(Destination->Buffer) + Destination->Length, Source->Buffer, Source->Length);
    Destination->Length = static_cast<USHORT>(total);
    if (total + sizeof(WCHAR) <= Destination->MaximumLength) {
        Destination->Buffer[total / sizeof(WCHAR)] = 0;
    }
    return STATUS_SUCCESS;
}

extern "C" NTSTATUS NTAPI RtlIntegerToUnicodeString(ULONG Value, ULONG Base, PUNICODE_STRING String)
{
    if (Base == 0) {
        Base = 10;
    }
    if (Base != 2 && Base != 8 && Base != 10 && Base != 16) {
        return STATUS_INVALID_PARAMETER;
    }
    WCHAR digits[33];
    WCHAR* start = digits + 32;
    *start = 0;
    do {
        const ULONG digit = Value % Base;
        *--start = static_cast<WCHAR>(digit < 10 ? L'0' + digit : L'A' + digit - 10);
        Value /= Base;
    } while (Value != 0);
    const USHORT bytes = static_cast<USHORT>((digits + 32 - start) * sizeof(WCHAR));
    // Like Windows, the digits and their terminator must both fit.
    if (bytes >= String->MaximumLength) {
        return STATUS_BUFFER_OVERFLOW;
    }
    std::memcpy(String->Buffer, start, bytes + sizeof(WCHAR));
    String->Length = bytes;
    return STATUS_SUCCESS;
}

extern "C" int __cdecl _wcsicmp(const wchar_t* string1, const wchar_t* string2)
{
    for (;; ++string1, ++string2) {
        const char16_t a = host::FoldCase(static_cast<char16_t>(*string1));
        const char16_t b = host::FoldCase(static_cast<char16_t>(*string2));
        if (a != b || a == 0) {
            return static_cast<int>(a) - static_cast<int>(b);
        }
    }
}

extern "C" int __cdecl _vsnprintf(char* buffer, size_t count, const char* format, va_list argptr)
{
    return host::CopyMsResult(host::FormatMs(format, argptr, false), buffer, count);
}
