// The registry reader against a real key: every kind of stored value and
// what the clock read makes of it.
#include <windows.h>

#include <gtest/gtest.h>

#include "platform/registry.h"
#include "readout/megahertz.h"
#include "support.h"

using namespace testsupport;

namespace {

// Stored with capitals; read with the lower-case names the program uses.
constexpr wchar_t kStoredParent[] = L"Software\\KeltazWinTier";
constexpr wchar_t kStoredKey[] = L"Software\\KeltazWinTier\\CentralProcessor\\0";
constexpr wchar_t kStoredValue[] = L"~MHz";
constexpr wchar_t kReadKey[] = L"software\\keltazwintier\\centralprocessor\\0";
constexpr wchar_t kReadValue[] = L"~mhz";

constexpr wchar_t kFailed[] = L"Failed to get data for '~mhz'";
constexpr wchar_t kInvalidType[] = L"Invalid data type for '~mhz'";

// What the program's clock read gives: the text, or the error's message.
std::wstring ReadClock(const wchar_t* path) {
    TRegistry reg(KEY_QUERY_VALUE);
    reg.SetRootKey(HKEY_CURRENT_USER);
    reg.OpenKey(path);
    try {
        return FormatMegahertz(reg.ReadInteger(kReadValue));
    } catch (const ERegistryException& e) {
        return e.Message();
    }
}

class RegistryReaderTest : public ::testing::Test {
protected:
    void SetUp() override {
        ::RegDeleteTreeW(HKEY_CURRENT_USER, kStoredParent);
        ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, kStoredKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key_,
                                    nullptr),
                  ERROR_SUCCESS);
    }
    void TearDown() override {
        if (key_) ::RegCloseKey(key_);
        ::RegDeleteTreeW(HKEY_CURRENT_USER, kStoredParent);
    }
    void Store(DWORD type, const void* data, DWORD size) {
        ASSERT_EQ(::RegSetValueExW(key_, kStoredValue, 0, type, static_cast<const BYTE*>(data), size),
                  ERROR_SUCCESS);
    }
    HKEY key_ = nullptr;
};

}  // namespace

TEST_F(RegistryReaderTest, StoredValuesAndWhatTheClockReadMakesOfThem) {
    const DWORD d2394 = 2394, d0 = 0, dAll = 0xFFFFFFFF, dTop = 0x80000000;
    const BYTE twoBytes[2] = {0x34, 0x12};  // a REG_DWORD stored in 2 bytes: 0x1234
    const BYTE four[4] = {0x5A, 0x09, 0, 0};
    const unsigned long long qword = 2394;
    // Text is stored as UTF-16 with its terminator: "1" is 4 bytes and
    // passes the 4-byte query, "123" is 8 bytes and does not.
    const wchar_t sz1[] = L"1";
    const wchar_t sz123[] = L"123";
    const wchar_t sz1234[] = L"1234";
    const std::wstring longText(300, L'7');
    const struct {
        const char* what;
        DWORD type;
        const void* data;
        DWORD size;
        const wchar_t* expected;
    } cases[] = {
        {"REG_DWORD 2394", REG_DWORD, &d2394, 4, L"2394 Mhz"},
        {"REG_DWORD 0", REG_DWORD, &d0, 4, L"0 Mhz"},
        {"REG_DWORD 0xFFFFFFFF", REG_DWORD, &dAll, 4, L"-1 Mhz"},
        {"REG_DWORD 0x80000000", REG_DWORD, &dTop, 4, L"-2147483648 Mhz"},
        {"REG_DWORD of 2 bytes", REG_DWORD, twoBytes, 2, L"4660 Mhz"},
        {"REG_SZ \"1\" (4 bytes)", REG_SZ, sz1, sizeof sz1, kInvalidType},
        {"REG_SZ \"123\" (8 bytes)", REG_SZ, sz123, sizeof sz123, kFailed},
        {"REG_SZ \"1234\"", REG_SZ, sz1234, sizeof sz1234, kFailed},
        {"long REG_SZ", REG_SZ, longText.c_str(), static_cast<DWORD>((longText.size() + 1) * 2), kFailed},
        {"REG_BINARY of 4 bytes", REG_BINARY, four, 4, kInvalidType},
        {"REG_DWORD_BIG_ENDIAN", REG_DWORD_BIG_ENDIAN, four, 4, kInvalidType},
        {"REG_NONE, empty", REG_NONE, nullptr, 0, kInvalidType},
        {"REG_QWORD", REG_QWORD, &qword, 8, kFailed},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Store(c.type, c.data, c.size);
        EXPECT_EQ(ReadClock(kReadKey), c.expected);
    }
}

TEST_F(RegistryReaderTest, MissingValueOrKeyFailsToGetData) {
    EXPECT_EQ(ReadClock(kReadKey), kFailed) << "value absent";
    const DWORD v = 2394;
    Store(REG_DWORD, &v, 4);
    EXPECT_EQ(ReadClock(L"software\\keltazwintier\\centralprocessor\\1"), kFailed) << "key absent";
    EXPECT_EQ(ReadClock(L"\\software\\keltazwintier\\centralprocessor\\0"), L"2394 Mhz")
        << "a leading backslash is allowed";
}

TEST_F(RegistryReaderTest, OpenKeyNeverCreatesAndLeavesNoKeyOnFailure) {
    TRegistry reg(KEY_QUERY_VALUE);
    reg.SetRootKey(HKEY_CURRENT_USER);
    ASSERT_TRUE(reg.OpenKey(kReadKey));
    EXPECT_NE(reg.CurrentKey(), nullptr);
    EXPECT_FALSE(reg.OpenKey(L"software\\keltazwintier\\notthere"));
    EXPECT_EQ(reg.CurrentKey(), nullptr);
    HKEY probe = nullptr;
    EXPECT_NE(::RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\KeltazWinTier\\NotThere", 0, KEY_READ, &probe),
              ERROR_SUCCESS);
    if (probe) ::RegCloseKey(probe);
}

TEST_F(RegistryReaderTest, AThousandFailingReadsLeaveNoKeyHandleBehind) {
    const BYTE four[4] = {1, 2, 3, 4};
    Store(REG_BINARY, four, 4);
    const DWORD pid = ::GetCurrentProcessId();
    ReadClock(kReadKey);  // warm-up
    const int before = CountKeyHandles(pid);
    ASSERT_GE(before, 0);
    {
        // The count sees a key left open.
        HKEY open = nullptr;
        ASSERT_EQ(::RegOpenKeyExW(HKEY_CURRENT_USER, kReadKey, 0, KEY_QUERY_VALUE, &open), ERROR_SUCCESS);
        EXPECT_EQ(CountKeyHandles(pid), before + 1);
        ::RegCloseKey(open);
    }
    for (int i = 0; i < 1000; ++i) {
        // Alternately with the key open when the read fails, and with none.
        const std::wstring got = ReadClock(i % 2 ? kReadKey : L"software\\keltazwintier\\missing");
        ASSERT_NE(got.find(L"'~mhz'"), std::wstring::npos);
    }
    EXPECT_LE(CountKeyHandles(pid), before);
}
