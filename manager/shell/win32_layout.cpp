#include "shell/win32_layout.h"

#include "shell/resource.h"

#include <map>

namespace tessaly {

namespace {

const std::map<int, DialogLayout>& Layouts()
{
    static const std::map<int, DialogLayout> layouts = {
        {IDD_MAIN,
         {6210,
          3330,
          {
              {IDC_LIST1, 90, 90, 4740, 3120},
              {IDC_COMMAND1, 4860, 90, 1320, 420},
              {IDC_COMMAND2, 4860, 630, 1320, 420},
              {IDC_COMMAND3, 4860, 1215, 1320, 420},
              // The picture fills the gap above the last button.
              {IDC_IMAGE1, 4860, 1740, 1320, 975},
              {IDC_COMMAND4, 4860, 2820, 1320, 420},
          }}},
        {IDD_README,
         {8640,
          3315,
          {
              {IDC_LABEL1, 1500, 240, 6900, 2580},
              {IDC_IMAGE2, 7200, 2835, 1200, 390},
          }}},
        {IDD_BACKUP,
         {6495,
          3420,
          {
              {IDC_LABEL1, 240, 180, 6015, 2700},
              {IDC_IMAGE2, 5055, 2940, 1200, 390},
          }}},
        {IDD_CREATE,
         {6300,
          3600,
          {
              {IDC_LABEL4, 300, 330, 1200, 300},
              {IDC_COMBO1, 1560, 270, 1080, 2400},
              {IDC_LABEL6, 2760, 330, 3360, 300},
              {IDC_LABEL2, 300, 870, 1200, 300},
              {IDC_TXTNAME, 1560, 810, 2700, 360},
              {IDC_LABEL3, 300, 1410, 1200, 300},
              {IDC_TXTSIZE, 1560, 1350, 900, 360},
              {IDC_LABEL5, 2520, 1410, 3600, 300},
              {IDC_LABEL1, 300, 1950, 1200, 300},
              {IDC_TXTPASSWORD, 1560, 1890, 2700, 360},
              {IDC_LABEL8, 4380, 1950, 1800, 300},
              {IDC_LABEL7, 300, 2490, 5820, 300},
              {IDC_IMAGE2, 2940, 3000, 1320, 420},
              {IDC_IMAGE3, 4500, 3000, 1320, 420},
          }}},
        {IDD_OPEN,
         {4800,
          1860,
          {
              {IDC_LABEL1, 300, 270, 4200, 300},
              {IDC_TXTPASSWORD, 300, 660, 4200, 360},
              {IDC_IMAGE2, 1560, 1260, 1320, 420},
              {IDC_IMAGE3, 3180, 1260, 1320, 420},
          }}},
        {IDD_PASSWORD,
         {5400,
          2700,
          {
              {IDC_LABEL1, 300, 330, 1800, 300},
              {IDC_PASSWORD, 2160, 270, 2940, 360},
              {IDC_LABEL2, 300, 870, 1800, 300},
              {IDC_TXTPWD2, 2160, 810, 2940, 360},
              {IDC_LABEL3, 300, 1410, 1800, 300},
              {IDC_TXTPWD3, 2160, 1350, 2940, 360},
              {IDC_IMAGE2, 2160, 2040, 1320, 420},
              {IDC_IMAGE3, 3780, 2040, 1320, 420},
          }}},
    };
    return layouts;
}

}  // namespace

const DialogLayout* LayoutOf(int dialogId)
{
    const auto found = Layouts().find(dialogId);
    return found == Layouts().end() ? nullptr : &found->second;
}

int TwipsToPixels(int twips, int dpi)
{
    return MulDiv(twips, dpi, 15 * 96);
}

void ApplyLayout(HWND dialog, const DialogLayout& layout, int dpi)
{
    RECT frame{0, 0, TwipsToPixels(layout.clientWidth, dpi), TwipsToPixels(layout.clientHeight, dpi)};
    AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongPtrW(dialog, GWL_STYLE)), FALSE,
                       static_cast<DWORD>(GetWindowLongPtrW(dialog, GWL_EXSTYLE)));
    SetWindowPos(dialog, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    for (const ControlPlace& place : layout.places) {
        HWND control = GetDlgItem(dialog, place.id);
        if (control != nullptr) {
            SetWindowPos(control, nullptr, TwipsToPixels(place.left, dpi), TwipsToPixels(place.top, dpi),
                         TwipsToPixels(place.width, dpi), TwipsToPixels(place.height, dpi),
                         SWP_NOZORDER | SWP_NOACTIVATE);
        }
    }
}

}  // namespace tessaly
