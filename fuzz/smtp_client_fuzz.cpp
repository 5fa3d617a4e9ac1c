// The Linux edition's SMTP client against a server on loopback that says
// anything: the fuzz input is the whole of what the server sends before it
// closes its side, on each of two connections. On the first: greeting, the
// send sequence of the warning mail, quit and close; on the second, the
// extended exchange of secure submission: EHLO read whole, STARTTLS and its
// handshake when offered, and a login whose password must never show in
// what the client keeps. The client's state is checked after each.
#include <arpa/inet.h>
#include <dirent.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>

#include "fuzz_support.h"
#include "smtp_client.h"
#include "warning_mail.h"

using namespace qor;

namespace {

int listener(int& port) {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    struct sockaddr_in a {};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(fd, 4) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) != 0)
        std::abort();
    port = ntohs(a.sin_port);
    return fd;
}

// Sockets the process holds. Descriptors in general would not do: the
// sanitizer starts its symbolizer on pipes when libFuzzer first names a new
// function, and keeps them.
int openSockets() {
    int n = 0;
    DIR* d = ::opendir("/proc/self/fd");
    if (d == nullptr) std::abort();
    while (struct dirent* e = ::readdir(d)) {
        char link[64] = {};
        std::string path = std::string("/proc/self/fd/") + e->d_name;
        if (::readlink(path.c_str(), link, sizeof link - 1) > 0 && std::strncmp(link, "socket:", 7) == 0) ++n;
    }
    ::closedir(d);
    return n;
}

void checkState(const SmtpClient& c) {
    FUZZ_CHECK(c.errorClassText() != nullptr && c.errorCodeText() != nullptr);
    FUZZ_CHECK(std::memchr(c.reply(), '\0', SmtpClient::kBufferLen) != nullptr);
    FUZZ_CHECK(std::memchr(c.commandText(), '\0', SmtpClient::kBufferLen) != nullptr);
    FUZZ_CHECK(c.replyCode() >= -1 && c.replyCode() <= 999999999);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 16384) return 0;  // well inside the socket buffers
    static int port = 0;
    static int server = listener(port);

    std::atomic<int> done{0};
    std::atomic<int> served{0};
    std::thread peer([&] {
        for (int round = 1; round <= 2; ++round) {
            int fd = ::accept4(server, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0) return;
            size_t sent = 0;
            while (sent < size) {
                ssize_t n = ::send(fd, data + sent, size - sent, MSG_NOSIGNAL);
                if (n <= 0) break;
                sent += static_cast<size_t>(n);
            }
            ::shutdown(fd, SHUT_WR);
            // Open until the client is through: what it sends is left unread.
            while (done.load() < round) std::this_thread::sleep_for(std::chrono::microseconds(50));
            ::close(fd);
            served = round;
        }
    });

    SmtpClient client;
    // Everything arrives at once and ends in a close, so no wait runs out:
    // the bounds only keep a fault from hanging the run.
    client.setReceiveTimeoutMs(2000);
    client.setGreetingWindowMs(60000);
    int opened = client.open("127.0.0.1", port);
    checkState(client);
    FUZZ_CHECK((opened == 0) == client.isOpen());
    if (opened == 0) {
        client.setAddress("ops@example.org");
        client.setMessage(composeWarningMail("AC Fail!", "Ops", "ops@example.org", "qor", "now"));
        bool sent = runSendSequence(client);
        checkState(client);
        if (sent) FUZZ_CHECK(client.lastCommand() == SmtpQuit);
        FUZZ_CHECK(client.close() == 0 && !client.isOpen());
    }
    done = 1;
    while (served.load() < 1) std::this_thread::sleep_for(std::chrono::microseconds(50));

    static const char kSecret[] = "fuzz-secret";
    static const std::string kCoded = base64(kSecret);
    SmtpClient ext;
    ext.setReceiveTimeoutMs(2000);
    ext.setGreetingWindowMs(60000);
    ext.setWholeReplies(true);
    if (ext.open("127.0.0.1", port) == 0) {
        SmtpOffers offers;
        int code = ext.ehlo(offers);
        checkState(ext);
        if (code == 250 && offers.startTls) {
            // Whatever follows a 220 is no server's handshake: TLS never comes on.
            code = ext.startTls("");
            FUZZ_CHECK(!ext.tlsOn());
            FUZZ_CHECK(code != 220 || !ext.isOpen());
            checkState(ext);
        }
        if (ext.isOpen()) {
            SaslMechanism m = chooseMechanism(0, offers);
            ext.auth(m == SaslMechanism::None ? SaslMechanism::Login : m, "ops", kSecret);
            checkState(ext);
            FUZZ_CHECK(std::strstr(ext.reply(), kSecret) == nullptr && std::strstr(ext.reply(), kCoded.c_str()) == nullptr);
            FUZZ_CHECK(std::strstr(ext.commandText(), kCoded.c_str()) == nullptr);
        }
        ext.close();
    }
    done = 2;
    peer.join();
    checkState(client);
    client.close();
    // No socket outlives its connection: only the listener is left.
    FUZZ_CHECK(openSockets() == 1);
    return 0;
}
