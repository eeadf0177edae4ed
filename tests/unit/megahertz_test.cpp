#include <gtest/gtest.h>

#include "readout/megahertz.h"

TEST(FormatMegahertz, SignedDecimalThenMhz) {
    const std::pair<std::uint32_t, const wchar_t*> cases[] = {
        {2394, L"2394 Mhz"},
        {0, L"0 Mhz"},
        {4294967295u, L"-1 Mhz"},             // all bits set
        {2147483648u, L"-2147483648 Mhz"},    // the longest text
        {2147483647u, L"2147483647 Mhz"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FormatMegahertz(static_cast<std::int32_t>(c.first)), c.second) << c.first;
    }
    EXPECT_EQ(FormatMegahertz(static_cast<std::int32_t>(2147483648u)).size(), 15u);
}
