// A test with the driver image loaded into the host kernel through its real
// entry point, talked to only with requests, as Windows would.
#pragma once

#include "support/open_request.h"
#include "support/scratch_drive.h"
#include "vantor_ioctl.h"

#include <host/kernel_io.h>
#include <ntdddisk.h>
#include <ntifs.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace korvel::test {

// Page-aligned memory for transfers, as a caller of unbuffered I/O would have.
class AlignedBytes {
public:
    explicit AlignedBytes(std::size_t size, std::uint8_t fill = 0);
    ~AlignedBytes();
    AlignedBytes(const AlignedBytes&) = delete;
    AlignedBytes& operator=(const AlignedBytes&) = delete;

    std::uint8_t* data() const { return m_Data; }
    std::size_t size() const { return m_Size; }
    std::vector<std::uint8_t> Vector() const { return {m_Data, m_Data + m_Size}; }

private:
    std::uint8_t* m_Data;
    std::size_t m_Size;
};

class VantorTest : public ScratchDriveTest {
protected:
    void SetUp() override;
    void TearDown() override;

    NTSTATUS Load();
    void Unload();

    static std::u16string UnitLink(unsigned unit);
    host::DeviceHandle OpenUnit(unsigned unit);

    host::IoResult OpenVault(const host::DeviceHandle& unit, const std::string& name, const std::string& password,
                             std::int64_t sizeBytes);
    host::IoResult CloseVault(const host::DeviceHandle& unit);
    host::IoResult ChangePassword(const host::DeviceHandle& unit, const std::string& password);
    host::IoResult Write(const host::DeviceHandle& unit, LONGLONG offset, const AlignedBytes& data);
    host::IoResult Read(const host::DeviceHandle& unit, LONGLONG offset, AlignedBytes& data);

    // The driver's trace lines since load, each with its "\n".
    std::vector<std::string> TraceLines() const;
    bool TraceHas(const std::string& text) const;

    host::Driver* m_Driver = nullptr;
    host::PoolBalance m_PoolBefore;
    long m_TokensBefore = 0;
};

}  // namespace korvel::test
