// The toolkit against the real Win32: labels that do not repaint for nothing,
// the message timer, the error display, start-up failure.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <atomic>

#include <regex>

#include "app/mainform.h"
#include "fixtures.h"
#include "platform/forms.h"
#include "support.h"

using namespace testsupport;

namespace {

const TFormProps kProbeProps = {
    L"TProbeForm", L"Probe", bsToolWindow, false, fsNormal, poDesigned, 40, 40, 200, 100, L"MS Sans Serif", -11,
};

// A small form with one label of each kind.
class TProbeForm : public TForm {
public:
    TLabel Sized;
    TLabel Fixed;
    TProbeForm() : TForm(kProbeProps) {
        CreateWindowHandle();
        const TLayoutRow layout[] = {
            {&Sized, nullptr, L"Sized", 10, 10, 96, 13, L"Дані не обраховані", loAutoSize, -1},
            {&Fixed, nullptr, L"Fixed", 10, 40, 81, 13, L"Дані не обраховані", loNone, -1},
        };
        BuildLayout(layout, 2);
    }
};

LRESULT CALLBACK CountSetText(HWND h, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR ref) {
    if (msg == WM_SETTEXT) ++*reinterpret_cast<int*>(ref);
    return ::DefSubclassProc(h, msg, wp, lp);
}

RECT WindowRectIn(HWND child, HWND parent) {
    RECT r;
    ::GetWindowRect(child, &r);
    ::MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

}  // namespace

class ToolkitTest : public AppFixture {};

TEST_F(ToolkitTest, LabelSetToItsOwnTextSendsNothingAndDoesNotRepaint) {
    TProbeForm* form = nullptr;
    app()->CreateForm(form);
    form->Show();
    PumpApp(100);
    for (TLabel* label : {&form->Sized, &form->Fixed}) {
        SCOPED_TRACE(Utf8(label->Name()));
        int setTexts = 0;
        ASSERT_TRUE(::SetWindowSubclass(label->Handle(), &CountSetText, 7, reinterpret_cast<DWORD_PTR>(&setTexts)));
        ::ValidateRect(label->Handle(), nullptr);

        label->SetCaption(L"Дані не обраховані");
        EXPECT_EQ(setTexts, 0);
        EXPECT_FALSE(::GetUpdateRect(label->Handle(), nullptr, FALSE)) << "a repaint was asked for";

        label->SetCaption(L"1234.567 ");
        EXPECT_EQ(setTexts, 1);
        EXPECT_EQ(TextOf(label->Handle()), L"1234.567 ");

        PumpApp(50);
        ::ValidateRect(label->Handle(), nullptr);
        label->SetCaption(L"1234.567 ");
        EXPECT_EQ(setTexts, 1);
        EXPECT_FALSE(::GetUpdateRect(label->Handle(), nullptr, FALSE));
        ::RemoveWindowSubclass(label->Handle(), &CountSetText, 7);
    }
}

TEST_F(ToolkitTest, AutoSizedLabelGrowsToTheRightAndFixedLabelKeepsItsWidth) {
    TProbeForm* form = nullptr;
    app()->CreateForm(form);
    const RECT sized0 = WindowRectIn(form->Sized.Handle(), form->Handle());
    const RECT fixed0 = WindowRectIn(form->Fixed.Handle(), form->Handle());
    const std::wstring longer = L"Дані не обраховані, і ще довший текст";
    form->Sized.SetCaption(longer);
    form->Fixed.SetCaption(longer);
    const RECT sized1 = WindowRectIn(form->Sized.Handle(), form->Handle());
    const RECT fixed1 = WindowRectIn(form->Fixed.Handle(), form->Handle());
    EXPECT_EQ(sized1.left, sized0.left);
    EXPECT_GT(sized1.right, sized0.right);
    EXPECT_EQ(fixed1.left, fixed0.left);
    EXPECT_EQ(fixed1.right - fixed1.left, fixed0.right - fixed0.left);
    form->Sized.SetCaption(L"1.000 ");
    EXPECT_LT(WindowRectIn(form->Sized.Handle(), form->Handle()).right, sized0.right);
}

TEST_F(ToolkitTest, TicksDoNotPileUpWhileTheThreadIsBusy) {
    TTimer timer;
    EXPECT_EQ(timer.Interval(), 1000u) << "the layout leaves the interval at its default";
    timer.SetInterval(2000);
    int ticks = 0;
    timer.SetOnTimer([&](TObject*) { ++ticks; });
    ASSERT_TRUE(timer.Running());
    // Busy for two and a half intervals, half-way between two ticks: two
    // fall due meanwhile, and the next is a second away.
    ::Sleep(5000);
    PumpApp(400);
    EXPECT_EQ(ticks, 1);
    EXPECT_TRUE(WaitForApp([&] { return ticks == 2; }, 4000)) << "the timer stopped after the busy spell";

    timer.SetEnabled(false);
    EXPECT_FALSE(timer.Running());
    const int before = ticks;
    PumpApp(2500);
    EXPECT_EQ(ticks, before) << "a stopped timer ticked";
}

TEST_F(ToolkitTest, ErrorInATickIsShownAndTheTimerGoesOn) {
    TProbeForm* form = nullptr;
    app()->CreateForm(form);
    form->Show();
    PumpApp(100);
    ASSERT_EQ(::GetActiveWindow(), form->Handle());
    // A control holding the mouse capture is told to cancel before the box.
    HWND holder = form->Fixed.Handle();
    int cancelModes = 0;
    ::SetWindowSubclass(holder,
                        [](HWND h, UINT m, WPARAM w, LPARAM l, UINT_PTR, DWORD_PTR ref) -> LRESULT {
                            if (m == WM_CANCELMODE) ++*reinterpret_cast<int*>(ref);
                            return ::DefSubclassProc(h, m, w, l);
                        },
                        8, reinterpret_cast<DWORD_PTR>(&cancelModes));

    // Each message as raised, and as the box must show it.
    const struct {
        const wchar_t* raised;
        const wchar_t* shown;
    } cases[] = {
        {L"Boom", L"Boom."},
        {L"Failed to get data for '~mhz'", L"Failed to get data for '~mhz'"},
        {L"Unreadable value: 12", L"Unreadable value: 12."},
        {L"Already ends.", L"Already ends."},
    };
    const int n = static_cast<int>(sizeof cases / sizeof cases[0]);
    BoxWatcher watcher(kAppTitle, 50);
    TTimer timer;
    timer.SetInterval(500);
    int ticks = 0;
    bool afterBox = false;
    timer.SetOnTimer([&](TObject*) {
        ++ticks;
        if (ticks <= n) {
            ::SetCapture(holder);  // as if a button were held down
            throw Exception(cases[ticks - 1].raised);
        }
        afterBox = true;
    });
    ASSERT_TRUE(WaitForApp([&] { return ticks >= n + 2; }, 15000)) << "ticks: " << ticks;
    EXPECT_TRUE(afterBox);
    EXPECT_TRUE(timer.Running());
    watcher.Stop();

    const auto boxes = watcher.Boxes();
    ASSERT_EQ(static_cast<int>(boxes.size()), n);
    for (int i = 0; i < n; ++i) {
        SCOPED_TRACE(Utf8(cases[i].raised));
        EXPECT_EQ(boxes[i].text, cases[i].shown);
        EXPECT_EQ(boxes[i].owner, app()->Handle()) << "the box belongs to the application's window";
        EXPECT_EQ(boxes[i].otherVisible, 1);
        EXPECT_TRUE(boxes[i].othersDisabled) << "the form stayed enabled under the box";
    }
    EXPECT_EQ(cancelModes, n) << "the capture was not cancelled before the box";
    EXPECT_TRUE(::IsWindowEnabled(form->Handle()));
    EXPECT_EQ(::GetActiveWindow(), form->Handle()) << "the active window is not active again";
    EXPECT_FALSE(app()->ShowingException());
}

// ---------------------------------------------------------------------------
// A form that cannot be built: the error arises outside its creation handler.

namespace {
const TFormProps kBrokenProps = {
    L"TBrokenForm", L"Broken", bsToolWindow, false, fsNormal, poDesigned, 40, 40, 200, 100, L"MS Sans Serif", -11,
};
int brokenCreateRuns = 0;
class TBrokenForm : public TForm {
public:
    TBrokenForm() : TForm(kBrokenProps) {
        CreateWindowHandle();
        throw EOutOfResources(L"Not enough timers available");
    }
    void FormCreate() override { ++brokenCreateRuns; }
};
}  // namespace

TEST(StartupFailure, ShowsApplicationErrorBoxAndGivesExitCodeOne) {
    BoxWatcher watcher(L"Application Error", 50);
    TBrokenForm* ref = nullptr;
    bool reachedRun = false;
    TApplication app;
    const int code = RunApplication([&] {
        app.Initialize();
        app.SetTitle(kAppTitle);
        app.CreateForm(ref);
        reachedRun = true;
        app.Run();
    });
    watcher.Stop();
    EXPECT_EQ(code, 1);
    EXPECT_FALSE(reachedRun);
    EXPECT_EQ(ref, nullptr) << "the reference must be reset";
    EXPECT_EQ(brokenCreateRuns, 0);
    const auto boxes = watcher.Boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].owner, nullptr);
    EXPECT_EQ(boxes[0].otherVisible, 0) << "no window of the program is shown";
    const std::wregex shape(L"Exception EOutOfResources in module win_tests\\.exe at ([0-9A-F]{8})\\.\n"
                            L"Not enough timers available\\.\n");
    std::wsmatch m;
    ASSERT_TRUE(std::regex_match(boxes[0].text, m, shape)) << Utf8(boxes[0].text);
    // The address is an offset into the test program's image.
    const auto offset = std::stoul(m[1].str(), nullptr, 16);
    auto* base = reinterpret_cast<const unsigned char*>(::GetModuleHandleW(nullptr));
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + reinterpret_cast<const IMAGE_DOS_HEADER*>(base)->e_lfanew);
    EXPECT_GE(offset, nt->OptionalHeader.BaseOfCode);
    EXPECT_LT(offset, nt->OptionalHeader.BaseOfCode + nt->OptionalHeader.SizeOfCode);
}

TEST(StartupFailure, FormsBuiltBeforeTheFailureAreGoneBeforeTheBox) {
    // A main window built before the failing form would otherwise go on
    // refreshing (and failing) beneath the box.
    std::atomic<bool> mainWindowUnderBox{true};
    BoxWatcher watcher(L"Application Error", 1500, [&](HWND) {
        mainWindowUnderBox = ::FindWindowW(L"Tmainform", nullptr) != nullptr;
    });
    TBrokenForm* ref = nullptr;
    TApplication app;
    const int code = RunApplication([&] {
        app.Initialize();
        app.SetTitle(kAppTitle);
        app.CreateForm(mainform);
        app.CreateForm(ref);
        app.Run();
    });
    watcher.Stop();
    mainform = nullptr;  // destroyed with the failed start-up
    EXPECT_EQ(code, 1);
    ASSERT_EQ(watcher.Boxes().size(), 1u);
    EXPECT_FALSE(mainWindowUnderBox);
}

TEST(StartupFailure, NormalStartEndsWithExitCodeZero) {
    TApplication app;
    TProbeForm* form = nullptr;
    const int code = RunApplication([&] {
        app.Initialize();
        app.SetTitle(kAppTitle);
        app.CreateForm(form);
        ::PostMessageW(form->Handle(), WM_CLOSE, 0, 0);  // closing the main form ends the run
        app.Run();
    });
    EXPECT_EQ(code, 0);
    EXPECT_TRUE(app.Terminated());
}
