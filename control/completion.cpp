#include "completion.h"

#include <cwctype>

namespace {
bool StartsWithNoCase(const std::wstring& s, const std::wstring& prefix) {
    if (prefix.size() > s.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i) {
        if (std::towlower(s[i]) != std::towlower(prefix[i])) return false;
    }
    return true;
}
}  // namespace

CompletionResult CompleteTyped(const std::wstring& text, int selStart, int selEnd, wchar_t ch,
                               const std::vector<std::wstring>& presets) {
    const int len = static_cast<int>(text.size());
    if (selStart > selEnd) std::swap(selStart, selEnd);
    if (selStart < 0) selStart = 0;
    if (selEnd > len) selEnd = len;
    if (selStart > len) selStart = len;

    const std::wstring formed =
        (selStart == selEnd ? text : text.substr(0, static_cast<size_t>(selStart))) + ch;

    CompletionResult r;
    for (size_t i = 0; i < presets.size(); ++i) {
        if (StartsWithNoCase(presets[i], formed)) {
            r.completed = true;
            r.itemIndex = static_cast<int>(i);
            r.text = formed + presets[i].substr(formed.size());
            r.selStart = static_cast<int>(formed.size());
            r.selEnd = static_cast<int>(r.text.size());
            return r;
        }
    }
    // No match: the box inserts the character in place of the selection.
    r.text = text.substr(0, static_cast<size_t>(selStart)) + ch + text.substr(static_cast<size_t>(selEnd));
    r.selStart = r.selEnd = selStart + 1;
    return r;
}

CommandLineParts SplitCommandLine(const std::wstring& line,
                                  const std::function<bool(const std::wstring&)>& isProgram) {
    CommandLineParts parts;
    size_t i = 0;
    const size_t n = line.size();
    while (i < n && (line[i] == L' ' || line[i] == L'\t')) ++i;
    if (i < n && line[i] == L'"') {
        const size_t close = line.find(L'"', i + 1);
        if (close == std::wstring::npos) {
            parts.program = line.substr(i + 1);
            return parts;
        }
        parts.program = line.substr(i + 1, close - i - 1);
        i = close + 1;
    } else {
        const size_t start = i;
        while (i < n && line[i] != L' ' && line[i] != L'\t') ++i;
        parts.program = line.substr(start, i - start);
        if (isProgram) {
            for (size_t end = i; end <= n; ++end) {
                if (end != n && line[end] != L' ' && line[end] != L'\t') continue;
                if (end > start && line[end - 1] != L' ' && line[end - 1] != L'\t' &&
                    isProgram(line.substr(start, end - start))) {
                    parts.program = line.substr(start, end - start);
                    i = end;
                    break;
                }
            }
        }
    }
    while (i < n && (line[i] == L' ' || line[i] == L'\t')) ++i;
    parts.parameters = line.substr(i);
    return parts;
}
