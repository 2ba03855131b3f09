// The open dialog ("打开保险柜"): the password for the vault that the main
// window's list shows, the mount as S:, and Explorer on it.
#pragma once

#include "shell/form.h"

namespace tessaly {

struct Manager;

class OpenVaultDialog : public Form {
public:
    // The vault comes from `vaultList`, the main window's list, which shows
    // the opened vault alone afterwards.
    OpenVaultDialog(Manager& manager, ListBox& vaultList);

    int DialogId() const override;
    void BindControls(ControlBinder& binder) override;
    void OnEvent(int controlId, FormEvent event, const EventArgs& args) override;
    int DefaultControl() const override;

    void Open();

    TextControl& TxtPassword() { return m_TxtPassword; }
    const PictureButton& Image2() const { return m_Image2; }
    const PictureButton& Image3() const { return m_Image3; }

private:
    // Empty when the vault was mounted; otherwise what to tell the user.
    Text MountOutcome(const Text& path);

    Manager& m_Manager;
    ListBox& m_VaultList;
    TextControl m_TxtPassword;
    PictureButton m_Image2;
    PictureButton m_Image3;
};

}  // namespace tessaly
