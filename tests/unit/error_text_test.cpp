#include <gtest/gtest.h>

#include "platform/error_text.h"

TEST(ErrorDisplayText, FullStopOnlyAfterCodesAboveTheFullStop) {
    const std::pair<const wchar_t*, const wchar_t*> cases[] = {
        {L"Failed to get data for '~mhz'", L"Failed to get data for '~mhz'"},
        {L"Invalid data type for '~mhz'", L"Invalid data type for '~mhz'"},
        {L"Not enough timers available", L"Not enough timers available."},
        {L"abc1", L"abc1."},
        {L"ends:", L"ends:."},
        {L"why?", L"why?."},
        {L"done.", L"done."},
        {L"a,", L"a,"},
        {L"say \"x\"", L"say \"x\""},
        {L"(x)", L"(x)"},
        {L"a-", L"a-"},
        {L"wow!", L"wow!"},
        {L"blank ", L"blank "},
        {L"tab\t", L"tab\t"},
        {L"", L""},
        {L"Помилка", L"Помилка."},  // Cyrillic: codes above 0x2E in any code page
        {L"a/", L"a/."},           // '/' is 0x2F
    };
    for (const auto& c : cases) EXPECT_EQ(ErrorDisplayText(c.first), c.second) << c.first;
}

TEST(StartupFailureText, Template) {
    EXPECT_EQ(StartupFailureText(L"EOutOfResources", L"keltaz.exe", 0x1A2B, L"Not enough timers available"),
              L"Exception EOutOfResources in module keltaz.exe at 00001A2B.\nNot enough timers available.\n");
    // A message that ends in a full stop gets no second one; an apostrophe
    // ending still gets one here (unlike the error display).
    EXPECT_EQ(StartupFailureText(L"Exception", L"m.dll", 0, L"x."), L"Exception Exception in module m.dll at 00000000.\nx.\n");
    EXPECT_EQ(StartupFailureText(L"Exception", L"m.dll", 0, L"'x'"), L"Exception Exception in module m.dll at 00000000.\n'x'.\n");
    EXPECT_EQ(StartupFailureText(L"Exception", L"m.dll", 0, L""), L"Exception Exception in module m.dll at 00000000.\n\n");
}
