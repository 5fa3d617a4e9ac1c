// Notification throughput on loopback: from the worker's start to the mail
// being accepted (pager off), and mails per second through the mail pass
// against one persistent test server (one connection per mail, as sent).
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstring>
#include <memory>
#include <thread>

#include "notify_dispatch.h"
#include "notify_test_support.h"
#include "warning_mail.h"

namespace {

using qor::test::MiniSmtpServer;

qor::UpsSettings mailSettings(int recipients) {
    qor::UpsSettings s{};
    std::memset(&s, 0, sizeof s);
    qor::storeDefaults(s, qor::Edition::Console);
    s.mailEnable = 1;
    s.pagerEnable = 0;
    s.connectMode = 0;
    qor::setText(s.smtpServer, "127.0.0.1");
    for (int i = 0; i < recipients; ++i) {
        qor::setText(s.mailNames[i], "Recipient " + std::to_string(i));
        qor::setText(s.mailAddrs[i], "r" + std::to_string(i) + "@example.org");
    }
    return s;
}

void BM_WorkerStartToMailAccepted(benchmark::State& state) {
    MiniSmtpServer server;
    qor::UpsSettings s = mailSettings(1);
    qor::NotifyEnv env;
    env.smtpPort = server.port();
    qor::test::CaptureLog log(qor::Edition::Console);
    env.log = &log;
    auto passes = std::make_shared<qor::SystemNotifyPasses>(qor::Edition::Console, env);
    qor::NotifyDispatch dispatch(s, qor::Edition::Console, passes);
    int done = 0;
    for (auto _ : state) {
        dispatch.queueEvent(qor::EvAcFail);
        auto t0 = std::chrono::steady_clock::now();
        dispatch.startWorkerIfIdle();
        while (server.accepted() <= done) std::this_thread::yield();
        auto t1 = std::chrono::steady_clock::now();
        ++done;
        state.SetIterationTime(std::chrono::duration<double>(t1 - t0).count());
        dispatch.waitIdle(10000);  // the worker ends before the next start
    }
}
BENCHMARK(BM_WorkerStartToMailAccepted)->UseManualTime()->Unit(benchmark::kMicrosecond);

void BM_MailPassMailsPerSecond(benchmark::State& state) {
    MiniSmtpServer server;
    qor::UpsSettings s = mailSettings(10);
    qor::NotifyEnv env;
    env.smtpPort = server.port();
    for (auto _ : state) {
        qor::WarningMail mail(s, env);
        mail.run(qor::EvAcFail);
    }
    state.SetItemsProcessed(state.iterations() * 10);
    if (server.accepted() != static_cast<int>(state.iterations() * 10)) state.SkipWithError("mails lost");
}
BENCHMARK(BM_MailPassMailsPerSecond)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
