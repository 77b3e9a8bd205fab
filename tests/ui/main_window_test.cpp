#include "window_fixture.h"
#include "recording_host.h"
#include "du_figure.h"

#include "reports/cell_format.h"
#include "reports/report_run.h"
#include "reports/results_file.h"
#include "ui/auxiliary/desktop.h"
#include "ui/auxiliary/help_window.h"
#include "ui/main/main_window.h"
#include "ui/main/move_dialog.h"
#include "ui/history/history_window.h"
#include "ui/sizetree/size_tree_model.h"
#include "ui/sizetree/size_tree_window.h"
#include "ui/sizetree/breakdown_window.h"
#include "ui/sizetree/treemap_view.h"
#include "ui/window_program.h"

#include <QAction>
#include <QApplication>
#include <QProcess>
#include <QCalendarWidget>
#include <QCheckBox>
#include <QClipboard>
#include <QDialog>
#include <QTextBrowser>
#include <QDir>
#include <QFile>
#include <QScreen>
#include <QSettings>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QImage>
#include <QLineSeries>
#include <QBarSet>
#include <QAbstractBarSeries>
#include <QTableWidget>
#include <QtCharts/QChart>
#include <QAccessible>
#include <QLabel>
#include <QMessageBox>
#include <QRegularExpression>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QTableView>
#include <QTest>
#include <QTreeView>
#include <QTimer>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {


// A window over the ACME site, with settings files of its own.
class Window : public WindowFixture {
protected:
    Window() {
        QDir().mkpath(settingsDir.path());
        for (const char* dir : {"a/deep", "b", "c"})
            QDir().mkpath(volume1() + "/" + dir);
        writeFile("a/deep/one.dat", 3 * 1048576);
        writeFile("b/two.dat", 1048576 / 2);
    }

    QString volume1() const { return QFile::decodeName(acme.root("VOL1")); }
    void writeFile(const QString& relative, qint64 size) {
        QFile file(volume1() + "/" + relative);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.resize(size);
    }
    // Opens the window, shows it, and runs the report of the tab on VOL1's root.
    std::unique_ptr<WindowProgram> runOnVolume1(int tab) {
        auto program = open();
        program->window().show();
        program->window().chooseVolume("VOL1");
        program->window().findChild<QTabBar*>("tabSearch")->setCurrentIndex(tab);
        QTest::mouseClick(program->window().findChild<QPushButton*>("btnShowUsage"), Qt::LeftButton);
        return program;
    }
    QString userValue(const QString& name) const {
        QSettings settings(settingsDir.filePath("user.conf"), QSettings::IniFormat);
        return settings.value(name).toString();
    }

};

QList<QStringList> rowsOf(const ResultGrid& grid) {
    QList<QStringList> rows;
    for (qsizetype row = 0; row < grid.rows(); ++row)
        rows.append(grid.row(row));
    return rows;
}

} // namespace

TEST_F(Window, AFirstStartTakesTheClientsTreeAndTheRootContainer) {
    auto program = open();
    EXPECT_EQ(program->app().treeName, "ACME_TREE");
    EXPECT_EQ(program->app().saveFileDelimiter, ",");
    EXPECT_EQ(child<QLabel>(*program, "lblStartContainer")->text(), "ACME_TREE\\[Root]");
    EXPECT_EQ(child<QComboBox>(*program, "cmbServer")->currentText(), "FS1");
    EXPECT_EQ(child<QComboBox>(*program, "cmbVolumeList")->currentText(), "SYS");
    EXPECT_EQ(userValue("Tree"), "ACME_TREE");
    // Never below the designed size, 7110 by 7830 twips, at this screen's density.
    const QWidget& window = program->window();
    EXPECT_GE(window.width(), 7110 * window.logicalDpiY() / 1440);
    EXPECT_GE(window.height(), 7830 * window.logicalDpiY() / 1440);
}

TEST_F(Window, TheChosenServerAndVolumeAreThereAtTheNextStart) {
    {
        auto program = open();
        program->window().chooseVolume("VOL1");
        program->Form_Unload();
    }
    EXPECT_EQ(userValue("SaveServer"), "FS1");
    EXPECT_EQ(userValue("SaveVolume"), "VOL1");
    auto again = open();
    EXPECT_EQ(child<QComboBox>(*again, "cmbVolumeList")->currentText(), "VOL1");
    EXPECT_EQ(child<QLabel>(*again, "lblDirectory")->text(), "\\\\FS1\\VOL1\\");
}

// Choosing a volume that cannot be opened says why under the general words.
TEST_F(Window, AVolumeThatCannotBeOpenedSaysWhy) {
    WindowProgram::Options o = options();
    o.site->servers[0].volumes[0].mountPoint = true; // SYS: a plain folder, no disk on it
    QStringList said;
    QTimer answer; // the window chooses SYS, its first volume, as it opens
    QObject::connect(&answer, &QTimer::timeout, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            said.append(box->text());
            box->accept();
        }
    });
    answer.start(10);
    WindowProgram program(o);
    ASSERT_TRUE(program.Form_Load());
    ASSERT_FALSE(said.isEmpty());
    EXPECT_TRUE(said.last().startsWith("Unable to access Volume.  Volume may be unavailable, or you may not have "
                                       "rights.\n\n\\\\FS1\\SYS is not mounted (nothing is mounted on "))
        << said.last().toStdString();
}

TEST_F(Window, ADirectoryRunStartedWithAClickGivesTheHeadlessRows) {
    auto program = open();
    program->window().chooseVolume("VOL1");
    QTest::mouseClick(child<QTabBar>(*program, "tabSearch"), Qt::LeftButton, {},
                      child<QTabBar>(*program, "tabSearch")->tabRect(2).center());
    ASSERT_EQ(program->window().env().search.tabSearch, ReportKind::Directory);
    QPushButton* showUsage = child<QPushButton>(*program, "btnShowUsage");
    ASSERT_TRUE(showUsage->isEnabled());
    QTest::mouseClick(showUsage, Qt::LeftButton);

    ReportEnv& env = program->window().env();
    EXPECT_EQ(outcomeOf(program->window().statusBar()->currentMessage()), "Process Complete.");
    EXPECT_EQ(showUsage->text(), "&Show Usage");
    // The same settings, run without a window.
    AppState app = env.app;
    SearchSettings search = env.search;
    RunState run;
    ResultGrid grid;
    ResultsView view;
    RecordingHost host;
    ReportEnv headless{app, search, run, grid, view, host, env.client, env.volumes};
    btnShowUsage_Click(headless);
    EXPECT_EQ(rowsOf(env.grid), rowsOf(grid));
    ASSERT_EQ(env.grid.rows(), 4); // headings, a, b, c
    EXPECT_EQ(env.grid.cell(1, 1), "\\\\FS1\\VOL1\\a");
    EXPECT_EQ(child<QLabel>(*program, "lblGraphStats")->text(), view.lblGraphStats);
    EXPECT_EQ(child<QTableView>(*program, "grdDirSizes")->model()->rowCount(), 3);
    EXPECT_TRUE(child<QLabel>(*program, "lblGraphStats")->text().startsWith("Total Results: 3"));
}

// Stop (a click) and Esc end a running walk alike.
TEST_F(Window, StopEndsARunningWalkAndTheWindowComesBack) {
    // Long enough that the window lets events through several times.
    for (int i = 0; i < 4000; ++i)
        QDir().mkpath(volume1() + QStringLiteral("/many/d%1/e").arg(i));
    auto program = open();
    program->window().show();
    program->window().activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&program->window()));
    program->window().chooseVolume("VOL1");
    child<QTabBar>(*program, "tabSearch")->setCurrentIndex(2);
    child<QRadioButton>(*program, "optAllSubDirs")->click();
    QPushButton* showUsage = child<QPushButton>(*program, "btnShowUsage");
    for (const bool byKey : {false, true}) {
        bool pressed = false;
        // Stop is pressed as soon as the running window shows it.
        QTimer stopper;
        QObject::connect(&stopper, &QTimer::timeout, [&] {
            if (showUsage->text() != "&Stop" || pressed)
                return;
            pressed = true;
            if (byKey)
                QTest::keyClick(&program->window(), Qt::Key_Escape);
            else
                QTest::mouseClick(showUsage, Qt::LeftButton);
        });
        stopper.start(0);
        QTest::mouseClick(showUsage, Qt::LeftButton);
        stopper.stop();
        EXPECT_TRUE(pressed);
        EXPECT_EQ(outcomeOf(program->window().statusBar()->currentMessage()), "Process Cancelled!");
        EXPECT_LT(program->window().env().grid.rows(), 8000);
        EXPECT_EQ(showUsage->text(), "&Show Usage");
        EXPECT_TRUE(child<QGroupBox>(*program, "fraSpace")->isEnabled());
        EXPECT_TRUE(child<QPushButton>(*program, "btnClose")->isEnabled());
    }
}

// Megabytes with one decimal point, as /SIZE takes them: 100.5 stays 100.5
// (it became 1005), a decimal comma is the point, nothing else gets in.
TEST_F(Window, TheSizeBoxTakesMegabytesTypedOrPasted) {
    auto program = open();
    child<QTabBar>(*program, "tabSearch")->setCurrentIndex(3);
    child<QRadioButton>(*program, "optFileSize")->click();
    QLineEdit* size = child<QLineEdit>(*program, "txtSearchSize");
    ASSERT_TRUE(size->isEnabled());
    size->clear();
    QTest::keyClicks(size, "1a-0.5.2");
    EXPECT_EQ(size->text(), "10.52");
    size->clear();
    QTest::keyClicks(size, "2,5");
    EXPECT_EQ(size->text(), "2.5");
    size->clear();
    QApplication::clipboard()->setText("12a");
    size->paste();
    EXPECT_EQ(size->text(), "");
    QTest::keyClicks(size, "12");
    EXPECT_EQ(program->window().env().search.txtSearchSize, "12");
    QLineEdit* date = child<QLineEdit>(*program, "txtSelectedDate");
    date->clear();
    QTest::keyClicks(date, "12-31/2020x");
    EXPECT_EQ(date->text(), "1231/2020");
}

TEST_F(Window, BetweenThenOlderThanHidesTheEndDateAndKeepsItsText) {
    auto program = open();
    program->window().show();
    child<QTabBar>(*program, "tabSearch")->setCurrentIndex(4);
    QComboBox* comparison = child<QComboBox>(*program, "cmbDate");
    QLineEdit* end = child<QLineEdit>(*program, "txtEndDate");
    comparison->setCurrentText("Between");
    Q_EMIT comparison->activated(comparison->currentIndex());
    EXPECT_TRUE(end->isVisible());
    end->setText("1/2/2003");
    comparison->setCurrentText("Older than");
    Q_EMIT comparison->activated(comparison->currentIndex());
    EXPECT_FALSE(end->isVisible());
    EXPECT_FALSE(child<QLabel>(*program, "lblAnd")->isVisible());
    EXPECT_EQ(end->text(), "1/2/2003");
}

TEST_F(Window, TheVolumeTabHidesTheServerFrameAndTheDirectoryTabShowsItAgain) {
    auto program = open();
    program->window().show();
    QTabBar* tabs = child<QTabBar>(*program, "tabSearch");
    tabs->setCurrentIndex(1);
    EXPECT_FALSE(child<QGroupBox>(*program, "fraServerVol")->isVisible());
    tabs->setCurrentIndex(2);
    EXPECT_TRUE(child<QGroupBox>(*program, "fraServerVol")->isVisible());
    EXPECT_TRUE(child<QTreeView>(*program, "dirDirlist")->isEnabled());
    tabs->setCurrentIndex(0);
    EXPECT_FALSE(child<QTreeView>(*program, "dirDirlist")->isEnabled());
}

TEST_F(Window, SavedResultsAreTheHeadlessFileAndAFailedSaveKeepsTheOldFile) {
    auto program = open();
    program->window().chooseVolume("VOL1");
    child<QTabBar>(*program, "tabSearch")->setCurrentIndex(2);
    QTest::mouseClick(child<QPushButton>(*program, "btnShowUsage"), Qt::LeftButton);
    QTemporaryDir out;
    // A name typed without an extension gets ".csv"; the name suggested says
    // what the rows are of; Ctrl+S saves.
    const QString saved = out.filePath("dirs.csv");
    QString suggested;
    program->window().setSavePathChooser([&](const QString&, const QString&, const QString& offered) {
        suggested = offered;
        return out.filePath("dirs");
    });
    EXPECT_EQ(child<QAction>(*program, "Menu_Save_Results")->shortcut(), QKeySequence(QKeySequence::Save));
    QStringList said;
    program->window().host().setAnswerer([&](const QString& text, const QString&) {
        said.append(text);
        return false;
    });
    child<QAction>(*program, "Menu_Save_Results")->trigger();
    EXPECT_EQ(program->window().statusBar()->currentMessage(), "Save Complete");
    EXPECT_TRUE(suggested.endsWith("/directory-FS1-VOL1-" + QDate::currentDate().toString(Qt::ISODate) + ".csv"))
        << suggested.toStdString();
    RecordingHost host;
    const QString headless = out.filePath("headless.csv");
    ASSERT_TRUE(ResultsFile::subSaveResultsFile(program->window().env().grid, headless, ",", host));
    QFile a(saved), b(headless);
    ASSERT_TRUE(a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly));
    EXPECT_EQ(a.readAll(), b.readAll());
    // The same name again: the file ".csv" made of it is not replaced unasked.
    said.clear();
    child<QAction>(*program, "Menu_Save_Results")->trigger();
    EXPECT_EQ(said, QStringList{"dirs.csv already exists.\nDo you want to replace it?"});
    EXPECT_EQ(program->window().statusBar()->currentMessage(), "Save Cancelled");
    said.clear();

    // A folder nothing may be written in, not even by root.
    const QString locked = out.filePath("locked");
    QDir().mkpath(locked);
    QFile old(locked + "/dirs.csv");
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("yesterday\r\n");
    old.close();
    if (QProcess::execute("chattr", {"+i", locked}) != 0)
        GTEST_SKIP() << "chattr +i is not available here";
    program->window().setSavePathChooser([&](const QString&, const QString&, const QString&) { return locked + "/dirs.csv"; });
    child<QAction>(*program, "Menu_Save_Results")->trigger();
    QProcess::execute("chattr", {"-i", locked});
    EXPECT_EQ(program->window().statusBar()->currentMessage(), "Save Cancelled");
    ASSERT_EQ(said.size(), 1);
    EXPECT_TRUE(said[0].startsWith("The results could not be saved to " + locked + "/dirs.csv: ")) << said[0].toStdString();
    ASSERT_TRUE(old.open(QIODevice::ReadOnly));
    EXPECT_EQ(old.readAll(), "yesterday\r\n");
    EXPECT_EQ(QDir(locked).entryList(QDir::Files), QStringList{"dirs.csv"});
}

TEST_F(Window, AllVolumesLeavesNothingChosenAndRemovingTheLastDisablesShowUsage) {
    auto program = open();
    child<QTabBar>(*program, "tabSearch")->setCurrentIndex(1);
    QComboBox* servers = child<QComboBox>(*program, "cmbServers");
    servers->setCurrentText("FS1");
    Q_EMIT servers->activated(servers->currentIndex());
    QListWidget* available = child<QListWidget>(*program, "lstAvailableVolumes");
    ASSERT_EQ(available->count(), 2);
    available->item(1)->setSelected(true);
    QTest::mouseClick(child<QPushButton>(*program, "btnAddAll"), Qt::LeftButton);
    QListWidget* chosen = child<QListWidget>(*program, "lstSelectedVolumes");
    ASSERT_EQ(chosen->count(), 2);
    EXPECT_EQ(chosen->item(0)->text(), "\\\\FS1\\SYS");
    EXPECT_TRUE(available->selectedItems().isEmpty());
    QPushButton* showUsage = child<QPushButton>(*program, "btnShowUsage");
    EXPECT_TRUE(showUsage->isEnabled());
    EXPECT_TRUE(child<QPushButton>(*program, "btnRmvAll")->isEnabled());
    chosen->item(0)->setSelected(true);
    chosen->item(1)->setSelected(true);
    QTest::mouseClick(child<QPushButton>(*program, "btnRemove"), Qt::LeftButton);
    EXPECT_EQ(chosen->count(), 0);
    EXPECT_FALSE(showUsage->isEnabled());
    EXPECT_FALSE(child<QPushButton>(*program, "btnRmvAll")->isEnabled());
    EXPECT_FALSE(child<QPushButton>(*program, "btnRemove")->isEnabled());
}

// The keyboard alone: Ctrl+Tab to the Volume tab, which lists the volumes of
// the server it shows; Enter adds the chosen one; Ctrl+PgUp goes back.
TEST_F(Window, TheVolumeTabListsTheShownServersVolumesAndTheKeyboardChoosesThem) {
    auto program = open();
    program->window().show();
    program->window().activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&program->window()));
    QTabBar* tabs = child<QTabBar>(*program, "tabSearch");
    ASSERT_EQ(tabs->currentIndex(), 0);
    QTest::keyClick(&program->window(), Qt::Key_Tab, Qt::ControlModifier);
    ASSERT_EQ(tabs->currentIndex(), 1);
    QListWidget* available = child<QListWidget>(*program, "lstAvailableVolumes");
    ASSERT_FALSE(child<QComboBox>(*program, "cmbServers")->currentText().isEmpty());
    ASSERT_EQ(available->count(), 2);
    available->setFocus();
    available->setCurrentRow(1);
    QTest::keyClick(available, Qt::Key_Return);
    QListWidget* chosen = child<QListWidget>(*program, "lstSelectedVolumes");
    ASSERT_EQ(chosen->count(), 1);
    EXPECT_EQ(chosen->item(0)->text(), "\\\\FS1\\" + available->item(1)->text());
    QTest::keyClick(&program->window(), Qt::Key_PageUp, Qt::ControlModifier);
    EXPECT_EQ(tabs->currentIndex(), 0);
}

// The grid is one Tab stop, and the label under the directory tree reads out
// the directory it shows.
TEST_F(Window, OneTabLeavesTheGridAndTheDirectoryLabelReadsOut) {
    auto program = runOnVolume1(2);
    program->window().activateWindow();
    QTableView* view = child<QTableView>(*program, "grdDirSizes");
    view->setFocus();
    ASSERT_TRUE(view->hasFocus());
    QTest::keyClick(view, Qt::Key_Tab);
    EXPECT_FALSE(view->hasFocus());
    QLabel* directory = child<QLabel>(*program, "lblDirectory");
    QAccessibleInterface* read = QAccessible::queryAccessibleInterface(directory);
    ASSERT_NE(read, nullptr);
    EXPECT_EQ(read->text(QAccessible::Name), directory->text());
    EXPECT_TRUE(directory->text().startsWith("\\\\FS1\\VOL1"));
    // Enter opens the folder chosen in the tree.
    QTreeView* tree = child<QTreeView>(*program, "dirDirlist");
    // The folders are listed in the background.
    ASSERT_TRUE(QTest::qWaitFor([&] { return tree->model()->index(0, 0, tree->rootIndex()).isValid(); }));
    const QModelIndex folder = tree->model()->index(0, 0, tree->rootIndex());
    tree->setFocus();
    tree->setCurrentIndex(folder);
    ASSERT_FALSE(tree->isExpanded(folder));
    QTest::keyClick(tree, Qt::Key_Return);
    EXPECT_TRUE(tree->isExpanded(folder));
}

TEST_F(Window, TheCalendarWritesTheBoxItWasOpenedForAndClosesOnADateClick) {
    auto program = open();
    program->window().show();
    child<QTabBar>(*program, "tabSearch")->setCurrentIndex(4);
    QComboBox* comparison = child<QComboBox>(*program, "cmbDate");
    comparison->setCurrentText("Between");
    Q_EMIT comparison->activated(comparison->currentIndex());
    child<QLineEdit>(*program, "txtEndDate")->setText("3/4/2005");
    QTest::mouseClick(child<QPushButton>(*program, "btnEndDate"), Qt::LeftButton);
    QCalendarWidget* calendar = child<QCalendarWidget>(*program, "mnthvwCalendar");
    ASSERT_TRUE(calendar->isVisible());
    EXPECT_EQ(calendar->selectedDate(), QDate(2005, 3, 4)); // the box's date is shown
    Q_EMIT calendar->clicked(QDate(2005, 3, 9));
    EXPECT_FALSE(calendar->isVisible());
    EXPECT_EQ(child<QLineEdit>(*program, "txtEndDate")->text(), "3/9/2005");
    EXPECT_EQ(program->window().env().search.txtEndDate, "3/9/2005");
    const QString begin = child<QLineEdit>(*program, "txtSelectedDate")->text();
    QTest::mouseClick(child<QPushButton>(*program, "btnShowCalendar"), Qt::LeftButton);
    Q_EMIT calendar->clicked(QDate(2001, 1, 2));
    EXPECT_EQ(child<QLineEdit>(*program, "txtSelectedDate")->text(), "1/2/2001");
    EXPECT_NE(begin, "1/2/2001");
    EXPECT_EQ(child<QLineEdit>(*program, "txtEndDate")->text(), "3/9/2005");
}

TEST_F(Window, TheAboutBoxSaysDebugModeOnlyInIt) {
    QString status;
    auto program = open();
    onDialog = [&](QDialog& dialog) {
        if (dialog.objectName() == "frmAbout")
            status = dialog.findChild<QLabel*>("lblStatus")->text();
    };
    child<QAction>(*program, "Menu_About")->trigger();
    EXPECT_EQ(status, "");
    WindowProgram::Options debug = options();
    debug.debugMode = true;
    WindowProgram inDebug(debug);
    ASSERT_TRUE(inDebug.Form_Load());
    inDebug.window().findChild<QAction*>("Menu_About")->trigger();
    EXPECT_EQ(status, "Debug mode");
    // No viewer on this desktop: the documented message, nothing started.
    QStringList said;
    inDebug.window().host().setAnswerer([&](const QString& text, const QString&) {
        said.append(text);
        return false;
    });
    onDialog = [](QDialog& dialog) { dialog.findChild<QPushButton*>("cmdSysInfo")->click(); };
    inDebug.window().findChild<QAction*>("Menu_About")->trigger();
    EXPECT_EQ(said, QStringList{"System Information Is Unavailable At This Time"});
    EXPECT_TRUE(desktop.started.isEmpty());
}

TEST_F(Window, HelpOpensAtItsContentsAndTheMakersPagesGoToTheDesktop) {
    auto program = open();
    child<QAction>(*program, "Menu_Contents")->trigger();
    HelpWindow* help = program->window().helpWindow();
    ASSERT_NE(help, nullptr);
    EXPECT_TRUE(help->isVisible());
    EXPECT_EQ(help->page(), HelpWindow::contentsPage());
    const QString contents = help->findChild<QTextBrowser*>("txtHelp")->toPlainText();
    EXPECT_TRUE(contents.contains("Quarvo")) << contents.left(200).toStdString();
    EXPECT_TRUE(contents.contains("Command line") || contents.contains("command line"));
    child<QAction>(*program, "Menu_FAQs")->trigger();
    child<QAction>(*program, "Menu_Contact")->trigger();
    EXPECT_EQ(desktop.opened, (QStringList{"https://quarvo.example.org/faq", "mailto:support@quarvo.example.org"}));
}

TEST_F(Window, TheStoredGeometryComesBackAndAMaximisedCloseKeepsIt) {
    {
        auto program = open();
        program->window().setGeometry(120, 90, 700, 650);
        program->Form_Unload();
    }
    const QString height = QSettings(settingsDir.filePath("user.conf"), QSettings::IniFormat)
                               .value("MainForm/Height")
                               .toString();
    ASSERT_FALSE(height.isEmpty());
    {
        auto again = open();
        EXPECT_NEAR(again->window().width(), 700, 1);
        EXPECT_NEAR(again->window().height(), 650, 1);
        again->window().showMaximized();
        again->Form_Unload();
    }
    // Closed maximised: the stored place and size stay as they were.
    EXPECT_EQ(QSettings(settingsDir.filePath("user.conf"), QSettings::IniFormat).value("MainForm/Height").toString(),
              height);
    auto third = open();
    EXPECT_NEAR(third->window().height(), 650, 1);
}

// An edited settings file with a size beyond any screen and a place off
// every screen: the window comes up on the screen, no larger than it.
TEST_F(Window, AStoredSizeOrPlaceBeyondTheScreenIsBroughtBackOntoIt) {
    {
        QSettings stored(settingsDir.filePath("user.conf"), QSettings::IniFormat);
        stored.setValue("MainForm/Height", "999999999");
        stored.setValue("MainForm/Width", "2147483647");
        stored.setValue("MainForm/Top", "-99999999");
        stored.setValue("MainForm/Left", "99999999");
    }
    auto program = open();
    const QRect area = program->window().screen()->availableGeometry();
    EXPECT_TRUE(area.contains(program->window().geometry())) << program->window().geometry().width() << "x"
                                                             << program->window().geometry().height();
}

TEST_F(Window, SelectOwnerWithNoVolumeLeavesShowUsageDisabled) {
    Site site = acme.site();
    site.servers[0].volumes.clear();
    WindowProgram::Options o = options();
    o.site = site;
    WindowProgram program(o);
    ASSERT_TRUE(program.Form_Load());
    EXPECT_EQ(child<QComboBox>(program, "cmbVolumeList")->count(), 0);
    child<QRadioButton>(program, "optSelectOwner")->click();
    EXPECT_GT(child<QComboBox>(program, "cmbSelectedOwner")->count(), 0); // users were found
    EXPECT_FALSE(child<QPushButton>(program, "btnShowUsage")->isEnabled());
}

// The Owner choices answer Alt keys, as the builder's copies do.
TEST_F(Window, TheOwnerChoicesHaveAltKeys) {
    auto program = open();
    program->window().show();
    QApplication::setActiveWindow(&program->window());
    ASSERT_TRUE(QTest::qWaitForWindowActive(&program->window()));
    child<QTabBar>(*program, "tabSearch")->setCurrentIndex(0);
    const QList<QPair<Qt::Key, const char*>> keys = {
        {Qt::Key_N, "optSelectOwner"}, {Qt::Key_G, "optGroup"}, {Qt::Key_W, "optAllOwners"}};
    for (const auto& [key, option] : keys) {
        QTest::keyClick(&program->window(), key, Qt::AltModifier);
        // A mnemonic clicks the way a press does, a moment later.
        EXPECT_TRUE(QTest::qWaitFor([&] { return child<QRadioButton>(*program, option)->isChecked(); }, 2000))
            << option;
    }
}

TEST_F(Window, ClosingDuringARunCancelsItAndThenCloses) {
    for (int i = 0; i < 4000; ++i)
        QDir().mkpath(volume1() + QStringLiteral("/many/d%1/e").arg(i));
    auto program = open();
    program->window().show();
    program->window().chooseVolume("VOL1");
    child<QTabBar>(*program, "tabSearch")->setCurrentIndex(2);
    child<QRadioButton>(*program, "optAllSubDirs")->click();
    bool closedWhileRunning = false;
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&] {
        if (!program->window().env().run.inProgress || closedWhileRunning)
            return;
        closedWhileRunning = true;
        program->window().close();
        EXPECT_TRUE(program->window().isVisible()); // not before the run has ended
    });
    closer.start(0);
    QTest::mouseClick(child<QPushButton>(*program, "btnShowUsage"), Qt::LeftButton);
    closer.stop();
    EXPECT_TRUE(closedWhileRunning);
    EXPECT_EQ(outcomeOf(program->window().statusBar()->currentMessage()), "Process Cancelled!");
    EXPECT_FALSE(program->window().isVisible());
}

TEST_F(Window, AHeaderDoubleClickSortsTheGridAndCopyTakesTheChosenRows) {
    auto program = runOnVolume1(2);
    ReportEnv& env = program->window().env();
    ASSERT_EQ(env.grid.rows(), 4);
    QTableView* view = child<QTableView>(*program, "grdDirSizes");
    QHeaderView* header = view->horizontalHeader();
    const int size = env.grid.fcnFindColumn("Size(MB)");
    QTest::mouseDClick(header->viewport(), Qt::LeftButton, {}, QPoint(header->sectionViewportPosition(size) + 5, 5));
    // Largest first: a (3 MB), b (0.5 MB), c (empty); the grid itself moved.
    EXPECT_EQ(env.grid.cell(1, 1), "\\\\FS1\\VOL1\\a");
    EXPECT_EQ(env.grid.cell(2, 1), "\\\\FS1\\VOL1\\b");
    EXPECT_EQ(view->model()->data(view->model()->index(0, 1)).toString(), "\\\\FS1\\VOL1\\a");
    EXPECT_TRUE(header->isSortIndicatorShown());
    EXPECT_EQ(header->sortIndicatorOrder(), Qt::DescendingOrder);
    // A single click sorts nothing, so the arrow stays with the real order.
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, QPoint(header->sectionViewportPosition(1) + 5, 5));
    EXPECT_EQ(header->sortIndicatorSection(), size);
    EXPECT_EQ(header->sortIndicatorOrder(), Qt::DescendingOrder);
    EXPECT_EQ(env.grid.cell(1, 1), "\\\\FS1\\VOL1\\a");

    view->selectRow(1);
    view->selectionModel()->select(view->model()->index(2, 1), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    bool allChosen = true;
    onDialog = [&](QDialog& dialog) {
        allChosen = dialog.findChild<QRadioButton*>("optAllRows")->isChecked();
        dialog.findChild<QPushButton*>("btnCopy")->click();
    };
    child<QAction>(*program, "Menu_Copy")->trigger();
    EXPECT_FALSE(allChosen); // the first copy offers the selected rows
    EXPECT_EQ(QApplication::clipboard()->text(),
              "Directory,Size(MB)\r\n\\\\FS1\\VOL1\\b,0.50\r\n\\\\FS1\\VOL1\\c,0.00\r\n");
    onDialog = [&](QDialog& dialog) {
        dialog.findChild<QRadioButton*>("optAllRows")->setChecked(true);
        dialog.findChild<QPushButton*>("btnCopy")->click();
    };
    child<QAction>(*program, "Menu_Copy")->trigger();
    EXPECT_TRUE(QApplication::clipboard()->text().startsWith("Directory,Size(MB)\r\n\\\\FS1\\VOL1\\a,3.00\r\n"));
    onDialog = [&](QDialog& dialog) { allChosen = dialog.findChild<QRadioButton*>("optAllRows")->isChecked(); };
    child<QAction>(*program, "Menu_Copy")->trigger();
    EXPECT_TRUE(allChosen); // reopened with the last choice
}

TEST_F(Window, ThePopUpMenuFollowsTheSelectionAndDeletesWithTheLog) {
    auto program = runOnVolume1(3);
    ReportEnv& env = program->window().env();
    ASSERT_EQ(env.grid.rows(), 3); // a/deep/one.dat and b/two.dat
    QTableView* view = child<QTableView>(*program, "grdDirSizes");
    QStringList shown;
    QString pick;
    program->window().setPopupRunner([&](QMenu& menu, const QPoint&) {
        shown.clear();
        for (QAction* action : menu.actions()) {
            if (action->isVisible() && !action->isSeparator())
                shown.append(action->objectName());
        }
        if (!pick.isEmpty())
            menu.findChild<QAction*>(pick)->trigger();
    });
    const auto rightPress = [&](int row) {
        const QPoint at = view->visualRect(view->model()->index(row, 1)).center();
        Q_EMIT view->customContextMenuRequested(at);
    };
    rightPress(0);
    EXPECT_EQ(shown, (QStringList{"Menu_Popup_UserInfo", "Menu_Popup_Move", "Menu_Popup_Explore", "Menu_Popup_Delete",
                                  "Menu_Popup_Properties", "Menu_Popup_ShowHistory", "Menu_Cancel"}));
    view->selectRow(0);
    view->selectionModel()->select(view->model()->index(1, 1), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    rightPress(1); // inside the selection: it stays
    EXPECT_EQ(shown, (QStringList{"Menu_Popup_Move", "Menu_Popup_Delete", "Menu_Cancel"}));
    program->window().host().setAnswerer([](const QString&, const QString&) { return true; });
    pick = "Menu_Popup_Delete";
    rightPress(1);
    EXPECT_EQ(env.grid.rows(), 1);
    EXPECT_EQ(view->model()->rowCount(), 0);
    EXPECT_FALSE(QFile::exists(volume1() + "/a/deep/one.dat"));
    EXPECT_FALSE(QFile::exists(volume1() + "/b/two.dat"));
    QFile log(settingsDir.filePath("Quarvo.log"));
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(log.readAll()).count(", Deleted "), 2);
}

// Ctrl+click highlights rows that are not one range: only they go, also
// after a sort has moved them, and what could not go stays highlighted.
TEST_F(Window, OnlyTheRowsHighlightedWithCtrlAreDeleted) {
    writeFile("c/three.dat", 100);
    writeFile("c/four.dat", 200);
    auto program = runOnVolume1(3);
    ReportEnv& env = program->window().env();
    QTableView* view = child<QTableView>(*program, "grdDirSizes");
    const int fileCol = env.grid.fcnFindColumn("File");
    const auto click = [&](int row, Qt::KeyboardModifiers keys) {
        QTest::mouseClick(view->viewport(), Qt::LeftButton, keys, view->visualRect(view->model()->index(row, 1)).center());
    };
    const auto names = [&] {
        QStringList rows;
        for (qsizetype row = 1; row < env.grid.rows(); ++row)
            rows.append(env.grid.cell(row, fileCol));
        return rows;
    };
    ASSERT_EQ(names(), (QStringList{"one.dat", "two.dat", "four.dat", "three.dat"}));
    program->window().host().setAnswerer([](const QString&, const QString&) { return true; });
    program->window().setPopupRunner([](QMenu& menu, const QPoint&) { menu.findChild<QAction*>("Menu_Popup_Delete")->trigger(); });
    click(0, {});
    click(2, Qt::ControlModifier);
    Q_EMIT view->customContextMenuRequested(view->visualRect(view->model()->index(2, 1)).center());
    EXPECT_EQ(names(), (QStringList{"two.dat", "three.dat"}));
    EXPECT_TRUE(QFile::exists(volume1() + "/b/two.dat"));
    EXPECT_FALSE(QFile::exists(volume1() + "/a/deep/one.dat"));
    EXPECT_FALSE(QFile::exists(volume1() + "/c/four.dat"));
    // Nothing is highlighted now: Copy has no selected rows to offer.
    bool selectedOffered = true;
    onDialog = [&](QDialog& dialog) {
        selectedOffered = dialog.findChild<QRadioButton*>("optSelected")->isEnabled();
        EXPECT_TRUE(dialog.findChild<QRadioButton*>("optAllRows")->isChecked());
    };
    child<QAction>(*program, "Menu_Copy")->trigger();
    EXPECT_FALSE(selectedOffered);
    onDialog = nullptr;
    for (int twice = 0; twice < 2; ++twice) // descending, then ascending
        QTest::mouseDClick(view->horizontalHeader()->viewport(), Qt::LeftButton, {},
                           QPoint(view->horizontalHeader()->sectionViewportPosition(fileCol) + 5, 5));
    ASSERT_EQ(names(), (QStringList{"three.dat", "two.dat"}));
    click(0, {});
    // A file that changed since it was listed is kept, and stays highlighted.
    writeFile("c/three.dat", 150);
    Q_EMIT view->customContextMenuRequested(view->visualRect(view->model()->index(0, 1)).center());
    EXPECT_EQ(names(), (QStringList{"three.dat", "two.dat"}));
    EXPECT_EQ(view->selectionModel()->selectedRows().size(), 1);
    EXPECT_TRUE(view->selectionModel()->isRowSelected(0, {}));
    EXPECT_TRUE(QFile::exists(volume1() + "/b/two.dat"));
}

// A delete runs while the window stays responsive: Show Usage is "Stop"
// meanwhile, and a press on it ends the delete before the next file.
TEST_F(Window, StopEndsADeleteAndTheWindowComesBack) {
    for (int i = 0; i < 300; ++i)
        writeFile(QStringLiteral("c/f%1.dat").arg(i, 3, 10, QLatin1Char('0')), 10);
    auto program = runOnVolume1(3);
    ReportEnv& env = program->window().env();
    QTableView* view = child<QTableView>(*program, "grdDirSizes");
    QPushButton* showUsage = child<QPushButton>(*program, "btnShowUsage");
    ASSERT_EQ(env.grid.rows(), 303);
    view->selectAll();
    QString captionMeanwhile;
    program->window().host().setAnswerer([&](const QString&, const QString&) {
        QTimer::singleShot(0, showUsage, [&] {
            captionMeanwhile = showUsage->isEnabled() ? showUsage->text() : QStringLiteral("<disabled>");
            showUsage->click();
        });
        return true;
    });
    program->window().setPopupRunner([](QMenu& menu, const QPoint&) { menu.findChild<QAction*>("Menu_Popup_Delete")->trigger(); });
    QTest::qWait(20); // past the window's pump interval: the delete lets events through before its first file
    Q_EMIT view->customContextMenuRequested(view->visualRect(view->model()->index(0, 1)).center());
    EXPECT_EQ(captionMeanwhile, "&Stop");
    EXPECT_EQ(showUsage->text(), "&Show Usage");
    EXPECT_TRUE(child<QAction>(*program, "Menu_Save_Results")->isEnabled());
    qsizetype left = 0;
    for (const char* folder : {"a/deep", "b", "c"})
        left += QDir(volume1() + "/" + folder).entryList(QDir::Files).size();
    EXPECT_GT(left, 0);
    EXPECT_EQ(env.grid.rows() - 1, left);
    EXPECT_EQ(view->model()->rowCount(), left);
}

TEST_F(Window, ShowFilesForSelectedOpensADirectoryRowIntoItsFiles) {
    auto program = runOnVolume1(2);
    QPushButton* showFiles = child<QPushButton>(*program, "btnShowFiles");
    EXPECT_FALSE(showFiles->isEnabled());
    QTableView* view = child<QTableView>(*program, "grdDirSizes");
    const auto pressRow = [&] {
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(view->model()->index(0, 1)).center());
    };
    pressRow();
    ASSERT_TRUE(showFiles->isEnabled()); // a directory row, no File column
    // A new run: its rows are not chosen yet.
    QTest::mouseClick(child<QPushButton>(*program, "btnShowUsage"), Qt::LeftButton);
    EXPECT_FALSE(showFiles->isEnabled());
    pressRow();
    QHeaderView* header = view->horizontalHeader();
    QTest::mouseDClick(header->viewport(), Qt::LeftButton, {}, QPoint(header->sectionViewportPosition(1) + 5, 5));
    EXPECT_FALSE(showFiles->isEnabled()); // a sort moved the rows under the selection
    pressRow();
    ASSERT_TRUE(showFiles->isEnabled()); // pressing the row still chosen chooses it again
    QTest::mouseDClick(header->viewport(), Qt::LeftButton, {}, QPoint(header->sectionViewportPosition(1) + 5, 5));
    pressRow(); // back in name order, the first row chosen
    QTest::mouseClick(showFiles, Qt::LeftButton);
    ReportEnv& env = program->window().env();
    EXPECT_NE(env.grid.fcnFindColumn("File"), ResultGrid::kNotFound);
    ASSERT_EQ(env.grid.rows(), 2);
    EXPECT_EQ(env.grid.cell(1, env.grid.fcnFindColumn("File")), "one.dat");
    EXPECT_EQ(child<QLabel>(*program, "lblInfoLabel")->text(), "Directory ");
    EXPECT_EQ(child<QLabel>(*program, "lblGraphStats")->text(), "Total Results: 1    |    Total Size: 3.00 MB");
    EXPECT_FALSE(showFiles->isEnabled());
    EXPECT_EQ(showFiles->text(), "Show Files for Selected");
    // A file listing: a press no longer offers to drill down.
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(view->model()->index(0, 1)).center());
    EXPECT_FALSE(showFiles->isEnabled());
}

// A folder and a file whose names are not UTF-8: the window shows their odd
// bytes as \xHH, opens the folder's files, and saves the names as they are.
TEST_F(Window, NamesThatAreNotUtf8ShowEscapedAndAreSavedAsTheirBytes) {
    const QByteArray folder = acme.root("VOL1") + "/caf\xe9";
    ASSERT_EQ(::mkdir(folder.constData(), 0755), 0);
    const int fd = ::open((folder + "/fn_\x80_e").constData(), O_CREAT | O_WRONLY | O_CLOEXEC, 0644);
    ASSERT_GE(fd, 0);
    ::close(fd);
    auto program = runOnVolume1(2);
    QTableView* view = child<QTableView>(*program, "grdDirSizes");
    const QAbstractItemModel* model = view->model();
    int row = -1;
    for (int r = 0; r < model->rowCount(); ++r) {
        if (model->index(r, 1).data().toString() == "\\\\FS1\\VOL1\\caf\\xe9")
            row = r;
    }
    ASSERT_GE(row, 0);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(model->index(row, 1)).center());
    QTest::mouseClick(child<QPushButton>(*program, "btnShowFiles"), Qt::LeftButton);
    const int file = program->window().env().grid.fcnFindColumn("File");
    ASSERT_EQ(model->rowCount(), 1);
    EXPECT_EQ(model->index(0, file).data().toString(), "fn_\\x80_e");
    QTemporaryDir out;
    program->window().setSavePathChooser([&](const QString&, const QString&, const QString&) { return out.filePath("files.csv"); });
    child<QAction>(*program, "Menu_Save_Results")->trigger();
    QFile saved(out.filePath("files.csv"));
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_TRUE(saved.readAll().contains("\\\\FS1\\VOL1\\caf\xe9,fn_\x80_e,"));
}

TEST_F(Window, MoveAndPropertiesFromThePopUpMenu) {
    writeFile("root.txt", 2048);
    auto program = runOnVolume1(3);
    ReportEnv& env = program->window().env();
    ASSERT_EQ(env.grid.rows(), 4); // root.txt, a/deep/one.dat, b/two.dat
    ASSERT_EQ(env.grid.cell(1, env.grid.fcnFindColumn("File")), "root.txt");
    QTableView* view = child<QTableView>(*program, "grdDirSizes");
    QStringList said;
    program->window().host().setAnswerer([&](const QString& text, const QString&) {
        said.append(text);
        return true;
    });
    QString pick;
    program->window().setPopupRunner([&](QMenu& menu, const QPoint&) { menu.findChild<QAction*>(pick)->trigger(); });
    const auto rightPress = [&](int row) {
        Q_EMIT view->customContextMenuRequested(view->visualRect(view->model()->index(row, 1)).center());
    };

    // Explore opens the row's folder; without a file manager it says so.
    pick = "Menu_Popup_Explore";
    rightPress(1);
    ASSERT_EQ(desktop.opened.size(), 1);
    EXPECT_EQ(desktop.opened[0], QUrl::fromLocalFile(volume1() + "/a/deep").toString());
    desktop.opens = false;
    rightPress(1);
    ASSERT_EQ(said.size(), 1);
    EXPECT_TRUE(said[0].startsWith("No file manager could be started")) << said[0].toStdString();
    said.clear();

    // Properties of a file in the volume's root: one backslash before its name.
    QList<QPair<QString, QString>> shown;
    onDialog = [&](QDialog& dialog) {
        shown.clear();
        for (QLabel* label : dialog.findChildren<QLabel*>())
            if (label->buddy())
                shown.append({label->text(), static_cast<QLabel*>(label->buddy())->text()});
    };
    pick = "Menu_Popup_Properties";
    rightPress(0);
    ASSERT_FALSE(shown.isEmpty());
    EXPECT_EQ(shown[0], (QPair<QString, QString>{"Volume path:", "\\\\FS1\\VOL1\\root.txt"}));
    EXPECT_TRUE(shown.contains({"Size:", "2,048 bytes (0.00 MB)"}));
    EXPECT_TRUE(shown.contains({"Type:", "File"}));

    // Move the second file, its folders rebuilt below the destination.
    QTemporaryDir target;
    onDialog = [&](QDialog& dialog) {
        static_cast<MoveDialog&>(dialog).chooseDestination(target.path());
        EXPECT_EQ(dialog.windowTitle(), "Move File");
        EXPECT_EQ(dialog.findChild<QLabel*>("Label2")->text(),
                  "All move operations are logged to the file " + settingsDir.filePath("Quarvo.log") + ".");
        dialog.findChild<QPushButton*>("btnMoveFiles")->click();
    };
    pick = "Menu_Popup_Move";
    rightPress(1);
    EXPECT_TRUE(QFile::exists(target.path() + "/a/deep/one.dat"));
    EXPECT_FALSE(QFile::exists(volume1() + "/a/deep/one.dat"));
    EXPECT_EQ(env.grid.rows(), 3);
    EXPECT_TRUE(said.contains("Files Moved: 1\nFiles Not Moved: 0"));
    QFile log(settingsDir.filePath("Quarvo.log"));
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    EXPECT_TRUE(log.readAll().contains(", Moved \\\\FS1\\VOL1\\a\\deep\\one.dat TO "));
}

TEST_F(Window, ShiftF10OpensTheMenuOnTheCursorRow) {
    auto program = runOnVolume1(3);
    QTableView* view = child<QTableView>(*program, "grdDirSizes");
    QStringList shown;
    program->window().setPopupRunner([&](QMenu& menu, const QPoint&) {
        for (QAction* action : menu.actions())
            if (action->isVisible() && !action->isSeparator())
                shown.append(action->objectName());
    });
    QApplication::setActiveWindow(&program->window());
    view->setFocus();
    view->setCurrentIndex(view->model()->index(0, 1));
    QTest::keyClick(view, Qt::Key_F10, Qt::ShiftModifier);
    EXPECT_TRUE(shown.contains("Menu_Popup_Delete")) << shown.join(",").toStdString();
}

TEST_F(Window, APressOnAnEmptyGridOpensNoMenu) {
    auto program = open();
    program->window().show();
    int menus = 0;
    program->window().setPopupRunner([&](QMenu&, const QPoint&) { ++menus; });
    QTableView* view = child<QTableView>(*program, "grdDirSizes");
    Q_EMIT view->customContextMenuRequested(QPoint(10, 10));
    EXPECT_EQ(menus, 0);
    EXPECT_FALSE(child<QPushButton>(*program, "btnShowFiles")->isEnabled());
}

TEST_F(Window, ARunIsKeptAndAnEarlierOneChosenGivesEachRowsChange) {
    auto program = runOnVolume1(2);
    QComboBox* compare = child<QComboBox>(*program, "cmbCompareWith");
    EXPECT_EQ(child<QLabel>(*program, "lblCompareWith")->buddy(), compare);
    ASSERT_EQ(compare->count(), 1); // the first run of its kind: nothing to compare with
    writeFile("b/more.dat", 1048576 / 2);
    QTest::mouseClick(child<QPushButton>(*program, "btnShowUsage"), Qt::LeftButton);
    ASSERT_EQ(compare->count(), 2);
    EXPECT_EQ(compare->itemText(0), "(none)");
    compare->setCurrentIndex(1);
    Q_EMIT compare->activated(1);
    const ResultGrid& grid = program->window().env().grid;
    const int change = grid.fcnFindColumn("Change(MB)");
    ASSERT_NE(change, ResultGrid::kNotFound);
    EXPECT_EQ(grid.cell(0, change + 1), "Change %");
    QStringList changes;
    for (qsizetype row = 1; row < grid.rows(); ++row)
        changes.append(grid.cell(row, 1).section('\\', -1) + "=" + grid.cell(row, change).trimmed() + "/" +
                       grid.cell(row, change + 1).trimmed());
    EXPECT_TRUE(changes.contains("b=0.50/100.00")) << changes.join(' ').toStdString();
    EXPECT_TRUE(changes.contains("a=0.00/0.00")) << changes.join(' ').toStdString();
    // "(none)" takes the columns away again.
    compare->setCurrentIndex(0);
    Q_EMIT compare->activated(0);
    EXPECT_EQ(grid.fcnFindColumn("Change(MB)"), ResultGrid::kNotFound);
}

TEST_F(Window, HistoryDrawsARowsFigureForEachKeptRunAndSavesIt) {
    auto program = runOnVolume1(2);
    writeFile("b/more.dat", 1048576 / 2);
    QTest::mouseClick(child<QPushButton>(*program, "btnShowUsage"), Qt::LeftButton);
    writeFile("b/more.dat", 2 * 1048576);
    QTest::mouseClick(child<QPushButton>(*program, "btnShowUsage"), Qt::LeftButton);
    const ResultGrid& grid = program->window().env().grid;
    int b = 1;
    while (b < grid.rows() && !grid.cell(b, 1).endsWith("\\b"))
        ++b;
    ASSERT_LT(b, grid.rows());
    QTemporaryDir saved;
    program->window().setSavePathChooser([&](const QString&, const QString& filter, const QString&) {
        return saved.filePath(filter.startsWith("PNG") ? "trend.png" : "trend.csv");
    });
    QString line;
    QList<QPointF> points;
    int runsListed = 0;
    onDialog = [&](QDialog& dialog) {
        runsListed = dialog.findChild<QTableWidget*>("grdRuns")->rowCount();
        const QList<QAbstractSeries*> series = static_cast<HistoryWindow&>(dialog).chart()->series();
        ASSERT_EQ(series.size(), 1);
        line = series[0]->name();
        points = static_cast<QLineSeries*>(series[0])->points();
        dialog.findChild<QPushButton*>("cmdSaveFigures")->click();
        dialog.findChild<QPushButton*>("cmdSavePicture")->click();
    };
    program->window().setPopupRunner([](QMenu& menu, const QPoint&) {
        menu.findChild<QAction*>("Menu_Popup_ShowHistory")->trigger();
    });
    QTableView* view = child<QTableView>(*program, "grdDirSizes");
    view->selectRow(b - 1);
    Q_EMIT view->customContextMenuRequested(view->visualRect(view->model()->index(b - 1, 1)).center());
    EXPECT_EQ(runsListed, 3);
    EXPECT_EQ(line, grid.cell(b, 1));
    ASSERT_EQ(points.size(), 3); // b grew from 0.5 MB to 1 MB and 2.5 MB
    EXPECT_EQ(points[0].y(), 0.5);
    EXPECT_EQ(points[1].y(), 1.0);
    EXPECT_EQ(points[2].y(), 2.5);
    EXPECT_LT(points[0].x(), points[2].x());
    QFile csv(saved.filePath("trend.csv"));
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
    const QList<QByteArray> rows = csv.readAll().trimmed().split('\n');
    ASSERT_EQ(rows.size(), 4);
    EXPECT_EQ(rows[0].trimmed(), "Run,Started," + grid.cell(b, 1).toUtf8() + " Size(bytes)");
    EXPECT_EQ(rows[3].trimmed().split(',').last(), "2621440");
    EXPECT_FALSE(QImage(saved.filePath("trend.png")).isNull());
    // Tools > History: the newest run chosen, its largest row drawn.
    points.clear();
    child<QAction>(*program, "Menu_History")->trigger();
    EXPECT_GE(runsListed, 3); // other tests' runs too when they share the process
    EXPECT_EQ(points.size(), 3);
    // Show Size Tree: the newest run's folders, each summing what the run counted below it.
    onDialog = [](QDialog& dialog) { dialog.findChild<QPushButton*>("cmdShowTree")->click(); };
    child<QAction>(*program, "Menu_History")->trigger();
    auto* window = program->window().findChild<SizeTreeWindow*>();
    ASSERT_NE(window, nullptr);
    ASSERT_FALSE(window->source().isEmpty());
    const SizeTree& kept = *window->model().tree();
    EXPECT_EQ(kept.bytes(0, false), commandFigure("find", {volume1(), "-type", "f", "-printf", "%s\\n"}, true));
    const std::span<const SizeTree::Index> top = kept.children(0);
    const auto folderB = std::find_if(top.begin(), top.end(), [&kept](SizeTree::Index i) { return kept.name(i) == "b"; });
    ASSERT_NE(folderB, top.end());
    EXPECT_EQ(kept.bytes(*folderB, false), 2621440u);
    // A kept run holds no owner and, run Immediate, no times: the cells say nothing.
    const QModelIndex keptB = window->model().indexOf(*folderB);
    EXPECT_EQ(window->model().data(keptB.siblingAtColumn(SizeTreeModel::Owner)).toString(), "");
    EXPECT_EQ(window->model().data(keptB.siblingAtColumn(SizeTreeModel::Modified)).toString(), "");
    const QModelIndex keptStart = window->model().indexOf(0);
    EXPECT_EQ(window->model().data(keptStart.siblingAtColumn(SizeTreeModel::Owner)).toString(), "");
}

TEST_F(Window, TheSizeTreeShowsTheWalkAndItsTreemapFollowsTheSelection) {
    auto program = runOnVolume1(2);
    child<QAction>(*program, "Menu_View_SizeTree")->trigger();
    auto* window = program->window().findChild<SizeTreeWindow*>();
    ASSERT_NE(window, nullptr);
    const SizeTreeModel& model = window->model();
    const SizeTree& tree = *model.tree();
    const QModelIndex top = model.index(0, 0);
    EXPECT_EQ(tree.bytes(model.entryOf(top), false), commandFigure("du", {"-sb", volume1()}));
    EXPECT_EQ(tree.bytes(model.entryOf(top), true), commandFigure("du", {"-sB1", volume1()}));
    ASSERT_EQ(model.rowCount(top), 3); // a, b and c, largest first
    EXPECT_EQ(model.data(model.index(0, SizeTreeModel::Name, top)).toString(), "a");
    double shares = 0;
    for (int row = 0; row < 3; ++row)
        shares += model.shareOfParent(model.entryOf(model.index(row, 0, top)));
    EXPECT_NEAR(shares, 100.0, 1e-9);
    // A click on a file's tile chooses it in the tree.
    auto* map = window->findChild<TreemapView*>("wdgTreemap");
    ASSERT_TRUE(QTest::qWaitFor([map] { return !map->tiles().empty(); }));
    const auto file = std::find_if(map->tiles().cbegin(), map->tiles().cend(),
                                   [&](const TreemapLayout::Tile& tile) { return tree.name(tile.entry) == "one.dat"; });
    ASSERT_NE(file, map->tiles().cend());
    const SizeTree::Index one = file->entry;
    QTest::mouseClick(map, Qt::LeftButton, {}, file->rect.center().toPoint());
    auto* view = window->findChild<QTreeView*>("trvSizeTree");
    EXPECT_EQ(model.entryOf(view->currentIndex()), one);
    // The tree's pop-up menu: the file's properties, by its volume path.
    QList<QPair<QString, QString>> shown;
    onDialog = [&](QDialog& dialog) {
        for (QLabel* label : dialog.findChildren<QLabel*>())
            if (label->buddy())
                shown.append({label->text(), static_cast<QLabel*>(label->buddy())->text()});
    };
    window->setPopupRunner([](QMenu& menu, const QPoint&) { menu.findChild<QAction*>("Menu_Tree_Properties")->trigger(); });
    Q_EMIT view->customContextMenuRequested(view->visualRect(view->currentIndex()).center());
    ASSERT_FALSE(shown.isEmpty());
    EXPECT_EQ(shown[0], (QPair<QString, QString>{"Volume path:", "\\\\FS1\\VOL1\\a\\deep\\one.dat"}));
    onDialog = nullptr;
    // a becomes the root; Up, Back and Forward by their keys.
    Q_EMIT view->doubleClicked(model.index(0, 0, top));
    EXPECT_EQ(tree.name(model.top()), "a");
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    QTest::keyClick(view, Qt::Key_Backspace);
    EXPECT_EQ(model.top(), 0u);
    QTest::keyClick(view, Qt::Key_Left, Qt::AltModifier);
    EXPECT_EQ(tree.name(model.top()), "a");
    QTest::keyClick(view, Qt::Key_Left, Qt::AltModifier);
    EXPECT_EQ(model.top(), 0u);
    QTest::keyClick(view, Qt::Key_Right, Qt::AltModifier);
    EXPECT_EQ(tree.name(model.top()), "a");
    // Allocated sizes: the heading says so.
    window->findChild<QCheckBox*>("chkAllocated")->click();
    EXPECT_EQ(model.headerData(SizeTreeModel::Size, Qt::Horizontal).toString(), "Allocated(MB)");
    window->findChild<QCheckBox*>("chkAllocated")->click();
    // The whole volume by type: one row for the two .dat files, a bar for it, the files behind it.
    QTest::keyClick(view, Qt::Key_Backspace);
    window->findChild<QPushButton*>("cmdBreakdown")->click();
    auto* breakdown = window->findChild<BreakdownWindow*>();
    ASSERT_NE(breakdown, nullptr);
    auto* table = breakdown->findChild<QTableWidget*>("grdBreakdown");
    ASSERT_EQ(table->rowCount(), 1);
    EXPECT_EQ(table->item(0, 0)->text(), "dat");
    EXPECT_EQ(table->item(0, 2)->text(), "2");
    const QList<QAbstractSeries*> series = breakdown->chart()->series();
    ASSERT_EQ(series.size(), 1);
    const QList<QBarSet*> bars = static_cast<QAbstractBarSeries*>(series[0])->barSets();
    ASSERT_EQ(bars.size(), 1);
    EXPECT_EQ(bars[0]->count(), 1);
    EXPECT_EQ(bars[0]->at(0), 3.5);
    table->selectRow(0);
    EXPECT_EQ(breakdown->findChild<QTableWidget*>("grdFiles")->rowCount(), 2);
    QTemporaryDir saved;
    breakdown->setSavePathChooser([&](const QString&, const QString&, const QString&) { return saved.filePath("types.csv"); });
    breakdown->findChild<QPushButton*>("cmdSave")->click();
    QFile csv(saved.filePath("types.csv"));
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
    EXPECT_EQ(csv.readAll(), "Extension,Category,Files,Size(bytes),%\r\ndat,Other,2,3670016,100.0\r\n");
    // View > Allocated Size: the tree follows at once, the next run gives the blocks
    // taken, and the open window shows that walk as it goes, then whole.
    child<QAction>(*program, "Menu_View_Allocated")->trigger();
    EXPECT_TRUE(window->findChild<QCheckBox*>("chkAllocated")->isChecked());
    program->window().env().sizeTreeGrewEvery = 0;
    std::vector<std::size_t> parts;
    QObject::connect(window, &SizeTreeWindow::growingShown, window, [&parts](std::size_t entries) { parts.push_back(entries); });
    QTest::mouseClick(child<QPushButton>(*program, "btnShowUsage"), Qt::LeftButton);
    EXPECT_EQ(program->window().env().grid.cell(0, 2), "Allocated(MB)");
    ASSERT_GE(parts.size(), 2u);
    EXPECT_TRUE(std::is_sorted(parts.cbegin(), parts.cend()));
    EXPECT_LT(parts.front(), parts.back());
    EXPECT_LE(parts.back(), model.tree()->size());
    EXPECT_TRUE(window->findChild<QLabel*>("lblStatus")->text().isEmpty()); // the whole walk, no longer a part
    EXPECT_EQ(model.tree()->bytes(0, true), commandFigure("du", {"-sB1", volume1()}));
}

// A scan ncdu wrote of the volume, after one cut short: the same sizes, nothing to act on.
TEST_F(Window, TheSizeTreeShowsAnNcduScanAndActsOnNothingInIt) {
    auto program = runOnVolume1(2);
    child<QAction>(*program, "Menu_View_SizeTree")->trigger();
    auto* window = program->window().findChild<SizeTreeWindow*>();
    ASSERT_NE(window, nullptr);
    const SizeTreeModel& model = window->model();
    auto* view = window->findChild<QTreeView*>("trvSizeTree");
    QTemporaryDir scans;
    const QString scan = scans.filePath("vol1.json");
    QProcess ncdu;
    ncdu.start("ncdu", {"-0", "-x", "-e", "-o", scan, volume1()});
    ASSERT_TRUE(ncdu.waitForFinished(60000) && ncdu.exitCode() == 0);
    QFile whole(scan), cut(scans.filePath("cut.json"));
    ASSERT_TRUE(whole.open(QIODevice::ReadOnly) && cut.open(QIODevice::WriteOnly));
    cut.write(whole.read(whole.size() / 2));
    cut.close();
    QString chosen = cut.fileName();
    window->setScanChooser([&chosen](QWidget*) { return chosen; });
    auto* status = window->findChild<QLabel*>("lblStatus");
    window->findChild<QPushButton*>("cmdOpenScan")->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return status->text().startsWith("Cannot read the scan "); }));
    EXPECT_TRUE(status->text().startsWith("Cannot read the scan " + cut.fileName() + ": line ") &&
                status->text().contains(", column "))
        << status->text().toStdString();
    EXPECT_TRUE(window->source().isEmpty());
    chosen = scan;
    window->findChild<QPushButton*>("cmdOpenScan")->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->source() == scan; })) << status->text().toStdString();
    EXPECT_EQ(window->windowTitle(), "Size Tree - vol1.json");
    EXPECT_EQ(model.tree()->bytes(0, false), commandFigure("du", {"-sb", volume1()}));
    EXPECT_EQ(model.tree()->bytes(0, true), commandFigure("du", {"-sB1", volume1()}));
    QList<bool> enabled;
    window->setPopupRunner([&enabled](QMenu& menu, const QPoint&) {
        for (const char* name : {"Menu_Tree_Delete", "Menu_Tree_Explore", "Menu_Tree_Properties"})
            enabled.append(menu.findChild<QAction*>(name)->isEnabled());
    });
    SizeTree::Index scannedOne = 0;
    while (scannedOne < model.tree()->size() && model.tree()->name(scannedOne) != "one.dat")
        ++scannedOne;
    view->expandAll();
    view->setCurrentIndex(model.indexOf(scannedOne));
    view->scrollTo(view->currentIndex());
    Q_EMIT view->customContextMenuRequested(view->visualRect(view->currentIndex()).center());
    EXPECT_EQ(enabled, QList<bool>({false, false, false}));
}

// Delete and Move from the size tree's pop-up menu act as the grid's do, on
// what the walk recorded of each file: afterwards the tree, its map and the
// Directory run's rows count what is left on disk, and the log has each act.
// A file replaced since the walk is refused and stays.
TEST_F(Window, TheSizeTreeDeletesAndMovesFilesAndTheRowsFollow) {
    writeFile("a/deep/small.dat", 1000);
    writeFile("c/stays.dat", 3000);
    writeFile("c/also.dat", 7000);
    auto program = runOnVolume1(2); // a row each for a, b and c, summing its subtree
    ReportEnv& env = program->window().env();
    child<QAction>(*program, "Menu_View_SizeTree")->trigger();
    auto* window = program->window().findChild<SizeTreeWindow*>();
    ASSERT_NE(window, nullptr);
    const SizeTreeModel& model = window->model();
    auto* view = window->findChild<QTreeView*>("trvSizeTree");
    auto* map = window->findChild<TreemapView*>("wdgTreemap");
    const auto entryOf = [&](const QString& relative) {
        const SizeTree& tree = *model.tree();
        for (SizeTree::Index i = 0; i < tree.size(); ++i)
            if (!tree.removed(i) && QFile::decodeName(tree.path(i, '\\')) == "\\\\FS1\\VOL1\\" + relative)
                return i;
        return SizeTree::kNone;
    };
    QString pick;
    bool deleteEnabled = true;
    window->setPopupRunner([&](QMenu& menu, const QPoint&) {
        deleteEnabled = menu.findChild<QAction*>("Menu_Tree_Delete")->isEnabled();
        if (!pick.isEmpty())
            menu.findChild<QAction*>(pick)->trigger();
    });
    const auto press = [&](const QStringList& relatives) {
        view->selectionModel()->clearSelection();
        QModelIndex last;
        for (const QString& relative : relatives) {
            last = model.indexOf(entryOf(relative));
            for (QModelIndex up = last.parent(); up.isValid(); up = up.parent())
                view->expand(up);
            view->selectionModel()->select(last, QItemSelectionModel::Select | QItemSelectionModel::Rows);
        }
        view->scrollTo(last);
        Q_EMIT view->customContextMenuRequested(view->visualRect(last).center());
    };
    QStringList said;
    program->window().host().setAnswerer([&](const QString& text, const QString&) {
        said.append(text);
        return true;
    });
    // Each row, and the total, as the files left on disk sum.
    const auto rowsMatchTheDisk = [&] {
        double total = 0;
        for (qsizetype row = 1; row < env.grid.rows(); ++row) {
            const QString folder = env.grid.cell(row, 1).section('\\', -1);
            const std::optional<std::uint64_t> bytes =
                commandFigure("find", {volume1() + "/" + folder, "-type", "f", "-printf", "%s\\n"}, true);
            EXPECT_EQ(env.grid.figures(row).bytes, std::int64_t(bytes.value_or(0))) << folder.toStdString();
            EXPECT_EQ(env.grid.cell(row, 2).trimmed(),
                      CellFormat::formatNumber(double(bytes.value_or(0)) / 1048576.0, "###,###,##0.00"));
            total += double(bytes.value_or(0)) / 1048576.0;
        }
        EXPECT_EQ(env.view.lblGraphStats, fcnTotalsLine(env.grid, total));
    };
    const auto treeMatchesTheDisk = [&](const QStringList& folders) {
        for (const QString& folder : folders)
            EXPECT_EQ(model.tree()->bytes(entryOf(folder), false),
                      commandFigure("du", {"-sb", volume1() + "/" + QString(folder).replace('\\', '/')}))
                << folder.toStdString();
        EXPECT_EQ(model.tree()->bytes(model.top(), false), commandFigure("du", {"-sb", volume1()}));
    };
    const auto drawnWithout = [&](SizeTree::Index gone) {
        return !map->tiles().empty() && std::none_of(map->tiles().cbegin(), map->tiles().cend(),
                                                     [&](const TreemapLayout::Tile& tile) { return tile.entry == gone; });
    };

    // A folder is neither deleted nor moved from here.
    press({"a"});
    EXPECT_FALSE(deleteEnabled);
    press({"a\\deep\\one.dat"});
    EXPECT_TRUE(deleteEnabled);

    pick = "Menu_Tree_Delete";
    const SizeTree::Index one = entryOf("a\\deep\\one.dat");
    press({"a\\deep\\one.dat"});
    EXPECT_FALSE(QFile::exists(volume1() + "/a/deep/one.dat"));
    EXPECT_TRUE(model.tree()->removed(one));
    EXPECT_FALSE(model.indexOf(one).isValid());
    treeMatchesTheDisk({"a", "a\\deep"});
    EXPECT_EQ(model.tree()->sums(entryOf("a\\deep")).files, 1u);
    rowsMatchTheDisk();
    ASSERT_TRUE(QTest::qWaitFor([&] { return drawnWithout(one); }));
    QFile log(settingsDir.filePath("Quarvo.log"));
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    EXPECT_TRUE(log.readAll().contains(", Deleted \\\\FS1\\VOL1\\a\\deep\\one.dat"));
    log.close();

    // Replaced under its name since the walk: refused, and it stays.
    const QByteArray two = QFile::encodeName(volume1() + "/b/two.dat");
    writeFile("b/new.tmp", 1048576 / 2);
    ASSERT_EQ(::rename(QFile::encodeName(volume1() + "/b/new.tmp").constData(), two.constData()), 0);
    said.clear();
    press({"b\\two.dat"});
    EXPECT_TRUE(QFile::exists(volume1() + "/b/two.dat"));
    EXPECT_NE(entryOf("b\\two.dat"), SizeTree::kNone);
    EXPECT_TRUE(said.join('\n').contains("it was replaced by another file")) << said.join('\n').toStdString();
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    EXPECT_TRUE(log.readAll().contains("; Unable to delete \\\\FS1\\VOL1\\b\\two.dat; "));
    log.close();
    rowsMatchTheDisk();

    // Two files moved together, their folders rebuilt below the destination.
    QTemporaryDir target;
    onDialog = [&](QDialog& dialog) {
        static_cast<MoveDialog&>(dialog).chooseDestination(target.path());
        dialog.findChild<QPushButton*>("btnMoveFiles")->click();
    };
    pick = "Menu_Tree_Move";
    press({"c\\stays.dat", "c\\also.dat"});
    onDialog = nullptr;
    EXPECT_TRUE(QFile::exists(target.path() + "/c/stays.dat"));
    EXPECT_TRUE(QFile::exists(target.path() + "/c/also.dat"));
    EXPECT_FALSE(QFile::exists(volume1() + "/c/stays.dat"));
    EXPECT_EQ(entryOf("c\\also.dat"), SizeTree::kNone);
    EXPECT_EQ(model.tree()->sums(entryOf("c")).files, 0u);
    treeMatchesTheDisk({"c", "a"});
    rowsMatchTheDisk();
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    EXPECT_TRUE(log.readAll().contains(", Moved \\\\FS1\\VOL1\\c\\stays.dat TO "));
    log.close();
    // Moved within the walked tree: said to be counted there by the next run.
    onDialog = [&](QDialog& dialog) {
        static_cast<MoveDialog&>(dialog).chooseDestination(volume1() + "/c");
        dialog.findChild<QPushButton*>("btnMoveFiles")->click();
    };
    press({"a\\deep\\small.dat"});
    onDialog = nullptr;
    EXPECT_TRUE(QFile::exists(volume1() + "/c/a/deep/small.dat"));
    EXPECT_EQ(program->window().statusBar()->currentMessage(),
              "The files moved to " + volume1() + "/c are counted there after the next run.");

    // All Sub-Directories: a row counts its own folder's files, the total every file.
    child<QRadioButton>(*program, "optAllSubDirs")->click();
    QTest::mouseClick(child<QPushButton>(*program, "btnShowUsage"), Qt::LeftButton);
    pick = "Menu_Tree_Delete";
    press({"b\\two.dat"});
    EXPECT_FALSE(QFile::exists(volume1() + "/b/two.dat"));
    ASSERT_GT(env.grid.rows(), 4);
    for (qsizetype row = 1; row < env.grid.rows(); ++row) {
        const QString folder = volume1() + env.grid.cell(row, 1).mid(10).replace('\\', '/');
        const std::uint64_t bytes =
            commandFigure("find", {folder, "-maxdepth", "1", "-type", "f", "-printf", "%s\\n"}, true).value_or(0);
        EXPECT_EQ(env.grid.figures(row).bytes, std::int64_t(bytes)) << folder.toStdString();
        EXPECT_EQ(env.grid.cell(row, 2).trimmed(), CellFormat::formatNumber(double(bytes) / 1048576.0, "###,###,##0.00"));
    }
    const std::uint64_t all = commandFigure("find", {volume1(), "-type", "f", "-printf", "%s\\n"}, true).value_or(0);
    EXPECT_EQ(env.view.lblGraphStats, fcnTotalsLine(env.grid, double(all) / 1048576.0));
}

TEST_F(Window, SizesShownAsTheyFitWhileTheGridKeepsItsMegabytes) {
    auto program = runOnVolume1(2);
    onDialog = [](QDialog& dialog) {
        dialog.findChild<QRadioButton*>("optSizesFitting")->setChecked(true);
        dialog.findChild<QPushButton*>("btnSave")->click();
    };
    child<QAction>(*program, "Menu_Options")->trigger();
    QAbstractItemModel* model = child<QTableView>(*program, "grdDirSizes")->model();
    EXPECT_EQ(model->headerData(2, Qt::Horizontal).toString(), "Size");
    QStringList shown;
    for (int row = 0; row < model->rowCount(); ++row)
        shown.append(model->index(row, 1).data().toString().section('\\', -1) + "=" + model->index(row, 2).data().toString());
    EXPECT_EQ(shown, (QStringList{"a=3.00 MB", "b=512.00 KB", "c=0 B"}));
    EXPECT_EQ(program->window().env().grid.cell(1, 2).trimmed(), "3.00"); // what is saved and copied
    EXPECT_EQ(userValue("SizeUnits"), "fit");
}
