// Texts of the two error displays. Pure.
#pragma once
#include <cstdint>
#include <string>

// The application-wide error display's text: the message, with a full stop
// appended when it is not empty and its last character's code is above that
// of the full stop (letters, digits, ':' and '?' get one; '.', ',', '\'', '"',
// ')', '-', '!', blanks and control characters do not).
std::wstring ErrorDisplayText(const std::wstring& message);

// The start-up failure box's text:
// "Exception <kind> in module <module> at <offset>.\n<message>[.]\n", the
// offset in eight hexadecimal digits; the full stop is appended when the
// message is not empty and does not already end with one.
std::wstring StartupFailureText(const std::wstring& kind, const std::wstring& module,
                                std::uintptr_t offset, const std::wstring& message);
