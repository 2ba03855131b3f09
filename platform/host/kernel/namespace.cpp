// The object namespace: device names and symbolic links. Names compare
// without regard to case, as the object manager compares them.
#include "io_objects.h"

#include <host/utf16.h>

#include <map>

namespace host {

namespace {

struct Entry {
    Device* device = nullptr;           // a device's name (no reference: the device removes it)
    std::vector<std::u16string> links;  // a link's targets, the most recent last
};

struct Namespace {
    std::mutex lock;
    std::map<std::u16string, Entry> entries;
};

Namespace& TheNamespace()
{
    // Never destroyed: drivers and static objects may use it until the process ends.
    static Namespace* names = new Namespace;
    return *names;
}

std::u16string Key(const std::u16string& name)
{
    std::u16string key = name;
    for (char16_t& unit : key) {
        unit = FoldCase(unit);
    }
    return key;
}

}  // namespace

std::mutex& IoLock()
{
    // Never destroyed: drivers and static objects may use it until the process ends.
    static std::mutex* lock = new std::mutex;
    return *lock;
}

NTSTATUS InsertDeviceName(const std::u16string& name, Device* device)
{
    auto& names = TheNamespace();
    std::lock_guard guard(names.lock);
    auto [entry, inserted] = names.entries.try_emplace(Key(name));
    if (!inserted) {
        return STATUS_OBJECT_NAME_COLLISION;
    }
    entry->second.device = device;
    return STATUS_SUCCESS;
}

void RemoveDeviceName(const std::u16string& name)
{
    auto& names = TheNamespace();
    std::lock_guard guard(names.lock);
    auto found = names.entries.find(Key(name));
    if (found != names.entries.end() && found->second.device != nullptr) {
        names.entries.erase(found);
    }
}

NTSTATUS InsertLink(const std::u16string& link, const std::u16string& target)
{
    auto& names = TheNamespace();
    std::lock_guard guard(names.lock);
    auto [entry, inserted] = names.entries.try_emplace(Key(link));
    if (!inserted) {
        return STATUS_OBJECT_NAME_COLLISION;
    }
    entry->second.links.push_back(target);
    return STATUS_SUCCESS;
}

NTSTATUS PushLink(const std::u16string& link, const std::u16string& target)
{
    auto& names = TheNamespace();
    std::lock_guard guard(names.lock);
    Entry& entry = names.entries[Key(link)];
    if (entry.device != nullptr) {
        return STATUS_OBJECT_NAME_COLLISION;
    }
    entry.links.push_back(target);
    return STATUS_SUCCESS;
}

NTSTATUS PopLink(const std::u16string& link, const std::u16string* target)
{
    auto& names = TheNamespace();
    std::lock_guard guard(names.lock);
    auto found = names.entries.find(Key(link));
    if (found == names.entries.end() || found->second.links.empty()) {
        return STATUS_OBJECT_NAME_NOT_FOUND;
    }
    auto& links = found->second.links;
    auto victim = links.end() - 1;
    if (target != nullptr) {
        // The most recent definition with this target.
        victim = links.end();
        for (auto it = links.end(); it != links.begin();) {
            --it;
            if (EqualFolded(*it, *target)) {
                victim = it;
                break;
            }
        }
        if (victim == links.end()) {
            return STATUS_OBJECT_NAME_NOT_FOUND;
        }
    }
    links.erase(victim);
    if (links.empty()) {
        names.entries.erase(found);
    }
    return STATUS_SUCCESS;
}

NTSTATUS RemoveLink(const std::u16string& link)
{
    auto& names = TheNamespace();
    std::lock_guard guard(names.lock);
    auto found = names.entries.find(Key(link));
    if (found == names.entries.end() || found->second.links.empty()) {
        return STATUS_OBJECT_NAME_NOT_FOUND;
    }
    names.entries.erase(found);
    return STATUS_SUCCESS;
}

std::vector<std::u16string> LinkTargets(const std::u16string& link)
{
    auto& names = TheNamespace();
    std::lock_guard guard(names.lock);
    auto found = names.entries.find(Key(link));
    if (found == names.entries.end()) {
        return {};
    }
    return {found->second.links.rbegin(), found->second.links.rend()};
}

NTSTATUS FindDevice(const std::u16string& name, Ref<Device>& device)
{
    auto& names = TheNamespace();
    std::lock_guard guard(names.lock);
    std::u16string current = name;
    // Links may lead to links, but not endlessly.
    for (int hops = 0; hops < 32; ++hops) {
        auto found = names.entries.find(Key(current));
        if (found == names.entries.end()) {
            return hops == 0 ? STATUS_OBJECT_NAME_NOT_FOUND : STATUS_OBJECT_PATH_NOT_FOUND;
        }
        if (found->second.device != nullptr) {
            device = Ref<Device>::Share(found->second.device);
            return STATUS_SUCCESS;
        }
        current = found->second.links.back();
    }
    return STATUS_OBJECT_PATH_NOT_FOUND;
}

bool NameExists(const std::u16string& name)
{
    auto& names = TheNamespace();
    std::lock_guard guard(names.lock);
    return names.entries.count(Key(name)) != 0;
}

bool ObjectNameExists(std::u16string_view name)
{
    return NameExists(std::u16string(name));
}

}  // namespace host
