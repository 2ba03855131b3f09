#include "vault_ops/change_password_dialog.h"

#include "shell/manager.h"
#include "shell/resource.h"
#include "shell/texts.h"
#include "shell/ui.h"
#include "vault_ops/texts.h"

namespace tessaly {

namespace {

constexpr std::size_t kMaxPasswordChars = 15;
constexpr std::size_t kMinPasswordChars = 8;

}  // namespace

ChangePasswordDialog::ChangePasswordDialog(Manager& manager) : Form(manager.ui), m_Manager(manager) {}

int ChangePasswordDialog::DialogId() const
{
    return IDD_PASSWORD;
}

void ChangePasswordDialog::BindControls(ControlBinder& binder)
{
    binder.Bind(IDC_PASSWORD, m_Password);
    binder.Bind(IDC_TXTPWD2, m_TxtPwd2);
    binder.Bind(IDC_TXTPWD3, m_TxtPwd3);
    binder.Bind(IDC_IMAGE2, m_Image2);
    binder.Bind(IDC_IMAGE3, m_Image3);
}

void ChangePasswordDialog::OnEvent(int controlId, FormEvent event, const EventArgs&)
{
    if (controlId != IDC_IMAGE2 && controlId != IDC_IMAGE3) {
        return;
    }
    ShowPressedLook(controlId == IDC_IMAGE2 ? m_Image2 : m_Image3, event);
    if (event == FormEvent::Click) {
        if (controlId == IDC_IMAGE2) {
            Change();
        } else {
            Unload();
        }
    }
}

int ChangePasswordDialog::DefaultControl() const
{
    return IDC_IMAGE2;
}

bool ChangePasswordDialog::Checked()
{
    const Text& newPassword = m_TxtPwd2.GetText();
    const char16_t* problem = nullptr;
    if (m_Password.GetText() != m_Manager.rememberedPassword) {
        problem = texts::kOldPasswordWrong;
    } else if (newPassword.size() > kMaxPasswordChars) {
        problem = texts::kNewPasswordTooLong;
    } else if (newPassword != m_TxtPwd3.GetText()) {
        problem = texts::kNewPasswordsDiffer;
    } else if (newPassword.empty() || m_TxtPwd3.GetText().empty()) {
        problem = texts::kNewPasswordEmpty;
    } else if (newPassword.size() < kMinPasswordChars) {
        problem = texts::kNewPasswordTooShort;
    } else if (Contains(newPassword, u"^")) {
        problem = texts::kNewPasswordCaret;
    }
    if (problem != nullptr) {
        m_Ui.ShowMessage(problem, MessageButtons::Ok);
        return false;
    }
    return true;
}

void ChangePasswordDialog::Change()
{
    if (!Checked()) {
        return;
    }
    if (m_Ui.ShowMessage(texts::kConfirmChange, MessageButtons::OkCancel) != MessageAnswer::Ok) {
        return;
    }
    // The remembered password stays the one the vault was opened with: a
    // second change in the same run still expects that one.
    if (m_Manager.pellix.SysDiskChangePWD(texts::kVaultDrive, m_TxtPwd3.GetText()) != 0) {
        m_Ui.ShowMessage(texts::kChangedHead + m_TxtPwd2.GetText() + texts::kChangedTail, MessageButtons::Ok);
        Unload();
        return;
    }
    m_Ui.ShowMessage(texts::kChangeFailed, MessageButtons::Ok);
}

}  // namespace tessaly
