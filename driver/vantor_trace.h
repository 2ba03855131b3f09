// The driver's trace channel "Vantor": every line to the kernel debugger
// begins with "Vantor: ".
#pragma once

#include "framework/ktrace.h"

extern KTrace g_Trace;
