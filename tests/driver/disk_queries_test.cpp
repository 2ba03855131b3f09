// The disk and storage queries a unit answers at once: exact records,
// buffers a byte short, and the refusals of an unmounted unit.
#include "vantor_fixture.h"

#include <ntddcdrm.h>
#include <ntddstor.h>

#include <gtest/gtest.h>

#include <cstring>
#include <functional>

namespace {

using korvel::test::VantorTest;

constexpr std::uint8_t kSentinel = 0xCD;

template <class Record>
std::vector<std::uint8_t> Bytes(const Record& record)
{
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(&record);
    return {bytes, bytes + sizeof record};
}

struct Query {
    const char* label;
    ULONG code;
    ULONG required;  // bytes of output
    std::function<std::vector<std::uint8_t>(ULONGLONG diskSize)> expected;
};

std::vector<Query> OutputQueries()
{
    auto geometry = [](ULONGLONG size) {
        DISK_GEOMETRY g{};
        g.Cylinders.QuadPart = LONGLONG(size / 32768);
        g.MediaType = FixedMedia;
        g.TracksPerCylinder = 2;
        g.SectorsPerTrack = 32;
        g.BytesPerSector = 512;
        return Bytes(g);
    };
    return {
        {"disk_geometry", IOCTL_DISK_GET_DRIVE_GEOMETRY, 24, geometry},
        {"cdrom_geometry", IOCTL_CDROM_GET_DRIVE_GEOMETRY, 24, geometry},
        {"length", IOCTL_DISK_GET_LENGTH_INFO, 8,
         [](ULONGLONG size) {
             GET_LENGTH_INFORMATION length{};
             length.Length.QuadPart = LONGLONG(size);
             return Bytes(length);
         }},
        {"partition", IOCTL_DISK_GET_PARTITION_INFO, 32,
         [](ULONGLONG size) {
             PARTITION_INFORMATION p{};
             p.PartitionLength.QuadPart = LONGLONG(size);
             p.HiddenSectors = 1;
             return Bytes(p);
         }},
        {"partition_ex", IOCTL_DISK_GET_PARTITION_INFO_EX, 144,
         [](ULONGLONG size) {
             PARTITION_INFORMATION_EX p{};
             p.PartitionStyle = PARTITION_STYLE_MBR;
             p.PartitionLength.QuadPart = LONGLONG(size);
             p.Mbr.HiddenSectors = 1;
             return Bytes(p);
         }},
        {"toc", IOCTL_CDROM_READ_TOC, 804,
         [](ULONGLONG) {
             CDROM_TOC toc{};
             toc.FirstTrack = 1;
             toc.LastTrack = 1;
             toc.TrackData[0].Control = 4;
             return Bytes(toc);
         }},
    };
}

struct DiskSizeCase {
    const char* label;
    std::int64_t bytes;
};

void PrintTo(const DiskSizeCase& c, std::ostream* out)
{
    *out << c.label;
}

class DiskQueryTest : public VantorTest, public ::testing::WithParamInterface<DiskSizeCase> {
protected:
    void SetUp() override
    {
        VantorTest::SetUp();
        m_Unit = OpenUnit(0);
        ASSERT_EQ(OpenVault(m_Unit, "vault.sec", "pw", GetParam().bytes).status, STATUS_SUCCESS);
    }
    void TearDown() override
    {
        EXPECT_EQ(CloseVault(m_Unit).status, STATUS_SUCCESS);
        m_Unit.Close();
        VantorTest::TearDown();
    }

    host::IoResult Ask(ULONG code, const std::vector<std::uint8_t>& input, std::vector<std::uint8_t>& output)
    {
        return host::DeviceIoControl(m_Unit, code, input.data(), ULONG(input.size()), output.data(),
                                     ULONG(output.size()));
    }

    host::DeviceHandle m_Unit;
};

TEST_P(DiskQueryTest, AnswersEachRecordExactlyAndNothingIntoAShortBuffer)
{
    const auto diskSize = ULONGLONG(GetParam().bytes);
    for (const Query& q : OutputQueries()) {
        SCOPED_TRACE(q.label);
        std::vector<std::uint8_t> output(q.required + 8, kSentinel);
        host::IoResult result = Ask(q.code, {}, output);
        EXPECT_EQ(result.status, STATUS_SUCCESS);
        EXPECT_EQ(result.information, q.required);
        EXPECT_EQ(std::vector<std::uint8_t>(output.begin(), output.begin() + q.required), q.expected(diskSize));
        EXPECT_EQ(output[q.required], kSentinel) << "nothing past the record";

        std::vector<std::uint8_t> shortBuffer(q.required - 1, kSentinel);
        result = Ask(q.code, {}, shortBuffer);
        EXPECT_EQ(result.status, STATUS_BUFFER_TOO_SMALL);
        EXPECT_EQ(result.information, 0u);
        EXPECT_EQ(shortBuffer, std::vector<std::uint8_t>(q.required - 1, kSentinel));
    }
}

TEST_P(DiskQueryTest, AnswersTheRequestsWithoutARecord)
{
    VERIFY_INFORMATION verify{};
    verify.StartingOffset.QuadPart = 4096;
    verify.Length = 65536;
    std::vector<std::uint8_t> verifyBytes = Bytes(verify);
    struct Case {
        const char* label;
        ULONG code;
        std::vector<std::uint8_t> input;
        NTSTATUS status;
        ULONG_PTR information;
    };
    const Case cases[] = {
        // No output, whatever length it verified: see the driver.
        {"verify", IOCTL_DISK_VERIFY, verifyBytes, STATUS_SUCCESS, 0},
        {"verify_short", IOCTL_DISK_VERIFY, std::vector<std::uint8_t>(15, 0), STATUS_INVALID_PARAMETER, 0},
        {"set_partition", IOCTL_DISK_SET_PARTITION_INFO, std::vector<std::uint8_t>(1, 7), STATUS_SUCCESS, 0},
        {"set_partition_empty", IOCTL_DISK_SET_PARTITION_INFO, {}, STATUS_INVALID_PARAMETER, 0},
        {"is_writable", IOCTL_DISK_IS_WRITABLE, {}, STATUS_SUCCESS, 0},
        {"disk_check_verify", IOCTL_DISK_CHECK_VERIFY, {}, STATUS_SUCCESS, 0},
        {"cdrom_check_verify", IOCTL_CDROM_CHECK_VERIFY, {}, STATUS_SUCCESS, 0},
        {"storage_check_verify", IOCTL_STORAGE_CHECK_VERIFY, {}, STATUS_SUCCESS, 0},
        {"storage_check_verify2", IOCTL_STORAGE_CHECK_VERIFY2, {}, STATUS_SUCCESS, 0},
        {"disk_media_removal", IOCTL_DISK_MEDIA_REMOVAL, {}, STATUS_SUCCESS, 0},
        {"storage_media_removal", IOCTL_STORAGE_MEDIA_REMOVAL, {}, STATUS_SUCCESS, 0},
        {"unknown", CTL_CODE(IOCTL_DISK_BASE, 0x0030, METHOD_BUFFERED, FILE_ANY_ACCESS), {}, STATUS_INVALID_DEVICE_REQUEST,
         0},
    };
    host::ClearDebugOutput();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        std::vector<std::uint8_t> output;
        host::IoResult result = Ask(c.code, c.input, output);
        EXPECT_EQ(result.status, c.status);
        EXPECT_EQ(result.information, c.information);
    }
    // Answered at dispatch: the worker traces no failure.
    EXPECT_FALSE(TraceHas("[Kestrel]"));

    // A verify asked with a little output room gets nothing written there.
    std::vector<std::uint8_t> room(4, kSentinel);
    const host::IoResult verified = Ask(IOCTL_DISK_VERIFY, verifyBytes, room);
    EXPECT_EQ(verified.status, STATUS_SUCCESS);
    EXPECT_EQ(verified.information, 0u);
    EXPECT_EQ(room, std::vector<std::uint8_t>(4, kSentinel));
}

INSTANTIATE_TEST_SUITE_P(Sizes, DiskQueryTest,
                         ::testing::Values(DiskSizeCase{"one_gib", 1LL << 30},
                                           DiskSizeCase{"not_whole_cylinders", (1LL << 30) + 5 * 512 + 100}),
                         [](const auto& tc) { return std::string(tc.param.label); });

TEST_F(VantorTest, AnUnmountedUnitRefusesEveryQuery)
{
    host::DeviceHandle unit = OpenUnit(1);
    std::vector<ULONG> codes = {IOCTL_DISK_VERIFY,          IOCTL_DISK_SET_PARTITION_INFO, IOCTL_DISK_IS_WRITABLE,
                                IOCTL_DISK_CHECK_VERIFY,    IOCTL_CDROM_CHECK_VERIFY,      IOCTL_STORAGE_CHECK_VERIFY,
                                IOCTL_STORAGE_CHECK_VERIFY2, IOCTL_DISK_MEDIA_REMOVAL,     IOCTL_STORAGE_MEDIA_REMOVAL,
                                IOCTL_CLOSEDISKFILE,        IOCTL_CHANGEPWD,               0x00074000};
    for (const Query& q : OutputQueries()) {
        codes.push_back(q.code);
    }
    for (ULONG code : codes) {
        SCOPED_TRACE(code);
        std::vector<std::uint8_t> buffer(1024, kSentinel);
        host::IoResult result =
            host::DeviceIoControl(unit, code, buffer.data(), 32, buffer.data(), ULONG(buffer.size()));
        EXPECT_EQ(result.status, STATUS_NO_MEDIA_IN_DEVICE);
        EXPECT_EQ(result.information, 0u);
    }
}

}  // namespace
