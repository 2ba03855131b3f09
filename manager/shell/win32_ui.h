// The manager's user interface on Windows: forms shown in dialogs built
// from the resource script, message boxes, the pop-up menu.
#pragma once

#include "shell/ui.h"

#include <windows.h>

#include <memory>
#include <vector>

namespace tessaly {

class DialogView;

class Win32Ui final : public Ui {
public:
    explicit Win32Ui(HINSTANCE instance);
    ~Win32Ui();

    // ^Ui
    MessageAnswer ShowMessageBox(const Text& text, const Text& caption, MessageButtons buttons) override;
    void ShowModal(Form& form) override;
    void Unload(Form& form) override;
    void ShowForm(Form& form, bool visible) override;
    void PumpEvents() override;
    void SetPointer(Pointer pointer) override;
    int PopUpMenu(const std::vector<MenuLine>& lines) override;
    void EndProcess() override;

    // The main window: a modeless dialog, created hidden, that lives until
    // the process ends.
    HWND CreateMainWindow(Form& form);
    // Shows every change of every form and dispatches messages until the
    // main window unloads.
    int RunMessageLoop();

    HINSTANCE Instance() const { return m_Instance; }
    Pointer CurrentPointer() const { return m_Pointer; }
    // Set by SetPointer: lets a view tell whether an event chose a pointer.
    bool TakePointerChosen();
    void Register(DialogView* view);
    void Unregister(DialogView* view);

private:
    DialogView* ViewOf(const Form& form) const;
    // The window a message box or dialog belongs to: the newest visible one.
    HWND OwnerWindow() const;
    void PushAll();
    bool DispatchToDialogs(MSG& message);

    HINSTANCE m_Instance;
    std::vector<DialogView*> m_Views;
    std::unique_ptr<DialogView> m_MainView;
    Pointer m_Pointer = Pointer::Default;
    bool m_PointerChosen = false;
};

}  // namespace tessaly
