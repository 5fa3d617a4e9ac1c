// A terminating signal reaches the program as an ordinary Qt signal, so the
// window can close and save its log.
#include <gtest/gtest.h>

#include <signal.h>

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>

#include "termination_signals.h"

namespace qor::gui::test {
namespace {

TEST(TerminationSignals, EachSignalBecomesARequest) {
    TerminationSignals sigs;
    ASSERT_TRUE(sigs.installed());
    QSignalSpy spy(&sigs, &TerminationSignals::terminationRequested);
    for (int signo : {SIGTERM, SIGHUP, SIGINT}) {
        spy.clear();
        ASSERT_EQ(::raise(signo), 0);  // the process survives it
        ASSERT_TRUE(spy.wait(2000)) << signo;
        EXPECT_EQ(spy.takeFirst().at(0).toInt(), signo);
    }
}

}  // namespace
}  // namespace qor::gui::test
