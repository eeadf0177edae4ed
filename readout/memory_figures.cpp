#include "memory_figures.h"

namespace {
std::uint64_t UsedOf(std::uint64_t total, std::uint64_t avail) {
    return avail > total ? 0 : total - avail;
}
}  // namespace

MemoryFigures MakeMemoryFigures(std::uint64_t totalPhys, std::uint64_t availPhys,
                                std::uint64_t totalPageFile, std::uint64_t availPageFile) {
    MemoryFigures f;
    f.totalPhys = totalPhys;
    f.availPhys = availPhys;
    f.usedPhys = UsedOf(totalPhys, availPhys);
    f.totalPageFile = totalPageFile;
    f.availPageFile = availPageFile;
    f.usedPageFile = UsedOf(totalPageFile, availPageFile);
    return f;
}

std::wstring FormatMegabytes(std::uint64_t byteCount, wchar_t decimalSeparator) {
    // Whole kilobytes, then thousandths of a megabyte rounded half up:
    // t = floor((1000k + 512) / 1024) = (125k + 64) div 128. k < 2^54, so
    // 125k cannot overflow.
    const std::uint64_t k = byteCount >> 10;
    const std::uint64_t t = (125 * k + 64) / 128;
    std::wstring text = std::to_wstring(t / 1000);
    const unsigned frac = static_cast<unsigned>(t % 1000);
    text += decimalSeparator;
    text += static_cast<wchar_t>(L'0' + frac / 100);
    text += static_cast<wchar_t>(L'0' + frac / 10 % 10);
    text += static_cast<wchar_t>(L'0' + frac % 10);
    text += L' ';
    return text;
}
