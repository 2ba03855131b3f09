// The tour on Windows, or under Wine: the shipping library is loaded from
// C:\Software, next to the shipping driver, and its exports bound by name.
#include "tour.h"

#include <cstdio>

namespace {

// What the kernel debugger saw cannot be read from here.
std::string NoTrace()
{
    return "";
}

bool UnderWine()
{
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

template <class Fn>
Fn Bind(HMODULE library, const char* name)
{
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(library, name)));
}

}  // namespace

// Usage: product_tour.exe [vault made on Linux, its password]
int main(int argc, char** argv)
{
    CreateDirectoryW(L"C:\\autorun.inf", nullptr);
    HMODULE library = LoadLibraryW(L"C:\\Software\\Pellix.dll");
    if (library == nullptr) {
        std::fprintf(stderr, "cannot load C:\\Software\\Pellix.dll: error %lu\n", GetLastError());
        return 1;
    }
    const PellixExports pellix{
        Bind<SysDiskInstallFn>(library, "SysDiskInstall"),
        Bind<SysDiskStopFn>(library, "SysDiskStop"),
        Bind<SysDiskMountExFn>(library, "SysDiskMountEx"),
        Bind<SysDiskUnMountExFn>(library, "SysDiskUnMountEx"),
        Bind<SysDiskChangePWDFn>(library, "SysDiskChangePWD"),
    };
    const bool wine = UnderWine();
    TourSetting setting{wine ? "Wine, with the shipping x64 binaries" : "Windows", wine, NoTrace};
    if (argc == 3) {
        setting.linuxVault = argv[1];
        setting.linuxPassword = argv[2];
    }
    const int result = RunTour(pellix, setting);
    FreeLibrary(library);
    return result;
}
