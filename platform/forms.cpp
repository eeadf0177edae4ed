#include "forms.h"

#include <commctrl.h>
#include <uxtheme.h>

#include <algorithm>
#include <exception>

#include "error_text.h"
#include "menus.h"

TApplication* Application = nullptr;

namespace {

constexpr wchar_t kAppClass[] = L"TApplication";
constexpr wchar_t kTimerClass[] = L"TTimerWindow";
constexpr wchar_t kPanelClass[] = L"TPanel";
constexpr UINT_PTR kSubclassId = 1;
constexpr UINT_PTR kTimerId = 1;

HINSTANCE Instance() { return ::GetModuleHandleW(nullptr); }

std::wstring WindowText(HWND hwnd) {
    const int n = ::GetWindowTextLengthW(hwnd);
    std::wstring s(static_cast<size_t>(n) + 1, L'\0');
    const int got = ::GetWindowTextW(hwnd, &s[0], n + 1);
    s.resize(static_cast<size_t>(got < 0 ? 0 : got));
    return s;
}

// The program's icon: the lowest icon resource id, 1 by our resource script.
HICON ProgramIcon(bool small) {
    const int size = small ? ::GetSystemMetrics(SM_CXSMICON) : ::GetSystemMetrics(SM_CXICON);
    return static_cast<HICON>(::LoadImageW(Instance(), MAKEINTRESOURCEW(1), IMAGE_ICON, size, size,
                                           LR_DEFAULTCOLOR | LR_SHARED));
}

// Whatever is being handled, as an Exception the displays can show, with
// the kind it was raised as (the copy is a plain Exception).
struct CaughtError {
    Exception error;
    std::wstring kind;
};

CaughtError CurrentError() {
    try {
        throw;
    } catch (const Exception& e) {
        return {e, e.ClassName()};
    } catch (const std::bad_alloc&) {
        return {Exception(L"Out of memory"), L"Exception"};
    } catch (const std::exception& e) {
        std::string what = e.what();
        return {Exception(std::wstring(what.begin(), what.end())), L"Exception"};
    } catch (...) {
        return {Exception(L"Unknown error"), L"Exception"};
    }
}

struct EnumState {
    HWND keep;
    HWND app;
    std::vector<HWND>* out;
};

BOOL CALLBACK DisableProc(HWND hwnd, LPARAM lp) {
    auto* st = reinterpret_cast<EnumState*>(lp);
    if (hwnd != st->keep && hwnd != st->app && ::IsWindowVisible(hwnd) && ::IsWindowEnabled(hwnd)) {
        st->out->push_back(hwnd);
    }
    return TRUE;
}

TForm* FormOfWindow(HWND hwnd);

// Places a message box that is being activated into the topmost band.
LRESULT CALLBACK RaiseBoxHook(int code, WPARAM wp, LPARAM lp) {
    if (code == HCBT_ACTIVATE) {
        HWND h = reinterpret_cast<HWND>(wp);
        wchar_t cls[16] = {};
        ::GetClassNameW(h, cls, 16);
        if (lstrcmpW(cls, L"#32770") == 0 && !(::GetWindowLongPtrW(h, GWL_EXSTYLE) & WS_EX_TOPMOST)) {
            ::SetWindowPos(h, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        }
    }
    return ::CallNextHookEx(nullptr, code, wp, lp);
}

}  // namespace

// ===========================================================================
// TWindowBase

TWindowBase::~TWindowBase() { DestroyHandle(); }

void TWindowBase::RegisterClassOnce(const wchar_t* className, UINT classStyle, HBRUSH background) {
    WNDCLASSEXW existing{};
    existing.cbSize = sizeof existing;
    if (::GetClassInfoExW(Instance(), className, &existing)) return;
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.style = classStyle;
    wc.lpfnWndProc = &TWindowBase::Trampoline;
    wc.hInstance = Instance();
    wc.hIcon = ProgramIcon(false);
    wc.hIconSm = ProgramIcon(true);
    wc.hCursor = ::LoadCursorW(nullptr, MAKEINTRESOURCEW(32512) /*IDC_ARROW*/);
    wc.hbrBackground = background;
    wc.lpszClassName = className;
    if (!::RegisterClassExW(&wc)) throw Exception(L"Cannot register window class");
}

void TWindowBase::CreateHandle(const wchar_t* className, const std::wstring& caption, DWORD style,
                               DWORD exStyle, int x, int y, int w, int h, HWND parentOrOwner,
                               HMENU menu) {
    ::CreateWindowExW(exStyle, className, caption.c_str(), style, x, y, w, h, parentOrOwner, menu,
                      Instance(), this);
    if (!hwnd_) throw Exception(L"Cannot create window");
}

void TWindowBase::DestroyHandle() {
    if (!hwnd_) return;
    HWND h = hwnd_;
    ::SetWindowLongPtrW(h, GWLP_USERDATA, 0);
    hwnd_ = nullptr;
    ::DestroyWindow(h);
}

LRESULT TWindowBase::WndProc(UINT msg, WPARAM wp, LPARAM lp) { return Default(msg, wp, lp); }

TWindowBase* TWindowBase::FromHandle(HWND hwnd) {
    if (!hwnd || ::GetWindowLongPtrW(hwnd, GWLP_WNDPROC) != reinterpret_cast<LONG_PTR>(&TWindowBase::Trampoline)) {
        return nullptr;
    }
    return reinterpret_cast<TWindowBase*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
}

LRESULT CALLBACK TWindowBase::Trampoline(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    TWindowBase* self;
    if (msg == WM_NCCREATE) {
        auto* cs = reinterpret_cast<CREATESTRUCTW*>(lp);
        self = static_cast<TWindowBase*>(cs->lpCreateParams);
        self->hwnd_ = hwnd;
        ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    } else {
        self = reinterpret_cast<TWindowBase*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    }
    if (!self) return ::DefWindowProcW(hwnd, msg, wp, lp);
    try {
        return self->WndProc(msg, wp, lp);
    } catch (...) {
        if (Application) Application->HandleCurrentException();
        return 0;
    }
}

// ===========================================================================
// TApplication

TApplication::TApplication() { Application = this; }

TApplication::~TApplication() {
    DestroyForms();
    DestroyHandle();
    if (Application == this) Application = nullptr;
}

void TApplication::Initialize() {
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
    ::InitCommonControlsEx(&icc);
    RegisterClassOnce(kAppClass, 0, nullptr);
    // The application's own window: never seen (zero size), it carries the
    // taskbar entry with the title and owns the forms and the error boxes.
    const int x = ::GetSystemMetrics(SM_CXSCREEN) / 2;
    const int y = ::GetSystemMetrics(SM_CYSCREEN) / 2;
    CreateHandle(kAppClass, title_, WS_POPUP | WS_CAPTION | WS_CLIPSIBLINGS | WS_SYSMENU | WS_MINIMIZEBOX,
                 0, x, y, 0, 0, nullptr, nullptr);
    ReadDecimalSeparator();
}

void TApplication::SetTitle(const std::wstring& title) {
    title_ = title;
    if (hwnd_) ::SetWindowTextW(hwnd_, title_.c_str());
}

void TApplication::AddForm(TForm* form) {
    forms_.push_back(form);
    if (!mainForm_) mainForm_ = form;
}

void TApplication::DestroyForms() {
    while (!forms_.empty()) {
        TForm* f = forms_.back();
        forms_.pop_back();
        delete f;
    }
    mainForm_ = nullptr;
}

void TApplication::Run() {
    if (mainForm_) {
        ::ShowWindow(hwnd_, SW_SHOWNOACTIVATE);
        mainForm_->Show();
    }
    while (!terminated_) HandleMessage();
}

void TApplication::Terminate() { ::PostQuitMessage(0); }

bool TApplication::PreTranslate(MSG& msg) {
    if (msg.message < WM_KEYFIRST || msg.message > WM_KEYLAST || !msg.hwnd) return false;
    // Keys may run a handler (Enter on a button) outside any window
    // procedure: its errors are shown here, like those of a window's.
    try {
        if (TForm* f = FormOfWindow(msg.hwnd)) return f->PreTranslateMessage(msg);
    } catch (...) {
        HandleCurrentException();
        return true;
    }
    return false;
}

void TApplication::HandleMessage() {
    MSG msg;
    const BOOL r = ::GetMessageW(&msg, nullptr, 0, 0);
    if (r == 0 || r == -1) {
        terminated_ = true;
        return;
    }
    if (PreTranslate(msg)) return;
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
}

void TApplication::ProcessMessages() {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            terminated_ = true;
            continue;
        }
        if (PreTranslate(msg)) continue;
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
}

std::vector<HWND> TApplication::DisableTaskWindows(HWND keep) {
    std::vector<HWND> list;
    EnumState st{keep, hwnd_, &list};
    ::EnumThreadWindows(::GetCurrentThreadId(), &DisableProc, reinterpret_cast<LPARAM>(&st));
    for (HWND h : list) ::EnableWindow(h, FALSE);
    return list;
}

void TApplication::EnableWindows(const std::vector<HWND>& windows) {
    for (HWND h : windows) {
        if (::IsWindow(h)) ::EnableWindow(h, TRUE);
    }
}

void TApplication::HandleCurrentException() { HandleException(CurrentError().error); }

void TApplication::HandleException(const Exception& e) {
    if (HWND capture = ::GetCapture()) ::SendMessageW(capture, WM_CANCELMODE, 0, 0);
    const std::wstring text = ErrorDisplayText(e.Message());
    HWND active = ::GetActiveWindow();
    ++showingException_;
    const std::vector<HWND> disabled = DisableTaskWindows(nullptr);
    // Above a stay-on-top main form, or the box would open beneath it. Wine
    // ignores MB_TOPMOST, so the box is also placed there as it activates.
    UINT flags = MB_OK | MB_ICONSTOP;
    HHOOK raise = nullptr;
    if (mainForm_ && mainForm_->FormStyle() == fsStayOnTop) {
        flags |= MB_TOPMOST;
        raise = ::SetWindowsHookExW(WH_CBT, &RaiseBoxHook, nullptr, ::GetCurrentThreadId());
    }
    ::MessageBoxW(hwnd_, text.c_str(), title_.c_str(), flags);
    if (raise) ::UnhookWindowsHookEx(raise);
    EnableWindows(disabled);
    --showingException_;
    if (active && ::IsWindow(active) && ::IsWindowVisible(active)) ::SetActiveWindow(active);
}

void TApplication::ReadDecimalSeparator() {
    wchar_t buf[8] = {};
    if (::GetLocaleInfoW(::GetThreadLocale(), LOCALE_SDECIMAL, buf, 8) > 0 && buf[0]) {
        decimalSeparator_ = buf[0];
    } else {
        decimalSeparator_ = L'.';
    }
}

LRESULT TApplication::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_QUERYENDSESSION:
            return TRUE;  // no window of the program objects to being closed
        case WM_ENDSESSION:
            if (wp) {
                terminated_ = true;
                Terminate();
            }
            return 0;
        case WM_SETTINGCHANGE:  // also WM_WININICHANGE, the same number
            ::SetThreadLocale(LOCALE_USER_DEFAULT);
            ReadDecimalSeparator();
            return 0;
        case WM_CLOSE:
            Terminate();
            return 0;
        case WM_SETFOCUS:
        case WM_ACTIVATE:
            // The zero-size window passes activation on: to the main form, or
            // while that is disabled, to the window that disabled it (the
            // run dialog, an error box).
            if ((msg == WM_SETFOCUS || LOWORD(wp) != WA_INACTIVE) && mainForm_ && mainForm_->Visible()) {
                if (::IsWindowEnabled(mainForm_->Handle())) {
                    ::SetActiveWindow(mainForm_->Handle());
                } else {
                    HWND popup = ::GetLastActivePopup(hwnd_);
                    if (popup && popup != hwnd_ && ::IsWindowEnabled(popup)) ::SetActiveWindow(popup);
                }
            }
            return 0;
        case WM_SIZE:
            if (wp == SIZE_RESTORED && mainForm_ && !mainForm_->Visible() && !terminated_) {
                mainForm_->Show();
            }
            return 0;
        default:
            return Default(msg, wp, lp);
    }
}

int RunApplication(const std::function<void()>& body) {
    try {
        body();
        return 0;
    } catch (...) {
        const CaughtError caught = CurrentError();
        const Exception& e = caught.error;
        std::wstring module = L"?";
        std::uintptr_t offset = reinterpret_cast<std::uintptr_t>(e.Address());
        HMODULE mod = nullptr;
        if (::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                     GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                                 static_cast<LPCWSTR>(e.Address()), &mod) &&
            mod) {
            wchar_t path[MAX_PATH] = {};
            ::GetModuleFileNameW(mod, path, MAX_PATH);
            module = path;
            const size_t slash = module.find_last_of(L"\\/");
            if (slash != std::wstring::npos) module = module.substr(slash + 1);
            offset -= reinterpret_cast<std::uintptr_t>(mod);
        }
        const std::wstring text = StartupFailureText(caught.kind, module, offset, e.Message());
        // The message loop never starts: forms already built (and their
        // timers) go before the box, so nothing refreshes beneath it.
        if (Application) Application->DestroyForms();
        ::MessageBoxW(nullptr, text.c_str(), L"Application Error", MB_OK | MB_ICONERROR | MB_TASKMODAL);
        return 1;
    }
}

// ===========================================================================
// Controls

void TControl::Setup(TForm* form, TControl* parent, const wchar_t* name, int l, int t, int w, int h,
                     const wchar_t* caption, unsigned options, int tabOrder) {
    form_ = form;
    parent_ = parent;
    name_ = name;
    left_ = l;
    top_ = t;
    width_ = w;
    height_ = h;
    caption_ = caption ? caption : L"";
    options_ = options;
    tabOrder_ = tabOrder;
}

void TControl::SetCaption(const std::wstring& text) {
    if (text == caption_) return;
    caption_ = text;
    if (hwnd_) ::SetWindowTextW(hwnd_, caption_.c_str());
}

POINT TControl::OffsetInForm() const {
    POINT p{0, 0};
    if (hwnd_ && form_) {
        ::MapWindowPoints(hwnd_, form_->Handle(), &p, 1);
    } else if (form_) {
        p.x = form_->Scale(left_);
        p.y = form_->Scale(top_);
        for (TControl* c = parent_; c; c = c->parent_) {
            p.x += form_->Scale(c->left_);
            p.y += form_->Scale(c->top_);
        }
    }
    return p;
}

// --- TLabel

void TLabel::CreateControl(HWND parent, const RECT& b) {
    // One line, never wrapped: an auto-sized label grows instead, a fixed one
    // cuts off what does not fit.
    hwnd_ = ::CreateWindowExW(0, L"STATIC", caption_.c_str(),
                              WS_CHILD | WS_VISIBLE | SS_LEFTNOWORDWRAP | SS_NOPREFIX,
                              b.left, b.top, b.right - b.left, b.bottom - b.top, parent,
                              reinterpret_cast<HMENU>(static_cast<INT_PTR>(id_)), Instance(), nullptr);
    if (!hwnd_) throw Exception(L"Cannot create label");
    ::SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(form_->Font()), FALSE);
    if (AutoSize()) FitToText();
}

void TLabel::FitToText() {
    HDC dc = ::GetDC(hwnd_);
    SIZE sz{0, 0};
    {
        SelectObjectScope sel(dc, form_->Font());
        TEXTMETRICW tm{};
        ::GetTextMetricsW(dc, &tm);
        if (!caption_.empty()) {
            ::GetTextExtentPoint32W(dc, caption_.c_str(), static_cast<int>(caption_.size()), &sz);
            // Hinted outline fonts ink a pixel or two past the advance width
            // they report; without this room the last character (a colon)
            // is cut off.
            sz.cx += std::max<LONG>(3, tm.tmHeight / 4);
        }
        sz.cy = tm.tmHeight;
    }
    ::ReleaseDC(hwnd_, dc);
    RECT r;
    ::GetWindowRect(hwnd_, &r);
    if (r.right - r.left == sz.cx && r.bottom - r.top == sz.cy) return;
    // Grows or shrinks to the right of its fixed left edge.
    ::SetWindowPos(hwnd_, nullptr, 0, 0, sz.cx, sz.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TLabel::SetCaption(const std::wstring& text) {
    if (text == caption_) return;
    caption_ = text;
    if (!hwnd_) return;
    ::SetWindowTextW(hwnd_, caption_.c_str());
    if (AutoSize()) FitToText();
}

// --- TGroupBox

TGroupBox::~TGroupBox() {
    if (hwnd_) ::RemoveWindowSubclass(hwnd_, &TGroupBox::SubclassProc, kSubclassId);
}

void TGroupBox::CreateControl(HWND parent, const RECT& b) {
    hwnd_ = ::CreateWindowExW(0, L"BUTTON", caption_.c_str(),
                              WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | BS_GROUPBOX, b.left, b.top,
                              b.right - b.left, b.bottom - b.top, parent,
                              reinterpret_cast<HMENU>(static_cast<INT_PTR>(id_)), Instance(), nullptr);
    if (!hwnd_) throw Exception(L"Cannot create group box");
    ::SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(form_->Font()), FALSE);
    ::SetWindowSubclass(hwnd_, &TGroupBox::SubclassProc, kSubclassId, reinterpret_cast<DWORD_PTR>(this));
}

LRESULT CALLBACK TGroupBox::SubclassProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR,
                                         DWORD_PTR ref) {
    auto* self = reinterpret_cast<TGroupBox*>(ref);
    try {
        switch (msg) {
            case WM_ERASEBKGND:
                self->form_->PaintControlBackground(hwnd, reinterpret_cast<HDC>(wp));
                return 1;
            case WM_CTLCOLORSTATIC:
            case WM_CTLCOLORBTN:
                return reinterpret_cast<LRESULT>(
                    self->form_->ControlColor(reinterpret_cast<HWND>(lp), reinterpret_cast<HDC>(wp)));
            default:
                break;
        }
    } catch (...) {
        if (Application) Application->HandleCurrentException();
        return 0;
    }
    return ::DefSubclassProc(hwnd, msg, wp, lp);
}

// --- TPanel

TPanel::~TPanel() {
    if (hwnd_) ::SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
}

COLORREF TPanel::Color() const { return ::GetSysColor(COLOR_MENUBAR); }

void TPanel::CreateControl(HWND parent, const RECT& b) {
    WNDCLASSEXW existing{};
    existing.cbSize = sizeof existing;
    if (!::GetClassInfoExW(Instance(), kPanelClass, &existing)) {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = &TPanel::PanelProc;
        wc.hInstance = Instance();
        wc.hCursor = ::LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
        wc.lpszClassName = kPanelClass;
        ::RegisterClassExW(&wc);
    }
    hwnd_ = ::CreateWindowExW(0, kPanelClass, caption_.c_str(), WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN,
                              b.left, b.top, b.right - b.left, b.bottom - b.top, parent,
                              reinterpret_cast<HMENU>(static_cast<INT_PTR>(id_)), Instance(), nullptr);
    if (!hwnd_) throw Exception(L"Cannot create panel");
    ::SetWindowLongPtrW(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    ::SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(form_->Font()), FALSE);
}

LRESULT CALLBACK TPanel::PanelProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    auto* self = reinterpret_cast<TPanel*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!self) return ::DefWindowProcW(hwnd, msg, wp, lp);
    try {
        switch (msg) {
            case WM_ERASEBKGND:
                return 1;  // WM_PAINT fills everything
            case WM_PAINT: {
                PaintScope ps(hwnd);
                RECT r;
                ::GetClientRect(hwnd, &r);
                // Without visual styles the strip is clMenuBar; with them it
                // paints nothing of its own and the window colour shows.
                const int fill = TForm::VisualStylesOn() ? COLOR_BTNFACE : COLOR_MENUBAR;
                ::FillRect(ps.dc(), &r, ::GetSysColorBrush(fill));
                // Lowered outer bevel, then lowered inner bevel, one pixel each:
                // shadow on the top and left, highlight on the bottom and right.
                for (int i = 0; i < 2; ++i) {
                    HBRUSH shadow = ::GetSysColorBrush(COLOR_BTNSHADOW);
                    HBRUSH light = ::GetSysColorBrush(COLOR_BTNHIGHLIGHT);
                    RECT top{r.left, r.top, r.right - 1, r.top + 1};
                    RECT left{r.left, r.top, r.left + 1, r.bottom - 1};
                    RECT bottom{r.left, r.bottom - 1, r.right, r.bottom};
                    RECT right{r.right - 1, r.top, r.right, r.bottom};
                    ::FillRect(ps.dc(), &top, shadow);
                    ::FillRect(ps.dc(), &left, shadow);
                    ::FillRect(ps.dc(), &bottom, light);
                    ::FillRect(ps.dc(), &right, light);
                    ::InflateRect(&r, -1, -1);
                }
                return 0;
            }
            case WM_CTLCOLORSTATIC: {
                HDC dc = reinterpret_cast<HDC>(wp);
                const int fill = TForm::VisualStylesOn() ? COLOR_BTNFACE : COLOR_MENUBAR;
                ::SetTextColor(dc, ::GetSysColor(COLOR_WINDOWTEXT));
                ::SetBkColor(dc, ::GetSysColor(fill));
                return reinterpret_cast<LRESULT>(::GetSysColorBrush(fill));
            }
            default:
                break;
        }
    } catch (...) {
        if (Application) Application->HandleCurrentException();
        return 0;
    }
    return ::DefWindowProcW(hwnd, msg, wp, lp);
}

// --- TImage

void TImage::SetPicture(HBITMAP picture) {
    // The picture stays selected into a memory DC of its own, made once, so
    // painting makes no GDI object.
    dc_.reset();
    picture_.reset(picture);
    if (!picture_) return;
    dc_ = std::make_unique<MemoryDC>(picture_.get());
}

RECT TImage::PaintedRect() const {
    RECT r{0, 0, 0, 0};
    if (!picture_ || !form_) return r;
    BITMAP bm{};
    ::GetObjectW(picture_.get(), sizeof bm, &bm);
    const POINT at = OffsetInForm();
    r.left = at.x;
    r.top = at.y;
    r.right = at.x + std::min<int>(bm.bmWidth, form_->Scale(width_));
    r.bottom = at.y + std::min<int>(bm.bmHeight, form_->Scale(height_));
    return r;
}

void TImage::Paint(HDC dc) const {
    if (!dc_) return;
    const RECT r = PaintedRect();
    ::BitBlt(dc, r.left, r.top, r.right - r.left, r.bottom - r.top, dc_->get(), 0, 0, SRCCOPY);
}

// --- TButton

void TButton::CreateControl(HWND parent, const RECT& b) {
    hwnd_ = ::CreateWindowExW(0, L"BUTTON", caption_.c_str(), WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON,
                              b.left, b.top, b.right - b.left, b.bottom - b.top, parent,
                              reinterpret_cast<HMENU>(static_cast<INT_PTR>(id_)), Instance(), nullptr);
    if (!hwnd_) throw Exception(L"Cannot create button");
    ::SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(form_->Font()), FALSE);
}

void TButton::Click() {
    if (OnClick) OnClick(this);
}

// --- TComboBox

TComboBox::~TComboBox() {
    if (edit_) ::RemoveWindowSubclass(edit_, &TComboBox::EditProc, kSubclassId);
}

void TComboBox::CreateControl(HWND parent, const RECT& b) {
    // The window's height includes the dropped list: DropDownCount rows.
    const int listHeight = form_->Scale(ItemHeight) * DropDownCount + 2;
    hwnd_ = ::CreateWindowExW(0, L"COMBOBOX", L"",
                              WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWN | CBS_AUTOHSCROLL,
                              b.left, b.top, b.right - b.left, (b.bottom - b.top) + listHeight, parent,
                              reinterpret_cast<HMENU>(static_cast<INT_PTR>(id_)), Instance(), nullptr);
    if (!hwnd_) throw Exception(L"Cannot create combo box");
    ::SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(form_->Font()), FALSE);
    ::SendMessageW(hwnd_, CB_SETITEMHEIGHT, 0, form_->Scale(ItemHeight));
    for (const auto& item : Items) ::SendMessageW(hwnd_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str()));
    ::SendMessageW(hwnd_, CB_SETMINVISIBLE, DropDownCount, 0);
    COMBOBOXINFO info{};
    info.cbSize = sizeof info;
    if (::GetComboBoxInfo(hwnd_, &info)) edit_ = info.hwndItem;
    if (!edit_) edit_ = ::FindWindowExW(hwnd_, nullptr, L"EDIT", nullptr);
    if (edit_) ::SetWindowSubclass(edit_, &TComboBox::EditProc, kSubclassId, reinterpret_cast<DWORD_PTR>(this));
}

std::wstring TComboBox::Text() const { return hwnd_ ? WindowText(hwnd_) : std::wstring(); }

void TComboBox::SetText(const std::wstring& text) {
    if (hwnd_) ::SetWindowTextW(hwnd_, text.c_str());
}

bool TComboBox::DroppedDown() const { return hwnd_ && ::SendMessageW(hwnd_, CB_GETDROPPEDSTATE, 0, 0) != 0; }

void TComboBox::SetDroppedDown(bool dropped) {
    if (hwnd_) ::SendMessageW(hwnd_, CB_SHOWDROPDOWN, dropped ? TRUE : FALSE, 0);
}

int TComboBox::ItemIndex() const {
    return hwnd_ ? static_cast<int>(::SendMessageW(hwnd_, CB_GETCURSEL, 0, 0)) : -1;
}

LRESULT CALLBACK TComboBox::EditProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR ref) {
    auto* self = reinterpret_cast<TComboBox*>(ref);
    if (msg == WM_CHAR) {
        try {
            if (self->HandleChar(static_cast<wchar_t>(wp))) return 0;
        } catch (...) {
            if (Application) Application->HandleCurrentException();
            return 0;
        }
    }
    return ::DefSubclassProc(hwnd, msg, wp, lp);
}

bool TComboBox::HandleChar(wchar_t ch) {
    if (!Completer || !edit_ || ch == L'\b' || ch == L'\t' || ch == 27) return false;
    DWORD s = 0, e = 0;
    ::SendMessageW(edit_, EM_GETSEL, reinterpret_cast<WPARAM>(&s), reinterpret_cast<LPARAM>(&e));
    const TComboCompletion c = Completer(WindowText(edit_), static_cast<int>(s), static_cast<int>(e), ch);
    if (!c.completed) return false;
    // The preset becomes the list's current item (which also puts its own
    // text in the box), then the box shows the typed characters in their case
    // followed by the preset's remainder, selected.
    ::SendMessageW(hwnd_, CB_SETCURSEL, static_cast<WPARAM>(c.itemIndex), 0);
    ::SetWindowTextW(edit_, c.text.c_str());
    ::SendMessageW(edit_, EM_SETSEL, static_cast<WPARAM>(c.selStart), c.selEnd);
    return true;
}

// ===========================================================================
// TTimer

TTimer::TTimer() {
    RegisterClassOnce(kTimerClass, 0, nullptr);
    CreateHandle(kTimerClass, L"", 0, 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr);
}

TTimer::~TTimer() {
    if (hwnd_ && running_) ::KillTimer(hwnd_, kTimerId);
    running_ = false;
}

void TTimer::SetEnabled(bool enabled) {
    if (enabled == enabled_) return;
    enabled_ = enabled;
    UpdateTimer();
}

void TTimer::SetInterval(UINT ms) {
    if (ms == interval_) return;
    interval_ = ms;
    UpdateTimer();
}

void TTimer::SetOnTimer(TNotifyEvent handler) {
    onTimer_ = std::move(handler);
    UpdateTimer();
}

void TTimer::UpdateTimer() {
    if (running_) {
        ::KillTimer(hwnd_, kTimerId);
        running_ = false;
    }
    if (interval_ != 0 && enabled_ && onTimer_) {
        if (!::SetTimer(hwnd_, kTimerId, interval_, nullptr)) {
            throw EOutOfResources(L"Not enough timers available");
        }
        running_ = true;
    }
}

LRESULT TTimer::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_TIMER && wp == kTimerId) {
        if (running_ && onTimer_) onTimer_(this);
        return 0;
    }
    return Default(msg, wp, lp);
}

// ===========================================================================
// TForm

namespace {
TForm* FormOfWindow(HWND hwnd) {
    HWND root = ::GetAncestor(hwnd, GA_ROOT);
    return root ? dynamic_cast<TForm*>(TWindowBase::FromHandle(root)) : nullptr;
}
}  // namespace

TForm::TForm(const TFormProps& props) : props_(props), caption_(props.caption), formStyle_(props.formStyle) {
    ScreenDC screen;
    dpi_ = ::GetDeviceCaps(screen.get(), LOGPIXELSY);
    if (dpi_ <= 0) dpi_ = 96;
    LOGFONTW lf{};
    lf.lfHeight = -ScaledFontHeight(-props.fontHeight, dpi_);
    lf.lfCharSet = DEFAULT_CHARSET;
    lf.lfWeight = FW_NORMAL;
    lstrcpynW(lf.lfFaceName, props.fontName, LF_FACESIZE);
    font_.reset(::CreateFontIndirectW(&lf));
    if (!font_) throw EOutOfResources(L"Cannot create font");
    {
        SelectObjectScope sel(screen.get(), font_.get());
        TEXTMETRICW tm{};
        ::GetTextMetricsW(screen.get(), &tm);
        textHeight_ = tm.tmHeight > 0 ? tm.tmHeight : 13;
    }
}

TForm::~TForm() {
    // Controls unhook themselves in their destructors (members of the
    // derived form, gone by now); the window tree goes with the form.
    DestroyHandle();
}

int TForm::Scale(int v) const {
    // A layout made at 96 dpi is kept as it is there.
    if (dpi_ == 96) return v;
    return ScaleByTextHeight(v, textHeight_);
}

void TForm::CreateWindowHandle() {
    RegisterClassOnce(props_.className, CS_DBLCLKS, nullptr);
    DWORD style = WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN | WS_CLIPSIBLINGS;
    DWORD ex = 0;
    if (props_.borderStyle == bsToolWindow) {
        ex |= WS_EX_TOOLWINDOW;
        if (props_.minimizeIcon) style |= WS_MINIMIZEBOX;
    } else {
        ex |= WS_EX_DLGMODALFRAME;
    }
    if (formStyle_ == fsStayOnTop) ex |= WS_EX_TOPMOST;
    HWND owner = Application ? Application->Handle() : nullptr;
    CreateHandle(props_.className, caption_, style, ex, Scale(props_.left), Scale(props_.top), 100, 100, owner,
                 nullptr);
    SetClientSize(props_.clientWidth, props_.clientHeight);
}

void TForm::SetClientSize(int dw, int dh) {
    const int cw = Scale(dw), ch = Scale(dh);
    RECT r{0, 0, cw, ch};
    const DWORD style = static_cast<DWORD>(::GetWindowLongPtrW(hwnd_, GWL_STYLE));
    const DWORD ex = static_cast<DWORD>(::GetWindowLongPtrW(hwnd_, GWL_EXSTYLE));
    ::AdjustWindowRectEx(&r, style, ::GetMenu(hwnd_) != nullptr, ex);
    ::SetWindowPos(hwnd_, nullptr, 0, 0, r.right - r.left, r.bottom - r.top,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    // A menu bar that wraps takes more than one line: correct by what the
    // client area really is.
    RECT c;
    ::GetClientRect(hwnd_, &c);
    if (c.right != cw || c.bottom != ch) {
        RECT w;
        ::GetWindowRect(hwnd_, &w);
        ::SetWindowPos(hwnd_, nullptr, 0, 0, (w.right - w.left) + (cw - c.right), (w.bottom - w.top) + (ch - c.bottom),
                       SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

void TForm::BuildLayout(const TLayoutRow* rows, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        const TLayoutRow& row = rows[i];
        TControl* c = row.control;
        c->Setup(this, row.parent, row.name, row.left, row.top, row.width, row.height, row.caption, row.options,
                 row.tabOrder);
        c->id_ = nextId_++;
        controls_.push_back(c);
        if (!c->Windowed()) continue;
        HWND parent = row.parent ? row.parent->Handle() : hwnd_;
        RECT b{Scale(row.left), Scale(row.top), Scale(row.left) + Scale(row.width),
               Scale(row.top) + Scale(row.height)};
        c->CreateControl(parent, b);
    }
    // Windowed controls in tab order: the first in the order on top.
    std::vector<TControl*> order = TabOrderControls();
    HWND after = HWND_TOP;
    for (TControl* c : order) {
        ::SetWindowPos(c->Handle(), after, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        after = c->Handle();
    }
}

TControl* TForm::FindControl(const std::wstring& name) const {
    for (TControl* c : controls_) {
        if (c->Name() == name) return c;
    }
    return nullptr;
}

TControl* TForm::ControlById(int id) const {
    for (TControl* c : controls_) {
        if (c->id_ == id) return c;
    }
    return nullptr;
}

std::vector<TControl*> TForm::TabOrderControls() const {
    std::vector<TControl*> out;
    for (TControl* c : controls_) {
        if (c->CanFocus() && c->TabOrder() >= 0 && c->Handle()) out.push_back(c);
    }
    std::stable_sort(out.begin(), out.end(), [](TControl* a, TControl* b) { return a->TabOrder() < b->TabOrder(); });
    return out;
}

void TForm::SetFormStyle(TFormStyle style) {
    if (style == formStyle_) return;
    formStyle_ = style;
    PlaceTopmost(style == fsStayOnTop);
}

void TForm::PlaceTopmost(bool topmost) {
    const UINT keep = SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE;
    ::SetWindowPos(hwnd_, topmost ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0, keep);
    if (!topmost && (::GetWindowLongPtrW(hwnd_, GWL_EXSTYLE) & WS_EX_TOPMOST)) {
        // Wine keeps an owned window on top through HWND_NOTOPMOST; placed
        // again while briefly unowned, it leaves the topmost band.
        HWND owner = ::GetWindow(hwnd_, GW_OWNER);
        ::SetWindowLongPtrW(hwnd_, GWLP_HWNDPARENT, 0);
        ::SetWindowPos(hwnd_, HWND_NOTOPMOST, 0, 0, 0, 0, keep);
        ::SetWindowLongPtrW(hwnd_, GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(owner));
    }
}

void TForm::SetMenu(TMainMenu* menu) {
    menu_ = menu;
    ::SetMenu(hwnd_, menu ? menu->Handle() : nullptr);
    SetClientSize(props_.clientWidth, props_.clientHeight);
}

void TForm::PlaceAtFirstShowing() {
    RECT w;
    ::GetWindowRect(hwnd_, &w);
    const int ww = w.right - w.left, wh = w.bottom - w.top;
    Point p{w.left, w.top};
    if (props_.position == poDesktopCenter) {
        Rect desk{::GetSystemMetrics(SM_XVIRTUALSCREEN), ::GetSystemMetrics(SM_YVIRTUALSCREEN), 0, 0};
        desk.right = desk.left + ::GetSystemMetrics(SM_CXVIRTUALSCREEN);
        desk.bottom = desk.top + ::GetSystemMetrics(SM_CYVIRTUALSCREEN);
        p = DesktopCenterPlacement(desk, ww, wh);
    } else if (props_.position == poMainFormCenter && Application && Application->MainForm() &&
               Application->MainForm() != this) {
        RECT m;
        ::GetWindowRect(Application->MainForm()->Handle(), &m);
        p = MainFormCenterPlacement(Rect{m.left, m.top, m.right, m.bottom}, ww, wh);
    } else {
        return;
    }
    ::SetWindowPos(hwnd_, nullptr, p.x, p.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TForm::Show() {
    if (!shownOnce_) {
        shownOnce_ = true;
        PlaceAtFirstShowing();
    }
    ::ShowWindow(hwnd_, SW_SHOW);
    ::SetForegroundWindow(hwnd_);
}

void TForm::Hide() {
    SaveFocus();
    ::ShowWindow(hwnd_, SW_HIDE);
}

void TForm::SaveFocus() {
    HWND f = ::GetFocus();
    if (f && f != hwnd_ && ::IsChild(hwnd_, f)) {
        // A combo box's edit child stands for the combo box.
        for (TControl* c : TabOrderControls()) {
            if (c->Handle() == f || ::IsChild(c->Handle(), f)) {
                lastFocus_ = c->Handle();
                return;
            }
        }
        lastFocus_ = f;
    }
}

void TForm::RestoreFocus() {
    HWND target = lastFocus_;
    if (!target || !::IsWindow(target)) {
        std::vector<TControl*> order = TabOrderControls();
        target = order.empty() ? nullptr : order.front()->Handle();
    }
    if (target) ::SetFocus(target);
}

int TForm::ShowModal() {
    HWND active = ::GetActiveWindow();
    std::vector<HWND> disabled = Application->DisableTaskWindows(hwnd_);
    ModalResult = mrNone;
    ++modalLevel_;
    // A dialog of normal style opened over a stay-on-top main form would
    // open beneath it: it is raised into the topmost band while it is open.
    TForm* main = Application->MainForm();
    const bool raise = formStyle_ == fsNormal && main && main != this && main->FormStyle() == fsStayOnTop;
    if (raise) PlaceTopmost(true);
    // However the loop is left, even by an error, the dialog is hidden and
    // the other windows come back.
    struct EndModal {
        TForm* self;
        HWND active;
        const std::vector<HWND>& disabled;
        bool raise;
        ~EndModal() {
            --self->modalLevel_;
            const bool wasActive = ::GetActiveWindow() == self->hwnd_;
            self->SaveFocus();
            TApplication::EnableWindows(disabled);
            ::ShowWindow(self->hwnd_, SW_HIDE);
            if (raise) self->PlaceTopmost(false);
            if (wasActive && active && ::IsWindow(active) && ::IsWindowVisible(active)) ::SetActiveWindow(active);
        }
    } endModal{this, active, disabled, raise};
    Show();
    ::SetActiveWindow(hwnd_);
    RestoreFocus();
    while (ModalResult == mrNone) {
        if (Application->Terminated()) {
            ModalResult = mrCancel;
            break;
        }
        Application->HandleMessage();
    }
    return ModalResult;
}

void TForm::Close() {
    if (modalLevel_ > 0) {
        ModalResult = mrCancel;
        return;
    }
    if (Application && Application->MainForm() == this) {
        Application->Terminate();
        return;
    }
    Hide();
}

bool TForm::VisualStylesOn() { return ::IsAppThemed() && ::IsThemeActive(); }

void TForm::PaintBackground(HDC dc) {
    // Pictures first, then the window colour around them: no pixel is
    // painted twice, so uncovering the window does not flicker.
    const int saved = ::SaveDC(dc);
    for (TControl* c : controls_) {
        if (auto* img = dynamic_cast<TImage*>(c)) {
            img->Paint(dc);
            const RECT p = img->PaintedRect();
            ::ExcludeClipRect(dc, p.left, p.top, p.right, p.bottom);
        }
    }
    RECT r;
    ::GetClientRect(hwnd_, &r);
    ::FillRect(dc, &r, ::GetSysColorBrush(COLOR_BTNFACE));
    ::RestoreDC(dc, saved);
}

void TForm::PaintControlBackground(HWND control, HDC dc) {
    RECT r;
    ::GetClientRect(control, &r);
    if (VisualStylesOn()) {
        // The picture shows through: its brush with the origin moved so the
        // control shows the part of the picture beneath it.
        if (HBRUSH b = ControlColor(control, dc)) {
            ::FillRect(dc, &r, b);
            return;
        }
    }
    ::FillRect(dc, &r, ::GetSysColorBrush(COLOR_BTNFACE));
}

HBRUSH TForm::ControlColor(HWND control, HDC dc) {
    ::SetTextColor(dc, ::GetSysColor(COLOR_WINDOWTEXT));
    if (VisualStylesOn()) {
        if (!pictureBrush_) {
            for (TControl* c : controls_) {
                if (auto* img = dynamic_cast<TImage*>(c)) {
                    if (img->Picture()) pictureBrush_.reset(::CreatePatternBrush(img->Picture()));
                    break;
                }
            }
        }
        if (pictureBrush_) {
            POINT p{0, 0};
            ::MapWindowPoints(control, hwnd_, &p, 1);
            ::SetBrushOrgEx(dc, -p.x, -p.y, nullptr);
            ::SetBkMode(dc, TRANSPARENT);
            return pictureBrush_.get();
        }
    }
    ::SetBkColor(dc, ::GetSysColor(COLOR_BTNFACE));
    return ::GetSysColorBrush(COLOR_BTNFACE);
}

bool TForm::MoveFocus(bool forward) {
    std::vector<TControl*> order = TabOrderControls();
    if (order.empty()) return false;
    HWND f = ::GetFocus();
    int at = -1;
    for (size_t i = 0; i < order.size(); ++i) {
        if (order[i]->Handle() == f || ::IsChild(order[i]->Handle(), f)) at = static_cast<int>(i);
    }
    const int n = static_cast<int>(order.size());
    const int next = at < 0 ? 0 : (at + (forward ? 1 : n - 1)) % n;
    ::SetFocus(order[static_cast<size_t>(next)]->Handle());
    return true;
}

bool TForm::PreTranslateMessage(MSG& msg) {
    // Keyboard navigation for forms with focusable controls: Tab and
    // Shift+Tab move through the tab order, wrapping; arrows on a button move
    // the same way; Enter on a button clicks it; Enter and Escape close an
    // open list and otherwise do nothing.
    if (msg.message != WM_KEYDOWN) return false;
    std::vector<TControl*> order = TabOrderControls();
    if (order.empty()) return false;
    HWND f = ::GetFocus();
    TControl* focused = nullptr;
    for (TControl* c : order) {
        if (c->Handle() == f || ::IsChild(c->Handle(), f)) focused = c;
    }
    const bool shift = (::GetKeyState(VK_SHIFT) & 0x8000) != 0;
    auto* button = dynamic_cast<TButton*>(focused);
    auto* combo = dynamic_cast<TComboBox*>(focused);
    switch (msg.wParam) {
        case VK_TAB:
            if (::GetKeyState(VK_CONTROL) & 0x8000) return false;
            if (combo && combo->DroppedDown()) combo->SetDroppedDown(false);
            return MoveFocus(!shift);
        case VK_RIGHT:
        case VK_DOWN:
            if (button) return MoveFocus(true);
            return false;
        case VK_LEFT:
        case VK_UP:
            if (button) return MoveFocus(false);
            return false;
        case VK_RETURN:
            if (button) {
                button->Click();
                return true;
            }
            if (combo && combo->DroppedDown()) combo->SetDroppedDown(false);
            return true;
        case VK_ESCAPE:
            if (combo && combo->DroppedDown()) combo->SetDroppedDown(false);
            return true;
        default:
            return false;
    }
}

LRESULT TForm::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_ERASEBKGND:
            PaintBackground(reinterpret_cast<HDC>(wp));
            return 1;
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORBTN:
            return reinterpret_cast<LRESULT>(ControlColor(reinterpret_cast<HWND>(lp), reinterpret_cast<HDC>(wp)));
        case WM_COMMAND:
            if (lp == 0 && HIWORD(wp) == 0) {
                if (menu_) menu_->DispatchCommand(LOWORD(wp));
                return 0;
            }
            if (HIWORD(wp) == BN_CLICKED) {
                if (auto* b = dynamic_cast<TButton*>(ControlById(LOWORD(wp)))) b->Click();
                return 0;
            }
            return 0;
        case WM_INITMENUPOPUP:
            if (menu_ && !HIWORD(lp)) menu_->DispatchPopup(reinterpret_cast<HMENU>(wp));
            return 0;
        case WM_MEASUREITEM: {
            auto* mi = reinterpret_cast<MEASUREITEMSTRUCT*>(lp);
            if (mi->CtlType == ODT_MENU && menu_) {
                menu_->MeasureItem(*mi);
                return TRUE;
            }
            break;
        }
        case WM_DRAWITEM: {
            auto* di = reinterpret_cast<DRAWITEMSTRUCT*>(lp);
            if (di->CtlType == ODT_MENU && menu_) {
                menu_->DrawItem(*di);
                return TRUE;
            }
            break;
        }
        case WM_ACTIVATE:
            if (LOWORD(wp) == WA_INACTIVE) {
                SaveFocus();
            } else if (!HIWORD(wp)) {
                RestoreFocus();
            }
            return 0;
        case WM_SETFOCUS:
            RestoreFocus();
            return 0;
        case WM_CLOSE:
            Close();
            return 0;
        case WM_SYSCOMMAND:
            if ((wp & 0xFFF0) == SC_MINIMIZE && Application && Application->MainForm() == this) {
                // Minimising the main form minimises the application: the
                // taskbar entry restores it.
                ::ShowWindow(hwnd_, SW_HIDE);
                ::ShowWindow(Application->Handle(), SW_MINIMIZE);
                return 0;
            }
            break;
        case WM_QUERYENDSESSION:
            return TRUE;
        case WM_ENDSESSION:
            if (wp && Application) Application->Terminate();
            return 0;
        default:
            break;
    }
    return Default(msg, wp, lp);
}
