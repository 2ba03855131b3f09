// The sample's notification-area icon and the pop-up menu that its callback
// and the hotkey show.
#pragma once

#include <windows.h>

#include <string>

namespace sample {

// Adds the icon on construction and removes it on destruction.
class TrayIcon {
public:
    TrayIcon(HWND owner, HICON icon);
    ~TrayIcon();
    TrayIcon(const TrayIcon&) = delete;
    TrayIcon& operator=(const TrayIcon&) = delete;

    bool Added() const { return m_Added; }

private:
    NOTIFYICONDATAW m_Data{};
    bool m_Added = false;
};

// Shows the menu at the pointer and waits for the choice. Returns the chosen
// command (0 when the menu was dismissed) and its text in `chosenText`.
UINT ShowTrayMenu(HWND owner, std::wstring& chosenText);

}  // namespace sample
