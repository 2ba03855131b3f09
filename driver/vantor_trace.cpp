#include "vantor_trace.h"

#include <stdio.h>

void VantorTrace(ULONG level, PCSTR format, ...)
{
    (void)level;
    char line[256];
    va_list args;
    va_start(args, format);
    int length = _vsnprintf(line, sizeof line, format, args);
    va_end(args);
    if (length < 0) {
        line[sizeof line - 1] = 0;
    }
    DbgPrint("Vantor: %s", line);
}
