// Runs the real keltaz.exe and looks at it from outside.
#pragma once
#include <windows.h>

#include <map>
#include <string>
#include <vector>

#include "support.h"

namespace e2e {

// The seven value labels, by name, in the order the window lays them out.
extern const wchar_t* const kValueLabels[7];

// The value labels of a main window, by name.
std::map<std::wstring, std::wstring> ReadValues(HWND mainWindow);

class Keltaz {
public:
    Keltaz() = default;
    ~Keltaz();  // kills the program if it still runs
    Keltaz(const Keltaz&) = delete;
    Keltaz& operator=(const Keltaz&) = delete;

    // Starts the exe (KELTAZ_EXE) and waits for its visible main window.
    bool Start(unsigned timeoutMs = 15000);
    DWORD Pid() const { return pi_.dwProcessId; }
    HANDLE Process() const { return pi_.hProcess; }
    HWND Main() const { return main_; }
    HWND App() const;
    // The run dialog's window (hidden or not).
    HWND Dialog() const;

    // The value labels' texts by name, read from the window. Labels are
    // identified by their place: the group box and the row they stand in.
    std::map<std::wstring, std::wstring> Values() const;
    std::wstring Value(const wchar_t* name) const;

    // Waits for the process to end; returns its exit code or -1 on time-out.
    int WaitExit(unsigned timeoutMs);
    bool Running() const;
    void Kill();

    // Keyboard: Alt+letter-free menu driving. Opens the menu bar with F10 and
    // walks it with arrows: `bar` is the menu-bar index, `item` the drop-down
    // index; Enter chooses.
    void ChooseMenu(int bar, int item);
    // Opens the drop-down `bar` and leaves it open.
    void OpenMenu(int bar);
    void CancelMenu();

private:
    PROCESS_INFORMATION pi_{};
    HWND main_ = nullptr;
};

using testsupport::CpuMhzGuard;

// Sets a new clock value and waits until the window shows it: proves that
// the figures renew. Values differ from call to call.
bool FiguresRenew(const Keltaz& k, unsigned timeoutMs = 3000);
// The clock text the window shows for a stored value.
std::wstring ClockText(DWORD mhz);

// The program's window font at a given height, measured here as the program
// measures it.
class WindowFont {
public:
    explicit WindowFont(int height);
    ~WindowFont();
    WindowFont(const WindowFont&) = delete;
    WindowFont& operator=(const WindowFont&) = delete;
    int TextHeight() const;
    int TextWidth(const std::wstring& text) const;

private:
    HFONT font_;
};

// True when the thread of `hwnd` has a menu open.
bool InMenuMode(HWND hwnd);

// Sends key presses to the foreground window.
void KeyTap(WORD vk, bool alt = false, bool shift = false);
void TypeText(const std::wstring& text);

}  // namespace e2e
