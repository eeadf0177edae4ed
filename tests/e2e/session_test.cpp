// The three session-end commands. Each case runs on a wineserver of its own:
// an accepted session end ends every windowed process of the server.
#include <gtest/gtest.h>

#include "driver.h"
// After <windows.h>, which the driver header brings.
#include <tlhelp32.h>

using namespace testsupport;

namespace {

// A program with a hidden window that refuses the end of the session.
class Blocker {
public:
    bool Start() {
        std::wstring cmd = L"\"" + EnvPath("KELTAZ_BLOCKER") + L"\"";
        STARTUPINFOW si{};
        si.cb = sizeof si;
        if (!::CreateProcessW(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi_)) return false;
        return WaitFor([&] { return Window() != nullptr; }, 10000);
    }
    ~Blocker() {
        if (!pi_.hProcess) return;
        if (HWND w = Window()) ::PostMessageW(w, WM_CLOSE, 0, 0);
        if (::WaitForSingleObject(pi_.hProcess, 3000) != WAIT_OBJECT_0) {
            ::TerminateProcess(pi_.hProcess, 99);
            ::WaitForSingleObject(pi_.hProcess, 3000);
        }
        ::CloseHandle(pi_.hProcess);
        ::CloseHandle(pi_.hThread);
    }
    HWND Window() const { return FindTopLevel(pi_.dwProcessId, L"KeltazTestBlocker"); }
    DWORD Pid() const { return pi_.dwProcessId; }
    bool Running() const { return pi_.hProcess && ::WaitForSingleObject(pi_.hProcess, 0) == WAIT_TIMEOUT; }

private:
    PROCESS_INFORMATION pi_{};
};

bool ProcessRunning(const wchar_t* exeName) {
    HANDLE snap = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snap == INVALID_HANDLE_VALUE) return false;
    PROCESSENTRY32W pe{};
    pe.dwSize = sizeof pe;
    bool found = false;
    for (BOOL ok = ::Process32FirstW(snap, &pe); ok && !found; ok = ::Process32NextW(snap, &pe)) {
        found = ::lstrcmpiW(pe.szExeFile, exeName) == 0;
    }
    ::CloseHandle(snap);
    return found;
}

struct SessionCase {
    const char* name;
    int item;  // under "Завершення работи": change user, restart, shut down
    bool blocked;
};

class Session : public ::testing::TestWithParam<SessionCase> {};

TEST_P(Session, CommandByKeyboard) {
    const SessionCase& c = GetParam();
    e2e::CpuMhzGuard restore;
    Blocker blocker;
    // The blocker is asked first (it starts first and has the lower id), so
    // its refusal stops the session end before it reaches the program.
    if (c.blocked) {
        ASSERT_TRUE(blocker.Start()) << "the blocker did not start";
    }
    e2e::Keltaz k;
    ASSERT_TRUE(k.Start());
    if (c.blocked) {
        ASSERT_LT(blocker.Pid(), k.Pid());
    }
    ASSERT_TRUE(e2e::FiguresRenew(k));
    const std::wstring clock = k.Value(L"cpuspeedc");

    k.ChooseMenu(2, c.item);
    if (!c.blocked) {
        EXPECT_EQ(k.WaitExit(15000), 0);
    } else {
        // The request reaches the blocker, which refuses it.
        EXPECT_TRUE(WaitFor([&] { return WindowText(blocker.Window()) == L"refused 1"; }, 10000))
            << "no session-end request reached the blocker";
        WaitFor([] { return !ProcessRunning(L"wineboot.exe"); }, 10000);
        EXPECT_TRUE(blocker.Running());
        EXPECT_TRUE(k.Running()) << "exit code " << k.WaitExit(0);
        // The figures stay frozen for the rest of the run.
        ASSERT_TRUE(SetCpuMhzDword(1555));
        Pump(3000);
        EXPECT_EQ(k.Value(L"cpuspeedc"), clock);
        EXPECT_TRUE(k.Running());
    }
    // This driver has no window of its own, so the session end passes it by.
    EXPECT_TRUE(TopLevelWindows(::GetCurrentProcessId()).empty());
}

INSTANTIATE_TEST_SUITE_P(, Session,
                         ::testing::Values(SessionCase{"UserChangeRefused", 0, true},
                                           SessionCase{"RebootRefused", 1, true},
                                           SessionCase{"ShutdownRefused", 2, true},
                                           SessionCase{"UserChangeAccepted", 0, false}),
                         [](const ::testing::TestParamInfo<SessionCase>& i) { return std::string(i.param.name); });

}  // namespace
