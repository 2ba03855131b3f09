// The create dialog: the drive list and its space figures, the five checks
// in their order, the confirmation, the holder folder, the mount, and on S:
// the format, the list entry, the starter folders and Explorer.
#include "shell/close_vault.h"
#include "shell/resource.h"
#include "manager_fixture.h"
#include "vault_ops/create_vault_dialog.h"

#include <host/drive_table.h>
#include <host/format_hooks.h>
#include <host/volume_hooks.h>
#include <host/test_hooks.h>
#include <host/win32_hooks.h>

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>

namespace korvel::test {
namespace {

using tessaly::CreateVaultDialog;
using tessaly::FormEvent;
using tessaly::MessageAnswer;

constexpr std::uint64_t kGiB = 1024ull * 1024 * 1024;

class CreateVaultTest : public ManagerTest {
protected:
    void SetUp() override
    {
        ManagerTest::SetUp();
        // C: is the scratch folder, shown as a volume of 100 GiB with
        // 12.36 GiB free.
        host::MapDrive('C', host::Drive{m_Folder.Path(), host::DriveType::Fixed,
                                        static_cast<std::uint64_t>(12.36 * kGiB), 100 * kGiB});
        host::ProvideFormatLibrary(host::FormatScript{{25, 75}, true});
        host::ClearRawVolumeRequests();
        ASSERT_TRUE(StartDriverService());
        m_Dialog = std::make_unique<CreateVaultDialog>(*m_Manager, m_Main->List1());
        m_Dialog->Load();
    }
    void TearDown() override
    {
        m_Dialog.reset();
        host::WithdrawFormatLibrary();
        ManagerTest::TearDown();
    }

    void Fill(const char16_t* name, const char16_t* size, const char16_t* password)
    {
        m_Dialog->TxtName().TakeTyped(name);
        m_Dialog->TxtSize().TakeTyped(size);
        m_Dialog->TxtPassword().TakeTyped(password);
    }

    // The vault file's header block: its password field, decoded the way the
    // driver stores it, is not this test's business; its size is.
    std::uint64_t FileSize(const std::string& relative) const
    {
        struct stat info {};
        return stat(HostPath(relative).c_str(), &info) == 0 ? static_cast<std::uint64_t>(info.st_size) : 0;
    }

    std::unique_ptr<CreateVaultDialog> m_Dialog;
};

TEST_F(CreateVaultTest, TheDriveListOffersFixedDrivesExceptAAndChoosesTheLast)
{
    ScratchFolder a;
    ScratchFolder d;
    ScratchFolder h;
    host::MapDrive('A', host::Drive{a.Path(), host::DriveType::Fixed, std::nullopt, std::nullopt});
    host::MapDrive('D', host::Drive{d.Path(), host::DriveType::Removable, std::nullopt, std::nullopt});
    host::MapDrive('H', host::Drive{h.Path(), host::DriveType::Fixed, 2 * kGiB, 4 * kGiB});
    CreateVaultDialog dialog(*m_Manager, m_Main->List1());
    EXPECT_EQ(U8(dialog.Label6().GetText()), "总容量：  ，剩余：") << "before the first refresh";
    EXPECT_EQ(U8(dialog.Label5().GetText()), "G，最大不超过剩余容量");
    dialog.Load();
    std::vector<std::string> items;
    for (const tessaly::Text& item : dialog.Combo1().Items()) {
        items.push_back(U8(item));
    }
    EXPECT_EQ(items, (std::vector<std::string>{"C:", "H:"}));
    EXPECT_EQ(U8(dialog.Combo1().GetText()), "H:");
    EXPECT_EQ(U8(dialog.Label6().GetText()), "剩余:2G，总容量:4G");
    EXPECT_EQ(U8(dialog.Label5().GetText()), "G，允许最大容量<=2G");
    dialog.Combo1().TakeTyped(u"C:");
    dialog.OnEvent(IDC_COMBO1, FormEvent::Click, {});
    EXPECT_EQ(U8(dialog.Label6().GetText()), "剩余:12.3G，总容量:100G") << "cut to one decimal, not rounded";
    EXPECT_EQ(U8(dialog.FreeText()), "12.3");
    host::UnmapDrive('A');
    host::UnmapDrive('D');
    host::UnmapDrive('H');
}

TEST_F(CreateVaultTest, ADriveTextWithoutAColonIsRefusedOnRefresh)
{
    for (const char16_t* text : {u"", u"C", u"CC:"}) {
        SCOPED_TRACE(U8(text));
        m_Ui.messages.clear();
        m_Dialog->Combo1().TakeTyped(text);
        m_Dialog->Refresh();
        EXPECT_EQ(m_Ui.MessageTexts(), std::vector<std::string>{"选择的磁盘分区符号不正确!"});
        EXPECT_EQ(U8(m_Dialog->Label6().GetText()), "剩余:12.3G，总容量:100G") << "labels unchanged";
    }
}

TEST_F(CreateVaultTest, TheFirstFailingCheckIsToldAndNothingIsMade)
{
    struct Case {
        const char* label;
        const char16_t* drive;
        const char16_t* name;
        const char16_t* size;
        const char16_t* password;
        const char* message;
    };
    const Case cases[] = {
        {"no drive before anything else", u"", u"", u"abc", u"0123456789abcdef", "尚未指定创建保险柜所在盘的盘符!"},
        {"no name", u"C:", u"", u"0", u"0123456789abcdef", "保险柜名称不能为空!"},
        {"size not a number", u"C:", u"v", u"abc", u"0123456789abcdef", "请指定保险柜容量大小!"},
        {"size 0", u"C:", u"v", u"0", u"", "请指定保险柜容量大小!"},
        {"size above the free space shown", u"C:", u"v", u"12.35", u"0123456789abcdef",
         "保险柜的最大容量不能超过 12.3G"},
        {"password of 16 characters", u"C:", u"v", u"1", u"0123456789abcdef", "保险柜密码长度不能超过15位！"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        m_Ui.messages.clear();
        m_Dialog->Combo1().TakeTyped(c.drive);
        Fill(c.name, c.size, c.password);
        m_Dialog->Create();
        EXPECT_EQ(m_Ui.MessageTexts(), std::vector<std::string>{c.message});
        EXPECT_FALSE(std::filesystem::exists(HostPath("autorun.inf")));
        EXPECT_TRUE(m_Ui.unloaded.empty()) << "the dialog stays open";
    }
}

TEST_F(CreateVaultTest, TheConfirmationNamesTheTimeAndThePathAndCancelStops)
{
    m_Dialog->Combo1().TakeTyped(u"C:");
    Fill(u"工作", u"2", u"123456789012345");
    m_Ui.answers.push_back(MessageAnswer::Cancel);
    m_Dialog->Create();
    ASSERT_EQ(m_Ui.messages.size(), 1u);
    EXPECT_EQ(U8(m_Ui.messages[0].text),
              "创建此保险柜大约耗时1.4分钟，一旦开始创建切勿中断，请确认要继续吗？--C:\\autorun.inf\\工作.sec");
    EXPECT_EQ(m_Ui.messages[0].buttons, tessaly::MessageButtons::OkCancel);
    EXPECT_FALSE(std::filesystem::exists(HostPath("autorun.inf")));
    EXPECT_FALSE(tessaly::VaultDriveIsOpen());
    EXPECT_TRUE(m_Ui.unloaded.empty());
}

TEST_F(CreateVaultTest, ANewVaultIsMadeMountedFormattedListedAndShown)
{
    m_Dialog->Combo1().TakeTyped(u"C:");
    Fill(u"工作", u".0078125", u"");  // 8 megabytes, no password
    m_Dialog->Create();

    EXPECT_EQ(m_Ui.MessageTexts().size(), 1u) << "only the confirmation";
    // The holder folder, hidden, system and read-only, with its guard folder
    // whose name keeps its three dots.
    EXPECT_EQ(GetFileAttributesW(L"C:\\autorun.inf") & 7u, 7u);
    EXPECT_TRUE(std::filesystem::is_directory(HostPath("autorun.inf/勿删该文件夹...")));
    EXPECT_EQ(FileSize("autorun.inf/工作.sec"), 8u * 1024 * 1024 + 1024);
    EXPECT_TRUE(tessaly::VaultDriveIsOpen());
    EXPECT_EQ(U8(m_Manager->rememberedPassword), "");

    const std::vector<host::FormatCall> formats = host::FormatCalls();
    ASSERT_EQ(formats.size(), 1u);
    EXPECT_EQ(formats[0].driveRoot, u"S:");
    EXPECT_EQ(formats[0].mediaFlag, 12u);
    EXPECT_EQ(formats[0].fileSystem, u"NTFS");
    EXPECT_EQ(formats[0].label, u"工作");
    EXPECT_EQ(formats[0].quickFormat, 1);
    EXPECT_EQ(U8(m_Dialog->Label7().GetText()), "正在创建保险柜：100%");

    EXPECT_EQ(m_Main->List1().Count(), 1);
    EXPECT_EQ(U8(m_Main->List1().Item(0)), "C:\\autorun.inf\\工作.sec，保险柜容量:.0078125G，盘符:S:")
        << "the size is repeated as typed";
    std::vector<std::string> folders;
    for (const host::RawVolumeRequest& request : host::RawVolumeRequests()) {
        if (request.call == "CreateDirectoryW") {
            folders.push_back(U8(request.path));
        }
    }
    EXPECT_EQ(folders, (std::vector<std::string>{"S:\\财务数据", "S:\\账户信息", "S:\\客户资料", "S:\\即时通QQ",
                                                 "S:\\邮件MAIL", "S:\\名片", "S:\\文档", "S:\\照片", "S:\\日记",
                                                 "S:\\影碟", "S:\\游戏", "S:\\其它"}));
    EXPECT_EQ(host::SleptMilliseconds(), std::vector<DWORD>{1000});
    EXPECT_EQ(StartedCommandLines(), std::vector<std::string>{"explorer.exe S:"});
    EXPECT_EQ(m_Ui.unloaded, std::vector<const tessaly::Form*>{m_Dialog.get()});
}

TEST_F(CreateVaultTest, SizesBecomeMegabytesRoundedHalfToEvenAndTheTextIsKeptAsTyped)
{
    struct Case {
        const char16_t* size;
        std::uint64_t megabytes;
        const char* entryTail;
    };
    const Case cases[] = {
        {u"1.0005", 1025, "，保险柜容量:1.0005G，盘符:S:"},
        {u".0078125GB", 8, "，保险柜容量:.0078125GBG，盘符:S:"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(U8(c.size));
        m_Main->List1().Clear();
        m_Dialog->Combo1().TakeTyped(u"C:");
        Fill(u"v", c.size, u"pw");
        m_Dialog->Create();
        EXPECT_EQ(FileSize("autorun.inf/v.sec"), c.megabytes * 1024 * 1024 + 1024);
        ASSERT_EQ(m_Main->List1().Count(), 1);
        EXPECT_EQ(U8(m_Main->List1().Item(0)), "C:\\autorun.inf\\v.sec" + std::string(c.entryTail));
        EXPECT_EQ(U8(m_Manager->rememberedPassword), "pw");
        m_Manager->pellix.SysDiskUnMountEx(u"S", 1);
        std::filesystem::remove(HostPath("autorun.inf/v.sec"));
    }
}

TEST_F(CreateVaultTest, AnExistingHolderFolderIsUsedAsItIs)
{
    ASSERT_TRUE(std::filesystem::create_directories(HostPath("autorun.inf")));
    ASSERT_TRUE(SetFileAttributesW(L"C:\\autorun.inf", FILE_ATTRIBUTE_HIDDEN));
    m_Dialog->Combo1().TakeTyped(u"C:");
    Fill(u"v", u".0078125", u"pw");
    m_Dialog->Create();
    EXPECT_EQ(GetFileAttributesW(L"C:\\autorun.inf") & 7u, static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN));
    EXPECT_FALSE(std::filesystem::exists(HostPath("autorun.inf/勿删该文件夹...")));
    EXPECT_TRUE(tessaly::VaultDriveIsOpen());
}

TEST_F(CreateVaultTest, AHolderFolderThatCannotBeMadeIsTold)
{
    // A drive root this user may not write in. Root may write anywhere, so
    // as root the test acts as another user.
    const bool actAsOther = CanChangeIdentity();
    if (const std::string why = WhyTestsCannotActAsAnotherUser(); actAsOther && !why.empty()) {
        GTEST_SKIP() << why;
    }
    ASSERT_EQ(chmod(m_Folder.Path().c_str(), 0555), 0);
    m_Dialog->Combo1().TakeTyped(u"C:");
    Fill(u"v", u"1", u"pw");
    if (actAsOther) {
        ASSERT_TRUE(host::ImpersonateUser(kOtherUser, kOtherGroup));
    }
    m_Dialog->Create();
    if (actAsOther) {
        host::RevertToSelf();
    }
    chmod(m_Folder.Path().c_str(), 0755);
    EXPECT_EQ(m_Ui.MessageTexts().back(), "创建保险柜文件夹[C:\\autorun.inf]失败!");
    EXPECT_FALSE(tessaly::VaultDriveIsOpen());
    EXPECT_TRUE(m_Ui.unloaded.empty());
}

TEST_F(CreateVaultTest, ARefusedMountIsToldAndLeavesTheFolders)
{
    // A file there already, with another password: the library refuses it.
    ASSERT_TRUE(std::filesystem::create_directories(HostPath("autorun.inf")));
    ASSERT_TRUE(MountVault("autorun.inf\\v.sec", u"other", 8));
    m_Manager->pellix.SysDiskUnMountEx(u"S", 1);
    m_Dialog->Combo1().TakeTyped(u"C:");
    Fill(u"v", u".0078125", u"pw");
    m_Dialog->Create();
    EXPECT_EQ(m_Ui.MessageTexts().back(),
              "创建保险柜失败，请删除保险柜属主文件C:\\autorun.inf\\v.sec后在管理员账户下重试一次!");
    EXPECT_FALSE(tessaly::VaultDriveIsOpen());
    EXPECT_EQ(m_Main->List1().Count(), 0);
    EXPECT_TRUE(m_Ui.unloaded.empty());
    EXPECT_TRUE(std::filesystem::exists(HostPath("autorun.inf/v.sec")));
}

TEST_F(CreateVaultTest, AVaultDriveThatComesLateIsWaitedForAndOneThatNeverComesEndsTheDialog)
{
    struct Case {
        const char* label;
        unsigned missingQueries;  // drive-type queries that do not find S: yet
        bool finished;
        std::size_t sleeps;
    };
    const Case cases[] = {
        {"S: there at the third attempt", 3, true, 3 + 1},
        {"S: never comes", 1000, false, 10},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        host::ClearRecordedProcessStarts();
        host::UseTestClock(true);
        m_Main->List1().Clear();
        m_Ui.unloaded.clear();
        const std::size_t formatsBefore = host::FormatCalls().size();
        m_Dialog->Combo1().TakeTyped(u"C:");
        Fill(u"late", u".0078125", u"pw");
        host::DelayVolumeArrival(c.missingQueries);
        m_Dialog->Create();
        host::DelayVolumeArrival(0);
        EXPECT_EQ(host::FormatCalls().size() - formatsBefore, c.finished ? 1u : 0u);
        EXPECT_EQ(m_Main->List1().Count(), c.finished ? 1 : 0);
        EXPECT_EQ(host::SleptMilliseconds().size(), c.sleeps);
        EXPECT_EQ(StartedCommandLines().size(), c.finished ? 1u : 0u);
        EXPECT_EQ(m_Ui.unloaded.size(), 1u) << "the dialog closes either way";
        m_Manager->pellix.SysDiskUnMountEx(u"S", 1);
        std::filesystem::remove(HostPath("autorun.inf/late.sec"));
    }
}

TEST_F(CreateVaultTest, WhileTheFormatRunsNeitherASecondCreationNorClosingStarts)
{
    m_Dialog->Combo1().TakeTyped(u"C:");
    Fill(u"v", u".0078125", u"pw");
    int attempts = 0;
    m_Ui.onPump = [&](int) {
        if (host::FormatCalls().empty()) {
            return;
        }
        ++attempts;
        m_Dialog->OnEvent(IDC_IMAGE2, FormEvent::Click, {});
        m_Dialog->OnEvent(IDC_IMAGE3, FormEvent::Click, {});
        EXPECT_FALSE(m_Dialog->QueryClose());
    };
    m_Dialog->Create();
    m_Ui.onPump = nullptr;
    EXPECT_GT(attempts, 0);
    EXPECT_EQ(host::FormatCalls().size(), 1u);
    EXPECT_EQ(m_Ui.MessageTexts().size(), 1u) << "one confirmation only";
    EXPECT_EQ(m_Ui.unloaded.size(), 1u) << "closed once, at the end";
    EXPECT_TRUE(m_Dialog->QueryClose());
}

TEST_F(CreateVaultTest, ThePicturesLookPressedWhileHeldAndCancelCloses)
{
    for (int id : {IDC_IMAGE2, IDC_IMAGE3}) {
        SCOPED_TRACE(id);
        const tessaly::PictureButton& picture = id == IDC_IMAGE2 ? m_Dialog->Image2() : m_Dialog->Image3();
        m_Dialog->OnEvent(id, FormEvent::MouseDown, {});
        EXPECT_EQ(picture.BorderStyle(), 1);
        m_Dialog->OnEvent(id, FormEvent::MouseUp, {});
        EXPECT_EQ(picture.BorderStyle(), 0);
    }
    m_Dialog->OnEvent(IDC_IMAGE3, FormEvent::Click, {});
    EXPECT_EQ(m_Ui.unloaded.size(), 1u);
    EXPECT_TRUE(m_Ui.messages.empty());
}

}  // namespace
}  // namespace korvel::test
