#include <QCoreApplication>
#include <QLocale>

#include "test_history.h"

#include <gtest/gtest.h>

// Every test executable runs with a Qt application object and the locale
// pinned to US English, so dates and numbers read the same on any machine.
int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    const TestHistory history;
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
