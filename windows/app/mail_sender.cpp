#include "mail_sender.h"

#include <winsock2.h>
#include <windows.h>

#include <cstring>
#include <string>

#include "app_state.h"
#include "mail_dialogue.h"
#include "notify_log.h"
#include "registry_store.h"
#include "wininet_dialer.h"

namespace qorwin {
namespace {

// Every wait on the server is bounded, so a server that never answers costs
// one time-out per step and cannot hold the thread for good.
constexpr int kServerTimeoutMs = 30000;
constexpr int kReplyReadSize = 1000;

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

bool WaitSocket(SOCKET s, bool forWrite, int ms) {
    fd_set set;
    FD_ZERO(&set);
    FD_SET(s, &set);
    fd_set err;
    FD_ZERO(&err);
    FD_SET(s, &err);
    timeval tv{ms / 1000, (ms % 1000) * 1000};
    int r = forWrite ? select(0, nullptr, &set, &err, &tv) : select(0, &set, nullptr, nullptr, &tv);
    return r > 0 && FD_ISSET(s, &set);
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
    bool ok = r == 0 || (WSAGetLastError() == WSAEWOULDBLOCK && WaitSocket(s, true, kServerTimeoutMs));
    nonBlocking = 0;
    ioctlsocket(s, FIONBIO, &nonBlocking);
    DWORD ms = kServerTimeoutMs;
    setsockopt(s, SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&ms), sizeof ms);
    return ok;
}

class SocketMailLine : public MailLine {
public:
    explicit SocketMailLine(SOCKET s) : s_(s) {}
    bool Send(const std::string& text) override {
        std::size_t done = 0;
        while (done < text.size()) {
            int n = send(s_, text.data() + done, static_cast<int>(text.size() - done), 0);
            if (n <= 0) return false;
            done += static_cast<std::size_t>(n);
        }
        return true;
    }
    // One receive of at most 1000 bytes per reply.
    int ReadReply() override {
        if (!WaitSocket(s_, false, kServerTimeoutMs)) return -1;
        char buf[kReplyReadSize + 1] = {};
        int n = recv(s_, buf, kReplyReadSize, 0);
        return n > 0 ? ReplyNumber(buf, static_cast<std::size_t>(n)) : -1;
    }
    void Pause(unsigned ms) override { Sleep(ms); }

private:
    SOCKET s_;
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
    if (HANDLE done = Workers().pagerDone) WaitForSingleObject(done, INFINITE);

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

    WinInetDialer dialer;
    bool canDial = dialer.Load();
    if (!plan.alwaysConnected) {
        if (!canDial) {
            std::string text = dialer.Problem() + ": mail sent without dialling";
            NotifyLog(text.c_str());
        } else if (dialer.NeedsDial() && !dialer.Dial(plan.connectionName.c_str())) {
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
