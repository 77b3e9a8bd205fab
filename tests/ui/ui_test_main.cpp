#include <QApplication>
#include <QLocale>

#include "test_history.h"

#include <gtest/gtest.h>

// The window tests drive real widgets, offscreen: they need a QApplication.
int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    const TestHistory history;
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
