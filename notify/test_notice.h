// "Send a test": one test notice through every channel that is on (each mail
// recipient, each pager number, each command whose events include "test"),
// each outcome reported as it comes. Runs on a thread of its own so the
// front-end's tick never waits; the front-end polls the progress.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "extra_settings.h"
#include "notify_env.h"
#include "ups_settings.h"

namespace qor {

// The pager code of a test page (events page 00 to 03).
constexpr int32_t kTestPagerCode = 99;
// The text of the test mail and of the commands' QOR_TEXT.
constexpr const char* kTestNoticeText = "This is a test of the UPS warnings; nothing has happened.";

struct TestItem {
    enum Channel { Mail, Pager, Command };
    enum State { Waiting, Sending, Delivered, Refused, NoConnection, Failed };
    Channel channel = Mail;
    std::string target;  // the address, the number, the program
    State state = Waiting;
    std::string detail;  // the server's words, the reason, the exit status
};

// "Mail", "Pager", "Command"; "waiting", "sending", "delivered", "refused",
// "no connection", "failed".
const char* testChannelName(TestItem::Channel c);
const char* testStateName(TestItem::State s);
// One line for a screen: "Mail ann@example.org: refused: 550 no such user".
std::string describeTestItem(const TestItem& item);

// Every channel that is on, in the order they are tried: the mail
// recipients (mail on, an address with '@'), the pager numbers (pagers on,
// a number with a digit), the commands with the test event.
std::vector<TestItem> testNoticePlan(const UpsSettings& s, const ExtraSettings& x);

// What one test goes through; the real one is SystemTestChannels. Each call
// sets the item's state (Delivered, Refused, NoConnection or Failed) and
// detail. Called on the test's thread.
class TestChannels {
public:
    virtual ~TestChannels() = default;
    // Before the first and after the last mail (a dial-up link); false: no
    // connection for any mail.
    virtual bool mailBegin(const UpsSettings& s, const ExtraSettings& x, std::string& why) = 0;
    virtual void mailEnd() = 0;
    virtual void mail(const UpsSettings& s, const ExtraSettings& x, TestItem& item) = 0;
    virtual void page(const UpsSettings& s, TestItem& item) = 0;
    virtual void command(const UpsSettings& s, const ExtraCommand& c, const ExtraSettings& x, TestItem& item) = 0;
};

// The progress of one test, shared by its thread and the front-end.
class TestNoticeProgress {
public:
    explicit TestNoticeProgress(std::vector<TestItem> items) : items_(std::move(items)) {}
    std::vector<TestItem> items() const;
    bool finished() const;
    // Counts changes, so a display repaints only when something moved.
    int generation() const;

    void set(size_t i, const TestItem& item);
    void finish();

private:
    mutable std::mutex m_;
    std::vector<TestItem> items_;
    bool finished_ = false;
    int generation_ = 0;
};

// Works the plan in order on the calling thread.
void runTestNotice(const UpsSettings& s, const ExtraSettings& x, TestChannels& channels,
                   TestNoticeProgress& progress);

// Starts a test on a thread of its own, with its own copies of the settings
// (taken here, on the main thread). Null when nothing is on or no thread
// could be started; the thread is never joined and owns what it uses.
std::shared_ptr<TestNoticeProgress> startTestNotice(const UpsSettings& s, const ExtraSettings& x,
                                                    std::shared_ptr<TestChannels> channels);

// The real channels: SMTP per recipient (through the dial-up link when the
// settings ask for one), the modem per number, the commands.
class SystemTestChannels : public TestChannels {
public:
    SystemTestChannels(Edition edition, NotifyEnv env = NotifyEnv());
    bool mailBegin(const UpsSettings& s, const ExtraSettings& x, std::string& why) override;
    void mailEnd() override;
    void mail(const UpsSettings& s, const ExtraSettings& x, TestItem& item) override;
    void page(const UpsSettings& s, TestItem& item) override;
    void command(const UpsSettings& s, const ExtraCommand& c, const ExtraSettings& x, TestItem& item) override;

    struct Link;

private:
    std::unique_ptr<NotifyLog> ownLog_;
    NotifyEnv env_;
    std::shared_ptr<Link> link_;
};

}  // namespace qor
