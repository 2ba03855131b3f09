// The driver-control object itself: its state between calls, and the calls
// that the exports do not reach.
#include "driver_control.h"

#include "support/scratch_drive.h"

#include <host/kernel_io.h>
#include <host/win32_hooks.h>

#include <gtest/gtest.h>

#include <filesystem>

namespace {

using korvel::test::Wide;

class DriverControlTest : public korvel::test::ScratchDriveTest {
protected:
    void SetUp() override
    {
        ScratchDriveTest::SetUp();
        std::filesystem::create_directories(HostPath("Software"));
        std::filesystem::copy_file(VANTOR_IMAGE, HostPath("Software/Vantor.dll"));
    }
    void TearDown() override
    {
        host::ResetServiceManager();
        ScratchDriveTest::TearDown();
    }

    const Wide m_Name{"Vantor"};
    const Wide m_Path{"C:\\Software\\Vantor.dll"};
};

TEST_F(DriverControlTest, RunsAServiceThroughItsLife)
{
    CNtDriverControl control(m_Name, nullptr, m_Path, SERVICE_AUTO_START, TRUE);
    DWORD state = 0xdeadbeef;
    EXPECT_EQ(control.QueryState(state), 0) << "no service open yet";
    EXPECT_EQ(state, 0xdeadbeefu);
    EXPECT_EQ(control.StartDriver(), 0);
    EXPECT_EQ(control.StopDriver(), 0);
    EXPECT_EQ(control.RemoveDriver(), 0);

    ASSERT_EQ(control.OpenDriver(), 1);
    ASSERT_EQ(control.QueryState(state), 1);
    EXPECT_EQ(state, DWORD(SERVICE_STOPPED));
    EXPECT_EQ(control.StartDriver(), 1);
    ASSERT_EQ(control.QueryState(state), 1);
    EXPECT_EQ(state, DWORD(SERVICE_RUNNING));
    EXPECT_EQ(control.StartDriver(), 1) << "already running counts as started";
    EXPECT_EQ(control.WaitForState(SERVICE_RUNNING, 1), 1);

    EXPECT_EQ(control.StopDriver(), 1);
    EXPECT_FALSE(host::ObjectNameExists(u"\\Device\\VantorDevice0"));
    EXPECT_EQ(control.StopDriver(), 0) << "not running: the stop request fails";
    EXPECT_EQ(GetLastError(), DWORD(ERROR_SERVICE_NOT_ACTIVE));

    EXPECT_EQ(control.RemoveDriver(), 1);
    EXPECT_EQ(control.QueryState(state), 0) << "the service handle went with the removal";
}

TEST_F(DriverControlTest, ReinitializesOnlyWhileNoServiceIsOpen)
{
    CNtDriverControl control(Wide("Other"), nullptr, m_Path, SERVICE_AUTO_START, FALSE);
    EXPECT_EQ(control.OpenDriver(), 0) << "open mode does not create";
    EXPECT_EQ(control.Reinitialize(m_Name, Wide("Vantor display"), m_Path, SERVICE_DEMAND_START, TRUE), 1);
    ASSERT_EQ(control.OpenDriver(), 1);
    EXPECT_EQ(control.Reinitialize(Wide("Third"), nullptr, m_Path, SERVICE_AUTO_START, TRUE), 0);
    control.CloseDriver();
    EXPECT_EQ(control.Reinitialize(Wide("Third"), nullptr, m_Path, SERVICE_AUTO_START, TRUE), 1);
}

TEST_F(DriverControlTest, WithoutTheServiceManagerNothingOpens)
{
    host::RefuseServiceManager(true);
    CNtDriverControl control(m_Name, nullptr, m_Path, SERVICE_AUTO_START, TRUE);
    host::RefuseServiceManager(false);
    EXPECT_EQ(control.OpenDriver(), 0);
    EXPECT_EQ(control.StartDriver(), 0);
    EXPECT_EQ(control.Connect(), 1) << "a later connection succeeds";
    EXPECT_EQ(control.OpenDriver(), 1);
}

TEST_F(DriverControlTest, AStateThatNeverComesIsGivenUp)
{
    CNtDriverControl control(m_Name, nullptr, m_Path, SERVICE_AUTO_START, TRUE);
    ASSERT_EQ(control.OpenDriver(), 1);
    host::ForceServiceStatus(u"Vantor", SERVICE_STOP_PENDING, 25000);
    host::UseTestClock(true);
    EXPECT_EQ(control.WaitForState(SERVICE_STOPPED, 3), 0);
    EXPECT_EQ(host::SleptMilliseconds(), std::vector<DWORD>(3, 2500));
    EXPECT_EQ(control.WaitForState(SERVICE_STOPPED, 0), 0);
    EXPECT_EQ(host::SleptMilliseconds().size(), 3u) << "no tries, no reads, no sleeps";
    host::UseTestClock(false);
}

}  // namespace
