// Tests of the control library as a client sees it: the library loaded with
// dlopen, its exports bound by name, the driver installed from
// C:\Software\Vantor.dll on a scratch drive through the host's service
// control manager.
#pragma once

#include "pellix.h"
#include "support/scratch_drive.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace korvel::test {

class PellixTest : public ScratchDriveTest {
protected:
    void SetUp() override;
    void TearDown() override;

    // SysDiskInstall("Vantor", "C:\Software\Vantor.dll", 2).
    int Install();

    // The current target of a DOS device name, or "" when it has none.
    static std::string DosDeviceTarget(const char* name);
    // Removes every definition of a DOS device name.
    static void RemoveDosDevice(const char* name);
    // Whether the vault file is closed: an exclusive open of it succeeds.
    bool VaultFileClosed(const std::string& relative) const;

    void* m_Library = nullptr;
    SysDiskInstallFn m_Install = nullptr;
    SysDiskUnInstallFn m_UnInstall = nullptr;
    SysDiskStartFn m_Start = nullptr;
    SysDiskStopFn m_Stop = nullptr;
    SysDiskMountFn m_Mount = nullptr;
    SysDiskMountExFn m_MountEx = nullptr;
    SysDiskUnMountFn m_UnMount = nullptr;
    SysDiskUnMountExFn m_UnMountEx = nullptr;
    SysDiskChangePWDFn m_ChangePwd = nullptr;
};

// Whole-sector buffers for I/O on a volume opened without buffering.
std::vector<std::uint8_t> Sectors(std::size_t count, std::uint8_t fill);

}  // namespace korvel::test
