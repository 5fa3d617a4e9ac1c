// qorgui: the desktop UPS monitor.
#include <unistd.h>

#include <QApplication>

#include <cstdio>

#include "cui_main.h"
#include "desktop_look.h"
#include "help_window.h"
#include "termination_signals.h"
#include "window_flags.h"

int main(int argc, char** argv) {
    if (getuid() != 0 && geteuid() != 0) {
        std::fprintf(stderr, "%s needs superuser privilege.\n", argv[0]);
        return 1;
    }
    QApplication app(argc, argv);
    qor::gui::applyDesktopLook(app);

    // The one place the real ports, halt command and files are chosen.
    auto* window = new qor::gui::CUIMain(qor::gui::MainWindowDeps::system(), nullptr, "Halvora Qor",
                                         qor::gui::fromQt3Flags(qor::gui::kQt3DialogFlags));
    qor::gui::TerminationSignals terminationSignals;
    QObject::connect(&terminationSignals, &qor::gui::TerminationSignals::terminationRequested, window, [window](int) {
        window->close();
        QCoreApplication::quit();
    });
    window->show();
    app.exec();

    // Help windows still open write their history and bookmarks as they go.
    for (QWidget* w : QApplication::topLevelWidgets())
        if (qobject_cast<qor::gui::HelpWindow*>(w) != nullptr) delete w;
    delete window;
    return 0;
}
