// The main window's menu driven by keyboard, and the window at another
// resolution. The Dpi tests run with the prefix set to 144 dots per inch.
#include <gtest/gtest.h>

#include <algorithm>

#include <cmath>

#include "driver.h"

using namespace testsupport;

namespace {

bool Topmost(HWND h) { return (::GetWindowLongPtrW(h, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0; }

RECT WindowRect(HWND h) {
    RECT r{};
    ::GetWindowRect(h, &r);
    return r;
}

bool SameRect(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

// Screenshots of the window alone and with "Параметри" open.
void SaveMainWindowShots(e2e::Keltaz& k, const std::wstring& suffix) {
    Pump(500);  // a window just shown may not have painted yet
    EXPECT_TRUE(SaveScreenshot(ShotPath(L"main-" + suffix + L".bmp")));
    k.OpenMenu(1);
    EXPECT_TRUE(WaitFor([&] { return e2e::InMenuMode(k.Main()); }, 2000)) << "the drop-down did not open";
    Pump(300);  // let the drop-down paint
    EXPECT_TRUE(SaveScreenshot(ShotPath(L"parameters-menu-" + suffix + L".bmp")));
    k.CancelMenu();
    EXPECT_TRUE(WaitFor([&] { return !e2e::InMenuMode(k.Main()); }, 2000));
}

TEST(Menu, StayOnTopToggledByKeyboardKeepsPlaceAndFigures) {
    e2e::CpuMhzGuard restore;
    e2e::Keltaz k;
    ASSERT_TRUE(k.Start());
    ASSERT_TRUE(Topmost(k.Main()));
    const RECT place = WindowRect(k.Main());
    SaveMainWindowShots(k, L"96dpi");

    k.ChooseMenu(1, 0);
    EXPECT_TRUE(WaitFor([&] { return !Topmost(k.Main()); }, 2000)) << "still on top";
    EXPECT_TRUE(SameRect(WindowRect(k.Main()), place));
    EXPECT_TRUE(::IsWindowVisible(k.Main()));
    EXPECT_TRUE(e2e::FiguresRenew(k));
    EXPECT_FALSE(k.Values().empty());
    // The window after the change: the option is unchecked now.
    k.OpenMenu(1);
    Pump(300);
    EXPECT_TRUE(SaveScreenshot(ShotPath(L"parameters-menu-unchecked-96dpi.bmp")));
    k.CancelMenu();

    k.ChooseMenu(1, 0);
    EXPECT_TRUE(WaitFor([&] { return Topmost(k.Main()); }, 2000)) << "not on top again";
    EXPECT_TRUE(SameRect(WindowRect(k.Main()), place));
    EXPECT_TRUE(e2e::FiguresRenew(k));
}

TEST(Menu, ExitByKeyboardEndsWithCodeZero) {
    e2e::Keltaz k;
    ASSERT_TRUE(k.Start());
    k.ChooseMenu(0, 1);
    EXPECT_EQ(k.WaitExit(3000), 0);
}

// --- 144 dpi ---------------------------------------------------------------

int ByTextHeight(int v, int h) { return static_cast<int>(std::lround(static_cast<double>(v) * h / 13)); }

TEST(Dpi, ClientAreaFontAndLayoutScaleAt144) {
    HDC screen = ::GetDC(nullptr);
    const int dpi = ::GetDeviceCaps(screen, LOGPIXELSY);
    ::ReleaseDC(nullptr, screen);
    ASSERT_EQ(dpi, 144) << "the prefix is not set to 144 dpi";
    // The window font, scaled by the resolution: "MS Sans Serif" -11 at 96.
    e2e::WindowFont font(-static_cast<int>(std::lround(11.0 * dpi / 96)));
    const int h = font.TextHeight();
    ASSERT_GT(h, 13);

    e2e::Keltaz k;
    ASSERT_TRUE(k.Start());
    RECT c;
    ::GetClientRect(k.Main(), &c);
    EXPECT_EQ(c.right, ByTextHeight(278, h)) << "text height " << h;
    EXPECT_EQ(c.bottom, ByTextHeight(228, h)) << "text height " << h;

    // Labels size themselves to their text in the window font: their size
    // shows the font's height, their place the layout's scale.
    HWND phys = FindChild(k.Main(), L"Button", L"Фізична память (Мб)");
    ASSERT_NE(phys, nullptr);
    HWND total = FindChild(phys, L"Static", L"Всього:");
    HWND inUse = FindChild(phys, L"Static", L"Використовується:");
    ASSERT_NE(total, nullptr);
    ASSERT_NE(inUse, nullptr);
    const RECT g = WindowRect(phys), t = WindowRect(total), u = WindowRect(inUse);
    EXPECT_EQ(t.bottom - t.top, h);
    const int room = std::max(3, h / 4);  // for the ink of the last glyph
    EXPECT_GE(t.right - t.left, font.TextWidth(L"Всього:"));
    EXPECT_LE(t.right - t.left, font.TextWidth(L"Всього:") + room);
    EXPECT_GE(u.right - u.left, font.TextWidth(L"Використовується:"));
    EXPECT_LE(u.right - u.left, font.TextWidth(L"Використовується:") + room);
    EXPECT_EQ(t.left - g.left, ByTextHeight(8, h));
    EXPECT_EQ(t.top - g.top, ByTextHeight(24, h));
    EXPECT_EQ(u.top - g.top, ByTextHeight(72, h));
    EXPECT_EQ(g.right - g.left, ByTextHeight(268, h));
    EXPECT_EQ(g.bottom - g.top, ByTextHeight(97, h));

    SaveMainWindowShots(k, L"144dpi");
}

}  // namespace
