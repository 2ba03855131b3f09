// The three private requests: open, close and change password, with their
// refusals, and the identity under which a vault file is opened.
#include "vantor_fixture.h"

#include "framework/kpool.h"

#include <host/test_hooks.h>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <thread>
#include <vector>

namespace {

using korvel::test::AlignedBytes;
using korvel::test::OpenRequest;
using korvel::test::VantorTest;

constexpr std::int64_t kSize = 1 << 20;
// Two users besides root, for opens of two senders at once. Both reach the
// scratch place as any other user does.
constexpr unsigned kUserA = korvel::test::kOtherUser;
constexpr unsigned kUserB = korvel::test::kOtherUser - 1;

class ControlProtocolTest : public VantorTest {
protected:
    void SetUp() override
    {
        VantorTest::SetUp();
        m_Unit0 = OpenUnit(0);
        m_Unit1 = OpenUnit(1);
    }
    void TearDown() override
    {
        CloseVault(m_Unit0);
        CloseVault(m_Unit1);
        m_Unit0.Close();
        m_Unit1.Close();
        VantorTest::TearDown();
    }

    host::IoResult SendOpen(const host::DeviceHandle& unit, const void* record, ULONG length)
    {
        return host::DeviceIoControl(unit, IOCTL_OPENDISKFILE, record, length, nullptr, 0);
    }

    host::DeviceHandle m_Unit0;
    host::DeviceHandle m_Unit1;
};

TEST_F(ControlProtocolTest, OpensANewVaultAndTracesTheHandler)
{
    host::ClearDebugOutput();
    const host::IoResult result = OpenVault(m_Unit0, "vault.sec", "Secret", kSize);
    EXPECT_EQ(result.status, STATUS_SUCCESS);
    EXPECT_EQ(result.information, 0u);
    EXPECT_EQ(korvel::test::ReadHostFile(HostPath("vault.sec")).size(), std::size_t(kSize) + 1024);
    const auto lines = TraceLines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].rfind("Vantor: VantorDevice::IOCTL_OPENDISKFILE_Handler++.  IRP ", 0), 0u) << lines[0];
    EXPECT_EQ(lines[1].rfind("Vantor: VantorDevice::IOCTL_OPENDISKFILE_Handler--.  IRP ", 0), 0u) << lines[1];
    EXPECT_NE(lines[1].find(", STATUS 0\n"), std::string::npos);
}

TEST_F(ControlProtocolTest, RefusesOpenRequestsThatAreMalformedOrComeAtTheWrongTime)
{
    ASSERT_EQ(OpenVault(m_Unit1, "busy.sec", "pw", kSize).status, STATUS_SUCCESS);

    OPENDISKFILE_INFO good = OpenRequest("\\??\\C:\\vault.sec", "pw", kSize);
    OPENDISKFILE_INFO unterminatedName = good;
    for (auto& unit : unterminatedName.FileName) {
        unit = L'a';
    }
    OPENDISKFILE_INFO unterminatedPassword = good;
    for (auto& unit : unterminatedPassword.Password) {
        unit = L'p';
    }
    OPENDISKFILE_INFO negativeSize = OpenRequest("\\??\\C:\\negative.sec", "pw", -1024);
    std::vector<std::uint8_t> longer(561, 0);
    std::memcpy(longer.data(), &good, sizeof good);

    struct Case {
        const char* label;
        const host::DeviceHandle* unit;
        const void* record;
        ULONG length;
        NTSTATUS status;
    };
    const Case cases[] = {
        {"559_bytes", &m_Unit0, &good, 559, STATUS_INVALID_PARAMETER},
        {"561_bytes", &m_Unit0, longer.data(), 561, STATUS_INVALID_PARAMETER},
        {"no_input", &m_Unit0, nullptr, 0, STATUS_INVALID_PARAMETER},
        {"name_without_terminator", &m_Unit0, &unterminatedName, sizeof unterminatedName, STATUS_INVALID_PARAMETER},
        {"password_without_terminator", &m_Unit0, &unterminatedPassword, sizeof unterminatedPassword,
         STATUS_INVALID_PARAMETER},
        {"negative_size", &m_Unit0, &negativeSize, sizeof negativeSize, STATUS_INVALID_PARAMETER},
        {"unit_already_mounted", &m_Unit1, &good, sizeof good, STATUS_INVALID_DEVICE_REQUEST},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        host::ClearDebugOutput();
        const host::IoResult result = SendOpen(*c.unit, c.record, c.length);
        EXPECT_EQ(result.status, c.status);
        EXPECT_EQ(result.information, 0u);
        // Refused by the worker, so traced.
        char failure[80];
        std::snprintf(failure, sizeof failure, "[Kestrel]---> error,func : 14,0x%x\r\n", unsigned(c.status));
        EXPECT_TRUE(TraceHas(failure)) << host::DebugOutput();
    }
    EXPECT_FALSE(korvel::test::HostFileExists(HostPath("vault.sec"))) << "no refused request made a file";

    // The mounted vault is still in service.
    AlignedBytes sector(512, 0x11);
    EXPECT_EQ(Write(m_Unit1, 0, sector).status, STATUS_SUCCESS);
}

TEST_F(ControlProtocolTest, ACloseWhileUnmountedIsRefusedAtOnceAndNeverQueued)
{
    host::ClearDebugOutput();
    const host::IoResult result = CloseVault(m_Unit0);
    EXPECT_EQ(result.status, STATUS_NO_MEDIA_IN_DEVICE);
    EXPECT_FALSE(TraceHas("IOCTL_CLOSEDISKFILE_Handler"));
    EXPECT_FALSE(TraceHas("[Kestrel]"));
    EXPECT_EQ(ChangePassword(m_Unit0, "new").status, STATUS_NO_MEDIA_IN_DEVICE);
    EXPECT_FALSE(TraceHas("IOCTL_CHANGEPWD_Handler"));
}

TEST_F(ControlProtocolTest, APasswordChangeTakesEffectAtTheNextMount)
{
    ASSERT_EQ(OpenVault(m_Unit0, "vault.sec", "OldPass", kSize).status, STATUS_SUCCESS);
    AlignedBytes data(4096, 0x5A);
    ASSERT_EQ(Write(m_Unit0, 8192, data).status, STATUS_SUCCESS);

    struct Case {
        const char* label;
        std::vector<std::uint8_t> record;
        NTSTATUS status;
    };
    NewPassword fresh{};
    std::memcpy(fresh.Password, L"NewPass", 7 * sizeof(wchar_t));
    std::vector<std::uint8_t> good(reinterpret_cast<std::uint8_t*>(&fresh),
                                   reinterpret_cast<std::uint8_t*>(&fresh) + sizeof fresh);
    std::vector<std::uint8_t> longer = good;
    longer.push_back(0);
    const Case cases[] = {
        {"31_bytes", std::vector<std::uint8_t>(good.begin(), good.end() - 1), STATUS_INVALID_PARAMETER},
        {"33_bytes", longer, STATUS_INVALID_PARAMETER},
        {"no_terminator", std::vector<std::uint8_t>(32, 'x'), STATUS_INVALID_PARAMETER},
        {"good", good, STATUS_SUCCESS},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(host::DeviceIoControl(m_Unit0, IOCTL_CHANGEPWD, c.record.data(), ULONG(c.record.size()), nullptr, 0)
                      .status,
                  c.status);
    }
    ASSERT_EQ(CloseVault(m_Unit0).status, STATUS_SUCCESS);
    EXPECT_EQ(OpenVault(m_Unit0, "vault.sec", "OldPass", 0).status, STATUS_INVALID_PARAMETER);
    ASSERT_EQ(OpenVault(m_Unit0, "vault.sec", "newpass", 0).status, STATUS_SUCCESS);
    AlignedBytes back(4096, 0);
    ASSERT_EQ(Read(m_Unit0, 8192, back).status, STATUS_SUCCESS);
    EXPECT_EQ(back.Vector(), data.Vector());
}

TEST_F(ControlProtocolTest, OneFileCannotBeServedByBothUnits)
{
    ASSERT_EQ(OpenVault(m_Unit0, "vault.sec", "pw", kSize).status, STATUS_SUCCESS);
    EXPECT_EQ(OpenVault(m_Unit1, "vault.sec", "pw", 0).status, STATUS_INVALID_PARAMETER);
    ASSERT_EQ(CloseVault(m_Unit0).status, STATUS_SUCCESS);
    EXPECT_EQ(OpenVault(m_Unit1, "vault.sec", "pw", 0).status, STATUS_SUCCESS);
}

TEST_F(ControlProtocolTest, ARefusedOpenTracesTheFileSystemsStatusButNotThePassword)
{
    // The sender hears STATUS_INVALID_PARAMETER whatever the reason; the
    // trace tells the reasons apart.
    ASSERT_EQ(OpenVault(m_Unit1, "closed.sec", "Right-Pw4", kSize).status, STATUS_SUCCESS);
    ASSERT_EQ(CloseVault(m_Unit1).status, STATUS_SUCCESS);
    ASSERT_EQ(OpenVault(m_Unit0, "held.sec", "Held-Secret1", kSize).status, STATUS_SUCCESS);
    struct Case {
        const char* label;
        const char* name;
        const char* password;
        const char* traced;  // empty: the file opened, and no open failure is traced
    };
    const Case cases[] = {
        {"missing_folder", "missing\\vault.sec", "Missing-Pw2", "STATUS c000003a\n"},
        {"file_in_use", "held.sec", "Held-Secret1", "STATUS c0000043\n"},
        {"wrong_password", "closed.sec", "Wrong-Pw3", ""},
    };
    const std::string line = "Vantor: VaultImage::Mount: the vault file does not open, ";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        host::ClearDebugOutput();
        EXPECT_EQ(OpenVault(m_Unit1, c.name, c.password, 0).status, STATUS_INVALID_PARAMETER);
        if (*c.traced != 0) {
            EXPECT_TRUE(TraceHas(line + c.traced)) << host::DebugOutput();
        } else {
            EXPECT_FALSE(TraceHas(line)) << host::DebugOutput();
        }
        EXPECT_FALSE(TraceHas(c.password)) << "the password never shows";
    }
}

TEST_F(ControlProtocolTest, TheVaultFileIsOpenedWithTheSendersRights)
{
    if (const std::string why = korvel::test::WhyTestsCannotActAsAnotherUser(); !why.empty()) {
        GTEST_SKIP() << why;
    }
    // Everyone may pass through the scratch folder; each case's folder alone
    // decides whether the other user may create the vault file in it.
    ASSERT_EQ(chmod(m_Folder.Path().c_str(), 0755), 0);
    struct Case {
        const char* folder;
        mode_t mode;  // root's folder with this mode
        NTSTATUS status;
    };
    const Case cases[] = {
        {"private", 0700, STATUS_INVALID_PARAMETER},   // closed to others
        {"readonly", 0755, STATUS_INVALID_PARAMETER},  // others may look, not create
        {"shared", 0777, STATUS_SUCCESS},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.folder);
        const std::string folder = HostPath(c.folder);
        ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
        ASSERT_EQ(chmod(folder.c_str(), c.mode), 0);
        ASSERT_TRUE(host::ImpersonateUser(korvel::test::kOtherUser, korvel::test::kOtherGroup));
        const host::IoResult result = OpenVault(m_Unit0, std::string(c.folder) + "\\vault.sec", "pw", kSize);
        host::RevertToSelf();
        EXPECT_EQ(result.status, c.status);
        struct stat info {};
        const bool made = stat((folder + "/vault.sec").c_str(), &info) == 0;
        EXPECT_EQ(made, c.status == STATUS_SUCCESS);
        if (made) {
            EXPECT_EQ(info.st_uid, korvel::test::kOtherUser) << "the file belongs to the user who asked";
            EXPECT_EQ(CloseVault(m_Unit0).status, STATUS_SUCCESS);
        }
    }
}

TEST_F(ControlProtocolTest, EachQueuedOpenIsCarriedOutWithItsOwnSendersRights)
{
    if (const std::string why = korvel::test::WhyTestsCannotActAsAnotherUser(); !why.empty()) {
        GTEST_SKIP() << why;
    }
    // A's folder: A may create files there, B may not.
    ASSERT_EQ(chmod(m_Folder.Path().c_str(), 0755), 0);
    ASSERT_EQ(mkdir(HostPath("a").c_str(), 0755), 0);
    ASSERT_EQ(chown(HostPath("a").c_str(), kUserA, kUserA), 0);

    // Hold the worker inside an open of root's that fails, so that B's open
    // and then A's are both queued, captured and waiting before it goes on.
    host::HoldKernelCalls(host::KernelCall::ZwCreateFile, 1);
    const OPENDISKFILE_INFO first = OpenRequest("\\??\\C:\\missing\\held.sec", "pw", kSize);
    host::PendingIo held = host::SendDeviceIoControl(m_Unit0, IOCTL_OPENDISKFILE, &first, sizeof first, nullptr, 0);
    ASSERT_TRUE(host::WaitForHeldCalls(host::KernelCall::ZwCreateFile, 1, 5000));

    const OPENDISKFILE_INFO forB = OpenRequest("\\??\\C:\\a\\b.sec", "pw", kSize);
    ASSERT_TRUE(host::ImpersonateUser(kUserB, kUserB));
    host::PendingIo openB = host::SendDeviceIoControl(m_Unit0, IOCTL_OPENDISKFILE, &forB, sizeof forB, nullptr, 0);
    host::RevertToSelf();
    const OPENDISKFILE_INFO forA = OpenRequest("\\??\\C:\\a\\a.sec", "pw", kSize);
    ASSERT_TRUE(host::ImpersonateUser(kUserA, kUserA));
    host::PendingIo openA = host::SendDeviceIoControl(m_Unit0, IOCTL_OPENDISKFILE, &forA, sizeof forA, nullptr, 0);
    host::RevertToSelf();
    EXPECT_FALSE(openB.Done());
    EXPECT_FALSE(openA.Done());
    host::ReleaseHeldCalls(host::KernelCall::ZwCreateFile);

    EXPECT_EQ(held.Wait().status, STATUS_INVALID_PARAMETER);
    EXPECT_EQ(openB.Wait().status, STATUS_INVALID_PARAMETER) << "B may not write A's folder";
    EXPECT_FALSE(korvel::test::HostFileExists(HostPath("a/b.sec")));
    EXPECT_EQ(openA.Wait().status, STATUS_SUCCESS);
    struct stat info {};
    ASSERT_EQ(stat(HostPath("a/a.sec").c_str(), &info), 0);
    EXPECT_EQ(info.st_uid, kUserA) << "the file belongs to A, not to the last sender";
    EXPECT_EQ(host::CapturedClientTokens(), m_TokensBefore) << "every capture went with its request";
}

TEST_F(ControlProtocolTest, OpensAndClosesFromManyThreadsReleaseEachCaptureOnce)
{
    ASSERT_EQ(OpenVault(m_Unit0, "zero.sec", "pw", kSize).status, STATUS_SUCCESS);
    ASSERT_EQ(OpenVault(m_Unit1, "one.sec", "pw", kSize).status, STATUS_SUCCESS);
    ASSERT_EQ(CloseVault(m_Unit0).status, STATUS_SUCCESS);
    ASSERT_EQ(CloseVault(m_Unit1).status, STATUS_SUCCESS);
    // Where the tests may change identity, half the senders are another
    // user, so that captures of two tokens interleave.
    const bool twoUsers = korvel::test::WhyTestsCannotActAsAnotherUser().empty();
    if (twoUsers) {
        ASSERT_EQ(chmod(m_Folder.Path().c_str(), 0777), 0);
    }

    constexpr int kThreads = 8;
    constexpr int kRounds = 40;
    std::atomic<int> mounted{0};
    std::atomic<int> unexpected{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            const bool other = twoUsers && t % 2 == 1;
            if (other && !host::ImpersonateUser(korvel::test::kOtherUser, korvel::test::kOtherGroup)) {
                unexpected++;
                return;
            }
            const host::DeviceHandle& unit = (t / 2) % 2 == 0 ? m_Unit0 : m_Unit1;
            const char* name = &unit == &m_Unit0 ? "zero.sec" : "one.sec";
            for (int round = 0; round < kRounds; ++round) {
                const NTSTATUS open = OpenVault(unit, name, "pw", 0).status;
                // Refused when another sender's open got there first, or,
                // for the other user, by the root-owned vault file.
                if (open == STATUS_SUCCESS) {
                    mounted++;
                } else if (open != STATUS_INVALID_DEVICE_REQUEST && open != STATUS_INVALID_PARAMETER) {
                    unexpected++;
                }
                const NTSTATUS close = CloseVault(unit).status;
                if (close != STATUS_SUCCESS && close != STATUS_NO_MEDIA_IN_DEVICE) {
                    unexpected++;
                }
            }
            if (other) {
                host::RevertToSelf();
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(unexpected, 0);
    EXPECT_GT(mounted, 0);
    // Every request has been answered, so no capture may be left.
    EXPECT_EQ(host::CapturedClientTokens(), m_TokensBefore);
}

// A kernel without usable capture routines: one that lacks them, or Wine's,
// which exports them as stubs that end the process.
class KernelWithoutCapture : public ControlProtocolTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(KernelWithoutCapture, OpensTheVaultAsTheSystem)
{
    if (const std::string why = korvel::test::WhyTestsCannotActAsAnotherUser(); !why.empty()) {
        GTEST_SKIP() << why;
    }
    m_Unit0.Close();
    m_Unit1.Close();
    Unload();
    if (std::string(GetParam()) == "wine") {
        static char marker;
        host::AddSystemRoutine("wine_ntoskrnl_main_loop", &marker);
    } else {
        host::HideSystemRoutine(GetParam(), true);
    }
    ASSERT_EQ(Load(), STATUS_SUCCESS);
    m_Unit0 = OpenUnit(0);
    m_Unit1 = OpenUnit(1);
    ASSERT_EQ(mkdir(HostPath("private").c_str(), 0755), 0);
    ASSERT_TRUE(host::ImpersonateUser(korvel::test::kOtherUser, korvel::test::kOtherGroup));
    const host::IoResult result = OpenVault(m_Unit0, "private\\vault.sec", "pw", kSize);
    host::RevertToSelf();
    EXPECT_EQ(result.status, STATUS_SUCCESS);
}

INSTANTIATE_TEST_SUITE_P(Kernels, KernelWithoutCapture,
                         ::testing::Values("SeCreateClientSecurity", "SeImpersonateClient", "wine"),
                         [](const auto& tc) { return std::string(tc.param); });

TEST_F(ControlProtocolTest, AFailedCaptureFailsTheOpen)
{
    host::FailKernelCalls(host::KernelCall::SeCreateClientSecurity, STATUS_ACCESS_DENIED, 0, 1);
    EXPECT_EQ(OpenVault(m_Unit0, "vault.sec", "pw", kSize).status, STATUS_ACCESS_DENIED);
    EXPECT_FALSE(korvel::test::HostFileExists(HostPath("vault.sec")));
    // No queue entry could be had: the open is refused, not queued.
    host::FailPoolAllocations(VANTOR_POOL_TAG, 0, 1);
    EXPECT_EQ(OpenVault(m_Unit1, "vault.sec", "pw", kSize).status, STATUS_INSUFFICIENT_RESOURCES);
    EXPECT_EQ(OpenVault(m_Unit0, "vault.sec", "pw", kSize).status, STATUS_SUCCESS);
}

}  // namespace
