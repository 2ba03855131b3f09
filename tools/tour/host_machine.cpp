#include "host_machine.h"

#include <host/drive_table.h>

#include <dlfcn.h>

#include <cstdio>
#include <filesystem>

namespace {

template <class Fn>
Fn Bind(void* library, const char* name)
{
    return reinterpret_cast<Fn>(dlsym(library, name));
}

}  // namespace

void* PrepareHostMachine(const std::string& folder, PellixExports& pellix)
{
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder + "/Software");
    std::filesystem::create_directories(folder + "/autorun.inf");
    std::filesystem::copy_file(VANTOR_IMAGE, folder + "/Software/Vantor.dll");
    host::MapDrive('C', host::Drive{folder, host::DriveType::Fixed, std::nullopt});

    void* library = dlopen(PELLIX_IMAGE, RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) {
        std::fprintf(stderr, "cannot load %s: %s\n", PELLIX_IMAGE, dlerror());
        return nullptr;
    }
    pellix = PellixExports{
        Bind<SysDiskInstallFn>(library, "SysDiskInstall"),
        Bind<SysDiskStopFn>(library, "SysDiskStop"),
        Bind<SysDiskMountExFn>(library, "SysDiskMountEx"),
        Bind<SysDiskUnMountExFn>(library, "SysDiskUnMountEx"),
        Bind<SysDiskChangePWDFn>(library, "SysDiskChangePWD"),
    };
    return library;
}
