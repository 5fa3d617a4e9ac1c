#include "ups_protocol.h"

#include <strings.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>

#include "bounded_text.h"
#include "command_words.h"
#include "ups_status.h"

namespace qor::net {

namespace {

constexpr const char* kVersion = "Brantel Halvora Qor Utility 1.0";
constexpr const char* kProtocolVersion = "1.3";
constexpr const char* kHelp = "Commands: HELP VER GET LIST LOGIN LOGOUT USERNAME PASSWORD FSD";
constexpr const char* kDescription = "Qor contact-closure UPS";
constexpr const char* kMaker = "Generic";
constexpr const char* kModel = "Contact closure";

// In the order the clients list them (sorted).
constexpr const char* kVarNames[] = {
    "battery.runtime", "device.mfr", "device.model", "device.type", "driver.name",
    "driver.parameter.port", "driver.version", "ups.mfr", "ups.model", "ups.status",
};

bool is(const char* a, const char* b) { return strcasecmp(a, b) == 0; }

void error(Reply& out, const char* code) {
    out.add("ERR ");
    out.add(code);
    out.end();
}

// Compares the whole field whatever the first difference, so the answer
// time tells nothing about the password.
bool sameField(const TextField& a, const TextField& b) {
    unsigned char diff = 0;
    for (size_t i = 0; i < kTextLen; ++i) diff |= static_cast<unsigned char>(a[i] ^ b[i]);
    return diff == 0;
}

}  // namespace

void Reply::put(char c) {
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

UpsProtocol::UpsProtocol(const NetConfig& config) : config_(config) {}

void UpsProtocol::setState(int32_t upsState, int32_t secondsLeft, const char* port) {
    upsState_ = upsState;
    secondsLeft_ = secondsLeft;
    setText(port_, port);
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
    std::snprintf(status_, sizeof status_, "%s%s", fsd_ ? "FSD " : "", base);
    return status_;
}

bool UpsProtocol::varValue(const char* name, char* buf, size_t size) const {
    const char* text = nullptr;
    if (std::strcmp(name, "battery.runtime") == 0) {
        std::snprintf(buf, size, "%ld", static_cast<long>(secondsLeft_ < 0 ? 0 : secondsLeft_));
        return true;
    }
    if (std::strcmp(name, "device.mfr") == 0 || std::strcmp(name, "ups.mfr") == 0) text = kMaker;
    else if (std::strcmp(name, "device.model") == 0 || std::strcmp(name, "ups.model") == 0) text = kModel;
    else if (std::strcmp(name, "device.type") == 0) text = "ups";
    else if (std::strcmp(name, "driver.name") == 0) text = "qor";
    else if (std::strcmp(name, "driver.parameter.port") == 0) text = port_;
    else if (std::strcmp(name, "driver.version") == 0) text = "1.0";
    else if (std::strcmp(name, "ups.status") == 0) text = statusText();
    if (text == nullptr) return false;
    copyBounded(buf, size, text);
    return true;
}

void UpsProtocol::listVars(Reply& out, const char* prefix) {
    char value[kTextLen];
    for (const char* name : kVarNames) {
        varValue(name, value, sizeof value);
        out.add(prefix);
        out.add(name);
        out.add(" ");
        out.addQuoted(value);
        out.end();
    }
}

bool UpsProtocol::credentialsValid(const Session& s) const {
    bool ok = false;
    for (int i = 0; i < config_.userCount; ++i) {
        const NetUser& u = config_.users[i];
        if (std::strcmp(u.name, s.user) == 0 && sameField(u.password, s.password)) ok = true;
    }
    return ok;
}

After UpsProtocol::handle(Session& s, const char* line, size_t len, Reply& out) {
    Words w;
    if (!splitWords(line, len, w)) {
        error(out, "INVALID-ARGUMENT");
        return After::Stay;
    }
    if (w.count == 0) {
        error(out, "UNKNOWN-COMMAND");
        return After::Stay;
    }
    const char* cmd = w.word[0];
    int argc = w.count - 1;
    const char* const* argv = w.word + 1;
    if (is(cmd, "VER") || is(cmd, "HELP") || is(cmd, "NETVER") || is(cmd, "PROTVER")) {
        if (argc != 0) {
            error(out, "INVALID-ARGUMENT");
        } else {
            out.add(is(cmd, "VER") ? kVersion : is(cmd, "HELP") ? kHelp : kProtocolVersion);
            out.end();
        }
    } else if (is(cmd, "GET")) {
        get(s, argc, argv, out);
    } else if (is(cmd, "LIST")) {
        list(argc, argv, out);
    } else if (is(cmd, "USERNAME") || is(cmd, "PASSWORD")) {
        bool user = is(cmd, "USERNAME");
        bool& set = user ? s.hasUser : s.hasPassword;
        if (argc < 1 || std::strlen(argv[0]) >= kTextLen) {
            error(out, "INVALID-ARGUMENT");
        } else if (set) {
            error(out, user ? "ALREADY-SET-USERNAME" : "ALREADY-SET-PASSWORD");
        } else {
            setText(user ? s.user : s.password, argv[0]);
            set = true;
            out.add("OK");
            out.end();
        }
    } else if (is(cmd, "LOGIN")) {
        login(s, argc, argv, out);
    } else if (is(cmd, "LOGOUT")) {
        s.loggedIn = false;
        out.add("OK Goodbye");
        out.end();
        return After::Close;
    } else if (is(cmd, "FSD")) {
        forceShutdown(s, argc, argv, out);
    } else if (is(cmd, "STARTTLS")) {
        // Clients try it and go on in clear when it is refused this way.
        error(out, "FEATURE-NOT-CONFIGURED");
    } else {
        error(out, "UNKNOWN-COMMAND");
    }
    return After::Stay;
}

void UpsProtocol::get(Session&, int argc, const char* const* argv, Reply& out) {
    if (argc < 2) return error(out, "INVALID-ARGUMENT");
    const char* what = argv[0];
    bool var = is(what, "VAR");
    if (!var && !is(what, "NUMLOGINS") && !is(what, "UPSDESC")) return error(out, "INVALID-ARGUMENT");
    if (var && argc < 3) return error(out, "INVALID-ARGUMENT");
    if (std::strcmp(argv[1], kUpsName) != 0) return error(out, "UNKNOWN-UPS");
    if (is(what, "NUMLOGINS")) {
        out.add("NUMLOGINS qor ");
        out.addNumber(loginCount());
        return out.end();
    }
    if (is(what, "UPSDESC")) {
        out.add("UPSDESC qor ");
        out.addQuoted(kDescription);
        return out.end();
    }
    if (statusText()[0] == '\0') return error(out, "DATA-STALE");
    char value[kTextLen];
    if (!varValue(argv[2], value, sizeof value)) return error(out, "VAR-NOT-SUPPORTED");
    out.add("VAR qor ");
    out.add(argv[2]);
    out.add(" ");
    out.addQuoted(value);
    out.end();
}

void UpsProtocol::list(int argc, const char* const* argv, Reply& out) {
    if (argc < 1) return error(out, "INVALID-ARGUMENT");
    const char* what = argv[0];
    if (is(what, "UPS")) {
        out.add("BEGIN LIST UPS\nUPS qor ");
        out.addQuoted(kDescription);
        out.add("\nEND LIST UPS\n");
        return;
    }
    bool known = is(what, "VAR") || is(what, "CLIENT") || is(what, "CMD") || is(what, "RW");
    if (!known || argc < 2) return error(out, "INVALID-ARGUMENT");
    if (std::strcmp(argv[1], kUpsName) != 0) return error(out, "UNKNOWN-UPS");
    if (is(what, "VAR") && statusText()[0] == '\0') return error(out, "DATA-STALE");
    char kind[8];
    std::snprintf(kind, sizeof kind, "%s", is(what, "VAR") ? "VAR" : is(what, "CLIENT") ? "CLIENT"
                                                                   : is(what, "CMD")    ? "CMD"
                                                                                        : "RW");
    out.add("BEGIN LIST ");
    out.add(kind);
    out.add(" qor\n");
    if (is(what, "VAR")) {
        listVars(out, "VAR qor ");
    } else if (is(what, "CLIENT")) {
        for (const Session* c : sessions_) {
            if (!c->loggedIn) continue;
            out.add("CLIENT qor ");
            out.add(c->peer);
            out.end();
        }
    }
    // Nothing here can be set or commanded: CMD and RW are empty lists.
    out.add("END LIST ");
    out.add(kind);
    out.add(" qor\n");
}

void UpsProtocol::login(Session& s, int argc, const char* const* argv, Reply& out) {
    if (s.loggedIn) return error(out, "ALREADY-LOGGED-IN");
    if (argc < 1) return error(out, "INVALID-ARGUMENT");
    if (!s.hasUser) return error(out, "USERNAME-REQUIRED");
    if (!s.hasPassword) return error(out, "PASSWORD-REQUIRED");
    if (std::strcmp(argv[0], kUpsName) != 0) return error(out, "UNKNOWN-UPS");
    if (!credentialsValid(s)) return error(out, "ACCESS-DENIED");
    s.loggedIn = true;
    out.add("OK");
    out.end();
}

void UpsProtocol::forceShutdown(Session& s, int argc, const char* const* argv, Reply& out) {
    if (argc < 1) return error(out, "INVALID-ARGUMENT");
    if (!s.hasUser) return error(out, "USERNAME-REQUIRED");
    if (!s.hasPassword) return error(out, "PASSWORD-REQUIRED");
    if (std::strcmp(argv[0], kUpsName) != 0) return error(out, "UNKNOWN-UPS");
    if (!s.loggedIn) return error(out, "ACCESS-DENIED");
    fsd_ = true;
    out.add("OK FSD-SET");
    out.end();
}

}  // namespace qor::net
