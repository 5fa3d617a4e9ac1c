// Runs the real notification passes on the settings in /etc/Qor.conf and
// /etc/Qor.extra, for
// the tests inside qor-sandbox (never outside: it opens serial ports, writes
// /etc/ppp and starts pppd).
//   notify_driver [--scale N] [--edition desktop|console] pager CODE
//   notify_driver [--scale N] [--edition ...] mail CODE
// --scale N divides every sleep of the notification code by N (timings of
// peers, such as the escape guard time, shrink with it).
// While a dial-up link is up, "secrets-while-up:" and the live secrets file
// (escaped) are printed; after the mail pass, each recipient's outcome:
// "outcome SLOT delivered|refused|no-connection WORDS".
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "extra_settings.h"
#include "notify_env.h"
#include "pager_pass.h"
#include "settings_file.h"
#include "warning_mail.h"

namespace {

class ScaledClock : public qor::Clock {
public:
    explicit ScaledClock(long scale) : scale_(scale) {}
    int64_t now() override { return static_cast<int64_t>(time(nullptr)); }
    void sleepMicros(long usec) override { std::this_thread::sleep_for(std::chrono::microseconds(usec / scale_)); }

private:
    long scale_;
};

std::string escaped(const std::string& s) {
    std::string o;
    for (char c : s) {
        if (c == '\n') o += "\\n";
        else if (c == '\t') o += "\\t";
        else o += c;
    }
    return o;
}

// Shows the secrets file the moment the link is up.
class PeekingLink : public qor::DialUpLink {
public:
    PeekingLink(std::unique_ptr<qor::DialUpLink> inner, int method) : inner_(std::move(inner)), method_(method) {}
    bool connect() override { return inner_->connect(); }
    bool waitForLink() override {
        bool up = inner_->waitForLink();
        if (up) {
            std::ifstream f(method_ == 1 ? "/etc/ppp/chap-secrets" : "/etc/ppp/pap-secrets");
            std::stringstream ss;
            ss << f.rdbuf();
            std::printf("secrets-while-up:%s\n", escaped(ss.str()).c_str());
            std::fflush(stdout);
        }
        return up;
    }
    bool disconnect() override { return inner_->disconnect(); }

private:
    std::unique_ptr<qor::DialUpLink> inner_;
    int method_;
};

}  // namespace

int main(int argc, char** argv) {
    long scale = 1;
    qor::Edition edition = qor::Edition::Console;
    int i = 1;
    for (; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--scale" && i + 1 < argc) {
            scale = std::atol(argv[++i]);
            if (scale < 1) scale = 1;
        } else if (a == "--edition" && i + 1 < argc) {
            edition = std::strcmp(argv[++i], "desktop") == 0 ? qor::Edition::Desktop : qor::Edition::Console;
        } else {
            break;
        }
    }
    if (i + 1 >= argc) {
        std::fprintf(stderr, "usage: notify_driver [--scale N] [--edition E] pager|mail CODE\n");
        return 2;
    }
    std::string mode = argv[i++];
    auto s = std::make_unique<qor::UpsSettings>();
    qor::initSettings(*s, edition);
    qor::terminateTexts(*s);
    qor::ExtraSettings extra;
    qor::loadExtraSettings(qor::kExtraSettingsPath, extra);

    ScaledClock clock(scale);
    qor::SystemNotifyLog log(edition);
    qor::NotifyEnv env;
    env.log = &log;
    env.clock = scale > 1 ? &clock : nullptr;

    if (mode == "pager") {
        qor::runPagerPass(std::atoi(argv[i]), *s, env);
    } else if (mode == "mail") {
        qor::WarningMail mail(*s, extra, env);
        int method = s->dialAuth == 1 ? 1 : 0;
        mail.setLinkFactory([method](const qor::PppSettings* p, const qor::ModemCommands& c, const qor::NotifyEnv& e) {
            return std::unique_ptr<qor::DialUpLink>(
                new PeekingLink(std::unique_ptr<qor::DialUpLink>(new qor::PppClient(p, c, e)), method));
        });
        static const char* const kKinds[] = {"delivered", "refused", "no-connection"};
        mail.runText(qor::warningText(*s, std::atoi(argv[i])), [](int slot, const qor::MailOutcome& o) {
            std::printf("outcome %d %s %s\n", slot, kKinds[o.kind], o.words.c_str());
        });
    } else {
        return 2;
    }
    std::printf("driver-done\n");
    return 0;
}
