#include "object_table.h"

#include "bugcheck.h"

#include <mutex>
#include <unordered_map>

namespace host {

namespace {

struct HandleEntry {
    KernelObject* object;
    ACCESS_MASK granted;
};

struct Tables {
    std::mutex lock;
    std::unordered_map<ULONG_PTR, HandleEntry> handles;
    std::unordered_map<const void*, KernelObject*> bodies;
    ULONG_PTR next = 0x104;  // handle values are multiples of four, as on Windows
};

Tables& TheTables()
{
    // Never destroyed: drivers and static objects may use it until the process ends.
    static Tables* tables = new Tables;
    return *tables;
}

}  // namespace

void KernelObject::Release()
{
    const long left = m_References.fetch_sub(1, std::memory_order_acq_rel) - 1;
    if (left < 0) {
        BugCheck("REFERENCE_BY_POINTER", "an object was released more often than referenced");
    }
    if (left == 0) {
        OnLastReference();
        delete this;
    }
}

HANDLE InsertHandle(KernelObject* object, ACCESS_MASK granted)
{
    object->AddRef();
    auto& tables = TheTables();
    std::lock_guard guard(tables.lock);
    const ULONG_PTR value = tables.next;
    tables.next += 4;
    tables.handles.emplace(value, HandleEntry{object, granted});
    return reinterpret_cast<HANDLE>(value);
}

Ref<KernelObject> ReferenceHandle(HANDLE handle, ACCESS_MASK* granted)
{
    auto& tables = TheTables();
    std::lock_guard guard(tables.lock);
    auto found = tables.handles.find(reinterpret_cast<ULONG_PTR>(handle));
    if (found == tables.handles.end()) {
        return {};
    }
    if (granted != nullptr) {
        *granted = found->second.granted;
    }
    return Ref<KernelObject>::Share(found->second.object);
}

bool AccessAllows(ACCESS_MASK granted, ACCESS_MASK desired)
{
    return (granted & GENERIC_ALL) != 0 || (desired & ~granted) == 0;
}

bool RemoveHandle(HANDLE handle)
{
    KernelObject* removed = nullptr;
    {
        auto& tables = TheTables();
        std::lock_guard guard(tables.lock);
        auto found = tables.handles.find(reinterpret_cast<ULONG_PTR>(handle));
        if (found == tables.handles.end()) {
            return false;
        }
        removed = found->second.object;
        tables.handles.erase(found);
    }
    // The object may go away here, outside the table's lock.
    removed->Release();
    return true;
}

void RegisterBody(const void* body, KernelObject* object)
{
    auto& tables = TheTables();
    std::lock_guard guard(tables.lock);
    tables.bodies[body] = object;
}

void UnregisterBody(const void* body)
{
    auto& tables = TheTables();
    std::lock_guard guard(tables.lock);
    tables.bodies.erase(body);
}

KernelObject* ObjectFromBody(const void* body)
{
    auto& tables = TheTables();
    std::lock_guard guard(tables.lock);
    auto found = tables.bodies.find(body);
    return found == tables.bodies.end() ? nullptr : found->second;
}

}  // namespace host
