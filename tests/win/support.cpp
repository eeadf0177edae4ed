#include "support.h"

#if defined(__GNUC__)
// NtCurrentTeb reads the segment register through a zero-length array.
#pragma GCC diagnostic ignored "-Warray-bounds"
#endif

#include <winternl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace testsupport {

std::wstring WindowText(HWND hwnd) {
    wchar_t buf[4096] = {};
    DWORD_PTR got = 0;
    if (!::SendMessageTimeoutW(hwnd, WM_GETTEXT, 4096, reinterpret_cast<LPARAM>(buf), SMTO_ABORTIFHUNG, 2000, &got)) {
        return L"";
    }
    return std::wstring(buf, static_cast<size_t>(got));
}

std::wstring ClassName(HWND hwnd) {
    wchar_t buf[256] = {};
    ::GetClassNameW(hwnd, buf, 256);
    return buf;
}

std::string Utf8(const std::wstring& s) {
    if (s.empty()) return {};
    const int n = ::WideCharToMultiByte(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), &out[0], n, nullptr, nullptr);
    return out;
}

void Pump(unsigned ms, Drain drain) {
    const ULONGLONG end = ::GetTickCount64() + ms;
    do {
        if (drain) {
            drain();
        } else {
            MSG msg;
            while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
                ::TranslateMessage(&msg);
                ::DispatchMessageW(&msg);
            }
        }
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    } while (::GetTickCount64() < end);
}

bool WaitFor(const std::function<bool()>& cond, unsigned timeoutMs, Drain drain) {
    const ULONGLONG end = ::GetTickCount64() + timeoutMs;
    for (;;) {
        if (cond()) return true;
        if (::GetTickCount64() >= end) return false;
        Pump(20, drain);
    }
}

namespace {
struct EnumCtx {
    DWORD pid;
    std::vector<HWND>* out;
};
BOOL CALLBACK EnumTop(HWND h, LPARAM lp) {
    auto* c = reinterpret_cast<EnumCtx*>(lp);
    DWORD pid = 0;
    ::GetWindowThreadProcessId(h, &pid);
    if (pid == c->pid) c->out->push_back(h);
    return TRUE;
}
BOOL CALLBACK EnumKids(HWND h, LPARAM lp) {
    reinterpret_cast<std::vector<HWND>*>(lp)->push_back(h);
    return TRUE;
}
}  // namespace

std::vector<HWND> TopLevelWindows(DWORD pid) {
    std::vector<HWND> out;
    EnumCtx c{pid, &out};
    ::EnumWindows(&EnumTop, reinterpret_cast<LPARAM>(&c));
    return out;
}

HWND FindTopLevel(DWORD pid, const wchar_t* className, const wchar_t* caption) {
    for (HWND h : TopLevelWindows(pid)) {
        if (ClassName(h) != className) continue;
        if (caption && WindowText(h) != caption) continue;
        return h;
    }
    return nullptr;
}

std::vector<HWND> Descendants(HWND parent) {
    std::vector<HWND> out;
    ::EnumChildWindows(parent, &EnumKids, reinterpret_cast<LPARAM>(&out));
    return out;
}

HWND FindChild(HWND parent, const wchar_t* className, const std::wstring& text) {
    for (HWND h : Descendants(parent)) {
        if (ClassName(h) == className && WindowText(h) == text) return h;
    }
    return nullptr;
}

std::vector<HWND> MessageBoxes(DWORD pid, const std::wstring& caption) {
    std::vector<HWND> out;
    for (HWND h : TopLevelWindows(pid)) {
        if (ClassName(h) == L"#32770" && ::IsWindowVisible(h) && WindowText(h) == caption) out.push_back(h);
    }
    return out;
}

std::wstring MessageBoxText(HWND box) {
    // The message is the static with id 0xFFFF in the standard box.
    if (HWND s = ::GetDlgItem(box, 0xFFFF)) return WindowText(s);
    for (HWND h : Descendants(box)) {
        if (ClassName(h) == L"Static" && !WindowText(h).empty()) return WindowText(h);
    }
    return L"";
}

void CloseMessageBox(HWND box) {
    ::PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
}

bool SaveScreenshot(const std::wstring& path) {
    const int w = ::GetSystemMetrics(SM_CXSCREEN), h = ::GetSystemMetrics(SM_CYSCREEN);
    HDC screen = ::GetDC(nullptr);
    HDC mem = ::CreateCompatibleDC(screen);
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = h;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 24;
    void* bits = nullptr;
    HBITMAP bmp = ::CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = ::SelectObject(mem, bmp);
    ::BitBlt(mem, 0, 0, w, h, screen, 0, 0, SRCCOPY);
    ::GdiFlush();
    const DWORD stride = (static_cast<DWORD>(w) * 3 + 3) & ~3u;
    const DWORD size = stride * static_cast<DWORD>(h);
    BITMAPFILEHEADER fh{};
    fh.bfType = 0x4D42;
    fh.bfOffBits = sizeof fh + sizeof bi.bmiHeader;
    fh.bfSize = fh.bfOffBits + size;
    bool ok = false;
    if (FILE* f = _wfopen(path.c_str(), L"wb")) {
        ok = fwrite(&fh, sizeof fh, 1, f) == 1 && fwrite(&bi.bmiHeader, sizeof bi.bmiHeader, 1, f) == 1 &&
             fwrite(bits, 1, size, f) == size;
        fclose(f);
    }
    ::SelectObject(mem, old);
    ::DeleteObject(bmp);
    ::DeleteDC(mem);
    ::ReleaseDC(nullptr, screen);
    return ok;
}

std::wstring EnvPath(const char* name) {
    const char* v = std::getenv(name);
    if (!v || !*v) return L"";
    std::wstring w(v, v + std::strlen(v));
    if (!w.empty() && w[0] == L'/') {
        for (auto& c : w) {
            if (c == L'/') c = L'\\';
        }
        w = L"Z:" + w;
    }
    return w;
}

std::wstring ShotPath(const std::wstring& name) {
    std::wstring dir = EnvPath("KELTAZ_SHOTS");
    if (dir.empty()) dir = L".";
    ::CreateDirectoryW(dir.c_str(), nullptr);
    return dir + L"\\" + name;
}

// --- handle counting -------------------------------------------------------

namespace {
struct HandleEntryEx {
    PVOID Object;
    ULONG_PTR UniqueProcessId;
    ULONG_PTR HandleValue;
    ULONG GrantedAccess;
    USHORT CreatorBackTraceIndex;
    USHORT ObjectTypeIndex;
    ULONG HandleAttributes;
    ULONG Reserved;
};
struct HandleInfoEx {
    ULONG_PTR NumberOfHandles;
    ULONG_PTR Reserved;
    HandleEntryEx Handles[1];
};
using NtQuerySystemInformationFn = LONG(NTAPI*)(ULONG, PVOID, ULONG, PULONG);
using NtQueryObjectFn = LONG(NTAPI*)(HANDLE, ULONG, PVOID, ULONG, PULONG);
constexpr ULONG kSystemExtendedHandleInformation = 64;
constexpr ULONG kObjectTypeInformation = 2;
}  // namespace

int CountHandles(DWORD pid, const wchar_t* typeName) {
    HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
    auto qsi = reinterpret_cast<NtQuerySystemInformationFn>(
        reinterpret_cast<void*>(::GetProcAddress(ntdll, "NtQuerySystemInformation")));
    auto qo = reinterpret_cast<NtQueryObjectFn>(reinterpret_cast<void*>(::GetProcAddress(ntdll, "NtQueryObject")));
    if (!qsi || !qo) return -1;
    std::vector<unsigned char> buf(1 << 20);
    ULONG need = 0;
    LONG st;
    while ((st = qsi(kSystemExtendedHandleInformation, buf.data(), static_cast<ULONG>(buf.size()), &need)) ==
           static_cast<LONG>(0xC0000004)) {
        buf.resize(buf.size() * 2);
    }
    if (st != 0) return -1;
    auto* info = reinterpret_cast<HandleInfoEx*>(buf.data());
    HANDLE proc = ::OpenProcess(PROCESS_DUP_HANDLE, FALSE, pid);
    if (!proc) return -1;
    int count = 0;
    for (ULONG_PTR i = 0; i < info->NumberOfHandles; ++i) {
        const HandleEntryEx& e = info->Handles[i];
        if (e.UniqueProcessId != pid) continue;
        HANDLE dup = nullptr;
        if (!::DuplicateHandle(proc, reinterpret_cast<HANDLE>(e.HandleValue), ::GetCurrentProcess(), &dup, 0, FALSE,
                               DUPLICATE_SAME_ACCESS)) {
            continue;
        }
        unsigned char tbuf[1024] = {};
        if (qo(dup, kObjectTypeInformation, tbuf, sizeof tbuf, nullptr) == 0) {
            auto* name = reinterpret_cast<UNICODE_STRING*>(tbuf);
            if (std::wstring(name->Buffer, name->Length / 2) == typeName) ++count;
        }
        ::CloseHandle(dup);
    }
    ::CloseHandle(proc);
    return count;
}

int CountKeyHandles(DWORD pid) { return CountHandles(pid, L"Key"); }

int CountOwnGdiObjects() {
    // Wine keeps the process's GDI handle table at PEB+0xF8 (64-bit):
    // 0x10000 entries of 24 bytes; a used entry has a nonzero type byte;
    // stock objects carry 0x80 in their Unique word.
#ifdef _WIN64
    auto* peb = reinterpret_cast<unsigned char*>(NtCurrentTeb()->ProcessEnvironmentBlock);
    auto* table = *reinterpret_cast<unsigned char**>(peb + 0xF8);
    if (!table) return -1;
    int count = 0;
    for (int i = 0; i < 0x10000; ++i) {
        const unsigned char* e = table + static_cast<size_t>(i) * 24;
        // Object pointer (8 bytes), owner (4), Unique (2), Type (1), flags
        // (1), user pointer (8).
        const unsigned short unique = *reinterpret_cast<const unsigned short*>(e + 8 + 4);
        const unsigned char type = e[8 + 4 + 2];
        if (type != 0 && !(unique & 0x80)) ++count;
    }
    return count;
#else
    return -1;
#endif
}

// --- the processor clock value --------------------------------------------

namespace {
constexpr wchar_t kCpuKeyPath[] = L"HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\0";
}

bool SetCpuMhzRaw(DWORD type, const void* data, DWORD size) {
    HKEY k = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kCpuKeyPath, 0, KEY_SET_VALUE, &k) != ERROR_SUCCESS) return false;
    const LONG rc = ::RegSetValueExW(k, L"~MHz", 0, type, static_cast<const BYTE*>(data), size);
    ::RegCloseKey(k);
    return rc == ERROR_SUCCESS;
}

bool SetCpuMhzDword(DWORD value) { return SetCpuMhzRaw(REG_DWORD, &value, sizeof value); }

CpuMhzGuard::CpuMhzGuard() {
    HKEY k = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kCpuKeyPath, 0,
                        KEY_QUERY_VALUE, &k) != ERROR_SUCCESS) {
        return;
    }
    DWORD size = 0;
    if (::RegQueryValueExW(k, L"~MHz", nullptr, &type_, nullptr, &size) == ERROR_SUCCESS) {
        data_.resize(size);
        had_ = ::RegQueryValueExW(k, L"~MHz", nullptr, &type_, data_.data(), &size) == ERROR_SUCCESS;
    }
    ::RegCloseKey(k);
}

CpuMhzGuard::~CpuMhzGuard() {
    if (had_) {
        SetCpuMhzRaw(type_, data_.data(), static_cast<DWORD>(data_.size()));
    } else {
        DeleteCpuMhz();
    }
}

bool DeleteCpuMhz() {
    HKEY k = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kCpuKeyPath, 0, KEY_SET_VALUE, &k) != ERROR_SUCCESS) return false;
    const LONG rc = ::RegDeleteValueW(k, L"~MHz");
    ::RegCloseKey(k);
    return rc == ERROR_SUCCESS;
}

}  // namespace testsupport
