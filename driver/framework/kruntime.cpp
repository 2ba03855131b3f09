// Exit actions. The compiler registers each static object's teardown with
// atexit; in a driver image that is this list, in pool memory.
#include "kruntime.h"

#include "kpool.h"

namespace {

struct ExitAction {
    ExitAction* next;
    void (*action)();
};

ExitAction* g_ExitActions = nullptr;
NTSTATUS g_ExitActionStatus = STATUS_SUCCESS;

}  // namespace

extern "C" int atexit(void (*action)())
{
    auto* entry = static_cast<ExitAction*>(ExAllocatePoolWithTag(NonPagedPool, sizeof(ExitAction), VANTOR_POOL_TAG));
    if (entry == nullptr) {
        action();
        g_ExitActionStatus = STATUS_INSUFFICIENT_RESOURCES;
        return -1;
    }
    entry->action = action;
    entry->next = g_ExitActions;
    g_ExitActions = entry;
    return 0;
}

void KRunExitActions()
{
    while (ExitAction* entry = g_ExitActions) {
        g_ExitActions = entry->next;
        entry->action();
        ExFreePoolWithTag(entry, 0);
    }
}

NTSTATUS KExitActionStatus()
{
    return g_ExitActionStatus;
}
