// A small Unicode Win32 program in the manner of the product's manager: a
// dialog with a list, an edit box, a button that asks through a message box,
// an owner-drawn picture button, a tray icon with a pop-up menu and the
// Alt+Ctrl+Y hotkey that shows the same menu. The GUI harness's self-test
// drives it. Every event it sees lands in its status line, so that a driver
// can read what the program made of its input.
#include <windows.h>
#include <shellapi.h>

#include <memory>
#include <string>

#include "picture_button.h"
#include "sample_ids.h"
#include "sample_texts.h"
#include "tray_menu.h"

namespace sample {
namespace {

struct SampleState {
    std::unique_ptr<TrayIcon> tray;
    bool hotkeyRegistered = false;
    int picturePresses = 0;
};

void SetStatus(HWND dialog, const std::wstring& text)
{
    SetDlgItemTextW(dialog, IDC_STATUS, text.c_str());
}

std::wstring ItemText(HWND list, LRESULT index)
{
    const LRESULT length = SendMessageW(list, LB_GETTEXTLEN, index, 0);
    if (length == LB_ERR) {
        return {};
    }
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    SendMessageW(list, LB_GETTEXT, index, reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<size_t>(length));
    return text;
}

std::wstring DialogItemText(HWND dialog, int id)
{
    wchar_t text[256] = L"";
    GetDlgItemTextW(dialog, id, text, ARRAYSIZE(text));
    return text;
}

// The first argument, if any, is the name the edit box starts with.
std::wstring NameFromCommandLine()
{
    int count = 0;
    LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    if (arguments == nullptr) {
        return {};
    }
    std::wstring name = count > 1 ? arguments[1] : L"";
    LocalFree(arguments);
    return name;
}

void OnInitDialog(HWND dialog, SampleState& state)
{
    SetWindowTextW(dialog, kCaption);
    SetDlgItemTextW(dialog, IDC_ASK_BUTTON, kAskButton);
    SetDlgItemTextW(dialog, IDC_PICTURE_BUTTON, kPictureLabel);
    HWND list = GetDlgItem(dialog, IDC_VAULT_LIST);
    for (const wchar_t* vault : kVaults) {
        SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(vault));
    }
    SetDlgItemTextW(dialog, IDC_NAME_EDIT, NameFromCommandLine().c_str());
    MakePictureButton(GetDlgItem(dialog, IDC_PICTURE_BUTTON));
    SetStatus(dialog, kStatusReady);

    state.tray = std::make_unique<TrayIcon>(dialog, LoadIconW(nullptr, IDI_INFORMATION));
    state.hotkeyRegistered = RegisterHotKey(dialog, SAMPLE_HOTKEY_ID, MOD_ALT | MOD_CONTROL, 'Y') != FALSE;
}

void OnListNotify(HWND dialog, WORD code)
{
    HWND list = GetDlgItem(dialog, IDC_VAULT_LIST);
    const LRESULT selected = SendMessageW(list, LB_GETCURSEL, 0, 0);
    if (selected == LB_ERR) {
        return;
    }
    if (code == LBN_SELCHANGE) {
        SetStatus(dialog, kStatusSelected + ItemText(list, selected));
    } else if (code == LBN_DBLCLK) {
        SetStatus(dialog, kStatusOpened + ItemText(list, selected));
    }
}

void OnAsk(HWND dialog)
{
    const std::wstring name = DialogItemText(dialog, IDC_NAME_EDIT);
    const std::wstring question = kQuestionPrefix + name + kQuestionSuffix;
    const int answer = MessageBoxW(dialog, question.c_str(), kQuestionCaption, MB_OKCANCEL | MB_ICONQUESTION);
    SetStatus(dialog, answer == IDOK ? kStatusSaved + name : std::wstring(kStatusNotSaved));
}

void OnMenu(HWND dialog)
{
    std::wstring chosen;
    const UINT command = ShowTrayMenu(dialog, chosen);
    if (command == 0) {
        return;
    }
    SetStatus(dialog, kStatusMenu + chosen);
    if (command == IDM_EXIT) {
        EndDialog(dialog, SAMPLE_EXIT_CODE);
    }
}

void OnTrayCallback(HWND dialog, LPARAM mouseMessage)
{
    switch (mouseMessage) {
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_CONTEXTMENU:
        OnMenu(dialog);
        break;
    case WM_LBUTTONDBLCLK:
        ShowWindow(dialog, SW_RESTORE);
        SetForegroundWindow(dialog);
        break;
    default:
        break;
    }
}

INT_PTR CALLBACK SampleDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* state = reinterpret_cast<SampleState*>(GetWindowLongPtrW(dialog, DWLP_USER));
    switch (message) {
    case WM_INITDIALOG:
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        OnInitDialog(dialog, *reinterpret_cast<SampleState*>(lParam));
        return TRUE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDC_VAULT_LIST:
            OnListNotify(dialog, HIWORD(wParam));
            return TRUE;
        case IDC_ASK_BUTTON:
            OnAsk(dialog);
            return TRUE;
        case IDC_PICTURE_BUTTON:
            SetStatus(dialog, kStatusPicture + std::to_wstring(++state->picturePresses));
            return TRUE;
        case IDCANCEL:
            EndDialog(dialog, 0);
            return TRUE;
        default:
            return FALSE;
        }
    case WM_DRAWITEM:
        if (wParam == IDC_PICTURE_BUTTON) {
            DrawPictureButton(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam), kPictureLabel);
            return TRUE;
        }
        return FALSE;
    case WM_SAMPLE_TRAY:
        OnTrayCallback(dialog, lParam);
        return TRUE;
    case WM_HOTKEY:
        if (wParam == SAMPLE_HOTKEY_ID) {
            OnMenu(dialog);
        }
        return TRUE;
    case WM_DESTROY:
        if (state != nullptr) {
            if (state->hotkeyRegistered) {
                UnregisterHotKey(dialog, SAMPLE_HOTKEY_ID);
            }
            state->tray.reset();
        }
        return FALSE;
    default:
        return FALSE;
    }
}

}  // namespace
}  // namespace sample

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int)
{
    sample::SampleState state;
    const INT_PTR result = DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_SAMPLE), nullptr, &sample::SampleDialogProc,
                                           reinterpret_cast<LPARAM>(&state));
    return static_cast<int>(result);
}
