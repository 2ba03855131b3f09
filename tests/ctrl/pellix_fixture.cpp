#include "pellix_fixture.h"

#include <host/kernel_io.h>
#include <host/win32_hooks.h>
#include <ntifs.h>

#include <dlfcn.h>

#include <filesystem>

namespace korvel::test {

namespace {

template <class Fn>
Fn Bind(void* library, const char* name)
{
    auto function = reinterpret_cast<Fn>(dlsym(library, name));
    EXPECT_NE(function, nullptr) << name << " is not exported";
    return function;
}

}  // namespace

void PellixTest::SetUp()
{
    ScratchDriveTest::SetUp();
    std::filesystem::create_directories(HostPath("Software"));
    std::filesystem::copy_file(VANTOR_IMAGE, HostPath("Software/Vantor.dll"));
    m_Library = dlopen(PELLIX_IMAGE, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(m_Library, nullptr) << dlerror();
    m_Install = Bind<SysDiskInstallFn>(m_Library, "SysDiskInstall");
    m_UnInstall = Bind<SysDiskUnInstallFn>(m_Library, "SysDiskUnInstall");
    m_Start = Bind<SysDiskStartFn>(m_Library, "SysDiskStart");
    m_Stop = Bind<SysDiskStopFn>(m_Library, "SysDiskStop");
    m_Mount = Bind<SysDiskMountFn>(m_Library, "SysDiskMount");
    m_MountEx = Bind<SysDiskMountExFn>(m_Library, "SysDiskMountEx");
    m_UnMount = Bind<SysDiskUnMountFn>(m_Library, "SysDiskUnMount");
    m_UnMountEx = Bind<SysDiskUnMountExFn>(m_Library, "SysDiskUnMountEx");
    m_ChangePwd = Bind<SysDiskChangePWDFn>(m_Library, "SysDiskChangePWD");
}

void PellixTest::TearDown()
{
    for (const char* name : {"S:", "T:", "P:"}) {
        RemoveDosDevice(name);
    }
    // The library keeps its driver-control object even when it is unloaded;
    // the client lets it go, as a test must.
    if (m_UnInstall != nullptr) {
        m_UnInstall();
    }
    host::ResetServiceManager();
    host::UseTestClock(false);
    if (m_Library != nullptr) {
        dlclose(m_Library);
    }
    // Every driver is gone, and nothing of the vault driver stayed.
    EXPECT_FALSE(host::ObjectNameExists(u"\\Device\\VantorDevice0"));
    EXPECT_EQ(host::PoolBalanceForTag('V' | 'a' << 8 | 'n' << 16 | 't' << 24).blocks, 0);
    ScratchDriveTest::TearDown();
}

int PellixTest::Install()
{
    return m_Install(Wide("Vantor"), Wide("C:\\Software\\Vantor.dll"), SERVICE_AUTO_START);
}

std::string PellixTest::DosDeviceTarget(const char* name)
{
    WCHAR targets[1024];
    if (QueryDosDeviceW(Wide(name), targets, 1024) == 0) {
        return "";
    }
    return Narrow(targets);
}

void PellixTest::RemoveDosDevice(const char* name)
{
    while (DefineDosDeviceW(DDD_REMOVE_DEFINITION, Wide(name), nullptr)) {
    }
}

bool PellixTest::VaultFileClosed(const std::string& relative) const
{
    HANDLE file = CreateFileW(Wide("C:\\" + relative), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    CloseHandle(file);
    return true;
}

std::vector<std::uint8_t> Sectors(std::size_t count, std::uint8_t fill)
{
    return std::vector<std::uint8_t>(count * 512, fill);
}

}  // namespace korvel::test
