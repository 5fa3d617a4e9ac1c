#include "mail_sender.h"

#include <winsock2.h>
#include <windows.h>

#include <cstring>
#include <string>

#include "app_state.h"
#include "mail_dialogue.h"
#include "logs.h"
#include "registry_store.h"
#include "smtp_reply.h"
#include "socket_source.h"
#include "wininet_dialer.h"
#include "worker_threads.h"

namespace qorwin {
namespace {

// Every wait on the server is bounded, so a server that never answers costs
// one time-out per step and cannot hold the thread for good.
constexpr int kServerTimeoutMs = 30000;
constexpr int kReplyLineSize = 1001;  // at most 1000 bytes of a reply line are kept

class Socket {
public:
    Socket() : s_(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP)) {}
    ~Socket() {
        if (s_ != INVALID_SOCKET) closesocket(s_);
    }
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;
    SOCKET get() const { return s_; }
    explicit operator bool() const { return s_ != INVALID_SOCKET; }

private:
    SOCKET s_;
};

bool WaitConnected(SOCKET s, int ms) {
    fd_set done;
    FD_ZERO(&done);
    FD_SET(s, &done);
    fd_set failed;
    FD_ZERO(&failed);
    FD_SET(s, &failed);
    timeval tv{ms / 1000, (ms % 1000) * 1000};
    return select(0, nullptr, &done, &failed, &tv) > 0 && FD_ISSET(s, &done);
}

// The server field as a dotted address, else the first address of its name.
bool ServerAddress(const std::string& server, sockaddr_in& out) {
    out = {};
    out.sin_family = AF_INET;
    out.sin_port = htons(kSmtpPort);
    unsigned long a = inet_addr(server.c_str());
    if (a == INADDR_NONE) {
        const hostent* h = server.empty() ? nullptr : gethostbyname(server.c_str());
        if (h == nullptr || h->h_addrtype != AF_INET || h->h_addr_list[0] == nullptr) {
            WSASetLastError(WSAEINVAL);
            return false;
        }
        std::memcpy(&a, h->h_addr_list[0], sizeof a);
    }
    out.sin_addr.s_addr = a;
    return true;
}

bool ConnectBounded(SOCKET s, const sockaddr_in& to) {
    u_long nonBlocking = 1;
    ioctlsocket(s, FIONBIO, &nonBlocking);
    int r = connect(s, reinterpret_cast<const sockaddr*>(&to), sizeof to);
    bool ok = r == 0 || (WSAGetLastError() == WSAEWOULDBLOCK && WaitConnected(s, kServerTimeoutMs));
    nonBlocking = 0;
    ioctlsocket(s, FIONBIO, &nonBlocking);
    return ok;
}

class SocketMailLine : public MailLine {
public:
    explicit SocketMailLine(SOCKET s) : source_(s, kServerTimeoutMs) {}
    bool Send(const std::string& text) override { return source_.SendAll(text); }
    // A whole reply (continuation lines too, so the next one lines up), each
    // line bounded in length and time; its first three characters count.
    int ReadReply() override {
        char buf[kReplyLineSize] = {};
        qor::common::LineOptions opt{kServerTimeoutMs, false};
        if (qor::common::readSmtpReply(source_, buf, sizeof buf, opt, true) < 0) return -1;
        return qor::common::smtpReplyCode(buf, 3);
    }
    void Pause(unsigned ms) override { Sleep(ms); }

private:
    SocketSource source_;
};

void Converse(const MailPlan& plan) {
    sockaddr_in to;
    Socket s;
    if (!s || !ServerAddress(plan.server, to) || !ConnectBounded(s.get(), to)) return;
    SocketMailLine line(s.get());
    RunMailDialogue(line, plan);
}

}  // namespace

void SendWarningMail(int kind) {
    // The pager and a dial-up link may share the modem line.
    ModemLineTurn turn(LineUser::Mail);

    char host[80] = {};
    if (gethostname(host, sizeof host) != 0) host[0] = '\0';
    host[sizeof host - 1] = '\0';
    char computer[16] = {};
    DWORD size = sizeof computer;
    if (!GetComputerNameA(computer, &size)) computer[0] = '\0';
    computer[sizeof computer - 1] = '\0';

    RegistryStore store;
    MailPlan plan = BuildMailPlan(store, kind, host, computer);
    if (!plan.send) return;

    // Without dialling the line is not needed for this mail.
    if (plan.alwaysConnected) turn.Release();

    WinInetDialer dialer;
    bool canDial = dialer.Load();
    if (!plan.alwaysConnected) {
        if (!canDial) {
            std::string text = dialer.Problem() + ": mail sent without dialling";
            LogEvent(text.c_str());
        } else if (dialer.NeedsDial() && !dialer.Dial(plan.connectionName.c_str())) {
            std::string text = dialer.Problem() + ": mail not sent";
            LogEvent(text.c_str());
            return;
        }
    }

    Converse(plan);

    if (dialer.Dialled() && !plan.alwaysConnected) {
        Sleep(kMailPauseMs);
        dialer.HangUp();
    }
}

}  // namespace qorwin
