#include "scripted_ui.h"

#include "support/text.h"

#include <algorithm>

namespace korvel::test {

std::string U8(const Text& text)
{
    return tessaly::Utf8(text);
}

MessageAnswer ScriptedUi::ShowMessageBox(const Text& text, const Text& caption, MessageButtons buttons)
{
    messages.push_back({text, caption, buttons});
    if (answers.empty()) {
        return MessageAnswer::Ok;
    }
    const MessageAnswer answer = answers.front();
    answers.pop_front();
    return answer;
}

void ScriptedUi::ShowModal(Form& form)
{
    modalDialogs.push_back(form.DialogId());
    form.Load();
    if (auto action = inDialog.find(form.DialogId()); action != inDialog.end()) {
        action->second(form);
    }
}

void ScriptedUi::Unload(Form& form)
{
    unloaded.push_back(&form);
}

void ScriptedUi::ShowForm(Form& form, bool visible)
{
    shown.emplace_back(&form, visible);
}

void ScriptedUi::PumpEvents()
{
    ++pumps;
    if (onPump) {
        onPump(pumps);
    }
}

void ScriptedUi::SetPointer(Pointer pointer)
{
    pointers.push_back(pointer);
}

int ScriptedUi::PopUpMenu(const std::vector<MenuLine>& lines)
{
    menus.push_back(lines);
    if (menuChoices.empty()) {
        return 0;
    }
    const int command = menuChoices.front();
    menuChoices.pop_front();
    return command;
}

void ScriptedUi::EndProcess()
{
    ended = true;
}

std::vector<std::string> ScriptedUi::MessageTexts() const
{
    std::vector<std::string> texts;
    for (const ShownMessage& message : messages) {
        texts.push_back(U8(message.text));
    }
    return texts;
}

std::vector<int> ScriptedUi::LastMenuCommands() const
{
    std::vector<int> commands;
    if (!menus.empty()) {
        for (const MenuLine& line : menus.back()) {
            commands.push_back(line.separator ? 0 : line.command);
        }
    }
    return commands;
}

}  // namespace korvel::test
