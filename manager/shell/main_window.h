// The main window: the vault list, the four buttons, the tray icon with its
// pop-up menu, the hotkey, and closing that only hides the window.
#pragma once

#include "shell/form.h"
#include "shell/ui.h"

#include <shellapi.h>

#include <vector>

namespace tessaly {

struct Manager;

class MainWindow : public Form {
public:
    explicit MainWindow(Manager& manager);

    // The real window and its icon, before Load.
    void Attach(HWND window, HICON icon);
    // The program's argument text ("/h" starts hidden).
    void SetArguments(Text arguments) { m_Arguments = std::move(arguments); }

    int DialogId() const override;
    void BindControls(ControlBinder& binder) override;
    // Starts the manager: Run entry, driver service, vault scan, tray icon,
    // hotkey, window procedure. Ends the process when the driver fails.
    void Load() override;
    void OnEvent(int controlId, FormEvent event, const EventArgs& args) override;
    int DefaultControl() const override;
    // The close box only hides the window; the first close after it was
    // last shown from the tray is refused, so the manager stays.
    bool QueryClose() override;

    // The notification area's report, in the low word of the mouse-move
    // message's second parameter. Acted on only while the window is hidden,
    // since a visible window gets real mouse movement that way.
    void OnTrayCallback(unsigned code);
    // Pops up the menu at the mouse position, as it stands, and carries out
    // the command chosen.
    void PopUpMenu();
    void OnMenuCommand(int command);
    // The menu's lines: its first three shown or not as the last pop-up
    // left them.
    std::vector<MenuLine> MenuLines() const;

    bool Visible() const { return m_Visible; }
    ListBox& List1() { return m_List1; }
    int CloseRequests() const { return m_CloseRequests; }
    const NOTIFYICONDATAA& TrayRecord() const { return m_TrayRecord; }
    HWND Window() const { return m_Window; }

private:
    void Show();
    void Hide();
    void OpenSelectedVault();
    void CloseVaultClicked();
    void ShowAdvice(bool readMe);

    Manager& m_Manager;
    HWND m_Window = nullptr;
    HICON m_Icon = nullptr;
    Text m_Arguments;
    ListBox m_List1;
    bool m_Visible = true;
    int m_CloseRequests = 0;
    bool m_MenuHeadVisible = true;
    NOTIFYICONDATAA m_TrayRecord{};
};

}  // namespace tessaly
