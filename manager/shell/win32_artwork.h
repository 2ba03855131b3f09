// The manager's pictures, drawn by code so that they stay sharp at every
// display scaling: the safe on the main window, the picture buttons and the
// advice dialogs' background.
#pragma once

#include <windows.h>

namespace tessaly {

// A closed safe with its dial, filling `area`.
void DrawSafePicture(HDC dc, const RECT& area);

// A picture button with its caption. `pressed` shows the single-line
// border of the pressed look; `focused` the keyboard focus.
void DrawPictureButton(HDC dc, const RECT& area, LPCWSTR caption, bool pressed, bool focused);

// The advice dialogs' background: a quiet gradient with a small safe in
// the left margin when `withSafe`.
void DrawAdviceBackground(HDC dc, const RECT& area, bool withSafe, int dpi);

}  // namespace tessaly
