// The menu of the main window: every item owner-drawn by the styler, its
// sizes and colours drawn into a bitmap, the stay-on-top option.
#include <windows.h>

#include <gtest/gtest.h>

#include "app/mainform.h"
#include "fixtures.h"
#include "platform/geometry.h"
#include "support.h"

#include <functional>

using namespace testsupport;

namespace {

constexpr COLORREF kSilver = 0xC0C0C0;
// An unusual window colour while the main window is created, so the
// selection and check-box colours differ from white and from each other.
constexpr COLORREF kTestWindowColour = RGB(0x40, 0x60, 0x80);

class MenuTest : public AppFixture {
protected:
    void SetUp() override {
        AppFixture::SetUp();
        app()->CreateForm(mainform);
        styler_ = mainform->MainMenu.Styler();
        ASSERT_NE(styler_, nullptr);
    }
    TRyMenu* styler_ = nullptr;
};

class MenuColourTest : public MenuTest {
protected:
    void SetUp() override {
        windowColour_ = std::make_unique<SysColorGuard>(COLOR_WINDOW, kTestWindowColour);
        MenuTest::SetUp();
    }
    void TearDown() override {
        MenuTest::TearDown();
        windowColour_.reset();
    }
    std::unique_ptr<SysColorGuard> windowColour_;
};

// A 24-bit memory bitmap that one item is drawn into by the main window's
// own WM_DRAWITEM handling.
class ItemCanvas {
public:
    ItemCanvas(int w, int h) : w_(w), h_(h) {
        ScreenDC screen;
        dc_ = ::CreateCompatibleDC(screen.get());
        bmp_ = ::CreateCompatibleBitmap(screen.get(), w, h);
        old_ = ::SelectObject(dc_, bmp_);
    }
    ~ItemCanvas() {
        ::SelectObject(dc_, old_);
        ::DeleteObject(bmp_);
        ::DeleteDC(dc_);
    }
    void Draw(TMenuItem& item, UINT state) {
        RECT all{0, 0, w_, h_};
        ::FillRect(dc_, &all, static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH)));
        DRAWITEMSTRUCT di{};
        di.CtlType = ODT_MENU;
        di.itemID = item.Command();
        di.itemAction = ODA_DRAWENTIRE;
        di.itemState = state;
        di.hwndItem = reinterpret_cast<HWND>(item.Parent() ? item.Parent()->SubMenu() : mainform->MainMenu.Handle());
        di.hDC = dc_;
        di.rcItem = all;
        di.itemData = reinterpret_cast<ULONG_PTR>(&item);
        ::SendMessageW(mainform->Handle(), WM_DRAWITEM, 0, reinterpret_cast<LPARAM>(&di));
    }
    COLORREF At(int x, int y) const { return ::GetPixel(dc_, x, y); }
    int Count(const RECT& r, COLORREF c) const {
        int n = 0;
        for (int y = r.top; y < r.bottom; ++y) {
            for (int x = r.left; x < r.right; ++x) n += At(x, y) == c;
        }
        return n;
    }

private:
    int w_, h_;
    HDC dc_;
    HBITMAP bmp_;
    HGDIOBJ old_;
};

MEASUREITEMSTRUCT Measure(TMenuItem& item) {
    MEASUREITEMSTRUCT mi{};
    mi.CtlType = ODT_MENU;
    mi.itemID = item.Command();
    mi.itemData = reinterpret_cast<ULONG_PTR>(&item);
    ::SendMessageW(mainform->Handle(), WM_MEASUREITEM, 0, reinterpret_cast<LPARAM>(&mi));
    return mi;
}

std::string Name(const TMenuItem& it) { return Utf8(it.Name()); }

}  // namespace

TEST_F(MenuTest, EveryItemAtEveryLevelIsOwnerDrawnAndDropDownsHaveTheMinimumSize) {
    HMENU bar = mainform->MainMenu.Handle();
    ASSERT_EQ(::GetMenu(mainform->Handle()), bar);
    int topLevel = 0;
    for (TMenuItem* it : mainform->MainMenu.Items()) {
        SCOPED_TRACE(Name(*it));
        MENUITEMINFOW info{};
        info.cbSize = sizeof info;
        info.fMask = MIIM_FTYPE | MIIM_DATA;
        if (it->TopLevel()) {
            ASSERT_TRUE(::GetMenuItemInfoW(bar, static_cast<UINT>(topLevel++), TRUE, &info));
        } else {
            ASSERT_TRUE(::GetMenuItemInfoW(it->Parent()->SubMenu(), it->Command(), FALSE, &info));
        }
        EXPECT_TRUE(info.fType & MFT_OWNERDRAW);
        EXPECT_EQ(info.dwItemData, reinterpret_cast<ULONG_PTR>(it));
        const MEASUREITEMSTRUCT mi = Measure(*it);
        if (it->TopLevel()) {
            EXPECT_GT(mi.itemWidth, 0u);
        } else {
            EXPECT_GE(mi.itemHeight, 20u);
            EXPECT_GE(mi.itemWidth, 50u);
        }
    }
    EXPECT_EQ(topLevel, 3);
    EXPECT_EQ(::GetMenuItemCount(bar), 3);
}

TEST_F(MenuColourTest, DrawnItemShowsGutterItemSelectionAndCheckBoxColours) {
    // The colours were fixed when the main window was created; a later
    // change of the system's window colour does not reach them.
    const COLORREF selection = kTestWindowColour;
    const COLORREF checkBox = LightenColour(kTestWindowColour, 75);
    const COLORREF item = ::GetSysColor(COLOR_BTNFACE);
    SysColorGuard later(COLOR_WINDOW, RGB(0x10, 0x20, 0x30));
    ASSERT_NE(checkBox, selection);

    TMenuItem& stay = mainform->stayoptionmenu;
    const MEASUREITEMSTRUCT mi = Measure(stay);
    const int w = static_cast<int>(mi.itemWidth), h = static_cast<int>(mi.itemHeight);
    const int gutter = styler_->GutterWidth();
    ASSERT_GE(gutter, 20);
    ItemCanvas canvas(w, h);
    const RECT gutterRect{0, 0, gutter, h};

    BOOL flat = FALSE;
    ::SystemParametersInfoW(SPI_GETFLATMENU, 0, &flat, 0);
    const COLORREF bar = ::GetSysColor(flat ? COLOR_MENUBAR : COLOR_MENU);
    TMenuItem& file = mainform->filemenu;
    const struct {
        const char* what;
        TMenuItem* item;
        bool checked;
        UINT state;
        COLORREF leftAt, rightAt;  // in the gutter and in the item area for drop-down items
        bool box;
    } cases[] = {
        {"plain", &stay, false, 0, kSilver, item, false},
        {"selected", &stay, false, ODS_SELECTED, selection, selection, false},
        {"checked", &stay, true, 0, kSilver, item, true},
        {"checked by the system's state", &stay, false, ODS_CHECKED, kSilver, item, true},
        {"menu-bar item", &file, false, 0, bar, bar, false},
        {"menu-bar item, selected", &file, false, ODS_SELECTED, selection, selection, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        stay.SetChecked(c.checked);
        canvas.Draw(*c.item, c.state);
        // Sampled on the second row, inside any frame and clear of the text.
        EXPECT_EQ(canvas.At(1, 2), c.leftAt);
        EXPECT_EQ(canvas.At(w - 3, 2), c.rightAt);
        const int boxPixels = canvas.Count(gutterRect, checkBox);
        if (c.box) {
            EXPECT_GT(boxPixels, (gutter / 3) * (gutter / 3)) << "no check box in the gutter";
            EXPECT_EQ(canvas.Count(RECT{gutter, 0, w, h}, checkBox), 0) << "check box outside the gutter";
        } else {
            EXPECT_EQ(boxPixels, 0);
        }
    }
}

TEST_F(MenuTest, DrawingAndMeasuringMakeNoGdiObjects) {
    TMenuItem& stay = mainform->stayoptionmenu;
    const MEASUREITEMSTRUCT mi = Measure(stay);
    ItemCanvas canvas(static_cast<int>(mi.itemWidth), static_cast<int>(mi.itemHeight));
    const UINT states[] = {0, ODS_SELECTED, ODS_CHECKED, ODS_SELECTED | ODS_CHECKED, ODS_GRAYED};
    auto round = [&](int n) {
        for (int i = 0; i < n; ++i) {
            for (TMenuItem* it : mainform->MainMenu.Items()) {
                Measure(*it);
                canvas.Draw(*it, states[i % 5]);
            }
        }
    };
    round(10);  // warm-up
    const int before = CountOwnGdiObjects();
    ASSERT_GT(before, 0);
    {
        // The count sees one brush more.
        HBRUSH probe = ::CreateSolidBrush(RGB(1, 2, 3));
        EXPECT_EQ(CountOwnGdiObjects(), before + 1);
        ::DeleteObject(probe);
    }
    round(300);
    EXPECT_EQ(CountOwnGdiObjects(), before);
}

TEST_F(MenuTest, StayOnTopFollowsTheCheckMark) {
    mainform->Show();
    PumpApp(100);
    HWND hwnd = mainform->Handle();
    TMenuItem& stay = mainform->stayoptionmenu;
    RECT place0;
    ::GetWindowRect(hwnd, &place0);
    const std::wstring figure = TextOf(mainform->physmemall.Handle());

    auto openParametres = [&] {
        ::SendMessageW(hwnd, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(mainform->parametresmenu.SubMenu()), 1);
    };
    auto choose = [&] { ::SendMessageW(hwnd, WM_COMMAND, MAKEWPARAM(stay.Command(), 0), 0); };
    auto topmost = [&] { return (::GetWindowLongPtrW(hwnd, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0; };
    auto markShown = [&] {
        return (::GetMenuState(mainform->parametresmenu.SubMenu(), stay.Command(), MF_BYCOMMAND) & MF_CHECKED) != 0;
    };

    EXPECT_FALSE(stay.Checked()) << "unchecked in the layout";
    ASSERT_TRUE(topmost());
    const struct {
        const char* step;
        std::function<void()> act;
        bool checked;
        TFormStyle style;
    } steps[] = {
        {"open Параметри", openParametres, true, fsStayOnTop},
        {"choose: off", choose, false, fsNormal},
        {"open again", openParametres, false, fsNormal},
        {"choose: on", choose, true, fsStayOnTop},
        {"open again", openParametres, true, fsStayOnTop},
        // Decided by the mark, not by the style: a cleared mark turns it on.
        {"mark cleared by hand", [&] { stay.SetChecked(false); }, false, fsStayOnTop},
        {"choose with the mark clear", choose, true, fsStayOnTop},
    };
    for (const auto& s : steps) {
        SCOPED_TRACE(s.step);
        s.act();
        EXPECT_EQ(stay.Checked(), s.checked);
        EXPECT_EQ(markShown(), s.checked);
        EXPECT_EQ(mainform->FormStyle(), s.style);
        EXPECT_EQ(topmost(), s.style == fsStayOnTop);
        RECT place;
        ::GetWindowRect(hwnd, &place);
        EXPECT_TRUE(::EqualRect(&place, &place0)) << "the window moved or changed size";
        EXPECT_EQ(::GetMenu(hwnd), mainform->MainMenu.Handle());
        EXPECT_EQ(::GetWindow(hwnd, GW_OWNER), app()->Handle()) << "the window changed owner";
    }
    EXPECT_TRUE(::IsWindowVisible(hwnd));
    EXPECT_TRUE(mainform->Timer.Running());
    EXPECT_FALSE(figure.empty());
    EXPECT_EQ(TextOf(mainform->physmemall.Handle()).find(L"Дані"), std::wstring::npos) << "the figures are kept";
}
