// What the recording test driver keeps, and how tests ask for it.
#pragma once

#include <stdint.h>

#define IOCTL_RECORDER_LAST 0x8000F000u    // output: RecorderRecord
#define IOCTL_RECORDER_ANSWER 0x8000F004u  // input: the NTSTATUS to answer with from now on

struct RecorderRecord {
    uint32_t Count;   // device controls recorded so far
    uint32_t Code;    // the last one's code
    uint32_t Length;  // and its input length
    uint8_t Bytes[1024];
};
