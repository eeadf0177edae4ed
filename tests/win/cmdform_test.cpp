// The run dialog driven through real window messages: inline completion in
// the box's edit control, the keyboard table, placement and reopening, and
// command lines that cannot run.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "app/mainform.h"
#include "control/cmdform.h"
#include "fixtures.h"
#include "support.h"

using namespace testsupport;

namespace {

std::function<void()>* pendingScript = nullptr;

void CALLBACK RunPendingScript(HWND, UINT, UINT_PTR id, DWORD) {
    ::KillTimer(nullptr, id);
    std::function<void()>* script = pendingScript;
    pendingScript = nullptr;
    if (script) (*script)();
}

// Shows the dialog modally and runs `script` from inside its own loop; a
// dialog the script leaves open is closed (and reported). ShowModal's result.
int RunModal(std::function<void()> script) {
    std::function<void()> wrapped = [&] {
        script();
        if (CmdForm->ModalResult == mrNone && !Application->Terminated()) {
            ADD_FAILURE() << "the dialog is still open after the script";
            CmdForm->Close();
        }
    };
    pendingScript = &wrapped;
    ::SetTimer(nullptr, 0, 10, &RunPendingScript);
    return CmdForm->ShowModal();
}

bool StillOpen() { return CmdForm->Modal() && CmdForm->ModalResult == mrNone && CmdForm->Visible(); }

// A key pressed on the focused window, through the queue as the keyboard
// delivers it; Shift held in the thread's key state when asked.
void Press(UINT vk, bool shift = false) {
    BYTE saved[256];
    ::GetKeyboardState(saved);
    if (shift) {
        BYTE keys[256];
        std::memcpy(keys, saved, sizeof keys);
        keys[VK_SHIFT] = keys[VK_LSHIFT] = 0x80;
        ::SetKeyboardState(keys);
    }
    HWND target = ::GetFocus();
    const LPARAM sc = static_cast<LPARAM>(::MapVirtualKeyW(vk, MAPVK_VK_TO_VSC)) << 16;
    ::PostMessageW(target, WM_KEYDOWN, vk, 1 | sc);
    ::PostMessageW(target, WM_KEYUP, vk, 1 | sc | 0xC0000000);
    PumpApp(60);
    if (shift) ::SetKeyboardState(saved);
}

void AltF4() {
    HWND target = ::GetFocus();
    const LPARAM sc = static_cast<LPARAM>(::MapVirtualKeyW(VK_F4, MAPVK_VK_TO_VSC)) << 16;
    ::PostMessageW(target, WM_SYSKEYDOWN, VK_F4, 1 | sc | (1 << 29));
    ::PostMessageW(target, WM_SYSKEYUP, VK_F4, 1 | sc | (1 << 29) | 0xC0000000);
    PumpApp(100);
}

// Characters typed into the box's edit control.
void Type(const std::wstring& chars) {
    for (wchar_t ch : chars) {
        ::PostMessageW(CmdForm->Cmdtext.EditHandle(), WM_CHAR, ch, 1);
        PumpApp(20);
    }
}

struct EditState {
    std::wstring text;
    DWORD selStart, selEnd;
};
EditState BoxState() {
    HWND edit = CmdForm->Cmdtext.EditHandle();
    wchar_t buf[256] = {};
    ::SendMessageW(edit, WM_GETTEXT, 256, reinterpret_cast<LPARAM>(buf));
    DWORD s = 0, e = 0;
    ::SendMessageW(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&s), reinterpret_cast<LPARAM>(&e));
    return {buf, s, e};
}

void ClearBox() {
    CmdForm->Cmdtext.SetText(L"");
    ::SendMessageW(CmdForm->Cmdtext.EditHandle(), EM_SETSEL, 0, 0);
}

// Which control of the dialog has the focus.
std::string Focused() {
    HWND f = ::GetFocus();
    if (!f) return "none";
    if (f == CmdForm->okbtn.Handle()) return "ОК";
    if (f == CmdForm->cancelbtn.Handle()) return "Отмена";
    if (f == CmdForm->Cmdtext.Handle() || ::IsChild(CmdForm->Cmdtext.Handle(), f)) return "box";
    return "elsewhere";
}

std::wstring TempDir() {
    wchar_t buf[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, buf);
    return buf;
}

bool FileExists(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::wstring MarkerCommand(const std::wstring& marker) { return L"cmd /c echo x > \"" + marker + L"\""; }

class CmdFormTest : public AppFixture {
protected:
    void SetUp() override {
        AppFixture::SetUp();
        app()->CreateForm(mainform);
        app()->CreateForm(CmdForm);
        ASSERT_NE(CmdForm, nullptr);
        mainform->Show();
        PumpApp(100);
    }
};

}  // namespace

TEST_F(CmdFormTest, CompletionThroughTheEditControl) {
    constexpr int kAny = -2;
    // Each row types into an empty box; the text and selection are read back
    // from the edit control.
    const struct {
        const wchar_t* keys;
        const wchar_t* text;
        DWORD selStart, selEnd;
        int item;  // the list's current item afterwards
    } cases[] = {
        {L"c", L"cmd", 1, 3, 0},
        {L"co", L"control", 2, 7, 2},
        {L"control ", L"control desk.cpl", 8, 16, 3},
        {L"control s", L"control sysdm.cpl", 9, 17, 6},
        {L"R", L"Regedit", 1, 7, 1},
        {L"x", L"x", 1, 1, -1},
        // Backspace removes the completed part, then the typed letter, and
        // never completes.
        {L"c\b", L"c", 1, 1, kAny},
        {L"c\b\b", L"", 0, 0, kAny},
        {L"c\b\bc", L"cmd", 1, 3, 0},
        {L"re\bx", L"rex", 3, 3, kAny},  // no preset begins with "rex"
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Utf8(c.keys));
        ClearBox();
        ::SendMessageW(CmdForm->Cmdtext.Handle(), CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
        Type(c.keys);
        const EditState s = BoxState();
        EXPECT_EQ(s.text, c.text);
        EXPECT_EQ(s.selStart, c.selStart);
        EXPECT_EQ(s.selEnd, c.selEnd);
        if (c.item != kAny) {
            EXPECT_EQ(CmdForm->Cmdtext.ItemIndex(), c.item);
        }
        EXPECT_FALSE(CmdForm->Cmdtext.DroppedDown()) << "typing opened the list";
    }
    EXPECT_EQ(::SendMessageW(CmdForm->Cmdtext.Handle(), CB_GETCOUNT, 0, 0), 8);
}

TEST_F(CmdFormTest, FocusMovesInTheTabOrderAndTheKeysThatDoNotClose) {
    const int result = RunModal([] {
        EXPECT_FALSE(::IsWindowEnabled(mainform->Handle())) << "the main window takes input under the dialog";
        EXPECT_EQ(Focused(), "ОК") << "first opening";
        const struct {
            UINT vk;
            bool shift;
            const char* focus;
        } steps[] = {
            {VK_TAB, false, "Отмена"}, {VK_TAB, false, "box"},     {VK_TAB, false, "ОК"},
            {VK_TAB, true, "box"},     {VK_TAB, true, "Отмена"},   {VK_TAB, true, "ОК"},
            {VK_RIGHT, false, "Отмена"}, {VK_DOWN, false, "box"},  {VK_TAB, false, "ОК"},
            {VK_LEFT, false, "box"},   {VK_TAB, true, "Отмена"},   {VK_UP, false, "ОК"},
            {VK_ESCAPE, false, "ОК"},  {VK_TAB, true, "box"},      {VK_ESCAPE, false, "box"},
            {VK_RETURN, false, "box"},
        };
        int n = 0;
        for (const auto& s : steps) {
            SCOPED_TRACE(::testing::Message() << "step " << n++);
            Press(s.vk, s.shift);
            EXPECT_EQ(Focused(), s.focus);
            ASSERT_TRUE(StillOpen());
        }

        // Up and Down in the box walk the presets.
        ClearBox();
        const wchar_t* walk[] = {L"cmd", L"regedit", L"control", L"regedit"};
        const UINT keys[] = {VK_DOWN, VK_DOWN, VK_DOWN, VK_UP};
        for (int i = 0; i < 4; ++i) {
            Press(keys[i]);
            EXPECT_EQ(CmdForm->Cmdtext.Text(), walk[i]) << "after key " << i;
            EXPECT_EQ(Focused(), "box");
        }

        // Enter and Escape with the list open close the list only.
        for (UINT vk : {VK_RETURN, VK_ESCAPE}) {
            CmdForm->Cmdtext.SetDroppedDown(true);
            PumpApp(50);
            ASSERT_TRUE(CmdForm->Cmdtext.DroppedDown());
            ::SetFocus(CmdForm->Cmdtext.EditHandle());
            Press(vk);
            EXPECT_FALSE(CmdForm->Cmdtext.DroppedDown());
            EXPECT_TRUE(StillOpen());
        }
        CmdForm->Close();
    });
    EXPECT_EQ(result, mrCancel);
    EXPECT_TRUE(::IsWindowEnabled(mainform->Handle()));
}

TEST_F(CmdFormTest, KeysAndCommandsThatCloseTheDialog) {
    const std::wstring marker = TempDir() + L"keltaz-dialog-marker.txt";
    const struct {
        const char* what;
        std::function<void()> act;
        bool runs;
    } cases[] = {
        {"Enter on Отмена", [] { ::SetFocus(CmdForm->cancelbtn.Handle()); Press(VK_RETURN); }, false},
        {"Space on Отмена", [] { ::SetFocus(CmdForm->cancelbtn.Handle()); Press(VK_SPACE); }, false},
        {"Alt+F4 in the box", [] { ::SetFocus(CmdForm->Cmdtext.EditHandle()); AltF4(); }, false},
        {"the close box", [] { ::PostMessageW(CmdForm->Handle(), WM_SYSCOMMAND, SC_CLOSE, 0); PumpApp(100); }, false},
        {"Enter on ОК", [] { ::SetFocus(CmdForm->okbtn.Handle()); Press(VK_RETURN); }, true},
        // Last: the application stays marked for termination.
        {"the application ends", [] { Application->Terminate(); PumpApp(50); }, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ::DeleteFileW(marker.c_str());
        CmdForm->Cmdtext.SetText(MarkerCommand(marker));
        const int result = RunModal([&] { c.act(); });
        EXPECT_EQ(result, mrCancel);
        EXPECT_FALSE(CmdForm->Visible());
        EXPECT_TRUE(::IsWindowEnabled(mainform->Handle()));
        EXPECT_EQ(CmdForm->Cmdtext.Text(), MarkerCommand(marker)) << "the text is kept";
        const bool ran = WaitForApp([&] { return FileExists(marker); }, c.runs ? 15000 : 1500);
        EXPECT_EQ(ran, c.runs);
    }
    ::DeleteFileW(marker.c_str());
}

TEST_F(CmdFormTest, AnErrorInAButtonReachedByEnterIsShownAndTheDialogGoesOn) {
    // Enter clicks the focused button from the message loop, outside any
    // window procedure: its error must still reach the error display.
    BoxWatcher watcher(L"Диспетчер Келтаз");
    const TNotifyEvent ok = CmdForm->okbtn.OnClick;
    CmdForm->okbtn.OnClick = [](TObject*) { throw Exception(L"Launch refused"); };
    const int result = RunModal([&] {
        ::SetFocus(CmdForm->okbtn.Handle());
        Press(VK_RETURN);
        EXPECT_TRUE(WaitForApp([&] { return !watcher.Boxes().empty() && !app()->ShowingException(); }, 5000));
        EXPECT_TRUE(StillOpen()) << "the error took the dialog with it";
        EXPECT_FALSE(::IsWindowEnabled(mainform->Handle()));
        ::SetFocus(CmdForm->cancelbtn.Handle());
        Press(VK_RETURN);
    });
    CmdForm->okbtn.OnClick = ok;
    EXPECT_EQ(result, mrCancel);
    EXPECT_FALSE(CmdForm->Visible());
    EXPECT_TRUE(::IsWindowEnabled(mainform->Handle()));
    const auto boxes = watcher.Boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, L"Launch refused.");
}

TEST_F(CmdFormTest, FirstShowingIsCentredOnTheMainWindowAndReopeningKeepsPlaceTextAndFocus) {
    RECT main0;
    ::GetWindowRect(mainform->Handle(), &main0);
    RunModal([&] {
        RECT d;
        ::GetWindowRect(CmdForm->Handle(), &d);
        const int dw = d.right - d.left, dh = d.bottom - d.top;
        const int mw = main0.right - main0.left, mh = main0.bottom - main0.top;
        EXPECT_EQ(d.left, std::max(0L, main0.left + (mw - dw) / 2));
        EXPECT_EQ(d.top, std::max(0L, main0.top + (mh - dh) / 2));
        // The user moves it, types, and closes with Отмена.
        ::SetWindowPos(CmdForm->Handle(), nullptr, 31, 47, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        ::SetFocus(CmdForm->Cmdtext.EditHandle());
        Type(L"R");
        ::SetFocus(CmdForm->cancelbtn.Handle());
        Press(VK_RETURN);
    });
    // The main window moves meanwhile; the dialog does not follow it.
    ::SetWindowPos(mainform->Handle(), nullptr, main0.left + 120, main0.top + 90, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    RunModal([] {
        RECT d;
        ::GetWindowRect(CmdForm->Handle(), &d);
        EXPECT_EQ(d.left, 31);
        EXPECT_EQ(d.top, 47);
        EXPECT_EQ(Focused(), "Отмена") << "the focus is where it was at closing";
        EXPECT_EQ(CmdForm->Cmdtext.Text(), L"Regedit");
        Press(VK_RETURN);
    });
    EXPECT_FALSE(CmdForm->Visible());
}

TEST_F(CmdFormTest, FirstShowingNeverPlacesTheDialogAtNegativeCoordinates) {
    ::SetWindowPos(mainform->Handle(), nullptr, -400, -300, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    RunModal([] {
        RECT d;
        ::GetWindowRect(CmdForm->Handle(), &d);
        EXPECT_EQ(d.left, 0);
        EXPECT_EQ(d.top, 0);
        CmdForm->Close();
    });
}

// ---------------------------------------------------------------------------
// Command lines that cannot run, or run from awkward places.

namespace {

// A copy of this test program at `path`; run with --touch it leaves a file.
bool CopyOfThisProgram(const std::wstring& folder, const std::wstring& name) {
    wchar_t self[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    ::CreateDirectoryW(folder.c_str(), nullptr);
    return ::CopyFileW(self, (folder + L"\\" + name).c_str(), FALSE) != FALSE;
}

}  // namespace

TEST_F(CmdFormTest, BadCommandLinesNeitherCrashNorHangAndTheDialogClosesKeepingThem) {
    const std::wstring cyrillicDir = L"C:\\КелтазТест";
    const std::wstring blanksDir = L"C:\\Keltaz Test Dir";
    const std::wstring outDir = L"C:\\KeltazTestOut";
    ::CreateDirectoryW(outDir.c_str(), nullptr);
    ASSERT_TRUE(CopyOfThisProgram(cyrillicDir, L"програма.exe"));
    ASSERT_TRUE(CopyOfThisProgram(blanksDir, L"with blanks.exe"));
    const std::wstring dataFile = outDir + L"\\data.txt";
    {
        HANDLE f = ::CreateFileW(dataFile.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        ASSERT_NE(f, INVALID_HANDLE_VALUE);
        DWORD written = 0;
        ::WriteFile(f, "not a program\r\n", 15, &written, nullptr);
        ::CloseHandle(f);
    }
    const std::wstring marker1 = outDir + L"\\cyrillic.txt", marker2 = outDir + L"\\blanks.txt";

    const struct {
        const char* what;
        std::wstring line;
        bool starts;
        std::wstring marker;  // left by the started program
    } cases[] = {
        {"empty", L"", false, L""},
        {"blanks only", L"     ", false, L""},
        {"40,000 characters", std::wstring(40000, L'a'), false, L""},
        {"Cyrillic program path", cyrillicDir + L"\\програма.exe --touch " + marker1, true, marker1},
        {"quoted path with blanks", L"\"" + blanksDir + L"\\with blanks.exe\" --touch " + marker2, true, marker2},
        {"missing program", L"C:\\nowhere\\missing.exe /x", false, L""},
        {"a folder", L"C:\\windows", false, L""},
        {"a data file", dataFile, false, L""},
    };
    const unsigned bound = 3000;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        if (!c.marker.empty()) ::DeleteFileW(c.marker.c_str());
        const ULONGLONG t0 = ::GetTickCount64();
        EXPECT_EQ(LaunchCommandLine(c.line, bound), c.starts);
        EXPECT_LT(::GetTickCount64() - t0, bound + 20000ull) << "the launch hung";
        if (!c.marker.empty()) {
            EXPECT_TRUE(WaitForApp([&] { return FileExists(c.marker); }, 15000)) << "the program did not run";
            ::DeleteFileW(c.marker.c_str());
        }

        // The same line through the dialog's ОК.
        CmdForm->Cmdtext.SetText(c.line);
        const int result = RunModal([] {
            ::SetFocus(CmdForm->okbtn.Handle());
            Press(VK_RETURN);
        });
        EXPECT_EQ(result, mrCancel);
        EXPECT_FALSE(CmdForm->Visible());
        EXPECT_TRUE(::IsWindowEnabled(mainform->Handle()));
        EXPECT_EQ(CmdForm->Cmdtext.Text(), c.line) << "the text is kept";
        if (!c.marker.empty()) {
            EXPECT_TRUE(WaitForApp([&] { return FileExists(c.marker); }, 15000));
        }
    }
    // Let the started copies end before they are removed.
    PumpApp(500);
    for (const auto& m : {marker1, marker2, dataFile}) ::DeleteFileW(m.c_str());
    ::DeleteFileW((cyrillicDir + L"\\програма.exe").c_str());
    ::DeleteFileW((blanksDir + L"\\with blanks.exe").c_str());
    ::RemoveDirectoryW(cyrillicDir.c_str());
    ::RemoveDirectoryW(blanksDir.c_str());
    ::RemoveDirectoryW(outDir.c_str());
}
