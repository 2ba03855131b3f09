// The manager's user interface as host tests script it: message boxes are
// answered from a queue and recorded with their text, caption and buttons;
// modal dialogs load and then run what the test says the user does in
// them; the pop-up menu answers with a scripted choice.
#pragma once

#include "shell/form.h"
#include "shell/ui.h"

#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace korvel::test {

using tessaly::Form;
using tessaly::MenuLine;
using tessaly::MessageAnswer;
using tessaly::MessageButtons;
using tessaly::Pointer;
using tessaly::Text;

struct ShownMessage {
    Text text;
    Text caption;
    MessageButtons buttons;
};

class ScriptedUi final : public tessaly::Ui {
public:
    // ^Ui
    MessageAnswer ShowMessageBox(const Text& text, const Text& caption, MessageButtons buttons) override;
    void ShowModal(Form& form) override;
    void Unload(Form& form) override;
    void ShowForm(Form& form, bool visible) override;
    void PumpEvents() override;
    void SetPointer(Pointer pointer) override;
    int PopUpMenu(const std::vector<MenuLine>& lines) override;
    void EndProcess() override;

    // Answers for the next message boxes, in order; OK once they run out.
    std::deque<MessageAnswer> answers;
    // What the user does in a modal dialog, by dialog id, after it loaded.
    std::map<int, std::function<void(Form&)>> inDialog;
    // Commands chosen in the next pop-up menus; none once they run out.
    std::deque<int> menuChoices;
    // What the user does while pending events run, with the count of the
    // pumps so far (1 for the first).
    std::function<void(int)> onPump;

    std::vector<ShownMessage> messages;
    std::vector<int> modalDialogs;  // in the order they were shown
    std::vector<std::vector<MenuLine>> menus;
    std::vector<Pointer> pointers;
    std::vector<std::pair<const Form*, bool>> shown;  // ShowForm calls
    std::vector<const Form*> unloaded;
    int pumps = 0;
    bool ended = false;

    // The texts of the messages shown so far, as UTF-8, for assertions.
    std::vector<std::string> MessageTexts() const;
    // The commands of the lines of the last menu, separators as 0.
    std::vector<int> LastMenuCommands() const;
};

// UTF-8 of a UTF-16 text, for readable assertions.
std::string U8(const Text& text);

}  // namespace korvel::test
