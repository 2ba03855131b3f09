// The registry of this process: five hives of keys and values in memory.
// Names compare without regard to case and keep the case they were given;
// values are kept as Windows keeps them, string types in UTF-16.
#pragma once

#include <windows.h>

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace host {

struct RegistryValue {
    std::u16string name;
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
};

struct RegistryKey {
    std::u16string name;
    RegistryKey* parent = nullptr;  // none for a hive
    bool deleted = false;           // the registry was reset under an open handle
    bool refusesWrites = false;     // and so does every key below it
    std::map<std::u16string, std::shared_ptr<RegistryKey>> subKeys;  // by folded name
    std::map<std::u16string, RegistryValue> values;                   // by folded name
};

// Every registry call works under this one lock.
std::mutex& RegistryLock();

// The hive a predefined key stands for; none for HKEY_PERFORMANCE_DATA and
// HKEY_DYN_DATA, which are no hives of keys on Windows NT, and for any other
// value.
std::shared_ptr<RegistryKey> Hive(HKEY predefined);
bool IsPredefinedKey(HKEY key);

std::u16string FoldedName(std::u16string_view name);

// Whether the key or one above it refuses write access.
bool RefusesWrites(const RegistryKey& key);

// Splits "a\b\c" into its names. False for an empty name on the way (a
// leading or doubled separator); one trailing separator is allowed.
bool SplitKeyPath(std::u16string_view path, std::vector<std::u16string>& names);

// Follows `names` down from `key`; none when a key on the way is missing.
std::shared_ptr<RegistryKey> FindSubKey(const std::shared_ptr<RegistryKey>& key,
                                        const std::vector<std::u16string>& names);

}  // namespace host
