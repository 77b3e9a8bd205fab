#include "window_fixture.h"

#include "root_safe_folder.h"

#include "ui/auxiliary/desktop.h"
#include "ui/auxiliary/help_window.h"
#include "ui/main/main_window.h"
#include "ui/window_program.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QProcessEnvironment>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSettings>
#include <QStyleOptionComboBox>
#include <QStyleOptionFrame>
#include <QTabBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>

#include <gtest/gtest.h>

namespace {

struct Outcome {
    int status = -1;
    QString err;
};

Outcome runQuarvo(const QStringList& args, const QProcessEnvironment& env) {
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(QUARVO_BINARY, args);
    p.waitForFinished(30000);
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, QString::fromUtf8(p.readAllStandardError())};
}

QProcessEnvironment withoutDisplay() {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(QString::fromLatin1(name));
    return env;
}

// The window over the ACME site, as the program opens it.
class WindowOpening : public WindowFixture {
protected:
    static void showDateTab(WindowProgram& program) {
        child<QTabBar>(program, "tabSearch")->setCurrentIndex(4);
        QComboBox* comparison = child<QComboBox>(program, "cmbDate");
        comparison->setCurrentText("Between");
        Q_EMIT comparison->activated(comparison->currentIndex());
    }
};

// The offscreen screen of this program is 800x800. Returns true here after
// running the current test again in a copy of this program whose offscreen
// screens are a 1600x1000 one and, right of it, a 1024x600 one; false in the copy.
bool ranOnConfiguredScreens() {
    if (qEnvironmentVariableIsSet("QUARVO_CONFIGURED_SCREENS"))
        return false;
    QTemporaryDir dir;
    QFile config(dir.filePath("screens.json"));
    EXPECT_TRUE(config.open(QIODevice::WriteOnly));
    config.write(R"({"screens": [{"name": "Wide", "x": 0, "y": 0, "width": 1600, "height": 1000, "logicalDpi": 96},
                                 {"name": "Small", "x": 1600, "y": 0, "width": 1024, "height": 600, "logicalDpi": 96}]})");
    config.close();
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QUARVO_CONFIGURED_SCREENS", "1");
    QProcess copy;
    copy.setProcessEnvironment(env);
    copy.setProcessChannelMode(QProcess::MergedChannels);
    copy.start(QCoreApplication::applicationFilePath(),
               {"-platform", "offscreen:configfile=" + config.fileName(),
                QString("--gtest_filter=%1.%2").arg(test->test_suite_name(), test->name())});
    copy.waitForFinished(60000);
    const QString output = QString::fromUtf8(copy.readAll());
    EXPECT_EQ(copy.exitCode(), 0) << output.toStdString();
    EXPECT_TRUE(output.contains("[  PASSED  ] 1 test")) << output.toStdString();
    return true;
}

// The text a line edit has room for, inside its frame and Qt's 2-pixel margins.
int textRoom(QLineEdit* box) {
    QStyleOptionFrame frame;
    frame.initFrom(box);
    frame.lineWidth = box->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &frame, box);
    return box->style()->subElementRect(QStyle::SE_LineEditContents, &frame, box).width() - 2 * 2;
}

int textRoom(QComboBox* box) {
    QStyleOptionComboBox frame;
    frame.initFrom(box);
    frame.frame = true;
    frame.subControls = QStyle::SC_All;
    return box->style()->subControlRect(QStyle::CC_ComboBox, &frame, QStyle::SC_ComboBoxEditField, box).width();
}

} // namespace

TEST_F(WindowOpening, AFirstStartIsCentredShowsFifteenRowsAndEveryCaptionWhole) {
    if (ranOnConfiguredScreens())
        return;
    auto program = open();
    MainWindow& window = program->window();
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    const QRect screen = window.screen()->availableGeometry();
    ASSERT_EQ(screen, QRect(0, 0, 1600, 1000)) << "not the configured screen: the checks would mean nothing";
    EXPECT_TRUE(screen.contains(window.frameGeometry()));
    EXPECT_LE((window.frameGeometry().center() - screen.center()).manhattanLength(), 8);
    EXPECT_GE(window.width(), screen.width() * 2 / 3) << "room for the paths of the results";
    QTableView* grid = child<QTableView>(*program, "grdDirSizes");
    EXPECT_GE(grid->viewport()->height() / grid->verticalHeader()->defaultSectionSize(), 15);
    for (int tab = 0; tab < 5; ++tab) {
        child<QTabBar>(*program, "tabSearch")->setCurrentIndex(tab);
        if (tab == 4)
            showDateTab(*program); // with "and" and the end date
        QCoreApplication::processEvents();
        for (QWidget* widget : window.findChildren<QWidget*>()) {
            if (!widget->isVisible())
                continue;
            const std::string name = std::to_string(tab) + ": " + widget->objectName().toStdString();
            if (qobject_cast<QLabel*>(widget) || qobject_cast<QRadioButton*>(widget) ||
                qobject_cast<QCheckBox*>(widget) || qobject_cast<QGroupBox*>(widget)) {
                EXPECT_GE(widget->width(), widget->minimumSizeHint().width()) << name;
            }
            // Server and volume names of 15 characters.
            auto* box = qobject_cast<QComboBox*>(widget);
            if (box && QStringList{"cmbServer", "cmbServers", "cmbVolumeList"}.contains(box->objectName())) {
                EXPECT_GE(textRoom(box), box->fontMetrics().horizontalAdvance("DEPARTMENT_DATA")) << name;
            }
        }
    }
}

TEST_F(WindowOpening, TheDateTabLinesEachBoxUpWithItsOptionAndHoldsWholeDates) {
    auto program = open();
    MainWindow& window = program->window();
    window.show();
    showDateTab(*program);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    const auto row = [&](const char* name) {
        return child<QWidget>(*program, name)->geometry().center().y();
    };
    for (const char* name : {"cmbDate", "txtSelectedDate", "btnShowCalendar"})
        EXPECT_NEAR(row(name), row("optCreationDate"), 2) << name;
    for (const char* name : {"lblAnd", "txtEndDate", "btnEndDate"})
        EXPECT_NEAR(row(name), row("optModifyDate"), 2) << name;
    EXPECT_GT(row("optAccessDate"), row("optModifyDate"));
    for (const char* name : {"txtSelectedDate", "txtEndDate"}) {
        QLineEdit* box = child<QLineEdit>(*program, name);
        box->setText("12/31/2026");
        EXPECT_GE(textRoom(box), box->fontMetrics().horizontalAdvance(box->text())) << name;
    }
}

TEST_F(WindowOpening, OnLinuxNoScriptingNoticeAtStartAndTheHelpMenuSaysWhatQuarvoNeeds) {
    auto program = open();
    // A first start asks only where the server list starts.
    EXPECT_EQ(dialogs.join(", ").toStdString(), "frmSelectServerStartingContext");
    dialogs.clear();
    QString said;
    bool offersTheRuntime = true;
    onDialog = [&](QDialog& dialog) {
        said = dialog.findChild<QLabel*>("lblWindowsScript")->text();
        offersTheRuntime = !dialog.findChild<QPushButton*>("btnMicrosoftCom")->isHidden() ||
                           !dialog.findChild<QCheckBox*>("chkDontShowAgain")->isHidden();
        dialog.done(QDialog::Accepted);
    };
    child<QAction>(*program, "Menu_Scripting_Message")->trigger();
    EXPECT_EQ(dialogs.join(", ").toStdString(), "frmWindowsScript");
    EXPECT_TRUE(said.contains("read access to the volumes") && said.contains("xdg-open")) << said.toStdString();
    EXPECT_FALSE(said.contains("Windows")) << said.toStdString();
    EXPECT_FALSE(offersTheRuntime);
    // Nothing stored: "ScriptScreen" keeps what a Windows start would read.
    EXPECT_FALSE(QSettings(settingsDir.filePath("system.conf"), QSettings::IniFormat).contains("ScriptScreen"));
}

TEST_F(WindowOpening, HelpOpensWithinTheScreenOfTheMainWindow) {
    if (ranOnConfiguredScreens())
        return;
    auto program = open();
    MainWindow& window = program->window();
    window.move(1600 + 24, 16);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    ASSERT_EQ(window.screen()->name().toStdString(), "Small");
    child<QAction>(*program, "Menu_Contents")->trigger();
    HelpWindow* help = window.helpWindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(help));
    const QRect frame = help->frameGeometry();
    EXPECT_TRUE(QRect(1600, 0, 1024, 600).contains(frame))
        << frame.x() << "," << frame.y() << " " << frame.width() << "x" << frame.height();
}

TEST_F(WindowOpening, TheHelpContentsLeadToDeleteAndMoveAndWhereTheirLogIs) {
    auto program = open();
    child<QAction>(*program, "Menu_Contents")->trigger();
    QTextBrowser* text = program->window().helpWindow()->findChild<QTextBrowser*>("txtHelp");
    EXPECT_FALSE(text->toPlainText().contains("change nothing on the volumes"));
    ASSERT_TRUE(text->toHtml().contains("delete-move.html"));
    text->setSource(QUrl("delete-move.html"));
    const QString page = text->toPlainText();
    for (const char* says : {"same device, inode, size, modify time and status-change time", "Preserve Directory Structure",
                             "Overwrite existing files", "~/.local/state/Quarvo/Quarvo.log", "Unable to move"})
        EXPECT_TRUE(page.contains(says)) << says;
}

TEST_F(WindowOpening, TheSiteFilePageTellsHowLdapTreesAreReadAndInlineUsersLogIn) {
    auto program = open();
    child<QAction>(*program, "Menu_Contents")->trigger();
    QTextBrowser* text = program->window().helpWindow()->findChild<QTextBrowser*>("txtHelp");
    ASSERT_TRUE(text->toHtml().contains("site-file.html"));
    text->setSource(QUrl("site-file.html"));
    const QString page = text->toPlainText();
    const qsizetype from = page.indexOf("LDAP trees");
    const qsizetype to = page.indexOf("Objects of an inline tree");
    ASSERT_TRUE(from >= 0 && to > from) << page.toStdString();
    const QString ldap = page.mid(from, to - from);
    EXPECT_FALSE(ldap.contains("not supported") || ldap.contains("refused")) << ldap.toStdString();
    for (const char* key : {"directory = \"ldap\"", "uri", "base", "bind_dn", "password_file", "starttls",
                            "ca_file", "allow_plaintext_password", "schema", "uid_attribute", "timeout"})
        EXPECT_TRUE(ldap.contains(key)) << key;
    for (const char* says : {"password_hash", "$y$", "$6$", "mkpasswd -m yescrypt", "openssl passwd -6",
                             "A user without one cannot log in"})
        EXPECT_TRUE(page.mid(to).contains(says)) << says;
}

TEST_F(WindowOpening, EscClosesTheHelp) {
    auto program = open();
    child<QAction>(*program, "Menu_Contents")->trigger();
    HelpWindow* help = program->window().helpWindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(help));
    QTest::keyClick(help->findChild<QTextBrowser*>("txtHelp"), Qt::Key_Escape);
    EXPECT_FALSE(help->isVisible());
    child<QAction>(*program, "Menu_Contents")->trigger();
    EXPECT_TRUE(help->isVisible());
    QTest::keyClick(help->findChild<QPushButton*>("btnContents"), Qt::Key_Escape);
    EXPECT_FALSE(help->isVisible());
}

TEST(WindowStart, WithoutADisplayItSaysSoInOneLineAndExits3) {
    for (const QStringList& args : {QStringList{}, QStringList{"/DEBUG"}}) {
        const Outcome o = runQuarvo(args, withoutDisplay());
        EXPECT_EQ(o.status, 3) << o.err.toStdString();
        EXPECT_EQ(o.err.count('\n'), 1) << o.err.toStdString();
        EXPECT_TRUE(o.err.startsWith("quarvo: there is no display")) << o.err.toStdString();
        EXPECT_TRUE(o.err.contains("quarvo --help")) << o.err.toStdString();
    }
}

TEST(WindowStart, ACommandLineRunNeverLoadsQtWidgets) {
    QProcessEnvironment env = withoutDisplay();
    env.insert("LD_DEBUG", "libs"); // the dynamic loader names every library it loads
    const Outcome o = runQuarvo({"--list"}, env);
    EXPECT_EQ(o.status, 0) << o.err.toStdString();
    ASSERT_TRUE(o.err.contains("libQt6Core")) << "the loader said nothing; the check would prove nothing";
    EXPECT_FALSE(o.err.contains("libQt6Widgets")) << o.err.toStdString();
    EXPECT_FALSE(o.err.contains("libquarvo_gui")) << o.err.toStdString();
}

TEST(WindowStart, ACommandLineRunStoresNoWindowSettings) {
    QTemporaryDir home{rootSafeTemplate()};
    QProcessEnvironment env = withoutDisplay();
    env.insert("HOME", home.path());
    env.insert("XDG_CONFIG_HOME", home.path() + "/config");
    QDir().mkpath(home.filePath("vol/sub"));
    QFile site(home.filePath("site.toml"));
    ASSERT_TRUE(site.open(QIODevice::WriteOnly));
    site.write(QString("[[tree]]\nname = \"T\"\ndirectory = \"inline\"\ndefault = true\n"
                       "[[server]]\nname = \"S\"\nvolumes = { V = \"%1\" }\n")
                   .arg(home.filePath("vol"))
                   .toUtf8());
    site.close();
    env.insert("QUARVO_SITE", site.fileName());
    const Outcome o = runQuarvo({"/T=T", "/F=DIRECTORY", "/D=\\\\S\\V", "/ALLSUBS", "/OUTFILE=" + home.filePath("d.csv")}, env);
    ASSERT_EQ(o.status, 0) << o.err.toStdString();
    const QString conf = home.path() + "/config/Tessaloom/Quarvo.conf";
    const QSettings settings(conf, QSettings::IniFormat);
    for (const char* name : {"SaveServer", "SaveVolume", "StartingUserContainer", "MainForm/Top", "MainForm/Left",
                             "MainForm/Height", "MainForm/Width"})
        EXPECT_FALSE(settings.contains(QString::fromLatin1(name))) << name << " after: " << o.err.toStdString();
}
