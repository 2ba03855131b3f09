// The service exports: install, start, stop and uninstall, and the one
// driver-control object a process has between them.
#include "pellix_fixture.h"

#include <host/kernel_io.h>
#include <host/win32_hooks.h>

#include <gtest/gtest.h>

namespace {

using korvel::test::PellixTest;
using korvel::test::Wide;

bool ServiceExists(const char* name)
{
    SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    SC_HANDLE service = OpenServiceW(manager, Wide(name), SERVICE_ALL_ACCESS);
    const bool exists = service != nullptr;
    if (service != nullptr) {
        CloseServiceHandle(service);
    }
    CloseServiceHandle(manager);
    return exists;
}

bool DriverRuns()
{
    return host::ObjectNameExists(u"\\Device\\VantorDevice0");
}

// The service made and started outside the library, as an earlier run left it.
class ExistingService {
public:
    explicit ExistingService(bool start)
    {
        m_Manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
        m_Service = CreateServiceW(m_Manager, Wide("Vantor"), Wide("Vantor"), SERVICE_ALL_ACCESS,
                                   SERVICE_KERNEL_DRIVER, SERVICE_AUTO_START, SERVICE_ERROR_NORMAL,
                                   Wide("C:\\Software\\Vantor.dll"), nullptr, nullptr, nullptr, nullptr, nullptr);
        EXPECT_NE(m_Service, nullptr);
        if (start) {
            EXPECT_TRUE(StartServiceW(m_Service, 0, nullptr));
        }
    }
    ~ExistingService()
    {
        CloseServiceHandle(m_Service);
        CloseServiceHandle(m_Manager);
    }
    SC_HANDLE Service() const { return m_Service; }

private:
    SC_HANDLE m_Manager;
    SC_HANDLE m_Service;
};

TEST_F(PellixTest, StopAndUninstallWithoutAnObjectDoNothing)
{
    EXPECT_EQ(m_Stop(), 1);
    EXPECT_EQ(m_UnInstall(), 1);
    EXPECT_FALSE(ServiceExists("Vantor"));
}

TEST_F(PellixTest, InstallCreatesAndStartsOnceThenRefusesUntilUninstalled)
{
    EXPECT_EQ(Install(), 1);
    EXPECT_TRUE(DriverRuns());
    // The object exists now: the second call touches nothing.
    EXPECT_EQ(Install(), 0);
    EXPECT_EQ(m_Start(Wide("Vantor")), 0);
    EXPECT_TRUE(DriverRuns());

    EXPECT_EQ(m_UnInstall(), 1);
    EXPECT_FALSE(DriverRuns());
    EXPECT_FALSE(ServiceExists("Vantor")) << "stopped, deleted and no handle left: gone";
    EXPECT_EQ(Install(), 1);
    EXPECT_EQ(m_Stop(), 1);
    EXPECT_FALSE(DriverRuns());
    EXPECT_TRUE(ServiceExists("Vantor")) << "stopping keeps the service";
    EXPECT_EQ(m_Start(Wide("Vantor")), 1);
    EXPECT_TRUE(DriverRuns());
}

TEST_F(PellixTest, AFailedInstallKeepsItsObjectUntilUninstalled)
{
    EXPECT_EQ(m_Install(Wide("Vantor"), Wide("C:\\Software\\Missing.dll"), SERVICE_AUTO_START), 0);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(Install(), 0) << "the failed object is still there";
    EXPECT_EQ(m_UnInstall(), 1);
    EXPECT_EQ(Install(), 1);
    EXPECT_TRUE(DriverRuns());
}

TEST_F(PellixTest, InstallOpensAServiceThatExistsAlready)
{
    struct Case {
        const char* label;
        bool running;
        bool markedForDeletion;
        int result;
    };
    const Case cases[] = {
        {"existing_stopped", false, false, 1},
        {"existing_running", true, false, 1},
        // Creation answers 1072, the service is opened by name, and the start answers.
        {"marked_for_deletion_running", true, true, 1},
        {"marked_for_deletion_stopped", false, true, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        {
            ExistingService existing(c.running);
            if (c.markedForDeletion) {
                ASSERT_TRUE(DeleteService(existing.Service()));
            }
            EXPECT_EQ(Install(), c.result);
            EXPECT_EQ(DriverRuns(), c.result == 1);
            if (c.markedForDeletion && !c.running) {
                EXPECT_EQ(GetLastError(), DWORD(ERROR_SERVICE_MARKED_FOR_DELETE));
            }
        }
        EXPECT_EQ(m_UnInstall(), 1);
        host::ResetServiceManager();
    }
}

TEST_F(PellixTest, WithoutTheServiceManagerNothingIsAttempted)
{
    host::RefuseServiceManager(true);
    EXPECT_EQ(Install(), 0);
    EXPECT_EQ(m_UnInstall(), 1);
    host::RefuseServiceManager(false);
    EXPECT_FALSE(ServiceExists("Vantor"));
    EXPECT_EQ(m_Start(Wide("Vantor")), 0) << "no such service";
    EXPECT_EQ(GetLastError(), DWORD(ERROR_SERVICE_DOES_NOT_EXIST));
}

TEST_F(PellixTest, ServiceNamesAndPathsThatDoNotFitAreRefused)
{
    const std::string fits(254, 'v');
    const std::string tooLong(255, 'v');
    EXPECT_EQ(m_Install(Wide(tooLong), Wide("C:\\Software\\Vantor.dll"), SERVICE_AUTO_START), 0);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(m_Install(Wide("Vantor"), Wide("C:\\" + tooLong), SERVICE_AUTO_START), 0);
    EXPECT_EQ(m_Install(nullptr, Wide("C:\\Software\\Vantor.dll"), SERVICE_AUTO_START), 0);
    EXPECT_EQ(m_Start(nullptr), 0);
    EXPECT_EQ(m_Start(Wide(tooLong)), 0);
    EXPECT_FALSE(ServiceExists("Vantor")) << "nothing reached the service manager";
    // The longest name that fits makes a service.
    EXPECT_EQ(m_Install(Wide(fits), Wide("C:\\Software\\Vantor.dll"), SERVICE_AUTO_START), 1);
    EXPECT_TRUE(ServiceExists(fits.c_str()));
}

struct WaitCase {
    const char* label;
    DWORD waitHint;
    DWORD sleep;
};

void PrintTo(const WaitCase& c, std::ostream* out)
{
    *out << c.label;
}

class PellixWaitTest : public PellixTest, public ::testing::WithParamInterface<WaitCase> {};

TEST_P(PellixWaitTest, AServiceThatNeverRunsIsWaitedForFiveTimes)
{
    ExistingService existing(false);
    host::ForceServiceStatus(u"Vantor", SERVICE_START_PENDING, GetParam().waitHint);
    host::UseTestClock(true);
    EXPECT_EQ(Install(), 0);
    EXPECT_EQ(host::SleptMilliseconds(), std::vector<DWORD>(5, GetParam().sleep));
}

INSTANTIATE_TEST_SUITE_P(WaitHints, PellixWaitTest,
                         ::testing::Values(WaitCase{"hint_0", 0, 1000}, WaitCase{"hint_30000", 30000, 3000},
                                           WaitCase{"hint_200000", 200000, 10000},
                                           WaitCase{"hint_9999", 9999, 1000}, WaitCase{"hint_10010", 10010, 1001}),
                         [](const auto& tc) { return std::string(tc.param.label); });

TEST_F(PellixTest, ARunningServiceIsNotWaitedFor)
{
    ExistingService existing(true);
    host::UseTestClock(true);
    EXPECT_EQ(Install(), 1);
    EXPECT_TRUE(host::SleptMilliseconds().empty());
}

}  // namespace
