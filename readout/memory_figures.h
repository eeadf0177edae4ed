// The six memory figures of one memory-status query and their text.
// Pure: no Windows header, so the native unit tests reach it.
#pragma once
#include <cstdint>
#include <string>

struct MemoryFigures {
    std::uint64_t totalPhys = 0;
    std::uint64_t availPhys = 0;
    std::uint64_t usedPhys = 0;
    std::uint64_t totalPageFile = 0;
    std::uint64_t availPageFile = 0;
    std::uint64_t usedPageFile = 0;
};

// Builds the figures from the four byte counts of one query. A used figure is
// total minus available on the byte counts, before any cut to kilobytes, and
// 0 when the system reports more available than total.
MemoryFigures MakeMemoryFigures(std::uint64_t totalPhys, std::uint64_t availPhys,
                                std::uint64_t totalPageFile, std::uint64_t availPageFile);

// "%0.3f " of the count in megabytes: the count cut to whole kilobytes,
// divided by 1024, three decimals rounded half up, no grouping, the given
// decimal separator, one blank after the number.
std::wstring FormatMegabytes(std::uint64_t byteCount, wchar_t decimalSeparator);
