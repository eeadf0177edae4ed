#include "registry.h"

TRegistry::TRegistry(REGSAM access) : access_(access) {}

TRegistry::~TRegistry() { CloseKey(); }

void TRegistry::SetRootKey(HKEY root) {
    CloseKey();
    root_ = root;
}

bool TRegistry::OpenKey(const std::wstring& path) {
    CloseKey();
    const wchar_t* sub = path.c_str();
    if (*sub == L'\\') ++sub;
    HKEY key = nullptr;
    if (::RegOpenKeyExW(root_, sub, 0, access_, &key) != ERROR_SUCCESS) return false;
    key_.reset(key);
    return true;
}

void TRegistry::CloseKey() { key_.reset(); }

std::int32_t TRegistry::ReadInteger(const std::wstring& name) {
    DWORD type = REG_NONE;
    unsigned char data[4] = {0, 0, 0, 0};
    DWORD size = sizeof data;
    const LONG rc = ::RegQueryValueExW(key_.get(), name.c_str(), nullptr, &type, data, &size);
    if (rc != ERROR_SUCCESS) throw ERegistryException(L"Failed to get data for '" + name + L"'");
    if (type != REG_DWORD) throw ERegistryException(L"Invalid data type for '" + name + L"'");
    const std::uint32_t v = static_cast<std::uint32_t>(data[0]) | (static_cast<std::uint32_t>(data[1]) << 8) |
                            (static_cast<std::uint32_t>(data[2]) << 16) | (static_cast<std::uint32_t>(data[3]) << 24);
    return static_cast<std::int32_t>(v);
}
