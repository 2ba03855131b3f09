// Loading and unloading the driver: its units, their names, its trace, and
// what a failed start leaves behind.
#include "vantor_fixture.h"

#include "framework/kpool.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <regex>

namespace {

using korvel::test::VantorTest;

const std::u16string kDeviceNames[] = {u"\\Device\\VantorDevice0", u"\\Device\\VantorDevice1"};

TEST_F(VantorTest, LoadMakesTwoUnmountedUnitsReachableByTheirLinks)
{
    for (unsigned unit = 0; unit < VANTOR_UNIT_COUNT; ++unit) {
        SCOPED_TRACE(unit);
        EXPECT_TRUE(host::ObjectNameExists(kDeviceNames[unit]));
        EXPECT_TRUE(host::ObjectNameExists(UnitLink(unit)));
        host::DeviceHandle handle = OpenUnit(unit);
        ASSERT_TRUE(handle.IsOpen());
        GET_LENGTH_INFORMATION length{};
        EXPECT_EQ(host::DeviceIoControl(handle, IOCTL_DISK_GET_LENGTH_INFO, nullptr, 0, &length, sizeof length).status,
                  STATUS_NO_MEDIA_IN_DEVICE);
    }
    const auto lines = TraceLines();
    ASSERT_GE(lines.size(), 2u);
    EXPECT_TRUE(std::regex_match(lines[0], std::regex("Vantor: VantorDriver::DriverEntry\\+\\+\\. Compiled at "
                                                      "\\d\\d:\\d\\d:\\d\\d on [A-Z][a-z][a-z] [ 0-9]\\d \\d{4}\\n")))
        << lines[0];
    EXPECT_EQ(lines[1], "Vantor: VantorDriver::DriverEntry--. STATUS 0\n");
}

TEST_F(VantorTest, HandlesAreOpenedAndClosedWithTracedAnswers)
{
    host::ClearDebugOutput();
    {
        host::DeviceHandle handle = OpenUnit(1);
    }
    const auto lines = TraceLines();
    const char* handlers[] = {"Create", "CleanUp", "Close"};
    ASSERT_EQ(lines.size(), 6u);
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_TRUE(std::regex_match(lines[2 * i], std::regex(std::string("Vantor: VantorDevice::") + handlers[i] +
                                                              "\\+\\+\\.  IRP [0-9A-F]+\\n")))
            << lines[2 * i];
        EXPECT_TRUE(std::regex_match(lines[2 * i + 1], std::regex(std::string("Vantor: VantorDevice::") +
                                                                  handlers[i] + "--\\.  IRP [0-9A-F]+, STATUS 0\\n")))
            << lines[2 * i + 1];
    }
}

TEST_F(VantorTest, ShutdownIsAnsweredAndLeavesTheVaultMounted)
{
    host::DeviceHandle unit = OpenUnit(0);
    ASSERT_EQ(OpenVault(unit, "vault.sec", "pw", 1 << 20).status, STATUS_SUCCESS);
    host::ClearDebugOutput();
    host::SendShutdownNotifications();
    const auto lines = TraceLines();
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                            [](const std::string& line) {
                                return line.find("VantorDevice::Shutdown--.  IRP ") != std::string::npos &&
                                       line.find("STATUS 0\n") != std::string::npos;
                            }),
              2);
    GET_LENGTH_INFORMATION length{};
    EXPECT_EQ(host::DeviceIoControl(unit, IOCTL_DISK_GET_LENGTH_INFO, nullptr, 0, &length, sizeof length).status,
              STATUS_SUCCESS);
    EXPECT_EQ(CloseVault(unit).status, STATUS_SUCCESS);
}

TEST_F(VantorTest, UnloadRemovesEverythingPromptlyAndClosesTheVault)
{
    {
        host::DeviceHandle unit = OpenUnit(0);
        ASSERT_EQ(OpenVault(unit, "vault.sec", "pw", 1 << 20).status, STATUS_SUCCESS);
        ASSERT_EQ(CloseVault(unit).status, STATUS_SUCCESS);
        ASSERT_EQ(OpenVault(unit, "vault.sec", "pw", 0).status, STATUS_SUCCESS);
    }
    host::ClearDebugOutput();
    const auto start = std::chrono::steady_clock::now();
    Unload();
    const auto took = std::chrono::steady_clock::now() - start;
    // Both workers sleep in one-second waits; unloading wakes them at once.
    EXPECT_LT(took, std::chrono::milliseconds(500));
    const auto lines = TraceLines();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.front(), "Vantor: VantorDriver::Unload++.\n");
    EXPECT_EQ(lines.back(), "Vantor: VantorDriver::Unload--.\n");
    for (const auto& name : kDeviceNames) {
        EXPECT_FALSE(host::ObjectNameExists(name));
    }
    EXPECT_EQ(host::PoolBalanceForTag(VANTOR_POOL_TAG).blocks, m_PoolBefore.blocks);
    // The vault file was closed: an exclusive open of it succeeds.
    HANDLE file = nullptr;
    IO_STATUS_BLOCK iosb{};
    UNICODE_STRING name;
    korvel::test::Wide path = NtPath("vault.sec");
    RtlInitUnicodeString(&name, path);
    OBJECT_ATTRIBUTES attributes;
    InitializeObjectAttributes(&attributes, &name, OBJ_CASE_INSENSITIVE, nullptr, nullptr);
    ASSERT_EQ(ZwCreateFile(&file, GENERIC_READ | GENERIC_WRITE, &attributes, &iosb, nullptr, 0, 0, FILE_OPEN,
                           FILE_SYNCHRONOUS_IO_NONALERT, nullptr, 0),
              STATUS_SUCCESS);
    ZwClose(file);
}

// Loads with a kernel call made to fail, and tells what stayed.
// Blocks are counted from what the process held before: this test program
// links parts of the driver's code itself, and their static objects hold
// blocks of the same tag for the life of the process.
class VantorStartFailure : public korvel::test::ScratchDriveTest {
protected:
    void SetUp() override
    {
        ScratchDriveTest::SetUp();
        m_PoolBefore = host::PoolBalanceForTag(VANTOR_POOL_TAG).blocks;
    }
    void TearDown() override
    {
        if (m_Driver != nullptr) {
            EXPECT_EQ(host::UnloadDriver(m_Driver), STATUS_SUCCESS);
        }
        EXPECT_EQ(host::PoolBalanceForTag(VANTOR_POOL_TAG).blocks, m_PoolBefore);
        ScratchDriveTest::TearDown();
    }
    host::Driver* m_Driver = nullptr;
    std::int64_t m_PoolBefore = 0;
};

TEST_F(VantorStartFailure, AFailedStartLeavesNoUnitBehind)
{
    struct Case {
        const char* label;
        host::KernelCall call;
        unsigned skip;  // calls let through before the failure
    };
    const Case cases[] = {
        {"second_worker_thread", host::KernelCall::PsCreateSystemThread, 1},
        {"second_link", host::KernelCall::IoCreateSymbolicLink, 1},
        {"second_device", host::KernelCall::IoCreateDevice, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        host::ClearDebugOutput();
        host::FailKernelCalls(c.call, STATUS_INSUFFICIENT_RESOURCES, c.skip, 1);
        EXPECT_EQ(host::LoadDriver(VANTOR_IMAGE, u"Vantor", &m_Driver), STATUS_INSUFFICIENT_RESOURCES);
        m_Driver = nullptr;
        for (const auto& name : kDeviceNames) {
            EXPECT_FALSE(host::ObjectNameExists(name));
        }
        EXPECT_FALSE(host::ObjectNameExists(u"\\??\\VantorDevice0"));
        EXPECT_EQ(host::PoolBalanceForTag(VANTOR_POOL_TAG).blocks, m_PoolBefore);
        EXPECT_NE(host::DebugOutput().find("VantorDriver::DriverEntry--. STATUS c000009a"), std::string::npos);
        host::ResetFaults();
    }
}

TEST_F(VantorStartFailure, AFirstUnitThatFailsAloneLeavesTheSecond)
{
    host::FailKernelCalls(host::KernelCall::PsCreateSystemThread, STATUS_INSUFFICIENT_RESOURCES, 0, 1);
    ASSERT_EQ(host::LoadDriver(VANTOR_IMAGE, u"Vantor", &m_Driver), STATUS_SUCCESS);
    EXPECT_FALSE(host::ObjectNameExists(u"\\Device\\VantorDevice0"));
    EXPECT_TRUE(host::ObjectNameExists(u"\\Device\\VantorDevice1"));
    EXPECT_NE(host::DebugOutput().find("Vantor: VantorDevice::VantorDevice: Failed to create device VantorDevice "
                                       "unit number 0 status c000009a\n"),
              std::string::npos);
}

TEST_F(VantorStartFailure, AMissingImageIsNotFound)
{
    EXPECT_EQ(host::LoadDriver(m_Folder.Path() + "/missing.dll", u"Vantor", &m_Driver), STATUS_OBJECT_NAME_NOT_FOUND);
}

}  // namespace
