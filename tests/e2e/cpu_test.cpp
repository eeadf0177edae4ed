// The processor clock figure, read from the real hardware description key.
#include <gtest/gtest.h>

#include "driver.h"

using namespace testsupport;

namespace {

constexpr wchar_t kBoxCaption[] = L"Диспетчер Келтаз";

struct ClockCase {
    DWORD stored;
    const wchar_t* shown;
};

TEST(Cpu, NewDwordValueShowsAtTheNextTicks) {
    e2e::CpuMhzGuard restore;
    e2e::Keltaz k;
    ASSERT_TRUE(k.Start());
    const ClockCase cases[] = {
        {2394, L" 2394 Mhz"},
        {0, L" 0 Mhz"},
        {0xFFFFFFFF, L" -1 Mhz"},                // the value is a signed number
        {0x80000000, L" -2147483648 Mhz"},       // the longest text; the label cuts it on screen only
    };
    for (const ClockCase& c : cases) {
        ASSERT_TRUE(SetCpuMhzDword(c.stored));
        EXPECT_TRUE(WaitFor([&] { return k.Value(L"cpuspeedc") == c.shown; }, 2500))
            << "stored " << c.stored << ", shown \"" << Utf8(k.Value(L"cpuspeedc")) << "\"";
    }
    EXPECT_TRUE(MessageBoxes(k.Pid(), kBoxCaption).empty());
}

struct BadValueCase {
    const char* name;
    DWORD type;
    std::vector<BYTE> data;
    const wchar_t* message;
};

class CpuBadValue : public ::testing::TestWithParam<BadValueCase> {};

// A value the reader refuses shows one error box and no more while it stays
// open; the figures stand still meanwhile, even when the value becomes good
// again, and renew at the first tick after the box is closed.
TEST_P(CpuBadValue, OneBoxFrozenFiguresThenRenewalAfterClosing) {
    const BadValueCase& c = GetParam();
    e2e::CpuMhzGuard restore;
    e2e::Keltaz k;
    ASSERT_TRUE(k.Start());
    ASSERT_TRUE(e2e::FiguresRenew(k));

    ASSERT_TRUE(SetCpuMhzRaw(c.type, c.data.data(), static_cast<DWORD>(c.data.size())));
    std::vector<HWND> boxes;
    ASSERT_TRUE(WaitFor([&] { return !(boxes = MessageBoxes(k.Pid(), kBoxCaption)).empty(); }, 3000))
        << "no error box";
    EXPECT_EQ(MessageBoxText(boxes[0]), c.message);
    // Not beneath the stay-on-top main window, which it would otherwise cover.
    EXPECT_TRUE(::GetWindowLongPtrW(boxes[0], GWL_EXSTYLE) & WS_EX_TOPMOST);
    const auto frozen = k.Values();

    // Several ticks with the bad value, then several with a good one, all
    // while the box is open.
    Pump(3000);
    EXPECT_EQ(MessageBoxes(k.Pid(), kBoxCaption).size(), 1u);
    EXPECT_EQ(k.Values(), frozen);
    ASSERT_TRUE(SetCpuMhzDword(1777));
    Pump(2500);
    EXPECT_EQ(MessageBoxes(k.Pid(), kBoxCaption).size(), 1u);
    EXPECT_EQ(k.Values(), frozen);

    CloseMessageBox(boxes[0]);
    EXPECT_TRUE(WaitFor([&] { return k.Value(L"cpuspeedc") == L" 1777 Mhz"; }, 2500))
        << "shown \"" << Utf8(k.Value(L"cpuspeedc")) << "\"";
    EXPECT_TRUE(MessageBoxes(k.Pid(), kBoxCaption).empty());
    EXPECT_TRUE(k.Running());
}

INSTANTIATE_TEST_SUITE_P(
    , CpuBadValue,
    ::testing::Values(
        // Four bytes of the wrong type: read, then refused by its type.
        BadValueCase{"Binary4", REG_BINARY, {0x52, 0x09, 0, 0}, L"Invalid data type for '~mhz'"},
        // A text of four characters does not fit the 4-byte buffer.
        BadValueCase{"Text4", REG_SZ, {'2', 0, '3', 0, '9', 0, '4', 0, 0, 0}, L"Failed to get data for '~mhz'"}),
    [](const ::testing::TestParamInfo<BadValueCase>& i) { return std::string(i.param.name); });

}  // namespace
