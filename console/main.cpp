// qorconsole: the text-terminal UPS monitor.
#include <unistd.h>

#include <csignal>
#include <cstdio>

#include "child_process.h"
#include "key_source.h"
#include "main_win.h"

namespace {

void onTerminate(int) { qor::console::requestQuit(); }

void installHandlers() {
    qor::console::prepareQuitNotice();
    struct sigaction sa {};
    sa.sa_handler = onTerminate;
    sigemptyset(&sa.sa_mask);
    for (int signo : {SIGHUP, SIGINT, SIGTERM, SIGPWR, SIGUSR2}) sigaction(signo, &sa, nullptr);
    // A mail server that closes early must not end the monitor.
    std::signal(SIGPIPE, SIG_IGN);
}

void restoreDefaults() {
    for (int signo : {SIGALRM, SIGHUP, SIGINT, SIGTERM, SIGCHLD, SIGUSR2, SIGPWR}) std::signal(signo, SIG_DFL);
}

}  // namespace

int main(int, char* argv[]) {
    if (getuid() != 0 && geteuid() != 0) {
        std::fprintf(stderr, "%s needs superuser privilege.\n", argv[0]);
        return 1;
    }
    installHandlers();
    {
        // The signal handlers only note the signal; the menus unwind and the
        // application object restores the terminal and closes the port here.
        // The one place the real ports, halt command and files are chosen.
        qor::console::MainWin app(qor::console::ConsoleDeps::system());
        app();
    }
    // Cleared once the terminal is back in its own mode, so the screen the user
    // returns to is the one that is cleared.
    if (!qor::console::quitRequested()) qor::runShellCommand("/usr/bin/clear");
    restoreDefaults();
    return 0;
}
