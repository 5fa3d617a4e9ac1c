// Test runner for Wine: --bin=UNIXDIR (the programs), --artifacts=UNIXDIR.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "harness.h"

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a.rfind("--bin=", 0) == 0) wt::g_bin = wt::UnixToWindows(a.substr(6) + "/");
        if (a.rfind("--artifacts=", 0) == 0) wt::g_artifacts = wt::UnixToWindows(a.substr(12) + "/");
    }
    if (wt::g_bin.empty()) {
        std::fprintf(stderr, "usage: qorwin_wine_tests --bin=DIR [--artifacts=DIR] [gtest flags]\n");
        return 2;
    }
    return RUN_ALL_TESTS();
}
