// The three session-end commands: stop the figures, then one request.
#include <windows.h>

#include "../app/mainform.h"
#include "session_commands.h"

void Tmainform::EndSession(unsigned flags) {
    // The timer stops first and for good: a refused or aborted session end
    // leaves the figures frozen.
    Timer.SetEnabled(false);
    ::ExitWindowsEx(flags, kPlannedOtherReason);  // outcome not examined
}

void Tmainform::userchangemenuClick(TObject*) { EndSession(kSessionCommands[0].flags); }
void Tmainform::rebootmenuClick(TObject*) { EndSession(kSessionCommands[1].flags); }
void Tmainform::shutdownmenuClick(TObject*) { EndSession(kSessionCommands[2].flags); }
