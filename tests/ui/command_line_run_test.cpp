// frmCreateCommandLineRun: the window's choices become script lines, and the
// scripts, run by sh, run the real program as the same choices typed by hand.
#include "window_fixture.h"

#include "root_safe_folder.h"
#include "text_files.h"

#include "ui/batch/command_line_run_dialog.h"

#include "reports/cell_format.h"

#include <QAction>
#include <QApplication>
#include <QCalendarWidget>
#include <QGroupBox>
#include <QTreeWidget>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileSystemModel>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QTabBar>
#include <QTest>
#include <QTimer>
#include <QTreeView>

#include <unistd.h>

namespace {

// Every character the shell would act on, and no " /" (which ends a value).
const QString kNasty = QStringLiteral("a b'c$(touch marker)d`e;f");

template <typename T>
T* at(QDialog& dialog, const char* name) {
    T* widget = dialog.findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(widget, nullptr) << name;
    return widget;
}

void choose(QComboBox* box, const QString& text) {
    box->setCurrentIndex(box->findText(text));
    ASSERT_GE(box->currentIndex(), 0) << text.toStdString();
    Q_EMIT box->activated(box->currentIndex());
}

QByteArray contents(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

// The rows of a report without the run date that opens each; fields
// after the last kept are left off (free space changes between two runs).
QStringList rows(const QString& path, int lastField = -1) {
    QStringList lines;
    for (const QString& line : readCrlfLines(path))
        lines.append(line.section(',', 1, lastField));
    return lines;
}

class Builder : public WindowFixture {
protected:
    Builder() {
        // A small volume with owners, sub-directories and one oddly named
        // directory, file and container.
        vol1 = QFile::decodeName(acme.root("VOL1"));
        for (const QString& dir : QStringList{"users/jsmith", "users/bjones", "data", kNasty})
            QDir().mkpath(vol1 + "/" + dir);
        write(vol1 + "/users/jsmith/j.dat", 1048576, 1001);
        write(vol1 + "/users/bjones/b.dat", 3 * 1048576, 1002);
        write(vol1 + "/data/report.txt", 5000, 1003);
        write(vol1 + "/" + kNasty + "/" + kNasty + ".dat", 700, 1001);
        site = acme.site();
        site.trees[0].objects.append(AcmeSite::object(kNasty + ".ACME", "Organizational Unit"));
        writeSiteFile();
    }

    void write(const QString& path, qint64 bytes, uid_t owner) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(bytes, 'q'));
        file.close();
        if (::geteuid() == 0) {
            ASSERT_EQ(::chown(QFile::encodeName(path).constData(), owner, owner), 0);
        }
    }

    // The same tree for the program the scripts run.
    void writeSiteFile() {
        QString objects;
        for (const DirectoryObject& o : site.trees[0].objects) {
            objects += QString("\"%1\" = { class = \"%2\"").arg(QString(o.name).replace("\"", "\\\""), o.className);
            if (o.uid)
                objects += QString(", uid = %1").arg(*o.uid);
            if (!o.members.isEmpty())
                objects += ", members = [\"" + o.members.join("\", \"") + "\"]";
            objects += " }\n";
        }
        QFile file(work.filePath("site.toml"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QString("[[tree]]\nname = \"ACME_TREE\"\ndirectory = \"inline\"\n\n[tree.objects]\n%1\n"
                           "[[server]]\nname = \"FS1\"\nvolumes = { SYS = \"%2\", VOL1 = \"%3\" }\n")
                       .arg(objects, QFile::decodeName(acme.root("SYS")), vol1)
                       .toUtf8());
    }

    std::unique_ptr<WindowProgram> start() {
        WindowProgram::Options o = options();
        o.site = site;
        o.programPath = QUARVO_BINARY;
        auto program = std::make_unique<WindowProgram>(o);
        EXPECT_TRUE(program->Form_Load());
        program->window().host().setAnswerer([this](const QString& text, const QString&) {
            messages.append(text);
            return false;
        });
        return program;
    }

    // Opens the builder from the Tools menu; drive works it while it is open.
    void build(WindowProgram& program, const std::function<void(CommandLineRunDialog&)>& drive) {
        bool opened = false;
        onDialog = [&](QDialog& dialog) {
            auto* builder = qobject_cast<CommandLineRunDialog*>(&dialog);
            if (!builder) {
                if (onBrowser)
                    onBrowser(dialog);
                return;
            }
            opened = true;
            builder->setPathChooser([this](const QString&, const QString& filter) {
                filters.append(filter);
                return chosenPath;
            });
            drive(*builder);
        };
        child<QAction>(program, "Menu_CommandLineRun")->trigger();
        onDialog = nullptr;
        EXPECT_TRUE(opened);
    }

    // The script and output file named through the Browse buttons.
    void nameFiles(QDialog& b, const QString& script, const QString& output) {
        chosenPath = script;
        at<QPushButton>(b, "btnBatBrowse")->click();
        chosenPath = output;
        at<QPushButton>(b, "btnBrowse")->click();
    }

    static void showTab(QDialog& b, int tab) { at<QTabBar>(b, "TabStrip1")->setCurrentIndex(tab - 1); }

    static void create(QDialog& b) {
        QPushButton* button = at<QPushButton>(b, "btnCreateBatchFile");
        ASSERT_TRUE(button->isEnabled());
        button->click();
    }

    static void chooseDirectory(QDialog& b, const QString& localPath) {
        auto* view = at<QTreeView>(b, "dirDirlist");
        auto* model = qobject_cast<QFileSystemModel*>(view->model());
        view->setCurrentIndex(model->index(localPath));
    }

    // The quarvo line the script holds for each run, as words.
    QString line(const QStringList& switches) const {
        QString text = "'" + QString(QUARVO_BINARY) + "'";
        for (const QString& word : switches)
            text += " '" + QString(word).replace("'", "'\\''") + "'";
        return text;
    }

    int runProgram(const QString& program, const QStringList& args) {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QUARVO_SITE", work.filePath("site.toml"));
        env.insert("XDG_CONFIG_HOME", work.filePath("config"));
        p.setProcessEnvironment(env);
        p.setWorkingDirectory(work.path());
        p.start(program, args);
        p.waitForFinished(120000);
        errors = QString::fromUtf8(p.readAllStandardError());
        return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    }

    // Chooses in the container browser the builder opens.
    std::function<void(QDialog&)> onBrowser;
    Site site;
    QString vol1;
    QTemporaryDir work{rootSafeTemplate()};
    QString chosenPath;
    QStringList filters;
    QStringList messages;
    QString errors;
};

} // namespace

TEST_F(Builder, VolumesCopiedFromTheMainWindowAreListedOnceAndNeededForCreate) {
    auto program = start();
    child<QTabBar>(*program, "tabSearch")->setCurrentIndex(1);
    choose(child<QComboBox>(*program, "cmbServers"), "FS1");
    child<QPushButton>(*program, "btnAddAll")->click();
    const QString script = work.filePath("runs.sh");
    build(*program, [&](CommandLineRunDialog& b) {
        QListWidget* list = at<QListWidget>(b, "lstVolumeList");
        ASSERT_EQ(list->count(), 2);
        EXPECT_EQ(at<QLabel>(b, "lblCLITree")->text(), "ACME_TREE");
        EXPECT_EQ(at<QLabel>(b, "lblVolumeList")->text(), "Vo&lumes");
        EXPECT_FALSE(at<QPushButton>(b, "btnCreateBatchFile")->isEnabled());
        nameFiles(b, script, work.filePath("volumes.csv"));
        EXPECT_EQ(filters, (QStringList{"Shell Script (*.sh);;All Files (*)",
                                        "Comma Separated File (*.csv);;All Files (*)"}));
        create(b);
        EXPECT_EQ(at<QStatusBar>(b, "stsbarStatus")->currentMessage(), "Batch File Appended");
        // The same server and volume added twice: one entry.
        choose(at<QComboBox>(b, "cmbCLIServer"), "FS1");
        choose(at<QComboBox>(b, "cmbCLIVolume"), "VOL1");
        at<QPushButton>(b, "btnAddVolume")->click();
        at<QPushButton>(b, "btnAddVolume")->click();
        EXPECT_EQ(list->count(), 2);
        for (int i = 0; i < 2; ++i) {
            list->setCurrentRow(0);
            EXPECT_TRUE(at<QPushButton>(b, "btnCreateBatchFile")->isEnabled());
            at<QPushButton>(b, "btnRemoveVolume")->click();
        }
        EXPECT_EQ(list->count(), 0);
        EXPECT_FALSE(at<QPushButton>(b, "btnCreateBatchFile")->isEnabled());
    });
    const QString expected = "#!/bin/sh\n" +
                             line({"/T=ACME_TREE", "/F=VOLUME", "/V=\\\\FS1\\SYS,\\\\FS1\\VOL1",
                                   "/OUTFILE=" + work.filePath("volumes.csv"), "/APPEND"}) + "\n";
    EXPECT_EQ(QString::fromUtf8(contents(script)), expected);
    EXPECT_TRUE(QFileInfo(script).isExecutable());
}

TEST_F(Builder, EachTabsChoicesWriteTheirSwitchesAndTheAppendBoxDecidesReplaceOrAppend) {
    auto program = start();
    const QString script = work.filePath("runs.sh");
    const QString out = work.filePath("out.csv");
    QFile old(script);
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("#!/bin/sh\necho before\n");
    old.close();
    build(*program, [&](CommandLineRunDialog& b) {
        nameFiles(b, script, out);
        // Owner tab: All Owners without sub-containers, replacing the script.
        at<QCheckBox>(b, "chkSubContainers")->setChecked(false);
        at<QCheckBox>(b, "chkAppend")->setChecked(false);
        at<QCheckBox>(b, "chkAppendToBatch")->click();
        EXPECT_EQ(at<QPushButton>(b, "btnCreateBatchFile")->text(), "Create Batch &File");
        create(b);
        EXPECT_EQ(at<QStatusBar>(b, "stsbarStatus")->currentMessage(), "Batch File Created");
        // File tab: "=" with 10; a letter typed into the size does nothing.
        at<QCheckBox>(b, "chkAppendToBatch")->click();
        at<QCheckBox>(b, "chkPrintHeading")->setChecked(true);
        showTab(b, 4);
        at<QRadioButton>(b, "optFileSize")->click();
        at<QComboBox>(b, "cmbSizeLimit")->setCurrentText("=");
        auto* size = at<QLineEdit>(b, "txtSearchSize");
        size->clear();
        QTest::keyClicks(size, "1x0");
        EXPECT_EQ(size->text(), "10");
        create(b);
        // Date tab: Between writes both dates; Older than hides the end date again.
        showTab(b, 5);
        at<QRadioButton>(b, "optModifyDate")->click();
        choose(at<QComboBox>(b, "cmbDate"), "Between");
        at<QLineEdit>(b, "txtSelectedDate")->setText("1/2/2020");
        at<QLineEdit>(b, "txtEndDate")->setText("3/4/2021");
        EXPECT_FALSE(at<QLineEdit>(b, "txtEndDate")->isHidden());
        create(b);
        choose(at<QComboBox>(b, "cmbDate"), "Older than");
        EXPECT_TRUE(at<QLineEdit>(b, "txtEndDate")->isHidden());
        EXPECT_FALSE(at<QCheckBox>(b, "chkAllocated")->isEnabled());
        // Directory tab, all sub-directories, in allocated sizes.
        showTab(b, 3);
        at<QRadioButton>(b, "optAllSubDirs")->click();
        at<QCheckBox>(b, "chkAllocated")->click();
        create(b);
        at<QLineEdit>(b, "txtBatchFile")->clear();
        EXPECT_FALSE(at<QPushButton>(b, "btnCreateBatchFile")->isEnabled());
    });
    const QString dir = "/D=\\\\FS1\\SYS\\";
    const QStringList tail{"/HEADINGS", "/OUTFILE=" + out};
    EXPECT_EQ(QString::fromUtf8(contents(script)).toStdString(),
              (QStringList{"#!/bin/sh",
                           line({"/T=ACME_TREE", "/F=OWNER", "/S=FS1", "/V=SYS", "/C=ACME_TREE\\[Root]",
                                 "/OWNER=ALL-SUB", "/OUTFILE=" + out}),
                           line(QStringList{"/T=ACME_TREE", "/F=FILE", dir, "/SIZE EQ 10"} + tail),
                           line(QStringList{"/T=ACME_TREE", "/F=DATE", dir, "/OPT=MODIFY", "/BETWEEN=1/2/2020,3/4/2021"} +
                                tail),
                           line(QStringList{"/T=ACME_TREE", "/F=DIRECTORY", dir, "/ALLSUBS", "/ALLOCATED"} + tail), ""})
                  .join('\n')
                  .toStdString());
}

TEST_F(Builder, OpensOnTheMainWindowsTabAndTakesTheContainerFromTheBrowser) {
    auto program = start();
    child<QTabBar>(*program, "tabSearch")->setCurrentIndex(3);
    child<QLineEdit>(*program, "txtFileType")->setText("*.TXT");
    onBrowser = [](QDialog& browser) {
        ASSERT_EQ(browser.objectName(), "frmLstConn");
        auto* view = browser.findChild<QTreeWidget*>("treeviewContext");
        QTreeWidgetItem* node = view->topLevelItem(0);
        for (const QString name : {"ACME", "SALES"}) {
            view->setCurrentItem(node);
            QTest::keyClick(view, Qt::Key_Right);
            const QList<QTreeWidgetItem*> found = view->findItems(name, Qt::MatchExactly | Qt::MatchRecursive);
            ASSERT_EQ(found.size(), 1) << name.toStdString();
            node = found[0];
        }
        view->setCurrentItem(node);
        browser.findChild<QPushButton*>("btnSelect")->click();
    };
    build(*program, [&](CommandLineRunDialog& b) {
        EXPECT_EQ(at<QTabBar>(b, "TabStrip1")->currentIndex(), 3);
        EXPECT_FALSE(at<QGroupBox>(b, "fraServerVol")->isHidden());
        EXPECT_EQ(at<QLineEdit>(b, "txtFileType")->text(), "*.TXT");
        // The calendar writes the day clicked into the box it serves.
        at<QPushButton>(b, "btnShowCalendar")->click();
        Q_EMIT b.findChild<QCalendarWidget*>("mnthvwCalendar")->clicked(QDate(2021, 3, 4));
        EXPECT_EQ(at<QLineEdit>(b, "txtSelectedDate")->text(), CellFormat::shortDate(QDate(2021, 3, 4)));
        showTab(b, 1);
        EXPECT_TRUE(at<QGroupBox>(b, "fraServerVol")->isHidden());
        at<QRadioButton>(b, "optSelectOwner")->click();
        nameFiles(b, work.filePath("runs.sh"), work.filePath("out.csv"));
        at<QPushButton>(b, "btnSelectContainer")->click();
        EXPECT_EQ(program->app().strBrowseCaller, "frmCreateCommandLineRun");
        EXPECT_EQ(at<QLineEdit>(b, "txtStartingContainer")->text(), "ACME_TREE\\ACME\\SALES");
        EXPECT_EQ(at<QComboBox>(b, "cmbSelectedOwner")->currentText(), "BJONES");
        EXPECT_FALSE(at<QCheckBox>(b, "chkSubContainers")->isEnabled());
        EXPECT_TRUE(at<QPushButton>(b, "btnCreateBatchFile")->isEnabled());
        // "&Syntax" opens the syntax window over the builder.
        QString opened;
        QTimer::singleShot(0, [&opened] {
            if (QWidget* modal = QApplication::activeModalWidget()) {
                opened = modal->objectName();
                modal->close();
            }
        });
        at<QPushButton>(b, "btnSyntax")->click();
        EXPECT_EQ(opened, "frmCommandSyntax");
    });
}

TEST_F(Builder, AScriptOrOutputThatCannotBeWrittenIsSaidWhyAndNothingIsWritten) {
    auto program = start();
    const QString script = work.filePath("runs.sh");
    build(*program, [&](CommandLineRunDialog& b) {
        nameFiles(b, work.filePath("missing/runs.sh"), work.filePath("out.csv"));
        create(b);
        nameFiles(b, script, work.filePath("missing/out.csv"));
        create(b);
    });
    ASSERT_EQ(messages.size(), 2);
    EXPECT_EQ(messages[0], "Cannot open " + work.filePath("missing/runs.sh") + ": No such file or directory");
    EXPECT_EQ(messages[1], "Cannot write " + work.filePath("missing/out.csv") + ": No such file or directory");
    EXPECT_FALSE(QFile::exists(script));
    EXPECT_EQ(QDir(work.path()).entryList(QDir::Files), QStringList{"site.toml"});
}

// The script the window wrote gives the same report as the same choices
// typed by hand, for every report kind.
TEST_F(Builder, TheScriptRunsEachReportAsTheSameSwitchesTypedByHand) {
    auto program = start();
    const QString script = work.filePath("runs.sh");
    const auto out = [this](const char* name) { return work.filePath(name); };
    const bool root = ::geteuid() == 0; // owners need chown
    build(*program, [&](CommandLineRunDialog& b) {
        choose(at<QComboBox>(b, "cmbCLIVolume"), "VOL1");
        at<QCheckBox>(b, "chkPrintHeading")->setChecked(true);
        at<QCheckBox>(b, "chkAppend")->setChecked(false);
        const auto write = [&](const char* name) {
            nameFiles(b, script, out(name));
            create(b);
        };
        if (root) {
            at<QLineEdit>(b, "txtStartingContainer")->setText("ACME_TREE\\ACME");
            write("owner.csv");
        }
        showTab(b, 2);
        at<QPushButton>(b, "btnAddVolume")->click();
        write("volume.csv");
        showTab(b, 3);
        chooseDirectory(b, vol1 + "/users");
        EXPECT_EQ(at<QLabel>(b, "lblDirectory")->text(), "\\\\FS1\\VOL1\\users");
        write("directory.csv");
        showTab(b, 4);
        chooseDirectory(b, vol1);
        at<QLineEdit>(b, "txtFileType")->setText("*.DAT");
        write("file.csv");
        showTab(b, 5);
        choose(at<QComboBox>(b, "cmbDate"), "Newer than");
        at<QLineEdit>(b, "txtSelectedDate")->setText("1/1/2000");
        write("date.csv");
    });
    ASSERT_EQ(runProgram("sh", {"-e", script}), 0) << errors.toStdString();
    const QString tree = "/T=ACME_TREE";
    const QString dir = "/D=\\\\FS1\\VOL1";
    QList<std::pair<const char*, QStringList>> byHand{
        {"volume.csv", {tree, "/F=VOLUME", "/V=\\\\FS1\\VOL1"}},
        {"directory.csv", {tree, "/F=DIRECTORY", dir + "\\users", "/IMMSUBS"}},
        {"file.csv", {tree, "/F=FILE", dir, "/PATTERN=*.DAT"}},
        {"date.csv", {tree, "/F=DATE", dir, "/OPT=CREATE", "/NEWERTHAN=1/1/2000"}}};
    if (root)
        byHand.append({"owner.csv", {tree, "/F=OWNER", "/S=FS1", "/V=VOL1", "/C=ACME_TREE\\ACME", "/OWNER=ALL+SUB"}});
    for (const auto& [name, switches] : byHand) {
        const QString direct = out(name) + ".direct";
        ASSERT_EQ(runProgram(QUARVO_BINARY, switches + QStringList{"/HEADINGS", "/OUTFILE=" + direct}), 0)
            << name << errors.toStdString();
        const int lastField = QString(name) == "volume.csv" ? 2 : -1;
        const QString fromScript = rows(out(name), lastField).join('\n');
        EXPECT_GE(fromScript.count('\n'), 1) << name;
        EXPECT_EQ(fromScript.toStdString(), rows(direct, lastField).join('\n').toStdString()) << name;
    }
    EXPECT_TRUE(rows(out("file.csv")).join('\n').contains("j.dat"));
}

// Whatever a directory, pattern, container or output path holds reaches the
// program as typed: the runs find them, and no command in them runs.
TEST_F(Builder, NothingInANameRunsAsACommand) {
    auto program = start();
    const QString outDir = work.filePath(kNasty);
    QDir().mkpath(outDir);
    const QString script = work.filePath("runs.sh");
    build(*program, [&](CommandLineRunDialog& b) {
        choose(at<QComboBox>(b, "cmbCLIVolume"), "VOL1");
        at<QLineEdit>(b, "txtStartingContainer")->setText("ACME_TREE\\ACME\\" + kNasty);
        nameFiles(b, script, outDir + "/owner " + kNasty + ".csv");
        create(b);
        showTab(b, 4);
        chooseDirectory(b, vol1 + "/" + kNasty);
        at<QLineEdit>(b, "txtFileType")->setText(kNasty + ".dat");
        nameFiles(b, script, outDir + "/" + kNasty + ".csv");
        create(b);
    });
    ASSERT_EQ(runProgram("sh", {"-e", script}), 0) << errors.toStdString();
    EXPECT_TRUE(QFile::exists(outDir + "/owner " + kNasty + ".csv"));
    const QStringList found = rows(outDir + "/" + kNasty + ".csv");
    ASSERT_EQ(found.size(), 1);
    EXPECT_TRUE(found[0].contains(kNasty + ".dat")) << found[0].toStdString();
    for (const QString& dir : {work.path(), vol1, outDir})
        EXPECT_TRUE(QDir(dir).entryList({"marker", "MARKER"}).isEmpty()) << dir.toStdString();
}
