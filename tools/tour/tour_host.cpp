// The tour on the host: a scratch folder becomes drive C:, the host build of
// the driver is put into C:\Software as Vantor.dll, and the host build of the
// library is loaded and its exports bound by name.
//
// Usage: product_tour <scratch folder that becomes drive C:>
#include "host_machine.h"

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
    PellixExports pellix{};
    void* library = PrepareHostMachine(root, pellix);
    if (library == nullptr) {
        return 1;
    }
    std::printf("(drive C: is %s)\n", root.c_str());
    const int result = RunTour(pellix, TourSetting{"the host", false, DebuggerOutput});
    dlclose(library);
    return result;
}
