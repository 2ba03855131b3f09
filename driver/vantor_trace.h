// The driver's trace channel: lines to the kernel debugger, each starting
// with "Vantor: ".
#pragma once

#include <ntifs.h>

void VantorTrace(ULONG level, PCSTR format, ...);
