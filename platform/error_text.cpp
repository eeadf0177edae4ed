#include "error_text.h"

#include <cwchar>

std::wstring ErrorDisplayText(const std::wstring& message) {
    if (!message.empty() && message.back() > L'.') return message + L'.';
    return message;
}

std::wstring StartupFailureText(const std::wstring& kind, const std::wstring& module,
                                std::uintptr_t offset, const std::wstring& message) {
    wchar_t address[32];
    std::swprintf(address, sizeof address / sizeof address[0], L"%08llX",
                  static_cast<unsigned long long>(offset));
    std::wstring text = L"Exception " + kind + L" in module " + module + L" at " + address + L".\n";
    text += message;
    if (!message.empty() && message.back() != L'.') text += L'.';
    text += L'\n';
    return text;
}
