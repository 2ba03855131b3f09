#include "pellix_binding.h"

namespace wt {

namespace {

template <class Function>
void Bind(HMODULE module, const char* name, Function& function)
{
    function = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

}  // namespace

bool PellixExports::Complete() const
{
    return module != nullptr && Install != nullptr && UnInstall != nullptr && Start != nullptr && Stop != nullptr &&
           Mount != nullptr && MountEx != nullptr && UnMount != nullptr && UnMountEx != nullptr &&
           ChangePWD != nullptr;
}

const PellixExports& Pellix()
{
    static const PellixExports exports = [] {
        PellixExports bound;
        bound.module = LoadLibraryW(kLibraryPath);
        if (bound.module != nullptr) {
            Bind(bound.module, "SysDiskInstall", bound.Install);
            Bind(bound.module, "SysDiskUnInstall", bound.UnInstall);
            Bind(bound.module, "SysDiskStart", bound.Start);
            Bind(bound.module, "SysDiskStop", bound.Stop);
            Bind(bound.module, "SysDiskMount", bound.Mount);
            Bind(bound.module, "SysDiskMountEx", bound.MountEx);
            Bind(bound.module, "SysDiskUnMount", bound.UnMount);
            Bind(bound.module, "SysDiskUnMountEx", bound.UnMountEx);
            Bind(bound.module, "SysDiskChangePWD", bound.ChangePWD);
        }
        return bound;
    }();
    return exports;
}

::testing::AssertionResult RemoveDriverService()
{
    StopAndDeleteDriver();
    ServiceHandle manager = OpenManager();
    if (!manager.Valid()) {
        return ::testing::AssertionFailure() << "OpenSCManagerW failed with error " << GetLastError();
    }
    const ULONGLONG deadline = GetTickCount64() + 20000;
    for (;;) {
        ServiceHandle service(OpenServiceW(manager.Get(), kServiceName, SERVICE_QUERY_STATUS));
        const DWORD error = service.Valid() ? ERROR_SUCCESS : GetLastError();
        if (error == ERROR_SERVICE_DOES_NOT_EXIST) {
            return ::testing::AssertionSuccess();
        }
        if (GetTickCount64() >= deadline) {
            return ::testing::AssertionFailure() << "the driver service is still known (error " << error << ")";
        }
        Sleep(50);
    }
}

std::wstring DosTarget(const wchar_t* name, DWORD* error)
{
    wchar_t target[512] = {};
    const DWORD length = QueryDosDeviceW(name, target, 512);
    if (error != nullptr) {
        *error = length != 0 ? ERROR_SUCCESS : GetLastError();
    }
    return length != 0 ? std::wstring(target) : std::wstring();
}

void ForgetDosName(const wchar_t* name)
{
    for (int i = 0; i < 16 && DefineDosDeviceW(DDD_REMOVE_DEFINITION, name, nullptr); ++i) {
    }
}

}  // namespace wt
