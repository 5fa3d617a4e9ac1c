// A Hayes-style modem played on the master side of a pty: it echoes each
// command, answers OK, and answers a dial as configured (CONNECT, BUSY,
// NO DIALTONE, OK or nothing). Every command line it receives is recorded.
#pragma once

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace qor::test {

struct HayesOptions {
    enum class Dial { Connect, Busy, NoDialtone, Ok, Silent };
    Dial dial = Dial::Connect;
    bool echo = true;
    bool answerInit = true;  // false: a dead modem that never says anything
    int delayMs = 100;       // a real modem takes a moment before it answers
    int guardMs = 500;       // silence after "+++" that makes it an escape
    std::string recordPath;  // also append each command line here (and to PATH.times with its time)
};

bool parseDial(const std::string& word, HayesOptions::Dial& dial);

class HayesEmulator {
public:
    // Reads commands from `in`, answers on `out` (the same pty master in
    // tests, stdin and stdout as an exec'd port program).
    HayesEmulator(int in, int out, HayesOptions options);
    ~HayesEmulator();

    void start();  // on a thread of its own
    void stop();
    void run();    // in the calling thread, until stop() or end of input

    std::vector<std::string> commands() const;
    // Waits until a command ending in `suffix` has been received after
    // `after` earlier commands; false on time-out.
    bool waitForCommand(const std::string& suffix, int ms, size_t after = 0) const;
    std::string raw() const;  // every byte received

private:
    void line(const std::string& text);
    void send(const std::string& text);

    int in_, out_;
    HayesOptions o_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
    mutable std::mutex m_;
    std::vector<std::string> commands_;
    std::string raw_;
};

}  // namespace qor::test
