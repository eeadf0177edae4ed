// Program entry: the application object, the main window, the run dialog,
// then the message loop.
#include <windows.h>

#include "../control/cmdform.h"
#include "mainform.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    TApplication app;
    return RunApplication([&app] {
        app.Initialize();
        app.SetTitle(L"Диспетчер Келтаз");
        app.CreateForm(mainform);
        app.CreateForm(CmdForm);
        app.Run();
    });
}
