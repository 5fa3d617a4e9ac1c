#include "event_commands.h"

#include <climits>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <exception>
#include <mutex>
#include <thread>

#include "child_process.h"
#include "trusted_file.h"
#include "ups_status.h"

namespace qor {

namespace {
// A command that ignores SIGTERM gets this long before SIGKILL.
constexpr int kKillGraceMs = 2000;
}  // namespace

const char* commandEventName(unsigned bit) {
    switch (bit) {
    case 1u << EvAcFail: return "acfail";
    case 1u << EvBatteryLow: return "batterylow";
    case 1u << EvAcRecoveried: return "acrecovered";
    case 1u << EvConnectFail: return "connectfail";
    case kCommandTestBit: return "test";
    default: return "";
    }
}

const char* commandStateName(int32_t upsState) {
    switch (upsState) {
    case AcOk: return "acok";
    case BatteryLow: return "batterylow";
    case AcFail: return "acfail";
    default: return "noups";
    }
}

std::string commandTime(int64_t when) {
    time_t t = static_cast<time_t>(when);
    struct tm tm {};
    localtime_r(&t, &tm);
    long off = tm.tm_gmtoff / 60;
    char sign = off < 0 ? '-' : '+';
    if (off < 0) off = -off;
    off %= 24 * 60;
    char buf[96];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02d%c%02ld:%02ld", tm.tm_year + 1900, tm.tm_mon + 1,
                  tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec, sign, off / 60, off % 60);
    return buf;
}

std::vector<std::string> commandEnvironment(const CommandEvent& e) {
    std::string text;
    for (char c : e.text)
        if (c != '\r' && c != '\n') text += c;
    return {
        std::string("QOR_EVENT=") + commandEventName(e.bit),
        "QOR_TEXT=" + text,
        std::string("QOR_STATE=") + commandStateName(e.upsState),
        "QOR_TIME=" + commandTime(e.time),
        "QOR_SECONDS_LEFT=" + (e.secondsLeft < 0 ? std::string() : std::to_string(e.secondsLeft)),
        "PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin",
    };
}

std::vector<ExtraCommand> commandsFor(const ExtraSettings& x, unsigned bit) {
    std::vector<ExtraCommand> out;
    for (const ExtraCommand& c : x.commands)
        if ((c.events & bit) != 0 && !c.argv.empty()) out.push_back(c);
    return out;
}

std::string describeOutcome(const CommandOutcome& o) {
    switch (o.kind) {
    case CommandOutcome::Refused: return "refused: " + o.why;
    case CommandOutcome::NotStarted: return "not started: " + o.why;
    case CommandOutcome::Exited: return "exit status " + std::to_string(o.code);
    case CommandOutcome::Killed: return "ended by signal " + std::to_string(o.code);
    case CommandOutcome::TimedOut: return "killed at its time bound (" + std::to_string(o.code) + " s)";
    }
    return "";
}

CommandOutcome runEventCommand(const ExtraCommand& c, const CommandEvent& e, int timeoutSec, NotifyLog* log) {
    CommandOutcome out;
    if (c.argv.empty()) return out;
    const std::string& program = c.argv[0];
    auto sys = [log](const std::string& line) {
        if (log != nullptr) log->sys(line.c_str());
    };
    char resolved[PATH_MAX];
    char why[256];
    if (!checkTrustedProgram(program.c_str(), resolved, sizeof resolved, why, sizeof why)) {
        out.kind = CommandOutcome::Refused;
        out.why = why;
        sys("command " + program + " refused: " + out.why);
        return out;
    }
    std::vector<std::string> argv = c.argv;
    argv[0] = resolved;  // what was checked is what runs
    std::string tag = "command " + program + ": ";
    ProgramRun run = runProgram(argv, commandEnvironment(e), timeoutSec * 1000, kKillGraceMs,
                                [&](const std::string& line) { sys(tag + line); });
    if (!run.started) {
        out.kind = CommandOutcome::NotStarted;
        out.why = std::strerror(run.startError);
    } else if (run.timedOut) {
        out.kind = CommandOutcome::TimedOut;
        out.code = timeoutSec;
    } else if (WIFSIGNALED(run.status)) {
        out.kind = CommandOutcome::Killed;
        out.code = WTERMSIG(run.status);
    } else {
        out.kind = CommandOutcome::Exited;
        out.code = WEXITSTATUS(run.status);
    }
    // Success is silent; anything else leaves one line.
    if (!(out.kind == CommandOutcome::Exited && out.code == 0))
        sys("command " + program + " (" + commandEventName(e.bit) + "): " + describeOutcome(out));
    return out;
}

struct CommandLauncher::Shared {
    std::shared_ptr<NotifyLog> log;
    Runner run;
    std::mutex m;
    int running = 0;
};

CommandLauncher::CommandLauncher(std::shared_ptr<NotifyLog> log, Runner run) : shared_(std::make_shared<Shared>()) {
    shared_->log = std::move(log);
    shared_->run = run ? std::move(run) : Runner(runEventCommand);
}

int CommandLauncher::launch(const ExtraSettings& x, const CommandEvent& e) {
    int started = 0;
    for (const ExtraCommand& c : commandsFor(x, e.bit)) {
        {
            std::lock_guard<std::mutex> g(shared_->m);
            if (shared_->running >= kMaxRunningCommands) {
                if (shared_->log) shared_->log->sys(("command " + c.argv[0] + " not started: too many commands running").c_str());
                continue;
            }
            ++shared_->running;
        }
        std::shared_ptr<Shared> sh = shared_;
        int timeout = x.commandTimeoutSec;
        try {
            // Detached: the program may end (or halt) while a command runs;
            // the thread owns what it uses.
            std::thread([sh, c, e, timeout] {
                sh->run(c, e, timeout, sh->log.get());
                std::lock_guard<std::mutex> g(sh->m);
                --sh->running;
            }).detach();
            ++started;
        } catch (const std::exception&) {
            std::lock_guard<std::mutex> g(shared_->m);
            --shared_->running;
            if (shared_->log) shared_->log->sys(("command " + c.argv[0] + " not started: no thread").c_str());
        }
    }
    return started;
}

int CommandLauncher::running() const {
    std::lock_guard<std::mutex> g(shared_->m);
    return shared_->running;
}

}  // namespace qor
