// The queue and the worker: bounds, locking, one worker at a time, what each
// edition works per start. Built and run under ThreadSanitizer too.
#include "notify_dispatch.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

#include "notify_queue.h"
#include "notify_test_support.h"

namespace qor::test {
namespace {

TEST(NotifyQueue, KeepsOrderAndDropsTheTwoNewestWhenFull) {
    NotifyQueue q;
    int32_t code = -1;
    EXPECT_FALSE(q.take(code));
    for (int i = 0; i < NotifyQueue::kCapacity; ++i) q.push(i);
    EXPECT_EQ(q.size(), 1020);
    q.push(5000);
    EXPECT_EQ(q.size(), 1019);
    std::vector<int32_t> got;
    while (q.take(code)) got.push_back(code);
    ASSERT_EQ(got.size(), 1019u);
    for (int i = 0; i < 1018; ++i) ASSERT_EQ(got[static_cast<size_t>(i)], i);
    EXPECT_EQ(got.back(), 5000);  // 1018 and 1019 were dropped
    EXPECT_TRUE(q.empty());
}

TEST(NotifyQueue, ConcurrentPushAndTakeLoseNothing) {
    NotifyQueue q;
    constexpr int kPerThread = 300;  // stays below the bound: nothing is dropped
    std::atomic<int> taken{0};
    std::atomic<bool> done{false};
    std::thread consumer([&] {
        int32_t c;
        while (!done || !q.empty())
            if (q.take(c)) ++taken;
    });
    std::vector<std::thread> producers;
    for (int t = 0; t < 3; ++t)
        producers.emplace_back([&] {
            for (int i = 0; i < kPerThread; ++i) q.push(i % 4);
        });
    for (auto& p : producers) p.join();
    done = true;
    consumer.join();
    EXPECT_EQ(taken.load(), 3 * kPerThread);
}

// Records the passes; a pass can be held until the test lets it go.
class RecordingPasses : public NotifyPasses {
public:
    struct Call {
        char kind;  // 'p' pager, 'm' mail
        int32_t code;
        std::string text;  // the warning text of the copy the pass got
        int commandTimeout;  // from the further settings' copy
    };
    void pagerPass(int32_t code, const UpsSettings& s, const ExtraSettings& x) override { record('p', code, s, x); }
    void mailPass(int32_t code, const UpsSettings& s, const ExtraSettings& x) override { record('m', code, s, x); }

    std::vector<Call> calls() const {
        std::lock_guard<std::mutex> g(m_);
        return calls_;
    }
    std::string sequence() const {
        std::string out;
        for (auto& c : calls()) out += std::string(1, c.kind) + std::to_string(c.code) + " ";
        return out;
    }
    void hold() {
        std::lock_guard<std::mutex> g(m_);
        held_ = true;
    }
    void release() {
        std::lock_guard<std::mutex> g(m_);
        held_ = false;
        cv_.notify_all();
    }
    bool waitEntered(int n, int ms) {
        std::unique_lock<std::mutex> g(m_);
        return cv_.wait_for(g, std::chrono::milliseconds(ms), [&] { return entered_ >= n; });
    }
    std::function<void()> duringPass;

private:
    void record(char kind, int32_t code, const UpsSettings& s, const ExtraSettings& x) {
        std::unique_lock<std::mutex> g(m_);
        calls_.push_back({kind, code, s.msgAcFail, x.commandTimeoutSec});
        ++entered_;
        cv_.notify_all();
        cv_.wait(g, [&] { return !held_; });
        auto f = duringPass;
        g.unlock();
        if (f) f();
    }
    mutable std::mutex m_;
    std::condition_variable cv_;
    std::vector<Call> calls_;
    bool held_ = false;
    int entered_ = 0;
};

struct Rig {
    explicit Rig(Edition e) : passes(std::make_shared<RecordingPasses>()) {
        std::memset(&s, 0, sizeof s);
        storeDefaults(s, e);
        s.pagerEnable = 1;
        s.mailEnable = 1;
        dispatch = std::make_unique<NotifyDispatch>(s, e, passes, &clock);
    }
    ~Rig() {
        passes->release();
        if (dispatch) dispatch->waitIdle(5000);
    }
    UpsSettings s{};
    FakeClock clock;
    std::shared_ptr<RecordingPasses> passes;
    std::unique_ptr<NotifyDispatch> dispatch;
};

TEST(NotifyWorker, PagerThenPauseThenMailAndTheFlagsDecide) {
    Rig r(Edition::Console);
    r.s.notifyFlags[2 * EvBatteryLow] = 0;      // no mail for battery low
    r.s.notifyFlags[2 * EvAcRecoveried + 1] = 0;  // no pagers for recovery
    r.dispatch->queueEvent(EvAcFail);
    r.dispatch->queueEvent(EvBatteryLow);
    r.dispatch->queueEvent(EvAcRecoveried);
    r.dispatch->queueEvent(7);  // not a kind: never queued
    EXPECT_EQ(r.dispatch->queued(), 3);
    r.dispatch->startWorkerIfIdle();
    ASSERT_TRUE(r.dispatch->waitIdle(5000));
    EXPECT_EQ(r.passes->sequence(), "p0 m0 p1 m2 ");
    // One 5 s pause after each pager pass, none where no pager pass ran.
    EXPECT_EQ(r.clock.sleepsMs(), (std::vector<long>{5000, 5000}));
    EXPECT_FALSE(NotifyDispatch::workerBusy());
    EXPECT_EQ(r.dispatch->queued(), 0);
}

TEST(NotifyWorker, PagerDisabledMeansNoPagerPassAndNoPause) {
    Rig r(Edition::Console);
    r.s.pagerEnable = 0;
    r.dispatch->queueEvent(EvAcFail);
    r.dispatch->startWorkerIfIdle();
    ASSERT_TRUE(r.dispatch->waitIdle(5000));
    EXPECT_EQ(r.passes->sequence(), "m0 ");
    EXPECT_TRUE(r.clock.sleepsMs().empty());

    r.s.mailEnable = 0;
    r.s.pagerEnable = 0;
    r.dispatch->queueEvent(EvAcFail);
    r.dispatch->startWorkerIfIdle();
    ASSERT_TRUE(r.dispatch->waitIdle(5000));
    EXPECT_EQ(r.passes->sequence(), "m0 ");  // queued, taken, nothing to do
    EXPECT_EQ(r.dispatch->queued(), 0);
}

TEST(NotifyWorker, NoWorkerWithoutCodes) {
    Rig r(Edition::Desktop);
    r.dispatch->startWorkerIfIdle();
    EXPECT_FALSE(NotifyDispatch::workerBusy());
    EXPECT_TRUE(r.dispatch->waitIdle(100));
    EXPECT_TRUE(r.passes->calls().empty());
}

TEST(NotifyWorker, DesktopWorksOneCodePerStartConsoleTheWholeQueue) {
    {
        Rig r(Edition::Desktop);
        r.s.pagerEnable = 0;
        r.dispatch->queueEvent(EvAcFail);
        r.dispatch->queueEvent(EvBatteryLow);
        r.dispatch->startWorkerIfIdle();
        ASSERT_TRUE(r.dispatch->waitIdle(5000));
        EXPECT_EQ(r.passes->sequence(), "m0 ");
        EXPECT_EQ(r.dispatch->queued(), 1);
        r.dispatch->startWorkerIfIdle();  // the next tick with a change
        ASSERT_TRUE(r.dispatch->waitIdle(5000));
        EXPECT_EQ(r.passes->sequence(), "m0 m1 ");
    }
    {
        Rig r(Edition::Console);
        r.s.pagerEnable = 0;
        r.dispatch->queueEvent(EvAcFail);
        r.dispatch->queueEvent(EvBatteryLow);
        r.dispatch->startWorkerIfIdle();
        ASSERT_TRUE(r.dispatch->waitIdle(5000));
        EXPECT_EQ(r.passes->sequence(), "m0 m1 ");
    }
}

TEST(NotifyWorker, OneWorkerAtATimeAndCodesQueuedMeanwhileAreWorked) {
    Rig r(Edition::Console);
    r.s.pagerEnable = 0;
    r.passes->hold();
    r.dispatch->queueEvent(EvAcFail);
    r.dispatch->startWorkerIfIdle();
    ASSERT_TRUE(r.passes->waitEntered(1, 5000));
    EXPECT_TRUE(NotifyDispatch::workerBusy());
    // Ticks with changes while the worker is busy: no second worker.
    for (int i = 0; i < 5; ++i) {
        r.dispatch->queueEvent(EvAcRecoveried);
        r.dispatch->startWorkerIfIdle();
    }
    EXPECT_EQ(r.passes->calls().size(), 1u);
    r.passes->release();
    ASSERT_TRUE(r.dispatch->waitIdle(5000));
    EXPECT_EQ(r.passes->sequence(), "m0 m2 m2 m2 m2 m2 ");
}

TEST(NotifyWorker, ProducerAndWorkerRaceWithoutStrandingACode) {
    // Console: however the last take and a new push interleave, every code
    // queued while a worker may be finishing is worked by a worker.
    Rig r(Edition::Console);
    r.s.pagerEnable = 0;
    for (int i = 0; i < 200; ++i) {
        r.dispatch->queueEvent(i % 3);
        r.dispatch->startWorkerIfIdle();
    }
    ASSERT_TRUE(r.dispatch->waitIdle(5000));
    EXPECT_EQ(r.passes->calls().size(), 200u);
    EXPECT_EQ(r.dispatch->queued(), 0);
}

TEST(NotifyWorker, BothPassesOfAStartUseTheCopyTakenAsTheWorkerStarted) {
    Rig r(Edition::Console);
    setText(r.s.msgAcFail, "first");
    ExtraSettings x;
    x.commandTimeoutSec = 1;
    r.dispatch->setExtraSettings(x);
    // The front-end edits the record while the pager pass runs (the test
    // holds the pass so the edit lands in the middle of it): the passes of
    // this start keep the copy the start took, the next start sees the edit.
    r.passes->hold();
    r.dispatch->queueEvent(EvAcFail);
    r.dispatch->startWorkerIfIdle();
    ASSERT_TRUE(r.passes->waitEntered(1, 5000));
    setText(r.s.msgAcFail, "second");
    x.commandTimeoutSec = 2;
    r.dispatch->setExtraSettings(x);
    r.passes->release();
    ASSERT_TRUE(r.dispatch->waitIdle(5000));
    r.dispatch->queueEvent(EvAcFail);
    r.dispatch->startWorkerIfIdle();
    ASSERT_TRUE(r.dispatch->waitIdle(5000));
    auto calls = r.passes->calls();
    ASSERT_EQ(calls.size(), 4u);
    EXPECT_EQ(calls[0].text, "first");
    EXPECT_EQ(calls[1].text, "first");
    EXPECT_EQ(calls[2].text, "second");
    EXPECT_EQ(calls[3].text, "second");
    for (size_t i = 0; i < 4; ++i) EXPECT_EQ(calls[i].commandTimeout, i < 2 ? 1 : 2) << i;
}

// Every text field of the record, the engine's upsPort among them.
std::vector<char*> textFields(UpsSettings& s) {
    std::vector<char*> f = {s.upsPort,      s.msgAcFail,       s.msgLowBat,      s.msgAcRecoveried, s.msgConnectFail,
                            s.sufAcFail,    s.sufLowBat,       s.sufAcRecoveried, s.sufConnectFail, s.smtpServer,
                            s.dialUser,     s.dialPassword,    s.dialPhone,      s.modemInit,       s.modemDial,
                            s.modemHangup,  s.modemEscape,     s.ipAddress,      s.subnetMask,      s.ipAddress3};
    for (int i = 0; i < kListSlots; ++i) {
        f.push_back(s.mailNames[i]);
        f.push_back(s.mailAddrs[i]);
        f.push_back(s.pagerNumbers[i]);
    }
    return f;
}

// Reads the whole copy it is given, slowly, and counts copies that do not
// hold one generation of edits throughout.
class ReadingPasses : public NotifyPasses {
public:
    void pagerPass(int32_t, const UpsSettings& s, const ExtraSettings&) override { read(s); }
    void mailPass(int32_t, const UpsSettings& s, const ExtraSettings&) override { read(s); }
    std::atomic<int> passes{0}, torn{0};

private:
    void read(const UpsSettings& s) {
        UpsSettings& r = const_cast<UpsSettings&>(s);  // only read
        for (int round = 0; round < 20; ++round) {
            std::vector<char*> f = textFields(r);
            char gen = f[0][0];
            for (char* t : f)
                if (t[0] != gen || std::strlen(t) != kTextLen - 1 || t[kTextLen - 2] != gen || s.upsState != gen % 4)
                    ++torn;
        }
        ++passes;
    }
};

TEST(NotifyWorker, TheMainThreadEditsEveryTextFieldWhilePassesRun) {
    // The ticks, dialogs and forms keep writing the record on the main
    // thread while workers run passes; each pass must see one whole state of
    // the record (and, under ThreadSanitizer, no access may race).
    auto passes = std::make_shared<ReadingPasses>();
    UpsSettings s{};
    storeDefaults(s, Edition::Console);
    s.pagerEnable = 1;
    s.mailEnable = 1;
    FakeClock clock;
    NotifyDispatch d(s, Edition::Console, passes, &clock);
    auto stamp = [&](int n) {
        char gen = static_cast<char>('a' + n % 26);
        for (char* t : textFields(s)) {
            std::memset(t, gen, kTextLen - 1);
            t[kTextLen - 1] = '\0';
        }
        s.upsState = gen % 4;
    };
    stamp(0);
    auto t0 = std::chrono::steady_clock::now();
    int n = 0;
    while (passes->passes < 200 && std::chrono::steady_clock::now() - t0 < std::chrono::seconds(20)) {
        d.queueEvent(n % kEventKinds);
        d.startWorkerIfIdle();  // the tick: main thread
        stamp(++n);             // the dialogs and the engine: main thread
    }
    ASSERT_TRUE(d.waitIdle(10000));
    EXPECT_GE(passes->passes.load(), 200);
    EXPECT_EQ(passes->torn.load(), 0);
}

TEST(NotifyWorker, UnterminatedTextsReachThePassTerminated) {
    Rig r(Edition::Console);
    r.s.pagerEnable = 0;
    std::memset(r.s.msgAcFail, 'x', sizeof r.s.msgAcFail);  // no NUL in the field
    r.dispatch->queueEvent(EvAcFail);
    r.dispatch->startWorkerIfIdle();
    ASSERT_TRUE(r.dispatch->waitIdle(5000));
    ASSERT_EQ(r.passes->calls().size(), 1u);
    EXPECT_EQ(r.passes->calls()[0].text, std::string(255, 'x'));
}

TEST(NotifyWorker, DestroyingTheDispatchWhileAWorkerRunsIsSafe) {
    auto passes = std::make_shared<RecordingPasses>();
    auto settings = std::make_unique<UpsSettings>();
    std::memset(settings.get(), 0, sizeof *settings);
    storeDefaults(*settings, Edition::Console);
    settings->pagerEnable = 1;
    settings->mailEnable = 1;
    auto d = std::make_unique<NotifyDispatch>(*settings, Edition::Console, passes);
    passes->hold();
    d->queueEvent(EvAcFail);
    d->queueEvent(EvBatteryLow);
    d->startWorkerIfIdle();
    ASSERT_TRUE(passes->waitEntered(1, 5000));
    d.reset();         // the front-end goes away in the middle of a pager pass
    settings.reset();  // and so does its record
    passes->release();
    // The worker stops after the running pass: no pause, no mail pass, no
    // second code, and the busy flag is cleared for the next dispatch.
    for (int i = 0; i < 500 && NotifyDispatch::workerBusy(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_FALSE(NotifyDispatch::workerBusy());
    EXPECT_EQ(passes->sequence(), "p0 ");
}

}  // namespace
}  // namespace qor::test
