// Placement, scaling and colour arithmetic of the toolkit. Pure.
#pragma once
#include <cstdint>

struct Rect {
    int left = 0, top = 0, right = 0, bottom = 0;
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
};

struct Point {
    int x = 0, y = 0;
};

// First showing centred on the desktop: the virtual screen spanning every
// monitor, (desktop size - window size) / 2 truncated toward zero, each
// coordinate raised to 0 when negative.
Point DesktopCenterPlacement(const Rect& virtualScreen, int windowWidth, int windowHeight);

// First showing centred on the main window, on both windows' outer sizes,
// div dropping the remainder, a negative result replaced by 0.
Point MainFormCenterPlacement(const Rect& mainWindow, int windowWidth, int windowHeight);

// Layout designed at 96 dots per inch with a text height of 13: the font's
// height is scaled by dpi/96, every position and size by the scaled font's
// text height over 13.
int ScaledFontHeight(int designHeight, int dpi);
int ScaleByTextHeight(int value, int textHeight);

// A colour (0x00BBGGRR) taken the given per cent of the way toward white.
std::uint32_t LightenColour(std::uint32_t colour, int percent);
