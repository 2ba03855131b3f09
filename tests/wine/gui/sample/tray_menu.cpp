#include "tray_menu.h"

#include <shellapi.h>

#include <cwchar>

#include "sample_ids.h"
#include "sample_texts.h"

namespace sample {
namespace {

// Owns a menu handle.
class Menu {
public:
    Menu() : m_Menu(CreatePopupMenu()) {}
    ~Menu() { DestroyMenu(m_Menu); }
    Menu(const Menu&) = delete;
    Menu& operator=(const Menu&) = delete;
    HMENU Get() const { return m_Menu; }

private:
    HMENU m_Menu;
};

}  // namespace

TrayIcon::TrayIcon(HWND owner, HICON icon)
{
    m_Data.cbSize = sizeof m_Data;
    m_Data.hWnd = owner;
    m_Data.uID = SAMPLE_TRAY_ICON_ID;
    m_Data.uFlags = NIF_ICON | NIF_MESSAGE | NIF_TIP;
    m_Data.uCallbackMessage = WM_SAMPLE_TRAY;
    m_Data.hIcon = icon;
    wcsncpy(m_Data.szTip, kTrayTip, ARRAYSIZE(m_Data.szTip) - 1);
    m_Added = Shell_NotifyIconW(NIM_ADD, &m_Data) != FALSE;
}

TrayIcon::~TrayIcon()
{
    if (m_Added) {
        Shell_NotifyIconW(NIM_DELETE, &m_Data);
    }
}

UINT ShowTrayMenu(HWND owner, std::wstring& chosenText)
{
    Menu menu;
    AppendMenuW(menu.Get(), MF_STRING, IDM_OPEN, kMenuOpen);
    AppendMenuW(menu.Get(), MF_STRING, IDM_CLOSE, kMenuClose);
    AppendMenuW(menu.Get(), MF_SEPARATOR, 0, nullptr);
    AppendMenuW(menu.Get(), MF_STRING | MF_GRAYED, IDM_DISABLED, kMenuDisabled);
    AppendMenuW(menu.Get(), MF_STRING, IDM_EXIT, kMenuExit);

    POINT at;
    GetCursorPos(&at);
    // Without the foreground the menu would not close when the user clicks
    // elsewhere, and keys would not reach it.
    SetForegroundWindow(owner);
    const UINT command = TrackPopupMenu(menu.Get(), TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY, at.x, at.y, 0,
                                        owner, nullptr);
    PostMessageW(owner, WM_NULL, 0, 0);

    wchar_t text[128] = L"";
    if (command != 0) {
        GetMenuStringW(menu.Get(), command, text, ARRAYSIZE(text), MF_BYCOMMAND);
    }
    chosenText = text;
    return command;
}

}  // namespace sample
