// What the measuring drivers share: starting a program, waiting for its first
// visible window, reading its times and memory, medians.
#pragma once
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace bench {

inline double Now() {
    static LARGE_INTEGER freq = [] {
        LARGE_INTEGER f;
        ::QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER t;
    ::QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) / static_cast<double>(freq.QuadPart);
}

inline double Median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

inline std::string Narrow(const std::wstring& s) {
    std::string out;
    for (wchar_t c : s) out += c < 128 ? static_cast<char>(c) : '?';
    return out;
}

inline std::wstring BaseName(const std::wstring& path) {
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

struct VisibleSearch {
    DWORD pid;
    HWND found;
};

inline BOOL CALLBACK FindVisibleProc(HWND h, LPARAM lp) {
    auto* s = reinterpret_cast<VisibleSearch*>(lp);
    DWORD pid = 0;
    ::GetWindowThreadProcessId(h, &pid);
    if (pid != s->pid || !::IsWindowVisible(h)) return TRUE;
    RECT r;
    // A zero-size window (the program's application window) is not seen.
    if (!::GetWindowRect(h, &r) || r.right <= r.left || r.bottom <= r.top) return TRUE;
    s->found = h;
    return FALSE;
}

// A visible top-level window of `pid` with a nonzero size, or null.
inline HWND VisibleWindow(DWORD pid) {
    VisibleSearch s{pid, nullptr};
    ::EnumWindows(&FindVisibleProc, reinterpret_cast<LPARAM>(&s));
    return s.found;
}

// A started program; ended (terminated) when the object goes.
class Child {
public:
    explicit Child(const std::wstring& exe) : exe_(exe) {}
    ~Child() { Stop(); }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    // Starts the program and waits for its first visible window; returns the
    // seconds from just before CreateProcess to the window seen, or a
    // negative number on failure or timeout.
    double StartAndWait(double timeoutSeconds) {
        std::wstring cmd = L"\"" + exe_ + L"\"";
        STARTUPINFOW si{};
        si.cb = sizeof si;
        const double t0 = Now();
        if (!::CreateProcessW(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi_)) return -1;
        for (;;) {
            if ((window_ = VisibleWindow(pi_.dwProcessId)) != nullptr) return Now() - t0;
            if (Now() - t0 > timeoutSeconds) return -1;
            if (::WaitForSingleObject(pi_.hProcess, 1) == WAIT_OBJECT_0) return -1;
        }
    }

    void Stop() {
        if (!pi_.hProcess) return;
        ::TerminateProcess(pi_.hProcess, 0);
        ::WaitForSingleObject(pi_.hProcess, 10000);
        ::CloseHandle(pi_.hProcess);
        ::CloseHandle(pi_.hThread);
        pi_ = PROCESS_INFORMATION{};
    }

    // User plus kernel time so far, in seconds (-1 when unreadable).
    double CpuSeconds() const {
        FILETIME c, e, k, u;
        if (!::GetProcessTimes(pi_.hProcess, &c, &e, &k, &u)) return -1;
        auto v = [](const FILETIME& f) {
            return static_cast<double>((static_cast<unsigned long long>(f.dwHighDateTime) << 32) | f.dwLowDateTime);
        };
        return (v(k) + v(u)) / 1e7;
    }

    // Working set now and at its peak, in KB (0 when unreadable).
    void WorkingSet(double& nowKb, double& peakKb) const {
        PROCESS_MEMORY_COUNTERS pmc{};
        pmc.cb = sizeof pmc;
        nowKb = peakKb = 0;
        if (!::K32GetProcessMemoryInfo(pi_.hProcess, &pmc, sizeof pmc)) return;
        nowKb = static_cast<double>(pmc.WorkingSetSize) / 1024;
        peakKb = static_cast<double>(pmc.PeakWorkingSetSize) / 1024;
    }

    HANDLE Process() const { return pi_.hProcess; }
    DWORD Pid() const { return pi_.dwProcessId; }
    HWND Window() const { return window_; }
    const std::wstring& Exe() const { return exe_; }

private:
    std::wstring exe_;
    PROCESS_INFORMATION pi_{};
    HWND window_ = nullptr;
};

}  // namespace bench
