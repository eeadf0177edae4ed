// The run dialog's preset command lines, in list order. Fixed for the run:
// nothing adds, removes or reorders them, and a line that has been run is
// not added. Pure.
#pragma once
#include <string>
#include <vector>

inline const std::vector<std::wstring>& RunPresets() {
    static const std::vector<std::wstring> presets = {
        L"cmd",
        L"regedit",
        L"control",
        L"control desk.cpl",
        L"control inetcpl.cpl",
        L"control modem.cpl",
        L"control sysdm.cpl",
        L"control appwiz.cpl",
    };
    return presets;
}
