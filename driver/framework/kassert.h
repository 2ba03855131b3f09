// Invariant checks of the framework: a failed check is reported through the
// kernel's assertion routine, quoting the condition and the source, and
// execution carries on.
#pragma once

#include <ntifs.h>

#define KASSERT(source, condition)                                                                      \
    ((condition) ? (void)0                                                                             \
                 : RtlAssert(const_cast<char*>(#condition), const_cast<char*>(source), __LINE__, nullptr))
