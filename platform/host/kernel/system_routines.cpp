// MmGetSystemRoutineAddress: the kernel's exports by name. Tests may hide a
// routine, to stand for a kernel that lacks it.
#include "threads.h"

#include <host/test_hooks.h>
#include <host/utf16.h>
#include <ntddk.h>

#include <dlfcn.h>

#include <mutex>
#include <map>
#include <set>

namespace host {

namespace {

struct Hidden {
    std::mutex lock;
    std::set<std::string> names;
    std::map<std::string, void*> added;
};

Hidden& HiddenRoutines()
{
    // Never destroyed: drivers and static objects may use it until the process ends.
    static Hidden* hidden = new Hidden;
    return *hidden;
}

}  // namespace

void HideSystemRoutine(const std::string& name, bool hide)
{
    std::lock_guard guard(HiddenRoutines().lock);
    if (hide) {
        HiddenRoutines().names.insert(name);
    } else {
        HiddenRoutines().names.erase(name);
    }
}

void AddSystemRoutine(const std::string& name, void* address)
{
    std::lock_guard guard(HiddenRoutines().lock);
    HiddenRoutines().added[name] = address;
}

void ClearHiddenRoutines()
{
    std::lock_guard guard(HiddenRoutines().lock);
    HiddenRoutines().names.clear();
    HiddenRoutines().added.clear();
}

}  // namespace host

extern "C" PVOID NTAPI MmGetSystemRoutineAddress(PUNICODE_STRING SystemRoutineName)
{
    host::RequireIrqlAtMost(PASSIVE_LEVEL, "MmGetSystemRoutineAddress");
    auto name = host::Utf16ToUtf8(host::AsUtf16(SystemRoutineName->Buffer, SystemRoutineName->Length / sizeof(WCHAR)));
    if (!name) {
        return nullptr;
    }
    {
        std::lock_guard guard(host::HiddenRoutines().lock);
        if (host::HiddenRoutines().names.count(*name) != 0) {
            return nullptr;
        }
        auto added = host::HiddenRoutines().added.find(*name);
        if (added != host::HiddenRoutines().added.end()) {
            return added->second;
        }
    }
    static void* kernel = [] {
        // This library is the kernel: look only among its own exports.
        Dl_info info{};
        dladdr(reinterpret_cast<void*>(&MmGetSystemRoutineAddress), &info);
        return dlopen(info.dli_fname, RTLD_NOW | RTLD_NOLOAD);
    }();
    return kernel != nullptr ? dlsym(kernel, name->c_str()) : nullptr;
}
