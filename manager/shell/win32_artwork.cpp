#include "shell/win32_artwork.h"

#include <algorithm>

namespace tessaly {

namespace {

// GDI objects chosen into a DC for a scope, and deleted afterwards.
class SelectedObject {
public:
    SelectedObject(HDC dc, HGDIOBJ object) : m_Dc(dc), m_Object(object), m_Previous(SelectObject(dc, object)) {}
    ~SelectedObject()
    {
        SelectObject(m_Dc, m_Previous);
        DeleteObject(m_Object);
    }
    SelectedObject(const SelectedObject&) = delete;
    SelectedObject& operator=(const SelectedObject&) = delete;

private:
    HDC m_Dc;
    HGDIOBJ m_Object;
    HGDIOBJ m_Previous;
};

const LOGBRUSH kHollowBrush{BS_HOLLOW, 0, 0};

COLORREF Mix(COLORREF a, COLORREF b, int step, int steps)
{
    auto channel = [&](int shift) {
        const int from = (a >> shift) & 0xFF;
        const int to = (b >> shift) & 0xFF;
        return static_cast<COLORREF>(from + (to - from) * step / std::max(steps, 1)) << shift;
    };
    return channel(0) | channel(8) | channel(16);
}

// A top-to-bottom gradient in bands of one pixel.
void FillGradient(HDC dc, const RECT& area, COLORREF top, COLORREF bottom)
{
    const int height = area.bottom - area.top;
    for (int y = 0; y < height; ++y) {
        RECT band{area.left, area.top + y, area.right, area.top + y + 1};
        HBRUSH brush = CreateSolidBrush(Mix(top, bottom, y, height - 1));
        FillRect(dc, &band, brush);
        DeleteObject(brush);
    }
}

void FillRounded(HDC dc, const RECT& area, int radius, COLORREF fill, COLORREF edge, int edgeWidth)
{
    SelectedObject pen(dc, CreatePen(PS_SOLID, edgeWidth, edge));
    SelectedObject brush(dc, CreateSolidBrush(fill));
    RoundRect(dc, area.left, area.top, area.right, area.bottom, radius, radius);
}

void FillCircle(HDC dc, int x, int y, int r, COLORREF fill, COLORREF edge, int edgeWidth)
{
    SelectedObject pen(dc, CreatePen(PS_SOLID, edgeWidth, edge));
    SelectedObject brush(dc, CreateSolidBrush(fill));
    Ellipse(dc, x - r, y - r, x + r + 1, y + r + 1);
}

}  // namespace

void DrawSafePicture(HDC dc, const RECT& area)
{
    const int width = area.right - area.left;
    const int height = area.bottom - area.top;
    const int size = std::min(width, height);
    const int unit = std::max(size / 40, 1);
    const int left = area.left + (width - size) / 2;
    const int top = area.top + (height - size) / 2;

    // Body with its feet, then the door, the dial and the handle.
    const RECT body{left + 2 * unit, top + 2 * unit, left + size - 2 * unit, top + size - 5 * unit};
    FillRounded(dc, RECT{body.left + 3 * unit, body.bottom - unit, body.left + 9 * unit, body.bottom + 3 * unit},
                unit * 2, RGB(40, 48, 60), RGB(30, 36, 46), 1);
    FillRounded(dc, RECT{body.right - 9 * unit, body.bottom - unit, body.right - 3 * unit, body.bottom + 3 * unit},
                unit * 2, RGB(40, 48, 60), RGB(30, 36, 46), 1);
    FillRounded(dc, body, unit * 6, RGB(70, 96, 128), RGB(36, 52, 72), std::max(unit, 1));
    const RECT door{body.left + 3 * unit, body.top + 3 * unit, body.right - 3 * unit, body.bottom - 3 * unit};
    FillRounded(dc, door, unit * 4, RGB(104, 134, 170), RGB(48, 68, 94), std::max(unit / 2, 1));

    const int dialX = door.left + (door.right - door.left) * 2 / 5;
    const int dialY = (door.top + door.bottom) / 2;
    const int dialR = (door.bottom - door.top) / 4;
    FillCircle(dc, dialX, dialY, dialR, RGB(220, 226, 234), RGB(40, 56, 78), std::max(unit, 1));
    FillCircle(dc, dialX, dialY, dialR / 3, RGB(60, 80, 108), RGB(40, 56, 78), 1);
    {
        SelectedObject pen(dc, CreatePen(PS_SOLID, std::max(unit / 2, 1), RGB(40, 56, 78)));
        for (int tick = 0; tick < 8; ++tick) {
            static const int dx[] = {0, 7, 10, 7, 0, -7, -10, -7};
            static const int dy[] = {-10, -7, 0, 7, 10, 7, 0, -7};
            MoveToEx(dc, dialX + dx[tick] * dialR * 7 / 100, dialY + dy[tick] * dialR * 7 / 100, nullptr);
            LineTo(dc, dialX + dx[tick] * dialR * 9 / 100, dialY + dy[tick] * dialR * 9 / 100);
        }
    }
    const int handleX = door.right - (door.right - door.left) / 5;
    FillRounded(dc, RECT{handleX - unit * 2, dialY - dialR, handleX + unit * 2, dialY + dialR}, unit * 3,
                RGB(228, 190, 84), RGB(150, 112, 30), 1);
}

void DrawPictureButton(HDC dc, const RECT& area, LPCWSTR caption, bool pressed, bool focused)
{
    RECT face = area;
    if (pressed) {
        // The pressed look: a single-line border, the face moved in by it.
        HBRUSH frame = CreateSolidBrush(RGB(20, 30, 45));
        FrameRect(dc, &face, frame);
        DeleteObject(frame);
        InflateRect(&face, -1, -1);
    }
    FillGradient(dc, face, pressed ? RGB(40, 86, 150) : RGB(86, 140, 210), pressed ? RGB(70, 120, 190)
                                                                                  : RGB(40, 88, 156));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(255, 255, 255));
    RECT text = face;
    if (pressed) {
        OffsetRect(&text, 1, 1);
    }
    DrawTextW(dc, caption, -1, &text, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    if (focused) {
        // A dotted white frame: the usual XOR focus rectangle hardly shows
        // on a dark face.
        RECT focus = face;
        InflateRect(&focus, -3, -3);
        SelectedObject pen(dc, CreatePen(PS_DOT, 1, RGB(255, 255, 255)));
        SelectedObject hollow(dc, CreateBrushIndirect(&kHollowBrush));
        SetBkMode(dc, TRANSPARENT);
        Rectangle(dc, focus.left, focus.top, focus.right, focus.bottom);
    }
}

void DrawAdviceBackground(HDC dc, const RECT& area, bool withSafe, int dpi)
{
    FillGradient(dc, area, RGB(236, 243, 252), RGB(252, 253, 255));
    if (withSafe) {
        const int margin = MulDiv(12, dpi, 96);
        const int size = MulDiv(72, dpi, 96);
        DrawSafePicture(dc, RECT{area.left + margin, area.top + margin, area.left + margin + size,
                                 area.top + margin + size});
    }
}

}  // namespace tessaly
