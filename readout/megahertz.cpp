#include "megahertz.h"

std::wstring FormatMegahertz(std::int32_t megahertz) {
    return std::to_wstring(megahertz) + L" Mhz";
}
