// Brings up a temporary internet link over the modem for the warning mail:
// dials in a child process, puts the account into the system's PPP secrets
// (keeping the system's own file aside), starts pppd on the modem line and
// watches for ppp0. Disconnecting undoes all of it.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "modem.h"
#include "notify_env.h"
#include "ups_settings.h"

namespace qor {

constexpr size_t kPppTextLen = 128;
constexpr const char* kPppdSearchList = "/sbin:/usr/sbin:/usr/local/sbin:/usr/bin:/usr/local/bin";

struct PppSettings {
    char user[kPppTextLen];
    char password[kPppTextLen];
    char phone[kPppTextLen];
    int16_t auth;         // 0 PAP, 1 CHAP
    int32_t deviceIndex;  // into the six-entry device table
    int32_t dynamicIp;
    char localIp[kPppTextLen];
    char netmask[kPppTextLen];
    char remoteIp[kPppTextLen];
    int32_t defaultRoute;
    ModemParams line;

    // Texts cut to 127 characters; a device index outside 0..4 becomes "none".
    static PppSettings fromSettings(const UpsSettings& s);
};

// Finds pppd along a search list and keeps the first hit; a miss is searched
// again on the next use.
class PppdLocator {
public:
    explicit PppdLocator(std::string searchList = kPppdSearchList) : list_(std::move(searchList)) {}
    std::string find();

private:
    std::mutex m_;
    std::string list_;
    std::string found_;
};
PppdLocator& processPppdLocator();

// The secrets line for one account, or the empty text when the user name or
// password holds a control character (a line feed would start a second
// secrets entry). Quotes and backslashes are escaped for pppd's word parser.
std::string pppSecretsLine(const char* user, const char* password);

// Puts back the system's secrets file that a dial-up still holds aside, ends
// the pppd it started (waiting at most about 5 s), and lets no later dial-up
// of this process swap or connect again: for a program on its way out while
// a worker may be in the middle of a dial-up mail pass.
void endDialUpForExit();

// What the mail pass needs of a dial-up link.
class DialUpLink {
public:
    virtual ~DialUpLink() = default;
    virtual bool connect() = 0;
    virtual bool waitForLink() = 0;
    virtual bool disconnect() = 0;
};

class PppClient : public DialUpLink {
public:
    PppClient(const PppSettings* settings, const ModemCommands& commands, const NotifyEnv& env);
    ~PppClient() override;
    PppClient(const PppClient&) = delete;
    PppClient& operator=(const PppClient&) = delete;

    bool connect() override;
    bool waitForLink() override;
    bool disconnect() override;

    // The command line as text, and the same words as the argument vector
    // pppd is given (no shell ever sees them).
    std::string buildCommandLine() const;
    std::vector<std::string> buildArguments() const;

    bool writeSecrets(int method, const char* user, const char* password);
    bool restoreSecrets(int method);
    // 1 up, 0 present but down, -1 missing, -2 no socket.
    int checkInterface() const;

    const std::string& commandLine() const { return commandLine_; }
    pid_t pppdPid() const { return pppdPid_; }
    CModem& modem() { return modem_; }

private:
    bool dialInChild();
    bool startPppd();
    void stopPppd(bool& gaveUp);
    std::string livePath(int method) const;

    std::string commandLine_;
    CModem modem_;
    const PppSettings* settings_;
    int modemFd_ = -1;
    pid_t pppdPid_ = -1;
    NotifyEnv env_;
};

}  // namespace qor
