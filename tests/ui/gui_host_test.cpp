#include "ui/main/gui_host.h"

#include <QApplication>
#include <QDialog>
#include <QMainWindow>
#include <QMessageBox>
#include <QPushButton>
#include <QStatusBar>
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

// Before the main window shows (a login at start), a message opens over the
// dialog the user is in, not at the corner of the screen.
TEST(GuiHostMessage, OpensOverTheOpenDialog) {
    QMainWindow window; // not shown yet
    GuiHost host(&window, {});
    QDialog login;
    QWidget* parent = nullptr;
    QTimer::singleShot(0, &login, [&] {
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr);
            parent = box->parentWidget();
            box->accept();
        });
        host.message("Invalid Login id or Password, try again!", "Login");
        login.accept();
    });
    login.exec();
    EXPECT_EQ(parent, &login);
}

// While a run walks, the status bar tells how far it has come, as the
// terminal's progress line does; the run's outcome then shows as it is.
TEST(GuiHostStatus, ARunningWalkShowsItsCountsAndTheOutcomeShowsAlone) {
    QMainWindow window;
    GuiHost host(&window, {});
    RunState run;
    host.showProgressOf(&run);
    run.inProgress = true;
    run.progress.directories = 1200;
    run.progress.files = 34000;
    run.progress.bytes = 5 * 1048576;
    run.progress.directory = QStringLiteral("\\\\FS1\\VOL1\\users");
    host.setStatus(QStringLiteral("\\\\FS1\\VOL1\\users"));
    const QString shown = window.statusBar()->currentMessage();
    EXPECT_TRUE(shown.startsWith("1,200 directories, 34,000 files, 5.0 MB, 0:00  \\\\FS1\\VOL1\\users")) << shown.toStdString();
    run.inProgress = false;
    host.setStatus(QStringLiteral("Process Complete."));
    EXPECT_EQ(window.statusBar()->currentMessage(), "Process Complete.");
}
