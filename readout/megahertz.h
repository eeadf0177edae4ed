// The processor clock text. Pure.
#pragma once
#include <cstdint>
#include <string>

// The clock as a plain signed decimal followed by " Mhz": "2394 Mhz", "-1 Mhz".
std::wstring FormatMegahertz(std::int32_t megahertz);
