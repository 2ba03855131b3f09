#include "gui_controls.h"

#include "gui_input.h"
#include "gui_windows.h"

namespace gui {
namespace {

constexpr UINT kMessageTimeoutMs = 5000;

// Sends and waits for the answer; false when the window did not answer.
bool SendTo(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result = nullptr)
{
    DWORD_PTR answer = 0;
    if (!SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG, kMessageTimeoutMs, &answer)) {
        return false;
    }
    if (result != nullptr) {
        *result = static_cast<LRESULT>(answer);
    }
    return true;
}

}  // namespace

::testing::AssertionResult FindControl(HWND dialog, int id, HWND& control)
{
    control = GetDlgItem(dialog, id);
    if (control == nullptr) {
        return ::testing::AssertionFailure() << "the window has no control with id " << id;
    }
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult ClickButton(HWND dialog, int id)
{
    HWND button = nullptr;
    if (auto found = FindControl(dialog, id, button); !found) {
        return found;
    }
    // Posted: a click that opens a modal message box would otherwise keep
    // the call waiting until the box is answered.
    if (!PostMessageW(button, BM_CLICK, 0, 0)) {
        return ::testing::AssertionFailure() << "BM_CLICK to button " << id << " failed, error " << GetLastError();
    }
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult ClickWithMouse(HWND dialog, int id)
{
    HWND control = nullptr;
    if (auto found = FindControl(dialog, id, control); !found) {
        return found;
    }
    return ClickAt(CenterOf(ScreenRect(control)));
}

::testing::AssertionResult SetControlText(HWND dialog, int id, const std::wstring& text)
{
    HWND control = nullptr;
    if (auto found = FindControl(dialog, id, control); !found) {
        return found;
    }
    LRESULT done = FALSE;
    if (!SendTo(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), &done) || !done) {
        return ::testing::AssertionFailure() << "WM_SETTEXT to control " << id << " failed";
    }
    return ::testing::AssertionSuccess();
}

std::wstring ControlText(HWND dialog, int id)
{
    HWND control = GetDlgItem(dialog, id);
    return control == nullptr ? std::wstring() : WindowText(control);
}

std::vector<std::wstring> ListBoxItems(HWND dialog, int id)
{
    std::vector<std::wstring> items;
    HWND list = GetDlgItem(dialog, id);
    LRESULT count = LB_ERR;
    if (list == nullptr || !SendTo(list, LB_GETCOUNT, 0, 0, &count) || count == LB_ERR) {
        return items;
    }
    for (LRESULT index = 0; index < count; ++index) {
        LRESULT length = LB_ERR;
        if (!SendTo(list, LB_GETTEXTLEN, index, 0, &length) || length == LB_ERR) {
            break;
        }
        std::wstring text(static_cast<size_t>(length) + 1, L'\0');
        LRESULT copied = LB_ERR;
        if (!SendTo(list, LB_GETTEXT, index, reinterpret_cast<LPARAM>(text.data()), &copied) || copied == LB_ERR) {
            break;
        }
        text.resize(static_cast<size_t>(copied));
        items.push_back(std::move(text));
    }
    return items;
}

int ListBoxSelection(HWND dialog, int id)
{
    HWND list = GetDlgItem(dialog, id);
    LRESULT selected = LB_ERR;
    if (list == nullptr || !SendTo(list, LB_GETCURSEL, 0, 0, &selected)) {
        return -1;
    }
    return selected == LB_ERR ? -1 : static_cast<int>(selected);
}

::testing::AssertionResult SelectListItem(HWND dialog, int id, int index)
{
    HWND list = nullptr;
    if (auto found = FindControl(dialog, id, list); !found) {
        return found;
    }
    LRESULT selected = LB_ERR;
    if (!SendTo(list, LB_SETCURSEL, static_cast<WPARAM>(index), 0, &selected) || selected == LB_ERR) {
        return ::testing::AssertionFailure() << "the list box " << id << " has no item " << index;
    }
    // LB_SETCURSEL tells nobody; a click would have sent this.
    if (!SendTo(dialog, WM_COMMAND, MAKEWPARAM(id, LBN_SELCHANGE), reinterpret_cast<LPARAM>(list))) {
        return ::testing::AssertionFailure() << "the dialog did not take LBN_SELCHANGE";
    }
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult DoubleClickListItem(HWND dialog, int id, int index)
{
    HWND list = nullptr;
    if (auto found = FindControl(dialog, id, list); !found) {
        return found;
    }
    RECT item{};
    LRESULT result = LB_ERR;
    if (!SendTo(list, LB_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item), &result) ||
        result == LB_ERR) {
        return ::testing::AssertionFailure() << "the list box " << id << " has no item " << index;
    }
    POINT center = CenterOf(item);
    RECT client{};
    GetClientRect(list, &client);
    if (!PtInRect(&client, center)) {
        return ::testing::AssertionFailure() << "item " << index << " of list box " << id << " is scrolled out of view";
    }
    ClientToScreen(list, &center);
    return DoubleClickAt(center);
}

}  // namespace gui
