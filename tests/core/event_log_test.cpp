#include "event_log.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

namespace qor {
namespace {

namespace fs = std::filesystem;

std::string tempPath(const char* tag) {
    return (fs::temp_directory_path() / ("qor-events-" + std::to_string(getpid()) + tag)).string();
}

void writeRecords(const std::string& path, int count, int prefixJunk = 0) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    for (int i = 0; i < prefixJunk; ++i) out.put('j');
    for (int i = 0; i < count; ++i) {
        event e{1000 + i, i % 5};  // kind 4 is unknown and must survive
        out.write(reinterpret_cast<const char*>(&e), sizeof e);
    }
}

TEST(EventLog, LoadsTheNewest1000NewestFirstAndSavesOldestFirst) {
    std::string path = tempPath("load");
    writeRecords(path, 1005, 3);  // a leading remainder is dropped
    EventList list;
    ASSERT_TRUE(list.loadEvents(path.c_str()));
    ASSERT_EQ(list.size(), 1000u);
    EXPECT_EQ(list.at(0).time, 1000 + 1004);
    EXPECT_EQ(list.at(999).time, 1000 + 5);
    EXPECT_EQ(list.at(0).kind, 1004 % 5);

    list.recordEvent(EvBatteryLow, 5000);
    EXPECT_EQ(list.size(), 1000u);
    EXPECT_EQ(list.at(0).time, 5000);
    EXPECT_EQ(list.at(999).time, 1000 + 6) << "the oldest made room";
    ASSERT_TRUE(list.saveEvents(path.c_str()));
    EXPECT_EQ(fs::file_size(path), 8000u);

    std::vector<event> back;
    ASSERT_TRUE(readEventsNewestFirst(path.c_str(), 2000, back));
    ASSERT_EQ(back.size(), 1000u);
    EXPECT_EQ(back.front().time, 5000);
    EXPECT_EQ(back.back().time, 1006);
    EXPECT_EQ(back[1].kind, 4) << "unknown kinds are kept";
    EXPECT_STREQ(eventDisplayName(4), "");
    EXPECT_STREQ(eventDisplayName(-1), "");
    EXPECT_STREQ(eventDisplayName(EvAcRecoveried), "AC Recoveried");
    fs::remove(path);
}

TEST(EventLog, MissingFileAndUnwritableFileAreHarmless) {
    EventList list;
    EXPECT_FALSE(list.loadEvents("/nonexistent-dir/Qor.event"));
    EXPECT_TRUE(list.empty());
    list.recordEvent(EvAcFail, 1);
    EXPECT_FALSE(list.saveEvents("/nonexistent-dir/Qor.event"));
    EXPECT_EQ(list.size(), 1u) << "a failed save keeps the run's events in memory";
    EXPECT_FALSE(appendEvent(EvAcFail, 1, "/nonexistent-dir/Qor.event"));

    std::string path = tempPath("tiny");
    writeRecords(path, 0, 5);  // shorter than one record
    std::vector<event> out;
    EXPECT_TRUE(readEventsNewestFirst(path.c_str(), 10, out));
    EXPECT_TRUE(out.empty());
    fs::remove(path);
}

TEST(EventLog, ConsoleAppendsEachRecordAtOnceAndNeverTrims) {
    std::string path = tempPath("append");
    writeRecords(path, 1000);
    ASSERT_TRUE(appendEvent(EvConnectFail, 77, path.c_str()));
    ASSERT_TRUE(appendEvent(EvAcFail, 78, path.c_str()));
    EXPECT_EQ(fs::file_size(path), 1002u * 8);
    std::vector<event> out;
    ASSERT_TRUE(readEventsNewestFirst(path.c_str(), 2, out));
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[0].time, 78);
    EXPECT_EQ(out[1].kind, EvConnectFail);
    fs::remove(path);
}

// A full disk (/dev/full takes the open and refuses the write) and a file-size
// limit hit half-way through the record (a short write): the append reports
// the failure and the records already stored stay as they were.
TEST(EventLog, FailedAppendIsReportedAndKeepsWhatWasStored) {
    EXPECT_FALSE(appendEvent(EvAcFail, 1, "/dev/full"));

    std::string path = tempPath("short");
    writeRecords(path, 2);
    struct rlimit old {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    struct rlimit tight = old;
    tight.rlim_cur = 2 * 8 + 4;  // room for half a record
    auto oldXfsz = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &tight), 0);
    bool appended = appendEvent(EvBatteryLow, 99, path.c_str());
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldXfsz);
    EXPECT_FALSE(appended);
    EXPECT_EQ(fs::file_size(path), 2u * 8) << "no torn record is left behind";
    std::vector<event> out;
    ASSERT_TRUE(readEventsNewestFirst(path.c_str(), 10, out));
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[0].time, 1001);
    EXPECT_EQ(out[1].time, 1000);
    fs::remove(path);
}

}  // namespace
}  // namespace qor
