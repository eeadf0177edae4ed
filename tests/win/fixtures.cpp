#include "fixtures.h"

#include "app/mainform.h"
#include "control/cmdform.h"
#include "support.h"

namespace testsupport {

namespace {
void DrainApp() {
    if (Application) {
        Application->ProcessMessages();
    } else {
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
    }
}
}  // namespace

void PumpApp(unsigned ms) { Pump(ms, &DrainApp); }

bool WaitForApp(const std::function<bool()>& cond, unsigned timeoutMs) { return WaitFor(cond, timeoutMs, &DrainApp); }

void AppFixture::SetUp() {
    app_ = std::make_unique<TApplication>();
    app_->Initialize();
    app_->SetTitle(kAppTitle);
}

void AppFixture::TearDown() {
    app_.reset();
    mainform = nullptr;
    CmdForm = nullptr;
}

BoxWatcher::BoxWatcher(std::wstring caption, unsigned holdMs, std::function<void(HWND)> onSeen)
    : caption_(std::move(caption)), holdMs_(holdMs), onSeen_(std::move(onSeen)) {
    thread_ = std::thread([this] { Run(); });
}

BoxWatcher::~BoxWatcher() { Stop(); }

void BoxWatcher::Stop() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
}

std::vector<BoxWatcher::Box> BoxWatcher::Boxes() {
    std::lock_guard<std::mutex> lock(mu_);
    return boxes_;
}

void BoxWatcher::Run() {
    const DWORD pid = ::GetCurrentProcessId();
    struct Open {
        HWND hwnd;
        ULONGLONG closeAt;
        ULONGLONG lastPress;
    };
    std::vector<Open> open;
    while (!stop_) {
        const std::vector<HWND> now = MessageBoxes(pid, caption_);
        if (static_cast<int>(now.size()) > maxOpen_) maxOpen_ = static_cast<int>(now.size());
        // Forget boxes that have gone.
        std::vector<Open> still;
        for (const Open& o : open) {
            for (HWND h : now) {
                if (h == o.hwnd) still.push_back(o);
            }
        }
        open.swap(still);
        for (HWND h : now) {
            bool known = false;
            for (const Open& o : open) known = known || o.hwnd == h;
            if (known) continue;
            Box b;
            b.text = MessageBoxText(h);
            b.owner = ::GetWindow(h, GW_OWNER);
            for (HWND w : TopLevelWindows(pid)) {
                if (w == h || ClassName(w) == L"#32770" || !::IsWindowVisible(w)) continue;
                RECT r;
                ::GetWindowRect(w, &r);
                if (r.right - r.left == 0 && r.bottom - r.top == 0) continue;  // the application's own window
                ++b.otherVisible;
                if (::IsWindowEnabled(w)) b.othersDisabled = false;
            }
            {
                std::lock_guard<std::mutex> lock(mu_);
                boxes_.push_back(b);
            }
            if (onSeen_) onSeen_(h);
            open.push_back({h, ::GetTickCount64() + holdMs_, 0});
        }
        const ULONGLONG t = ::GetTickCount64();
        for (Open& o : open) {
            if (t >= o.closeAt && t - o.lastPress >= 200) {
                CloseMessageBox(o.hwnd);
                o.lastPress = t;
            }
        }
        ::Sleep(10);
    }
    // Nothing of ours stays open after the test.
    for (HWND h : MessageBoxes(pid, caption_)) CloseMessageBox(h);
}

SysColorGuard::SysColorGuard(int index, COLORREF colour) : index_(index), old_(::GetSysColor(index)) {
    ::SetSysColors(1, &index_, &colour);
}

SysColorGuard::~SysColorGuard() { ::SetSysColors(1, &index_, &old_); }

std::wstring TextOf(HWND hwnd) {
    if (!hwnd) return L"";
    const int n = ::GetWindowTextLengthW(hwnd);
    std::wstring s(static_cast<size_t>(n) + 1, L'\0');
    s.resize(static_cast<size_t>(::GetWindowTextW(hwnd, &s[0], n + 1)));
    return s;
}

}  // namespace testsupport
