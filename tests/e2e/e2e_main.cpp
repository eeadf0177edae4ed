// The end-to-end driver. With --print-captions it only prints the seven value
// captions of a running program (the run command uses that) and exits.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

#include "driver.h"

namespace {
void WriteUtf8Line(const std::string& s) {
    DWORD n = 0;
    std::string line = s + "\n";
    ::WriteFile(::GetStdHandle(STD_OUTPUT_HANDLE), line.data(), static_cast<DWORD>(line.size()), &n, nullptr);
}

int PrintCaptions() {
    HWND main = nullptr;
    testsupport::WaitFor([&] { return (main = ::FindWindowW(L"Tmainform", nullptr)) != nullptr; }, 15000);
    if (!main) {
        WriteUtf8Line("no Keltaz window found");
        return 1;
    }
    WriteUtf8Line("caption: " + testsupport::Utf8(testsupport::WindowText(main)));
    std::map<std::wstring, std::wstring> values = e2e::ReadValues(main);
    for (const wchar_t* name : e2e::kValueLabels) {
        WriteUtf8Line(testsupport::Utf8(name) + ": \"" + testsupport::Utf8(values[name]) + "\"");
    }
    return 0;
}
}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "--print-captions") == 0) return PrintCaptions();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
