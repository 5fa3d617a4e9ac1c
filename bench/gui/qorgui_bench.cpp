// qorgui's cost at rest and of one repaint.
//
// QorguiIdle runs the real program in the sandbox on a private Xvfb with a
// simulated UPS on /dev/ttyS0 reporting mains present, and measures over 60 s:
// the CPU time it used (cpu_percent, cpu_ms) and its peak resident set
// (peak_rss_kb, the kernel's VmHWM). Root only; it is skipped otherwise.
//
// PaintMainWindow is the panel's paint handler drawing into an image.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <QApplication>
#include <QImage>
#include <QPainter>

#include <chrono>
#include <cstdlib>
#include <sstream>
#include <thread>

#include "artwork.h"
#include "button_bar.h"
#include "panel_painter.h"
#include "sandbox_fixture.h"
#include "status_panel.h"

namespace {

using qor::sandbox::Sandbox;

// utime + stime in clock ticks, from /proc/PID/stat inside the sandbox.
bool cpuTicks(const Sandbox& sb, const std::string& pid, long long& ticks) {
    std::string out;
    if (sb.enter({"cat", "/proc/" + pid + "/stat"}, &out, 5000) != 0) return false;
    size_t close = out.rfind(')');
    if (close == std::string::npos) return false;
    std::istringstream in(out.substr(close + 2));
    std::string field;
    long long utime = 0, stime = 0;
    // Fields after the name start at 3 (state); utime is 14, stime 15.
    for (int i = 3; i <= 15 && (in >> field); ++i) {
        if (i == 14) utime = std::atoll(field.c_str());
        if (i == 15) stime = std::atoll(field.c_str());
    }
    ticks = utime + stime;
    return true;
}

long long statusKb(const Sandbox& sb, const std::string& pid, const std::string& key) {
    std::string out;
    if (sb.enter({"cat", "/proc/" + pid + "/status"}, &out, 5000) != 0) return -1;
    size_t at = out.find(key + ":");
    if (at == std::string::npos) return -1;
    return std::atoll(out.c_str() + at + key.size() + 1);
}

void QorguiIdle(benchmark::State& state) {
    if (geteuid() != 0) {
        state.SkipWithError("needs root (the sandbox)");
        return;
    }
    for (auto _ : state) {
        Sandbox sb;
        sb.port("ttyS0");
        sb.setLines("ttyS0", true, true);
        auto child = sb.start({ON_XVFB, sb.dir(), QORGUI_PATH});
        std::string pid;
        bool up = child && qor::sandbox::waitUntil(
                               [&] {
                                   auto p = qor::sandbox::readFile(sb.path("app.pid"));
                                   if (!p || p->empty()) return false;
                                   pid = std::to_string(std::atoi(p->c_str()));
                                   return true;
                               },
                               15000, 50);
        if (!up) {
            state.SkipWithError("qorgui did not start");
            return;
        }
        // Past start-up and detection: what is measured is the steady state.
        std::this_thread::sleep_for(std::chrono::seconds(5));
        long long t0 = 0, t1 = 0;
        if (!cpuTicks(sb, pid, t0)) {
            state.SkipWithError("cannot read /proc of qorgui");
            return;
        }
        auto start = std::chrono::steady_clock::now();
        std::this_thread::sleep_for(std::chrono::seconds(60));
        bool ok = cpuTicks(sb, pid, t1);
        double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        long long hwm = statusKb(sb, pid, "VmHWM");
        long long rss = statusKb(sb, pid, "VmRSS");
        sb.stop(5000);
        if (!ok) {
            state.SkipWithError("qorgui ended during the measurement");
            return;
        }
        double cpuSec = static_cast<double>(t1 - t0) / static_cast<double>(sysconf(_SC_CLK_TCK));
        state.SetIterationTime(wall);
        state.counters["cpu_ms"] = cpuSec * 1000.0;
        state.counters["cpu_percent"] = 100.0 * cpuSec / wall;
        state.counters["peak_rss_kb"] = static_cast<double>(hwm);
        state.counters["rss_kb"] = static_cast<double>(rss);
    }
}
BENCHMARK(QorguiIdle)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

void PaintMainWindow(benchmark::State& state) {
    const qor::gui::Artwork art = qor::gui::Artwork::load();
    QImage target(363, 229, QImage::Format_RGB32);
    int hover[qor::gui::kButtonCount] = {0, 1, 0, 0};
    int blink = 0;
    for (auto _ : state) {
        QPainter p(&target);
        p.drawPixmap(0, 0, art.background);
        qor::gui::PanelContent content =
            qor::gui::panelContent(qor::DisplayAcFail, "/dev/ttyS0", 540, blink ^= 1);
        qor::gui::paintMainWindow(p, art, content, hover);
        p.end();
        benchmark::DoNotOptimize(target.constBits());
    }
}
BENCHMARK(PaintMainWindow)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
