// A dialog of the manager as plain C++: its controls, what happens when it
// loads, and its handlers. Windows shows it through a dialog resource; host
// tests call its handlers directly.
#pragma once

#include "shell/controls.h"

namespace tessaly {

class Ui;

enum class FormEvent {
    Click,
    DoubleClick,
    MouseDown,
    MouseUp,
    MouseMove,  // args.buttons: the mouse buttons held (0: none)
    KeyPress,   // args.key: the character typed
};

struct EventArgs {
    unsigned buttons = 0;
    char16_t key = 0;
    int x = 0;  // MouseMove on the form itself: the horizontal position
};

// Lets a view find a form's controls by their resource ids.
class ControlBinder {
public:
    virtual void Bind(int id, TextControl& control) = 0;
    virtual void Bind(int id, ListBox& control) = 0;
    virtual void Bind(int id, ComboBox& control) = 0;
    virtual void Bind(int id, PictureButton& control) = 0;

protected:
    ~ControlBinder() = default;
};

// The pressed look every picture button has: a single-line border while the
// mouse button is held on it. Other events change nothing.
void ShowPressedLook(PictureButton& picture, FormEvent event);

class Form {
public:
    explicit Form(Ui& ui) : m_Ui(ui) {}
    virtual ~Form() = default;
    Form(const Form&) = delete;
    Form& operator=(const Form&) = delete;

    // The dialog resource (IDD_...) that shows this form.
    virtual int DialogId() const = 0;
    virtual void BindControls(ControlBinder& binder) = 0;
    virtual void Load() {}
    virtual void OnEvent(int controlId, FormEvent event, const EventArgs& args) = 0;
    // The control whose click Enter performs when the focus is on no
    // button (0: none).
    virtual int DefaultControl() const { return 0; }
    // A request to close the window (its close box, Alt+F4, Esc): true
    // grants it. A dialog closes; the main window decides for itself.
    virtual bool QueryClose() { return true; }

    // Unloads the form: a modal dialog ends its modal loop.
    void Unload();

protected:
    Ui& m_Ui;
};

}  // namespace tessaly
