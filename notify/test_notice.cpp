#include "test_notice.h"

#include <unistd.h>

#include <cstring>
#include <ctime>
#include <exception>
#include <thread>

#include "bounded_text.h"
#include "event_commands.h"
#include "notify_dispatch.h"
#include "pager_pass.h"
#include "pppclient.h"
#include "warning_mail.h"

namespace qor {

namespace {

std::string oneLine(const std::string& text) {
    std::string out;
    for (char c : text)
        if (c != '\r' && c != '\n') out += c;
    return out;
}

}  // namespace

const char* testChannelName(TestItem::Channel c) {
    switch (c) {
    case TestItem::Mail: return "Mail";
    case TestItem::Pager: return "Pager";
    case TestItem::Command: return "Command";
    }
    return "";
}

const char* testStateName(TestItem::State s) {
    switch (s) {
    case TestItem::Waiting: return "waiting";
    case TestItem::Sending: return "sending";
    case TestItem::Delivered: return "delivered";
    case TestItem::Refused: return "refused";
    case TestItem::NoConnection: return "no connection";
    case TestItem::Failed: return "failed";
    }
    return "";
}

std::string describeTestItem(const TestItem& item) {
    std::string line = std::string(testChannelName(item.channel)) + " " + item.target + ": " + testStateName(item.state);
    if (!item.detail.empty()) line += ": " + item.detail;
    return line;
}

std::vector<TestItem> testNoticePlan(const UpsSettings& s, const ExtraSettings& x) {
    std::vector<TestItem> plan;
    if (s.mailEnable != 0) {
        for (int i = 0; i < kListSlots; ++i) {
            std::string address = oneLine(textOf(s.mailAddrs[i]));
            if (address.find('@') == std::string::npos) continue;
            TestItem item;
            item.channel = TestItem::Mail;
            item.target = address;
            plan.push_back(item);
        }
    }
    if (s.pagerEnable != 0) {
        for (int i = 0; i < kListSlots; ++i) {
            std::string number = textOf(s.pagerNumbers[i]);
            if (!pagerNumberUsable(number.c_str())) continue;
            TestItem item;
            item.channel = TestItem::Pager;
            item.target = number;
            plan.push_back(item);
        }
    }
    for (const ExtraCommand& c : commandsFor(x, kCommandTestBit)) {
        TestItem item;
        item.channel = TestItem::Command;
        item.target = c.argv[0];
        plan.push_back(item);
    }
    return plan;
}

std::vector<TestItem> TestNoticeProgress::items() const {
    std::lock_guard<std::mutex> g(m_);
    return items_;
}

bool TestNoticeProgress::finished() const {
    std::lock_guard<std::mutex> g(m_);
    return finished_;
}

int TestNoticeProgress::generation() const {
    std::lock_guard<std::mutex> g(m_);
    return generation_;
}

void TestNoticeProgress::set(size_t i, const TestItem& item) {
    std::lock_guard<std::mutex> g(m_);
    if (i < items_.size()) items_[i] = item;
    ++generation_;
}

void TestNoticeProgress::finish() {
    std::lock_guard<std::mutex> g(m_);
    finished_ = true;
    ++generation_;
}

void runTestNotice(const UpsSettings& s, const ExtraSettings& x, TestChannels& channels,
                   TestNoticeProgress& progress) {
    std::vector<TestItem> items = progress.items();
    std::vector<ExtraCommand> commands = commandsFor(x, kCommandTestBit);
    bool mailOpen = false, mailOk = false;
    std::string mailWhy;
    size_t command = 0;
    for (size_t i = 0; i < items.size(); ++i) {
        TestItem item = items[i];
        item.state = TestItem::Sending;
        progress.set(i, item);
        switch (item.channel) {
        case TestItem::Mail:
            if (!mailOpen) {
                mailOpen = true;
                mailOk = channels.mailBegin(s, x, mailWhy);
            }
            if (mailOk) {
                channels.mail(s, x, item);
            } else {
                item.state = TestItem::NoConnection;
                item.detail = mailWhy;
            }
            break;
        case TestItem::Pager:
            if (mailOpen) {
                if (mailOk) channels.mailEnd();
                mailOpen = false;
                mailOk = false;
            }
            channels.page(s, item);
            break;
        case TestItem::Command:
            if (command < commands.size()) channels.command(s, commands[command++], x, item);
            break;
        }
        progress.set(i, item);
    }
    if (mailOpen && mailOk) channels.mailEnd();
    progress.finish();
}

std::shared_ptr<TestNoticeProgress> startTestNotice(const UpsSettings& s, const ExtraSettings& x,
                                                    std::shared_ptr<TestChannels> channels) {
    auto copy = std::make_shared<UpsSettings>(s);
    terminateTexts(*copy);
    auto extra = std::make_shared<const ExtraSettings>(x);
    std::vector<TestItem> plan = testNoticePlan(*copy, *extra);
    if (plan.empty()) return nullptr;
    auto progress = std::make_shared<TestNoticeProgress>(std::move(plan));
    try {
        std::thread([copy, extra, channels, progress] { runTestNotice(*copy, *extra, *channels, *progress); })
            .detach();
    } catch (const std::exception&) {
        return nullptr;
    }
    return progress;
}

// ---- the real channels ---------------------------------------------------

struct SystemTestChannels::Link {
    PppSettings ppp;
    ModemCommands commands;
    std::unique_ptr<DialUpLink> link;
};

SystemTestChannels::SystemTestChannels(Edition edition, NotifyEnv env) : env_(std::move(env)) {
    if (env_.log == nullptr) {
        ownLog_ = std::make_unique<SystemNotifyLog>(edition);
        env_.log = ownLog_.get();
    }
}

bool SystemTestChannels::mailBegin(const UpsSettings& s, const ExtraSettings&, std::string& why) {
    if (s.connectMode != 1) return true;
    // Dial-up: one link for all the test mails, as the mail pass does.
    link_ = std::make_shared<Link>();
    link_->ppp = PppSettings::fromSettings(s);
    link_->commands = ModemCommands::fromSettings(s);
    link_->link = std::make_unique<PppClient>(&link_->ppp, link_->commands, env_);
    if (link_->link->connect() && link_->link->waitForLink()) return true;
    link_->link->disconnect();
    link_.reset();
    why = "the dial-up link did not come up";
    return false;
}

void SystemTestChannels::mailEnd() {
    if (!link_) return;
    link_->link->disconnect();
    link_.reset();
}

void SystemTestChannels::mail(const UpsSettings& s, const ExtraSettings& x, TestItem& item) {
    std::string name;
    for (int i = 0; i < kListSlots; ++i)
        if (oneLine(textOf(s.mailAddrs[i])) == item.target) {
            name = oneLine(textOf(s.mailNames[i]));
            break;
        }
    // The mail pass's own sending (plain or secure as the settings say).
    WarningMail mail(s, x, env_);
    MailOutcome out = mail.sendOne(name, item.target, kTestNoticeText);
    switch (out.kind) {
    case MailOutcome::Delivered:
        item.state = TestItem::Delivered;
        break;
    case MailOutcome::Refused:
        item.state = TestItem::Refused;
        break;
    case MailOutcome::NoConnection:
        item.state = TestItem::NoConnection;
        break;
    }
    item.detail = out.words;
}

void SystemTestChannels::page(const UpsSettings& s, TestItem& item) {
    // The modem serves one caller at a time: a notification being sent has it.
    if (NotifyDispatch::workerBusy()) {
        item.state = TestItem::Failed;
        item.detail = "the modem is busy with a notification; try again later";
        return;
    }
    if (pageNumber(kTestPagerCode, item.target.c_str(), s, env_)) {
        item.state = TestItem::Delivered;
        item.detail = "paged with code 99";
    } else {
        item.state = TestItem::NoConnection;
        item.detail = "the modem did not answer";
    }
}

void SystemTestChannels::command(const UpsSettings& s, const ExtraCommand& c, const ExtraSettings& x, TestItem& item) {
    CommandEvent e;
    e.bit = kCommandTestBit;
    e.text = kTestNoticeText;
    e.upsState = s.upsState;
    e.time = static_cast<int64_t>(time(nullptr));
    CommandOutcome o = runEventCommand(c, e, x.commandTimeoutSec, env_.log);
    switch (o.kind) {
    case CommandOutcome::Exited:
        item.state = o.code == 0 ? TestItem::Delivered : TestItem::Failed;
        break;
    case CommandOutcome::Refused:
        item.state = TestItem::Refused;
        break;
    default:
        item.state = TestItem::Failed;
        break;
    }
    item.detail = describeOutcome(o);
}

}  // namespace qor
