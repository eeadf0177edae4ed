#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
    // A started program for the launch tests: leaves a file and ends.
    if (argc == 3 && std::strcmp(argv[1], "--touch") == 0) {
        if (FILE* f = std::fopen(argv[2], "w")) {
            std::fputs("x\n", f);
            std::fclose(f);
            return 0;
        }
        return 1;
    }
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
