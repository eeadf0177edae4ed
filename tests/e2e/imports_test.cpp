// The shipped exes load nothing but the system's own DLLs: no compiler
// runtime beside them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "support.h"

using namespace testsupport;

namespace {

struct PeImports {
    std::string error;  // empty when the file was read
    WORD machine = 0;
    WORD magic = 0;
    std::vector<std::string> dlls;  // lower case, ordinary and delay-loaded
};

template <typename T>
bool At(const std::vector<char>& d, size_t off, T* out) {
    if (off > d.size() || d.size() - off < sizeof(T)) return false;
    std::memcpy(out, d.data() + off, sizeof(T));
    return true;
}

PeImports ReadImports(const std::wstring& path) {
    PeImports r;
    std::ifstream f(path.c_str(), std::ios::binary);
    std::vector<char> d((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    if (d.empty()) return r.error = "cannot read the file", r;
    IMAGE_DOS_HEADER dos;
    DWORD sig = 0;
    IMAGE_FILE_HEADER fh;
    if (!At(d, 0, &dos) || dos.e_magic != IMAGE_DOS_SIGNATURE || !At(d, dos.e_lfanew, &sig) ||
        sig != IMAGE_NT_SIGNATURE || !At(d, dos.e_lfanew + 4, &fh)) {
        return r.error = "not a PE file", r;
    }
    r.machine = fh.Machine;
    const size_t opt = dos.e_lfanew + 4 + sizeof(IMAGE_FILE_HEADER);
    if (!At(d, opt, &r.magic)) return r.error = "no optional header", r;
    // The data directories stand at different places in PE32 and PE32+.
    size_t dirs;
    if (r.magic == IMAGE_NT_OPTIONAL_HDR32_MAGIC) {
        dirs = opt + offsetof(IMAGE_OPTIONAL_HEADER32, DataDirectory);
    } else if (r.magic == IMAGE_NT_OPTIONAL_HDR64_MAGIC) {
        dirs = opt + offsetof(IMAGE_OPTIONAL_HEADER64, DataDirectory);
    } else {
        return r.error = "unknown optional header", r;
    }
    const size_t sections = opt + fh.SizeOfOptionalHeader;
    auto fileOffset = [&](DWORD rva, size_t* out) {
        for (WORD i = 0; i < fh.NumberOfSections; ++i) {
            IMAGE_SECTION_HEADER s;
            if (!At(d, sections + i * sizeof s, &s)) return false;
            const DWORD size = std::max(s.Misc.VirtualSize, s.SizeOfRawData);
            if (rva >= s.VirtualAddress && rva < s.VirtualAddress + size) {
                *out = rva - s.VirtualAddress + s.PointerToRawData;
                return true;
            }
        }
        return false;
    };
    auto nameAt = [&](DWORD rva, std::string* out) {
        size_t off;
        if (!fileOffset(rva, &off)) return false;
        out->clear();
        for (; off < d.size() && d[off]; ++off) out->push_back(static_cast<char>(std::tolower(d[off])));
        return off < d.size();
    };
    // Ordinary imports: descriptors of 20 bytes, the name at offset 12;
    // delay-load descriptors: 32 bytes, the name at offset 4.
    const struct {
        int index;
        size_t size, nameAt;
    } tables[] = {{IMAGE_DIRECTORY_ENTRY_IMPORT, 20, 12}, {IMAGE_DIRECTORY_ENTRY_DELAY_IMPORT, 32, 4}};
    for (const auto& t : tables) {
        IMAGE_DATA_DIRECTORY dir;
        if (!At(d, dirs + t.index * sizeof dir, &dir)) return r.error = "no data directory", r;
        if (dir.VirtualAddress == 0) continue;
        size_t off;
        if (!fileOffset(dir.VirtualAddress, &off)) return r.error = "import table outside the sections", r;
        for (;; off += t.size) {
            DWORD name = 0;
            if (!At(d, off + t.nameAt, &name)) return r.error = "import table cut short", r;
            if (name == 0) break;
            std::string dll;
            if (!nameAt(name, &dll)) return r.error = "bad DLL name", r;
            r.dlls.push_back(dll);
        }
    }
    return r;
}

// DLLs that every Windows has.
const std::set<std::string> kSystemDlls = {
    "kernel32.dll", "user32.dll",   "gdi32.dll",  "advapi32.dll", "comctl32.dll", "uxtheme.dll",
    "shell32.dll",  "msvcrt.dll",   "ntdll.dll",  "ole32.dll",    "oleaut32.dll", "shlwapi.dll",
    "comdlg32.dll", "version.dll",  "imm32.dll",  "winmm.dll",    "ws2_32.dll",   "psapi.dll",
    "dwmapi.dll",   "kernelbase.dll", "ucrtbase.dll"};

bool IsSystemDll(const std::string& dll) {
    return kSystemDlls.count(dll) || dll.rfind("api-ms-win-", 0) == 0;  // the system's own API sets
}

struct ExeCase {
    const char* name;
    const char* env;
    WORD machine, magic;
};

class Imports : public ::testing::TestWithParam<ExeCase> {};

TEST_P(Imports, OnlySystemDlls) {
    const ExeCase& c = GetParam();
    const std::wstring path = EnvPath(c.env);
    ASSERT_FALSE(path.empty()) << c.env << " is not set";
    const PeImports pe = ReadImports(path);
    ASSERT_EQ(pe.error, "") << Utf8(path);
    EXPECT_EQ(pe.machine, c.machine);
    EXPECT_EQ(pe.magic, c.magic);
    // A reader that found nothing would pass everything.
    EXPECT_NE(std::find(pe.dlls.begin(), pe.dlls.end(), "kernel32.dll"), pe.dlls.end());
    EXPECT_NE(std::find(pe.dlls.begin(), pe.dlls.end(), "user32.dll"), pe.dlls.end());
    for (const std::string& dll : pe.dlls) EXPECT_TRUE(IsSystemDll(dll)) << "not a system DLL: " << dll;
}

INSTANTIATE_TEST_SUITE_P(, Imports,
                         ::testing::Values(ExeCase{"i686", "KELTAZ_EXE_X86", IMAGE_FILE_MACHINE_I386,
                                                   IMAGE_NT_OPTIONAL_HDR32_MAGIC},
                                           ExeCase{"x86_64", "KELTAZ_EXE", IMAGE_FILE_MACHINE_AMD64,
                                                   IMAGE_NT_OPTIONAL_HDR64_MAGIC}),
                         [](const ::testing::TestParamInfo<ExeCase>& i) { return std::string(i.param.name); });

}  // namespace
