// A program with a hidden top-level window that refuses the end of the
// session. The session tests start it before Keltaz. It ends by itself after
// a minute, or when its window is closed. Its caption tells how often it
// has refused.
#include <windows.h>

#include <string>

namespace {
LRESULT CALLBACK Proc(HWND h, UINT m, WPARAM w, LPARAM l) {
    switch (m) {
        case WM_QUERYENDSESSION: {
            // The caption counts the refusals, for the tests to read.
            static int refused = 0;
            const std::wstring caption = L"refused " + std::to_wstring(++refused);
            SetWindowTextW(h, caption.c_str());
            return FALSE;
        }
        case WM_TIMER:
        case WM_CLOSE:
            PostQuitMessage(0);
            return 0;
        default:
            return DefWindowProcW(h, m, w, l);
    }
}
}  // namespace

int WINAPI wWinMain(HINSTANCE inst, HINSTANCE, PWSTR, int) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = Proc;
    wc.hInstance = inst;
    wc.lpszClassName = L"KeltazTestBlocker";
    RegisterClassW(&wc);
    HWND h = CreateWindowExW(0, wc.lpszClassName, L"blocker", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr, inst,
                             nullptr);
    SetTimer(h, 1, 60000, nullptr);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
    return 0;
}
