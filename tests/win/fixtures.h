// Pieces shared by the in-process tests: an application object per test,
// a watcher for the message boxes that the test thread shows, pumping
// through the application's own loop, and guards that put back what a test
// changes in the registry or the system colours.
#pragma once
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "platform/forms.h"

namespace testsupport {

constexpr wchar_t kAppTitle[] = L"Диспетчер Келтаз";

// Handles this thread's messages the way the program's loop does (keyboard
// handling of the forms included) for about `ms` milliseconds.
void PumpApp(unsigned ms);
// Polls `cond`, pumping as PumpApp does, until it holds or the bound passes.
bool WaitForApp(const std::function<bool()>& cond, unsigned timeoutMs);

// The application object of one test: initialised and titled as the
// program does it; the forms go with it and the globals are cleared.
class AppFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    TApplication* app() { return app_.get(); }

private:
    std::unique_ptr<TApplication> app_;
};

// Watches, from a thread of its own, for message boxes of this process with
// the given caption. Each new box is recorded; `onSeen` (if set) runs on the
// watcher thread while the box is open; then the box is held open for
// `holdMs` and closed with its OK button.
class BoxWatcher {
public:
    struct Box {
        std::wstring text;
        HWND owner = nullptr;
        // Other visible top-level windows of the process while it was open,
        // and whether they were all disabled.
        int otherVisible = 0;
        bool othersDisabled = true;
    };
    BoxWatcher(std::wstring caption, unsigned holdMs = 50, std::function<void(HWND)> onSeen = {});
    ~BoxWatcher();
    std::vector<Box> Boxes();
    int MaxOpenAtOnce() const { return maxOpen_; }
    void Stop();

private:
    void Run();
    std::wstring caption_;
    unsigned holdMs_;
    std::function<void(HWND)> onSeen_;
    std::atomic<bool> stop_{false};
    std::atomic<int> maxOpen_{0};
    std::mutex mu_;
    std::vector<Box> boxes_;
    std::thread thread_;
};

// Sets a system colour for the test and puts the old one back.
class SysColorGuard {
public:
    SysColorGuard(int index, COLORREF colour);
    ~SysColorGuard();

private:
    int index_;
    COLORREF old_;
};

// The text of a window of this process (empty when none).
std::wstring TextOf(HWND hwnd);

}  // namespace testsupport
