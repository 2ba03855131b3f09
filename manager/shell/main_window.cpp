#include "shell/main_window.h"

#include "shell/advice_dialog.h"
#include "shell/close_vault.h"
#include "shell/exit_flow.h"
#include "shell/manager.h"
#include "shell/resource.h"
#include "shell/startup.h"
#include "shell/sub_class.h"
#include "shell/texts.h"
#include "shell/tray_icon.h"
#include "shell/vault_scan.h"
#include "support/program_start.h"
#include "vault_ops/change_password_dialog.h"
#include "vault_ops/create_vault_dialog.h"
#include "vault_ops/open_vault_dialog.h"

namespace tessaly {

MainWindow::MainWindow(Manager& manager) : Form(manager.ui), m_Manager(manager) {}

void MainWindow::Attach(HWND window, HICON icon)
{
    m_Window = window;
    m_Icon = icon;
}

int MainWindow::DialogId() const
{
    return IDD_MAIN;
}

void MainWindow::BindControls(ControlBinder& binder)
{
    binder.Bind(IDC_LIST1, m_List1);
}

void MainWindow::Load()
{
    m_Visible = m_Arguments != texts::kHiddenSwitch;
    UpdateRunEntry(m_Manager);
    if (!StartDriverService(m_Manager)) {
        m_Ui.EndProcess();
        return;
    }
    for (Text& line : ScanForVaults()) {
        m_List1.Add(std::move(line));
    }
    m_TrayRecord = MakeTrayRecord(m_Window, m_Icon);
    Shell_NotifyIconA(NIM_ADD, &m_TrayRecord);
    // When another program holds Alt+Ctrl+Y, the hotkey simply does not work.
    RegisterHotKey(m_Window, kHotkeyId, kHotkeyModifiers, kHotkeyKey);
    SetHotkeyAction([this] { PopUpMenu(); });
    HookWindow(m_Window);
}

void MainWindow::OnEvent(int controlId, FormEvent event, const EventArgs& args)
{
    switch (controlId) {
    case 0:
        if (event == FormEvent::MouseMove) {
            OnTrayCallback(static_cast<unsigned>(args.x) & 0xFFFF);
        }
        break;
    case IDC_COMMAND1:
        if (event == FormEvent::Click) {
            CreateVaultDialog dialog(m_Manager, m_List1);
            m_Ui.ShowModal(dialog);
        }
        break;
    case IDC_COMMAND2:
        if (event == FormEvent::Click) {
            OpenSelectedVault();
        }
        break;
    case IDC_COMMAND3:
        if (event == FormEvent::Click) {
            CloseVaultClicked();
        }
        break;
    case IDC_COMMAND4:
        if (event == FormEvent::Click) {
            m_MenuHeadVisible = false;
            PopUpMenu();
        }
        break;
    case IDC_LIST1:
        if (event == FormEvent::DoubleClick) {
            OpenSelectedVault();
        } else if (event == FormEvent::MouseMove && args.buttons == 0) {
            m_Ui.SetPointer(Pointer::PointingHand);
        }
        break;
    default:
        break;
    }
}

int MainWindow::DefaultControl() const
{
    return IDC_COMMAND2;
}

bool MainWindow::QueryClose()
{
    Hide();
    const bool refuse = m_CloseRequests == 0;
    ++m_CloseRequests;
    return !refuse;
}

void MainWindow::OnTrayCallback(unsigned code)
{
    if (m_Visible) {
        return;
    }
    if (code == kTrayLeftButtonDown) {
        m_CloseRequests = 0;
        Show();
    } else if (code == kTrayRightButtonDown) {
        m_MenuHeadVisible = true;
        PopUpMenu();
    }
}

std::vector<MenuLine> MainWindow::MenuLines() const
{
    std::vector<MenuLine> lines;
    if (m_MenuHeadVisible) {
        lines.push_back({IDM_CLOSE_MENU, u"-关闭菜单-", false});
        lines.push_back({0, {}, true});
        lines.push_back({IDM_OPEN, u"打开软件", false});
    }
    const MenuLine rest[] = {
        {0, {}, true},  {IDM_PASSWORD, u"修改密码", false},  {0, {}, true}, {IDM_BACKUP, u"备份还原", false},
        {0, {}, true},  {IDM_UNINSTALL, u"卸载软件", false}, {0, {}, true}, {IDM_README, u"使用说明", false},
        {0, {}, true},  {IDM_EXIT, u"退出", false},
    };
    lines.insert(lines.end(), std::begin(rest), std::end(rest));
    return lines;
}

void MainWindow::PopUpMenu()
{
    const int command = m_Ui.PopUpMenu(MenuLines());
    if (command != 0) {
        OnMenuCommand(command);
    }
}

void MainWindow::OnMenuCommand(int command)
{
    const ShellParts parts{m_Window, m_TrayRecord};
    switch (command) {
    case IDM_OPEN:
        m_CloseRequests = 0;
        Show();
        break;
    case IDM_PASSWORD:
        if (VaultDriveIsOpen()) {
            ChangePasswordDialog dialog(m_Manager);
            m_Ui.ShowModal(dialog);
        } else {
            m_Ui.ShowMessage(texts::kOpenVaultFirst, MessageButtons::Ok);
        }
        break;
    case IDM_BACKUP:
        ShowAdvice(false);
        break;
    case IDM_UNINSTALL:
        UninstallManager(m_Manager, parts);
        break;
    case IDM_README:
        ShowAdvice(true);
        // The help file is the shell's to open; a missing one is not ours
        // to report.
        ShellOpen(m_Manager.programFolder + texts::kHelpFile);
        break;
    case IDM_EXIT:
        ExitManager(m_Manager, parts);
        break;
    default:  // IDM_CLOSE_MENU: the menu closes and nothing else happens
        break;
    }
}

void MainWindow::Show()
{
    m_Visible = true;
    m_Ui.ShowForm(*this, true);
}

void MainWindow::Hide()
{
    m_Visible = false;
    m_Ui.ShowForm(*this, false);
}

void MainWindow::OpenSelectedVault()
{
    if (m_List1.Count() == 0) {
        m_Ui.ShowMessage(texts::kNoVault, MessageButtons::Ok);
        return;
    }
    const int index = m_List1.Selected() != ListBox::kNone ? m_List1.Selected() : 0;
    const Text& entry = m_List1.Item(index);
    if (entry.empty() || entry.substr(1, 2) != u":\\") {
        m_Ui.ShowMessage(texts::kNoVault, MessageButtons::Ok);
        return;
    }
    if (Contains(entry, texts::kDriveMarker)) {
        StartProgram(u"explorer.exe " + Right(entry, 2));
        return;
    }
    OpenVaultDialog dialog(m_Manager, m_List1);
    m_Ui.ShowModal(dialog);
}

void MainWindow::CloseVaultClicked()
{
    CloseVault(m_Manager, m_List1);
}

void MainWindow::ShowAdvice(bool readMe)
{
    AdviceDialog dialog(m_Ui, readMe ? Advice::ReadMe : Advice::Backup);
    m_Ui.ShowModal(dialog);
}

}  // namespace tessaly
