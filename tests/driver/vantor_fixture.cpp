#include "vantor_fixture.h"

#include "framework/kpool.h"

#include <cstdlib>
#include <cstring>
#include <sstream>

namespace korvel::test {

AlignedBytes::AlignedBytes(std::size_t size, std::uint8_t fill)
    : m_Data(static_cast<std::uint8_t*>(std::aligned_alloc(4096, (size + 4095) / 4096 * 4096 + 4096))), m_Size(size)
{
    std::memset(m_Data, fill, size);
}

AlignedBytes::~AlignedBytes()
{
    std::free(m_Data);
}

void VantorTest::SetUp()
{
    ScratchDriveTest::SetUp();
    m_PoolBefore = host::PoolBalanceForTag(VANTOR_POOL_TAG);
    m_TokensBefore = host::CapturedClientTokens();
    ASSERT_EQ(Load(), STATUS_SUCCESS);
}

void VantorTest::TearDown()
{
    Unload();
    // Nothing of the driver may stay behind.
    for (unsigned unit = 0; unit < VANTOR_UNIT_COUNT; ++unit) {
        EXPECT_FALSE(host::ObjectNameExists(UnitLink(unit)));
        EXPECT_FALSE(host::ObjectNameExists(u"\\Device\\VantorDevice" + std::u16string(1, char16_t(u'0' + unit))));
    }
    EXPECT_EQ(host::PoolBalanceForTag(VANTOR_POOL_TAG).blocks, m_PoolBefore.blocks);
    EXPECT_EQ(host::CapturedClientTokens(), m_TokensBefore) << "a captured client identity was never released";
    ScratchDriveTest::TearDown();
}

NTSTATUS VantorTest::Load()
{
    return host::LoadDriver(VANTOR_IMAGE, u"Vantor", &m_Driver);
}

void VantorTest::Unload()
{
    if (m_Driver != nullptr) {
        EXPECT_EQ(host::UnloadDriver(m_Driver), STATUS_SUCCESS);
        m_Driver = nullptr;
    }
}

std::u16string VantorTest::UnitLink(unsigned unit)
{
    return u"\\??\\VantorDevice" + std::u16string(1, char16_t(u'0' + unit));
}

host::DeviceHandle VantorTest::OpenUnit(unsigned unit)
{
    host::DeviceHandle handle;
    EXPECT_EQ(host::OpenDevice(UnitLink(unit), handle), STATUS_SUCCESS);
    return handle;
}

host::IoResult VantorTest::OpenVault(const host::DeviceHandle& unit, const std::string& name,
                                     const std::string& password, std::int64_t sizeBytes)
{
    OPENDISKFILE_INFO info = OpenRequest("\\??\\C:\\" + name, password, sizeBytes);
    return host::DeviceIoControl(unit, IOCTL_OPENDISKFILE, &info, sizeof info, nullptr, 0);
}

host::IoResult VantorTest::CloseVault(const host::DeviceHandle& unit)
{
    return host::DeviceIoControl(unit, IOCTL_CLOSEDISKFILE, nullptr, 0, nullptr, 0);
}

host::IoResult VantorTest::ChangePassword(const host::DeviceHandle& unit, const std::string& password)
{
    NewPassword record;
    std::memset(&record, 0, sizeof record);
    const std::u16string secret = host::Utf8ToUtf16(password);
    std::memcpy(record.Password, secret.data(), std::min<std::size_t>(secret.size(), 15) * 2);
    return host::DeviceIoControl(unit, IOCTL_CHANGEPWD, &record, sizeof record, nullptr, 0);
}

host::IoResult VantorTest::Write(const host::DeviceHandle& unit, LONGLONG offset, const AlignedBytes& data)
{
    return host::SendWrite(unit, data.data(), ULONG(data.size()), offset).Wait();
}

host::IoResult VantorTest::Read(const host::DeviceHandle& unit, LONGLONG offset, AlignedBytes& data)
{
    return host::SendRead(unit, data.data(), ULONG(data.size()), offset).Wait();
}

std::vector<std::string> VantorTest::TraceLines() const
{
    std::vector<std::string> lines;
    std::istringstream in(host::DebugOutput());
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line + "\n");
    }
    return lines;
}

bool VantorTest::TraceHas(const std::string& text) const
{
    return host::DebugOutput().find(text) != std::string::npos;
}

}  // namespace korvel::test
