// Start-up of the driver image on Windows, where no C++ run-time exists:
// the static initialisers listed by the linker run here. Objects come from
// the pool through their classes' own operator new; the global operator
// delete below only serves compiler-made deleting destructors. There is no
// global operator new, so that nothing allocates without saying from where.
#include "kruntime.h"

#include "kpool.h"

typedef void (*KConstructor)();

// The linker's list of static initialisers: a count (or -1), the
// initialisers, and a terminating null.
extern "C" KConstructor __CTOR_LIST__[];

NTSTATUS KRunStaticInitializers()
{
    ULONG_PTR count = ULONG_PTR(__CTOR_LIST__[0]);
    if (count == ULONG_PTR(-1)) {
        for (count = 0; __CTOR_LIST__[count + 1] != nullptr; ++count) {
        }
    }
    // The linker lists them in reverse order of appearance.
    for (ULONG_PTR i = count; i >= 1; --i) {
        __CTOR_LIST__[i]();
    }
    return KExitActionStatus();
}

void operator delete(void* block) noexcept
{
    if (block != nullptr) {
        ExFreePoolWithTag(block, 0);
    }
}

void operator delete(void* block, size_t) noexcept
{
    operator delete(block);
}

void operator delete[](void* block) noexcept
{
    operator delete(block);
}

void operator delete[](void* block, size_t) noexcept
{
    operator delete(block);
}
