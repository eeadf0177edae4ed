#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cwchar>
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

    // The row captions size themselves to their whole text in the window font.
    const e2e::WindowFont font(-11);
    for (const wchar_t* group : {L"Фізична память (Мб)", L"Віртуальна память (Мб)"}) {
        HWND box = FindChild(k.Main(), L"Button", group);
        ASSERT_NE(box, nullptr) << Utf8(group);
        for (const wchar_t* caption : {L"Всього:", L"Доступно:", L"Використовується:"}) {
            HWND label = FindChild(box, L"Static", caption);
            ASSERT_NE(label, nullptr) << Utf8(caption);
            RECT r;
            ::GetClientRect(label, &r);
            // Its text's width plus the few pixels of room left for the ink
            // of the last glyph.
            EXPECT_GE(r.right, font.TextWidth(caption)) << Utf8(caption);
            EXPECT_LE(r.right, font.TextWidth(caption) + std::max(3, font.TextHeight() / 4)) << Utf8(caption);
            EXPECT_EQ(r.bottom, font.TextHeight()) << Utf8(caption);
        }
    }
    EXPECT_TRUE(SaveScreenshot(ShotPath(L"startup-96dpi.bmp")));
}

// A figure as the window writes it ("1234.567 "), in megabytes.
double Megabytes(const std::wstring& figure) { return std::wcstod(figure.c_str(), nullptr); }

TEST(Startup, AvailableFigureFollowsMemoryTakenByAnotherProcess) {
    e2e::Keltaz k;
    ASSERT_TRUE(k.Start());
    MEMORYSTATUSEX ms{};
    ms.dwLength = sizeof ms;
    ::GlobalMemoryStatusEx(&ms);
    // A few hundred megabytes, but never more than half of what is free.
    const SIZE_T take = static_cast<SIZE_T>(std::min<DWORDLONG>(400ull << 20, ms.ullAvailPhys / 2));
    ASSERT_GE(take, SIZE_T{100} << 20) << "too little free memory for the test";
    const double before = Megabytes(k.Value(L"physmemava"));

    auto* block = static_cast<volatile char*>(::VirtualAlloc(nullptr, take, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    ASSERT_NE(block, nullptr);
    for (SIZE_T i = 0; i < take; i += 4096) block[i] = 1;  // every page in use
    const double takenMb = static_cast<double>(take) / (1 << 20);
    // Other programs on the machine move the figure too: wait until the
    // window has fallen by most of what was taken and agrees with our own
    // reading of the moment.
    double shown = 0, own = 0;
    const bool followed = WaitFor(
        [&] {
            shown = Megabytes(k.Value(L"physmemava"));
            ::GlobalMemoryStatusEx(&ms);
            own = static_cast<double>(ms.ullAvailPhys) / (1 << 20);
            return before - shown > takenMb / 2 && std::abs(shown - own) < takenMb / 4;
        },
        5000);
    EXPECT_TRUE(followed) << "before " << before << " MB, shown " << shown << " MB, own reading " << own
                          << " MB after taking " << takenMb << " MB";
    ::VirtualFree(const_cast<char*>(block), 0, MEM_RELEASE);
}

TEST(Startup, ClosingTheWindowEndsWithCodeZero) {
    e2e::Keltaz k;
    ASSERT_TRUE(k.Start());
    ::PostMessageW(k.Main(), WM_CLOSE, 0, 0);
    EXPECT_EQ(k.WaitExit(3000), 0);
}

}  // namespace
