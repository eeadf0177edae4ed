// Helpers shared by the Windows-side test tiers: reading windows of this or
// another process, waiting with bounds, screenshots, counting handles.
#pragma once
#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace testsupport {

// A window's text, also across processes (WM_GETTEXT, bounded).
std::wstring WindowText(HWND hwnd);
std::wstring ClassName(HWND hwnd);
std::string Utf8(const std::wstring& s);

// How waiting messages are handled while a test waits: by default a plain
// PeekMessage loop; in-process tests pass the application's own pump.
using Drain = void (*)();
// Handles this thread's waiting messages for about `ms` milliseconds.
void Pump(unsigned ms, Drain drain = nullptr);
// Polls `cond` every 20 ms until it holds or `timeoutMs` passes; pumps this
// thread's messages meanwhile so in-process windows stay alive.
bool WaitFor(const std::function<bool()>& cond, unsigned timeoutMs, Drain drain = nullptr);

// Top-level windows of a process (all, visible or not).
std::vector<HWND> TopLevelWindows(DWORD pid);
// The first top-level window of `pid` with this class (and caption, if given).
HWND FindTopLevel(DWORD pid, const wchar_t* className, const wchar_t* caption = nullptr);
// A descendant of `parent` with this class and text, or null.
HWND FindChild(HWND parent, const wchar_t* className, const std::wstring& text);
// Every descendant, in Z order of each level (first child first).
std::vector<HWND> Descendants(HWND parent);

// Message boxes (#32770) of a process whose caption is `caption`.
std::vector<HWND> MessageBoxes(DWORD pid, const std::wstring& caption);
// The text of a message box (its static with the message).
std::wstring MessageBoxText(HWND box);
// Presses the box's OK button.
void CloseMessageBox(HWND box);

// Saves the whole screen as a 24-bit BMP.
bool SaveScreenshot(const std::wstring& path);
// Where screenshots go (KELTAZ_SHOTS, else the current folder).
std::wstring ShotPath(const std::wstring& name);

// Handles of one object type ("Key", "Token", ...) that a process holds
// (Wine: the system handle table; GetProcessHandleCount is a stub there).
int CountHandles(DWORD pid, const wchar_t* typeName);
// Registry-key handles that a process holds.
int CountKeyHandles(DWORD pid);
// GDI objects of this process (Wine: the shared handle table in the PEB).
int CountOwnGdiObjects();

// A Unix path from the environment in Windows form (Z:\...).
std::wstring EnvPath(const char* name);

// Sets HKLM\HARDWARE\DESCRIPTION\System\CentralProcessor\0 "~MHz".
bool SetCpuMhzDword(DWORD value);
bool SetCpuMhzRaw(DWORD type, const void* data, DWORD size);
bool DeleteCpuMhz();

// Remembers "~MHz" (type and data, or its absence) and puts it back.
class CpuMhzGuard {
public:
    CpuMhzGuard();
    ~CpuMhzGuard();
    CpuMhzGuard(const CpuMhzGuard&) = delete;
    CpuMhzGuard& operator=(const CpuMhzGuard&) = delete;

private:
    bool had_ = false;
    DWORD type_ = REG_NONE;
    std::vector<BYTE> data_;
};

}  // namespace testsupport
