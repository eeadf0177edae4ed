#include "cmdform.h"

#include <windows.h>
#include <shellapi.h>

#include <vector>

#include "../app/mainform.h"
#include "completion.h"
#include "presets.h"

#ifndef ERROR_ELEVATION_REQUIRED
#define ERROR_ELEVATION_REQUIRED 740L
#endif

TCmdForm* CmdForm = nullptr;

namespace {

const TFormProps kCmdFormProps = {
    L"TCmdForm",
    L"Новая задача",
    bsDialog,
    false,
    fsNormal,
    poMainFormCenter,
    428, 230,
    261, 96,
    L"MS Sans Serif",
    -11,
};


}  // namespace

TCmdForm::TCmdForm() : TForm(kCmdFormProps) {
    CreateWindowHandle();
    Cmdtext.Items = RunPresets();
    Cmdtext.DropDownCount = 8;
    Cmdtext.ItemHeight = 13;
    const TLayoutRow layout[] = {
        // control, parent, name, left, top, width, height, caption, options, tab order
        {&okbtn, nullptr, L"okbtn", 96, 64, 75, 25, L"ОК", loNone, 0},
        {&cancelbtn, nullptr, L"cancelbtn", 176, 64, 75, 25, L"Отмена", loNone, 1},
        {&Label1, nullptr, L"Label1", 8, 8, 241, 17, L"Введите или выберите имя задачи:", loNone, -1},
        {&Cmdtext, nullptr, L"Cmdtext", 8, 32, 241, 21, nullptr, loNone, 2},
    };
    BuildLayout(layout, sizeof layout / sizeof layout[0]);
    okbtn.OnClick = [this](TObject* s) { okbtnClick(s); };
    cancelbtn.OnClick = [this](TObject* s) { cancelbtnClick(s); };
    Cmdtext.Completer = [this](const std::wstring& text, int s, int e, wchar_t ch) {
        const CompletionResult r = CompleteTyped(text, s, e, ch, Cmdtext.Items);
        TComboCompletion c;
        c.completed = r.completed;
        c.text = r.text;
        c.selStart = r.selStart;
        c.selEnd = r.selEnd;
        c.itemIndex = r.itemIndex;
        return c;
    };
}

void TCmdForm::cancelbtnClick(TObject*) { Close(); }

void TCmdForm::okbtnClick(TObject*) {
    // The text as it stands, not trimmed, possibly empty; one attempt, the
    // outcome not examined, and the dialog closes in every case.
    LaunchCommandLine(Cmdtext.Text());
    Close();
}

void Tmainform::newtaskmenuClick(TObject*) { CmdForm->ShowModal(); }

bool LaunchCommandLine(const std::wstring& commandLine, unsigned idleWaitMs) {
    // CreateProcessW may write into the command line: give it a copy.
    std::vector<wchar_t> buf(commandLine.begin(), commandLine.end());
    buf.push_back(L'\0');
    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESHOWWINDOW;
    si.wShowWindow = SW_SHOWNORMAL;
    PROCESS_INFORMATION pi{};
    if (::CreateProcessW(nullptr, buf.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
        // As the system's own launcher does: return once the program waits
        // for its first input, or after the bound.
        ::WaitForInputIdle(pi.hProcess, idleWaitMs);
        ::CloseHandle(pi.hThread);
        ::CloseHandle(pi.hProcess);
        return true;
    }
    if (::GetLastError() != ERROR_ELEVATION_REQUIRED) return false;
    // A program that asks for higher rights: through the shell, which shows
    // the system's consent prompt.
    // Split where process creation found the program: an unquoted path may
    // hold blanks.
    const CommandLineParts parts = SplitCommandLine(commandLine, [](const std::wstring& name) {
        wchar_t found[MAX_PATH];
        return ::SearchPathW(nullptr, name.c_str(), L".exe", MAX_PATH, found, nullptr) != 0;
    });
    SHELLEXECUTEINFOW sei{};
    sei.cbSize = sizeof sei;
    sei.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI | SEE_MASK_NOASYNC;
    sei.lpFile = parts.program.c_str();
    sei.lpParameters = parts.parameters.empty() ? nullptr : parts.parameters.c_str();
    sei.nShow = SW_SHOWNORMAL;
    // The shell is loaded for this rare case only: linked in, it costs every
    // start of the program its load time and half a megabyte of memory. It
    // stays loaded once it has been (a loaded module is only counted again).
    using ShellExecuteExFn = BOOL(WINAPI*)(SHELLEXECUTEINFOW*);
    wchar_t path[MAX_PATH];
    const UINT n = ::GetSystemDirectoryW(path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH - 12) return false;
    lstrcatW(path, L"\\shell32.dll");
    HMODULE shell = ::LoadLibraryW(path);
    if (!shell) return false;
    auto shellExecuteEx =
        reinterpret_cast<ShellExecuteExFn>(reinterpret_cast<void*>(::GetProcAddress(shell, "ShellExecuteExW")));
    if (!shellExecuteEx || !shellExecuteEx(&sei)) return false;
    if (sei.hProcess) {
        ::WaitForInputIdle(sei.hProcess, idleWaitMs);
        ::CloseHandle(sei.hProcess);
    }
    return true;
}
