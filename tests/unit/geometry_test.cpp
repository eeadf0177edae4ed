#include <gtest/gtest.h>

#include "platform/geometry.h"

TEST(DesktopCenterPlacement, OneAndTwoMonitors) {
    struct Case {
        Rect desk;
        int w, h, x, y;
    } cases[] = {
        {{0, 0, 1280, 1024}, 284, 269, 498, 377},
        {{0, 0, 1281, 1025}, 284, 270, 498, 377},      // halves truncated
        {{0, 0, 3200, 1200}, 284, 269, 1458, 465},     // two side by side: centred on both
        {{-1920, 0, 1280, 1080}, 284, 269, -462, 405}, // second monitor on the left
        {{0, 0, 200, 100}, 284, 269, 0, 0},            // larger than the screen: 0
        {{-1920, 0, 1280, 1080}, 4000, 2000, -1920, 0}, // larger, on a desktop left of 0
    };
    for (const auto& c : cases) {
        const Point p = DesktopCenterPlacement(c.desk, c.w, c.h);
        EXPECT_EQ(p.x, c.x) << c.desk.left << "," << c.w;
        EXPECT_EQ(p.y, c.y) << c.desk.left << "," << c.h;
    }
}

TEST(MainFormCenterPlacement, DivDropsRemainderNegativeBecomesZero) {
    struct Case {
        Rect main;
        int w, h, x, y;
    } cases[] = {
        {{498, 377, 782, 646}, 267, 121, 506, 451},
        {{498, 377, 783, 647}, 267, 121, 507, 451},
        {{0, 0, 100, 50}, 267, 121, 0, 0},  // dialog larger than the main window at the corner
        {{-300, -200, -16, 69}, 267, 121, 0, 0},
    };
    for (const auto& c : cases) {
        const Point p = MainFormCenterPlacement(c.main, c.w, c.h);
        EXPECT_EQ(p.x, c.x);
        EXPECT_EQ(p.y, c.y);
    }
}

TEST(Scaling, FontAndLayoutAtCommonResolutions) {
    // Font height by dpi/96; layout by the scaled font's text height over 13.
    struct Case {
        int dpi, font, textHeight, client278, client228;
    } cases[] = {
        {96, 11, 13, 278, 228},
        {120, 14, 16, 342, 281},
        {144, 17, 20, 428, 351},
        {192, 22, 26, 556, 456},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ScaledFontHeight(11, c.dpi), c.font) << c.dpi;
        EXPECT_EQ(ScaleByTextHeight(278, c.textHeight), c.client278) << c.dpi;
        EXPECT_EQ(ScaleByTextHeight(228, c.textHeight), c.client228) << c.dpi;
    }
    EXPECT_EQ(ScaleByTextHeight(-2, 20), -3);
}

TEST(LightenColour, TowardWhite) {
    EXPECT_EQ(LightenColour(0xFFFFFF, 75), 0xFFFFFFu);
    EXPECT_EQ(LightenColour(0x000000, 75), 0xBFBFBFu);  // 0 + 255*75/100 = 191
    EXPECT_EQ(LightenColour(0x6A240A, 75), 0xD9C8C1u);  // per channel, truncated
    EXPECT_EQ(LightenColour(0x123456, 0), 0x123456u);
    EXPECT_EQ(LightenColour(0x123456, 100), 0xFFFFFFu);
}
