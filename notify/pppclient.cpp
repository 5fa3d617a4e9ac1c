#include "pppclient.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <linux/close_range.h>
#include <net/if.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>

#include "atomic_file.h"
#include "bounded_text.h"
#include "child_process.h"
#include "unique_fd.h"

namespace qor {

namespace {

bool addressSet(const char* a) { return a[0] != '\0' && std::strcmp(a, "0.0.0.0") != 0; }

int methodOf(int32_t auth) { return auth == 1 ? 1 : 0; }

// Reads up to `len` bytes until end of file; the count read.
size_t readFully(int fd, void* buf, size_t len) {
    size_t got = 0;
    while (got < len) {
        ssize_t n = ::read(fd, static_cast<char*>(buf) + got, len - got);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        got += static_cast<size_t>(n);
    }
    return got;
}

// Waits for one child; the status is only known when the child was not
// reaped by someone else (SIGCHLD ignored makes the kernel reap it).
bool reapChild(pid_t pid, int& status) {
    for (;;) {
        pid_t r = waitpid(pid, &status, 0);
        if (r == pid) return true;
        if (r < 0 && errno == EINTR) continue;
        return false;
    }
}

bool existsPath(const std::string& p) {
    struct stat st {};
    return lstat(p.c_str(), &st) == 0;
}

// The live secrets file of a swap not yet undone and the pppd still running,
// so the program can undo both on its way out; the lock keeps that apart from
// a worker's own swap and its own stop of pppd.
struct SecretsSwap {
    std::mutex m;
    std::string live;  // empty: no swap in force
    pid_t pppd = -1;   // the started pppd (one worker, one dial-up at a time)
    bool closing = false;
};

SecretsSwap& secretsSwap() {
    // Never destroyed: a worker may still swap while the program exits.
    static SecretsSwap* swap = new SecretsSwap;
    return *swap;
}

// Records the worker's new pppd for the exit path; one started while the
// program is already on its way out is stopped at once (no link any more).
void recordPppd(pid_t pid) {
    SecretsSwap& swap = secretsSwap();
    std::lock_guard<std::mutex> g(swap.m);
    swap.pppd = pid;
    if (swap.closing) kill(pid, SIGTERM);
}

// Hands the worker's pppd back to it, unless the exit path has taken it
// (then the worker neither signals nor reaps it again).
bool takeBackPppd(pid_t pid) {
    SecretsSwap& swap = secretsSwap();
    std::lock_guard<std::mutex> g(swap.m);
    if (swap.pppd != pid) return false;
    swap.pppd = -1;
    return true;
}

// Reaps a signalled pppd, with SIGKILL when it has not ended within about 5 s.
void reapPppd(pid_t pid) {
    int status = 0;
    for (int i = 0; i < 50; ++i) {
        pid_t r = waitpid(pid, &status, WNOHANG);
        if (r == pid || (r < 0 && errno != EINTR)) return;
        notifySleepMs(nullptr, 100);
    }
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
}

}  // namespace

PppSettings PppSettings::fromSettings(const UpsSettings& s) {
    PppSettings p{};
    copyBounded(p.user, s.dialUser);
    copyBounded(p.password, s.dialPassword);
    copyBounded(p.phone, s.dialPhone);
    p.auth = static_cast<int16_t>(s.dialAuth & 0xffff);
    p.deviceIndex = notifyDeviceIndex(s.modemDevice);
    p.dynamicIp = s.dynamicIp;
    copyBounded(p.localIp, s.ipAddress);
    copyBounded(p.netmask, s.subnetMask);
    copyBounded(p.remoteIp, s.ipAddress3);
    p.defaultRoute = 1;
    p.line.carrierCheck = 0;
    p.line.flowControl = s.modemFlow;
    p.line.lineEnding = s.modemTermination;
    p.line.speed = modemSpeedBps(s.modemSpeed);
    p.line.responseTimeoutSec = s.modemTimeoutSec;
    return p;
}

std::string PppdLocator::find() {
    std::lock_guard<std::mutex> g(m_);
    if (!found_.empty()) return found_;
    size_t start = 0;
    while (start <= list_.size()) {
        size_t end = list_.find(':', start);
        if (end == std::string::npos) end = list_.size();
        std::string dir = list_.substr(start, end - start);
        if (!dir.empty()) {
            std::string candidate = dir + "/pppd";
            if (access(candidate.c_str(), X_OK) == 0) {
                found_ = candidate;
                return found_;
            }
        }
        start = end + 1;
    }
    return std::string();
}

PppdLocator& processPppdLocator() {
    // Never destroyed: a worker may still use it while the program exits.
    static PppdLocator* locator = new PppdLocator;
    return *locator;
}

std::string pppSecretsLine(const char* user, const char* password) {
    std::string line;
    auto quoted = [&line](const char* text) -> bool {
        line += '"';
        for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p != 0; ++p) {
            if (*p < 0x20 || *p == 0x7f) return false;
            if (*p == '"' || *p == '\\') line += '\\';
            line += static_cast<char>(*p);
        }
        line += '"';
        return true;
    };
    if (!quoted(user)) return std::string();
    line += "\t*\t";
    if (!quoted(password)) return std::string();
    line += '\n';
    return line;
}

PppClient::PppClient(const PppSettings* settings, const ModemCommands& commands, const NotifyEnv& env)
    : modem_(env.log, env.clock), settings_(settings), env_(env) {
    modem_.setCommands(commands);
}

PppClient::~PppClient() {
    bool gaveUp = false;
    stopPppd(gaveUp);
    modem_.close();
}

std::string PppClient::livePath(int method) const {
    return env_.secretsDir + (method == 1 ? "/chap-secrets" : "/pap-secrets");
}

std::string PppClient::buildCommandLine() const {
    const PppSettings& s = *settings_;
    char buf[64];
    std::snprintf(buf, sizeof buf, "pppd %d ", static_cast<int>(s.line.speed));
    std::string line = buf;
    bool local = addressSet(s.localIp), remote = addressSet(s.remoteIp);
    if (local || remote) {
        line += local ? s.localIp : "";
        line += ':';
        line += remote ? s.remoteIp : "";
        line += ' ';
    }
    if (addressSet(s.netmask)) {
        line += "netmask ";
        line += s.netmask;
        line += ' ';
    }
    if (s.line.flowControl == 0) line += "crtscts ";
    if (s.line.flowControl == 1) line += "xonxoff ";
    if (s.defaultRoute) line += "defaultroute ";
    if (methodOf(s.auth) == 0) {
        line += "-chap user \"";
        line += s.user;
        line += "\" ";
    } else {
        line += "-pap user \"";
        line += s.user;
        line += '"';
    }
    return line;
}

std::vector<std::string> PppClient::buildArguments() const {
    const PppSettings& s = *settings_;
    std::vector<std::string> a;
    a.emplace_back("pppd");
    a.push_back(std::to_string(s.line.speed));
    bool local = addressSet(s.localIp), remote = addressSet(s.remoteIp);
    if (local || remote) a.push_back(std::string(local ? s.localIp : "") + ":" + (remote ? s.remoteIp : ""));
    if (addressSet(s.netmask)) {
        a.emplace_back("netmask");
        a.emplace_back(s.netmask);
    }
    if (s.line.flowControl == 0) a.emplace_back("crtscts");
    if (s.line.flowControl == 1) a.emplace_back("xonxoff");
    if (s.defaultRoute) a.emplace_back("defaultroute");
    a.emplace_back(methodOf(s.auth) == 0 ? "-chap" : "-pap");
    a.emplace_back("user");
    a.emplace_back(s.user);
    return a;
}

// The system's own file is never missing or changed until the one rename
// that puts the account's file in its place: the saved copy is a second
// link to it, made first. Any failed step leaves the system's file as it
// was and takes back what this call made.
bool PppClient::writeSecrets(int method, const char* user, const char* password) {
    std::string line = pppSecretsLine(user, password);
    if (line.empty()) {
        if (env_.log) env_.log->sys("dial-up user name or password holds a control character");
        return false;
    }
    std::string live = livePath(method), fresh = live + ".new", saved = live + ".old";
    SecretsSwap& swap = secretsSwap();
    std::lock_guard<std::mutex> g(swap.m);
    if (swap.closing) return false;
    // A saved copy still there means an earlier swap could not be undone:
    // it is the system's file, and it is not thrown away for a new swap.
    if (existsPath(saved)) {
        if (env_.log) env_.log->sys("dial-up secrets: an earlier copy is still set aside");
        return false;
    }
    ::unlink(fresh.c_str());
    // The mode is given to open and fixed with fchmod: changing the umask
    // would touch every file other threads create meanwhile.
    UniqueFd fd(::open(fresh.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!fd) return false;
    bool ok = fchmod(fd.get(), 0600) == 0 && writeAll(fd.get(), line.data(), line.size());
    if (::close(fd.release()) != 0) ok = false;
    if (ok) {
        if (existsPath(live)) {
            ok = ::link(live.c_str(), saved.c_str()) == 0;
        } else {
            // An empty saved copy, so the restore takes the account's password
            // out again instead of leaving it as the only live file.
            UniqueFd empty(::open(saved.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
            ok = static_cast<bool>(empty);
        }
        if (ok && ::rename(fresh.c_str(), live.c_str()) != 0) {
            ::unlink(saved.c_str());
            ok = false;
        }
    }
    if (!ok) ::unlink(fresh.c_str());
    if (ok) swap.live = live;
    return ok;
}

// One rename puts the saved copy back over the account's file; if it fails
// the live file stays as it is (never deleted first).
bool PppClient::restoreSecrets(int method) {
    std::string live = livePath(method), saved = live + ".old";
    SecretsSwap& swap = secretsSwap();
    std::lock_guard<std::mutex> g(swap.m);
    if (!existsPath(saved)) return false;
    if (::rename(saved.c_str(), live.c_str()) != 0) return false;
    if (swap.live == live) swap.live.clear();
    return true;
}

void endDialUpForExit() {
    SecretsSwap& swap = secretsSwap();
    std::lock_guard<std::mutex> g(swap.m);
    swap.closing = true;
    if (!swap.live.empty()) {
        std::string saved = swap.live + ".old";
        if (existsPath(saved)) ::rename(saved.c_str(), swap.live.c_str());
        swap.live.clear();
    }
    // pppd hangs up the modem when it ends: left running it would keep the
    // line, and the call, after the monitor has gone.
    pid_t pid = swap.pppd;
    swap.pppd = -1;
    if (pid > 0 && kill(pid, SIGTERM) == 0) reapPppd(pid);
}

int PppClient::checkInterface() const {
    UniqueFd sock(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    if (!sock) return -2;
    struct ifreq ifr {};
    std::memcpy(ifr.ifr_name, env_.interfaceName.c_str(), std::min<size_t>(env_.interfaceName.size(), IFNAMSIZ - 1));
    if (ioctl(sock.get(), SIOCGIFFLAGS, &ifr) != 0) return -1;
    return (ifr.ifr_flags & IFF_UP) ? 1 : 0;
}

bool PppClient::dialInChild() {
    int p[2];
    if (pipe2(p, O_CLOEXEC) != 0) return false;
    UniqueFd rd(p[0]), wr(p[1]);
    pid_t pid = fork();
    if (pid < 0) return false;  // a failed fork is a failed dial, not the end of the program
    if (pid == 0) {
        bool ok = modem_.dial(settings_->phone);
        char c = ok ? '1' : '0';
        writeAll(wr.get(), &c, 1);
        _exit(ok ? 0 : 1);
    }
    wr.reset();
    // The byte tells the result even where the exit status cannot be had.
    char c = 0;
    size_t got = readFully(rd.get(), &c, 1);
    int status = 0;
    if (reapChild(pid, status)) return WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return got == 1 && c == '1';
}

bool PppClient::connect() {
    const PppSettings& s = *settings_;
    modem_.setParams(&s.line);
    // A connect that is tried again must not leave the earlier port open.
    modem_.close();
    modemFd_ = -1;
    if (pppSecretsLine(s.user, s.password).empty()) {
        if (env_.log) env_.log->sys("dial-up user name or password holds a control character");
        return false;
    }
    const char* path = env_.device(s.deviceIndex);
    int fd = std::strcmp(path, "none") == 0 ? -1 : ::open(path, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        if (env_.log) env_.log->out("Sorry, can't open modem.");
        return false;
    }
    bool ready = modem_.setUp(fd);
    modemFd_ = modem_.descriptor();
    bool dialled = ready && dialInChild();
    notifySleepMs(env_.clock, 1000);
    if (!dialled) {
        if (env_.log && !env_.log->console()) env_.log->out("Dialup failed....\n");
        modem_.setOnline(true);
        modem_.hangUp();
        notifySleepMs(env_.clock, 3000);
        return false;
    }
    int method = methodOf(s.auth);
    restoreSecrets(method);
    writeSecrets(method, s.user, s.password);
    commandLine_ = buildCommandLine();
    startPppd();
    if (env_.log) env_.log->sys("TO IF UP");
    return true;
}

bool PppClient::startPppd() {
    std::string path = (env_.pppd != nullptr ? *env_.pppd : processPppdLocator()).find();
    std::vector<std::string> args = buildArguments();
    // Everything the child needs is prepared before fork: it may not allocate.
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(&a[0]);
    argv.push_back(nullptr);
    char* envp[] = {nullptr};
    int p[2];
    if (pipe2(p, O_CLOEXEC) != 0) p[0] = p[1] = -1;
    UniqueFd rd(p[0]), wr(p[1]);
    int fd = modemFd_;

    pid_t pid = fork();
    if (pid < 0) {
        if (env_.log) env_.log->err("In parent: fork() failed\n");
        return false;
    }
    if (pid == 0) {
        // pppd starts as a program of its own: not with our ignored SIGPIPE
        // or the signals the forking thread blocks.
        resetChildSignals();
        setsid();
        if (fd >= 0 && ioctl(fd, TIOCSCTTY, 0) != 0 && env_.log) env_.log->err("ioctl() failed.\n");
        if (fd >= 0 && tcsetpgrp(fd, getpid()) != 0 && env_.log) env_.log->err("tcsetpgrp() failed.\n");
        if (fd >= 0) {
            dup2(fd, STDIN_FILENO);
            dup2(fd, STDOUT_FILENO);
        }
        // No descriptor of ours (the UPS port, sockets, files) goes on into pppd.
        close_range(3, ~0U, CLOSE_RANGE_CLOEXEC);
        if (!path.empty()) execve(path.c_str(), argv.data(), envp);
        // Only the parent logs: syslog is not safe in a child of a threaded program.
        char failed = 'x';
        if (wr) writeAll(wr.get(), &failed, 1);
        _exit(0);
    }
    wr.reset();
    pppdPid_ = pid;
    recordPppd(pid);
    char failed = 0;
    if (rd && readFully(rd.get(), &failed, 1) == 1) {
        if (env_.log) env_.log->sys("PPPd connect success");
        int status = 0;
        if (takeBackPppd(pid)) reapChild(pid, status);
        pppdPid_ = -1;
    }
    notifySleepMs(env_.clock, 8000);
    if (env_.log) env_.log->sys("PPP connect success");
    return true;
}

bool PppClient::waitForLink() {
    auto start = std::chrono::steady_clock::now();
    for (;;) {
        int r = checkInterface();
        if (r == 1) {
            if (env_.log) env_.log->sys("up success");
            return true;
        }
        if (r == -2) {
            if (env_.log) env_.log->sys("ppp0 error");
            return false;
        }
        if (r == -1) {
            if (env_.log) env_.log->sys("can't find ppp0");
            return false;
        }
        if (std::chrono::steady_clock::now() - start > std::chrono::milliseconds(env_.linkWaitMs)) return false;
        notifySleepMs(nullptr, env_.linkPollMs);
    }
}

// Stops a started pppd and reaps it, so no zombie is left and its process id
// cannot be reused under us while we still signal it.
void PppClient::stopPppd(bool& gaveUp) {
    gaveUp = false;
    if (pppdPid_ <= 0) return;
    pid_t pid = pppdPid_;
    pppdPid_ = -1;
    if (!takeBackPppd(pid)) return;  // ended and reaped on the way out
    if (kill(pid, SIGTERM) != 0 && kill(pid, SIGKILL) != 0) {
        gaveUp = true;
        for (int i = 0; i < 5; ++i) {
            notifySleepMs(env_.clock, 1000);
            if (kill(pid, SIGKILL) == 0) break;
        }
    }
    reapPppd(pid);
}

bool PppClient::disconnect() {
    restoreSecrets(methodOf(settings_->auth));
    bool gaveUp = false;
    stopPppd(gaveUp);
    modem_.setOnline(true);
    modem_.hangUp();
    notifySleepMs(env_.clock, 3000);
    // The port is ours: close it rather than leave one open per attempt.
    modem_.close();
    modemFd_ = -1;
    return !gaveUp;
}

}  // namespace qor
