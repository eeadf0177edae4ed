#include "mainform.h"

#include <cstdint>
#include <vector>

Tmainform* mainform = nullptr;

namespace {

const TFormProps kMainFormProps = {
    L"Tmainform",
    L"Диспетчер памяті, комп'ютера.",
    bsToolWindow,
    true,  // biMinimize among the border icons (a tool window shows only the close box)
    fsStayOnTop,
    poDesktopCenter,
    328, 133,  // design-time place, never seen
    278, 228,
    L"MS Sans Serif",
    -11,
};

constexpr wchar_t kNotComputed[] = L"Дані не обраховані";

// The background picture: a smooth diagonal shading from light grey at the
// top left to blue-grey at the bottom right, 285 x 214 at 96 dpi, made at the
// form's scale so it stays crisp at any resolution.
HBITMAP MakeBackgroundPicture(int width, int height) {
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = width;
    bi.bmiHeader.biHeight = -height;  // top-down
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 24;
    bi.bmiHeader.biCompression = BI_RGB;
    bi.bmiHeader.biXPelsPerMeter = 2834;
    bi.bmiHeader.biYPelsPerMeter = 2834;
    void* bits = nullptr;
    HBITMAP bmp = ::CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!bmp || !bits) return bmp;
    const int stride = (width * 3 + 3) & ~3;
    const int from[3] = {222, 221, 225}, to[3] = {156, 160, 178};  // r, g, b
    const int span = (width - 1) + (height - 1);
    for (int y = 0; y < height; ++y) {
        auto* row = static_cast<std::uint8_t*>(bits) + static_cast<size_t>(y) * stride;
        for (int x = 0; x < width; ++x) {
            const int pos = x + y;
            std::uint8_t c[3];
            for (int i = 0; i < 3; ++i) {
                c[i] = static_cast<std::uint8_t>(from[i] + ((to[i] - from[i]) * pos + span / 2) / span);
            }
            row[x * 3 + 0] = c[2];
            row[x * 3 + 1] = c[1];
            row[x * 3 + 2] = c[0];
        }
    }
    return bmp;
}

}  // namespace

Tmainform::Tmainform() : TForm(kMainFormProps) {
    CreateWindowHandle();

    const TLayoutRow layout[] = {
        // control, parent, name, left, top, width, height, caption, options, tab order
        {&Image1, nullptr, L"Image1", 0, 0, 285, 207, nullptr, loNone, -1},
        {&physmemory, nullptr, L"physmemory", 5, 1, 268, 97, L"Фізична память (Мб)", loNone, 0},
        {&Label1, &physmemory, L"Label1", 8, 24, 39, 13, L"Всього:", loAutoSize, -1},
        {&Label2, &physmemory, L"Label2", 8, 48, 52, 13, L"Доступно:", loAutoSize, -1},
        {&Label3, &physmemory, L"Label3", 8, 72, 97, 13, L"Використовується:", loAutoSize, -1},
        {&physmemload, &physmemory, L"physmemload", 160, 72, 96, 13, kNotComputed, loAutoSize, -1},
        {&physmemava, &physmemory, L"physmemava", 160, 48, 96, 13, kNotComputed, loAutoSize, -1},
        {&physmemall, &physmemory, L"physmemall", 160, 24, 96, 13, kNotComputed, loAutoSize, -1},
        {&GroupBox1, nullptr, L"GroupBox1", 5, 105, 268, 97, L"Віртуальна память (Мб)", loNone, 1},
        {&Label4, &GroupBox1, L"Label4", 8, 24, 39, 13, L"Всього:", loAutoSize, -1},
        {&Label5, &GroupBox1, L"Label5", 8, 48, 52, 13, L"Доступно:", loAutoSize, -1},
        {&Label6, &GroupBox1, L"Label6", 8, 72, 97, 13, L"Використовується:", loAutoSize, -1},
        {&virtmemload, &GroupBox1, L"virtmemload", 160, 72, 96, 13, kNotComputed, loAutoSize, -1},
        {&virtmemava, &GroupBox1, L"virtmemava", 160, 48, 96, 13, kNotComputed, loAutoSize, -1},
        {&virtmemall, &GroupBox1, L"virtmemall", 160, 24, 96, 13, kNotComputed, loAutoSize, -1},
        {&Panel1, nullptr, L"Panel1", -2, 208, 285, 22, nullptr, loNone, 2},
        {&cpuspeedc, &Panel1, L"cpuspeedc", 192, 4, 81, 13, kNotComputed, loNone, -1},
        {&cpuspeed, &Panel1, L"cpuspeed", 8, 4, 182, 13, L"Частота Центрального Процесора: ", loNone, -1},
    };
    BuildLayout(layout, sizeof layout / sizeof layout[0]);
    Image1.SetPicture(MakeBackgroundPicture(Scale(285), Scale(214)));

    auto on = [this](void (Tmainform::*handler)(TObject*)) -> TNotifyEvent {
        return [this, handler](TObject* sender) { (this->*handler)(sender); };
    };
    const TMenuRow menu[] = {
        // item, name, caption, parent, handler
        {&filemenu, L"filemenu", L"Файл", nullptr, nullptr},
        {&newtaskmenu, L"newtaskmenu", L"Нова задача", &filemenu, on(&Tmainform::newtaskmenuClick)},
        {&exitsubmenu, L"exitsubmenu", L"Вихід", &filemenu, on(&Tmainform::exitsubmenuClick)},
        {&parametresmenu, L"parametresmenu", L"Параметри", nullptr, on(&Tmainform::parametresmenuClick)},
        {&stayoptionmenu, L"stayoptionmenu", L"Поверх інших вікон", &parametresmenu,
         on(&Tmainform::stayoptionmenuClick)},
        {&endworkmenu, L"endworkmenu", L"Завершення работи", nullptr, nullptr},
        {&userchangemenu, L"userchangemenu", L"Зміна користувача", &endworkmenu, on(&Tmainform::userchangemenuClick)},
        {&rebootmenu, L"rebootmenu", L"Перезагрузка", &endworkmenu, on(&Tmainform::rebootmenuClick)},
        {&shutdownmenu, L"shutdownmenu", L"Завершити роботу", &endworkmenu, on(&Tmainform::shutdownmenuClick)},
    };
    MainMenu.Build(menu, sizeof menu / sizeof menu[0]);
    SetMenu(&MainMenu);

    // The timer counts from here: its tick handler is attached.
    Timer.SetOnTimer(on(&Tmainform::TimerTimer));
}

Tmainform::~Tmainform() { ::SetMenu(hwnd_, nullptr); }

void Tmainform::FormCreate() {
    // The menu's look, fixed before the window is first shown.
    menuStyler = std::make_unique<TRyMenu>(this);
    menuStyler->SetSelectedColor(ColorToRGB(COLOR_WINDOW));
    menuStyler->SetMenuColor(ColorToRGB(COLOR_BTNFACE));
    menuStyler->SetGutterColor(0xC0C0C0);  // clSilver
    menuStyler->SetFontName(L"Arial");
    menuStyler->SetFontSize(8);
    menuStyler->SetMinWidth(50);
    menuStyler->Add(&MainMenu);
    SetMenu(&MainMenu);

    // Results not looked at: a privilege that cannot be had is not reported.
    SetPrivilege(L"SeDebugPrivilege");
    SetPrivilege(L"SeShutdownPrivilege");

    // The first figures, written while the window is still hidden.
    RefreshInfo();
}

void Tmainform::exitsubmenuClick(TObject*) { Application->Terminate(); }

void Tmainform::parametresmenuClick(TObject*) {
    mainform->stayoptionmenu.SetChecked(mainform->FormStyle() == fsStayOnTop);
}

void Tmainform::stayoptionmenuClick(TObject*) {
    // Decided by the check mark, which is current whenever the item can be
    // chosen: choosing it opens the drop-down first.
    if (mainform->stayoptionmenu.Checked()) {
        mainform->stayoptionmenu.SetChecked(false);
        mainform->SetFormStyle(fsNormal);
    } else {
        mainform->stayoptionmenu.SetChecked(true);
        mainform->SetFormStyle(fsStayOnTop);
    }
}
