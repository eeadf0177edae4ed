// The privilege routine against the real process token.
#include <windows.h>

#include <gtest/gtest.h>

#include <map>
#include <vector>

#include "app/mainform.h"
#include "fixtures.h"
#include "support.h"

using namespace testsupport;

namespace {

// Every privilege of the process token with its attributes, by name.
std::map<std::wstring, DWORD> HeldPrivileges() {
    std::map<std::wstring, DWORD> out;
    HANDLE token = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token)) return out;
    DWORD size = 0;
    ::GetTokenInformation(token, TokenPrivileges, nullptr, 0, &size);
    std::vector<BYTE> buf(size);
    if (::GetTokenInformation(token, TokenPrivileges, buf.data(), size, &size)) {
        const auto* tp = reinterpret_cast<const TOKEN_PRIVILEGES*>(buf.data());
        for (DWORD i = 0; i < tp->PrivilegeCount; ++i) {
            LUID luid = tp->Privileges[i].Luid;
            wchar_t name[128] = {};
            DWORD len = 128;
            if (::LookupPrivilegeNameW(nullptr, &luid, name, &len)) out[name] = tp->Privileges[i].Attributes;
        }
    }
    ::CloseHandle(token);
    return out;
}

bool Enabled(const std::wstring& name) {
    const auto all = HeldPrivileges();
    const auto it = all.find(name);
    return it != all.end() && (it->second & SE_PRIVILEGE_ENABLED);
}

void Disable(const wchar_t* name) {
    HANDLE token = nullptr;
    ASSERT_TRUE(::OpenProcessToken(::GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES, &token));
    TOKEN_PRIVILEGES tp{};
    tp.PrivilegeCount = 1;
    ASSERT_TRUE(::LookupPrivilegeValueW(nullptr, name, &tp.Privileges[0].Luid));
    tp.Privileges[0].Attributes = 0;
    ::AdjustTokenPrivileges(token, FALSE, &tp, sizeof tp, nullptr, nullptr);
    ::CloseHandle(token);
}

class PrivilegeTest : public AppFixture {
protected:
    void SetUp() override {
        AppFixture::SetUp();
        app()->CreateForm(mainform);
    }
};

}  // namespace

TEST_F(PrivilegeTest, EnablesBothPrivilegesOfTheProgram) {
    for (const wchar_t* name : {L"SeDebugPrivilege", L"SeShutdownPrivilege"}) {
        SCOPED_TRACE(Utf8(name));
        ASSERT_EQ(HeldPrivileges().count(name), 1u) << "the token does not hold it";
        Disable(name);
        ASSERT_FALSE(Enabled(name));
        EXPECT_TRUE(mainform->SetPrivilege(name));
        EXPECT_TRUE(Enabled(name));
        EXPECT_TRUE(mainform->SetPrivilege(name)) << "already enabled counts as success";
        EXPECT_TRUE(Enabled(name));
    }
}

TEST_F(PrivilegeTest, StartupHasEnabledBoth) {
    EXPECT_TRUE(Enabled(L"SeDebugPrivilege"));
    EXPECT_TRUE(Enabled(L"SeShutdownPrivilege"));
}

TEST_F(PrivilegeTest, UnknownOrUnheldPrivilegeFailsAndChangesNothing) {
    Disable(L"SeShutdownPrivilege");
    const auto before = HeldPrivileges();
    EXPECT_FALSE(mainform->SetPrivilege(L"SeNoSuchPrivilege"));
    EXPECT_FALSE(mainform->SetPrivilege(L""));
    EXPECT_EQ(HeldPrivileges(), before);
    // A real privilege that the token does not hold.
    for (const wchar_t* name : {L"SeTcbPrivilege", L"SeCreateTokenPrivilege", L"SeLockMemoryPrivilege"}) {
        if (before.count(name)) continue;
        SCOPED_TRACE(Utf8(name));
        EXPECT_FALSE(mainform->SetPrivilege(name));
        EXPECT_EQ(HeldPrivileges(), before);
    }
}

TEST_F(PrivilegeTest, TheTokenHandleIsClosedAfterEveryCall) {
    const DWORD pid = ::GetCurrentProcessId();
    mainform->SetPrivilege(L"SeShutdownPrivilege");  // warm-up
    const int before = CountHandles(pid, L"Token");
    ASSERT_GE(before, 0);
    {
        // The count sees a token handle left open.
        HANDLE open = nullptr;
        ASSERT_TRUE(::OpenProcessToken(::GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES, &open));
        EXPECT_EQ(CountHandles(pid, L"Token"), before + 1);
        ::CloseHandle(open);
    }
    for (int i = 0; i < 100; ++i) {
        mainform->SetPrivilege(L"SeShutdownPrivilege");  // succeeds
        mainform->SetPrivilege(L"SeNoSuchPrivilege");    // fails at the name
        mainform->SetPrivilege(L"SeTcbPrivilege");       // not held, or held: either way
    }
    EXPECT_EQ(CountHandles(pid, L"Token"), before);
}
