// Inline completion of the run dialog's command box, and the split of a
// command line into program and parameters. Pure.
#pragma once
#include <functional>
#include <string>
#include <vector>

struct CompletionResult {
    bool completed = false;  // a preset was found
    std::wstring text;       // the box's text after the key
    int selStart = 0;        // the selection after the key (the completed remainder)
    int selEnd = 0;
    int itemIndex = -1;      // the preset that became the list's current item
};

// The user typed `ch` into a box holding `text` with the selection
// [selStart, selEnd). The formed text is the text in front of the selection
// (or the whole text when nothing is selected) followed by `ch`; the first
// preset in list order that begins with it, ignoring case, completes it: the
// typed characters keep their case and the remainder comes from the preset,
// selected. Without a match `completed` is false and the key is left to the
// box (`text` then holds what the box shows after a plain insertion).
CompletionResult CompleteTyped(const std::wstring& text, int selStart, int selEnd, wchar_t ch,
                               const std::vector<std::wstring>& presets);

struct CommandLineParts {
    std::wstring program;
    std::wstring parameters;
};

// Splits a command line the way process creation reads it: a program name in
// double quotes runs to the closing quote. An unquoted name may hold blanks:
// each blank-separated prefix is offered to `isProgram` in turn, shortest
// first, and the first it accepts is the program; when it accepts none (or
// is not given) the name runs to the first blank or tab. The parameters are
// the rest after the separating blanks.
CommandLineParts SplitCommandLine(const std::wstring& line,
                                  const std::function<bool(const std::wstring&)>& isProgram = {});
