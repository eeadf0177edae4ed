// Side-by-side measurement of the program against the baseline, from the
// Windows side of the same prefix and display.
//
//   bench_driver start <rounds> <program.exe> <baseline.exe>
//       start to first visible window, alternating, after one warm-up each
//   bench_driver run <seconds> <rounds> <program.exe> <baseline.exe> [marker-dir]
//       both running together (start order alternating): CPU time over
//       <seconds> after a 2 s settle, and the peak working set. With a
//       marker folder, leaves begin-<r> / end-<r> there at the ends of the
//       CPU window and waits (at most 10 s) for began-<r> / ended-<r>, so a
//       reader on the Linux side measures the same window.
//
// Each round prints one line; the closing lines "RESULT <key> <value>" carry
// the medians for the calling script.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "harness.h"

using namespace bench;

namespace {

int Usage() {
    std::fprintf(stderr,
                 "usage: bench_driver start <rounds> <program> <baseline>\n"
                 "       bench_driver run <seconds> <rounds> <program> <baseline>\n");
    return 2;
}

int Start(int rounds, const std::wstring exes[2]) {
    const char* names[2] = {"program", "baseline"};
    std::vector<double> ms[2];
    for (int r = -1; r < rounds; ++r) {
        for (int k = 0; k < 2; ++k) {
            // Alternate which of the two goes first in a round.
            const int i = (r & 1) ? 1 - k : k;
            Child c(exes[i]);
            const double s = c.StartAndWait(30);
            if (s < 0) {
                std::printf("start %s: no visible window\n", names[i]);
                return 1;
            }
            c.Stop();
            if (r < 0) {
                std::printf("start warm-up %-8s %8.1f ms\n", names[i], s * 1000);
            } else {
                ms[i].push_back(s * 1000);
                std::printf("start round %d %-8s %8.1f ms\n", r + 1, names[i], s * 1000);
            }
            std::fflush(stdout);
            ::Sleep(200);
        }
    }
    std::printf("RESULT start_ms_program %.1f\nRESULT start_ms_baseline %.1f\n", Median(ms[0]), Median(ms[1]));
    return 0;
}

void Mark(const std::wstring& dir, const wchar_t* what, int round) {
    if (dir.empty()) return;
    const std::wstring path = dir + L"\\" + what + L"-" + std::to_wstring(round);
    HANDLE f = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (f != INVALID_HANDLE_VALUE) ::CloseHandle(f);
}

void AwaitMark(const std::wstring& dir, const wchar_t* what, int round) {
    if (dir.empty()) return;
    const std::wstring path = dir + L"\\" + what + L"-" + std::to_wstring(round);
    for (int i = 0; i < 500 && ::GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES; ++i) ::Sleep(20);
}

int Run(double seconds, int rounds, const std::wstring exes[2], const std::wstring& markers) {
    const char* names[2] = {"program", "baseline"};
    std::vector<double> cpu[2], peak[2], total[2];
    for (int r = 0; r < rounds; ++r) {
        Child a(exes[0]), b(exes[1]);
        Child* kids[2] = {&a, &b};
        const int first = r & 1;
        for (int k = 0; k < 2; ++k) {
            const int i = k == 0 ? first : 1 - first;
            if (kids[i]->StartAndWait(30) < 0) {
                std::printf("run %s: no visible window\n", names[i]);
                return 1;
            }
        }
        ::Sleep(2000);
        Mark(markers, L"begin", r + 1);
        AwaitMark(markers, L"began", r + 1);
        double c0[2];
        for (int i = 0; i < 2; ++i) c0[i] = kids[i]->CpuSeconds();
        const double t0 = Now();
        ::Sleep(static_cast<DWORD>(seconds * 1000));
        const double wall = Now() - t0;
        Mark(markers, L"end", r + 1);
        for (int i = 0; i < 2; ++i) {
            const double c1 = kids[i]->CpuSeconds();
            double now = 0, pk = 0;
            kids[i]->WorkingSet(now, pk);
            cpu[i].push_back((c1 - c0[i]) * 1000);
            total[i].push_back(c1 * 1000);
            peak[i].push_back(pk);
            std::printf("run round %d %-8s GetProcessTimes %6.1f ms over %.1f s (%.1f since start)  working set %6.0f KB, peak %6.0f KB\n",
                        r + 1, names[i], (c1 - c0[i]) * 1000, wall, c1 * 1000, now, pk);
        }
        std::fflush(stdout);
        AwaitMark(markers, L"ended", r + 1);
        a.Stop();
        b.Stop();
        ::Sleep(500);
    }
    for (int i = 0; i < 2; ++i) {
        std::printf("RESULT cpu_ms_%s %.1f\nRESULT cpu_total_ms_%s %.1f\nRESULT peak_kb_%s %.0f\n", names[i],
                    Median(cpu[i]), names[i], Median(total[i]), names[i], Median(peak[i]));
    }
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) return Usage();
    const std::wstring mode = argv[1];
    if (mode == L"start" && argc == 5) {
        const std::wstring exes[2] = {argv[3], argv[4]};
        return Start(_wtoi(argv[2]), exes);
    }
    if (mode == L"run" && (argc == 6 || argc == 7)) {
        const std::wstring exes[2] = {argv[4], argv[5]};
        return Run(_wtof(argv[2]), _wtoi(argv[3]), exes, argc == 7 ? argv[6] : L"");
    }
    return Usage();
}
