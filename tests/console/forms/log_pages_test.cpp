#include "log_pages.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

using namespace qor;
using namespace qor::console;

namespace {

class LogPagesTest : public ::testing::Test {
protected:
    void SetUp() override {
        const char* tz = std::getenv("TZ");
        if (tz != nullptr) savedTz_ = tz, hadTz_ = true;
        setenv("TZ", "UTC", 1);
        tzset();
    }
    void TearDown() override {
        if (hadTz_) {
            setenv("TZ", savedTz_.c_str(), 1);
        } else {
            unsetenv("TZ");
        }
        tzset();
    }

    std::string savedTz_;
    bool hadTz_ = false;
};

std::vector<event> newestFirst(int n) {
    std::vector<event> v;
    for (int i = 0; i < n; ++i) v.push_back(event{1700000000 - 60 * i, i % 4});
    return v;
}

}  // namespace

TEST_F(LogPagesTest, SevenRecordsGiveTwoPagesTheSecondEmpty) {
    LogPages p(newestFirst(7));
    EXPECT_EQ(p.pages(), 2);
    for (int r = 1; r <= 7; ++r) EXPECT_TRUE(p.row(r).used);
    p.next();
    EXPECT_EQ(p.page(), 2);
    for (int r = 1; r <= 7; ++r) EXPECT_FALSE(p.row(r).used);
    p.next();
    EXPECT_EQ(p.page(), 2) << "Next on the last page stays";
    p.prev();
    p.prev();
    EXPECT_EQ(p.page(), 1) << "Prev on page 1 stays";
}

TEST_F(LogPagesTest, RowTextsNumberDateTimeAndNames) {
    std::vector<event> v = {{1700000000, 3}, {1699999940, 0}, {1699999880, 1}, {1699999820, 2}, {0, 17}};
    LogPages p(v);
    LogRow r1 = p.row(1);
    EXPECT_EQ(r1.number, "1");
    EXPECT_EQ(r1.date, "2023-11-14");
    EXPECT_EQ(r1.time, "22:13:20");
    EXPECT_EQ(r1.name, "Connection Fail!");
    EXPECT_EQ(p.row(2).name, "AC Fail!");
    EXPECT_EQ(p.row(3).name, "Battery Low!");
    EXPECT_EQ(p.row(4).name, "AC Recoveried!");
    EXPECT_EQ(p.row(5).name, "") << "unknown kinds show no name";
    EXPECT_EQ(p.row(5).date, "1970-01-01");
    EXPECT_FALSE(p.row(6).used);
    EXPECT_FALSE(p.row(0).used);
    EXPECT_FALSE(p.row(8).used);
}

TEST_F(LogPagesTest, AThousandRecordsFillOneHundredFortyThreePages) {
    LogPages p(newestFirst(1200));
    EXPECT_EQ(p.count(), 1000);
    EXPECT_EQ(p.pages(), 143);
    for (int i = 0; i < 200; ++i) p.next();
    EXPECT_EQ(p.page(), 143);
    EXPECT_EQ(p.row(1).number, "995");
    EXPECT_EQ(p.row(6).number, "1000");
    EXPECT_FALSE(p.row(7).used);
}

TEST_F(LogPagesTest, ReadsTheFileNewestFirst) {
    char path[] = "/tmp/qor-logpages-XXXXXX";
    int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    std::FILE* f = fdopen(fd, "wb");
    ASSERT_NE(f, nullptr);
    for (int i = 0; i < 1005; ++i) {
        event e{1700000000 + 60 * i, (i + 3) % 4};
        std::fwrite(&e, sizeof e, 1, f);
    }
    std::fclose(f);
    LogPages p = LogPages::fromFile(path);
    unlink(path);
    EXPECT_EQ(p.count(), 1000);
    EXPECT_EQ(p.pages(), 143);
    EXPECT_EQ(p.row(1).name, "Connection Fail!");  // record 1004, the newest, kind 3
    EXPECT_EQ(p.row(1).time, "14:57:20");
    EXPECT_EQ(totalText(p.count()), "total: 1000, Press any key to display");

    LogPages none = LogPages::fromFile("/nonexistent/Qor.event");
    EXPECT_EQ(none.count(), 0);
    EXPECT_EQ(none.pages(), 1);
    EXPECT_FALSE(none.row(1).used);
    EXPECT_EQ(totalText(0), "total: 0, Press any key to display");
}
