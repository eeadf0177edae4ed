// The main window: memory and processor figures over a background picture,
// the menu bar with every command of the program, the stay-on-top option.
#pragma once
#include <memory>
#include <string>

#include "../platform/forms.h"
#include "../platform/menus.h"

class Tmainform : public TForm {
public:
    Tmainform();
    ~Tmainform() override;

    // Components, in layout order.
    TImage Image1;
    TGroupBox physmemory;
    TLabel Label1;
    TLabel Label2;
    TLabel Label3;
    TLabel physmemload;
    TLabel physmemava;
    TLabel physmemall;
    TGroupBox GroupBox1;
    TLabel Label4;
    TLabel Label5;
    TLabel Label6;
    TLabel virtmemload;
    TLabel virtmemava;
    TLabel virtmemall;
    TPanel Panel1;
    TLabel cpuspeedc;
    TLabel cpuspeed;
    TTimer Timer;
    TMainMenu MainMenu;
    TMenuItem filemenu;
    TMenuItem newtaskmenu;
    TMenuItem exitsubmenu;
    TMenuItem parametresmenu;
    TMenuItem stayoptionmenu;
    TMenuItem endworkmenu;
    TMenuItem userchangemenu;
    TMenuItem rebootmenu;
    TMenuItem shutdownmenu;

    // Handlers.
    void FormCreate() override;
    void TimerTimer(TObject* Sender);
    void exitsubmenuClick(TObject* Sender);
    void parametresmenuClick(TObject* Sender);
    void stayoptionmenuClick(TObject* Sender);
    void newtaskmenuClick(TObject* Sender);
    void userchangemenuClick(TObject* Sender);
    void rebootmenuClick(TObject* Sender);
    void shutdownmenuClick(TObject* Sender);

    // Routines.
    void RefreshInfo();
    std::wstring GetCpuSpeedText();
    void ShowMemoryInfo();
    bool SetPrivilege(const wchar_t* name);

private:
    void EndSession(unsigned flags);
    std::unique_ptr<TRyMenu> menuStyler;
};

class TCmdForm;
extern Tmainform* mainform;
extern TCmdForm* CmdForm;
