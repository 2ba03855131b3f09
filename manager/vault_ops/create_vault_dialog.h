// The create dialog ("Korvel保险柜创建"): a new vault on a local fixed
// drive, made, mounted as S:, formatted, listed and shown in Explorer.
#pragma once

#include "shell/form.h"
#include "vault_ops/format_disk.h"

namespace tessaly {

struct Manager;

// The confirmation's time estimate for a vault of `gigabytes`, at 0.7
// minutes a gigabyte: "21秒钟" for 0.5, "1.4分钟" for 2.
Text CreationEstimate(double gigabytes);

class CreateVaultDialog : public Form {
public:
    // New vaults are added to `vaultList`, the main window's list.
    CreateVaultDialog(Manager& manager, ListBox& vaultList);
    ~CreateVaultDialog() override;

    int DialogId() const override;
    void BindControls(ControlBinder& binder) override;
    // Offers the fixed drives except A:, the last one chosen, then Refresh.
    void Load() override;
    void OnEvent(int controlId, FormEvent event, const EventArgs& args) override;
    int DefaultControl() const override;
    bool QueryClose() override;

    // Shows the chosen drive's free and total space.
    void Refresh();
    void Create();

    ComboBox& Combo1() { return m_Combo1; }
    TextControl& TxtName() { return m_TxtName; }
    TextControl& TxtSize() { return m_TxtSize; }
    TextControl& TxtPassword() { return m_TxtPassword; }
    const TextControl& Label5() const { return m_Label5; }
    const TextControl& Label6() const { return m_Label6; }
    const TextControl& Label7() const { return m_Label7; }
    const PictureButton& Image2() const { return m_Image2; }
    const PictureButton& Image3() const { return m_Image3; }
    const Text& FreeText() const { return m_FreeText; }

private:
    // The five checks; the first that fails is told and ends the creation.
    bool Checked();
    // The holder folder "X:\autorun.inf" (hidden, system, read-only) with
    // its guard folder, made when missing. False, told, when it is not there.
    bool HolderFolderReady(const Text& drive);
    void FinishOnVaultDrive(const Text& path, const Text& estimate);

    Manager& m_Manager;
    ListBox& m_VaultList;
    ComboBox m_Combo1;
    TextControl m_TxtName;
    TextControl m_TxtSize;
    TextControl m_TxtPassword;
    TextControl m_Label5;
    TextControl m_Label6;
    TextControl m_Label7;
    PictureButton m_Image2;
    PictureButton m_Image3;
    // The free space as the last refresh showed it, in gigabytes.
    Text m_FreeText;
    // A creation runs: it lets events run during the format, and neither a
    // second creation nor closing the dialog may start then.
    bool m_Creating = false;
    FormatProgressView m_ProgressView;
};

}  // namespace tessaly
