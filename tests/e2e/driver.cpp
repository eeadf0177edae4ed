#include "driver.h"

#include <algorithm>

using namespace testsupport;

namespace e2e {

const wchar_t* const kValueLabels[7] = {L"physmemall", L"physmemava", L"physmemload", L"virtmemall",
                                        L"virtmemava", L"virtmemload", L"cpuspeedc"};

Keltaz::~Keltaz() {
    Kill();
    if (pi_.hProcess) ::CloseHandle(pi_.hProcess);
    if (pi_.hThread) ::CloseHandle(pi_.hThread);
}

bool Keltaz::Start(unsigned timeoutMs) {
    std::wstring exe = EnvPath("KELTAZ_EXE");
    if (exe.empty()) exe = L"keltaz.exe";
    std::wstring cmd = L"\"" + exe + L"\"";
    STARTUPINFOW si{};
    si.cb = sizeof si;
    if (!::CreateProcessW(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi_)) return false;
    const bool ok = WaitFor(
        [this] {
            main_ = FindTopLevel(pi_.dwProcessId, L"Tmainform");
            return main_ && ::IsWindowVisible(main_);
        },
        timeoutMs);
    return ok;
}

HWND Keltaz::App() const { return FindTopLevel(pi_.dwProcessId, L"TApplication"); }
HWND Keltaz::Dialog() const { return FindTopLevel(pi_.dwProcessId, L"TCmdForm"); }

std::map<std::wstring, std::wstring> Keltaz::Values() const { return ReadValues(main_); }

std::map<std::wstring, std::wstring> ReadValues(HWND main_) {
    std::map<std::wstring, std::wstring> out;
    if (!main_) return out;
    // Rows by their top: 24 "all", 48 "available", 72 "in use", in each group
    // box; the first group box is physical memory. Value labels stand at the
    // right (left edge 160 at 96 dpi), captions at the left.
    std::vector<HWND> groups;
    HWND panel = nullptr;
    for (HWND h = ::GetWindow(main_, GW_CHILD); h; h = ::GetWindow(h, GW_HWNDNEXT)) {
        if (ClassName(h) == L"Button") groups.push_back(h);
        if (ClassName(h) == L"TPanel") panel = h;
    }
    auto top = [](HWND h) {
        RECT r;
        ::GetWindowRect(h, &r);
        return r.top;
    };
    std::sort(groups.begin(), groups.end(), [&](HWND a, HWND b) { return top(a) < top(b); });
    const wchar_t* names[2][3] = {{L"physmemall", L"physmemava", L"physmemload"},
                                  {L"virtmemall", L"virtmemava", L"virtmemload"}};
    for (size_t g = 0; g < groups.size() && g < 2; ++g) {
        RECT gr;
        ::GetWindowRect(groups[g], &gr);
        std::vector<HWND> values;
        for (HWND h = ::GetWindow(groups[g], GW_CHILD); h; h = ::GetWindow(h, GW_HWNDNEXT)) {
            RECT r;
            ::GetWindowRect(h, &r);
            if (r.left - gr.left > (gr.right - gr.left) / 2) values.push_back(h);
        }
        std::sort(values.begin(), values.end(), [&](HWND a, HWND b) { return top(a) < top(b); });
        for (size_t i = 0; i < values.size() && i < 3; ++i) out[names[g][i]] = WindowText(values[i]);
    }
    if (panel) {
        HWND right = nullptr;
        LONG best = -1;
        for (HWND h = ::GetWindow(panel, GW_CHILD); h; h = ::GetWindow(h, GW_HWNDNEXT)) {
            RECT r;
            ::GetWindowRect(h, &r);
            if (r.left > best) {
                best = r.left;
                right = h;
            }
        }
        if (right) out[L"cpuspeedc"] = WindowText(right);
    }
    return out;
}

std::wstring Keltaz::Value(const wchar_t* name) const {
    auto v = Values();
    auto it = v.find(name);
    return it == v.end() ? L"" : it->second;
}

int Keltaz::WaitExit(unsigned timeoutMs) {
    if (!pi_.hProcess) return -1;
    if (::WaitForSingleObject(pi_.hProcess, timeoutMs) != WAIT_OBJECT_0) return -1;
    DWORD code = 0;
    ::GetExitCodeProcess(pi_.hProcess, &code);
    return static_cast<int>(code);
}

bool Keltaz::Running() const { return pi_.hProcess && ::WaitForSingleObject(pi_.hProcess, 0) == WAIT_TIMEOUT; }

void Keltaz::Kill() {
    if (Running()) {
        ::TerminateProcess(pi_.hProcess, 99);
        ::WaitForSingleObject(pi_.hProcess, 5000);
    }
}

namespace {
constexpr wchar_t kCpuKey[] = L"HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\0";
}

std::wstring ClockText(DWORD mhz) { return L" " + std::to_wstring(static_cast<int>(mhz)) + L" Mhz"; }

bool FiguresRenew(const Keltaz& k, unsigned timeoutMs) {
    static DWORD next = 1100;
    const DWORD mhz = ++next;
    if (!SetCpuMhzDword(mhz)) return false;
    return WaitFor([&] { return k.Value(L"cpuspeedc") == ClockText(mhz); }, timeoutMs);
}

WindowFont::WindowFont(int height) {
    LOGFONTW lf{};
    lf.lfHeight = height;
    lf.lfCharSet = DEFAULT_CHARSET;
    lf.lfWeight = FW_NORMAL;
    lstrcpynW(lf.lfFaceName, L"MS Sans Serif", LF_FACESIZE);
    font_ = ::CreateFontIndirectW(&lf);
}

WindowFont::~WindowFont() { ::DeleteObject(font_); }

int WindowFont::TextHeight() const {
    HDC dc = ::GetDC(nullptr);
    HGDIOBJ old = ::SelectObject(dc, font_);
    TEXTMETRICW tm{};
    ::GetTextMetricsW(dc, &tm);
    ::SelectObject(dc, old);
    ::ReleaseDC(nullptr, dc);
    return tm.tmHeight;
}

int WindowFont::TextWidth(const std::wstring& text) const {
    HDC dc = ::GetDC(nullptr);
    HGDIOBJ old = ::SelectObject(dc, font_);
    SIZE sz{};
    ::GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &sz);
    ::SelectObject(dc, old);
    ::ReleaseDC(nullptr, dc);
    return sz.cx;
}

bool InMenuMode(HWND hwnd) {
    GUITHREADINFO gi{};
    gi.cbSize = sizeof gi;
    if (!::GetGUIThreadInfo(::GetWindowThreadProcessId(hwnd, nullptr), &gi)) return false;
    return (gi.flags & (GUI_INMENUMODE | GUI_POPUPMENUMODE)) != 0;
}

void KeyTap(WORD vk, bool alt, bool shift) {
    std::vector<INPUT> in;
    auto key = [&](WORD k, bool up) {
        INPUT i{};
        i.type = INPUT_KEYBOARD;
        i.ki.wVk = k;
        i.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
        in.push_back(i);
    };
    if (alt) key(VK_MENU, false);
    if (shift) key(VK_SHIFT, false);
    key(vk, false);
    key(vk, true);
    if (shift) key(VK_SHIFT, true);
    if (alt) key(VK_MENU, true);
    ::SendInput(static_cast<UINT>(in.size()), in.data(), sizeof(INPUT));
    Pump(60);
}

void TypeText(const std::wstring& text) {
    for (wchar_t ch : text) {
        INPUT in[2]{};
        in[0].type = in[1].type = INPUT_KEYBOARD;
        in[0].ki.wScan = in[1].ki.wScan = ch;
        in[0].ki.dwFlags = KEYEVENTF_UNICODE;
        in[1].ki.dwFlags = KEYEVENTF_UNICODE | KEYEVENTF_KEYUP;
        ::SendInput(2, in, sizeof(INPUT));
        Pump(40);
    }
}

void Keltaz::OpenMenu(int bar) {
    ::SetForegroundWindow(main_);
    Pump(100);
    KeyTap(VK_F10);
    Pump(150);
    for (int i = 0; i < bar; ++i) KeyTap(VK_RIGHT);
    KeyTap(VK_DOWN);  // opens the drop-down with its first item highlighted
    Pump(200);
}

void Keltaz::ChooseMenu(int bar, int item) {
    OpenMenu(bar);
    for (int i = 0; i < item; ++i) KeyTap(VK_DOWN);
    KeyTap(VK_RETURN);
    Pump(200);
}

void Keltaz::CancelMenu() {
    KeyTap(VK_ESCAPE);
    KeyTap(VK_ESCAPE);
    Pump(100);
}

}  // namespace e2e
