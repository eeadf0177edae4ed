#include <gtest/gtest.h>

#include "readout/memory_figures.h"

namespace {

struct FormatCase {
    std::uint64_t bytes;
    const wchar_t* dot;
    const wchar_t* comma;
};

// Whole kilobytes, then thousandths rounded half up; exact halves (65,536 and
// 1,315,766,272 bytes) go up. Counts above 4 GB are shown as they are.
const FormatCase kFormatCases[] = {
    {0, L"0.000 ", L"0,000 "},
    {1023, L"0.000 ", L"0,000 "},
    {1024, L"0.001 ", L"0,001 "},
    {2047, L"0.001 ", L"0,001 "},
    {65536, L"0.063 ", L"0,063 "},
    {1048575, L"0.999 ", L"0,999 "},
    {1048576, L"1.000 ", L"1,000 "},
    {536281088, L"511.438 ", L"511,438 "},
    {1315766272, L"1254.813 ", L"1254,813 "},
    {2147483648ull, L"2048.000 ", L"2048,000 "},
    {4294967295ull, L"4095.999 ", L"4095,999 "},
    {17179869184ull, L"16384.000 ", L"16384,000 "},
    {68719476735ull, L"65535.999 ", L"65535,999 "},
};

TEST(FormatMegabytes, TableWithBothSeparators) {
    for (const auto& c : kFormatCases) {
        EXPECT_EQ(FormatMegabytes(c.bytes, L'.'), c.dot) << c.bytes;
        EXPECT_EQ(FormatMegabytes(c.bytes, L','), c.comma) << c.bytes;
    }
}

TEST(FormatMegabytes, LargestCountDoesNotOverflow) {
    // 2^64 - 1 bytes: k = 2^54 - 1 kilobytes, 125k still fits 64 bits.
    EXPECT_EQ(FormatMegabytes(~0ull, L'.'), L"17592186044415.999 ");
}

TEST(MemoryFigures, FullQueryInDisplayOrder) {
    const MemoryFigures f = MakeMemoryFigures(536281088, 123456789, 1315766272, 987654321);
    // The order ShowMemoryInfo writes them in.
    const std::pair<std::uint64_t, const wchar_t*> written[] = {
        {f.usedPhys, L"393.699 "},      {f.totalPhys, L"511.438 "},     {f.availPhys, L"117.737 "},
        {f.totalPageFile, L"1254.813 "}, {f.availPageFile, L"941.900 "}, {f.usedPageFile, L"312.911 "},
    };
    for (const auto& w : written) EXPECT_EQ(FormatMegabytes(w.first, L'.'), w.second);
    // The difference is taken on bytes: 412,824,299 bytes, not 403,149 KB - 120,563 KB.
    EXPECT_EQ(f.usedPhys, 412824299u);
}

TEST(MemoryFigures, AvailableAboveTotalGivesZeroUsed) {
    const MemoryFigures f = MakeMemoryFigures(1073741824, 1073742848, 100, 200);
    EXPECT_EQ(f.usedPhys, 0u);
    EXPECT_EQ(f.usedPageFile, 0u);
    EXPECT_EQ(FormatMegabytes(f.usedPhys, L'.'), L"0.000 ");
}

TEST(MemoryFigures, AboveFourGigabytes) {
    const MemoryFigures f = MakeMemoryFigures(17179869184ull, 4294967296ull, 68719476735ull, 0);
    EXPECT_EQ(FormatMegabytes(f.totalPhys, L'.'), L"16384.000 ");
    EXPECT_EQ(FormatMegabytes(f.usedPhys, L'.'), L"12288.000 ");
    EXPECT_EQ(FormatMegabytes(f.usedPageFile, L'.'), L"65535.999 ");
}

}  // namespace
