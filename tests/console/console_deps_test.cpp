#include <gtest/gtest.h>

#include "main_win.h"

namespace qor::console {
namespace {

// The real ports, halt command and files are main()'s explicit choice: a
// console made on a default set reaches none of them.
TEST(ConsoleDeps, DefaultsNameNothingOnlySystemNamesTheMachine) {
    ConsoleDeps none;
    EXPECT_TRUE(none.settingsPath.empty());
    EXPECT_TRUE(none.eventPath.empty());
    EXPECT_TRUE(none.mouseLinkPath.empty());
    EXPECT_TRUE(none.netConfigPath.empty());
    EXPECT_TRUE(none.extraPath.empty());
    ConsoleDeps machine = ConsoleDeps::system();
    EXPECT_EQ(machine.settingsPath, "/etc/Qor.conf");
    EXPECT_EQ(machine.eventPath, "/etc/Qor.event");
    EXPECT_EQ(machine.mouseLinkPath, "/dev/mouse");
    EXPECT_EQ(machine.netConfigPath, "/etc/Qor.net");
    EXPECT_EQ(machine.extraPath, "/etc/Qor.extra");
}

}  // namespace
}  // namespace qor::console
