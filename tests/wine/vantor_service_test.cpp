// The driver as a kernel service: installed, started and stopped through
// the service control manager, as the control library does it. Every test
// program of the driver runs with the service started by the environment
// below and removed at the end.
#include "wine_support.h"

namespace {

using namespace wt;

class DriverService : public ::testing::Environment {
public:
    void SetUp() override
    {
        const std::string failure = InstallAndStartDriver();
        ASSERT_TRUE(failure.empty()) << "the driver service did not start: " << failure;
        if (OnWine()) {
            WineNote("Wine's kernel has no client-security capture and Wine enforces no access control on files: "
                     "the driver opens vault files with the rights of winedevice.exe, and the refusal of a vault "
                     "in a folder its sender may not write cannot be shown here.");
        }
    }

    void TearDown() override
    {
        for (unsigned unit = 0; unit < VANTOR_UNIT_COUNT; ++unit) {
            EnsureUnmounted(unit);
        }
        StopAndDeleteDriver();
    }
};

[[maybe_unused]] ::testing::Environment* const g_Service = ::testing::AddGlobalTestEnvironment(new DriverService);

TEST(VantorService, IsAnAutomaticKernelDriverServiceThatRuns)
{
    ServiceHandle manager = OpenManager();
    ASSERT_TRUE(manager.Valid()) << GetLastError();
    ServiceHandle service(OpenServiceW(manager.Get(), kServiceName, SERVICE_QUERY_CONFIG | SERVICE_QUERY_STATUS));
    ASSERT_TRUE(service.Valid()) << GetLastError();
    ExpectDriverServiceConfig(service.Get());

    SERVICE_STATUS status{};
    ASSERT_TRUE(QueryServiceStatus(service.Get(), &status)) << GetLastError();
    EXPECT_EQ(status.dwCurrentState, static_cast<DWORD>(SERVICE_RUNNING));
    EXPECT_EQ(status.dwServiceType, static_cast<DWORD>(SERVICE_KERNEL_DRIVER));

    // A start of the running service is answered "already running", which
    // the control library counts as started.
    ServiceHandle starter(OpenServiceW(manager.Get(), kServiceName, SERVICE_START));
    ASSERT_TRUE(starter.Valid()) << GetLastError();
    EXPECT_FALSE(StartServiceW(starter.Get(), 0, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SERVICE_ALREADY_RUNNING));
}

TEST(VantorService, LoadedDriverOffersTwoUnmountedUnits)
{
    for (unsigned unit = 0; unit < VANTOR_UNIT_COUNT; ++unit) {
        SCOPED_TRACE(unit);
        DWORD error = 0;
        Handle device = OpenDevice(UnitPath(unit), &error);
        ASSERT_TRUE(device.Valid()) << "error " << error;
        uint64_t length = 0;
        EXPECT_TRUE(FailsWith(DiskLength(device.Get(), length), kErrorNotReady));
    }
    DWORD error = 0;
    Handle missing = OpenDevice(UnitPath(VANTOR_UNIT_COUNT), &error);
    EXPECT_FALSE(missing.Valid());
    EXPECT_EQ(error, kErrorFileNotFound);
}

TEST(VantorService, StopUnloadsTheDriverAndStartLoadsItAgain)
{
    ServiceHandle manager = OpenManager();
    ASSERT_TRUE(manager.Valid()) << GetLastError();
    ServiceHandle service(OpenServiceW(manager.Get(), kServiceName, SERVICE_ALL_ACCESS));
    ASSERT_TRUE(service.Valid()) << GetLastError();

    SERVICE_STATUS status{};
    ASSERT_TRUE(ControlService(service.Get(), SERVICE_CONTROL_STOP, &status)) << GetLastError();
    ASSERT_TRUE(WaitForServiceState(service.Get(), SERVICE_STOPPED, 20000));
    for (unsigned unit = 0; unit < VANTOR_UNIT_COUNT; ++unit) {
        SCOPED_TRACE(unit);
        DWORD error = 0;
        Handle device = OpenDevice(UnitPath(unit), &error);
        EXPECT_FALSE(device.Valid()) << "the unit outlived its driver";
        EXPECT_EQ(error, kErrorFileNotFound);
    }

    ASSERT_TRUE(StartServiceW(service.Get(), 0, nullptr)) << GetLastError();
    ASSERT_TRUE(WaitForServiceState(service.Get(), SERVICE_RUNNING, 20000));
    for (unsigned unit = 0; unit < VANTOR_UNIT_COUNT; ++unit) {
        SCOPED_TRACE(unit);
        DWORD error = 0;
        Handle device = OpenDevice(UnitPath(unit), &error);
        EXPECT_TRUE(device.Valid()) << "error " << error;
    }
}

TEST(VantorService, StopClosesTheVaultFileOfAMountedUnit)
{
    // Unloading takes the units down with whatever they serve; the vault
    // file must not stay open in the system afterwards.
    const std::wstring path = ScratchPath(L"unload.sec");
    RemoveFile(path);
    {
        Handle device = OpenDevice(UnitPath(1));
        ASSERT_TRUE(device.Valid());
        ASSERT_TRUE(Succeeds(OpenVault(device.Get(), path, 64 * 1024, L"unload")));
        ASSERT_EQ(TryOpenForReading(path), kErrorSharingViolation);
    }
    ServiceHandle manager = OpenManager();
    ServiceHandle service(OpenServiceW(manager.Get(), kServiceName, SERVICE_ALL_ACCESS));
    ASSERT_TRUE(service.Valid()) << GetLastError();
    SERVICE_STATUS status{};
    ASSERT_TRUE(ControlService(service.Get(), SERVICE_CONTROL_STOP, &status)) << GetLastError();
    ASSERT_TRUE(WaitForServiceState(service.Get(), SERVICE_STOPPED, 20000));
    EXPECT_EQ(TryOpenForReading(path), static_cast<DWORD>(ERROR_SUCCESS));

    ASSERT_TRUE(StartServiceW(service.Get(), 0, nullptr)) << GetLastError();
    ASSERT_TRUE(WaitForServiceState(service.Get(), SERVICE_RUNNING, 20000));
    RemoveFile(path);
}

}  // namespace
