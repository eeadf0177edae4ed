// The figures of the main window and the cycle that renews them.
#include <windows.h>

#include "../app/mainform.h"
#include "../platform/registry.h"
#include "megahertz.h"
#include "memory_figures.h"

namespace {
constexpr wchar_t kCpuKey[] = L"hardware\\description\\system\\centralprocessor\\0";
constexpr wchar_t kCpuValue[] = L"~mhz";
}  // namespace

void Tmainform::TimerTimer(TObject*) {
    // While an error box from a failed refresh is open, ticks start nothing:
    // a refresh that fails every time must not stack one box per second. The
    // timer keeps running, so the tick after the box closes refreshes again.
    if (Application->ShowingException()) return;
    RefreshInfo();
}

void Tmainform::RefreshInfo() {
    // 1. Everything waiting (paint, input, commands, a due tick, which runs a
    //    whole nested refresh) is handled before the figures are read. Nothing
    //    but temporaries lives across these steps, so nesting is safe.
    Application->ProcessMessages();
    // 2. The processor clock. A failed read leaves here: the memory figures
    //    are not renewed in this refresh.
    cpuspeedc.SetCaption(L" " + GetCpuSpeedText());
    // 3. The memory figures.
    ShowMemoryInfo();
}

std::wstring Tmainform::GetCpuSpeedText() {
    // Read-only access: the hardware description refuses anything more to a
    // standard user, and nothing here writes.
    TRegistry reg(KEY_QUERY_VALUE);
    reg.SetRootKey(HKEY_LOCAL_MACHINE);
    reg.OpenKey(kCpuKey);  // outcome not looked at: the read then fails
    return FormatMegahertz(reg.ReadInteger(kCpuValue));
}

void Tmainform::ShowMemoryInfo() {
    MEMORYSTATUSEX ms{};
    ms.dwLength = sizeof ms;
    ::GlobalMemoryStatusEx(&ms);
    const MemoryFigures f = MakeMemoryFigures(ms.ullTotalPhys, ms.ullAvailPhys, ms.ullTotalPageFile, ms.ullAvailPageFile);
    const wchar_t sep = Application->DecimalSeparator();
    physmemload.SetCaption(FormatMegabytes(f.usedPhys, sep));
    physmemall.SetCaption(FormatMegabytes(f.totalPhys, sep));
    physmemava.SetCaption(FormatMegabytes(f.availPhys, sep));
    virtmemall.SetCaption(FormatMegabytes(f.totalPageFile, sep));
    virtmemava.SetCaption(FormatMegabytes(f.availPageFile, sep));
    virtmemload.SetCaption(FormatMegabytes(f.usedPageFile, sep));
}
