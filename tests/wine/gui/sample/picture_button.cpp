#include "picture_button.h"

namespace sample {
namespace {

const wchar_t* const kOriginalProcProperty = L"SamplePictureButtonProc";

LRESULT CALLBACK PictureButtonProc(HWND button, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto original = reinterpret_cast<WNDPROC>(GetPropW(button, kOriginalProcProperty));
    switch (message) {
    case WM_LBUTTONDOWN:
        SetCapture(button);
        CallWindowProcW(original, button, BM_SETSTATE, TRUE, 0);
        return 0;
    case WM_LBUTTONUP: {
        if (GetCapture() != button) {
            return 0;
        }
        ReleaseCapture();
        CallWindowProcW(original, button, BM_SETSTATE, FALSE, 0);
        RECT client;
        GetClientRect(button, &client);
        const POINT at = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
        if (PtInRect(&client, at)) {
            SendMessageW(GetParent(button), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(button), BN_CLICKED),
                         reinterpret_cast<LPARAM>(button));
        }
        return 0;
    }
    case WM_NCDESTROY:
        RemovePropW(button, kOriginalProcProperty);
        SetWindowLongPtrW(button, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original));
        break;
    default:
        break;
    }
    return CallWindowProcW(original, button, message, wParam, lParam);
}

}  // namespace

void MakePictureButton(HWND button)
{
    const LONG_PTR original = GetWindowLongPtrW(button, GWLP_WNDPROC);
    SetPropW(button, kOriginalProcProperty, reinterpret_cast<HANDLE>(original));
    SetWindowLongPtrW(button, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&PictureButtonProc));
}

void DrawPictureButton(const DRAWITEMSTRUCT& item, const wchar_t* label)
{
    const bool pressed = (item.itemState & ODS_SELECTED) != 0;
    RECT frame = item.rcItem;
    HBRUSH background = CreateSolidBrush(pressed ? RGB(40, 90, 160) : RGB(70, 130, 210));
    FillRect(item.hDC, &frame, background);
    DeleteObject(background);
    DrawEdge(item.hDC, &frame, pressed ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT);

    // The "picture": a small safe door, moved down and right when pressed.
    const int shift = pressed ? 1 : 0;
    const int size = (frame.bottom - frame.top) - 10;
    RECT door = {frame.left + 6 + shift, frame.top + 5 + shift, frame.left + 6 + shift + size,
                 frame.top + 5 + shift + size};
    HBRUSH gold = CreateSolidBrush(RGB(230, 190, 60));
    FillRect(item.hDC, &door, gold);
    DeleteObject(gold);
    Ellipse(item.hDC, door.left + size / 4, door.top + size / 4, door.right - size / 4, door.bottom - size / 4);

    RECT text = frame;
    text.left = door.right + 6;
    OffsetRect(&text, shift, shift);
    SetBkMode(item.hDC, TRANSPARENT);
    SetTextColor(item.hDC, RGB(255, 255, 255));
    DrawTextW(item.hDC, label, -1, &text, DT_SINGLELINE | DT_VCENTER | DT_LEFT);
}

}  // namespace sample
