// The main window's figures against the real system: the processor clock
// read from its fixed place, the refresh with its errors, the decimal symbol.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <regex>

#include "app/mainform.h"
#include "control/cmdform.h"
#include "fixtures.h"
#include "support.h"

using namespace testsupport;

namespace {

constexpr wchar_t kNotComputed[] = L"Дані не обраховані";
constexpr wchar_t kInvalidType[] = L"Invalid data type for '~mhz'";
constexpr wchar_t kFailed[] = L"Failed to get data for '~mhz'";

std::vector<TLabel*> MemoryLabels() {
    return {&mainform->physmemall, &mainform->physmemava, &mainform->physmemload,
            &mainform->virtmemall, &mainform->virtmemava, &mainform->virtmemload};
}

std::vector<HWND> ValueLabelHandles() {
    std::vector<HWND> out{mainform->cpuspeedc.Handle()};
    for (TLabel* l : MemoryLabels()) out.push_back(l->Handle());
    return out;
}

bool AllMemoryLabelsMatch(const wchar_t* pattern) {
    const std::wregex re(pattern);
    for (TLabel* l : MemoryLabels()) {
        if (!std::regex_match(TextOf(l->Handle()), re)) return false;
    }
    return true;
}

void SetMhzBinary() {
    const BYTE four[4] = {1, 2, 3, 4};
    ASSERT_TRUE(SetCpuMhzRaw(REG_BINARY, four, 4));
}

class MainFormTest : public AppFixture {
protected:
    CpuMhzGuard mhz;  // declared first: put back after the application is gone
};

}  // namespace

TEST_F(MainFormTest, GetCpuSpeedTextReadsTheProcessorKeyOfTheMachine) {
    ASSERT_TRUE(SetCpuMhzDword(2394));
    // A decoy at the same path for the user: the machine's key is the one read.
    constexpr wchar_t kDecoy[] = L"Hardware\\Description\\System\\CentralProcessor\\0";
    HKEY probe = nullptr;
    const bool hadHardware = ::RegOpenKeyExW(HKEY_CURRENT_USER, L"Hardware", 0, KEY_READ, &probe) == ERROR_SUCCESS;
    if (probe) ::RegCloseKey(probe);
    HKEY decoy = nullptr;
    ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, kDecoy, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &decoy, nullptr),
              ERROR_SUCCESS);
    const DWORD other = 1111;
    ::RegSetValueExW(decoy, L"~MHz", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&other), sizeof other);
    ::RegCloseKey(decoy);
    struct RemoveDecoy {
        bool whole;
        ~RemoveDecoy() {
            if (whole) {
                ::RegDeleteTreeW(HKEY_CURRENT_USER, L"Hardware");
            } else {
                ::RegDeleteKeyValueW(HKEY_CURRENT_USER, L"Hardware\\Description\\System\\CentralProcessor\\0", L"~MHz");
            }
        }
    } removeDecoy{!hadHardware};

    app()->CreateForm(mainform);
    EXPECT_EQ(TextOf(mainform->cpuspeedc.Handle()), L" 2394 Mhz") << "the first refresh writes the figure";
    EXPECT_EQ(mainform->GetCpuSpeedText(), L"2394 Mhz");

    SetMhzBinary();
    try {
        mainform->GetCpuSpeedText();
        ADD_FAILURE() << "no error for a REG_BINARY value";
    } catch (const ERegistryException& e) {
        EXPECT_EQ(e.Message(), kInvalidType);
    }
    ASSERT_TRUE(DeleteCpuMhz());
    try {
        mainform->GetCpuSpeedText();
        ADD_FAILURE() << "no error for a missing value";
    } catch (const ERegistryException& e) {
        EXPECT_EQ(e.Message(), kFailed);
    }
}

TEST_F(MainFormTest, FailedFirstRefreshIsShownBeforeTheWindowAndStartupGoesOn) {
    SetMhzBinary();
    BoxWatcher watcher(kAppTitle, 50);
    app()->CreateForm(mainform);
    watcher.Stop();
    const auto boxes = watcher.Boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, kInvalidType) << "no full stop after the apostrophe";
    EXPECT_EQ(boxes[0].otherVisible, 0) << "the box comes before the main window";

    // Creation completed: the steps before the refresh are done, the
    // figures are untouched, start-up goes on.
    ASSERT_EQ(app()->MainForm(), mainform);
    EXPECT_NE(mainform->MainMenu.Styler(), nullptr);
    for (HWND h : ValueLabelHandles()) EXPECT_EQ(TextOf(h), kNotComputed);
    app()->CreateForm(CmdForm);
    ASSERT_NE(CmdForm, nullptr);
    EXPECT_TRUE(mainform->Timer.Running());

    // Readable again: the next tick fills every figure.
    ASSERT_TRUE(SetCpuMhzDword(1800));
    mainform->Show();
    EXPECT_TRUE(WaitForApp([] { return TextOf(mainform->cpuspeedc.Handle()) == L" 1800 Mhz"; }, 4000));
    EXPECT_TRUE(AllMemoryLabelsMatch(L"[0-9]+\\.[0-9]{3} "));
}

TEST_F(MainFormTest, ARefreshThatFailsEveryTimeOpensOneBoxAndTheNextTickAfterItRefreshes) {
    ASSERT_TRUE(SetCpuMhzDword(2394));
    app()->CreateForm(mainform);
    mainform->Show();
    const std::vector<HWND> labels = ValueLabelHandles();

    std::atomic<int> mostBoxes{0};
    std::atomic<bool> changedUnderBox{false};
    std::vector<std::wstring> before;
    BoxWatcher watcher(kAppTitle, 50, [&](HWND) {
        // While the box is open: ticks keep falling due, the value becomes
        // readable again, and still nothing renews and no second box opens.
        for (HWND h : labels) before.push_back(WindowText(h));
        SetCpuMhzDword(3000);
        const ULONGLONG end = ::GetTickCount64() + 3500;
        while (::GetTickCount64() < end) {
            const int open = static_cast<int>(MessageBoxes(::GetCurrentProcessId(), kAppTitle).size());
            if (open > mostBoxes) mostBoxes = open;
            for (size_t i = 0; i < labels.size(); ++i) {
                if (WindowText(labels[i]) != before[i]) changedUnderBox = true;
            }
            ::Sleep(100);
        }
    });
    SetMhzBinary();
    ASSERT_TRUE(WaitForApp([&] { return !watcher.Boxes().empty() && !app()->ShowingException(); }, 10000));
    EXPECT_TRUE(WaitForApp([] { return TextOf(mainform->cpuspeedc.Handle()) == L" 3000 Mhz"; }, 3000))
        << "no refresh after the box closed";
    watcher.Stop();

    const auto boxes = watcher.Boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, kInvalidType);
    EXPECT_EQ(mostBoxes, 1);
    EXPECT_FALSE(changedUnderBox) << "a refresh ran under the error box";
    ASSERT_EQ(before.size(), labels.size());
    EXPECT_EQ(before[0], L" 2394 Mhz") << "the failed refresh changed the clock figure";
    EXPECT_TRUE(mainform->Timer.Running());
}

namespace {
// Sets the user's decimal symbol the way the regional settings do (it is
// kept in HKCU\Control Panel\International, sDecimal) and tells every
// window; puts the old symbol back at the end.
class DecimalSymbol {
public:
    DecimalSymbol() { ::GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, saved_, 8); }
    ~DecimalSymbol() { Set(saved_); }
    void Set(const wchar_t* sep) { ::SetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, sep); }
    static void Broadcast() {
        DWORD_PTR r = 0;
        ::SendMessageTimeoutW(HWND_BROADCAST, WM_SETTINGCHANGE, 0, reinterpret_cast<LPARAM>(L"intl"),
                              SMTO_ABORTIFHUNG, 2000, &r);
    }
    static std::wstring Stored() {
        wchar_t buf[8] = {};
        DWORD size = sizeof buf;
        ::RegGetValueW(HKEY_CURRENT_USER, L"Control Panel\\International", L"sDecimal", RRF_RT_REG_SZ, nullptr, buf,
                       &size);
        return buf;
    }

private:
    wchar_t saved_[8] = {L'.'};
};
}  // namespace

TEST_F(MainFormTest, ChangedDecimalSymbolShowsAtTheNextRefresh) {
    ASSERT_TRUE(SetCpuMhzDword(2394));
    DecimalSymbol symbol;
    app()->CreateForm(mainform);
    mainform->Show();
    ASSERT_TRUE(AllMemoryLabelsMatch(L"[0-9]+\\.[0-9]{3} "));

    symbol.Set(L",");
    ASSERT_EQ(DecimalSymbol::Stored(), L",");
    PumpApp(1500);
    EXPECT_TRUE(AllMemoryLabelsMatch(L"[0-9]+\\.[0-9]{3} ")) << "read again without the settings notice";
    DecimalSymbol::Broadcast();
    EXPECT_EQ(app()->DecimalSeparator(), L',');
    EXPECT_TRUE(WaitForApp([] { return AllMemoryLabelsMatch(L"[0-9]+,[0-9]{3} "); }, 3000));

    symbol.Set(L".");
    DecimalSymbol::Broadcast();
    EXPECT_TRUE(WaitForApp([] { return AllMemoryLabelsMatch(L"[0-9]+\\.[0-9]{3} "); }, 3000));
}
