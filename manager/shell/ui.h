// What the manager's dialogs do beyond their own controls: message boxes,
// modal dialogs, letting pending events run, the mouse pointer, the pop-up
// menu, showing and hiding windows, and ending the process. Windows
// implements it with real windows; host tests script it.
#pragma once

#include "support/text.h"

#include <vector>

namespace tessaly {

class Form;

enum class MessageButtons { Ok, OkCancel };
enum class MessageAnswer { Ok, Cancel };
enum class Pointer { Default, Hourglass, PointingHand };

// One line of a pop-up menu: a command, or a separator (command 0).
struct MenuLine {
    int command = 0;
    Text caption;
    bool separator = false;
};

class Ui {
public:
    virtual MessageAnswer ShowMessageBox(const Text& text, const Text& caption, MessageButtons buttons) = 0;
    // The manager's messages carry the program's title as their caption.
    MessageAnswer ShowMessage(const Text& text, MessageButtons buttons);
    // Shows the form as a modal dialog and returns when it has unloaded.
    virtual void ShowModal(Form& form) = 0;
    virtual void Unload(Form& form) = 0;
    virtual void ShowForm(Form& form, bool visible) = 0;
    // Lets pending window events run, so that windows repaint and the user
    // can act in the middle of a long step.
    virtual void PumpEvents() = 0;
    virtual void SetPointer(Pointer pointer) = 0;
    // Pops up a menu at the mouse position; the command chosen, or 0.
    virtual int PopUpMenu(const std::vector<MenuLine>& lines) = 0;
    // Ends the process at once, closing every window of the manager.
    virtual void EndProcess() = 0;

protected:
    ~Ui() = default;
};

}  // namespace tessaly
