// The thin window toolkit: application object, forms, the controls the
// program uses, and the message timer.
//
// Rules kept throughout: no exception leaves a window procedure or timer
// callback (each trampoline hands it to TApplication::HandleException, the
// one error display); every GDI object is made once and kept; a control's
// caption set to the text it already shows changes nothing.
#pragma once
#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "exceptions.h"
#include "geometry.h"
#include "handles.h"

class TObject {
public:
    virtual ~TObject() = default;
};

using TNotifyEvent = std::function<void(TObject* Sender)>;

class TForm;
class TMainMenu;

// Modal results.
constexpr int mrNone = 0;
constexpr int mrCancel = 2;

// ---------------------------------------------------------------------------
// Window base with one trampoline: `this` is stored at WM_NCCREATE and every
// later message goes to the virtual WndProc; errors are caught there.
class TWindowBase : public TObject {
public:
    HWND Handle() const { return hwnd_; }
    // The object behind one of the toolkit's own windows, or null.
    static TWindowBase* FromHandle(HWND hwnd);

protected:
    TWindowBase() = default;
    ~TWindowBase() override;
    // Registers the class once per process (icon: the program's first icon).
    static void RegisterClassOnce(const wchar_t* className, UINT classStyle, HBRUSH background);
    // Creates the window; throws Exception when the system refuses.
    void CreateHandle(const wchar_t* className, const std::wstring& caption, DWORD style,
                      DWORD exStyle, int x, int y, int w, int h, HWND parentOrOwner, HMENU menu);
    // Detaches the object from its window and destroys the window.
    void DestroyHandle();
    virtual LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp);
    LRESULT Default(UINT msg, WPARAM wp, LPARAM lp) { return ::DefWindowProcW(hwnd_, msg, wp, lp); }

    HWND hwnd_ = nullptr;

private:
    static LRESULT CALLBACK Trampoline(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
};

// ---------------------------------------------------------------------------
// The application object: title, icon, the forms it owns, the message loop
// with its terminate flag, the error display, and the locale's decimal symbol.
class TApplication : public TWindowBase {
public:
    TApplication();
    ~TApplication() override;

    void Initialize();
    void SetTitle(const std::wstring& title);
    const std::wstring& Title() const { return title_; }

    // Sets `ref` to the new form before its constructor runs, builds it, then
    // runs its creation handler (errors there go to the error display). The
    // first form created is the main form. A failure while building resets
    // `ref` to null and passes the error on.
    template <class T>
    void CreateForm(T*& ref);

    // Shows the main form and handles messages until terminated.
    void Run();
    // Posts a quit message; the loop ends when it takes it.
    void Terminate();
    bool Terminated() const { return terminated_; }
    // Handles one message, waiting for it; false when the loop should end.
    void HandleMessage();
    // Handles every waiting message; a WM_QUIT met marks termination.
    void ProcessMessages();

    // The error display: cancels a mouse capture, shows the message with the
    // full-stop rule in a stop box captioned with the title, with the
    // program's other windows disabled meanwhile.
    void HandleException(const Exception& e);
    // Call from inside a catch block: shows whatever is being handled.
    void HandleCurrentException();
    // True while an error display is open.
    bool ShowingException() const { return showingException_ > 0; }

    TForm* MainForm() const { return mainForm_; }
    wchar_t DecimalSeparator() const { return decimalSeparator_; }
    // Reads the decimal symbol of the thread's locale ('.' when unreadable).
    void ReadDecimalSeparator();

    // Disables the thread's visible enabled top-level windows except `keep`
    // and this object's own window, returning them for EnableWindows.
    std::vector<HWND> DisableTaskWindows(HWND keep);
    static void EnableWindows(const std::vector<HWND>& windows);
    // Destroys every form now (at exit, or a start-up that failed half-way).
    void DestroyForms();

protected:
    LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override;

private:
    void AddForm(TForm* form);
    bool PreTranslate(MSG& msg);

    std::wstring title_;
    std::vector<TForm*> forms_;
    TForm* mainForm_ = nullptr;
    bool terminated_ = false;
    int showingException_ = 0;
    wchar_t decimalSeparator_ = L'.';
};

// The program-wide application object (set by TApplication's constructor).
extern TApplication* Application;

// Runs start-up: any error escaping `body` shows the "Application Error" box
// (task-modal, no owner) and gives exit code 1; otherwise 0.
int RunApplication(const std::function<void()>& body);

// ---------------------------------------------------------------------------
// Controls. Positions are in pixels at 96 dpi; the form scales them.
enum LayoutOptions : unsigned {
    loNone = 0,
    loAutoSize = 1,  // the control sizes itself to its caption
};

class TControl : public TObject {
public:
    ~TControl() override = default;
    const std::wstring& Name() const { return name_; }
    HWND Handle() const { return hwnd_; }
    TForm* Form() const { return form_; }
    TControl* Parent() const { return parent_; }
    // Design position and size (96 dpi), relative to the parent.
    int Left() const { return left_; }
    int Top() const { return top_; }
    int Width() const { return width_; }
    int Height() const { return height_; }
    int TabOrder() const { return tabOrder_; }
    const std::wstring& Caption() const { return caption_; }
    // Replaces the caption; the same text again does nothing.
    virtual void SetCaption(const std::wstring& text);
    // The control's top-left corner in its form's client coordinates (pixels).
    POINT OffsetInForm() const;
    virtual bool Windowed() const { return true; }
    virtual bool CanFocus() const { return false; }

protected:
    friend class TForm;
    virtual void CreateControl(HWND parent, const RECT& bounds) = 0;
    void Setup(TForm* form, TControl* parent, const wchar_t* name, int l, int t, int w, int h,
               const wchar_t* caption, unsigned options, int tabOrder);

    std::wstring name_;
    std::wstring caption_;
    TForm* form_ = nullptr;
    TControl* parent_ = nullptr;
    int left_ = 0, top_ = 0, width_ = 0, height_ = 0;
    unsigned options_ = 0;
    int tabOrder_ = -1;
    HWND hwnd_ = nullptr;
    int id_ = 0;
};

// A text label: a STATIC child window.
class TLabel : public TControl {
public:
    void SetCaption(const std::wstring& text) override;
    bool AutoSize() const { return (options_ & loAutoSize) != 0; }

protected:
    void CreateControl(HWND parent, const RECT& bounds) override;

private:
    void FitToText();
};

// A framed group: a BUTTON/BS_GROUPBOX child that holds other controls.
class TGroupBox : public TControl {
public:
    ~TGroupBox() override;

protected:
    void CreateControl(HWND parent, const RECT& bounds) override;

private:
    static LRESULT CALLBACK SubclassProc(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);
};

// A panel with lowered outer and inner bevels, one pixel each, in clMenuBar.
class TPanel : public TControl {
public:
    ~TPanel() override;
    COLORREF Color() const;

protected:
    void CreateControl(HWND parent, const RECT& bounds) override;

private:
    static LRESULT CALLBACK PanelProc(HWND, UINT, WPARAM, LPARAM);
};

// A picture painted on the form's own surface, from its top-left corner at
// its own size, cut to the control's bounds.
class TImage : public TControl {
public:
    bool Windowed() const override { return false; }
    // Takes ownership of the picture.
    void SetPicture(HBITMAP picture);
    HBITMAP Picture() const { return picture_.get(); }
    // Where the picture lands in the form's client area (cut to the bounds).
    RECT PaintedRect() const;
    void Paint(HDC dc) const;

protected:
    void CreateControl(HWND, const RECT&) override {}

private:
    UniqueBitmap picture_;
    std::unique_ptr<MemoryDC> dc_;  // declared after the picture: freed before it
};

// A push button.
class TButton : public TControl {
public:
    ~TButton() override = default;
    TNotifyEvent OnClick;
    void Click();
    bool CanFocus() const override { return true; }

protected:
    void CreateControl(HWND parent, const RECT& bounds) override;
};

// What inline completion makes of one typed character.
struct TComboCompletion {
    bool completed = false;  // false: the box inserts the character itself
    std::wstring text;
    int selStart = 0, selEnd = 0;
    int itemIndex = -1;
};
using TComboCompleter =
    std::function<TComboCompletion(const std::wstring& text, int selStart, int selEnd, wchar_t ch)>;

// An editable combo box with a drop-down list and optional inline completion
// (typed characters other than Backspace, Tab and Escape are offered to the
// completer; typing never opens the list).
class TComboBox : public TControl {
public:
    ~TComboBox() override;
    std::vector<std::wstring> Items;
    int DropDownCount = 8;
    TComboCompleter Completer;
    int ItemHeight = 13;
    std::wstring Text() const;
    void SetText(const std::wstring& text);
    bool DroppedDown() const;
    void SetDroppedDown(bool dropped);
    HWND EditHandle() const { return edit_; }
    int ItemIndex() const;
    bool CanFocus() const override { return true; }

protected:
    void CreateControl(HWND parent, const RECT& bounds) override;

private:
    static LRESULT CALLBACK EditProc(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);
    bool HandleChar(wchar_t ch);
    HWND edit_ = nullptr;
};

// ---------------------------------------------------------------------------
// A message timer whose ticks go to a hidden window of its own. The system
// timer exists only while Interval > 0, Enabled is true and OnTimer is set;
// ticks never pile up.
class TTimer : public TWindowBase {
public:
    TTimer();
    ~TTimer() override;
    // Throws EOutOfResources("Not enough timers available") when the system
    // has no timer to give.
    void SetEnabled(bool enabled);
    bool Enabled() const { return enabled_; }
    void SetInterval(UINT ms);
    UINT Interval() const { return interval_; }
    void SetOnTimer(TNotifyEvent handler);
    // True while the system timer exists.
    bool Running() const { return running_; }

protected:
    LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override;

private:
    void UpdateTimer();
    bool enabled_ = true;
    UINT interval_ = 1000;
    TNotifyEvent onTimer_;
    bool running_ = false;
};

// ---------------------------------------------------------------------------
enum TFormStyle { fsNormal, fsStayOnTop };
enum TBorderStyle { bsToolWindow, bsDialog };
enum TPosition { poDesigned, poDesktopCenter, poMainFormCenter };

struct TFormProps {
    const wchar_t* className;
    const wchar_t* caption;
    TBorderStyle borderStyle;
    bool minimizeIcon;  // biMinimize among the border icons
    TFormStyle formStyle;
    TPosition position;
    int left, top;                  // design-time place
    int clientWidth, clientHeight;  // 96 dpi
    const wchar_t* fontName;
    int fontHeight;  // 96 dpi, negative: character height
};

struct TLayoutRow {
    TControl* control;
    TControl* parent;  // null: the form itself
    const wchar_t* name;
    int left, top, width, height;
    const wchar_t* caption;
    unsigned options;
    int tabOrder;  // -1: not in the tab order
};

// A top-level window owned by the application's window. Build: the derived
// constructor calls CreateWindowHandle, then BuildLayout with its table.
class TForm : public TWindowBase {
public:
    ~TForm() override;

    const std::wstring& Caption() const { return caption_; }
    TFormStyle FormStyle() const { return formStyle_; }
    // Places the window above or among ordinary windows, keeping place and
    // size and without activating it; controls, texts and timers live on.
    void SetFormStyle(TFormStyle style);
    void SetMenu(TMainMenu* menu);
    TMainMenu* Menu() const { return menu_; }

    void Show();
    void Hide();
    bool Visible() const { return ::IsWindowVisible(hwnd_) != FALSE; }
    // Shows the form modally: the program's other windows are disabled, the
    // form's own loop runs until a modal result is set or the application
    // terminates, then the form is hidden and the others enabled again.
    int ShowModal();
    // Modal: sets the modal result to mrCancel. Otherwise hides the form, and
    // for the main form terminates the application.
    void Close();
    int ModalResult = mrNone;
    bool Modal() const { return modalLevel_ > 0; }

    // The creation handler, run once by TApplication::CreateForm.
    virtual void FormCreate() {}

    int Dpi() const { return dpi_; }
    // A design size (96 dpi) in this form's pixels.
    int Scale(int designValue) const;
    HFONT Font() const { return font_.get(); }
    TControl* FindControl(const std::wstring& name) const;
    TControl* ControlById(int id) const;
    // Controls that take the focus, in tab order.
    std::vector<TControl*> TabOrderControls() const;
    // Paints a windowed control's background the way the form shows through.
    void PaintControlBackground(HWND control, HDC dc);
    // The WM_CTLCOLOR* answer for a child (label, group box) of this form.
    HBRUSH ControlColor(HWND control, HDC dc);
    // Keyboard handling before dispatch; true when the message was consumed.
    virtual bool PreTranslateMessage(MSG& msg);
    // True when the desktop's visual styles apply to this program.
    static bool VisualStylesOn();

protected:
    explicit TForm(const TFormProps& props);
    void CreateWindowHandle();
    void BuildLayout(const TLayoutRow* rows, size_t count);
    void SetClientSize(int designWidth, int designHeight);
    LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override;
    void SaveFocus();
    void RestoreFocus();
    virtual void PaintBackground(HDC dc);

    TFormProps props_;
    std::wstring caption_;
    TFormStyle formStyle_;
    TMainMenu* menu_ = nullptr;
    std::vector<TControl*> controls_;
    bool shownOnce_ = false;
    int modalLevel_ = 0;
    HWND lastFocus_ = nullptr;
    int dpi_ = 96;
    int textHeight_ = 13;
    UniqueFont font_;
    UniqueBrush pictureBrush_;
    int nextId_ = 100;

private:
    friend class TApplication;
    void PlaceAtFirstShowing();
    // Into or out of the band of windows kept above all others, keeping
    // place and size and without activating.
    void PlaceTopmost(bool topmost);
    bool MoveFocus(bool forward);
};

template <class T>
void TApplication::CreateForm(T*& ref) {
    void* mem = ::operator new(sizeof(T));
    ref = static_cast<T*>(mem);
    T* form = nullptr;
    try {
        form = new (mem) T();
    } catch (...) {
        ::operator delete(mem);
        ref = nullptr;
        throw;
    }
    AddForm(form);
    try {
        form->FormCreate();
    } catch (...) {
        HandleCurrentException();
    }
}
