#include "system_libraries.h"

#include <host/utf16.h>

#include <memory>
#include <mutex>

namespace host {

namespace {

struct ProvidedLibrary {
    std::u16string name;
    std::map<std::string, FARPROC> exports;
};

struct Libraries {
    std::mutex lock;
    // The object's address is the module handle; it stays valid while a
    // caller may still hold it, even after the library is withdrawn.
    std::map<std::u16string, std::shared_ptr<ProvidedLibrary>> byName;
    std::map<HMODULE, std::shared_ptr<ProvidedLibrary>> loaded;
    std::map<HMODULE, unsigned> loads;
};

Libraries& TheLibraries()
{
    static Libraries* libraries = new Libraries;
    return *libraries;
}

std::u16string Folded(const std::u16string& name)
{
    std::u16string folded = name;
    for (char16_t& unit : folded) {
        unit = FoldCase(unit);
    }
    return folded;
}

}  // namespace

void ProvideSystemLibrary(const std::u16string& name, std::map<std::string, FARPROC> exports)
{
    auto& libraries = TheLibraries();
    std::lock_guard guard(libraries.lock);
    libraries.byName[Folded(name)] = std::make_shared<ProvidedLibrary>(ProvidedLibrary{name, std::move(exports)});
}

void WithdrawSystemLibrary(const std::u16string& name)
{
    auto& libraries = TheLibraries();
    std::lock_guard guard(libraries.lock);
    libraries.byName.erase(Folded(name));
}

HMODULE FindSystemLibrary(const std::u16string& name)
{
    auto& libraries = TheLibraries();
    std::lock_guard guard(libraries.lock);
    const auto found = libraries.byName.find(Folded(name));
    if (found == libraries.byName.end()) {
        return nullptr;
    }
    auto module = reinterpret_cast<HMODULE>(found->second.get());
    libraries.loaded[module] = found->second;
    ++libraries.loads[module];
    return module;
}

bool SystemLibraryExport(HMODULE module, const char* name, FARPROC& function)
{
    auto& libraries = TheLibraries();
    std::lock_guard guard(libraries.lock);
    const auto found = libraries.loaded.find(module);
    if (found == libraries.loaded.end()) {
        return false;
    }
    const auto exported = found->second->exports.find(name);
    function = exported == found->second->exports.end() ? nullptr : exported->second;
    return true;
}

bool ReleaseSystemLibrary(HMODULE module)
{
    auto& libraries = TheLibraries();
    std::lock_guard guard(libraries.lock);
    const auto count = libraries.loads.find(module);
    if (count == libraries.loads.end()) {
        return false;
    }
    if (--count->second == 0) {
        libraries.loads.erase(count);
        libraries.loaded.erase(module);
    }
    return true;
}

}  // namespace host
