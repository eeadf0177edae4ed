// The run dialog, opened and driven by keyboard.
#include <gtest/gtest.h>

#include "driver.h"

using namespace testsupport;
using e2e::KeyTap;

namespace {

const wchar_t* const kPresets[] = {L"cmd",
                                   L"regedit",
                                   L"control",
                                   L"control desk.cpl",
                                   L"control inetcpl.cpl",
                                   L"control modem.cpl",
                                   L"control sysdm.cpl",
                                   L"control appwiz.cpl"};

std::vector<std::wstring> ListLines(HWND combo) {
    std::vector<std::wstring> out;
    DWORD_PTR n = 0;
    if (!::SendMessageTimeoutW(combo, CB_GETCOUNT, 0, 0, SMTO_ABORTIFHUNG, 2000, &n)) return out;
    for (int i = 0; i < static_cast<int>(static_cast<LRESULT>(n)); ++i) {
        wchar_t buf[512] = {};
        ::SendMessageTimeoutW(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(buf), SMTO_ABORTIFHUNG, 2000, nullptr);
        out.emplace_back(buf);
    }
    return out;
}

// A fresh file name in the temporary folder, Windows form.
std::wstring MarkerPath(const wchar_t* tag) {
    wchar_t dir[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, dir);
    std::wstring p = std::wstring(dir) + L"keltaz-" + tag + L"-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
                     std::to_wstring(::GetTickCount64()) + L".txt";
    ::DeleteFileW(p.c_str());
    return p;
}

bool FileExists(const std::wstring& p) { return ::GetFileAttributesW(p.c_str()) != INVALID_FILE_ATTRIBUTES; }

class RunDialog : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(k.Start()); }

    // "Нова задача" by keyboard; waits for the dialog to show.
    void Open() {
        k.ChooseMenu(0, 0);
        ASSERT_TRUE(WaitFor([&] { return (dialog = k.Dialog()) && ::IsWindowVisible(dialog); }, 3000))
            << "the dialog did not open";
        combo = ::FindWindowExW(dialog, nullptr, L"ComboBox", nullptr);
        ASSERT_NE(combo, nullptr);
        ::SetForegroundWindow(dialog);
        Pump(100);
    }
    // With the focus on "ОК" (as at the first opening): Tab, Tab reaches the
    // box, another Tab comes back round to "ОК".
    void TypeIntoBox(const std::wstring& text) {
        KeyTap(VK_TAB);
        KeyTap(VK_TAB);
        e2e::TypeText(text);
    }
    bool Closed() {
        return WaitFor([&] { return !::IsWindowVisible(dialog) && ::IsWindowEnabled(k.Main()); }, 5000);
    }

    e2e::Keltaz k;
    HWND dialog = nullptr;
    HWND combo = nullptr;
};

TEST_F(RunDialog, OpensModalWithItsTextsAndPresetsWhileFiguresRenew) {
    e2e::CpuMhzGuard restore;
    Open();
    EXPECT_FALSE(::IsWindowEnabled(k.Main()));
    EXPECT_TRUE(e2e::FiguresRenew(k));
    EXPECT_EQ(WindowText(dialog), L"Новая задача");
    EXPECT_NE(FindChild(dialog, L"Static", L"Введите или выберите имя задачи:"), nullptr);
    EXPECT_NE(FindChild(dialog, L"Button", L"\u041E\u041A"), nullptr) << "\"ОК\" with Cyrillic letters";
    EXPECT_NE(FindChild(dialog, L"Button", L"Отмена"), nullptr);
    EXPECT_EQ(ListLines(combo), std::vector<std::wstring>(std::begin(kPresets), std::end(kPresets)));
    EXPECT_EQ(WindowText(combo), L"");
    // Opened over the stay-on-top main window, it is raised above it while
    // it is open.
    EXPECT_TRUE(::GetWindowLongPtrW(dialog, GWL_EXSTYLE) & WS_EX_TOPMOST);
    KeyTap(VK_ESCAPE);  // never closes the dialog
    Pump(300);
    EXPECT_TRUE(::IsWindowVisible(dialog));
    EXPECT_FALSE(::IsWindowEnabled(k.Main()));
    ::PostMessageW(dialog, WM_CLOSE, 0, 0);
    ASSERT_TRUE(Closed());
    EXPECT_FALSE(::GetWindowLongPtrW(dialog, GWL_EXSTYLE) & WS_EX_TOPMOST) << "left in the topmost band";
}

TEST_F(RunDialog, OkRunsTheTypedLineAndKeepsIt) {
    const std::wstring marker = MarkerPath(L"ok");
    const std::wstring line = L"cmd /c echo x > " + marker;
    Open();
    TypeIntoBox(line);
    // Completion offers "cmd" after the first letters; typing on replaces
    // the offered remainder, so the box ends with exactly what was typed.
    EXPECT_EQ(WindowText(combo), line);
    KeyTap(VK_TAB);  // round to "ОК"
    KeyTap(VK_RETURN);
    EXPECT_TRUE(Closed());
    EXPECT_TRUE(WaitFor([&] { return FileExists(marker); }, 10000)) << "the line did not run: " << Utf8(line);
    EXPECT_EQ(WindowText(combo), line);
    EXPECT_EQ(ListLines(combo).size(), 8u);
    EXPECT_TRUE(k.Running());
    ::DeleteFileW(marker.c_str());
}

// Ways to leave the dialog that start nothing; the program keeps running.
struct CloseCase {
    const char* name;
    const wchar_t* tag;
    const wchar_t* program;  // the start of the line, before the marker command
    enum { Ok, Cancel, AltF4 } how;
};

class RunDialogClose : public RunDialog, public ::testing::WithParamInterface<CloseCase> {};

TEST_P(RunDialogClose, ClosesAndStartsNothing) {
    const CloseCase& c = GetParam();
    e2e::CpuMhzGuard restore;
    const std::wstring marker = MarkerPath(c.tag);
    std::wstring line = c.program;
    if (!line.empty()) line += L" /c echo x > " + marker;
    Open();
    if (!line.empty()) TypeIntoBox(line);
    if (!line.empty()) KeyTap(VK_TAB);  // back to "ОК"
    switch (c.how) {
        case CloseCase::Ok:
            KeyTap(VK_RETURN);
            break;
        case CloseCase::Cancel:
            KeyTap(VK_TAB);  // "Отмена" follows "ОК"
            KeyTap(VK_RETURN);
            break;
        case CloseCase::AltF4:
            KeyTap(VK_F4, true);
            break;
    }
    EXPECT_TRUE(Closed());
    Pump(1500);  // a started cmd would have written its file by now
    EXPECT_FALSE(FileExists(marker));
    EXPECT_EQ(WindowText(combo), line);
    EXPECT_TRUE(k.Running());
    EXPECT_TRUE(e2e::FiguresRenew(k));
    ::DeleteFileW(marker.c_str());
}

INSTANTIATE_TEST_SUITE_P(, RunDialogClose,
                         ::testing::Values(CloseCase{"EmptyLine", L"EmptyLine", L"", CloseCase::Ok},
                                           CloseCase{"MissingProgram", L"MissingProgram", L"keltaz-no-such-program", CloseCase::Ok},
                                           CloseCase{"Cancel", L"Cancel", L"cmd", CloseCase::Cancel},
                                           CloseCase{"AltF4", L"AltF4", L"cmd", CloseCase::AltF4}),
                         [](const ::testing::TestParamInfo<CloseCase>& i) { return std::string(i.param.name); });

}  // namespace
