// halvstop against a running halvora, and with none running.
#include <gtest/gtest.h>

#include "halvora_fixture.h"
#include "harness.h"

using namespace wt;

TEST(HalvStop, EndsARunningHalvoraAndExitsOneAlsoWithNoneRunning) {
    WriteQorString("Port", "NONE");
    Halvora h;
    ASSERT_TRUE(h.Start());
    Process stop;
    ASSERT_TRUE(stop.Start("halvstop.exe"));
    EXPECT_TRUE(stop.WaitExit(10000));
    EXPECT_EQ(stop.ExitCode(), 1u);
    // WM_CLOSE to "HalvoraQor" ends the process in order (tray icon removed, exit 0).
    EXPECT_TRUE(h.proc.WaitExit(15000));
    EXPECT_EQ(h.proc.ExitCode(), 0u);
    EXPECT_EQ(TopWindow(nullptr, kTrayTitle), nullptr);

    Process alone;
    ASSERT_TRUE(alone.Start("halvstop.exe"));
    EXPECT_TRUE(alone.WaitExit(10000));
    EXPECT_EQ(alone.ExitCode(), 1u);
}
