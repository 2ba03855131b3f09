// The library's entry point: nothing to set up or tear down here. When the
// library is unloaded, the run-time's teardown of its static objects closes
// the driver-control object's service-manager handles; the service itself
// stays as it is, running or not. The parameters are the entry point's
// interface, and none is needed.
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved)
{
    (void)instance;
    (void)reason;
    (void)reserved;
    return TRUE;
}
