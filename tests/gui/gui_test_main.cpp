// Widget tests run on the offscreen platform: no display is needed.
#include <gtest/gtest.h>

#include <QApplication>

#include <cstdlib>

#include "desktop_look.h"

int main(int argc, char** argv) {
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    qor::gui::applyDesktopLook(app);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
