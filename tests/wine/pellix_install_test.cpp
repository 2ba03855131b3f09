// The control library's service exports and their rules: one driver-control
// object per process, made by install or start and dropped by stop or
// uninstall, checked against what the service control manager then shows.
#include "pellix_binding.h"

namespace {

using namespace wt;

TEST(PellixLibrary, LoadsFromTheProgramFolderWithAllNineExportsByName)
{
    const PellixExports& pellix = Pellix();
    ASSERT_NE(pellix.module, nullptr) << "LoadLibraryW failed";
    EXPECT_NE(pellix.Install, nullptr);
    EXPECT_NE(pellix.UnInstall, nullptr);
    EXPECT_NE(pellix.Start, nullptr);
    EXPECT_NE(pellix.Stop, nullptr);
    EXPECT_NE(pellix.Mount, nullptr);
    EXPECT_NE(pellix.MountEx, nullptr);
    EXPECT_NE(pellix.UnMount, nullptr);
    EXPECT_NE(pellix.UnMountEx, nullptr);
    EXPECT_NE(pellix.ChangePWD, nullptr);
}

class PellixService : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(Pellix().Complete()) << "the library or one of its exports is missing";
        ASSERT_TRUE(RemoveDriverService());
    }

    void TearDown() override
    {
        // Drops the library's object whatever the test left, then the service.
        Pellix().UnInstall();
        EXPECT_TRUE(RemoveDriverService());
    }

    static int Install() { return Pellix().Install(kServiceName, kDriverPath, SERVICE_AUTO_START); }

    static void ExpectUnitsPresent(bool present)
    {
        for (unsigned unit = 0; unit < VANTOR_UNIT_COUNT; ++unit) {
            SCOPED_TRACE(unit);
            DWORD error = 0;
            Handle device = OpenDevice(UnitPath(unit), &error);
            EXPECT_EQ(device.Valid(), present) << "error " << error;
        }
    }
};

TEST_F(PellixService, StopAndUnInstallWithoutInstallReturnOneAndTouchNothing)
{
    const std::string failure = InstallAndStartDriver();
    ASSERT_TRUE(failure.empty()) << failure;
    EXPECT_EQ(Pellix().Stop(), 1);
    EXPECT_EQ(Pellix().UnInstall(), 1);
    EXPECT_EQ(ServiceState(kServiceName), static_cast<DWORD>(SERVICE_RUNNING));
    ExpectUnitsPresent(true);
}

TEST_F(PellixService, InstallCreatesAndStartsTheServiceAndASecondInstallIsRefused)
{
    ASSERT_EQ(Install(), 1);
    EXPECT_EQ(ServiceState(kServiceName), static_cast<DWORD>(SERVICE_RUNNING));
    {
        ServiceHandle manager = OpenManager();
        ServiceHandle service(OpenServiceW(manager.Get(), kServiceName, SERVICE_QUERY_CONFIG));
        ASSERT_TRUE(service.Valid()) << GetLastError();
        ExpectDriverServiceConfig(service.Get());
    }
    ExpectUnitsPresent(true);

    // The object made by the first call is still there.
    EXPECT_EQ(Install(), 0);
    EXPECT_EQ(Pellix().Start(kServiceName), 0);
    EXPECT_EQ(ServiceState(kServiceName), static_cast<DWORD>(SERVICE_RUNNING));

    // Uninstall stops the driver and removes the service.
    EXPECT_EQ(Pellix().UnInstall(), 1);
    ExpectUnitsPresent(false);
    EXPECT_TRUE(RemoveDriverService());
}

TEST_F(PellixService, InstallOpensAndStartsAServiceThatExistsAlready)
{
    for (const bool running : {false, true}) {
        SCOPED_TRACE(running ? "service running beforehand" : "service stopped beforehand");
        ASSERT_TRUE(RemoveDriverService());
        ServiceHandle manager = OpenManager();
        ServiceHandle service(CreateServiceW(manager.Get(), kServiceName, nullptr, SERVICE_ALL_ACCESS,
                                             SERVICE_KERNEL_DRIVER, SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL,
                                             kDriverPath, nullptr, nullptr, nullptr, nullptr, nullptr));
        ASSERT_TRUE(service.Valid()) << GetLastError();
        if (running) {
            ASSERT_TRUE(StartServiceW(service.Get(), 0, nullptr)) << GetLastError();
            ASSERT_TRUE(WaitForServiceState(service.Get(), SERVICE_RUNNING, 20000));
        }

        EXPECT_EQ(Install(), 1);
        EXPECT_EQ(ServiceState(kServiceName), static_cast<DWORD>(SERVICE_RUNNING));
        ExpectUnitsPresent(true);

        // Stop ends the driver but keeps the service; start runs it again.
        EXPECT_EQ(Pellix().Stop(), 1);
        EXPECT_EQ(ServiceState(kServiceName), static_cast<DWORD>(SERVICE_STOPPED));
        ExpectUnitsPresent(false);
        EXPECT_EQ(Pellix().Start(kServiceName), 1);
        EXPECT_EQ(ServiceState(kServiceName), static_cast<DWORD>(SERVICE_RUNNING));
        EXPECT_EQ(Pellix().Start(kServiceName), 0);
        EXPECT_EQ(Pellix().Stop(), 1);
        EXPECT_EQ(ServiceState(kServiceName), static_cast<DWORD>(SERVICE_STOPPED));
    }
}

TEST_F(PellixService, AfterAFailedStartInstallIsRefusedUntilStop)
{
    EXPECT_EQ(Pellix().Start(L"VantorNoSuchService"), 0);
    // The failed call's object is still held: install does nothing.
    EXPECT_EQ(Install(), 0);
    EXPECT_EQ(ServiceState(kServiceName), 0u) << "the service was created";

    EXPECT_EQ(Pellix().Stop(), 1);
    EXPECT_EQ(Install(), 1);
    EXPECT_EQ(ServiceState(kServiceName), static_cast<DWORD>(SERVICE_RUNNING));
}

}  // namespace
