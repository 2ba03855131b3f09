#include "object_table.h"

#include <mutex>
#include <unordered_map>

namespace host {

namespace {

struct HandleTable {
    std::mutex lock;
    std::unordered_map<ULONG_PTR, std::shared_ptr<KernelObject>> objects;
    ULONG_PTR next = 0x104;  // handle values are multiples of four, as on Windows
};

HandleTable& Table()
{
    static HandleTable table;
    return table;
}

}  // namespace

HANDLE InsertHandle(std::shared_ptr<KernelObject> object)
{
    auto& table = Table();
    std::lock_guard guard(table.lock);
    const ULONG_PTR value = table.next;
    table.next += 4;
    table.objects.emplace(value, std::move(object));
    return reinterpret_cast<HANDLE>(value);
}

std::shared_ptr<KernelObject> ReferenceHandle(HANDLE handle)
{
    auto& table = Table();
    std::lock_guard guard(table.lock);
    auto found = table.objects.find(reinterpret_cast<ULONG_PTR>(handle));
    return found == table.objects.end() ? nullptr : found->second;
}

bool RemoveHandle(HANDLE handle)
{
    std::shared_ptr<KernelObject> removed;
    {
        auto& table = Table();
        std::lock_guard guard(table.lock);
        auto found = table.objects.find(reinterpret_cast<ULONG_PTR>(handle));
        if (found == table.objects.end()) {
            return false;
        }
        removed = std::move(found->second);
        table.objects.erase(found);
    }
    // The object may go away here, outside the table's lock.
    return true;
}

}  // namespace host
