#include "notify_dispatch.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <exception>
#include <thread>

#include "bounded_text.h"
#include "pager_pass.h"
#include "system_services.h"
#include "pppclient.h"
#include "warning_mail.h"

namespace qor {

namespace {
// One worker at a time in the whole process.
std::atomic<int> gWorkerBusy{0};

constexpr long kPagerToMailPauseMs = 5000;
}  // namespace

struct NotifyDispatch::State {
    Edition edition;
    std::shared_ptr<NotifyPasses> passes;
    Clock* pauseClock;
    NotifyQueue queue;

    mutable std::mutex m;
    mutable std::condition_variable cv;
    bool stop = false;
    int running = 0;  // workers started and not yet ended

    bool stopping() const {
        std::lock_guard<std::mutex> g(m);
        return stop;
    }

    void pause(long ms) {
        if (pauseClock != nullptr) {
            pauseClock->sleepMicros(ms * 1000);
            return;
        }
        std::unique_lock<std::mutex> g(m);
        cv.wait_for(g, std::chrono::milliseconds(ms), [this] { return stop; });
    }

    void finished() {
        std::lock_guard<std::mutex> g(m);
        --running;
        cv.notify_all();
    }
};

namespace {

bool validCode(int32_t code) { return code >= 0 && code < kEventKinds; }

// `s` is the worker's own copy of the settings record (see startWorkerIfIdle).
void workerMain(std::shared_ptr<NotifyDispatch::State> st, std::shared_ptr<const UpsSettings> s,
                std::shared_ptr<const ExtraSettings> x) {
    for (;;) {
        int32_t code = 0;
        // Taking the last code and clearing the busy flag are one step under
        // the queue's lock, so a code queued meanwhile is never stranded.
        bool got = st->queue.withLock([&] {
            if (st->queue.takeLocked(code)) return true;
            gWorkerBusy.store(0);
            return false;
        });
        if (!got) break;

        if (validCode(code) && !st->stopping()) {
            if (s->notifyFlags[2 * code + 1] != 0 && s->pagerEnable != 0) {
                st->passes->pagerPass(code, *s, *x);
                st->pause(kPagerToMailPauseMs);
            }
            if (!st->stopping() && s->notifyFlags[2 * code] != 0 && s->mailEnable != 0)
                st->passes->mailPass(code, *s, *x);
        }

        if (st->edition == Edition::Desktop || st->stopping()) {
            gWorkerBusy.store(0);
            break;
        }
    }
    st->finished();
}

}  // namespace

SystemNotifyPasses::SystemNotifyPasses(Edition edition, NotifyEnv env) : env_(std::move(env)) {
    if (env_.log == nullptr) {
        ownLog_ = std::make_unique<SystemNotifyLog>(edition);
        env_.log = ownLog_.get();
    }
}

void SystemNotifyPasses::pagerPass(int32_t code, const UpsSettings& s, const ExtraSettings&) {
    runPagerPass(code, s, env_);
}

void SystemNotifyPasses::mailPass(int32_t code, const UpsSettings& s, const ExtraSettings& x) {
    WarningMail mail(s, x, env_);
    mail.run(code);
}

NotifyDispatch::NotifyDispatch(UpsSettings& settings, Edition edition)
    : NotifyDispatch(settings, edition, std::make_shared<SystemNotifyPasses>(edition)) {}

NotifyDispatch::NotifyDispatch(UpsSettings& settings, Edition edition, std::shared_ptr<NotifyPasses> passes,
                               Clock* pauseClock)
    : settings_(&settings), clock_(pauseClock), state_(std::make_shared<State>()) {
    if (clock_ == nullptr) {
        ownClock_ = std::make_unique<SystemClock>();
        clock_ = ownClock_.get();
    }
    log_ = std::make_shared<SystemNotifyLog>(edition);
    commands_ = std::make_unique<CommandLauncher>(log_);
    state_->edition = edition;
    state_->passes = std::move(passes);
    state_->pauseClock = pauseClock;
}

NotifyDispatch::~NotifyDispatch() {
    {
        std::lock_guard<std::mutex> g(state_->m);
        state_->stop = true;
        state_->cv.notify_all();
    }
    // The worker is not waited for: a dial-up it has up must not leave the
    // system's secrets file aside, or pppd holding the line, when the program ends.
    endDialUpForExit();
}

void NotifyDispatch::queueEvent(int32_t kind) {
    if (!validCode(kind)) return;
    HeldEvent e;
    e.kind = kind;
    e.time = clock_->now();
    e.upsState = settings_->upsState;
    e.secondsLeft = secondsLeft_;
    for (const HeldEvent& now : hold_.event(e, extra_.outageDelaySec)) pass(now);
    int64_t lasted = 0;
    if (hold_.takeDropped(lasted)) {
        char line[160];
        std::snprintf(line, sizeof line, "Mains failure of %lld s, shorter than the outage delay (%d s): not notified",
                      static_cast<long long>(lasted), extra_.outageDelaySec);
        log_->sys(line);
    }
}

// One event the hold has let through: the worker's queue when the record
// asks for mail or pagers, and the commands that want it.
void NotifyDispatch::pass(const HeldEvent& e) {
    const UpsSettings& s = *settings_;
    if (s.notifyFlags[2 * e.kind] != 0 || s.notifyFlags[2 * e.kind + 1] != 0) state_->queue.push(e.kind);
    unsigned bit = 1u << e.kind;
    if (commandsFor(extra_, bit).empty()) return;
    const TextField* texts[] = {&s.msgAcFail, &s.msgLowBat, &s.msgAcRecoveried, &s.msgConnectFail};
    CommandEvent c;
    c.bit = bit;
    c.text = textOf(*texts[e.kind]);
    c.upsState = e.upsState;
    c.time = e.time;
    c.secondsLeft = e.secondsLeft;
    commands_->launch(extra_, c);
}

bool NotifyDispatch::wantsEvent(int32_t kind) const {
    if (!validCode(kind)) return false;
    return extra_.outageDelaySec > 0 || !commandsFor(extra_, 1u << kind).empty();
}

void NotifyDispatch::tick(int32_t secondsLeft) {
    secondsLeft_ = secondsLeft;
    std::vector<HeldEvent> due = hold_.tick(clock_->now());
    if (due.empty()) return;
    for (HeldEvent& e : due) {
        // Told late: what is left now, not what was left when it began.
        e.secondsLeft = secondsLeft;
        pass(e);
    }
    startWorkerIfIdle();
}

void NotifyDispatch::setCommandRunner(std::shared_ptr<NotifyLog> log, CommandLauncher::Runner run) {
    log_ = log;
    commands_ = std::make_unique<CommandLauncher>(std::move(log), std::move(run));
}

void NotifyDispatch::startWorkerIfIdle() {
    std::shared_ptr<State> st = state_;
    st->queue.withLock([&] {
        if (st->queue.sizeLocked() == 0) return;
        int idle = 0;
        if (!gWorkerBusy.compare_exchange_strong(idle, 1)) return;
        {
            std::lock_guard<std::mutex> g(st->m);
            ++st->running;
        }
        try {
            // The one rule for the settings record: only the main thread
            // touches it (the engine's tick, the dialogs and forms), and the
            // worker gets its own copy, taken here on the main thread as it
            // starts. Nothing the worker does reads the live record. A
            // console worker empties the queue in one start: the later
            // codes of that start use this same copy.
            auto copy = std::make_shared<UpsSettings>(*settings_);
            terminateTexts(*copy);
            auto extra = std::make_shared<const ExtraSettings>(extra_);
            std::thread(workerMain, st, std::shared_ptr<const UpsSettings>(std::move(copy)), std::move(extra))
                .detach();
        } catch (const std::exception&) {
            // No thread: the codes wait for the next tick with a change.
            gWorkerBusy.store(0);
            st->finished();
        }
    });
}

void NotifyDispatch::setExtraSettings(const ExtraSettings& x) { extra_ = x; }

int NotifyDispatch::queued() const { return state_->queue.size(); }

bool NotifyDispatch::waitIdle(int timeoutMs) const {
    std::unique_lock<std::mutex> g(state_->m);
    return state_->cv.wait_for(g, std::chrono::milliseconds(timeoutMs), [this] { return state_->running == 0; });
}

bool NotifyDispatch::workerBusy() { return gWorkerBusy.load() != 0; }

}  // namespace qor
