// Where each dialog's controls stand, in twips (15 to a pixel at 96 dpi),
// and how big its client area is. The dialog resources name the controls;
// their places come from here, scaled to the display's dpi, so that every
// dialog has its intended size whatever font the system substitutes.
#pragma once

#include <windows.h>

#include <vector>

namespace tessaly {

struct ControlPlace {
    int id;
    int left;
    int top;
    int width;
    int height;
};

struct DialogLayout {
    int clientWidth;
    int clientHeight;
    std::vector<ControlPlace> places;
};

// The layout of dialog `dialogId`, or nullptr for a dialog without one.
const DialogLayout* LayoutOf(int dialogId);

// Twips as pixels at `dpi`.
int TwipsToPixels(int twips, int dpi);

// Sizes the dialog's client area and places its controls.
void ApplyLayout(HWND dialog, const DialogLayout& layout, int dpi);

}  // namespace tessaly
