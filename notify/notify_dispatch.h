// The notification dispatch: a queue of event codes worked by one worker
// thread at a time, so neither the window nor the line polling ever waits for
// a modem or a mail server. For each code the worker calls the pagers, pauses
// 5 s, then mails the recipients.
#pragma once

#include <cstdint>
#include <memory>

#include "engine_io.h"
#include "event_commands.h"
#include "extra_settings.h"
#include "notify_env.h"
#include "notify_queue.h"
#include "outage_hold.h"
#include "ups_settings.h"

namespace qor {

// The two passes of one event, each given the worker's copies of the settings
// record and of the further settings (taken on the main thread when the
// worker was started).
class NotifyPasses {
public:
    virtual ~NotifyPasses() = default;
    virtual void pagerPass(int32_t code, const UpsSettings& s, const ExtraSettings& x) = 0;
    virtual void mailPass(int32_t code, const UpsSettings& s, const ExtraSettings& x) = 0;
};

// The real passes: modem, pppd and SMTP.
class SystemNotifyPasses : public NotifyPasses {
public:
    // `env.log` null: the edition's own outputs are used.
    SystemNotifyPasses(Edition edition, NotifyEnv env = NotifyEnv());
    void pagerPass(int32_t code, const UpsSettings& s, const ExtraSettings& x) override;
    void mailPass(int32_t code, const UpsSettings& s, const ExtraSettings& x) override;
    const NotifyEnv& env() const { return env_; }

private:
    std::unique_ptr<NotifyLog> ownLog_;
    NotifyEnv env_;
};

class NotifyDispatch : public Notifier {
public:
    NotifyDispatch(UpsSettings& settings, Edition edition);
    // For tests: other passes, and a clock for the 5 s pause (null: real time).
    NotifyDispatch(UpsSettings& settings, Edition edition, std::shared_ptr<NotifyPasses> passes,
                   Clock* pauseClock = nullptr);
    // Does not wait for a running worker (which has its own copy of the
    // settings): it asks the worker to stop after its current pass and
    // leaves it to finish.
    ~NotifyDispatch() override;
    NotifyDispatch(const NotifyDispatch&) = delete;
    NotifyDispatch& operator=(const NotifyDispatch&) = delete;

    // Appends the code (0..3; anything else is ignored) when the kind's
    // mail or pager flag is set, and starts the commands that want it; with
    // an outage delay a mains failure waits for it first.
    void queueEvent(int32_t kind) override;
    // Commands for the kind, or an outage delay: the engine passes the event
    // on even with the record's flags off.
    bool wantsEvent(int32_t kind) const override;
    // Releases a mains failure that has outlasted the delay.
    void tick(int32_t secondsLeft) override;
    // Starts one worker when codes wait and no worker runs. Main thread
    // only: it copies the settings record for the worker.
    void startWorkerIfIdle() override;

    // The further settings in force from the next worker on (main thread,
    // like the settings record: each worker takes its own copy as it starts).
    void setExtraSettings(const ExtraSettings& x);
    const ExtraSettings& extraSettings() const { return extra_; }
    // For tests: where the commands' lines go and what runs them.
    void setCommandRunner(std::shared_ptr<NotifyLog> log, CommandLauncher::Runner run);

    int queued() const;
    // Waits until this dispatch's worker has ended; false on time-out.
    bool waitIdle(int timeoutMs) const;
    // The process-wide worker-busy flag.
    static bool workerBusy();

    struct State;

private:
    void pass(const HeldEvent& e);

    UpsSettings* settings_;  // the front-end's record: main thread only
    ExtraSettings extra_;     // main thread only, like the record
    Clock* clock_;            // the time of events (the pause clock, or the system's)
    std::unique_ptr<Clock> ownClock_;
    std::shared_ptr<NotifyLog> log_;
    std::unique_ptr<CommandLauncher> commands_;
    OutageHold hold_;
    int32_t secondsLeft_ = -1;
    std::shared_ptr<State> state_;
};

}  // namespace qor
