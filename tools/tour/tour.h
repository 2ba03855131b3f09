// The tour of a vault's life through the control library, as one program
// for the host and for Windows (run under Wine here). Everything it does
// goes through the library's exports and the Win32 API.
#pragma once

#include "pellix.h"

#include <string>

struct PellixExports {
    SysDiskInstallFn install;
    SysDiskStopFn stop;
    SysDiskMountExFn mountEx;
    SysDiskUnMountExFn unmountEx;
    SysDiskChangePWDFn changePwd;
};

struct TourSetting {
    const char* where;  // "the host" or "Wine", for the heading
    bool wine;          // Wine mounts no file system on S:, see the close step
    std::string (*driverTrace)();  // what the driver printed, where it can be read
    // A vault that korvel-vault made on Linux, to be opened first (a DOS
    // path), and its password; none when empty.
    std::string linuxVault = {};
    std::string linuxPassword = {};
};

// Expects C:\Software\Vantor.dll and an empty C:\autorun.inf. Returns 0 when
// every step went as it should.
int RunTour(const PellixExports& pellix, const TourSetting& setting);
