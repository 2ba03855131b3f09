// The control library as its clients use it: loaded from the program folder
// and its nine exports bound by name.
#pragma once

#include "wine_support.h"

#include "pellix.h"

namespace wt {

struct PellixExports {
    HMODULE module = nullptr;
    SysDiskInstallFn Install = nullptr;
    SysDiskUnInstallFn UnInstall = nullptr;
    SysDiskStartFn Start = nullptr;
    SysDiskStopFn Stop = nullptr;
    SysDiskMountFn Mount = nullptr;
    SysDiskMountExFn MountEx = nullptr;
    SysDiskUnMountFn UnMount = nullptr;
    SysDiskUnMountExFn UnMountEx = nullptr;
    SysDiskChangePWDFn ChangePWD = nullptr;

    bool Complete() const;
};

// Loads C:\Software\Pellix.dll once per process and binds every export;
// whatever is missing stays null.
const PellixExports& Pellix();

// Removes the driver service left by anyone and waits until the service
// control manager has forgotten it, so that a test starts with no service.
::testing::AssertionResult RemoveDriverService();

// The target of a DOS device name such as "S:", or empty with the error.
std::wstring DosTarget(const wchar_t* name, DWORD* error = nullptr);
// Removes every definition of a DOS device name.
void ForgetDosName(const wchar_t* name);

}  // namespace wt
