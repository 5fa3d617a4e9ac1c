// Stand-ins for the world outside the desktop window: a UPS line whose
// contacts the test sets, a clock the test moves, a shell that only records.
#pragma once

#include <QApplication>
#include <QDialog>
#include <QTemporaryDir>
#include <QTimer>

#include <functional>
#include <string>
#include <vector>

#include "cui_main.h"
#include "engine_io.h"
#include "serial_line.h"

namespace qor::gui::test {

class FakeLine : public UpsLine {
public:
    // Which port answers, and with which modem-status word.
    std::string upsPort = "/dev/ttyS0";
    int status = kLineCar | kLineCts;  // AC OK
    std::vector<std::string> opened;
    std::vector<int> lineWords;
    std::string openPath;
    int fd = 0;

    std::function<void()> onOpen;  // sees the window as the scan does

    int open(const char* path) override {
        if (onOpen) onOpen();
        opened.push_back(path);
        openPath = path;
        fd = 7;
        return fd;
    }
    bool isOpen() const override { return fd > 0; }
    int setLines(int mode) override {
        lineWords.push_back(mode);
        return 0;
    }
    int readStatus() override { return fd > 0 && openPath == upsPort ? status : 0; }
    void close() override {
        fd = 0;
        openPath.clear();
    }

    void acOk() { status = kLineCar | kLineCts; }
    void acFail() { status = kLineCar; }
    void batteryLow() { status = kLineCts; }
    void unplugged() { status = 0; }
};

class FakeClock : public Clock {
public:
    int64_t t = 1700000000;
    int64_t now() override { return t; }
    void sleepMicros(long) override {}
};

class FakeShell : public Shell {
public:
    std::vector<std::string> commands;
    std::function<void()> onRun;  // sees the world as the command would
    int run(const char* command) override {
        if (onRun) onRun();
        commands.push_back(command);
        return 0;
    }
};

class RecordingNotifier : public Notifier {
public:
    std::vector<int32_t> queued;
    int starts = 0;
    void queueEvent(int32_t kind) override { queued.push_back(kind); }
    void startWorkerIfIdle() override { ++starts; }
};

// A main window on fakes and a private folder; the tick is driven by hand.
struct Rig {
    QTemporaryDir dir;
    FakeLine line;
    FakeClock clock;
    FakeShell shell;
    RecordingNotifier notifier;

    MainWindowDeps deps() {
        MainWindowDeps d;
        d.line = &line;
        d.clock = &clock;
        d.shell = &shell;
        d.notifier = &notifier;
        d.settingsPath = path("Qor.conf");
        d.eventPath = path("Qor.event");
        d.mouseLinkPath = path("mouse");
        d.helpHome = QString::fromStdString(path("HelpE.htm"));
        d.helpFiles.history = QString::fromStdString(path("Qor.his"));
        d.helpFiles.bookmarks = QString::fromStdString(path("Qor.bmk"));
        d.startTick = false;
        return d;
    }
    std::string path(const char* name) const { return (dir.path() + "/" + name).toStdString(); }
};

// Runs `action` on the modal dialog that the next call opens.
inline void onNextModal(std::function<void(QDialog*)> action) {
    QTimer::singleShot(0, [action] {
        auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (d != nullptr) action(d);
    });
}

}  // namespace qor::gui::test
