// Times the window on a generated tree, offscreen: start to the main window
// painted, a File search by pattern that fills the grid to its row limit
// (with the longest stall of the event loop during it), how soon Stop ends
// a running walk, saving the rows, and the peak memory. Prints one line per
// figure; compare.sh's site file names the tree.
//
//   window_run PATTERN OUTPUT-FOLDER    (QUARVO_SITE names a site with \\SRV\DATA)
#include "reports/results_file.h"
#include "ui/main/main_window.h"
#include "ui/window_program.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QTimer>

#include <cstdio>

namespace {

long peakKilobytes() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    }
    return -1;
}

template <typename T>
T* child(MainWindow& window, const char* name) {
    return window.findChild<T*>(QString::fromLatin1(name));
}

// A File search by pattern on \\SRV\DATA\, as a user sets it up.
void setUpFileSearch(MainWindow& window, const QString& pattern) {
    window.chooseServer(QStringLiteral("SRV"));
    window.chooseVolume(QStringLiteral("DATA"));
    child<QTabBar>(window, "tabSearch")->setCurrentIndex(3);
    child<QRadioButton>(window, "optFileType")->click();
    child<QLineEdit>(window, "txtFileType")->setText(pattern);
}

// Runs Show Usage and reports its time and the longest gap between two
// passes of the event loop meanwhile.
void timedRun(MainWindow& window) {
    qint64 longest = 0;
    QElapsedTimer sincePass;
    QTimer pass;
    QObject::connect(&pass, &QTimer::timeout, [&] {
        if (sincePass.isValid())
            longest = std::max(longest, sincePass.elapsed());
        sincePass.start();
    });
    pass.start(0);
    QElapsedTimer run;
    run.start();
    child<QPushButton>(window, "btnShowUsage")->click();
    const qint64 took = run.elapsed();
    pass.stop();
    std::printf("window-file-run %lld ms, %lld rows, longest event-loop stall %lld ms\n", (long long)took,
                (long long)window.env().grid.rows() - 1, (long long)longest);
}

// Presses Stop 300 ms into a run and reports how long the run takes to end.
void timedStop(MainWindow& window) {
    QElapsedTimer sincePress;
    QTimer::singleShot(300, [&] {
        sincePress.start();
        child<QPushButton>(window, "btnShowUsage")->click();
    });
    child<QPushButton>(window, "btnShowUsage")->click();
    std::printf("window-stop %lld ms from the press to the run's end\n",
                sincePress.isValid() ? (long long)sincePress.elapsed() : -1LL);
}

} // namespace

int main(int argc, char** argv) {
    QElapsedTimer sinceStart;
    sinceStart.start();
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: window_run PATTERN OUTPUT-FOLDER\n");
        return 2;
    }
    WindowProgram::Options options;
    const QString folder = QString::fromLocal8Bit(argv[2]);
    options.settings = {folder + QStringLiteral("/user.conf"), folder + QStringLiteral("/system.conf")};
    options.runDialog = [](QDialog& dialog) {
        dialog.done(QDialog::Accepted);
        return int(QDialog::Accepted);
    };
    WindowProgram program(std::move(options));
    if (!program.Form_Load())
        return 1;
    MainWindow& window = program.window();
    window.host().setAnswerer([](const QString&, const QString&) { return false; });
    window.show();
    QApplication::processEvents();
    window.repaint();
    std::printf("window-start %lld ms to the main window painted\n", (long long)sinceStart.elapsed());

    setUpFileSearch(window, QString::fromLocal8Bit(argv[1]));
    timedRun(window);
    QElapsedTimer save;
    save.start();
    const bool saved = ResultsFile::subSaveResultsFile(window.env().grid, QString::fromLocal8Bit(argv[2]) +
                                                                               QStringLiteral("/window.csv"),
                                                       QStringLiteral(","), window.host());
    std::printf("window-save %lld ms for %lld rows%s\n", (long long)save.elapsed(),
                (long long)window.env().grid.rows(), saved ? "" : " (failed)");
    timedStop(window);
    std::printf("window-peak %.1f MB\n", double(peakKilobytes()) / 1024.0);
    program.Form_Unload();
    return 0;
}
