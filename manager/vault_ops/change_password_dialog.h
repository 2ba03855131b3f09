// The change-password dialog ("设置保险柜密盘") for the vault open as S:.
#pragma once

#include "shell/form.h"

namespace tessaly {

struct Manager;

class ChangePasswordDialog : public Form {
public:
    explicit ChangePasswordDialog(Manager& manager);

    int DialogId() const override;
    void BindControls(ControlBinder& binder) override;
    void OnEvent(int controlId, FormEvent event, const EventArgs& args) override;
    int DefaultControl() const override;

    void Change();

    TextControl& OldPassword() { return m_Password; }
    TextControl& TxtPwd2() { return m_TxtPwd2; }
    TextControl& TxtPwd3() { return m_TxtPwd3; }
    const PictureButton& Image2() const { return m_Image2; }
    const PictureButton& Image3() const { return m_Image3; }

private:
    // The six checks in their order; the first that fails is told.
    bool Checked();

    Manager& m_Manager;
    TextControl m_Password;
    TextControl m_TxtPwd2;
    TextControl m_TxtPwd3;
    PictureButton m_Image2;
    PictureButton m_Image3;
};

}  // namespace tessaly
