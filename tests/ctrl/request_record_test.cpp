// The records the library sends, byte for byte, as a recording driver in
// the place of a disk driver receives them.
#include "pellix_fixture.h"

#include "plain_disk_ioctl.h"
#include "recorder_protocol.h"
#include "vantor_ioctl.h"

#include <host/kernel_io.h>
#include <ntstatus.h>
#include <winioctl.h>

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

namespace {

using korvel::test::PellixTest;
using korvel::test::Wide;

constexpr DWORD kRecorderUnit = 7;

class RequestRecordTest : public PellixTest {
protected:
    void SetUp() override
    {
        PellixTest::SetUp();
        std::filesystem::copy_file(RECORDER_IMAGE, HostPath("Software/Recorder.dll"));
        ASSERT_EQ(m_Install(Wide("Recorder"), Wide("C:\\Software\\Recorder.dll"), SERVICE_DEMAND_START), 1);
    }
    void TearDown() override
    {
        m_Recorder.Close();
        PellixTest::TearDown();
    }

    RecorderRecord Last()
    {
        if (!m_Recorder.IsOpen()) {
            EXPECT_EQ(host::OpenDevice(u"\\??\\VantorDevice7", m_Recorder), STATUS_SUCCESS);
        }
        RecorderRecord record{};
        EXPECT_EQ(host::DeviceIoControl(m_Recorder, IOCTL_RECORDER_LAST, nullptr, 0, &record, sizeof record).status,
                  STATUS_SUCCESS);
        return record;
    }

    void AnswerWith(NTSTATUS status)
    {
        Last();
        EXPECT_EQ(host::DeviceIoControl(m_Recorder, IOCTL_RECORDER_ANSWER, &status, sizeof status, nullptr, 0).status,
                  STATUS_SUCCESS);
    }

    host::DeviceHandle m_Recorder;
};

std::string FileNameOf(const OPENDISKFILE_INFO& info)
{
    return korvel::test::Narrow(info.FileName);
}

// A path of exactly `length` characters under C:.
std::string PathOfLength(std::size_t length)
{
    std::string path = "C:\\";
    path += std::string(length - path.size(), 'p');
    return path;
}

TEST_F(RequestRecordTest, TheOpenRecordCarriesSizePathAndPassword)
{
    struct Case {
        const char* label;
        std::string path;
        int size;
        std::string password;
        std::int64_t fileSize;
        std::string fileName;
    };
    const std::string longest = PathOfLength(251);
    const std::string longestShadow = "\\\\" + std::string(243, 's');
    const Case cases[] = {
        {"drive_path", "C:\\autorun.inf\\vault.sec", 0, "pw", 0, "\\??\\C:\\autorun.inf\\vault.sec"},
        {"two_gib", "C:\\v.sec", 2048, "pw", 2147483648LL, "\\??\\C:\\v.sec"},
        {"unc_path", "\\\\server\\share\\v.sec", 1, "pw", 1048576, "\\??\\Shadow\\\\server\\share\\v.sec"},
        {"longest_path", longest, 1, "pw", 1048576, "\\??\\" + longest},
        {"longest_unc_path", longestShadow, 1, "pw", 1048576, "\\??\\Shadow" + longestShadow},
        {"fifteen_character_password", "C:\\v.sec", 1, "ABCDEFGHIJKLMNO", 1048576, "\\??\\C:\\v.sec"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        RemoveDosDevice("S:");
        ASSERT_EQ(m_MountEx(kRecorderUnit, Wide(c.path), c.size, Wide(c.password), Wide("S")), 1);
        const RecorderRecord record = Last();
        EXPECT_EQ(record.Code, IOCTL_OPENDISKFILE);
        ASSERT_EQ(record.Length, sizeof(OPENDISKFILE_INFO));
        OPENDISKFILE_INFO info;
        std::memcpy(&info, record.Bytes, sizeof info);
        EXPECT_EQ(info.FileSize, c.fileSize);
        EXPECT_EQ(info.Reserved, 0);
        EXPECT_EQ(FileNameOf(info), c.fileName);
        EXPECT_EQ(korvel::test::Narrow(info.Password), c.password);
        EXPECT_EQ(DosDeviceTarget("S:"), "\\Device\\VantorDevice7");
    }
}

TEST_F(RequestRecordTest, PathsThatDoNotFitTheFieldAreNeverSent)
{
    const std::uint32_t before = Last().Count;
    EXPECT_EQ(m_MountEx(kRecorderUnit, Wide(PathOfLength(252)), 1, Wide("pw"), Wide("S")), 0);
    EXPECT_EQ(m_MountEx(kRecorderUnit, Wide("\\\\" + std::string(244, 's')), 1, Wide("pw"), Wide("S")), 0);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(Last().Count, before);
    EXPECT_EQ(DosDeviceTarget("S:"), "");
}

TEST_F(RequestRecordTest, AFailedOpenRemovesTheLettersLatestDefinition)
{
    // An older definition of the letter, for something else.
    ASSERT_TRUE(DefineDosDeviceW(DDD_RAW_TARGET_PATH, Wide("S:"), Wide("\\Device\\Elsewhere")));
    AnswerWith(STATUS_INVALID_PARAMETER);
    testing::internal::CaptureStderr();
    EXPECT_EQ(m_MountEx(kRecorderUnit, Wide("C:\\v.sec"), 1, Wide("pw"), Wide("S")), 0);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "PlainDisk: 参数错误。\r\n");
    EXPECT_EQ(DosDeviceTarget("S:"), "") << "the latest definition, here the older one, is removed";
}

TEST_F(RequestRecordTest, DismountSendsItsRequestsInOrderAndAForcedOneSkipsTheLock)
{
    ASSERT_EQ(m_MountEx(kRecorderUnit, Wide("C:\\v.sec"), 1, Wide("pw"), Wide("S")), 1);
    const std::uint32_t before = Last().Count;
    EXPECT_EQ(m_UnMountEx(Wide("S"), 0), 1);
    // Lock, dismount and unlock stay with the volume; only the close reaches the disk.
    const RecorderRecord record = Last();
    EXPECT_EQ(record.Count, before + 1);
    EXPECT_EQ(record.Code, IOCTL_CLOSEDISKFILE);
    EXPECT_EQ(DosDeviceTarget("S:"), "");

    // A close the driver refuses leaves the letter in place.
    ASSERT_EQ(m_MountEx(kRecorderUnit, Wide("C:\\v.sec"), 1, Wide("pw"), Wide("S")), 1);
    AnswerWith(STATUS_NO_MEDIA_IN_DEVICE);
    EXPECT_EQ(m_UnMountEx(Wide("S"), 1), 0);
    EXPECT_EQ(DosDeviceTarget("S:"), "\\Device\\VantorDevice7");
}

TEST_F(RequestRecordTest, ThePlainDriverGetsItsOwnRecord)
{
    ASSERT_EQ(m_Mount(3, Wide("C:\\img\\disk.bin"), 2048, Wide("P")), 1);
    EXPECT_EQ(DosDeviceTarget("P:"), "\\Device\\PlainDisk\\PlainDisk3");
    const RecorderRecord record = Last();
    const std::string name = "\\??\\C:\\img\\disk.bin";
    EXPECT_EQ(record.Code, IOCTL_PLAIN_OPENDISKFILE);
    ASSERT_EQ(record.Length, PLAIN_OPENDISKFILE_LENGTH(name.size()));
    PLAIN_OPENDISKFILE_HEAD head;
    std::memcpy(&head, record.Bytes, sizeof head);
    EXPECT_EQ(head.FileSize, 2147483648LL);
    EXPECT_EQ(head.ReadOnly, 0) << "not read-only";
    EXPECT_EQ(head.FileNameLength, name.size());
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(record.Bytes + sizeof head)), name);

    EXPECT_EQ(m_UnMount(Wide("P"), 0), 1);
    EXPECT_EQ(Last().Code, IOCTL_PLAIN_CLOSEDISKFILE);
    EXPECT_EQ(DosDeviceTarget("P:"), "");
}

}  // namespace
