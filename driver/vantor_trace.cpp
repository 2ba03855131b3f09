#include "vantor_trace.h"

// Prints every level to the kernel debugger and never breaks into it.
KTrace g_Trace("Vantor", KTrace::UseMonitor | KTrace::ToDebugger | KTrace::DoublePercent, 0, KTrace::NeverLevel);
