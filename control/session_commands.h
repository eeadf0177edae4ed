// The three session-end commands: menu item, caption and request flags. Pure.
#pragma once
#include <cstdint>

struct SessionCommand {
    const char* item;        // menu item name
    const wchar_t* caption;  // menu caption
    std::uint32_t flags;     // flags of the session-end request
};

// Request flags (the values of EWX_LOGOFF, EWX_SHUTDOWN, EWX_REBOOT). No
// command forces other programs to close or powers the machine off.
constexpr std::uint32_t kLogOff = 0;
constexpr std::uint32_t kShutDown = 1;
constexpr std::uint32_t kReboot = 2;

// The reason recorded with every request: other, other, planned.
// (SHTDN_REASON_FLAG_PLANNED | SHTDN_REASON_MAJOR_OTHER | SHTDN_REASON_MINOR_OTHER)
constexpr std::uint32_t kPlannedOtherReason = 0x80000000u | 0x00000000u | 0x00000000u;

constexpr SessionCommand kSessionCommands[] = {
    {"userchangemenu", L"Зміна користувача", kLogOff},
    {"rebootmenu", L"Перезагрузка", kReboot},
    {"shutdownmenu", L"Завершити роботу", kShutDown},
};
