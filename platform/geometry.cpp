#include "geometry.h"

namespace {
int AtLeastZero(int v) { return v < 0 ? 0 : v; }

// (a * b) / c rounded to nearest, as MulDiv does.
int MulDivRound(int a, int b, int c) {
    const long long p = static_cast<long long>(a) * b;
    const long long half = c / 2;
    return static_cast<int>(p >= 0 ? (p + half) / c : -((-p + half) / c));
}

// Integer division rounding toward minus infinity ("div" of a negative sum).
int FloorDiv(int a, int b) {
    int q = a / b;
    if ((a % b != 0) && ((a < 0) != (b < 0))) --q;
    return q;
}
}  // namespace

Point DesktopCenterPlacement(const Rect& desk, int w, int h) {
    // The offsets are measured within the virtual screen: with a monitor left
    // of the primary one the desktop starts at a negative coordinate.
    Point p;
    p.x = desk.left + AtLeastZero((desk.Width() - w) / 2);
    p.y = desk.top + AtLeastZero((desk.Height() - h) / 2);
    return p;
}

Point MainFormCenterPlacement(const Rect& main, int w, int h) {
    Point p;
    p.x = AtLeastZero(main.left + FloorDiv(main.Width() - w, 2));
    p.y = AtLeastZero(main.top + FloorDiv(main.Height() - h, 2));
    return p;
}

int ScaledFontHeight(int designHeight, int dpi) { return MulDivRound(designHeight, dpi, 96); }

int ScaleByTextHeight(int value, int textHeight) { return MulDivRound(value, textHeight, 13); }

std::uint32_t LightenColour(std::uint32_t colour, int percent) {
    std::uint32_t out = 0;
    for (int shift = 0; shift < 24; shift += 8) {
        const int c = static_cast<int>((colour >> shift) & 0xFF);
        const int lit = c + (255 - c) * percent / 100;
        out |= static_cast<std::uint32_t>(lit) << shift;
    }
    return out;
}
