#include "registry_tree.h"

#include <host/utf16.h>
#include <host/win32_hooks.h>

#include <array>
#include <optional>

namespace host {

namespace {

constexpr ULONG_PTR kFirstPredefined = 0x80000000;
// One slot per predefined key; those of HKEY_PERFORMANCE_DATA and
// HKEY_DYN_DATA are never handed out.
constexpr std::size_t kHiveCount = 7;

struct Registry {
    std::mutex lock;
    std::array<std::shared_ptr<RegistryKey>, kHiveCount> hives;
};

std::shared_ptr<RegistryKey> NewHive()
{
    return std::make_shared<RegistryKey>();
}

Registry& TheRegistry()
{
    // Never destroyed: keys may be closed late in the process's life.
    static Registry* registry = [] {
        auto* made = new Registry;
        for (auto& hive : made->hives) {
            hive = NewHive();
        }
        return made;
    }();
    return *registry;
}

// The predefined keys are sign-extended 32-bit values.
std::optional<std::size_t> PredefinedIndex(HKEY key)
{
    const auto value = static_cast<std::uint32_t>(reinterpret_cast<ULONG_PTR>(key));
    const auto extended = static_cast<ULONG_PTR>(static_cast<LONG_PTR>(static_cast<LONG>(value)));
    if (extended != reinterpret_cast<ULONG_PTR>(key) || value < kFirstPredefined ||
        value > static_cast<std::uint32_t>(kFirstPredefined + 6)) {
        return std::nullopt;
    }
    return value - kFirstPredefined;
}

// The keys go with their hive; handles still open keep theirs, cut loose.
void MarkDeleted(RegistryKey& key)
{
    key.deleted = true;
    key.parent = nullptr;
    for (auto& [name, sub] : key.subKeys) {
        MarkDeleted(*sub);
    }
}

}  // namespace

std::mutex& RegistryLock()
{
    return TheRegistry().lock;
}

bool IsPredefinedKey(HKEY key)
{
    return PredefinedIndex(key).has_value();
}

std::shared_ptr<RegistryKey> Hive(HKEY predefined)
{
    const std::optional<std::size_t> index = PredefinedIndex(predefined);
    if (!index || predefined == HKEY_PERFORMANCE_DATA || predefined == HKEY_DYN_DATA) {
        return nullptr;
    }
    return TheRegistry().hives[*index];
}

std::u16string FoldedName(std::u16string_view name)
{
    std::u16string folded(name);
    for (char16_t& unit : folded) {
        unit = FoldCase(unit);
    }
    return folded;
}

bool RefusesWrites(const RegistryKey& key)
{
    for (const RegistryKey* at = &key; at != nullptr; at = at->parent) {
        if (at->refusesWrites) {
            return true;
        }
    }
    return false;
}

bool SplitKeyPath(std::u16string_view path, std::vector<std::u16string>& names)
{
    names.clear();
    if (!path.empty() && path.back() == u'\\') {
        path.remove_suffix(1);
    }
    if (path.empty()) {
        return true;
    }
    std::size_t start = 0;
    while (true) {
        const std::size_t end = path.find(u'\\', start);
        const std::u16string_view name = path.substr(start, end == std::u16string_view::npos ? end : end - start);
        if (name.empty()) {
            return false;
        }
        names.emplace_back(name);
        if (end == std::u16string_view::npos) {
            return true;
        }
        start = end + 1;
    }
}

std::shared_ptr<RegistryKey> FindSubKey(const std::shared_ptr<RegistryKey>& key,
                                        const std::vector<std::u16string>& names)
{
    std::shared_ptr<RegistryKey> at = key;
    for (const std::u16string& name : names) {
        auto found = at->subKeys.find(FoldedName(name));
        if (found == at->subKeys.end()) {
            return nullptr;
        }
        at = found->second;
    }
    return at;
}

void ResetRegistry()
{
    auto& registry = TheRegistry();
    std::lock_guard guard(registry.lock);
    for (auto& hive : registry.hives) {
        MarkDeleted(*hive);
        hive = NewHive();
    }
}

bool RefuseRegistryWrites(HKEY hive, const std::u16string& subKey)
{
    std::lock_guard guard(RegistryLock());
    std::shared_ptr<RegistryKey> root = Hive(hive);
    std::vector<std::u16string> names;
    if (!root || !SplitKeyPath(subKey, names)) {
        return false;
    }
    std::shared_ptr<RegistryKey> key = FindSubKey(root, names);
    if (!key) {
        return false;
    }
    key->refusesWrites = true;
    return true;
}

std::optional<StoredRegistryValue> ReadStoredRegistryValue(HKEY hive, const std::u16string& subKey,
                                                           const std::u16string& valueName)
{
    std::lock_guard guard(RegistryLock());
    std::shared_ptr<RegistryKey> root = Hive(hive);
    std::vector<std::u16string> names;
    if (!root || !SplitKeyPath(subKey, names)) {
        return std::nullopt;
    }
    std::shared_ptr<RegistryKey> key = FindSubKey(root, names);
    if (!key) {
        return std::nullopt;
    }
    auto found = key->values.find(FoldedName(valueName));
    if (found == key->values.end()) {
        return std::nullopt;
    }
    return StoredRegistryValue{found->second.type, found->second.data};
}

}  // namespace host
