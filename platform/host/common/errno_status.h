// What a Windows kernel would answer for the failure a POSIX call reported.
#pragma once

#include <ntstatus.h>

namespace host {

NTSTATUS StatusFromErrno(int error);

}  // namespace host
