// The disk and storage queries Windows sends to a disk, answered from the
// mounted vault's size alone: a fixed disk of 512-byte sectors holding one
// partition that spans the whole data area. A pure function of the code, the
// disk size and the request's buffer, so it is tested without requests.
#pragma once

#include <ntifs.h>

struct DiskQueryAnswer {
    NTSTATUS Status;
    ULONG_PTR Information;  // bytes of output written
};

// Answers device control `code` for a disk of `diskSize` bytes. `buffer` is
// the request's system buffer (METHOD_BUFFERED: input and output share it),
// with `inputLength` bytes of input and room for `outputLength` bytes of
// output. An output buffer too short for the answer is left untouched.
// Codes that are not disk queries answer STATUS_INVALID_DEVICE_REQUEST.
DiskQueryAnswer AnswerDiskQuery(ULONG code, ULONGLONG diskSize, PVOID buffer, ULONG inputLength,
                                ULONG outputLength);
