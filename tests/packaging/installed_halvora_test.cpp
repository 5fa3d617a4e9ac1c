// An installed halvora under Wine, run by installer_wine_test.sh right after a
// log-on (wineboot, which starts what the Run keys name), with --bin set to the
// install folder: the log-on has started it, and the silent uninstaller stops
// it with halvstop and removes its files.
#include <gtest/gtest.h>

#include "halvora_fixture.h"
#include "harness.h"

namespace {

bool Exists(const std::string& name) { return GetFileAttributesA((wt::g_bin + name).c_str()) != INVALID_FILE_ATTRIBUTES; }

TEST(InstalledHalvora, StartedAtLogOnAndStoppedByTheUninstaller) {
    if (!Exists("uninstall.exe")) GTEST_SKIP() << wt::g_bin << " is not an installed copy";
    ASSERT_TRUE(Exists("halvora.exe") && Exists("halvstop.exe")) << wt::g_bin;
    ASSERT_TRUE(wt::WaitFor([] { return wt::TopWindow(nullptr, wt::kTrayTitle) != nullptr; }, 30000))
        << "halvora did not start at log-on";

    wt::Process uninstaller;
    ASSERT_TRUE(uninstaller.Start("uninstall.exe", "/S"));
    ASSERT_TRUE(uninstaller.WaitExit(30000));
    EXPECT_EQ(uninstaller.ExitCode(), 0u);
    // It hands over to a copy of itself, which stops halvora and deletes the files.
    EXPECT_TRUE(wt::WaitFor([] { return !Exists("halvora.exe") && !Exists("uninstall.exe"); }, 30000));
    EXPECT_EQ(wt::TopWindow(nullptr, wt::kTrayTitle), nullptr);
}

}  // namespace
