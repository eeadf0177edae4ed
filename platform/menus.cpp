#include "menus.h"

#include <algorithm>

#include "geometry.h"

COLORREF ColorToRGB(int systemColorIndex) { return ::GetSysColor(systemColorIndex); }

// ===========================================================================
// TMenuItem

void TMenuItem::SetChecked(bool checked) {
    checked_ = checked;
    if (owner_) {
        ::CheckMenuItem(owner_, submenu_ ? static_cast<UINT>(reinterpret_cast<UINT_PTR>(submenu_)) : id_,
                        MF_BYCOMMAND | (checked ? MF_CHECKED : MF_UNCHECKED));
    }
}

void TMenuItem::Click() {
    if (OnClick) OnClick(this);
}

// ===========================================================================
// TMainMenu

TMainMenu::~TMainMenu() {
    if (bar_ && !::IsMenu(bar_)) bar_ = nullptr;
    // A menu attached to a window is destroyed with it; otherwise here.
    if (bar_) ::DestroyMenu(bar_);
}

void TMainMenu::Build(const TMenuRow* rows, size_t count) {
    bar_ = ::CreateMenu();
    if (!bar_) throw EOutOfResources(L"Cannot create menu");
    MENUINFO mi{};
    mi.cbSize = sizeof mi;
    mi.fMask = MIM_STYLE;
    mi.dwStyle = MNS_CHECKORBMP;
    ::SetMenuInfo(bar_, &mi);
    for (size_t i = 0; i < count; ++i) {
        const TMenuRow& r = rows[i];
        TMenuItem* it = r.item;
        it->name_ = r.name;
        it->caption_ = r.caption;
        it->parent_ = r.parent;
        it->OnClick = r.onClick;
        it->id_ = nextId_++;
        if (!r.parent) {
            it->submenu_ = ::CreatePopupMenu();
            it->owner_ = bar_;
            ::AppendMenuW(bar_, MF_STRING | MF_POPUP, reinterpret_cast<UINT_PTR>(it->submenu_), it->caption_.c_str());
        } else {
            it->owner_ = r.parent->submenu_;
            ::AppendMenuW(it->owner_, MF_STRING, it->id_, it->caption_.c_str());
        }
        items_.push_back(it);
    }
}

TMenuItem* TMainMenu::FindItem(const std::wstring& name) const {
    for (TMenuItem* it : items_) {
        if (it->Name() == name) return it;
    }
    return nullptr;
}

void TMainMenu::DispatchCommand(UINT id) {
    for (TMenuItem* it : items_) {
        if (!it->TopLevel() && it->id_ == id) {
            it->Click();
            return;
        }
    }
}

void TMainMenu::DispatchPopup(HMENU popup) {
    // The click handler of a menu-bar item runs each time its drop-down is
    // about to open, before its items are drawn.
    for (TMenuItem* it : items_) {
        if (it->TopLevel() && it->submenu_ == popup) {
            it->Click();
            return;
        }
    }
}

void TMainMenu::SetStyler(TRyMenu* styler) {
    styler_ = styler;
    for (TMenuItem* it : items_) {
        MENUITEMINFOW info{};
        info.cbSize = sizeof info;
        info.fMask = MIIM_FTYPE | MIIM_DATA;
        info.fType = MFT_OWNERDRAW;
        info.dwItemData = reinterpret_cast<ULONG_PTR>(it);
        if (it->TopLevel()) {
            // Menu-bar items by position: find this one's.
            const int n = ::GetMenuItemCount(bar_);
            for (int i = 0; i < n; ++i) {
                if (::GetSubMenu(bar_, i) == it->submenu_) {
                    ::SetMenuItemInfoW(bar_, static_cast<UINT>(i), TRUE, &info);
                    break;
                }
            }
        } else {
            ::SetMenuItemInfoW(it->owner_, it->id_, FALSE, &info);
        }
    }
}

void TMainMenu::MeasureItem(MEASUREITEMSTRUCT& mi) {
    auto* it = reinterpret_cast<TMenuItem*>(mi.itemData);
    if (styler_ && it) styler_->Measure(*it, mi);
}

void TMainMenu::DrawItem(const DRAWITEMSTRUCT& di) {
    auto* it = reinterpret_cast<TMenuItem*>(di.itemData);
    if (styler_ && it) styler_->Draw(*it, di);
}

// ===========================================================================
// TRyMenu

TRyMenu::TRyMenu(TForm* owner) : owner_(owner) {
    selected_ = ::GetSysColor(COLOR_WINDOW);
    checkBox_ = LightenColour(selected_, 75);
    item_ = ::GetSysColor(COLOR_BTNFACE);
    MakeBrushes();
}

TRyMenu::~TRyMenu() = default;

int TRyMenu::Px(int v96) const {
    const int dpi = owner_ ? owner_->Dpi() : 96;
    return ::MulDiv(v96, dpi, 96);
}

void TRyMenu::MakeBrushes() {
    selectedBrush_.reset(::CreateSolidBrush(selected_));
    checkBrush_.reset(::CreateSolidBrush(checkBox_));
    itemBrush_.reset(::CreateSolidBrush(item_));
    gutterBrush_.reset(::CreateSolidBrush(gutter_));
    if (!selectedBrush_ || !checkBrush_ || !itemBrush_ || !gutterBrush_) {
        throw EOutOfResources(L"Cannot create menu brushes");
    }
}

void TRyMenu::SetSelectedColor(COLORREF c) {
    // The check box is the selection colour lightened 75 % toward white,
    // worked out now: later changes of the system's colours do not reach it.
    selected_ = c;
    checkBox_ = LightenColour(c, 75);
    selectedBrush_.reset(::CreateSolidBrush(selected_));
    checkBrush_.reset(::CreateSolidBrush(checkBox_));
}

void TRyMenu::SetMenuColor(COLORREF c) {
    item_ = c;
    itemBrush_.reset(::CreateSolidBrush(item_));
}

void TRyMenu::SetGutterColor(COLORREF c) {
    gutter_ = c;
    gutterBrush_.reset(::CreateSolidBrush(gutter_));
}

void TRyMenu::SetFontName(const std::wstring& name) {
    fontName_ = name;
    font_.reset();
}

void TRyMenu::SetFontSize(int points) {
    fontSize_ = points;
    font_.reset();
}

HFONT TRyMenu::Font() {
    if (!font_) {
        // Character set and style from the system's menu font.
        NONCLIENTMETRICSW ncm{};
        ncm.cbSize = sizeof ncm;
        LOGFONTW lf{};
        if (::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof ncm, &ncm, 0)) lf = ncm.lfMenuFont;
        const int dpi = owner_ ? owner_->Dpi() : 96;
        lf.lfHeight = -::MulDiv(fontSize_, dpi, 72);
        lf.lfWidth = 0;
        lstrcpynW(lf.lfFaceName, fontName_.c_str(), LF_FACESIZE);
        font_.reset(::CreateFontIndirectW(&lf));
        if (!font_) throw EOutOfResources(L"Cannot create menu font");
    }
    return font_.get();
}

void TRyMenu::Add(TMainMenu* menu) {
    Font();
    if (!checkPen_) checkPen_.reset(::CreatePen(PS_SOLID, std::max(1, Px(2) / 1), ::GetSysColor(COLOR_MENUTEXT)));
    menu->SetStyler(this);
}

int TRyMenu::GutterWidth() const { return Px(minHeight_); }

void TRyMenu::Measure(const TMenuItem& item, MEASUREITEMSTRUCT& mi) {
    HDC dc = ::GetDC(nullptr);
    SIZE sz{0, 0};
    {
        SelectObjectScope sel(dc, Font());
        ::GetTextExtentPoint32W(dc, item.Caption().c_str(), static_cast<int>(item.Caption().size()), &sz);
    }
    ::ReleaseDC(nullptr, dc);
    if (item.TopLevel()) {
        // The system forces the bar's height; the width is the text with room.
        mi.itemWidth = static_cast<UINT>(sz.cx + Px(8));
        mi.itemHeight = static_cast<UINT>(sz.cy + Px(4));
        return;
    }
    const int w = GutterWidth() + Px(8) + sz.cx + Px(16);
    const int h = sz.cy + Px(6);
    mi.itemWidth = static_cast<UINT>(std::max(w, Px(minWidth_)));
    mi.itemHeight = static_cast<UINT>(std::max(h, Px(minHeight_)));
}

void TRyMenu::Draw(const TMenuItem& item, const DRAWITEMSTRUCT& di) {
    HDC dc = di.hDC;
    RECT r = di.rcItem;
    const bool selected = (di.itemState & (ODS_SELECTED | ODS_HOTLIGHT)) != 0;
    const bool checked = (di.itemState & ODS_CHECKED) != 0 || item.Checked();
    const bool grayed = (di.itemState & (ODS_GRAYED | ODS_DISABLED)) != 0;
    const int savedBk = ::SetBkMode(dc, TRANSPARENT);
    const COLORREF savedText = ::SetTextColor(dc, ::GetSysColor(grayed ? COLOR_GRAYTEXT : COLOR_MENUTEXT));
    SelectObjectScope font(dc, Font());

    if (item.TopLevel()) {
        // Menu-bar item: the bar's colour, or the selection box.
        BOOL flat = FALSE;
        ::SystemParametersInfoW(SPI_GETFLATMENU, 0, &flat, 0);
        ::FillRect(dc, &r, selected ? selectedBrush_.get() : ::GetSysColorBrush(flat ? COLOR_MENUBAR : COLOR_MENU));
        if (selected) ::FrameRect(dc, &r, ::GetSysColorBrush(COLOR_HIGHLIGHT));
        RECT t = r;
        ::DrawTextW(dc, item.Caption().c_str(), -1, &t, DT_SINGLELINE | DT_VCENTER | DT_CENTER | DT_NOPREFIX);
    } else {
        const int gw = GutterWidth();
        RECT gutter{r.left, r.top, r.left + gw, r.bottom};
        RECT rest{r.left + gw, r.top, r.right, r.bottom};
        ::FillRect(dc, &gutter, gutterBrush_.get());
        ::FillRect(dc, &rest, itemBrush_.get());
        if (selected) {
            ::FillRect(dc, &r, selectedBrush_.get());
            ::FrameRect(dc, &r, ::GetSysColorBrush(COLOR_HIGHLIGHT));
        }
        if (checked) {
            // The check mark on a small box inside the gutter.
            const int inset = Px(3);
            RECT box{gutter.left + inset, gutter.top + inset, gutter.right - inset, gutter.bottom - inset};
            const int side = std::min(box.right - box.left, box.bottom - box.top);
            box.left = gutter.left + (gw - side) / 2;
            box.right = box.left + side;
            box.top = r.top + ((r.bottom - r.top) - side) / 2;
            box.bottom = box.top + side;
            ::FillRect(dc, &box, checkBrush_.get());
            ::FrameRect(dc, &box, ::GetSysColorBrush(COLOR_HIGHLIGHT));
            SelectObjectScope pen(dc, checkPen_.get());
            const int s = side;
            POINT pts[3] = {{box.left + s * 3 / 14 + 1, box.top + s * 7 / 14},
                            {box.left + s * 6 / 14, box.top + s * 10 / 14},
                            {box.left + s * 11 / 14, box.top + s * 4 / 14}};
            ::Polyline(dc, pts, 3);
        }
        RECT t{rest.left + Px(8), r.top, r.right - Px(4), r.bottom};
        ::DrawTextW(dc, item.Caption().c_str(), -1, &t, DT_SINGLELINE | DT_VCENTER | DT_LEFT | DT_NOPREFIX);
    }
    ::SetTextColor(dc, savedText);
    ::SetBkMode(dc, savedBk);
}
