// The modem emulator as a port program: the pty master on stdin and stdout.
//   hayes_emu [--dial connect|busy|nodialtone|ok|silent] [--no-echo] [--dead]
//             [--delay-ms N] [--guard-ms N] [--record FILE]
// Without --record it records to $SIMPORT_DIR/modem.record when set.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "hayes_emulator.h"

int main(int argc, char** argv) {
    qor::test::HayesOptions o;
    if (const char* d = std::getenv("SIMPORT_DIR")) o.recordPath = std::string(d) + "/modem.record";
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        bool more = i + 1 < argc;
        if (a == "--dial" && more) {
            if (!qor::test::parseDial(argv[++i], o.dial)) return 2;
        } else if (a == "--no-echo") {
            o.echo = false;
        } else if (a == "--dead") {
            o.answerInit = false;
        } else if (a == "--delay-ms" && more) {
            o.delayMs = std::atoi(argv[++i]);
        } else if (a == "--guard-ms" && more) {
            o.guardMs = std::atoi(argv[++i]);
        } else if (a == "--record" && more) {
            o.recordPath = argv[++i];
        } else {
            std::fprintf(stderr, "hayes_emu: bad argument %s\n", a.c_str());
            return 2;
        }
    }
    qor::test::HayesEmulator emu(0, 1, o);
    emu.run();
    return 0;
}
