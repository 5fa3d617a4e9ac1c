// Descriptor 0 is a port like any other: a monitor started with its standard
// input closed opens the UPS port as 0.
#include "serial_line.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include "engine_fakes.h"

namespace qor {
namespace {

TEST(SerialLine, PortOpenedAsDescriptorZeroIsOpenAndClosedOnce) {
    int savedStdin = ::dup(0);
    ASSERT_GE(savedStdin, 0);
    ::close(0);
    {
        SerialLine line(Edition::Desktop);
        EXPECT_FALSE(line.isOpen());
        ASSERT_EQ(line.open("/dev/null"), 0);
        EXPECT_TRUE(line.isOpen());
        EXPECT_EQ(line.descriptor(), 0);
        EXPECT_EQ(line.readStatus(), 0) << "no modem lines on /dev/null";
        line.close();
        EXPECT_FALSE(line.isOpen());
        EXPECT_EQ(::fcntl(0, F_GETFD), -1) << "descriptor 0 was closed, not leaked";
        ASSERT_EQ(line.open("/dev/null"), 0);
    }
    EXPECT_EQ(::fcntl(0, F_GETFD), -1) << "the destructor closes descriptor 0 too";
    ASSERT_EQ(::dup2(savedStdin, 0), 0);
    ::close(savedStdin);
}

TEST(SerialLine, DetectionProbesAPortOpenedAsDescriptorZero) {
    test::EngineRig rig(Edition::Console);
    rig.line.descriptor = 0;
    EXPECT_EQ(rig.engine.detectUps(), 1);
    EXPECT_STREQ(rig.s.upsPort, "/dev/ttyS0");
    EXPECT_EQ(rig.line.openCount, 1);
}

}  // namespace
}  // namespace qor
