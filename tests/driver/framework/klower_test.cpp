// Calls to another driver's device, here a unit of the loaded vault driver.
#include "framework/klower.h"

#include "driver/vantor_fixture.h"

#include <gtest/gtest.h>

namespace {

using korvel::test::VantorTest;

TEST_F(VantorTest, ALowerDeviceIsCalledByNameAndAnswers)
{
    KLowerDevice lower;
    ASSERT_EQ(lower.Attach(L"\\Device\\VantorDevice0", FILE_READ_DATA), STATUS_SUCCESS);
    GET_LENGTH_INFORMATION length{};
    ULONG_PTR information = 1234;
    EXPECT_EQ(lower.DeviceControl(IOCTL_DISK_GET_LENGTH_INFO, nullptr, 0, &length, sizeof length, FALSE, &information),
              STATUS_NO_MEDIA_IN_DEVICE);
    EXPECT_EQ(information, 0u);

    host::DeviceHandle unit = OpenUnit(0);
    ASSERT_EQ(OpenVault(unit, "vault.sec", "pw", 1 << 20).status, STATUS_SUCCESS);
    EXPECT_EQ(lower.DeviceControl(IOCTL_DISK_GET_LENGTH_INFO, nullptr, 0, &length, sizeof length, FALSE, &information),
              STATUS_SUCCESS);
    EXPECT_EQ(information, sizeof length);
    EXPECT_EQ(length.Length.QuadPart, 1 << 20);

    // An internal device control is refused, and traced as such.
    host::ClearDebugOutput();
    EXPECT_EQ(lower.DeviceControl(0x00220003, nullptr, 0, nullptr, 0, TRUE), STATUS_INVALID_DEVICE_REQUEST);
    EXPECT_TRUE(TraceHas("VantorDevice::InternalDeviceControl--.  IRP "));
    EXPECT_TRUE(TraceHas(", STATUS c0000010\n"));

    // A request of the caller's own making, waited for even though the unit
    // answers it later, from its worker.
    PIRP irp = IoAllocateIrp(lower.StackSize(), FALSE);
    ASSERT_NE(irp, nullptr);
    korvel::test::AlignedBytes sector(512, 0xAB);
    MDL mdl{};
    mdl.MdlFlags = MDL_MAPPED_TO_SYSTEM_VA;
    mdl.MappedSystemVa = sector.data();
    mdl.ByteCount = 512;
    irp->MdlAddress = &mdl;
    PIO_STACK_LOCATION next = IoGetNextIrpStackLocation(irp);
    next->MajorFunction = IRP_MJ_WRITE;
    next->Parameters.Write.Length = 512;
    next->Parameters.Write.ByteOffset.QuadPart = 2048;
    EXPECT_EQ(lower.Call(irp, &information), STATUS_SUCCESS);
    EXPECT_EQ(information, 512u);
    IoFreeIrp(irp);
    EXPECT_EQ(korvel::test::ReadHostFile(HostPath("vault.sec"))[1024 + 2048], 0xAB);

    lower.Release();
    EXPECT_EQ(CloseVault(unit).status, STATUS_SUCCESS);
}

}  // namespace
