#include "ups_protocol.h"

#include <strings.h>
#include <syslog.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <new>
#include <stdexcept>

#include "bounded_text.h"
#include "command_words.h"
#include "ups_status.h"

namespace qor::net {

namespace {

// Clients that parse the server's version look for "upsd VERSION -".
constexpr const char* kVersion = "Brantel Halvora Qor Utility upsd 1.0 - contact-closure UPS monitor";
constexpr const char* kProtocolVersion = "1.3";
constexpr const char* kHelp = "Commands: HELP VER GET LIST SET INSTCMD LOGIN LOGOUT USERNAME PASSWORD STARTTLS";
constexpr const char* kDescription = "Qor contact-closure UPS";
constexpr const char* kMaker = "Generic";
constexpr const char* kModel = "Contact closure";
constexpr const char* kNoDescription = "Description unavailable";

enum Var {
    BatteryRuntime, DeviceMfr, DeviceModel, DeviceSerial, DeviceType, DriverName,
    DriverPort, DriverVersion, UpsMfr, UpsModel, UpsStatus, VarCount,
};

struct VarInfo {
    const char* name;
    const char* type;  // as GET TYPE gives it; none is writable
    const char* desc;
};

// In the order the clients list them (sorted).
constexpr VarInfo kVars[VarCount] = {
    {"battery.runtime", "NUMBER", "Battery runtime (seconds)"},
    {"device.mfr", "STRING:32", kNoDescription},
    {"device.model", "STRING:32", kNoDescription},
    {"device.serial", "STRING:32", kNoDescription},
    {"device.type", "STRING:32", kNoDescription},
    {"driver.name", "STRING:32", "Driver name"},
    {"driver.parameter.port", "STRING:255", kNoDescription},
    {"driver.version", "STRING:32", "Driver version"},
    {"ups.mfr", "STRING:32", "UPS manufacturer"},
    {"ups.model", "STRING:32", "UPS model"},
    {"ups.status", "STRING:32", "UPS status"},
};

bool is(const char* a, const char* b) { return strcasecmp(a, b) == 0; }

// UPS and variable names are matched without regard to case, as upsd does.
bool isUps(const char* name) { return is(name, kUpsName); }

void error(Reply& out, const char* code) {
    out.add("ERR ");
    out.add(code);
    out.end();
}

void ok(Reply& out, const char* text) {
    out.add(text);
    out.end();
}

// Compares the whole field whatever the first difference, so the answer
// time tells nothing about the password.
bool sameField(const TextField& a, const TextField& b) {
    unsigned char diff = 0;
    for (size_t i = 0; i < kTextLen; ++i) diff |= static_cast<unsigned char>(a[i] ^ b[i]);
    return diff == 0;
}

int64_t steadyMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void toSyslog(int priority, const char* line) { syslog(priority, "%s", line); }

// "BEGIN LIST KIND ups" or "END LIST ...", the names as the client wrote them.
void listLine(Reply& out, const char* edge, const char* kind, const char* ups, const char* var = nullptr) {
    out.add(edge);
    out.add(" LIST ");
    out.add(kind);
    out.add(" ");
    out.add(ups);
    if (var != nullptr) {
        out.add(" ");
        out.add(var);
    }
    out.end();
}

}  // namespace

bool Reply::lengthen(size_t bytes) {
    try {
        if (!long_) text_.assign(buf_, len_);
        text_.reserve(len_ + bytes);
    } catch (const std::bad_alloc&) {
        return false;
    } catch (const std::length_error&) {
        return false;
    }
    long_ = true;
    return true;
}

void Reply::put(char c) {
    if (long_) {
        // Within what was reserved, or the answer is cut short as a bounded one.
        if (len_ >= text_.capacity()) {
            overflow_ = true;
            return;
        }
        text_.push_back(c);
        ++len_;
        return;
    }
    if (len_ + 1 >= cap_) {
        overflow_ = true;
        return;
    }
    buf_[len_++] = c;
    buf_[len_] = '\0';
}

void Reply::add(const char* text) {
    for (; *text != '\0'; ++text) put(*text);
}

void Reply::addQuoted(const char* text) {
    put('"');
    for (; *text != '\0'; ++text) {
        if (*text == '"' || *text == '\\') put('\\');
        put(*text);
    }
    put('"');
}

void Reply::addNumber(long value) {
    char n[24];
    std::snprintf(n, sizeof n, "%ld", value);
    add(n);
}

UpsProtocol::UpsProtocol(const NetConfig& config, Clock clock)
    : config_(config), clock_(clock != nullptr ? clock : steadyMs), log_(toSyslog) {}

void UpsProtocol::setState(int32_t upsState, int32_t secondsLeft, const char* port) {
    upsState_ = upsState;
    secondsLeft_ = secondsLeft;
    setText(port_, port);
    if (followerFsd_ && upsState == AcOk && clock_() - followerFsdAtMs_ >= kFollowerFsdHoldMs) {
        followerFsd_ = false;
        if (log_) log_(LOG_NOTICE, "network: mains is back: the forced shutdown a follower ordered is withdrawn");
    }
}

bool UpsProtocol::attach(Session* s) {
    try {
        sessions_.push_back(s);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

void UpsProtocol::detach(Session* s) {
    auto it = std::find(sessions_.begin(), sessions_.end(), s);
    if (it == sessions_.end()) return;
    if (s->loggedIn && !s->loggedOut) note(LOG_NOTICE, "left without logging out", *s);
    sessions_.erase(it);
    // After a crowd has gone, its memory goes too.
    if (sessions_.size() < sessions_.capacity() / 4) sessions_.shrink_to_fit();
}

int UpsProtocol::loginCount() const {
    int n = 0;
    for (const Session* s : sessions_)
        if (s->loggedIn) ++n;
    return n;
}

const char* UpsProtocol::statusText() const {
    const char* base = "";
    switch (upsState_) {
    case AcOk:
        base = "OL";
        break;
    case AcFail:
        base = "OB";
        break;
    case BatteryLow:
        base = "OB LB";
        break;
    default:
        return "";
    }
    std::snprintf(status_, sizeof status_, "%s%s", forcedShutdown() ? "FSD " : "", base);
    return status_;
}

namespace {

int findVar(const char* name) {
    for (int i = 0; i < VarCount; ++i)
        if (is(name, kVars[i].name)) return i;
    return -1;
}

}  // namespace

bool UpsProtocol::varValue(int var, char* buf, size_t size) const {
    const char* text = nullptr;
    switch (var) {
    case BatteryRuntime:
        std::snprintf(buf, size, "%ld", static_cast<long>(secondsLeft_ < 0 ? 0 : secondsLeft_));
        return true;
    case DeviceMfr:
    case UpsMfr:
        text = kMaker;
        break;
    case DeviceModel:
    case UpsModel:
        text = kModel;
        break;
    case DeviceSerial:
        text = config_.serial;
        break;
    case DeviceType:
        text = "ups";
        break;
    case DriverName:
        text = "qor";
        break;
    case DriverPort:
        text = port_;
        break;
    case DriverVersion:
        text = "1.0";
        break;
    case UpsStatus:
        text = statusText();
        break;
    default:
        return false;
    }
    copyBounded(buf, size, text);
    return true;
}

const NetUser* UpsProtocol::userOf(const Session& s) const {
    const NetUser* found = nullptr;
    if (s.overlong) return nullptr;
    for (int i = 0; i < config_.userCount; ++i) {
        const NetUser& u = config_.users[i];
        if (std::strcmp(u.name, s.user) == 0 && sameField(u.password, s.password)) found = &u;
    }
    return found;
}

void UpsProtocol::note(int priority, const char* what, const Session& s) {
    if (!log_) return;
    // The name is the client's: blanks other than spaces could fake a line of their own.
    char name[65];
    copyBounded(name, sizeof name, s.hasUser ? s.user : "(no name)");
    for (char* c = name; *c != '\0'; ++c)
        if (static_cast<unsigned char>(*c) < 0x20 || *c == 0x7f) *c = '?';
    char line[400];
    std::snprintf(line, sizeof line, "network: %s@%s %s", name, s.peer[0] != '\0' ? s.peer : "?", what);
    log_(priority, line);
}

void UpsProtocol::noteRefusal(unsigned kind, const char* what, Session& s) {
    // Asking again on the same connection changes nothing: it does not fill the log.
    if ((s.refusalsLogged & kind) != 0) return;
    s.refusalsLogged |= kind;
    note(LOG_WARNING, what, s);
}

After UpsProtocol::handle(Session& s, const char* line, size_t len, Reply& out) {
    Words w;
    if (!splitWords(line, len, w)) return After::Stay;
    if (w.count == 0) {
        error(out, "UNKNOWN-COMMAND");
        return After::Stay;
    }
    const char* cmd = w.word[0];
    int argc = w.count - 1;
    const char* const* argv = w.word + 1;
    // These act for a user: the name and password come first, before any check of the words.
    if (is(cmd, "LOGIN") || is(cmd, "PRIMARY") || is(cmd, "MASTER") || is(cmd, "FSD") || is(cmd, "SET") ||
        is(cmd, "INSTCMD")) {
        if (!s.hasUser) {
            error(out, "USERNAME-REQUIRED");
            return After::Stay;
        }
        if (!s.hasPassword) {
            error(out, "PASSWORD-REQUIRED");
            return After::Stay;
        }
    }
    if (is(cmd, "VER") || is(cmd, "HELP") || is(cmd, "NETVER") || is(cmd, "PROTVER")) {
        if (argc != 0) error(out, "INVALID-ARGUMENT");
        else ok(out, is(cmd, "VER") ? kVersion : is(cmd, "HELP") ? kHelp : kProtocolVersion);
    } else if (is(cmd, "GET")) {
        get(s, argc, argv, out);
    } else if (is(cmd, "LIST")) {
        list(argc, argv, out);
    } else if (is(cmd, "USERNAME") || is(cmd, "PASSWORD")) {
        credential(s, is(cmd, "USERNAME"), argc, argv, out);
    } else if (is(cmd, "LOGIN")) {
        login(s, argc, argv, out);
    } else if (is(cmd, "LOGOUT")) {
        if (argc != 0) {
            error(out, "INVALID-ARGUMENT");
            return After::Stay;
        }
        if (s.loggedIn && !s.loggedOut) note(LOG_NOTICE, "logged out", s);
        s.loggedOut = true;
        ok(out, "OK Goodbye");
        return After::Close;
    } else if (is(cmd, "PRIMARY") || is(cmd, "MASTER")) {
        primary(s, cmd, argc, argv, out);
    } else if (is(cmd, "FSD")) {
        forceShutdown(s, argc, argv, out);
    } else if (is(cmd, "SET")) {
        set(s, argc, argv, out);
    } else if (is(cmd, "INSTCMD")) {
        instcmd(argc, argv, out);
    } else if (is(cmd, "STARTTLS")) {
        // Clients try it and go on in clear when it is refused this way.
        error(out, "FEATURE-NOT-CONFIGURED");
    } else {
        error(out, "UNKNOWN-COMMAND");
    }
    return After::Stay;
}

void UpsProtocol::get(Session& s, int argc, const char* const* argv, Reply& out) {
    if (argc < 1) return error(out, "INVALID-ARGUMENT");
    const char* what = argv[0];
    if (is(what, "TRACKING")) {
        if (argc == 1) return ok(out, s.tracking ? "ON" : "OFF");
        // No command is ever tracked here, so no id is known.
        return error(out, s.tracking ? "UNKNOWN" : "FEATURE-NOT-CONFIGURED");
    }
    if (argc < 2) return error(out, "INVALID-ARGUMENT");
    bool perVar = is(what, "VAR") || is(what, "TYPE") || is(what, "DESC") || is(what, "CMDDESC");
    if (!perVar && !is(what, "NUMLOGINS") && !is(what, "UPSDESC")) return error(out, "INVALID-ARGUMENT");
    if (perVar && argc < 3) return error(out, "INVALID-ARGUMENT");
    const char* ups = argv[1];
    if (!isUps(ups)) return error(out, "UNKNOWN-UPS");
    // While no UPS is seen, all but its description is stale, as upsd has it.
    if (!is(what, "UPSDESC") && statusText()[0] == '\0') return error(out, "DATA-STALE");
    if (is(what, "NUMLOGINS")) {
        out.add("NUMLOGINS ");
        out.add(ups);
        out.add(" ");
        out.addNumber(loginCount());
        return out.end();
    }
    if (is(what, "UPSDESC")) {
        out.add("UPSDESC ");
        out.add(ups);
        out.add(" ");
        out.addQuoted(kDescription);
        return out.end();
    }
    const char* name = argv[2];
    int var = findVar(name);
    if (var == DeviceSerial && config_.serial[0] == '\0') var = -1;
    auto head = [&](const char* kind) {
        out.add(kind);
        out.add(" ");
        out.add(ups);
        out.add(" ");
        out.add(name);
        out.add(" ");
    };
    if (is(what, "DESC") || is(what, "CMDDESC")) {
        // Described by name, whether this UPS has it or not; it has no commands.
        head(is(what, "DESC") ? "DESC" : "CMDDESC");
        out.addQuoted(is(what, "DESC") && var >= 0 ? kVars[var].desc : kNoDescription);
        return out.end();
    }
    if (is(what, "TYPE")) {
        if (var < 0) return error(out, "VAR-NOT-SUPPORTED");
        head("TYPE");
        out.add(kVars[var].type);
        return out.end();
    }
    char value[kTextLen];
    if (var < 0 || !varValue(var, value, sizeof value)) return error(out, "VAR-NOT-SUPPORTED");
    head("VAR");
    out.addQuoted(value);
    out.end();
}

void UpsProtocol::list(int argc, const char* const* argv, Reply& out) {
    if (argc < 1) return error(out, "INVALID-ARGUMENT");
    const char* what = argv[0];
    if (is(what, "UPS")) {
        out.add("BEGIN LIST UPS\nUPS ");
        out.add(kUpsName);
        out.add(" ");
        out.addQuoted(kDescription);
        out.add("\nEND LIST UPS\n");
        return;
    }
    if (argc < 2) return error(out, "INVALID-ARGUMENT");
    bool perVar = is(what, "ENUM") || is(what, "RANGE");
    if (!perVar && !is(what, "VAR") && !is(what, "RW") && !is(what, "CMD") && !is(what, "CLIENT"))
        return error(out, "INVALID-ARGUMENT");
    if (perVar && argc < 3) return error(out, "INVALID-ARGUMENT");
    const char* ups = argv[1];
    if (!isUps(ups)) return error(out, "UNKNOWN-UPS");
    if (!is(what, "CLIENT") && statusText()[0] == '\0') return error(out, "DATA-STALE");
    const char* kind = is(what, "VAR") ? "VAR" : is(what, "RW") ? "RW" : is(what, "CMD") ? "CMD"
                     : is(what, "CLIENT") ? "CLIENT" : is(what, "ENUM") ? "ENUM" : "RANGE";
    if (perVar) {
        int var = findVar(argv[2]);
        if (var < 0 || (var == DeviceSerial && config_.serial[0] == '\0')) return error(out, "VAR-NOT-SUPPORTED");
        // Nothing here can be set: no variable has a list of choices or a range.
        listLine(out, "BEGIN", kind, ups, argv[2]);
        return listLine(out, "END", kind, ups, argv[2]);
    }
    listLine(out, "BEGIN", kind, ups);
    if (is(kind, "VAR")) {
        char value[kTextLen];
        for (int v = 0; v < VarCount; ++v) {
            if (v == DeviceSerial && config_.serial[0] == '\0') continue;
            varValue(v, value, sizeof value);
            out.add("VAR ");
            out.add(ups);
            out.add(" ");
            out.add(kVars[v].name);
            out.add(" ");
            out.addQuoted(value);
            out.end();
        }
    } else if (is(kind, "CLIENT")) {
        // However many the followers, the list comes whole: it alone may be
        // longer than kMaxReply. Short of memory it is cut short, still closed.
        size_t endLen = std::strlen("END LIST CLIENT \n") + std::strlen(ups);
        size_t whole = endLen;
        for (const Session* c : sessions_)
            if (c->loggedIn) whole += std::strlen("CLIENT  \n") + std::strlen(kUpsName) + strnlen(c->peer, sizeof c->peer);
        if (whole > out.room()) out.lengthen(whole);
        for (const Session* c : sessions_) {
            if (!c->loggedIn) continue;
            if (out.room() < endLen + std::strlen("CLIENT  \n") + std::strlen(kUpsName) + std::strlen(c->peer)) break;
            out.add("CLIENT ");
            out.add(kUpsName);
            out.add(" ");
            out.add(c->peer);
            out.end();
        }
    }
    // Nothing here can be set or commanded: CMD and RW are empty lists.
    listLine(out, "END", kind, ups);
}

void UpsProtocol::credential(Session& s, bool user, int argc, const char* const* argv, Reply& out) {
    if (argc != 1) return error(out, "INVALID-ARGUMENT");
    bool& set = user ? s.hasUser : s.hasPassword;
    if (set) return error(out, user ? "ALREADY-SET-USERNAME" : "ALREADY-SET-PASSWORD");
    // Any length is taken; one longer than a field can hold matches no user.
    if (std::strlen(argv[0]) >= kTextLen) s.overlong = true;
    setText(user ? s.user : s.password, argv[0]);
    set = true;
    ok(out, "OK");
}

void UpsProtocol::login(Session& s, int argc, const char* const* argv, Reply& out) {
    if (argc != 1) return error(out, "INVALID-ARGUMENT");
    if (s.loggedIn) return error(out, "ALREADY-LOGGED-IN");
    if (!isUps(argv[0])) return error(out, "UNKNOWN-UPS");
    if (userOf(s) == nullptr) {
        noteRefusal(1, "refused: wrong name or password", s);
        return error(out, "ACCESS-DENIED");
    }
    s.loggedIn = true;
    note(LOG_NOTICE, "logged in", s);
    ok(out, "OK");
}

void UpsProtocol::primary(Session& s, const char* cmd, int argc, const char* const* argv, Reply& out) {
    if (argc != 1) return error(out, "INVALID-ARGUMENT");
    if (!isUps(argv[0])) return error(out, "UNKNOWN-UPS");
    const NetUser* u = userOf(s);
    if (u == nullptr || !u->primary) return error(out, "ACCESS-DENIED");
    ok(out, is(cmd, "MASTER") ? "OK MASTER-GRANTED" : "OK PRIMARY-GRANTED");
}

void UpsProtocol::forceShutdown(Session& s, int argc, const char* const* argv, Reply& out) {
    if (argc != 1) return error(out, "INVALID-ARGUMENT");
    if (!isUps(argv[0])) return error(out, "UNKNOWN-UPS");
    const NetUser* u = userOf(s);
    if (u == nullptr || !u->primary) {
        noteRefusal(2, "refused the forced shutdown: not a primary with this password", s);
        return error(out, "ACCESS-DENIED");
    }
    if (!followerFsd_) followerFsdAtMs_ = clock_();
    followerFsd_ = true;
    note(LOG_WARNING, "ordered the forced shutdown of every follower", s);
    ok(out, "OK FSD-SET");
}

void UpsProtocol::set(Session& s, int argc, const char* const* argv, Reply& out) {
    if (argc < 1) return error(out, "INVALID-ARGUMENT");
    if (is(argv[0], "TRACKING")) {
        if (argc < 2 || (!is(argv[1], "ON") && !is(argv[1], "OFF"))) return error(out, "INVALID-ARGUMENT");
        s.tracking = is(argv[1], "ON");
        return ok(out, "OK");
    }
    if (!is(argv[0], "VAR") || argc < 4) return error(out, "INVALID-ARGUMENT");
    if (!isUps(argv[1])) return error(out, "UNKNOWN-UPS");
    if (statusText()[0] == '\0') return error(out, "DATA-STALE");
    // No user here may set anything (and nothing could be set).
    error(out, "ACCESS-DENIED");
}

void UpsProtocol::instcmd(int argc, const char* const* argv, Reply& out) {
    if (argc < 2) return error(out, "INVALID-ARGUMENT");
    if (!isUps(argv[0])) return error(out, "UNKNOWN-UPS");
    if (statusText()[0] == '\0') return error(out, "DATA-STALE");
    error(out, "CMD-NOT-SUPPORTED");  // this UPS takes no commands
}

}  // namespace qor::net
