// The vault disk driver's private control requests: codes, records and
// device names. The driver, the control library and the tests all build on
// this one header; nobody keeps a copy of these layouts.
//
// Self-contained on purpose: kernel code includes it after <ntifs.h>, user
// code after <windows.h>, and the two cannot meet in one file on Windows.
#pragma once

#include <stddef.h>
#include <stdint.h>

// Device type 0x8000, FILE_ANY_ACCESS, METHOD_BUFFERED; only the function differs.
#define VANTOR_CONTROL_CODE(function) ((0x8000u << 16) | (0u << 14) | ((function) << 2) | 0u)

#define IOCTL_OPENDISKFILE VANTOR_CONTROL_CODE(0x800)
#define IOCTL_CLOSEDISKFILE VANTOR_CONTROL_CODE(0x801)
#define IOCTL_CHANGEPWD VANTOR_CONTROL_CODE(0x802)

static_assert(IOCTL_OPENDISKFILE == 0x80002000u, "open code");
static_assert(IOCTL_CLOSEDISKFILE == 0x80002004u, "close code");
static_assert(IOCTL_CHANGEPWD == 0x80002008u, "change-password code");

// Units 0 and 1 are \Device\VantorDevice0 and \Device\VantorDevice1, reached
// from user mode as \\.\VantorDevice0 and \\.\VantorDevice1.
#define VANTOR_DEVICE_BASE_NAME L"VantorDevice"
#define VANTOR_UNIT_COUNT 2

// UTF-16 code units of the two string fields, their terminators included.
#define VANTOR_FILE_NAME_CHARS 256
#define VANTOR_PASSWORD_CHARS 16

static_assert(sizeof(wchar_t) == 2, "the records carry UTF-16 text");

// Sent with IOCTL_OPENDISKFILE to \\.\VantorDevice<n>; exactly 560 bytes.
typedef struct alignas(8) _OPENDISKFILE_INFO {
    int64_t FileSize;   // bytes; used only when the vault file is created
    uint8_t Reserved;   // sent as 0, not read
    wchar_t FileName[VANTOR_FILE_NAME_CHARS];  // NT path, "\??\C:\...", NUL-terminated
    wchar_t Password[VANTOR_PASSWORD_CHARS];   // at most 15 characters and a NUL
} OPENDISKFILE_INFO, *POPENDISKFILE_INFO;

// Sent with IOCTL_CHANGEPWD to the mounted volume; exactly 32 bytes.
typedef struct _NewPassword {
    wchar_t Password[VANTOR_PASSWORD_CHARS];
} NewPassword;

static_assert(sizeof(OPENDISKFILE_INFO) == 560, "OPENDISKFILE_INFO size");
static_assert(offsetof(OPENDISKFILE_INFO, FileSize) == 0, "FileSize offset");
static_assert(offsetof(OPENDISKFILE_INFO, Reserved) == 8, "Reserved offset");
static_assert(offsetof(OPENDISKFILE_INFO, FileName) == 10, "FileName offset");
static_assert(offsetof(OPENDISKFILE_INFO, Password) == 522, "Password offset");
static_assert(sizeof(NewPassword) == 32, "NewPassword size");
static_assert(offsetof(NewPassword, Password) == 0, "NewPassword offset");
