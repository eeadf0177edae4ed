// The main menu with its items, and TRyMenu, the styler that measures and
// draws every item of a menu in a flat look (gutter strip, item colour,
// selection box, check mark on a box in the gutter).
#pragma once
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "forms.h"
#include "handles.h"

class TRyMenu;

class TMenuItem : public TObject {
public:
    const std::wstring& Name() const { return name_; }
    const std::wstring& Caption() const { return caption_; }
    TMenuItem* Parent() const { return parent_; }
    bool TopLevel() const { return parent_ == nullptr; }
    // The drop-down of a menu-bar item (null for drop-down items).
    HMENU SubMenu() const { return submenu_; }
    UINT Command() const { return id_; }
    // Checked: the mark shown the next time the item is drawn.
    bool Checked() const { return checked_; }
    void SetChecked(bool checked);
    TNotifyEvent OnClick;
    void Click();

private:
    friend class TMainMenu;
    std::wstring name_;
    std::wstring caption_;
    TMenuItem* parent_ = nullptr;
    HMENU owner_ = nullptr;  // the menu that holds this item
    HMENU submenu_ = nullptr;
    UINT id_ = 0;
    bool checked_ = false;
};

struct TMenuRow {
    TMenuItem* item;
    const wchar_t* name;
    const wchar_t* caption;
    TMenuItem* parent;  // null: the menu bar
    TNotifyEvent onClick;
};

class TMainMenu : public TObject {
public:
    TMainMenu() = default;
    ~TMainMenu() override;
    // Builds the menu bar and its drop-downs from the table (parents first).
    void Build(const TMenuRow* rows, size_t count);
    HMENU Handle() const { return bar_; }
    TMenuItem* FindItem(const std::wstring& name) const;
    const std::vector<TMenuItem*>& Items() const { return items_; }

    // Called by the form on WM_COMMAND / WM_INITMENUPOPUP.
    void DispatchCommand(UINT id);
    void DispatchPopup(HMENU popup);
    // Called by the form on WM_MEASUREITEM / WM_DRAWITEM for ODT_MENU.
    void MeasureItem(MEASUREITEMSTRUCT& mi);
    void DrawItem(const DRAWITEMSTRUCT& di);

    // Switches every item, at every level, to owner drawing by the styler.
    void SetStyler(TRyMenu* styler);
    TRyMenu* Styler() const { return styler_; }

private:
    HMENU bar_ = nullptr;
    std::vector<TMenuItem*> items_;
    TRyMenu* styler_ = nullptr;
    UINT nextId_ = 1;
};

// Colours are 0x00BBGGRR values.
class TRyMenu : public TObject {
public:
    explicit TRyMenu(TForm* owner);
    ~TRyMenu() override;

    void SetSelectedColor(COLORREF c);  // also fixes the check-box colour
    void SetMenuColor(COLORREF c);
    void SetGutterColor(COLORREF c);
    void SetFontName(const std::wstring& name);
    void SetFontSize(int points);
    void SetMinWidth(int px) { minWidth_ = px; }
    void SetMinHeight(int px) { minHeight_ = px; }
    COLORREF SelectedColor() const { return selected_; }
    COLORREF CheckBoxColor() const { return checkBox_; }
    COLORREF MenuColor() const { return item_; }
    COLORREF GutterColor() const { return gutter_; }
    int MinWidth() const { return minWidth_; }
    int MinHeight() const { return minHeight_; }
    HFONT Font();

    // Applies the styler to a menu: every item is measured and drawn by it.
    void Add(TMainMenu* menu);

    // Sizes and paints one item; no GDI object is made here.
    void Measure(const TMenuItem& item, MEASUREITEMSTRUCT& mi);
    void Draw(const TMenuItem& item, const DRAWITEMSTRUCT& di);

    // The gutter width, in pixels, for drop-down items.
    int GutterWidth() const;

private:
    int Px(int v96) const;
    void MakeBrushes();
    TForm* owner_;
    COLORREF selected_ = 0xFFFFFF, checkBox_ = 0xFFFFFF, item_ = 0xF0F0F0, gutter_ = 0xC0C0C0;
    std::wstring fontName_ = L"Arial";
    int fontSize_ = 8;
    int minWidth_ = 50, minHeight_ = 20;
    UniqueFont font_;
    UniqueBrush selectedBrush_, checkBrush_, itemBrush_, gutterBrush_;
    UniquePen checkPen_;
};

// TColor helpers: system colours resolved now.
COLORREF ColorToRGB(int systemColorIndex);
