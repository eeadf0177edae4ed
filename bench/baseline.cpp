// The least a window like ours can cost, for side-by-side measurement: a
// topmost tool window with a 278 x 228 client area, seven STATIC children and
// a 1000 ms timer. Each tick makes the system calls of one refresh of the
// program (one memory-status query, one open/query/close of the processor
// key for reading) and sets a text only when it changed. No toolkit, no
// picture, no menu, no C++ runtime beyond what the compiler brings.
#include <windows.h>

#include <cwchar>

namespace {

constexpr int kClientWidth = 278;
constexpr int kClientHeight = 228;
constexpr int kLabels = 7;
constexpr UINT_PTR kTimerId = 1;
constexpr wchar_t kCpuKey[] = L"hardware\\description\\system\\centralprocessor\\0";

HWND g_labels[kLabels];
wchar_t g_texts[kLabels][64];

void SetIfChanged(int i, const wchar_t* text) {
    if (std::wcscmp(g_texts[i], text) == 0) return;
    lstrcpynW(g_texts[i], text, 64);
    ::SetWindowTextW(g_labels[i], g_texts[i]);
}

void Megabytes(wchar_t* out, size_t n, unsigned long long bytes) {
    std::swprintf(out, n, L"%0.3f ", static_cast<double>(bytes / 1024) / 1024.0);
}

void Refresh() {
    wchar_t buf[64];
    HKEY key = nullptr;
    DWORD mhz = 0, type = 0, size = sizeof mhz;
    LONG rc = ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kCpuKey, 0, KEY_QUERY_VALUE, &key);
    if (rc == ERROR_SUCCESS) {
        rc = ::RegQueryValueExW(key, L"~mhz", nullptr, &type, reinterpret_cast<BYTE*>(&mhz), &size);
        ::RegCloseKey(key);
    }
    if (rc == ERROR_SUCCESS && type == REG_DWORD) {
        std::swprintf(buf, 64, L" %ld Mhz", static_cast<long>(mhz));
    } else {
        lstrcpynW(buf, L" ?", 64);
    }
    SetIfChanged(6, buf);

    MEMORYSTATUSEX ms{};
    ms.dwLength = sizeof ms;
    ::GlobalMemoryStatusEx(&ms);
    const unsigned long long usedPhys = ms.ullTotalPhys > ms.ullAvailPhys ? ms.ullTotalPhys - ms.ullAvailPhys : 0;
    const unsigned long long usedPage =
        ms.ullTotalPageFile > ms.ullAvailPageFile ? ms.ullTotalPageFile - ms.ullAvailPageFile : 0;
    const unsigned long long figures[6] = {ms.ullTotalPhys, ms.ullAvailPhys, usedPhys,
                                           ms.ullTotalPageFile, ms.ullAvailPageFile, usedPage};
    for (int i = 0; i < 6; ++i) {
        Megabytes(buf, 64, figures[i]);
        SetIfChanged(i, buf);
    }
}

LRESULT CALLBACK WndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_TIMER:
            if (wp == kTimerId) Refresh();
            return 0;
        case WM_DESTROY:
            ::PostQuitMessage(0);
            return 0;
        default:
            return ::DefWindowProcW(hwnd, msg, wp, lp);
    }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = &WndProc;
    wc.hInstance = instance;
    wc.hCursor = ::LoadCursorW(nullptr, MAKEINTRESOURCEW(32512) /*IDC_ARROW*/);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = L"BaselineWindow";
    if (!::RegisterClassExW(&wc)) return 1;

    const DWORD style = WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
    const DWORD ex = WS_EX_TOOLWINDOW | WS_EX_TOPMOST;
    RECT r{0, 0, kClientWidth, kClientHeight};
    ::AdjustWindowRectEx(&r, style, FALSE, ex);
    HWND hwnd = ::CreateWindowExW(ex, wc.lpszClassName, L"Baseline", style, CW_USEDEFAULT, CW_USEDEFAULT,
                                  r.right - r.left, r.bottom - r.top, nullptr, nullptr, instance, nullptr);
    if (!hwnd) return 1;
    HFONT font = static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT));
    for (int i = 0; i < kLabels; ++i) {
        g_labels[i] = ::CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE | SS_LEFTNOWORDWRAP | SS_NOPREFIX,
                                        160, 8 + 24 * i, 110, 16, hwnd, nullptr, instance, nullptr);
        ::SendMessageW(g_labels[i], WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    }
    Refresh();  // the first figures, as the program writes them before showing
    ::SetTimer(hwnd, kTimerId, 1000, nullptr);
    ::ShowWindow(hwnd, SW_SHOW);

    MSG msg;
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    return 0;
}
