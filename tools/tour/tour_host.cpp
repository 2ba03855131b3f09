// The tour on the host: a scratch folder becomes drive C:, the host build of
// the driver is put into C:\Software as Vantor.dll, and the host build of the
// library is loaded and its exports bound by name.
//
// Usage: product_tour <scratch folder that becomes drive C:>
#include "tour.h"

#include <host/drive_table.h>
#include <host/test_hooks.h>

#include <dlfcn.h>

#include <cstdio>
#include <filesystem>

namespace {

std::string DebuggerOutput()
{
    return host::DebugOutput();
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <scratch folder>\n", argv[0]);
        return 2;
    }
    const std::string root = std::filesystem::absolute(argv[1]).string();
    std::filesystem::remove_all(root);
    std::filesystem::create_directories(root + "/Software");
    std::filesystem::create_directories(root + "/autorun.inf");
    std::filesystem::copy_file(VANTOR_IMAGE, root + "/Software/Vantor.dll");
    host::MapDrive('C', host::Drive{root, host::DriveType::Fixed, std::nullopt});

    void* library = dlopen(PELLIX_IMAGE, RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) {
        std::fprintf(stderr, "cannot load %s: %s\n", PELLIX_IMAGE, dlerror());
        return 1;
    }
    const PellixExports pellix{
        reinterpret_cast<SysDiskInstallFn>(dlsym(library, "SysDiskInstall")),
        reinterpret_cast<SysDiskStopFn>(dlsym(library, "SysDiskStop")),
        reinterpret_cast<SysDiskMountExFn>(dlsym(library, "SysDiskMountEx")),
        reinterpret_cast<SysDiskUnMountExFn>(dlsym(library, "SysDiskUnMountEx")),
        reinterpret_cast<SysDiskChangePWDFn>(dlsym(library, "SysDiskChangePWD")),
    };
    std::printf("(drive C: is %s)\n", root.c_str());
    const int result = RunTour(pellix, TourSetting{"the host", false, DebuggerOutput});
    dlclose(library);
    return result;
}
