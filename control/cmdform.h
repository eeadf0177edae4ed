// The run dialog: a command line typed or picked from eight presets, run by
// "ОК". One dialog for the whole run, hidden between uses.
#pragma once
#include <string>

#include "../platform/forms.h"

class TCmdForm : public TForm {
public:
    TCmdForm();

    TButton okbtn;
    TButton cancelbtn;
    TLabel Label1;
    TComboBox Cmdtext;

    void cancelbtnClick(TObject* Sender);
    void okbtnClick(TObject* Sender);
};

extern TCmdForm* CmdForm;

// Starts the command line once, without waiting for the program to end and
// without reporting anything; waits at most `idleWaitMs` for the started
// program to become ready for input. False when nothing was started.
bool LaunchCommandLine(const std::wstring& commandLine, unsigned idleWaitMs = 30000);
