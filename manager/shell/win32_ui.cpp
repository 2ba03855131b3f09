#include "shell/win32_ui.h"

#include "shell/form.h"
#include "shell/win32_dialog_view.h"

#include <algorithm>

namespace tessaly {

Win32Ui::Win32Ui(HINSTANCE instance) : m_Instance(instance) {}

Win32Ui::~Win32Ui() = default;

MessageAnswer Win32Ui::ShowMessageBox(const Text& text, const Text& caption, MessageButtons buttons)
{
    PushAll();
    const UINT type = (buttons == MessageButtons::OkCancel ? MB_OKCANCEL : MB_OK) | MB_SETFOREGROUND;
    const int answer = MessageBoxW(OwnerWindow(), Wide(text), Wide(caption), type);
    return answer == IDOK ? MessageAnswer::Ok : MessageAnswer::Cancel;
}

void Win32Ui::ShowModal(Form& form)
{
    PushAll();
    HWND owner = OwnerWindow();
    if (owner == nullptr && m_MainView) {
        owner = m_MainView->Window();
    }
    DialogView view(*this, form, true);
    DialogBoxParamW(m_Instance, MAKEINTRESOURCEW(form.DialogId()), owner, &DialogView::Procedure,
                    reinterpret_cast<LPARAM>(&view));
}

void Win32Ui::Unload(Form& form)
{
    DialogView* view = ViewOf(form);
    if (view == nullptr) {
        return;
    }
    if (view->Modal()) {
        EndDialog(view->Window(), 0);
        return;
    }
    // The main window: with it goes every window it owns, and the process.
    DestroyWindow(view->Window());
    PostQuitMessage(0);
}

void Win32Ui::ShowForm(Form& form, bool visible)
{
    DialogView* view = ViewOf(form);
    if (view == nullptr) {
        return;
    }
    view->Push();
    ShowWindow(view->Window(), visible ? SW_SHOW : SW_HIDE);
    if (visible) {
        SetForegroundWindow(view->Window());
    }
}

void Win32Ui::PumpEvents()
{
    PushAll();
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            // Leave it for the message loop, which ends on it.
            PostQuitMessage(static_cast<int>(message.wParam));
            break;
        }
        if (!DispatchToDialogs(message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
}

void Win32Ui::SetPointer(Pointer pointer)
{
    m_PointerChosen = true;
    switch (pointer) {
    case Pointer::Default:
        m_Pointer = Pointer::Default;
        SetCursor(LoadCursorW(nullptr, IDC_ARROW));
        break;
    case Pointer::Hourglass:
        m_Pointer = Pointer::Hourglass;
        SetCursor(LoadCursorW(nullptr, IDC_WAIT));
        break;
    case Pointer::PointingHand:
        // Only for where the mouse is now; the program-wide pointer stays.
        SetCursor(LoadCursorW(nullptr, IDC_HAND));
        break;
    }
}

bool Win32Ui::TakePointerChosen()
{
    const bool chosen = m_PointerChosen;
    m_PointerChosen = false;
    return chosen;
}

int Win32Ui::PopUpMenu(const std::vector<MenuLine>& lines)
{
    PushAll();
    HMENU menu = CreatePopupMenu();
    if (menu == nullptr) {
        return 0;
    }
    for (const MenuLine& line : lines) {
        if (line.separator) {
            AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
        } else {
            AppendMenuW(menu, MF_STRING, static_cast<UINT_PTR>(line.command), Wide(line.caption));
        }
    }
    HWND owner = m_MainView ? m_MainView->Window() : nullptr;
    POINT at{};
    GetCursorPos(&at);
    // A menu of a window that is not in front would not close when the
    // user clicks elsewhere.
    SetForegroundWindow(owner);
    const int command = static_cast<int>(TrackPopupMenuEx(
        menu, TPM_RETURNCMD | TPM_NONOTIFY | TPM_RIGHTBUTTON | TPM_LEFTALIGN | TPM_TOPALIGN, at.x, at.y, owner,
        nullptr));
    PostMessageW(owner, WM_NULL, 0, 0);
    DestroyMenu(menu);
    return command;
}

void Win32Ui::EndProcess()
{
    if (m_MainView && IsWindow(m_MainView->Window())) {
        DestroyWindow(m_MainView->Window());
    }
    ExitProcess(0);
}

HWND Win32Ui::CreateMainWindow(Form& form)
{
    m_MainView = std::make_unique<DialogView>(*this, form, false);
    return CreateDialogParamW(m_Instance, MAKEINTRESOURCEW(form.DialogId()), nullptr, &DialogView::Procedure,
                              reinterpret_cast<LPARAM>(m_MainView.get()));
}

int Win32Ui::RunMessageLoop()
{
    PushAll();
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (!DispatchToDialogs(message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        PushAll();
    }
    return static_cast<int>(message.wParam);
}

void Win32Ui::Register(DialogView* view)
{
    if (std::find(m_Views.begin(), m_Views.end(), view) == m_Views.end()) {
        m_Views.push_back(view);
    }
}

void Win32Ui::Unregister(DialogView* view)
{
    m_Views.erase(std::remove(m_Views.begin(), m_Views.end(), view), m_Views.end());
}

DialogView* Win32Ui::ViewOf(const Form& form) const
{
    for (DialogView* view : m_Views) {
        if (&view->GetForm() == &form) {
            return view;
        }
    }
    return nullptr;
}

HWND Win32Ui::OwnerWindow() const
{
    for (auto view = m_Views.rbegin(); view != m_Views.rend(); ++view) {
        if (IsWindowVisible((*view)->Window())) {
            return (*view)->Window();
        }
    }
    return nullptr;
}

void Win32Ui::PushAll()
{
    for (DialogView* view : m_Views) {
        view->Push();
    }
}

bool Win32Ui::DispatchToDialogs(MSG& message)
{
    for (auto view = m_Views.rbegin(); view != m_Views.rend(); ++view) {
        if (IsDialogMessageW((*view)->Window(), &message)) {
            return true;
        }
    }
    return false;
}

}  // namespace tessaly
