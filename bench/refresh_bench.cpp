// The cost of one refresh of the hidden main window against the raw system
// calls it makes, in-process, many iterations, in alternating blocks.
//
//   bench_refresh [iterations-per-block] [blocks]
//
// The raw loop: PeekMessage on the empty queue, RegOpenKeyExW /
// RegQueryValueExW / RegCloseKey of the processor key, GlobalMemoryStatusEx,
// the seven texts formatted into stack buffers and set with SetWindowTextW
// only when changed, on seven STATIC children of a hidden window. The parts
// of a refresh are timed the same way, to show where its time goes.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <functional>
#include <string>
#include <vector>

#include "../app/mainform.h"
#include "../control/cmdform.h"
#include "harness.h"

using namespace bench;

namespace {

constexpr wchar_t kCpuKey[] = L"hardware\\description\\system\\centralprocessor\\0";

// Seven statics on a hidden top-level window, with the texts they show.
struct RawWindow {
    HWND top = nullptr;
    HWND labels[7] = {};
    wchar_t texts[7][32] = {};
    long sets = 0;

    RawWindow() {
        top = ::CreateWindowExW(WS_EX_TOOLWINDOW, L"STATIC", L"", WS_POPUP | WS_CAPTION, 0, 0, 284, 254, nullptr,
                                nullptr, ::GetModuleHandleW(nullptr), nullptr);
        for (int i = 0; i < 7; ++i) {
            labels[i] = ::CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE | SS_LEFTNOWORDWRAP | SS_NOPREFIX,
                                          160, 8 + 24 * i, 110, 16, top, nullptr, ::GetModuleHandleW(nullptr), nullptr);
            ::SendMessageW(labels[i], WM_SETFONT, reinterpret_cast<WPARAM>(mainform->Font()), FALSE);
        }
    }
    ~RawWindow() { ::DestroyWindow(top); }

    void Set(int i, const wchar_t* text) {
        if (std::wcscmp(texts[i], text) == 0) return;
        lstrcpynW(texts[i], text, 32);
        ::SetWindowTextW(labels[i], texts[i]);
        ++sets;
    }
};

// "<megabytes with three decimals> " by the program's rounding, no allocation.
void Megabytes(wchar_t* out, unsigned long long bytes) {
    const unsigned long long t = (125 * (bytes >> 10) + 64) / 128;
    std::swprintf(out, 32, L"%llu.%03u ", t / 1000, static_cast<unsigned>(t % 1000));
}

DWORD RawCpuRead(DWORD& type) {
    HKEY key = nullptr;
    DWORD mhz = 0, size = sizeof mhz;
    type = REG_NONE;
    ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kCpuKey, 0, KEY_QUERY_VALUE, &key);
    ::RegQueryValueExW(key, L"~mhz", nullptr, &type, reinterpret_cast<BYTE*>(&mhz), &size);
    ::RegCloseKey(key);
    return mhz;
}

void RawRefresh(RawWindow& w) {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    wchar_t buf[32];
    DWORD type;
    const DWORD mhz = RawCpuRead(type);
    std::swprintf(buf, 32, L" %ld Mhz", static_cast<long>(mhz));
    w.Set(6, buf);
    MEMORYSTATUSEX ms{};
    ms.dwLength = sizeof ms;
    ::GlobalMemoryStatusEx(&ms);
    const unsigned long long f[6] = {
        ms.ullTotalPhys > ms.ullAvailPhys ? ms.ullTotalPhys - ms.ullAvailPhys : 0,
        ms.ullTotalPhys,
        ms.ullAvailPhys,
        ms.ullTotalPageFile,
        ms.ullAvailPageFile,
        ms.ullTotalPageFile > ms.ullAvailPageFile ? ms.ullTotalPageFile - ms.ullAvailPageFile : 0};
    for (int i = 0; i < 6; ++i) {
        Megabytes(buf, f[i]);
        w.Set(i, buf);
    }
}

// Median microseconds per call of `a` and of `b`, timed in alternating blocks.
void Compare(const char* what, const char* nameA, const std::function<void()>& a, const char* nameB,
             const std::function<void()>& b, int iterations, int blocks, double& medA, double& medB) {
    std::vector<double> ta, tb;
    for (int i = 0; i < 50; ++i) {
        a();
        b();
    }
    for (int blk = 0; blk < blocks; ++blk) {
        for (int k = 0; k < 2; ++k) {
            const bool doA = (blk & 1) ? k == 1 : k == 0;
            const std::function<void()>& f = doA ? a : b;
            const double t0 = Now();
            for (int i = 0; i < iterations; ++i) f();
            const double us = (Now() - t0) * 1e6 / iterations;
            (doA ? ta : tb).push_back(us);
        }
    }
    medA = Median(ta);
    medB = Median(tb);
    std::printf("%-44s %-22s %8.2f us   %-22s %8.2f us   ratio %.2f\n", what, nameA, medA, nameB, medB,
                medB > 0 ? medA / medB : 0);
    std::fflush(stdout);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    // Start-up as the program makes it, stage by stage, in this fresh process.
    FILETIME created, exited, kernel, user, now;
    ::GetProcessTimes(::GetCurrentProcess(), &created, &exited, &kernel, &user);
    ::GetSystemTimeAsFileTime(&now);
    auto ticks = [](const FILETIME& f) {
        return static_cast<double>((static_cast<unsigned long long>(f.dwHighDateTime) << 32) | f.dwLowDateTime);
    };
    const double toEntry = (ticks(now) - ticks(created)) / 1e4;
    const int iterations = argc > 1 ? _wtoi(argv[1]) : 2000;
    const int blocks = argc > 2 ? _wtoi(argv[2]) : 11;
    TApplication app;
    double stage[6] = {};
    int rc = RunApplication([&] {
        double t = Now();
        app.Initialize();
        app.SetTitle(L"Диспетчер Келтаз");
        stage[0] = Now() - t;
        t = Now();
        app.CreateForm(mainform);
        stage[1] = Now() - t;
    });
    if (rc != 0 || !mainform) return 1;
    // No ticks during the measurement: the queue stays empty for both loops.
    mainform->Timer.SetEnabled(false);
    if (mainform->Visible()) {
        std::printf("the main window is visible; expected hidden\n");
        return 1;
    }
    RawWindow raw;
    std::printf("in-process, hidden windows, %d iterations per block, %d blocks each, medians of blocks\n",
                iterations, blocks);

    double a, b;
    Compare("one refresh", "RefreshInfo", [] { mainform->RefreshInfo(); }, "raw calls", [&] { RawRefresh(raw); },
            iterations, blocks, a, b);
    std::printf("RESULT refresh_us_program %.3f\nRESULT refresh_us_raw %.3f\n", a, b);

    Compare("processor clock text", "GetCpuSpeedText", [] { mainform->GetCpuSpeedText(); }, "open/query/close",
            [] {
                DWORD type;
                RawCpuRead(type);
            },
            iterations, blocks, a, b);
    std::printf("RESULT cputext_us_program %.3f\nRESULT cputext_us_raw %.3f\n", a, b);

    // The parts of one refresh, each against its raw counterpart.
    Compare("  part: drain the empty queue", "ProcessMessages", [] { Application->ProcessMessages(); }, "PeekMessage",
            [] {
                MSG msg;
                ::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE);
            },
            iterations, blocks, a, b);
    Compare("  part: memory figures", "ShowMemoryInfo", [] { mainform->ShowMemoryInfo(); }, "GlobalMemoryStatusEx",
            [] {
                MEMORYSTATUSEX ms{};
                ms.dwLength = sizeof ms;
                ::GlobalMemoryStatusEx(&ms);
            },
            iterations, blocks, a, b);
    const std::wstring texts[2] = {L"1234.567 ", L"1234.568 "};
    int flipA = 0, flipB = 0;
    Compare("  part: one changed text, auto-sized label", "TLabel::SetCaption",
            [&] { mainform->physmemava.SetCaption(texts[flipA ^= 1]); }, "SetWindowTextW",
            [&] { ::SetWindowTextW(raw.labels[1], texts[flipB ^= 1].c_str()); }, iterations, blocks, a, b);
    Compare("  part: the same text again", "TLabel::SetCaption", [&] { mainform->physmemava.SetCaption(texts[flipA]); },
            "wcscmp", [&] { raw.Set(1, raw.texts[1]); }, iterations, blocks, a, b);

    // How often texts changed: memory figures move with the machine's load.
    raw.sets = 0;
    std::wstring before[7];
    TLabel* labels[7] = {&mainform->physmemall, &mainform->physmemava, &mainform->physmemload, &mainform->virtmemall,
                         &mainform->virtmemava, &mainform->virtmemload, &mainform->cpuspeedc};
    long programSets = 0;
    const int n = 500;
    for (int i = 0; i < n; ++i) {
        for (int k = 0; k < 7; ++k) before[k] = labels[k]->Caption();
        mainform->RefreshInfo();
        for (int k = 0; k < 7; ++k) programSets += before[k] != labels[k]->Caption();
        RawRefresh(raw);
    }
    std::printf("texts changed per refresh (%d refreshes, interleaved): program %.2f, raw %.2f\n", n,
                static_cast<double>(programSets) / n, static_cast<double>(raw.sets) / n);

    // The rest of start-up, after the measurements: the run dialog, then
    // showing the main window (the first visible window of the program).
    RunApplication([&] {
        double t = Now();
        app.CreateForm(CmdForm);
        stage[2] = Now() - t;
        // What TForm::Show does at the first showing, in two parts.
        t = Now();
        ::ShowWindow(mainform->Handle(), SW_SHOW);
        stage[3] = Now() - t;
        t = Now();
        ::SetForegroundWindow(mainform->Handle());
        stage[4] = Now() - t;
        t = Now();
        Application->ProcessMessages();  // the first paint
        stage[5] = Now() - t;
    });
    std::printf("start-up stages in this process (ms): process creation to entry %.1f, application window %.1f,\n"
                "  main window built with its creation handler %.1f, run dialog %.1f, ShowWindow %.1f,\n"
                "  SetForegroundWindow %.1f, then the first paint %.1f\n",
                toEntry, stage[0] * 1000, stage[1] * 1000, stage[2] * 1000, stage[3] * 1000, stage[4] * 1000,
                stage[5] * 1000);
    return 0;
}
