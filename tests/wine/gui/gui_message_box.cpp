#include "gui_message_box.h"

#include <algorithm>

#include "gui_controls.h"
#include "gui_windows.h"

namespace gui {
namespace {

// The id of a message box's text; its icon is a static control too.
constexpr int kMessageTextId = 0xFFFF;
const wchar_t* const kDialogClass = L"#32770";

struct ButtonSearch {
    std::vector<std::pair<LONG, MessageBoxButton>> found;  // left edge, button
};

BOOL CALLBACK CollectButton(HWND child, LPARAM context)
{
    auto* search = reinterpret_cast<ButtonSearch*>(context);
    const int id = GetDlgCtrlID(child);
    if (ClassName(child) == L"Button" && IsWindowVisible(child) && id >= IDOK && id <= IDCONTINUE) {
        search->found.push_back({ScreenRect(child).left, MessageBoxButton{id, WindowText(child)}});
    }
    return TRUE;
}

}  // namespace

std::vector<int> MessageBoxView::ButtonIds() const
{
    std::vector<int> ids;
    for (const MessageBoxButton& button : buttons) {
        ids.push_back(button.id);
    }
    return ids;
}

std::optional<MessageBoxView> ReadMessageBox(HWND window)
{
    if (window == nullptr || ClassName(window) != kDialogClass) {
        return std::nullopt;
    }
    HWND text = GetDlgItem(window, kMessageTextId);
    if (text == nullptr || ClassName(text) != L"Static") {
        return std::nullopt;
    }
    MessageBoxView box;
    box.window = window;
    box.caption = WindowText(window);
    box.text = WindowText(text);
    ButtonSearch search;
    EnumChildWindows(window, &CollectButton, reinterpret_cast<LPARAM>(&search));
    std::stable_sort(search.found.begin(), search.found.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    for (auto& [left, button] : search.found) {
        box.buttons.push_back(std::move(button));
    }
    return box;
}

std::optional<MessageBoxView> WaitForMessageBox(DWORD processId, DWORD timeoutMs)
{
    return WaitFor(
        [&]() -> std::optional<MessageBoxView> {
            for (HWND window : TopLevelWindows({std::nullopt, kDialogClass, processId, true})) {
                if (auto box = ReadMessageBox(window)) {
                    return box;
                }
            }
            return std::nullopt;
        },
        timeoutMs);
}

::testing::AssertionResult AnswerMessageBox(const MessageBoxView& box, int buttonId)
{
    const std::vector<int> ids = box.ButtonIds();
    if (std::find(ids.begin(), ids.end(), buttonId) == ids.end()) {
        return ::testing::AssertionFailure() << "the message box has no button " << buttonId;
    }
    if (auto clicked = ClickButton(box.window, buttonId); !clicked) {
        return clicked;
    }
    if (!WaitForWindowGone(box.window)) {
        return ::testing::AssertionFailure() << "the message box stayed after button " << buttonId;
    }
    return ::testing::AssertionSuccess();
}

}  // namespace gui
