// The vault dialogs of the real manager: create (its checks, then a new
// vault up to the mount), open (a wrong password, then the right one), and
// change password, reached with S: taken by a folder, since Wine never shows
// a vault as a fixed drive.
#include "tessaly_fixture.h"

#include "../../../manager/shell/resource.h"
#include "pellix_binding.h"
#include "wine_support.h"

namespace tessaly_wine {
namespace {

constexpr wchar_t kCreateCaption[] = L"Korvel保险柜创建";
constexpr wchar_t kOpenCaption[] = L"打开保险柜";
constexpr wchar_t kPasswordCaption[] = L"设置保险柜密盘";

// Removes the holder folder and what is in it, so that the create dialog
// makes it afresh.
void RemoveHolderFolder()
{
    WIN32_FIND_DATAW found{};
    HANDLE find = FindFirstFileW(L"C:\\autorun.inf\\*", &found);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = found.cFileName;
            if (name == L"." || name == L"..") {
                continue;
            }
            const std::wstring path = L"C:\\autorun.inf\\" + name;
            SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveDirectoryW((L"\\\\?\\" + path).c_str());
            } else {
                DeleteFileW(path.c_str());
            }
        } while (FindNextFileW(find, &found));
        FindClose(find);
    }
    SetFileAttributesW(L"C:\\autorun.inf", FILE_ATTRIBUTE_NORMAL);
    RemoveDirectoryW(L"C:\\autorun.inf");
}

class VaultDialogsTest : public TessalyTest {
protected:
    void TearDown() override
    {
        TessalyTest::TearDown();
        if (m_SMapped) {
            EXPECT_TRUE(gui::MapDriveToScratchFolder('S', false));
            return;
        }
        // Under Wine the manager never sees S: as a fixed drive, so it never
        // dismounts: the test does.
        CloseVaultAsS();
    }

    bool m_SMapped = false;

    void Type(HWND dialog, int id, const std::wstring& text) { EXPECT_TRUE(gui::SetControlText(dialog, id, text)); }

    // Clicks the picture button and expects this message, then answers OK.
    void ExpectRefusal(HWND dialog, int button, const std::wstring& text, const std::string& shot = {})
    {
        ASSERT_TRUE(gui::ClickButton(dialog, button));
        auto box = ExpectMessage(text);
        ASSERT_TRUE(box);
        if (!shot.empty()) {
            Screenshot(shot);
        }
        ASSERT_TRUE(gui::AnswerMessageBox(*box, IDOK));
    }

    static void ChooseDrive(HWND dialog, const wchar_t* drive)
    {
        HWND combo = GetDlgItem(dialog, IDC_COMBO1);
        ASSERT_NE(SendMessageW(combo, CB_SELECTSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(drive)),
                  CB_ERR);
        SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_COMBO1, CBN_SELCHANGE), reinterpret_cast<LPARAM>(combo));
    }
};

TEST_F(VaultDialogsTest, CreateChecksItsInputThenMakesTheVaultUpToTheMount)
{
    RemoveHolderFolder();
    StartManager();
    ASSERT_TRUE(gui::ClickButton(m_Main, IDC_COMMAND1));
    HWND dialog = WaitForDialog(kCreateCaption);
    ASSERT_NE(dialog, nullptr);
    ChooseDrive(dialog, L"C:");
    const std::string totals = gui::Utf8(gui::ControlText(dialog, IDC_LABEL6));
    EXPECT_EQ(totals.rfind("剩余:", 0), 0u) << totals;
    EXPECT_EQ(GetWindowLongPtrW(GetDlgItem(dialog, IDC_TXTPASSWORD), GWL_STYLE) & ES_PASSWORD,
              static_cast<LONG_PTR>(ES_PASSWORD));
    EXPECT_EQ(SendMessageW(GetDlgItem(dialog, IDC_TXTPASSWORD), EM_GETPASSWORDCHAR, 0, 0), L'*');
    Screenshot("create-dialog");

    ExpectRefusal(dialog, IDC_IMAGE2, L"保险柜名称不能为空!", "message-create-no-name");
    Type(dialog, IDC_TXTNAME, L"新建");
    Type(dialog, IDC_TXTSIZE, L"abc");
    ExpectRefusal(dialog, IDC_IMAGE2, L"请指定保险柜容量大小!");
    Type(dialog, IDC_TXTSIZE, L".0078125");
    Type(dialog, IDC_TXTPASSWORD, L"0123456789abcdef");
    ExpectRefusal(dialog, IDC_IMAGE2, L"保险柜密码长度不能超过15位！");
    Type(dialog, IDC_TXTPASSWORD, L"Secret12");

    ASSERT_TRUE(gui::ClickButton(dialog, IDC_IMAGE2));
    auto confirm = ExpectMessage(
        L"创建此保险柜大约耗时0秒钟，一旦开始创建切勿中断，请确认要继续吗？--C:\\autorun.inf\\新建.sec", {IDOK, IDCANCEL});
    ASSERT_TRUE(confirm);
    Screenshot("message-confirm-create");
    ASSERT_TRUE(gui::AnswerMessageBox(*confirm, IDOK));
    // The library makes and mounts the vault; S: then never becomes a fixed
    // drive under Wine, so the dialog waits its ten seconds and closes.
    ASSERT_TRUE(gui::WaitForWindowGone(dialog, 30000));
    wt::WineNote("no format, list entry or Explorer after the mount: S: is never a fixed drive under Wine");

    const DWORD holder = GetFileAttributesW(L"C:\\autorun.inf");
    ASSERT_NE(holder, INVALID_FILE_ATTRIBUTES);
    const DWORD hiddenAndSystem = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    EXPECT_EQ(holder & hiddenAndSystem, hiddenAndSystem);
    if ((holder & FILE_ATTRIBUTE_READONLY) == 0) {
        wt::WineNote("Wine keeps no read-only attribute on folders: the holder folder shows hidden and system only");
    }
    // The guard folder, by the name it got.
    std::wstring guard;
    WIN32_FIND_DATAW found{};
    HANDLE find = FindFirstFileW(L"C:\\autorun.inf\\勿删该文件夹*", &found);
    if (find != INVALID_HANDLE_VALUE) {
        guard = found.cFileName;
        FindClose(find);
    }
    ASSERT_FALSE(guard.empty()) << "no guard folder";
    EXPECT_NE(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY, 0u);
    if (guard != L"勿删该文件夹...") {
        wt::WineNote("the guard folder is named \"%s\" here: Wine drops a trailing dot of a folder name even before "
                     "a final backslash, where Windows keeps all three",
                     gui::Utf8(guard).c_str());
    }
    WIN32_FILE_ATTRIBUTE_DATA vault{};
    ASSERT_TRUE(GetFileAttributesExW(L"C:\\autorun.inf\\新建.sec", GetFileExInfoStandard, &vault));
    EXPECT_EQ(vault.nFileSizeLow, 8u * 1024 * 1024 + 1024);
    EXPECT_EQ(gui::ListBoxItems(m_Main, IDC_LIST1).size(), 0u) << "the list had nothing and gained nothing";

    CloseVaultAsS();
    DeleteFileW(L"C:\\autorun.inf\\新建.sec");
}

TEST_F(VaultDialogsTest, OpenRefusesAWrongPasswordAndMountsWithTheRightOne)
{
    StartManager();
    ASSERT_TRUE(gui::SelectListItem(m_Main, IDC_LIST1, 0));
    ASSERT_TRUE(gui::ClickButton(m_Main, IDC_COMMAND2));
    HWND dialog = WaitForDialog(kOpenCaption);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(SendMessageW(GetDlgItem(dialog, IDC_TXTPASSWORD), EM_GETPASSWORDCHAR, 0, 0), L'*');
    Type(dialog, IDC_TXTPASSWORD, L"wrong");
    Screenshot("open-dialog");
    ExpectRefusal(dialog, IDC_IMAGE2, L"打开保险柜失败，请检查密码是否正确?!", "message-wrong-password");
    EXPECT_TRUE(IsWindowVisible(dialog)) << "the dialog stays for another try";

    // The right password in another letter case mounts the vault.
    Type(dialog, IDC_TXTPASSWORD, L"sECRET12");
    ASSERT_TRUE(gui::ClickButton(dialog, IDC_IMAGE2));
    ASSERT_TRUE(gui::WaitForWindowGone(dialog, 30000));
    EXPECT_EQ(wt::DosTarget(L"S:"), L"\\Device\\VantorDevice0");
    EXPECT_EQ(gui::Utf8(gui::ListBoxItems(m_Main, IDC_LIST1).at(0)), "C:\\autorun.inf\\工作.sec，保险柜容量:8M")
        << "S: never became a fixed drive, so the list stays";
    wt::WineNote("the opened vault is mounted but S: is not a fixed drive under Wine: no list mark, no Explorer");
}

TEST_F(VaultDialogsTest, WithSTakenByAnotherDiskTheManagerOffersThePasswordDialogAndCannotClose)
{
    // S: a plain fixed drive, as a second hard disk: the manager takes it for
    // an open vault, which is the only way to its password dialog under Wine.
    ASSERT_TRUE(gui::MapDriveToScratchFolder('S', true));
    m_SMapped = true;
    ASSERT_EQ(GetDriveTypeW(L"S:\\"), static_cast<UINT>(DRIVE_FIXED));
    StartManager();

    std::vector<gui::MenuItem> items;
    HWND menu = PopUpMenuByHotkey(items);
    ASSERT_NE(menu, nullptr);
    ASSERT_TRUE(gui::ChooseMenuItem(menu, L"修改密码"));
    HWND dialog = WaitForDialog(kPasswordCaption);
    ASSERT_NE(dialog, nullptr);
    for (int id : {IDC_PASSWORD, IDC_TXTPWD2, IDC_TXTPWD3}) {
        EXPECT_EQ(SendMessageW(GetDlgItem(dialog, id), EM_GETPASSWORDCHAR, 0, 0), L'*');
    }
    Type(dialog, IDC_TXTPWD2, L"12345678");
    Type(dialog, IDC_TXTPWD3, L"12345679");
    Screenshot("change-password-dialog");
    ExpectRefusal(dialog, IDC_IMAGE2, L"两次输入的新密码不一致！", "message-passwords-differ");
    Type(dialog, IDC_TXTPWD3, L"12345678");
    ASSERT_TRUE(gui::ClickButton(dialog, IDC_IMAGE2));
    auto confirm = ExpectMessage(L"确认要修改密码吗？", {IDOK, IDCANCEL});
    ASSERT_TRUE(confirm);
    ASSERT_TRUE(gui::AnswerMessageBox(*confirm, IDOK));
    auto failed = ExpectMessage(L"密码修改失败！");
    ASSERT_TRUE(failed);
    ASSERT_TRUE(gui::AnswerMessageBox(*failed, IDOK));
    ASSERT_TRUE(gui::ClickButton(dialog, IDC_IMAGE3));
    EXPECT_TRUE(gui::WaitForWindowGone(dialog));

    // The close button: S: is no vault, so neither dismount works. Windows
    // would close the Explorer windows on S: first; Wine has none.
    ASSERT_TRUE(gui::ClickButton(m_Main, IDC_COMMAND3));
    auto inUse = ExpectMessage(L"检测到保险柜S:还在使用中，请关闭与[S:]相关的所有窗口和文件！");
    ASSERT_TRUE(inUse);
    Screenshot("message-vault-in-use");
    ASSERT_TRUE(gui::AnswerMessageBox(*inUse, IDOK));
    EXPECT_EQ(GetDriveTypeW(L"S:\\"), static_cast<UINT>(DRIVE_FIXED));
}

}  // namespace
}  // namespace tessaly_wine
