#include <gtest/gtest.h>

#include <regex>

#include "driver.h"
#include "readout/memory_figures.h"

using namespace testsupport;

namespace {

TEST(Startup, WindowCaptionPlacementAndFigures) {
    e2e::Keltaz k;
    ASSERT_TRUE(k.Start());
    EXPECT_EQ(WindowText(k.Main()), L"Диспетчер памяті, комп'ютера.");
    EXPECT_EQ(WindowText(k.App()), L"Диспетчер Келтаз");
    EXPECT_TRUE(::GetWindowLongPtrW(k.Main(), GWL_EXSTYLE) & WS_EX_TOPMOST);
    EXPECT_TRUE(::GetWindowLongPtrW(k.Main(), GWL_EXSTYLE) & WS_EX_TOOLWINDOW);
    RECT c;
    ::GetClientRect(k.Main(), &c);
    EXPECT_EQ(c.right, 278);
    EXPECT_EQ(c.bottom, 228);
    RECT w;
    ::GetWindowRect(k.Main(), &w);
    const int deskW = ::GetSystemMetrics(SM_CXVIRTUALSCREEN), deskH = ::GetSystemMetrics(SM_CYVIRTUALSCREEN);
    EXPECT_EQ(w.left, (deskW - (w.right - w.left)) / 2);
    EXPECT_EQ(w.top, (deskH - (w.bottom - w.top)) / 2);

    const std::wregex figure(L"^[0-9]+\\.[0-9]{3} $");
    const auto values = k.Values();
    for (const wchar_t* name : {L"physmemall", L"physmemava", L"physmemload", L"virtmemall", L"virtmemava",
                                L"virtmemload"}) {
        ASSERT_TRUE(values.count(name)) << Utf8(name);
        EXPECT_TRUE(std::regex_match(values.at(name), figure)) << Utf8(name) << ": " << Utf8(values.at(name));
    }
    MEMORYSTATUSEX ms{};
    ms.dwLength = sizeof ms;
    ::GlobalMemoryStatusEx(&ms);
    EXPECT_EQ(values.at(L"physmemall"), FormatMegabytes(ms.ullTotalPhys, L'.'));
    ::SaveScreenshot(ShotPath(L"main-96dpi.bmp"));
}

TEST(Startup, ClosingTheWindowEndsWithCodeZero) {
    e2e::Keltaz k;
    ASSERT_TRUE(k.Start());
    ::PostMessageW(k.Main(), WM_CLOSE, 0, 0);
    EXPECT_EQ(k.WaitExit(3000), 0);
}

}  // namespace
