#include "shell/win32_dialog_view.h"

#include "shell/resource.h"
#include "shell/win32_artwork.h"
#include "shell/win32_layout.h"
#include "shell/win32_ui.h"

#include <commctrl.h>

#include <algorithm>

namespace tessaly {

namespace {

constexpr UINT_PTR kPictureSubclass = 1;

Text WindowText(HWND window)
{
    const int length = GetWindowTextLengthW(window);
    Text text(static_cast<std::size_t>(length) + 1, u'\0');
    GetWindowTextW(window, WideBuffer(text), length + 1);
    text.resize(static_cast<std::size_t>(std::max(length, 0)));
    return WithoutNuls(text);
}

bool HasClass(HWND window, const char16_t* name)
{
    WCHAR className[64] = {};
    GetClassNameW(window, className, 64);
    return lstrcmpiW(className, reinterpret_cast<LPCWSTR>(name)) == 0;
}

// A label's item separators are lone carriage returns; a static control
// breaks lines at carriage return and line feed.
Text AsDisplayedLines(const Text& text)
{
    Text lines;
    for (std::size_t i = 0; i < text.size(); ++i) {
        lines.push_back(text[i]);
        if (text[i] == u'\r' && (i + 1 >= text.size() || text[i + 1] != u'\n')) {
            lines.push_back(u'\n');
        }
    }
    return lines;
}

unsigned MouseButtonsHeld()
{
    return (GetKeyState(VK_LBUTTON) < 0 ? 1u : 0u) | (GetKeyState(VK_RBUTTON) < 0 ? 2u : 0u) |
           (GetKeyState(VK_MBUTTON) < 0 ? 4u : 0u);
}

INT_PTR Answer(HWND dialog, LRESULT result)
{
    SetWindowLongPtrW(dialog, DWLP_MSGRESULT, result);
    return TRUE;
}

}  // namespace

DialogView::DialogView(Win32Ui& ui, Form& form, bool modal) : m_Ui(ui), m_Form(form), m_Modal(modal) {}

DialogView::~DialogView()
{
    if (m_Window != nullptr && IsWindow(m_Window)) {
        SetWindowLongPtrW(m_Window, DWLP_USER, 0);
    }
    m_Ui.Unregister(this);
    for (HFONT font : m_Fonts) {
        DeleteObject(font);
    }
}

INT_PTR CALLBACK DialogView::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        auto* view = reinterpret_cast<DialogView*>(lParam);
        SetWindowLongPtrW(window, DWLP_USER, lParam);
        view->Initialise(window);
        return TRUE;
    }
    auto* view = reinterpret_cast<DialogView*>(GetWindowLongPtrW(window, DWLP_USER));
    return view != nullptr ? view->Handle(message, wParam, lParam) : FALSE;
}

void DialogView::Initialise(HWND window)
{
    m_Window = window;
    m_Ui.Register(this);
    HDC screen = GetDC(window);
    m_Dpi = GetDeviceCaps(screen, LOGPIXELSX);
    ReleaseDC(window, screen);

    m_Form.BindControls(*this);
    if (const DialogLayout* layout = LayoutOf(m_Form.DialogId())) {
        ApplyLayout(window, *layout, m_Dpi);
    }
    if (m_Modal) {
        m_Form.Load();
    }
    Push();
    FitLabels();
    CenterOnOwner();
}

INT_PTR DialogView::Handle(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_COMMAND:
        OnCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
        return TRUE;
    case WM_CLOSE:
        OnCommand(IDCANCEL, 0, nullptr);
        return TRUE;
    case WM_SETCURSOR:
        return OnSetCursor(reinterpret_cast<HWND>(wParam)) ? Answer(m_Window, TRUE) : FALSE;
    case WM_MOUSEMOVE: {
        // On the main window this is also how the notification area reports
        // clicks on the tray icon: the mouse message in the low word.
        EventArgs args;
        args.buttons = MouseButtonsHeld();
        args.x = static_cast<int>(LOWORD(lParam));
        Fire(0, FormEvent::MouseMove, args);
        return TRUE;
    }
    case WM_DRAWITEM:
        OnDrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
        return TRUE;
    case WM_ERASEBKGND:
        if (HasBackground()) {
            RECT client;
            GetClientRect(m_Window, &client);
            DrawAdviceBackground(reinterpret_cast<HDC>(wParam), client, m_Form.DialogId() == IDD_README, m_Dpi);
            return Answer(m_Window, TRUE);
        }
        return FALSE;
    case WM_CTLCOLORSTATIC:
        if (HasBackground()) {
            HDC dc = reinterpret_cast<HDC>(wParam);
            SetBkMode(dc, TRANSPARENT);
            SetTextColor(dc, RGB(24, 36, 56));
            return reinterpret_cast<INT_PTR>(GetStockObject(NULL_BRUSH));
        }
        return FALSE;
    case WM_QUERYENDSESSION:
        // Never stand in the way of a log-off or shutdown.
        return Answer(m_Window, TRUE);
    case WM_DESTROY:
        m_Ui.Unregister(this);
        return FALSE;
    default:
        return FALSE;
    }
}

void DialogView::Fire(int id, FormEvent event, const EventArgs& args)
{
    Pull();
    m_Form.OnEvent(id, event, args);
    if (IsWindow(m_Window)) {
        Push();
    }
}

void DialogView::OnCommand(int id, int notification, HWND control)
{
    if (id == IDCANCEL) {
        Pull();
        if (m_Form.QueryClose()) {
            m_Form.Unload();
        }
        return;
    }
    if (id == IDOK) {
        // Enter: a focused button of ours is clicked, else the form's default.
        HWND focus = GetFocus();
        const Bound* focused = focus != nullptr && GetParent(focus) == m_Window ? Find(focus) : nullptr;
        if (focused != nullptr && focused->kind == Kind::Picture) {
            Fire(focused->id, FormEvent::Click);
        } else if (focus != nullptr && GetParent(focus) == m_Window && HasClass(focus, u"Button")) {
            Fire(GetDlgCtrlID(focus), FormEvent::Click);
        } else if (m_Form.DefaultControl() != 0) {
            Fire(m_Form.DefaultControl(), FormEvent::Click);
        }
        return;
    }
    if (control == nullptr) {
        return;
    }
    const Bound* bound = Find(control);
    if (bound != nullptr && bound->kind == Kind::List) {
        if (notification == LBN_DBLCLK) {
            Fire(id, FormEvent::DoubleClick);
        }
        return;
    }
    if (bound != nullptr && bound->kind == Kind::Combo) {
        if (notification == CBN_SELCHANGE) {
            // The edit part shows the new line only after this message.
            const LRESULT index = SendMessageW(control, CB_GETCURSEL, 0, 0);
            if (index != CB_ERR) {
                const LRESULT length = SendMessageW(control, CB_GETLBTEXTLEN, index, 0);
                Text item(static_cast<std::size_t>(std::max<LRESULT>(length, 0)) + 1, u'\0');
                SendMessageW(control, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(WideBuffer(item)));
                static_cast<ComboBox*>(bound->control)->TakeTyped(WithoutNuls(item));
            }
            m_Form.OnEvent(id, FormEvent::Click, {});
            if (IsWindow(m_Window)) {
                Push();
            }
        }
        return;
    }
    if (notification == BN_CLICKED) {
        Fire(id, FormEvent::Click);
    }
}

bool DialogView::OnSetCursor(HWND control)
{
    if (m_Ui.CurrentPointer() == Pointer::Hourglass) {
        SetCursor(LoadCursorW(nullptr, IDC_WAIT));
        return true;
    }
    const Bound* bound = Find(control);
    if (bound == nullptr || bound->kind != Kind::List) {
        return false;
    }
    m_Ui.TakePointerChosen();
    EventArgs args;
    args.buttons = MouseButtonsHeld();
    Fire(bound->id, FormEvent::MouseMove, args);
    return m_Ui.TakePointerChosen();
}

void DialogView::OnDrawItem(const DRAWITEMSTRUCT& item)
{
    const Bound* bound = Find(static_cast<int>(item.CtlID));
    if (bound != nullptr && bound->kind == Kind::Picture) {
        const auto* picture = static_cast<const PictureButton*>(bound->control);
        const Text caption = WindowText(item.hwndItem);
        DrawPictureButton(item.hDC, item.rcItem, Wide(caption),
                          picture->BorderStyle() == 1 || (item.itemState & ODS_SELECTED) != 0,
                          (item.itemState & ODS_FOCUS) != 0);
        return;
    }
    if (item.CtlID == IDC_IMAGE1) {
        FillRect(item.hDC, &item.rcItem, GetSysColorBrush(COLOR_BTNFACE));
        DrawSafePicture(item.hDC, item.rcItem);
    }
}

void DialogView::Push()
{
    for (Bound& bound : m_Bound) {
        if (bound.control->Revision() == bound.shownRevision) {
            continue;
        }
        bound.shownRevision = bound.control->Revision();
        switch (bound.kind) {
        case Kind::Label: {
            const auto* text = static_cast<const TextControl*>(bound.control);
            const Text shown = bound.editable ? text->GetText() : AsDisplayedLines(text->GetText());
            if (WindowText(bound.window) != shown) {
                SetWindowTextW(bound.window, Wide(shown));
            }
            ShowWindow(bound.window, text->Visible() ? SW_SHOWNA : SW_HIDE);
            if (HasBackground()) {
                // A transparent label leaves its old text behind unless the
                // background under it is painted again.
                RECT area;
                GetWindowRect(bound.window, &area);
                MapWindowPoints(nullptr, m_Window, reinterpret_cast<POINT*>(&area), 2);
                RedrawWindow(m_Window, &area, nullptr, RDW_ERASE | RDW_INVALIDATE | RDW_ALLCHILDREN);
            }
            break;
        }
        case Kind::List: {
            const auto* list = static_cast<const ListBox*>(bound.control);
            SendMessageW(bound.window, LB_RESETCONTENT, 0, 0);
            int widest = 0;
            HDC dc = GetDC(bound.window);
            HGDIOBJ previous =
                SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(bound.window, WM_GETFONT, 0, 0)));
            for (const Text& item : list->Items()) {
                SendMessageW(bound.window, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wide(item)));
                SIZE extent{};
                GetTextExtentPoint32W(dc, Wide(item), static_cast<int>(item.size()), &extent);
                widest = std::max(widest, static_cast<int>(extent.cx));
            }
            SelectObject(dc, previous);
            ReleaseDC(bound.window, dc);
            // Long lines scroll sideways instead of being cut off.
            SendMessageW(bound.window, LB_SETHORIZONTALEXTENT, static_cast<WPARAM>(widest + 8), 0);
            SendMessageW(bound.window, LB_SETCURSEL, static_cast<WPARAM>(list->Selected()), 0);
            break;
        }
        case Kind::Combo: {
            const auto* combo = static_cast<const ComboBox*>(bound.control);
            SendMessageW(bound.window, CB_RESETCONTENT, 0, 0);
            for (const Text& item : combo->Items()) {
                SendMessageW(bound.window, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wide(item)));
            }
            const LRESULT index =
                SendMessageW(bound.window, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                             reinterpret_cast<LPARAM>(Wide(combo->GetText())));
            SendMessageW(bound.window, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
            if (index == CB_ERR) {
                SetWindowTextW(bound.window, Wide(combo->GetText()));
            }
            break;
        }
        case Kind::Picture:
            InvalidateRect(bound.window, nullptr, FALSE);
            break;
        }
    }
}

void DialogView::Pull()
{
    for (Bound& bound : m_Bound) {
        switch (bound.kind) {
        case Kind::Label:
            if (bound.editable) {
                static_cast<TextControl*>(bound.control)->TakeTyped(WindowText(bound.window));
            }
            break;
        case Kind::List:
            static_cast<ListBox*>(bound.control)
                ->TakeSelection(static_cast<int>(SendMessageW(bound.window, LB_GETCURSEL, 0, 0)));
            break;
        case Kind::Combo:
            static_cast<ComboBox*>(bound.control)->TakeTyped(WindowText(bound.window));
            break;
        case Kind::Picture:
            break;
        }
    }
}

void DialogView::Bind(int id, TextControl& control)
{
    HWND window = GetDlgItem(m_Window, id);
    const bool edit = HasClass(window, u"Edit");
    if (edit && (GetWindowLongPtrW(window, GWL_STYLE) & ES_PASSWORD) != 0) {
        // Each typed character shows as "*", whatever the system's default.
        SendMessageW(window, EM_SETPASSWORDCHAR, u'*', 0);
    }
    m_Bound.push_back({id, Kind::Label, &control, window, 0, edit});
}

void DialogView::Bind(int id, ListBox& control)
{
    m_Bound.push_back({id, Kind::List, &control, GetDlgItem(m_Window, id), 0, false});
}

void DialogView::Bind(int id, ComboBox& control)
{
    m_Bound.push_back({id, Kind::Combo, &control, GetDlgItem(m_Window, id), 0, true});
}

void DialogView::Bind(int id, PictureButton& control)
{
    HWND window = GetDlgItem(m_Window, id);
    m_Bound.push_back({id, Kind::Picture, &control, window, 0, false});
    SetWindowSubclass(window, &DialogView::PictureButtonProcedure, kPictureSubclass,
                      reinterpret_cast<DWORD_PTR>(this));
}

LRESULT CALLBACK DialogView::PictureButtonProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                                    UINT_PTR, DWORD_PTR data)
{
    auto* view = reinterpret_cast<DialogView*>(data);
    const int id = GetDlgCtrlID(window);
    EventArgs args;
    args.buttons = 1;
    switch (message) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        view->Fire(id, FormEvent::MouseDown, args);
        break;
    case WM_LBUTTONUP:
        // Before the button's own handling, which reports the click.
        view->Fire(id, FormEvent::MouseUp, args);
        break;
    case WM_NCDESTROY:
        RemoveWindowSubclass(window, &DialogView::PictureButtonProcedure, kPictureSubclass);
        break;
    default:
        break;
    }
    return DefSubclassProc(window, message, wParam, lParam);
}

void DialogView::FitLabels()
{
    if (!HasBackground()) {
        return;
    }
    for (const Bound& bound : m_Bound) {
        if (bound.kind != Kind::Label || bound.editable) {
            continue;
        }
        RECT area;
        GetClientRect(bound.window, &area);
        const Text text = WindowText(bound.window);
        LOGFONTW font{};
        GetObjectW(reinterpret_cast<HFONT>(SendMessageW(bound.window, WM_GETFONT, 0, 0)), sizeof(font), &font);
        const int smallest = -MulDiv(8, m_Dpi, 72);
        // The largest font, down to 8 points, in which the whole text fits.
        for (;;) {
            HDC dc = GetDC(bound.window);
            HFONT candidate = CreateFontIndirectW(&font);
            HGDIOBJ previous = SelectObject(dc, candidate);
            RECT needed{0, 0, area.right, 0};
            DrawTextW(dc, Wide(text), -1, &needed, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX | DT_EXPANDTABS);
            SelectObject(dc, previous);
            ReleaseDC(bound.window, dc);
            const bool fits = needed.bottom <= area.bottom;
            if (fits || font.lfHeight >= smallest) {
                m_Fonts.push_back(candidate);
                SendMessageW(bound.window, WM_SETFONT, reinterpret_cast<WPARAM>(candidate), TRUE);
                break;
            }
            DeleteObject(candidate);
            font.lfHeight = font.lfHeight < 0 ? font.lfHeight + 1 : font.lfHeight - 1;
        }
    }
}

void DialogView::CenterOnOwner()
{
    RECT frame;
    GetWindowRect(m_Window, &frame);
    RECT around;
    HWND owner = GetWindow(m_Window, GW_OWNER);
    if (owner != nullptr && IsWindowVisible(owner)) {
        GetWindowRect(owner, &around);
    } else {
        SystemParametersInfoW(SPI_GETWORKAREA, 0, &around, 0);
    }
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    SetWindowPos(m_Window, nullptr, around.left + (around.right - around.left - width) / 2,
                 around.top + (around.bottom - around.top - height) / 2, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

const DialogView::Bound* DialogView::Find(int id) const
{
    for (const Bound& bound : m_Bound) {
        if (bound.id == id) {
            return &bound;
        }
    }
    return nullptr;
}

const DialogView::Bound* DialogView::Find(HWND control) const
{
    for (const Bound& bound : m_Bound) {
        if (bound.window == control) {
            return &bound;
        }
    }
    return nullptr;
}

bool DialogView::HasBackground() const
{
    return m_Form.DialogId() == IDD_README || m_Form.DialogId() == IDD_BACKUP;
}

}  // namespace tessaly
