#include "ui/main/gui_host.h"

#include <QApplication>
#include <QMainWindow>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

// Questions ask before deleting or moving files: an Enter pressed by habit
// must not answer Yes.
TEST(GuiHostQuestion, EnterAnswersNo) {
    QMainWindow window;
    GuiHost host(&window, {});
    bool seen = false;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        seen = true;
        EXPECT_EQ(box->text(), "Delete 2 files?");
        EXPECT_EQ(box->defaultButton(), box->button(QMessageBox::No));
        QTest::keyClick(box, Qt::Key_Return);
    });
    EXPECT_FALSE(host.ask("Delete 2 files?", "Confirm Delete"));
    EXPECT_TRUE(seen);
}
