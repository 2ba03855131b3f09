#include "vault_ops/change_password_dialog.h"

#include "shell/manager.h"
#include "shell/resource.h"
#include "shell/texts.h"
#include "shell/ui.h"
#include "vault_ops/new_password_rules.h"
#include "vault_ops/texts.h"

namespace tessaly {

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
    const char16_t* problem = m_Password.GetText() != m_Manager.rememberedPassword
                                  ? texts::kOldPasswordWrong
                                  : NewPasswordProblem(m_TxtPwd2.GetText(), m_TxtPwd3.GetText());
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
