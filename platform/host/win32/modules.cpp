// LoadLibraryW, GetProcAddress, FreeLibrary, GetModuleFileNameW. A library's
// Windows path resolves through the drive table to a host file, which is
// loaded as the host's shared object it is. A bare name is looked for in the
// program's folder, where Windows looks first.
#include "loaded_modules.h"
#include "program.h"
#include "system_libraries.h"
#include "win32_errors.h"
#include "win32_paths.h"

#include <host/utf16.h>

#include <dlfcn.h>
#include <sys/stat.h>

#include <cstdio>
#include <map>
#include <mutex>

namespace host {

namespace {

struct LoadedModule {
    std::u16string windowsPath;
    dev_t device = 0;
    ino_t inode = 0;
    unsigned loads = 0;
};

struct Modules {
    std::mutex lock;
    std::map<void*, LoadedModule> byHandle;  // by the host's library handle
};

Modules& TheModules()
{
    // Never destroyed: libraries may be freed late in the process's life.
    static Modules* modules = new Modules;
    return *modules;
}

HMODULE FailModule(DWORD error)
{
    FailWithError(error);
    return nullptr;
}

// The Windows path a library name leads to, or none when a bare name has no
// program folder to be looked for in.
std::optional<std::u16string> LibraryPath(std::u16string name)
{
    const std::size_t separator = name.find_last_of(u"\\/");
    // Without an extension, Windows looks for a ".dll".
    if (name.find(u'.', separator == std::u16string::npos ? 0 : separator) == std::u16string::npos) {
        name += u".dll";
    }
    if (separator != std::u16string::npos) {
        return name;
    }
    const std::optional<std::u16string> program = ProgramFile();
    if (!program) {
        return std::nullopt;
    }
    return program->substr(0, program->rfind(u'\\') + 1) + name;
}

DWORD CopyName(const std::u16string& name, LPWSTR buffer, DWORD size)
{
    // Too long: cut to the buffer, terminator included, and say so.
    if (name.size() >= size) {
        if (size > 0) {
            std::copy(name.begin(), name.begin() + (size - 1), buffer);
            buffer[size - 1] = 0;
        }
        FailWithError(ERROR_INSUFFICIENT_BUFFER);
        return size;
    }
    std::copy(name.begin(), name.end(), buffer);
    buffer[name.size()] = 0;
    return static_cast<DWORD>(name.size());
}

}  // namespace

bool IsLoadedLibraryFile(dev_t device, ino_t inode)
{
    auto& modules = TheModules();
    std::lock_guard guard(modules.lock);
    for (const auto& [handle, module] : modules.byHandle) {
        if (module.device == device && module.inode == inode) {
            return true;
        }
    }
    return false;
}

}  // namespace host

extern "C" {

HMODULE WINAPI LoadLibraryW(LPCWSTR lpLibFileName)
{
    if (lpLibFileName == nullptr || lpLibFileName[0] == 0) {
        return host::FailModule(ERROR_INVALID_PARAMETER);
    }
    const std::u16string name(host::AsUtf16(lpLibFileName));
    const std::optional<std::u16string> path = host::LibraryPath(name);
    host::Win32File file;
    if (!path || host::ResolveWin32File(reinterpret_cast<LPCWSTR>(path->c_str()), file) != ERROR_SUCCESS ||
        !file.host.exists || file.mustBeFolder || host::IsHostFolder(file.host.path)) {
        // After the program's folder, the system's: the libraries the host
        // provides itself.
        if (name.find_first_of(u"\\/") == std::u16string::npos) {
            if (HMODULE system = host::FindSystemLibrary(name)) {
                return system;
            }
        }
        return host::FailModule(ERROR_MOD_NOT_FOUND);
    }
    void* library = dlopen(file.host.path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) {
        // The file is there but is no library this host can load.
        std::fprintf(stderr, "host LoadLibraryW: %s\n", dlerror());
        return host::FailModule(ERROR_BAD_EXE_FORMAT);
    }
    auto& modules = host::TheModules();
    std::lock_guard guard(modules.lock);
    host::LoadedModule& module = modules.byHandle[library];
    if (module.loads++ == 0) {
        module.windowsPath = file.name;
        struct stat info {};
        if (stat(file.host.path.c_str(), &info) == 0) {
            module.device = info.st_dev;
            module.inode = info.st_ino;
        }
    }
    return static_cast<HMODULE>(library);
}

FARPROC WINAPI GetProcAddress(HMODULE hModule, LPCSTR lpProcName)
{
    if (FARPROC provided = nullptr;
        reinterpret_cast<ULONG_PTR>(lpProcName) > 0xFFFF && host::SystemLibraryExport(hModule, lpProcName, provided)) {
        if (provided == nullptr) {
            host::FailWithError(ERROR_PROC_NOT_FOUND);
        }
        return provided;
    }
    {
        auto& modules = host::TheModules();
        std::lock_guard guard(modules.lock);
        if (modules.byHandle.count(hModule) == 0) {
            host::FailWithError(ERROR_INVALID_HANDLE);
            return nullptr;
        }
    }
    // Host libraries export by name only: an ordinal finds nothing.
    if (reinterpret_cast<ULONG_PTR>(lpProcName) <= 0xFFFF) {
        host::FailWithError(ERROR_PROC_NOT_FOUND);
        return nullptr;
    }
    void* symbol = dlsym(hModule, lpProcName);
    if (symbol == nullptr) {
        host::FailWithError(ERROR_PROC_NOT_FOUND);
        return nullptr;
    }
    return reinterpret_cast<FARPROC>(symbol);
}

BOOL WINAPI FreeLibrary(HMODULE hLibModule)
{
    if (host::ReleaseSystemLibrary(hLibModule)) {
        return TRUE;
    }
    auto& modules = host::TheModules();
    std::unique_lock guard(modules.lock);
    auto found = modules.byHandle.find(hLibModule);
    if (found == modules.byHandle.end()) {
        return host::FailWithError(ERROR_INVALID_HANDLE);
    }
    if (--found->second.loads == 0) {
        modules.byHandle.erase(found);
    }
    guard.unlock();
    return dlclose(hLibModule) == 0 ? TRUE : host::FailWithError(ERROR_INVALID_HANDLE);
}

DWORD WINAPI GetModuleFileNameW(HMODULE hModule, LPWSTR lpFilename, DWORD nSize)
{
    std::u16string name;
    if (hModule == nullptr) {
        const std::optional<std::u16string> program = host::ProgramFile();
        if (!program) {
            // This process is no Windows program: it has no file to name.
            host::FailWithError(ERROR_MOD_NOT_FOUND);
            return 0;
        }
        name = *program;
    } else {
        auto& modules = host::TheModules();
        std::lock_guard guard(modules.lock);
        auto found = modules.byHandle.find(hModule);
        if (found == modules.byHandle.end()) {
            host::FailWithError(ERROR_MOD_NOT_FOUND);
            return 0;
        }
        name = found->second.windowsPath;
    }
    if (lpFilename == nullptr && nSize != 0) {
        host::FailWithError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    return host::CopyName(name, lpFilename, nSize);
}

}  // extern "C"
