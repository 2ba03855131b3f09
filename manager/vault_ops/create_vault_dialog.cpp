#include "vault_ops/create_vault_dialog.h"

#include "shell/close_vault.h"
#include "shell/manager.h"
#include "shell/resource.h"
#include "shell/texts.h"
#include "shell/ui.h"
#include "shell/vault_scan.h"
#include "support/file_probe.h"
#include "support/number_text.h"
#include "support/program_start.h"
#include "vault_ops/new_password_rules.h"
#include "vault_ops/texts.h"
#include "vault_ops/vault_drive.h"

#include <cmath>

namespace tessaly {

namespace {

// Folders, hidden, system and read-only entries all count.
constexpr DWORD kHolderMask = 23;
constexpr DWORD kHolderAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
constexpr DWORD kFixedDiskMedia = 12;
constexpr BOOL kQuickFormat = 1;

const char16_t* const kStarterFolders[] = {
    u"S:\\财务数据", u"S:\\账户信息", u"S:\\客户资料", u"S:\\即时通QQ", u"S:\\邮件MAIL", u"S:\\名片",
    u"S:\\文档",     u"S:\\照片",     u"S:\\日记",     u"S:\\影碟",     u"S:\\游戏",     u"S:\\其它",
};

}  // namespace

Text CreationEstimate(double gigabytes)
{
    if (gigabytes < 1) {
        return NumberText(std::floor(gigabytes * 60 * 0.7)) + texts::kSeconds;
    }
    const Text minutes = CutToOneDecimal(NumberText(gigabytes * 0.7));
    if (ValueOf(minutes) < 1) {
        return NumberText(ValueOf(minutes) * 60) + texts::kSeconds;
    }
    return minutes + texts::kMinutes;
}

CreateVaultDialog::CreateVaultDialog(Manager& manager, ListBox& vaultList)
    : Form(manager.ui), m_Manager(manager), m_VaultList(vaultList), m_ProgressView{manager.ui, m_Label7, m_Label5}
{
    m_Label6.SetText(texts::kTotalsAtLoad);
    m_Label5.SetText(texts::kLimitAtLoad);
    SetFormatProgressView(&m_ProgressView);
}

CreateVaultDialog::~CreateVaultDialog()
{
    SetFormatProgressView(nullptr);
}

int CreateVaultDialog::DialogId() const
{
    return IDD_CREATE;
}

void CreateVaultDialog::BindControls(ControlBinder& binder)
{
    binder.Bind(IDC_COMBO1, m_Combo1);
    binder.Bind(IDC_TXTNAME, m_TxtName);
    binder.Bind(IDC_TXTSIZE, m_TxtSize);
    binder.Bind(IDC_TXTPASSWORD, m_TxtPassword);
    binder.Bind(IDC_LABEL5, m_Label5);
    binder.Bind(IDC_LABEL6, m_Label6);
    binder.Bind(IDC_LABEL7, m_Label7);
    binder.Bind(IDC_IMAGE2, m_Image2);
    binder.Bind(IDC_IMAGE3, m_Image3);
}

void CreateVaultDialog::Load()
{
    for (const Text& root : VaultDriveRoots()) {
        const Text drive = AsciiUpper(Left(root, 2));
        m_Combo1.Add(drive);
        m_Combo1.SetText(drive);
    }
    Refresh();
}

void CreateVaultDialog::OnEvent(int controlId, FormEvent event, const EventArgs&)
{
    switch (controlId) {
    case IDC_COMBO1:
        if (event == FormEvent::Click) {
            Refresh();
        }
        break;
    case IDC_IMAGE2:
    case IDC_IMAGE3: {
        ShowPressedLook(controlId == IDC_IMAGE2 ? m_Image2 : m_Image3, event);
        if (event == FormEvent::Click) {
            if (controlId == IDC_IMAGE2) {
                Create();
            } else if (!m_Creating) {
                Unload();
            }
        }
        break;
    }
    default:
        break;
    }
}

int CreateVaultDialog::DefaultControl() const
{
    return IDC_IMAGE2;
}

bool CreateVaultDialog::QueryClose()
{
    return !m_Creating;
}

void CreateVaultDialog::Refresh()
{
    const Text& drive = m_Combo1.GetText();
    if (drive.size() < 2 || drive[1] != u':') {
        m_Ui.ShowMessage(texts::kBadDriveLetter, MessageButtons::Ok);
        return;
    }
    DWORD sectorsPerCluster = 0;
    DWORD bytesPerSector = 0;
    DWORD freeClusters = 0;
    DWORD totalClusters = 0;
    GetDiskFreeSpaceW(Wide(Left(drive, 2) + u"\\"), &sectorsPerCluster, &bytesPerSector, &freeClusters,
                      &totalClusters);
    const double bytesPerCluster = static_cast<double>(sectorsPerCluster) * bytesPerSector;
    // The cluster counts are taken as signed 32-bit numbers, as they always
    // have been here.
    const double freeGigabytes = static_cast<std::int32_t>(freeClusters) / 1024.0 / 1024.0 / 1024.0 * bytesPerCluster;
    const double totalGigabytes =
        static_cast<std::int32_t>(totalClusters) / 1024.0 / 1024.0 / 1024.0 * bytesPerCluster;
    const Text freeText = CutToOneDecimal(NumberText(freeGigabytes));
    const Text totalText = CutToOneDecimal(NumberText(totalGigabytes));
    m_FreeText = freeText;
    m_Label6.SetText(u"剩余:" + freeText + u"G，总容量:" + totalText + u"G");
    m_Label5.SetText(u"G，允许最大容量<=" + freeText + u"G");
}

bool CreateVaultDialog::Checked()
{
    const char16_t* problem = nullptr;
    Text sizeProblem;
    if (m_Combo1.GetText().empty()) {
        problem = texts::kNoDrive;
    } else if (m_TxtName.GetText().empty()) {
        problem = texts::kNoName;
    } else if (ValueOf(m_TxtSize.GetText()) == 0) {
        problem = texts::kNoSize;
    } else if (ValueOf(m_FreeText) < ValueOf(m_TxtSize.GetText())) {
        sizeProblem = Text(texts::kSizeAboveFree) + u" " + NumberText(ValueOf(m_FreeText)) + u"G";
    } else if (m_TxtPassword.GetText().size() > kMaxPasswordChars) {
        problem = texts::kPasswordTooLong;
    }
    if (problem != nullptr) {
        m_Ui.ShowMessage(problem, MessageButtons::Ok);
        return false;
    }
    if (!sizeProblem.empty()) {
        m_Ui.ShowMessage(sizeProblem, MessageButtons::Ok);
        return false;
    }
    return true;
}

bool CreateVaultDialog::HolderFolderReady(const Text& drive)
{
    const Text holder = drive + texts::kHolderName;
    if (!AnyEntry(holder, kHolderMask)) {
        CreateDirectoryW(Wide(holder), nullptr);
        CreateDirectoryW(Wide(drive + texts::kGuardFolder), nullptr);
        SetFileAttributesW(Wide(holder), kHolderAttributes);
    }
    if (AnyEntry(holder, kHolderMask)) {
        return true;
    }
    m_Ui.ShowMessage(texts::kHolderFailedHead + drive + texts::kHolderFailedTail, MessageButtons::Ok);
    return false;
}

void CreateVaultDialog::Create()
{
    if (m_Creating || !Checked()) {
        return;
    }
    const Text drive = m_Combo1.GetText();
    const Text path = drive + texts::kHolderFolder + m_TxtName.GetText() + u".sec";
    const double gigabytes = ValueOf(m_TxtSize.GetText());
    const Text estimate = CreationEstimate(gigabytes);
    if (m_Ui.ShowMessage(texts::kConfirmCreateHead + estimate + texts::kConfirmCreateTail + path,
                         MessageButtons::OkCancel) != MessageAnswer::Ok) {
        return;
    }
    if (!HolderFolderReady(drive)) {
        return;
    }
    m_Creating = true;
    const Text password = m_TxtPassword.GetText();
    if (m_Manager.pellix.SysDiskMountEx(0, path, RoundHalfEven(gigabytes * 1024), password, texts::kVaultDrive) ==
        0) {
        m_Creating = false;
        m_Ui.ShowMessage(texts::kCreateFailedHead + path + texts::kCreateFailedTail, MessageButtons::Ok);
        return;
    }
    m_Manager.rememberedPassword = password;
    // Windows may take a moment to show the new drive: give it the time
    // the open dialog gives, rather than leave a vault unformatted and
    // unlisted at once.
    const bool onVaultDrive = VaultDriveIsOpen() || WaitForVaultDrive(m_Ui);
    if (onVaultDrive) {
        FinishOnVaultDrive(path, estimate);
    }
    m_Creating = false;
    Unload();
}

void CreateVaultDialog::FinishOnVaultDrive(const Text& path, const Text& estimate)
{
    m_Label7.SetText(texts::kCreatingHead + estimate + u"...");
    m_Ui.PumpEvents();
    // The outcome reaches the user through the progress line; the creation
    // goes on either way.
    FormatVolume(u"S:", kFixedDiskMedia, texts::kFileSystem, m_TxtName.GetText(), kQuickFormat);
    m_Ui.PumpEvents();
    m_VaultList.Add(path + texts::kCapacityMarker + m_TxtSize.GetText() + u"G" + texts::kOpenMarker);
    for (const char16_t* folder : kStarterFolders) {
        CreateDirectoryW(reinterpret_cast<LPCWSTR>(folder), nullptr);
    }
    Sleep(1000);
    StartProgram(u"explorer.exe S:");
}

}  // namespace tessaly
