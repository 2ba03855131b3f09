// An owner-drawn button that reacts to the mouse itself, as picture buttons
// of older programs do: it shows itself pressed on mouse down and tells its
// parent about the click on mouse up, when the pointer is still over it.
#pragma once

#include <windows.h>

namespace sample {

// Takes over the button's mouse handling; the button keeps its own painting
// through the parent's WM_DRAWITEM.
void MakePictureButton(HWND button);

// Paints the button for the parent's WM_DRAWITEM.
void DrawPictureButton(const DRAWITEMSTRUCT& item, const wchar_t* label);

}  // namespace sample
