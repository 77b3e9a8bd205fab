#include "ui/window_entry.h"

#include "ui/batch/command_syntax_window.h"
#include "ui/main/main_window.h"
#include "ui/window_program.h"

#include <QApplication>
#include <QStyle>

int quarvoWindowMain(int argc, char** argv, int debugMode) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quarvo"));
    WindowProgram::Options options;
    options.debugMode = debugMode != 0;
    WindowProgram program(std::move(options));
    if (!program.Form_Load())
        return 3;
    program.window().show();
    const int status = QApplication::exec();
    program.Form_Unload();
    return status;
}

int quarvoSyntaxWindowMain(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quarvo"));
    QApplication::setWindowIcon(QApplication::style()->standardIcon(QStyle::SP_DriveHDIcon));
    CommandSyntaxWindow::showSyntax(nullptr);
    return 0;
}
