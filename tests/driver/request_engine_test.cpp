// Reads and writes through a unit: offsets, the ends of the disk, requests
// queued behind a close, failures on the way, and two units at work at once.
#include "vantor_fixture.h"

#include "framework/kpool.h"

#include <host/test_hooks.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>

namespace {

using korvel::test::AlignedBytes;
using korvel::test::VantorTest;

constexpr LONGLONG kSize = 1 << 20;

std::vector<std::uint8_t> FileSlice(const std::vector<std::uint8_t>& file, std::size_t from, std::size_t count)
{
    return {file.begin() + static_cast<std::ptrdiff_t>(from),
            file.begin() + static_cast<std::ptrdiff_t>(from + count)};
}

class RequestEngineTest : public VantorTest {
protected:
    void SetUp() override
    {
        VantorTest::SetUp();
        m_Unit = OpenUnit(0);
        ASSERT_EQ(OpenVault(m_Unit, "vault.sec", "pw", kSize).status, STATUS_SUCCESS);
    }
    void TearDown() override
    {
        CloseVault(m_Unit);
        m_Unit.Close();
        VantorTest::TearDown();
    }

    host::DeviceHandle m_Unit;
};

TEST_F(RequestEngineTest, WritesLandAtTheirOffsetAndReadBack)
{
    struct Case {
        const char* label;
        LONGLONG offset;
        std::size_t length;
        NTSTATUS status;
        ULONG_PTR information;
    };
    const Case cases[] = {
        {"first_sector", 0, 512, STATUS_SUCCESS, 512},
        {"inside", 64 * 1024, 8192, STATUS_SUCCESS, 8192},
        {"last_sector", kSize - 512, 512, STATUS_SUCCESS, 512},
        {"sector_past_the_end", kSize, 512, STATUS_INVALID_PARAMETER, 0},
        {"across_the_end", kSize - 512, 1024, STATUS_INVALID_PARAMETER, 0},
    };
    std::uint8_t fill = 1;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const auto before = korvel::test::ReadHostFile(HostPath("vault.sec"));
        AlignedBytes data(c.length, fill++);
        const host::IoResult written = Write(m_Unit, c.offset, data);
        EXPECT_EQ(written.status, c.status);
        EXPECT_EQ(written.information, c.information);
        const auto after = korvel::test::ReadHostFile(HostPath("vault.sec"));
        ASSERT_EQ(after.size(), std::size_t(kSize) + 1024);
        if (c.status != STATUS_SUCCESS) {
            EXPECT_EQ(after, before) << "a refused write writes nothing";
            continue;
        }
        EXPECT_EQ(FileSlice(after, std::size_t(c.offset) + 1024, c.length), data.Vector());
        AlignedBytes back(c.length, 0xEE);
        const host::IoResult read = Read(m_Unit, c.offset, back);
        EXPECT_EQ(read.status, STATUS_SUCCESS);
        EXPECT_EQ(read.information, c.length);
        EXPECT_EQ(back.Vector(), data.Vector());
    }
}

TEST_F(RequestEngineTest, ReadsStopAtTheEndOfTheFileAndFailuresAreTraced)
{
    host::ClearDebugOutput();
    AlignedBytes past(512, 0xEE);
    const host::IoResult read = Read(m_Unit, kSize, past);
    EXPECT_EQ(read.status, STATUS_END_OF_FILE);
    EXPECT_EQ(read.information, 0u);
    EXPECT_TRUE(TraceHas("Vantor: [Kestrel]---> error,func : 3,0xc0000011\r\n"));

    AlignedBytes beyond(512, 1);
    EXPECT_EQ(Write(m_Unit, kSize, beyond).status, STATUS_INVALID_PARAMETER);
    EXPECT_TRUE(TraceHas("Vantor: [Kestrel]---> error,func : 4,0xc000000d\r\n"));
}

TEST_F(RequestEngineTest, ReadsGiveTheSameBytesWhereverTheCallersBufferLies)
{
    // Distinct bytes in every sector of the disk's first 80 KiB and its end.
    AlignedBytes pattern(80 * 1024);
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        pattern.data()[i] = std::uint8_t(i * 7 + i / 512);
    }
    ASSERT_EQ(Write(m_Unit, 0, pattern).status, STATUS_SUCCESS);
    AlignedBytes tail(512, 0x3C);
    ASSERT_EQ(Write(m_Unit, kSize - 512, tail).status, STATUS_SUCCESS);
    const auto file = korvel::test::ReadHostFile(HostPath("vault.sec"));

    struct Case {
        const char* label;
        std::size_t shift;  // of the buffer from a page boundary
        LONGLONG offset;
        ULONG length;
        ULONG_PTR information;
    };
    const Case cases[] = {
        {"page_aligned_sector", 0, 512, 512, 512},
        {"page_aligned_64k", 0, 4096, 64 * 1024, 64 * 1024},
        {"sector_aligned", 512, 1024, 8192, 8192},
        {"word_aligned", 16, 0, 4096 + 512, 4096 + 512},
        {"page_aligned_across_the_end", 0, kSize - 512, 1024, 512},
        {"word_aligned_across_the_end", 16, kSize - 512, 1024, 512},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        AlignedBytes buffer(4096 + c.length, 0xEE);
        std::uint8_t* into = buffer.data() + c.shift;
        const host::IoResult read = host::SendRead(m_Unit, into, c.length, c.offset).Wait();
        EXPECT_EQ(read.status, STATUS_SUCCESS);
        EXPECT_EQ(read.information, c.information);
        EXPECT_EQ(std::vector<std::uint8_t>(into, into + read.information),
                  FileSlice(file, std::size_t(c.offset) + 1024, read.information));
    }
}

TEST_F(RequestEngineTest, ZeroLengthsAreAnsweredAtOnceAndUnmountedUnitsRefuse)
{
    host::ClearDebugOutput();
    AlignedBytes none(0);
    EXPECT_EQ(host::SendRead(m_Unit, none.data(), 0, 0).Wait().status, STATUS_SUCCESS);
    EXPECT_EQ(host::SendWrite(m_Unit, none.data(), 0, kSize * 4).Wait().status, STATUS_SUCCESS);

    host::DeviceHandle idle = OpenUnit(1);
    AlignedBytes sector(512);
    struct Case {
        const char* label;
        ULONG length;
        bool write;
    };
    const Case cases[] = {{"read", 512, false}, {"write", 512, true}, {"empty_read", 0, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const host::IoResult result = c.write ? host::SendWrite(idle, sector.data(), c.length, 0).Wait()
                                              : host::SendRead(idle, sector.data(), c.length, 0).Wait();
        EXPECT_EQ(result.status, STATUS_NO_MEDIA_IN_DEVICE);
    }
    EXPECT_FALSE(TraceHas("[Kestrel]")) << "all of these were answered at dispatch";
}

TEST_F(RequestEngineTest, RequestsQueuedBehindACloseFindTheVaultGone)
{
    AlignedBytes first(4096, 1);
    AlignedBytes second(4096, 2);
    AlignedBytes third(4096, 3);
    // Hold the worker inside the first read, so the rest pile up behind it.
    host::HoldKernelCalls(host::KernelCall::ZwReadFile, 1);
    host::PendingIo held = host::SendRead(m_Unit, first.data(), 4096, 0);
    ASSERT_TRUE(host::WaitForHeldCalls(host::KernelCall::ZwReadFile, 1, 5000));
    host::PendingIo close = host::SendDeviceIoControl(m_Unit, IOCTL_CLOSEDISKFILE, nullptr, 0, nullptr, 0);
    host::PendingIo read = host::SendRead(m_Unit, second.data(), 4096, 4096);
    host::PendingIo write = host::SendWrite(m_Unit, third.data(), 4096, 8192);
    EXPECT_FALSE(close.Done());
    EXPECT_FALSE(read.Done());
    EXPECT_FALSE(write.Done());
    host::ClearDebugOutput();
    host::ReleaseHeldCalls(host::KernelCall::ZwReadFile);

    EXPECT_EQ(held.Wait().status, STATUS_SUCCESS);
    EXPECT_EQ(close.Wait().status, STATUS_SUCCESS);
    EXPECT_EQ(read.Wait().status, STATUS_INSUFFICIENT_RESOURCES);
    EXPECT_EQ(write.Wait().status, STATUS_INSUFFICIENT_RESOURCES);
    EXPECT_TRUE(TraceHas("[Kestrel]---> error,func : 3,0xc000009a\r\n"));
    EXPECT_TRUE(TraceHas("[Kestrel]---> error,func : 4,0xc000009a\r\n"));
    EXPECT_EQ(korvel::test::ReadHostFile(HostPath("vault.sec"))[8192 + 1024], 0) << "the queued write wrote nothing";
}

TEST_F(RequestEngineTest, ResourceFailuresFailTheRequestNotTheUnit)
{
    AlignedBytes sector(512, 7);
    host::ClearDebugOutput();
    // No queue entry: refused at dispatch.
    host::FailPoolAllocations(VANTOR_POOL_TAG, 0, 1);
    EXPECT_EQ(Write(m_Unit, 0, sector).status, STATUS_INSUFFICIENT_RESOURCES);
    EXPECT_FALSE(TraceHas("[Kestrel]"));
    // No mapping of the caller's buffer: refused by the worker.
    host::FailKernelCalls(host::KernelCall::MmMapLockedPagesSpecifyCache, STATUS_SUCCESS, 0, 1);
    EXPECT_EQ(Write(m_Unit, 0, sector).status, STATUS_INSUFFICIENT_RESOURCES);
    EXPECT_TRUE(TraceHas("[Kestrel]---> error,func : 4,0xc000009a\r\n"));
    // No read buffer: the entry is had, the temporary buffer is not. Only a
    // caller's buffer that is not page-aligned needs one.
    AlignedBytes page(4096 + 512);
    host::FailPoolAllocations(VANTOR_POOL_TAG, 1, 1);
    EXPECT_EQ(host::SendRead(m_Unit, page.data() + 16, 512, 0).Wait().status, STATUS_INSUFFICIENT_RESOURCES);
    // A failing disk passes its status through.
    host::FailKernelCalls(host::KernelCall::ZwWriteFile, STATUS_IO_DEVICE_ERROR, 0, 1);
    EXPECT_EQ(Write(m_Unit, 0, sector).status, STATUS_IO_DEVICE_ERROR);
    // And the unit goes on.
    EXPECT_EQ(Write(m_Unit, 0, sector).status, STATUS_SUCCESS);
}

TEST_F(RequestEngineTest, EachUnitCarriesOutItsRequestsInArrivalOrder)
{
    // Many writes of one sector, sent without waiting: the last one sent wins.
    constexpr int kWrites = 64;
    std::vector<std::unique_ptr<AlignedBytes>> buffers;
    std::vector<host::PendingIo> pending;
    for (int i = 0; i < kWrites; ++i) {
        buffers.push_back(std::make_unique<AlignedBytes>(512, std::uint8_t(i + 1)));
        pending.push_back(host::SendWrite(m_Unit, buffers.back()->data(), 512, 4096));
    }
    for (auto& request : pending) {
        EXPECT_EQ(request.Wait().status, STATUS_SUCCESS);
    }
    AlignedBytes back(512);
    ASSERT_EQ(Read(m_Unit, 4096, back).status, STATUS_SUCCESS);
    EXPECT_EQ(back.data()[0], kWrites);
}

TEST_F(VantorTest, TwoUnitsServeTwoVaultsFromManyThreadsAtOnce)
{
    constexpr int kThreadsPerUnit = 3;
    constexpr int kSectorsPerThread = 40;
    host::DeviceHandle units[2] = {OpenUnit(0), OpenUnit(1)};
    ASSERT_EQ(OpenVault(units[0], "zero.sec", "pw0", kSize).status, STATUS_SUCCESS);
    ASSERT_EQ(OpenVault(units[1], "one.sec", "pw1", kSize).status, STATUS_SUCCESS);

    // Each thread owns its own sectors, writes them and reads them back.
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int unit = 0; unit < 2; ++unit) {
        for (int t = 0; t < kThreadsPerUnit; ++t) {
            threads.emplace_back([&, unit, t] {
                for (int s = 0; s < kSectorsPerThread; ++s) {
                    const LONGLONG offset = LONGLONG(t * kSectorsPerThread + s) * 512;
                    AlignedBytes data(512, std::uint8_t(unit * 100 + t * 10 + s % 10 + 1));
                    AlignedBytes back(512);
                    if (host::SendWrite(units[unit], data.data(), 512, offset).Wait().status != STATUS_SUCCESS ||
                        host::SendRead(units[unit], back.data(), 512, offset).Wait().status != STATUS_SUCCESS ||
                        back.Vector() != data.Vector()) {
                        failures++;
                    }
                }
            });
        }
    }
    for (auto& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(failures.load(), 0);
    EXPECT_EQ(CloseVault(units[0]).status, STATUS_SUCCESS);
    EXPECT_EQ(CloseVault(units[1]).status, STATUS_SUCCESS);

    // Each vault file holds exactly its own unit's data.
    const char* files[2] = {"zero.sec", "one.sec"};
    for (int unit = 0; unit < 2; ++unit) {
        const auto bytes = korvel::test::ReadHostFile(HostPath(files[unit]));
        for (int t = 0; t < kThreadsPerUnit; ++t) {
            for (int s = 0; s < kSectorsPerThread; ++s) {
                const std::size_t at = 1024 + std::size_t(t * kSectorsPerThread + s) * 512;
                ASSERT_EQ(bytes[at], std::uint8_t(unit * 100 + t * 10 + s % 10 + 1)) << files[unit];
            }
        }
    }
}

}  // namespace
