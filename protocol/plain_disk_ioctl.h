// The plain disk-image driver's requests, as the control library sends them:
// codes and the open record. That driver is not ours and takes no password;
// the library keeps two exports for it, and this header is the one place its
// layout is written down, for the library and for the tests that read what
// the library sent.
//
// Self-contained, like vantor_ioctl.h, so that kernel and user code can both
// include it.
#pragma once

#include <stddef.h>
#include <stdint.h>

// Device type 0x8000, FILE_READ_ACCESS | FILE_WRITE_ACCESS, METHOD_BUFFERED.
#define PLAIN_DISK_CONTROL_CODE(function) ((0x8000u << 16) | (3u << 14) | ((function) << 2) | 0u)

#define IOCTL_PLAIN_OPENDISKFILE PLAIN_DISK_CONTROL_CODE(0x800)
#define IOCTL_PLAIN_CLOSEDISKFILE PLAIN_DISK_CONTROL_CODE(0x801)

static_assert(IOCTL_PLAIN_OPENDISKFILE == 0x8000E000u, "plain open code");
static_assert(IOCTL_PLAIN_CLOSEDISKFILE == 0x8000E004u, "plain close code");

// Units are \Device\PlainDisk\PlainDisk<n>.
#define PLAIN_DISK_DEVICE_PREFIX L"\\Device\\PlainDisk\\PlainDisk"

// The fixed head of the open record. The file name follows it at once, in
// the sender's ANSI code page: "\??\" and the path, NUL-terminated.
#pragma pack(push, 4)
typedef struct _PLAIN_OPENDISKFILE_HEAD {
    int64_t FileSize;         // bytes
    uint8_t ReadOnly;         // 0: the disk may be written
    uint8_t Spare;            // not set, not read
    uint16_t FileNameLength;  // bytes of the name, without its terminator
} PLAIN_OPENDISKFILE_HEAD;
#pragma pack(pop)

static_assert(sizeof(PLAIN_OPENDISKFILE_HEAD) == 12, "plain record head size");
static_assert(offsetof(PLAIN_OPENDISKFILE_HEAD, FileSize) == 0, "FileSize offset");
static_assert(offsetof(PLAIN_OPENDISKFILE_HEAD, ReadOnly) == 8, "ReadOnly offset");
static_assert(offsetof(PLAIN_OPENDISKFILE_HEAD, FileNameLength) == 10, "FileNameLength offset");

// The request length for a name of `nameBytes`: the head, the name, its
// terminator and two bytes more, as the plain driver's senders have always
// sent it.
#define PLAIN_OPENDISKFILE_LENGTH(nameBytes) (15u + (nameBytes))
