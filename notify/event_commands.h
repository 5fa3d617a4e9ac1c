// The administrator's commands (COMMAND lines of the further settings): each
// one whose events include the event is run as root, directly (no shell),
// with the event described in its environment, its output to the system log,
// and killed when it outlasts COMMAND-TIMEOUT. They run on threads of their
// own, so neither the tick, the halt nor the mails wait for them.
//
// A command's environment is exactly:
//   QOR_EVENT         acfail, batterylow, acrecovered, connectfail or test
//   QOR_TEXT          the event's warning text from the settings
//   QOR_STATE         the UPS state: noups, acok, batterylow or acfail
//   QOR_TIME          when the event was seen, ISO 8601 local time with offset
//   QOR_SECONDS_LEFT  seconds before this machine halts; empty when no
//                     halt is counting down (mains present, a test)
//   PATH              /usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin
// and its arguments are those of its COMMAND line, as written.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "extra_settings.h"
#include "notify_log.h"

namespace qor {

// What a command is told of one event.
struct CommandEvent {
    unsigned bit = 0;          // 1 << EventKind, or kCommandTestBit
    std::string text;          // the warning text
    int32_t upsState = 0;      // UpsState
    int64_t time = 0;          // wall-clock seconds
    int32_t secondsLeft = -1;  // before the halt; -1: none counting down
};

// "acfail" ... "test" for an event bit; "" for anything else.
const char* commandEventName(unsigned bit);
// "noups", "acok", "batterylow", "acfail".
const char* commandStateName(int32_t upsState);
// "2026-12-09T00:20:05+0100" in local time.
std::string commandTime(int64_t when);
// The environment above, in that order.
std::vector<std::string> commandEnvironment(const CommandEvent& e);
// The commands of `x` whose events include `bit`.
std::vector<ExtraCommand> commandsFor(const ExtraSettings& x, unsigned bit);

struct CommandOutcome {
    enum Kind { Refused, NotStarted, Exited, Killed, TimedOut } kind = NotStarted;
    int code = 0;     // exit status or signal
    std::string why;  // Refused, NotStarted: the reason
};
// "exit status 0", "killed by the time bound (30 s)", "refused: ...".
std::string describeOutcome(const CommandOutcome& o);

// Runs one command for one event and waits for it: the program's trust is
// checked first (refused with one system-log line), then it runs with the
// environment above and its output goes to the system log ("command NAME:
// LINE"). `log` null: nothing logged.
CommandOutcome runEventCommand(const ExtraCommand& c, const CommandEvent& e, int timeoutSec, NotifyLog* log);

// Starts the commands of an event, each on a thread of its own, without
// waiting for them. At most kMaxRunningCommands run at once; a command that
// would exceed that is not started (one log line).
class CommandLauncher {
public:
    static constexpr int kMaxRunningCommands = 16;
    using Runner = std::function<CommandOutcome(const ExtraCommand&, const CommandEvent&, int, NotifyLog*)>;

    // The commands' threads share `log` (null: nothing logged); `run` null:
    // runEventCommand.
    explicit CommandLauncher(std::shared_ptr<NotifyLog> log, Runner run = nullptr);
    // Returns how many commands were started.
    int launch(const ExtraSettings& x, const CommandEvent& e);
    int running() const;

    struct Shared;

private:
    std::shared_ptr<Shared> shared_;
};

}  // namespace qor
