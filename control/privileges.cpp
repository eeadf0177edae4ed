// Enabling a privilege in the program's own token.
#include <windows.h>

#include "../app/mainform.h"
#include "../platform/handles.h"

bool Tmainform::SetPrivilege(const wchar_t* name) {
    UniqueKernelHandle token;
    {
        HANDLE h = nullptr;
        if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES, &h)) return false;
        token.reset(h);
    }
    TOKEN_PRIVILEGES tp{};
    tp.PrivilegeCount = 1;
    // An unknown name leaves the identifier unset: never hand that on.
    if (!::LookupPrivilegeValueW(nullptr, name, &tp.Privileges[0].Luid)) return false;
    tp.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    DWORD returnLength = 0;
    ::AdjustTokenPrivileges(token.get(), FALSE, &tp, sizeof tp, nullptr, &returnLength);
    // Read at once: ERROR_NOT_ALL_ASSIGNED comes with a successful call.
    const DWORD err = ::GetLastError();
    return err == ERROR_SUCCESS;
}
