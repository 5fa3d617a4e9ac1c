#include "notify_dispatch.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <exception>
#include <thread>

#include "pager_pass.h"
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

void SystemNotifyPasses::mailPass(int32_t code, const UpsSettings& s, const ExtraSettings&) {
    WarningMail mail(s, env_);
    mail.run(code);
}

NotifyDispatch::NotifyDispatch(UpsSettings& settings, Edition edition)
    : NotifyDispatch(settings, edition, std::make_shared<SystemNotifyPasses>(edition)) {}

NotifyDispatch::NotifyDispatch(UpsSettings& settings, Edition edition, std::shared_ptr<NotifyPasses> passes,
                               Clock* pauseClock)
    : settings_(&settings), state_(std::make_shared<State>()) {
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
    state_->queue.push(kind);
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
