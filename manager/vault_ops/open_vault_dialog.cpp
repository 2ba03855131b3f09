#include "vault_ops/open_vault_dialog.h"

#include "shell/manager.h"
#include "shell/resource.h"
#include "shell/texts.h"
#include "shell/ui.h"
#include "support/file_probe.h"
#include "support/program_start.h"
#include "vault_ops/new_password_rules.h"
#include "vault_ops/texts.h"
#include "vault_ops/vault_drive.h"

namespace tessaly {

namespace {

// Normal, read-only, hidden and system files; not folders.
constexpr DWORD kVaultFileMask = 7;
constexpr char16_t kEnter = 13;

}  // namespace

OpenVaultDialog::OpenVaultDialog(Manager& manager, ListBox& vaultList)
    : Form(manager.ui), m_Manager(manager), m_VaultList(vaultList)
{
}

int OpenVaultDialog::DialogId() const
{
    return IDD_OPEN;
}

void OpenVaultDialog::BindControls(ControlBinder& binder)
{
    binder.Bind(IDC_TXTPASSWORD, m_TxtPassword);
    binder.Bind(IDC_IMAGE2, m_Image2);
    binder.Bind(IDC_IMAGE3, m_Image3);
}

void OpenVaultDialog::OnEvent(int controlId, FormEvent event, const EventArgs& args)
{
    if (controlId == IDC_TXTPASSWORD && event == FormEvent::KeyPress && args.key == kEnter) {
        Open();
        return;
    }
    if (controlId != IDC_IMAGE2 && controlId != IDC_IMAGE3) {
        return;
    }
    ShowPressedLook(controlId == IDC_IMAGE2 ? m_Image2 : m_Image3, event);
    if (event == FormEvent::Click) {
        if (controlId == IDC_IMAGE2) {
            Open();
        } else {
            Unload();
        }
    }
}

int OpenVaultDialog::DefaultControl() const
{
    return IDC_IMAGE2;
}

void OpenVaultDialog::Open()
{
    if (m_VaultList.Count() == 0) {
        m_Ui.ShowMessage(texts::kNoVault, MessageButtons::Ok);
        return;
    }
    const int index = m_VaultList.Selected() != ListBox::kNone ? m_VaultList.Selected() : 0;
    const Text entry = m_VaultList.Item(index);
    if (entry.empty() || entry.substr(1, 2) != u":\\") {
        m_Ui.ShowMessage(texts::kNoVault, MessageButtons::Ok);
        return;
    }
    if (m_TxtPassword.GetText().size() > kMaxPasswordChars) {
        m_Ui.ShowMessage(texts::kPasswordTooLong, MessageButtons::Ok);
        return;
    }
    if (AsciiUpper(entry[0]) == u'S') {
        m_Ui.ShowMessage(texts::kVaultOnS, MessageButtons::Ok);
        return;
    }

    m_Image2.SetBorderStyle(1);
    m_Ui.SetPointer(Pointer::Hourglass);
    const Text outcome = MountOutcome(Before(entry, texts::kCapacityMarker));
    if (!outcome.empty()) {
        m_Ui.ShowMessage(outcome, MessageButtons::Ok);
    } else {
        if (WaitForVaultDrive(m_Ui)) {
            m_VaultList.Clear();
            m_VaultList.Add(entry + texts::kOpenMarker);
            m_Ui.PumpEvents();
            Sleep(1000);
            StartProgram(u"explorer.exe S:");
        }
        Unload();
    }
    m_Ui.SetPointer(Pointer::Default);
    m_Image2.SetBorderStyle(0);
}

Text OpenVaultDialog::MountOutcome(const Text& path)
{
    const UINT driveType = GetDriveTypeW(Wide(Left(path, 2) + u"\\"));
    if (driveType != DRIVE_FIXED && driveType != DRIVE_REMOVABLE) {
        return texts::kWrongDriveHead + path + texts::kBracketTail;
    }
    if (!AnyEntry(path, kVaultFileMask)) {
        return texts::kMissingFileHead + path + texts::kBracketTail;
    }
    // Remembered at every attempt, also one that fails.
    m_Manager.rememberedPassword = m_TxtPassword.GetText();
    if (m_Manager.pellix.SysDiskMountEx(0, path, 0, m_Manager.rememberedPassword, texts::kVaultDrive) == 0) {
        return texts::kOpenRefused;
    }
    return {};
}

}  // namespace tessaly
