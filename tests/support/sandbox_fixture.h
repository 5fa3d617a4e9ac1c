// Runs programs inside qor-sandbox from GoogleTest tests and reads what they did.
//
//   qor::sandbox::Sandbox sb;                 // fresh directory, removed afterwards
//   sb.port("ttyS0").setLines("ttyS0", "DCD=1 CTS=1");
//   ASSERT_TRUE(sb.startInTmux({QORCONSOLE}));
//   ASSERT_TRUE(sb.waitForScreen("UPS is installed on: /dev/ttyS0", 5000));
//   sb.setLines("ttyS0", "DCD=1 CTS=0");     // mains fails
//   ASSERT_TRUE(sb.waitUntil([&] { return !sb.haltLog().empty(); }, 10000));
//
// Link the test with the CMake target qor_sandbox. The tests need root; use
// QOR_SANDBOX_REQUIRE_ROOT() at the top of a test to skip otherwise.
// Set QOR_SANDBOX_KEEP=1 in the environment to keep the directories for a look.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#ifndef QOR_SANDBOX_SCRIPT
#error "link the test with the qor_sandbox CMake target"
#endif

#define QOR_SANDBOX_REQUIRE_ROOT()                                   \
    do {                                                             \
        if (::geteuid() != 0)                                        \
            GTEST_SKIP() << "the sandbox needs root";                \
    } while (0)

namespace qor::sandbox {

inline const char* script() { return QOR_SANDBOX_SCRIPT; }

// ---- files -------------------------------------------------------------

inline std::optional<std::string> readFile(const std::string& path)
{
    std::ifstream f(path, std::ios::binary);
    if (!f)
        return std::nullopt;
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
}

// Readers (the sandboxed program, libsimserial) see the old or the new text, never a part.
inline bool writeFileAtomic(const std::string& path, const std::string& text)
{
    std::string tmp = path + ".tmp";
    {
        std::ofstream f(tmp, std::ios::binary | std::ios::trunc);
        if (!f)
            return false;
        f << text;
        if (!f.flush())
            return false;
    }
    return std::rename(tmp.c_str(), path.c_str()) == 0;
}

inline std::vector<std::string> lines(const std::string& text)
{
    std::vector<std::string> out;
    std::istringstream in(text);
    std::string l;
    while (std::getline(in, l))
        out.push_back(l);
    return out;
}

// Quotes one word for /bin/sh.
inline std::string shellQuote(const std::string& s)
{
    std::string out = "'";
    for (char c : s) {
        if (c == '\'')
            out += "'\\''";
        else
            out += c;
    }
    return out + "'";
}

inline std::string shellJoin(const std::vector<std::string>& argv)
{
    std::string out;
    for (const auto& a : argv)
        out += (out.empty() ? "" : " ") + shellQuote(a);
    return out;
}

// Polls cond every pollMs until it holds or timeoutMs passed.
inline bool waitUntil(const std::function<bool()>& cond, int timeoutMs, int pollMs = 20)
{
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        if (cond())
            return true;
        if (std::chrono::steady_clock::now() >= end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(pollMs));
    }
}

// ---- log records -------------------------------------------------------

// One line of halt.log, pppd.log or clear.log: "<epoch>.<ms> ARGV0 ARGS..." (words %q-quoted).
struct CallRecord {
    double time = 0;
    std::vector<std::string> argv;
    std::string raw;
};

// One line of control.log: "<epoch>.<us> RTS=<0|1> DTR=<0|1>".
struct ControlRecord {
    double time = 0;
    bool rts = false;
    bool dtr = false;
    std::string raw;
};

// Splits bash printf-%q words (backslash escapes, '...' and $'...').
inline std::vector<std::string> unquoteWords(const std::string& s)
{
    std::vector<std::string> out;
    size_t i = 0;
    while (i < s.size()) {
        while (i < s.size() && s[i] == ' ')
            i++;
        if (i >= s.size())
            break;
        std::string w;
        while (i < s.size() && s[i] != ' ') {
            char c = s[i];
            if (c == '\\' && i + 1 < s.size()) {
                w += s[i + 1];
                i += 2;
            } else if (c == '\'') {
                size_t e = s.find('\'', i + 1);
                if (e == std::string::npos)
                    e = s.size();
                w += s.substr(i + 1, e - i - 1);
                i = e + 1;
            } else if (c == '$' && i + 1 < s.size() && s[i + 1] == '\'') {
                i += 2;
                while (i < s.size() && s[i] != '\'') {
                    if (s[i] == '\\' && i + 1 < s.size()) {
                        char e = s[i + 1];
                        w += e == 'n' ? '\n' : e == 't' ? '\t' : e == 'r' ? '\r' : e;
                        i += 2;
                    } else {
                        w += s[i++];
                    }
                }
                i++;
            } else {
                w += c;
                i++;
            }
        }
        out.push_back(w);
    }
    return out;
}

inline std::vector<CallRecord> parseCallLog(const std::string& text)
{
    std::vector<CallRecord> out;
    for (const auto& l : lines(text)) {
        CallRecord r;
        r.raw = l;
        size_t sp = l.find(' ');
        r.time = std::atof(l.substr(0, sp).c_str());
        if (sp != std::string::npos)
            r.argv = unquoteWords(l.substr(sp + 1));
        out.push_back(r);
    }
    return out;
}

inline std::vector<ControlRecord> parseControlLog(const std::string& text)
{
    std::vector<ControlRecord> out;
    for (const auto& l : lines(text)) {
        ControlRecord r;
        r.raw = l;
        r.time = std::atof(l.c_str());
        r.rts = l.find("RTS=1") != std::string::npos;
        r.dtr = l.find("DTR=1") != std::string::npos;
        out.push_back(r);
    }
    return out;
}

// ---- a process with pipes ------------------------------------------------

// A started process: its standard input is a pipe, its standard output and
// error come back through another. Killed (SIGKILL) when destroyed while running.
class Child {
public:
    Child(pid_t pid, int in, int out) : pid_(pid), in_(in), out_(out) {}
    ~Child()
    {
        if (pid_ > 0 && status_ < 0) {
            ::kill(pid_, SIGKILL);
            int st;
            ::waitpid(pid_, &st, 0);
        }
        closeIn();
        if (out_ >= 0)
            ::close(out_);
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    pid_t pid() const { return pid_; }

    bool write(const std::string& text)
    {
        size_t done = 0;
        while (in_ >= 0 && done < text.size()) {
            ssize_t w = ::write(in_, text.data() + done, text.size() - done);
            if (w < 0 && errno == EINTR)
                continue;
            if (w <= 0)
                return false;
            done += static_cast<size_t>(w);
        }
        return done == text.size();
    }
    bool writeLine(const std::string& text) { return write(text + "\n"); }
    void closeIn()
    {
        if (in_ >= 0)
            ::close(in_);
        in_ = -1;
    }

    // Next output line without its line feed; false on time-out or end of output.
    bool readLine(std::string& line, int timeoutMs)
    {
        auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            size_t nl = buf_.find('\n');
            if (nl != std::string::npos) {
                line = buf_.substr(0, nl);
                buf_.erase(0, nl + 1);
                return true;
            }
            int left = static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                            end - std::chrono::steady_clock::now())
                                            .count());
            if (left <= 0 || !fill(left))
                return false;
        }
    }

    // All output until the process closes it (or the time-out).
    std::string readAll(int timeoutMs)
    {
        auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            int left = static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                            end - std::chrono::steady_clock::now())
                                            .count());
            if (left <= 0 || !fill(left))
                break;
        }
        std::string all;
        all.swap(buf_);
        return all;
    }

    // Exit status (128+signal when killed), or -1 on time-out.
    int wait(int timeoutMs)
    {
        if (status_ >= 0)
            return status_;
        waitUntil(
            [&] {
                int st;
                pid_t r = ::waitpid(pid_, &st, WNOHANG);
                if (r == pid_)
                    status_ = WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
                return status_ >= 0;
            },
            timeoutMs, 10);
        return status_;
    }

    void signal(int sig)
    {
        if (status_ < 0)
            ::kill(pid_, sig);
    }

private:
    bool fill(int timeoutMs)
    {
        if (out_ < 0)
            return false;
        pollfd p{out_, POLLIN, 0};
        int r = ::poll(&p, 1, timeoutMs);
        if (r <= 0)
            return r == 0 || errno == EINTR;
        char b[4096];
        ssize_t n = ::read(out_, b, sizeof b);
        if (n <= 0) {
            ::close(out_);
            out_ = -1;
            return false;
        }
        buf_.append(b, static_cast<size_t>(n));
        return true;
    }

    pid_t pid_;
    int in_;
    int out_;
    int status_ = -1;
    std::string buf_;
};

// Starts argv with piped stdin and stdout+stderr; nullptr when fork or pipe fails.
inline std::unique_ptr<Child> spawn(const std::vector<std::string>& argv)
{
    int in[2], out[2];
    if (::pipe2(in, O_CLOEXEC) != 0)
        return nullptr;
    if (::pipe2(out, O_CLOEXEC) != 0) {
        ::close(in[0]);
        ::close(in[1]);
        return nullptr;
    }
    std::vector<char*> args;
    for (const auto& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(in[0], 0);
        ::dup2(out[1], 1);
        ::dup2(out[1], 2);
        ::execvp(args[0], args.data());
        _exit(127);
    }
    ::close(in[0]);
    ::close(out[1]);
    if (pid < 0) {
        ::close(in[1]);
        ::close(out[0]);
        return nullptr;
    }
    return std::make_unique<Child>(pid, in[1], out[0]);
}

// ---- the sandbox -----------------------------------------------------------

struct TmuxOptions {
    int cols = 80;
    int rows = 25;
    std::vector<std::string> setEnv;   // "NAME=VALUE" for the program
    std::vector<std::string> unsetEnv; // names removed from the program's environment
};

// One sandbox directory and at most one sandbox running in it at a time.
class Sandbox {
public:
    Sandbox()
    {
        const char* tmp = ::getenv("TMPDIR");
        std::string tmpl = std::string(tmp && *tmp ? tmp : "/tmp") + "/qor-sbx-XXXXXX";
        std::vector<char> buf(tmpl.begin(), tmpl.end());
        buf.push_back('\0');
        if (::mkdtemp(buf.data()))
            dir_ = std::filesystem::canonical(buf.data()).string();
        if (dir_.empty())
            return; // ok() tells the test
        std::filesystem::create_directories(dir_ + "/serial");
        std::filesystem::create_directories(dir_ + "/etc-upper");
    }
    ~Sandbox()
    {
        stop(3000);
        if (tmux_)
            tmux({"kill-server"});
        const char* keep = ::getenv("QOR_SANDBOX_KEEP");
        if (!dir_.empty() && !(keep && *keep == '1') && !running()) {
            std::error_code ec;
            std::filesystem::remove_all(dir_, ec);
        }
    }
    Sandbox(const Sandbox&) = delete;
    Sandbox& operator=(const Sandbox&) = delete;

    bool ok() const { return !dir_.empty(); }
    const std::string& dir() const { return dir_; }
    std::string path(const std::string& rel) const { return dir_ + "/" + rel; }

    // ---- set-up (before the program starts) ----

    // Simulates /dev/NAME (ttyS0..ttyS3, modem, or a USB adapter ttyUSBn /
    // ttyACMn). exec: a command that gets the pty master as stdin/stdout (e.g.
    // a modem emulator); empty: bytes are drained.
    Sandbox& port(const std::string& name, const std::string& exec = "")
    {
        std::filesystem::create_directories(path("serial/" + name));
        ports_.push_back(exec.empty() ? name : name + "=exec:" + exec);
        return *this;
    }
    // /dev/mouse becomes a link to target (default: no /dev/mouse).
    Sandbox& mouse(const std::string& target)
    {
        mouse_ = target;
        return *this;
    }
    // A USB adapter that starts pulled out (plug() puts it in).
    Sandbox& unplugged(const std::string& name)
    {
        extra_.insert(extra_.end(), {"--unplugged", name});
        return *this;
    }
    // /dev/PATH becomes a link to target, e.g. link("serial/by-id/x", "../../ttyS1").
    Sandbox& link(const std::string& devPath, const std::string& target)
    {
        extra_.insert(extra_.end(), {"--link", devPath + "=" + target});
        return *this;
    }
    // up, never, fail (anything else: the stand-in exits 0 at once).
    Sandbox& pppMode(const std::string& mode)
    {
        writeFileAtomic(path("pppd.mode"), mode + "\n");
        return *this;
    }
    // Puts a file into the private /etc (relative name, e.g. "Qor.conf").
    bool seedEtc(const std::string& rel, const std::string& content)
    {
        std::filesystem::path p = path("etc-upper/" + rel);
        std::filesystem::create_directories(p.parent_path());
        return writeFileAtomic(p.string(), content);
    }

    // ---- line states (any time) ----

    // text like "DCD=1 CTS=0 RI=0 DSR=0"; missing keys are dropped.
    bool setLines(const std::string& port, const std::string& text)
    {
        std::filesystem::create_directories(path("serial/" + port));
        return writeFileAtomic(path("serial/" + port + "/lines"), text + "\n");
    }
    bool setLines(const std::string& port, bool dcd, bool cts, bool ri = false, bool dsr = false)
    {
        std::string t = std::string("DCD=") + (dcd ? "1" : "0") + " CTS=" + (cts ? "1" : "0") +
                        " RI=" + (ri ? "1" : "0") + " DSR=" + (dsr ? "1" : "0");
        return setLines(port, t);
    }

    // ---- running ----

    // qor-sandbox command line for argv.
    std::vector<std::string> sandboxArgv(const std::vector<std::string>& argv) const
    {
        // Results of an earlier run must not be taken for this one's.
        if (!running()) {
            ::unlink(path("exit.status").c_str());
            ::unlink(path("sandbox.pid").c_str());
        }
        std::vector<std::string> a{script(), "-d", dir_};
        for (const auto& p : ports_) {
            a.push_back("--port");
            a.push_back(p);
        }
        if (!mouse_.empty()) {
            a.push_back("--mouse");
            a.push_back(mouse_);
        }
        a.insert(a.end(), extra_.begin(), extra_.end());
        a.push_back("--");
        a.insert(a.end(), argv.begin(), argv.end());
        return a;
    }

    // Runs argv in the sandbox to its end; returns its exit status (-1 on time-out,
    // after which the sandbox is stopped). output gets stdout and stderr.
    int run(const std::vector<std::string>& argv, std::string* output = nullptr,
            int timeoutMs = 20000)
    {
        auto c = spawn(sandboxArgv(argv));
        if (!c)
            return -1;
        c->closeIn();
        std::string out = c->readAll(timeoutMs);
        int st = c->wait(1000);
        if (st < 0) {
            stop(2000);
            c->wait(2000);
        }
        if (output)
            *output = out;
        return st;
    }

    // Starts argv in the sandbox with pipes; returns once the sandbox is set up.
    std::unique_ptr<Child> start(const std::vector<std::string>& argv, int readyMs = 10000)
    {
        auto c = spawn(sandboxArgv(argv));
        if (c && !waitReady(readyMs, c.get()))
            return nullptr;
        return c;
    }

    // Starts argv in the sandbox inside a private tmux server (one window of
    // cols x rows, no status line, kept after the program ends).
    bool startInTmux(const std::vector<std::string>& argv, const TmuxOptions& o = TmuxOptions())
    {
        std::vector<std::string> inner{"/usr/bin/env"};
        for (const auto& u : o.unsetEnv) {
            inner.push_back("-u");
            inner.push_back(u);
        }
        for (const auto& s : o.setEnv)
            inner.push_back(s);
        inner.insert(inner.end(), argv.begin(), argv.end());
        std::string conf = path(".tmux.conf");
        writeFileAtomic(conf, "set -g status off\nset -g remain-on-exit on\n"
                              "set -g history-limit 1000\n");
        tmux_ = true;
        std::vector<std::string> a{"tmux", "-S", path(".tmux.sock"), "-f", conf, "new-session",
                                   "-d", "-s", "qor", "-x", std::to_string(o.cols), "-y",
                                   std::to_string(o.rows), shellJoin(sandboxArgv(inner))};
        auto c = spawn(a);
        if (!c || c->wait(5000) != 0)
            return false;
        return waitReady(10000, nullptr);
    }

    // The tmux screen as text (escapes: with colour and attribute sequences).
    std::string screen(bool escapes = false) const
    {
        std::vector<std::string> a{"capture-pane", "-p", "-t", "qor"};
        if (escapes)
            a.push_back("-e");
        return tmuxOutput(a);
    }
    // tmux key names ("Down", "Enter", "C-x", "F1") or, with literal, plain text.
    bool sendKeys(const std::vector<std::string>& keys, bool literal = false) const
    {
        std::vector<std::string> a{"send-keys", "-t", "qor"};
        if (literal)
            a.push_back("-l");
        a.insert(a.end(), keys.begin(), keys.end());
        return tmux(a) == 0;
    }
    bool waitForScreen(const std::string& text, int timeoutMs) const
    {
        return waitUntil([&] { return screen().find(text) != std::string::npos; }, timeoutMs, 50);
    }

    // True while a sandbox runs in this directory.
    bool running() const { return hostPid() > 0; }
    // Host pid of the sandbox's init (SIGTERM it to stop the command), or -1.
    pid_t hostPid() const
    {
        auto t = readFile(path("sandbox.pid"));
        if (!t)
            return -1;
        pid_t pid = static_cast<pid_t>(std::atol(t->c_str()));
        if (pid <= 0)
            return -1;
        // A stale file after a SIGKILL: the pid must still be this sandbox's init.
        auto env = readFile("/proc/" + std::to_string(pid) + "/environ");
        std::string want = "QSB_DIR=" + dir_;
        want.push_back('\0');
        return env && env->find(want) != std::string::npos ? pid : -1;
    }

    // Exit status written when the command ended, or -1 while it runs.
    int exitStatus() const
    {
        auto t = readFile(path("exit.status"));
        return t && !t->empty() ? std::atoi(t->c_str()) : -1;
    }
    int waitExit(int timeoutMs) const
    {
        waitUntil([&] { return exitStatus() >= 0; }, timeoutMs, 20);
        return exitStatus();
    }

    // SIGTERMs the command (SIGKILL to the whole sandbox after timeoutMs);
    // returns the exit status, -1 if nothing ran.
    int stop(int timeoutMs)
    {
        pid_t pid = hostPid();
        if (pid <= 0)
            return exitStatus();
        ::kill(pid, SIGTERM);
        if (!waitUntil([&] { return exitStatus() >= 0 && !running(); }, timeoutMs, 20)) {
            pid = hostPid();
            if (pid > 0)
                ::kill(pid, SIGKILL);
            waitUntil([&] { return !running(); }, 2000, 20);
        }
        return exitStatus();
    }

    // Runs argv inside the running sandbox (same /etc, /dev, network, ports).
    int enter(const std::vector<std::string>& argv, std::string* output = nullptr,
              int timeoutMs = 10000) const
    {
        std::vector<std::string> a{script(), "--enter", dir_, "--"};
        a.insert(a.end(), argv.begin(), argv.end());
        auto c = spawn(a);
        if (!c)
            return -1;
        c->closeIn();
        std::string out = c->readAll(timeoutMs);
        if (output)
            *output = out;
        return c->wait(1000);
    }

    // Pulls USB adapter NAME out of the running sandbox, or puts it (back) in,
    // with devLink (e.g. "serial/by-id/x") then leading to it. 0 on success.
    int unplug(const std::string& name) const { return hotplug("--unplug", name, ""); }
    int plug(const std::string& name, const std::string& devLink = "") const
    {
        return hotplug("--plug", name, devLink);
    }

    // ---- what happened ----

    // Every open of a simulated port, also those that failed: the paths as given.
    std::vector<std::string> opens(const std::string& port) const
    {
        std::vector<std::string> out;
        std::istringstream in(readFile(path("serial/" + port + "/opens")).value_or(""));
        std::string line;
        while (std::getline(in, line)) {
            size_t sp = line.find(' ');
            if (sp != std::string::npos)
                out.push_back(line.substr(sp + 1));
        }
        return out;
    }

    std::vector<CallRecord> haltLog() const { return parseCallLog(readFile(path("halt.log")).value_or("")); }
    std::vector<CallRecord> pppdLog() const { return parseCallLog(readFile(path("pppd.log")).value_or("")); }
    std::vector<CallRecord> clearLog() const { return parseCallLog(readFile(path("clear.log")).value_or("")); }
    std::vector<ControlRecord> controlLog(const std::string& port) const
    {
        return parseControlLog(readFile(path("serial/" + port + "/control.log")).value_or(""));
    }
    // Bytes the program wrote to a drained port.
    std::string written(const std::string& port) const
    {
        return readFile(path("serial/" + port + "/written")).value_or("");
    }
    std::string syslog() const { return readFile(path("syslog.log")).value_or(""); }

    // A file as the sandbox's /etc shows it: the private copy if the program
    // wrote one (nullopt if it deleted it), otherwise the host's file.
    std::optional<std::string> etcFile(const std::string& rel) const
    {
        std::string up = path("etc-upper/" + rel);
        struct stat st;
        if (::lstat(up.c_str(), &st) == 0) {
            if (S_ISCHR(st.st_mode) && st.st_rdev == makedev(0, 0))
                return std::nullopt; // overlay whiteout: deleted inside
            return readFile(up);
        }
        return readFile("/etc/" + rel);
    }

private:
    int hotplug(const char* what, const std::string& name, const std::string& devLink) const
    {
        std::vector<std::string> a{script(), what, dir_, name};
        if (!devLink.empty())
            a.push_back(devLink);
        auto c = spawn(a);
        if (!c)
            return -1;
        c->closeIn();
        c->readAll(5000);
        return c->wait(5000);
    }

    bool waitReady(int timeoutMs, Child* c)
    {
        return waitUntil(
            [&] {
                if (c && c->wait(0) >= 0)
                    return true; // ended (maybe in set-up): nothing to wait for
                return running() || exitStatus() >= 0;
            },
            timeoutMs, 10) &&
               (running() || exitStatus() >= 0);
    }

    int tmux(const std::vector<std::string>& args) const
    {
        std::vector<std::string> a{"tmux", "-S", path(".tmux.sock")};
        a.insert(a.end(), args.begin(), args.end());
        auto c = spawn(a);
        if (!c)
            return -1;
        c->closeIn();
        c->readAll(5000);
        return c->wait(5000);
    }
    std::string tmuxOutput(const std::vector<std::string>& args) const
    {
        std::vector<std::string> a{"tmux", "-S", path(".tmux.sock")};
        a.insert(a.end(), args.begin(), args.end());
        auto c = spawn(a);
        if (!c)
            return "";
        c->closeIn();
        std::string out = c->readAll(5000);
        c->wait(5000);
        return out;
    }

    std::string dir_;
    std::vector<std::string> ports_;
    std::string mouse_;
    std::vector<std::string> extra_; // --unplugged and --link options
    bool tmux_ = false;
};

} // namespace qor::sandbox
