#include <gtest/gtest.h>

#include "control/completion.h"
#include "control/presets.h"

namespace {

const std::vector<std::wstring>& kPresets = RunPresets();

// Types `keys` into an empty box one after another, as the edit control
// would see them, and returns the box's state.
CompletionResult TypeInto(const std::wstring& keys) {
    CompletionResult state;
    for (wchar_t ch : keys) {
        state = CompleteTyped(state.text, state.selStart, state.selEnd, ch, kPresets);
    }
    return state;
}

TEST(Completion, TypingSequences) {
    struct Case {
        const wchar_t* keys;
        bool completed;
        const wchar_t* text;
        int selStart, selEnd, item;
    } cases[] = {
        {L"c", true, L"cmd", 1, 3, 0},
        {L"co", true, L"control", 2, 7, 2},
        {L"control ", true, L"control desk.cpl", 8, 16, 3},
        {L"control s", true, L"control sysdm.cpl", 9, 17, 6},
        {L"R", true, L"Regedit", 1, 7, 1},         // typed characters keep their case
        {L"CONTROL A", true, L"CONTROL Appwiz.cpl", 9, 18, 7},
        {L"x", false, L"x", 1, 1, -1},
        {L"cmdx", false, L"cmdx", 4, 4, -1},         // past the preset: plain typing
        {L"control deskx", false, L"control deskx", 13, 13, -1},
    };
    for (const auto& c : cases) {
        const CompletionResult r = TypeInto(c.keys);
        EXPECT_EQ(r.completed, c.completed) << c.keys;
        EXPECT_EQ(r.text, c.text) << c.keys;
        EXPECT_EQ(r.selStart, c.selStart) << c.keys;
        EXPECT_EQ(r.selEnd, c.selEnd) << c.keys;
        EXPECT_EQ(r.itemIndex, c.item) << c.keys;
    }
}

TEST(Completion, FormedTextIsWhatStandsBeforeTheSelection) {
    // Caret in the middle, nothing selected: the whole text plus the key.
    CompletionResult r = CompleteTyped(L"contro", 3, 3, L'l', kPresets);
    EXPECT_TRUE(r.completed);
    EXPECT_EQ(r.text, L"control");
    // A selection in the middle: the text in front of it plus the key.
    r = CompleteTyped(L"cmd", 1, 2, L'o', kPresets);
    EXPECT_TRUE(r.completed);
    EXPECT_EQ(r.text, L"control");
    EXPECT_EQ(r.selStart, 2);
    // Reversed selection bounds are taken in order.
    r = CompleteTyped(L"cmd", 3, 1, L'm', kPresets);
    EXPECT_EQ(r.text, L"cmd");
    EXPECT_EQ(r.selStart, 2);
    // No presets: never completes.
    r = CompleteTyped(L"", 0, 0, L'c', {});
    EXPECT_FALSE(r.completed);
    EXPECT_EQ(r.text, L"c");
}

TEST(SplitCommandLine, ProgramAndParameters) {
    // Programs that "exist" for the cases that look them up: an unquoted
    // path with blanks ends where process creation finds a program, trying
    // the shorter prefixes first.
    const auto programs = [](const std::wstring& name) {
        return name == L"C:\\Program Files\\Foo\\setup" || name == L"C:\\Tools\\a b";
    };
    struct Case {
        bool lookUp;
        const wchar_t* line;
        const wchar_t* program;
        const wchar_t* params;
    } cases[] = {
        {false, L"regedit", L"regedit", L""},
        {false, L"control desk.cpl", L"control", L"desk.cpl"},
        {false, L"  cmd   /c echo x  ", L"cmd", L"/c echo x  "},
        {false, L"\"C:\\Program Files\\App\\app.exe\" -a \"b c\"", L"C:\\Program Files\\App\\app.exe", L"-a \"b c\""},
        {false, L"\"C:\\Папка з пробілом\\x.exe\"", L"C:\\Папка з пробілом\\x.exe", L""},
        {false, L"\"unclosed path", L"unclosed path", L""},
        {false, L"", L"", L""},
        {false, L"\t\tprog\targ", L"prog", L"arg"},
        {false, L"C:\\Program Files\\Foo\\setup /quiet", L"C:\\Program", L"Files\\Foo\\setup /quiet"},
        {true, L"C:\\Program Files\\Foo\\setup /quiet", L"C:\\Program Files\\Foo\\setup", L"/quiet"},
        {true, L"C:\\Program Files\\Foo\\setup", L"C:\\Program Files\\Foo\\setup", L""},
        {true, L"C:\\Tools\\a b  c d", L"C:\\Tools\\a b", L"c d"},
        {true, L"C:\\Tools\\a\tb", L"C:\\Tools\\a", L"b"},     // a tab is no part of "a b"
        {true, L"unknown thing here", L"unknown", L"thing here"},  // none found: the first word
        {true, L"\"C:\\Program Files\\Foo\\setup\" x", L"C:\\Program Files\\Foo\\setup", L"x"},
    };
    for (const auto& c : cases) {
        const CommandLineParts p = c.lookUp ? SplitCommandLine(c.line, programs) : SplitCommandLine(c.line);
        EXPECT_EQ(p.program, c.program) << c.line;
        EXPECT_EQ(p.parameters, c.params) << c.line;
    }
}

}  // namespace
