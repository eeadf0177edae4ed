// The soak: runs the program and every 10 s reads its registry-key handles,
// GDI objects and working set, while the processor clock value switches
// between a valid REG_DWORD and an invalid REG_BINARY part of the time. The
// error boxes the invalid value brings are closed as they appear, so the
// refreshes go on.
//
//   soak_driver <program.exe> <minutes>
//
// Schedule, in every minute: seconds 0-29 valid, 30-49 invalid, 50-59 valid.
// Samples at 0, 10, 20, ... s after the window is first seen.
//
// Verdict "flat": with M the largest value of a series among the samples of
// the first minute (t < 60 s), every later sample of the key-handle and GDI
// series is <= M, and every later working-set sample is <= M + 1024 KB (the
// working set moves by pages the system trims and refills). Otherwise
// "growing", naming the series and its first sample past the bound.
#include <windows.h>
#include <winternl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "harness.h"
#include "support.h"

using namespace bench;

namespace {

constexpr wchar_t kCaption[] = L"Диспетчер Келтаз";
constexpr wchar_t kCpuKeyPath[] = L"HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\0";
constexpr double kWorkingSetSlackKb = 1024;

// GDI objects of another process: Wine's table at PEB+0xF8, 0x10000 entries
// of 24 bytes; a used entry has a nonzero type byte, stock objects carry 0x80
// in their Unique word.
int CountGdiObjects(HANDLE process) {
    using NtQueryInformationProcessFn = LONG(NTAPI*)(HANDLE, PROCESSINFOCLASS, PVOID, ULONG, PULONG);
    auto query = reinterpret_cast<NtQueryInformationProcessFn>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationProcess")));
    if (!query) return -1;
    PROCESS_BASIC_INFORMATION pbi{};
    if (query(process, ProcessBasicInformation, &pbi, sizeof pbi, nullptr) != 0 || !pbi.PebBaseAddress) return -1;
    unsigned char* table = nullptr;
    SIZE_T got = 0;
    if (!::ReadProcessMemory(process, reinterpret_cast<unsigned char*>(pbi.PebBaseAddress) + 0xF8, &table,
                             sizeof table, &got) ||
        !table) {
        return -1;
    }
    static std::vector<unsigned char> copy(0x10000 * 24);
    if (!::ReadProcessMemory(process, table, copy.data(), copy.size(), &got) || got != copy.size()) return -1;
    int count = 0;
    for (size_t i = 0; i < 0x10000; ++i) {
        const unsigned char* e = copy.data() + i * 24;
        const unsigned short unique = *reinterpret_cast<const unsigned short*>(e + 14);
        if (e[16] != 0 && !(unique & 0x80)) ++count;
    }
    return count;
}

// The value as it was, to put back at the end.
struct SavedValue {
    bool present = false;
    DWORD type = 0;
    std::vector<BYTE> data;
};

SavedValue SaveCpuMhz() {
    SavedValue s;
    HKEY k = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kCpuKeyPath, 0, KEY_QUERY_VALUE, &k) != ERROR_SUCCESS) return s;
    DWORD size = 0;
    if (::RegQueryValueExW(k, L"~MHz", nullptr, &s.type, nullptr, &size) == ERROR_SUCCESS) {
        s.data.resize(size);
        s.present = ::RegQueryValueExW(k, L"~MHz", nullptr, &s.type, s.data.data(), &size) == ERROR_SUCCESS;
    }
    ::RegCloseKey(k);
    return s;
}

void RestoreCpuMhz(const SavedValue& s) {
    if (s.present) {
        testsupport::SetCpuMhzRaw(s.type, s.data.data(), static_cast<DWORD>(s.data.size()));
    } else {
        testsupport::DeleteCpuMhz();
    }
}

struct Sample {
    int t;
    bool invalid;
    int keys, gdi;
    double wsKb;
    long boxes;
};

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: soak_driver <program.exe> <minutes>\n");
        return 2;
    }
    const std::wstring exe = argv[1];
    const double minutes = _wtof(argv[2]);
    const SavedValue saved = SaveCpuMhz();
    if (!saved.present || saved.type != REG_DWORD || saved.data.size() != 4) {
        std::printf("~MHz is not a 4-byte REG_DWORD to begin with\n");
        return 1;
    }
    DWORD valid = 0;
    std::memcpy(&valid, saved.data.data(), 4);
    const BYTE invalid[4] = {0xDE, 0xAD, 0xBE, 0xEF};

    Child prog(exe);
    if (prog.StartAndWait(30) < 0) {
        std::printf("the program showed no window\n");
        return 1;
    }
    std::printf("soak: %s, pid %lu, %.1f min; ~MHz invalid (REG_BINARY) in seconds 30-49 of every minute\n",
                Narrow(BaseName(exe)).c_str(), prog.Pid(), minutes);
    std::printf("%7s %-8s %5s %5s %9s %6s\n", "t (s)", "~MHz", "keys", "gdi", "ws (KB)", "boxes");
    std::fflush(stdout);

    const double t0 = Now();
    const double end = minutes * 60;
    std::vector<Sample> samples;
    bool invalidNow = false;
    long boxes = 0;
    int nextSample = 0;
    int status = 0;
    for (;;) {
        const double t = Now() - t0;
        if (::WaitForSingleObject(prog.Process(), 0) == WAIT_OBJECT_0) {
            std::printf("the program ended at %.0f s\n", t);
            status = 1;
            break;
        }
        const int sec = static_cast<int>(t) % 60;
        const bool wantInvalid = sec >= 30 && sec < 50 && t < end;
        if (wantInvalid != invalidNow) {
            invalidNow = wantInvalid;
            if (invalidNow) {
                testsupport::SetCpuMhzRaw(REG_BINARY, invalid, sizeof invalid);
            } else {
                testsupport::SetCpuMhzDword(valid);
            }
        }
        for (HWND box : testsupport::MessageBoxes(prog.Pid(), kCaption)) {
            testsupport::CloseMessageBox(box);
            ++boxes;
        }
        if (t >= nextSample * 10.0) {
            Sample s{nextSample * 10, invalidNow, testsupport::CountKeyHandles(prog.Pid()),
                     CountGdiObjects(prog.Process()), 0, boxes};
            double peak = 0;
            prog.WorkingSet(s.wsKb, peak);
            samples.push_back(s);
            std::printf("%7d %-8s %5d %5d %9.0f %6ld\n", s.t, s.invalid ? "invalid" : "valid", s.keys, s.gdi, s.wsKb,
                        s.boxes);
            std::fflush(stdout);
            ++nextSample;
            if (s.t >= end) break;
        }
        ::Sleep(100);
    }
    // Let a box still open go, then put the value back as it was.
    testsupport::SetCpuMhzDword(valid);
    for (HWND box : testsupport::MessageBoxes(prog.Pid(), kCaption)) testsupport::CloseMessageBox(box);
    prog.Stop();
    RestoreCpuMhz(saved);
    const SavedValue after = SaveCpuMhz();
    std::printf("~MHz restored: %s\n", after.present && after.type == REG_DWORD && after.data == saved.data ? "yes" : "NO");
    if (status) return status;

    // The verdict.
    auto value = [](const Sample& s, int which) -> double {
        return which == 0 ? s.keys : which == 1 ? s.gdi : s.wsKb;
    };
    const char* names[3] = {"keys", "gdi", "working set"};
    const double slack[3] = {0, 0, kWorkingSetSlackKb};
    bool flat = true, unreadable = false;
    std::string why;
    char line[200];
    std::string summary;
    for (int w = 0; w < 3; ++w) {
        double firstMax = -1, laterMax = -1;
        int firstBad = -1;
        for (const Sample& s : samples) {
            const double v = value(s, w);
            if (v < 0) unreadable = true;
            if (s.t < 60) {
                if (v > firstMax) firstMax = v;
            } else {
                if (v > laterMax) laterMax = v;
                if (firstBad < 0 && v > firstMax + slack[w]) firstBad = s.t;
            }
        }
        std::snprintf(line, sizeof line, "%s%s first-minute max %.0f, later max %.0f", summary.empty() ? "" : "; ",
                      names[w], firstMax, laterMax);
        summary += line;
        if (firstBad >= 0) {
            flat = false;
            std::snprintf(line, sizeof line, " %s past its bound at %d s", names[w], firstBad);
            why += line;
        }
    }
    if (samples.size() < 7) unreadable = true;
    std::printf("%s\n", summary.c_str());
    std::printf("error boxes closed: %ld\n", boxes);
    if (unreadable) {
        std::printf("VERDICT: inconclusive (a count was unreadable or the run was shorter than 1 minute)\n");
        return 1;
    }
    std::printf("VERDICT: %s%s\n", flat ? "flat" : "growing:", why.c_str());
    return flat ? 0 : 1;
}
