// The registry's ANSI calls (advapi32). Names and string data pass through
// the ANSI code page; byte counts are those of the ANSI text. As on Windows,
// these calls return their error and leave the thread's last error alone.
#include "code_pages.h"
#include "registry_tree.h"

#include "../kernel/object_table.h"

#include <cstring>

namespace host {

namespace {

// Standard rights that change a key rather than read it.
constexpr REGSAM kDelete = 0x00010000;
constexpr REGSAM kWriteDac = 0x00040000;
constexpr REGSAM kWriteOwner = 0x00080000;
constexpr REGSAM kWriteRights = KEY_SET_VALUE | KEY_CREATE_SUB_KEY | KEY_CREATE_LINK | kDelete | kWriteDac | kWriteOwner;

class RegistryKeyHandle final : public KernelObject {
public:
    RegistryKeyHandle(std::shared_ptr<RegistryKey> target, REGSAM access) : key(std::move(target)), granted(access) {}

    std::shared_ptr<RegistryKey> key;
    REGSAM granted;  // checked at open, as Windows checks it
};

struct OpenedKey {
    std::shared_ptr<RegistryKey> key;
    REGSAM granted = 0;
};

std::u16string FromAnsi(const char* text)
{
    bool invalid = false;
    return text == nullptr ? std::u16string() : FromCodePage(AnsiCodePage(), text, invalid);
}

bool IsStringType(DWORD type)
{
    return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

REGSAM MapGenericRights(REGSAM desired)
{
    struct Mapping {
        REGSAM generic;
        REGSAM specific;
    };
    constexpr Mapping kMappings[] = {
        {GENERIC_READ, KEY_READ}, {GENERIC_WRITE, KEY_WRITE}, {GENERIC_EXECUTE, KEY_EXECUTE}, {GENERIC_ALL, KEY_ALL_ACCESS}};
    REGSAM mapped = desired & ~REGSAM(KEY_WOW64_RES);
    for (const Mapping& mapping : kMappings) {
        if (mapped & mapping.generic) {
            mapped = (mapped & ~mapping.generic) | mapping.specific;
        }
    }
    return mapped;
}

// The access a new handle to `key` gets, or ERROR_ACCESS_DENIED.
LSTATUS GrantAccess(const RegistryKey& key, REGSAM desired, REGSAM& granted)
{
    const bool refused = RefusesWrites(key);
    REGSAM mapped = MapGenericRights(desired);
    if (mapped & MAXIMUM_ALLOWED) {
        mapped = (mapped & ~REGSAM(MAXIMUM_ALLOWED)) | (refused ? KEY_READ : KEY_ALL_ACCESS);
    }
    if (refused && (mapped & kWriteRights) != 0) {
        return ERROR_ACCESS_DENIED;
    }
    granted = mapped;
    return ERROR_SUCCESS;
}

// Under the registry lock. A predefined key has whatever its hive allows.
LSTATUS ResolveKey(HKEY hKey, OpenedKey& opened)
{
    if (IsPredefinedKey(hKey)) {
        opened.key = Hive(hKey);
        if (!opened.key) {
            return ERROR_INVALID_HANDLE;
        }
        opened.granted = RefusesWrites(*opened.key) ? KEY_READ : KEY_ALL_ACCESS;
    } else {
        Ref<RegistryKeyHandle> handle = ReferenceHandleAs<RegistryKeyHandle>(reinterpret_cast<HANDLE>(hKey));
        if (!handle) {
            return ERROR_INVALID_HANDLE;
        }
        opened.key = handle->key;
        opened.granted = handle->granted;
    }
    return opened.key->deleted ? ERROR_KEY_DELETED : ERROR_SUCCESS;
}

HKEY InsertKeyHandle(std::shared_ptr<RegistryKey> key, REGSAM granted)
{
    Ref<RegistryKeyHandle> handle = MakeObject<RegistryKeyHandle>(std::move(key), granted);
    return reinterpret_cast<HKEY>(InsertHandle(handle.Get()));
}

// The value's data as the ANSI functions show it.
std::vector<BYTE> AnsiData(const RegistryValue& value)
{
    if (!IsStringType(value.type) || value.data.empty()) {
        return value.data;
    }
    std::u16string units(value.data.size() / sizeof(char16_t), u'\0');
    std::memcpy(units.data(), value.data.data(), units.size() * sizeof(char16_t));
    bool replaced = false;
    const std::string text = ToCodePage(AnsiCodePage(), units, "?", replaced);
    return std::vector<BYTE>(text.begin(), text.end());
}

std::vector<BYTE> StoredData(DWORD type, const BYTE* data, DWORD size)
{
    if (size == 0) {
        return {};
    }
    if (!IsStringType(type)) {
        return std::vector<BYTE>(data, data + size);
    }
    bool invalid = false;
    const std::u16string text =
        FromCodePage(AnsiCodePage(), std::string_view(reinterpret_cast<const char*>(data), size), invalid);
    const auto* bytes = reinterpret_cast<const BYTE*>(text.data());
    return std::vector<BYTE>(bytes, bytes + text.size() * sizeof(char16_t));
}

}  // namespace

}  // namespace host

extern "C" {

LSTATUS WINAPI RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD ulOptions, REGSAM samDesired, PHKEY phkResult)
{
    (void)ulOptions;  // this registry has no symbolic links
    if (phkResult == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    *phkResult = nullptr;
    std::vector<std::u16string> names;
    if (!host::SplitKeyPath(host::FromAnsi(lpSubKey), names)) {
        return ERROR_BAD_PATHNAME;
    }
    std::lock_guard guard(host::RegistryLock());
    host::OpenedKey parent;
    if (const LSTATUS error = host::ResolveKey(hKey, parent); error != ERROR_SUCCESS) {
        return error;
    }
    // No sub-key: a new handle to the same key.
    std::shared_ptr<host::RegistryKey> key = host::FindSubKey(parent.key, names);
    if (!key) {
        return ERROR_FILE_NOT_FOUND;
    }
    REGSAM granted = 0;
    if (const LSTATUS error = host::GrantAccess(*key, samDesired, granted); error != ERROR_SUCCESS) {
        return error;
    }
    *phkResult = host::InsertKeyHandle(std::move(key), granted);
    return ERROR_SUCCESS;
}

LSTATUS WINAPI RegOpenKeyA(HKEY hKey, LPCSTR lpSubKey, PHKEY phkResult)
{
    if (phkResult == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    // Documented: without a sub-key, the caller gets its own handle back.
    if (lpSubKey == nullptr || lpSubKey[0] == 0) {
        *phkResult = hKey;
        return ERROR_SUCCESS;
    }
    return RegOpenKeyExA(hKey, lpSubKey, 0, MAXIMUM_ALLOWED, phkResult);
}

LSTATUS WINAPI RegCreateKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD Reserved, LPSTR lpClass, DWORD dwOptions,
                               REGSAM samDesired, LPSECURITY_ATTRIBUTES lpSecurityAttributes, PHKEY phkResult,
                               LPDWORD lpdwDisposition)
{
    (void)Reserved;
    (void)lpClass;
    (void)dwOptions;  // every key here is volatile: the registry lives as long as the process
    (void)lpSecurityAttributes;
    if (phkResult == nullptr || lpSubKey == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    *phkResult = nullptr;
    std::vector<std::u16string> names;
    if (!host::SplitKeyPath(host::FromAnsi(lpSubKey), names)) {
        return ERROR_BAD_PATHNAME;
    }
    std::lock_guard guard(host::RegistryLock());
    host::OpenedKey parent;
    if (const LSTATUS error = host::ResolveKey(hKey, parent); error != ERROR_SUCCESS) {
        return error;
    }
    std::shared_ptr<host::RegistryKey> key = parent.key;
    bool created = false;
    for (const std::u16string& name : names) {
        const std::u16string folded = host::FoldedName(name);
        auto found = key->subKeys.find(folded);
        if (found != key->subKeys.end()) {
            key = found->second;
            continue;
        }
        if ((parent.granted & KEY_CREATE_SUB_KEY) == 0 || host::RefusesWrites(*key)) {
            return ERROR_ACCESS_DENIED;
        }
        auto made = std::make_shared<host::RegistryKey>();
        made->name = name;
        made->parent = key.get();
        key->subKeys.emplace(folded, made);
        key = std::move(made);
        created = true;
    }
    REGSAM granted = 0;
    if (const LSTATUS error = host::GrantAccess(*key, samDesired, granted); error != ERROR_SUCCESS) {
        return error;
    }
    *phkResult = host::InsertKeyHandle(std::move(key), granted);
    if (lpdwDisposition != nullptr) {
        *lpdwDisposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    }
    return ERROR_SUCCESS;
}

LSTATUS WINAPI RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType, LPBYTE lpData,
                                LPDWORD lpcbData)
{
    if (lpReserved != nullptr || (lpData != nullptr && lpcbData == nullptr)) {
        return ERROR_INVALID_PARAMETER;
    }
    const std::u16string name = host::FoldedName(host::FromAnsi(lpValueName));
    std::lock_guard guard(host::RegistryLock());
    host::OpenedKey opened;
    if (const LSTATUS error = host::ResolveKey(hKey, opened); error != ERROR_SUCCESS) {
        return error;
    }
    if ((opened.granted & KEY_QUERY_VALUE) == 0) {
        return ERROR_ACCESS_DENIED;
    }
    auto found = opened.key->values.find(name);
    if (found == opened.key->values.end()) {
        return ERROR_FILE_NOT_FOUND;
    }
    if (lpType != nullptr) {
        *lpType = found->second.type;
    }
    if (lpcbData == nullptr) {
        return ERROR_SUCCESS;
    }
    const std::vector<BYTE> data = host::AnsiData(found->second);
    const DWORD size = static_cast<DWORD>(data.size());
    if (lpData == nullptr) {
        *lpcbData = size;
        return ERROR_SUCCESS;
    }
    if (*lpcbData < size) {
        *lpcbData = size;
        return ERROR_MORE_DATA;
    }
    if (size != 0) {
        std::memcpy(lpData, data.data(), size);
    }
    *lpcbData = size;
    return ERROR_SUCCESS;
}

LSTATUS WINAPI RegSetValueExA(HKEY hKey, LPCSTR lpValueName, DWORD Reserved, DWORD dwType, const BYTE* lpData,
                              DWORD cbData)
{
    (void)Reserved;
    if (lpData == nullptr && cbData != 0) {
        return ERROR_NOACCESS;
    }
    const std::u16string name = host::FromAnsi(lpValueName);
    std::lock_guard guard(host::RegistryLock());
    host::OpenedKey opened;
    if (const LSTATUS error = host::ResolveKey(hKey, opened); error != ERROR_SUCCESS) {
        return error;
    }
    if ((opened.granted & KEY_SET_VALUE) == 0) {
        return ERROR_ACCESS_DENIED;
    }
    // A value written again keeps the name it was first given.
    auto [entry, added] = opened.key->values.try_emplace(host::FoldedName(name));
    if (added) {
        entry->second.name = name;
    }
    entry->second.type = dwType;
    entry->second.data = host::StoredData(dwType, lpData, cbData);
    return ERROR_SUCCESS;
}

LSTATUS WINAPI RegDeleteValueA(HKEY hKey, LPCSTR lpValueName)
{
    const std::u16string name = host::FoldedName(host::FromAnsi(lpValueName));
    std::lock_guard guard(host::RegistryLock());
    host::OpenedKey opened;
    if (const LSTATUS error = host::ResolveKey(hKey, opened); error != ERROR_SUCCESS) {
        return error;
    }
    if ((opened.granted & KEY_SET_VALUE) == 0) {
        return ERROR_ACCESS_DENIED;
    }
    return opened.key->values.erase(name) != 0 ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
}

LSTATUS WINAPI RegCloseKey(HKEY hKey)
{
    if (host::IsPredefinedKey(hKey)) {
        return ERROR_SUCCESS;  // the predefined keys stay open
    }
    const HANDLE handle = reinterpret_cast<HANDLE>(hKey);
    if (!host::ReferenceHandleAs<host::RegistryKeyHandle>(handle)) {
        return ERROR_INVALID_HANDLE;
    }
    return host::RemoveHandle(handle) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

}  // extern "C"
