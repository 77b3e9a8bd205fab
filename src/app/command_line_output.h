#pragma once

#include "reports/host.h"
#include "reports/report_env.h"

#include <QString>
#include <QStringList>

#include <cstdio>
#include <memory>

class QFileDevice;

// The output file of a command-line run: "Run Date" (and "Server", "Volume"
// except for a Volume run) before each row's cells, the heading line only
// with /HEADINGS. It is opened before the walk, so a path that cannot be
// written fails at once. Without /APPEND the rows go to a temporary file
// beside it that replaces it only when all is written, so a run that fails
// or stops never destroys the previous file; with /APPEND they are added at
// the end. No file, or "-", means standard output.
class CommandLineOutput {
  public:
    struct Target {
        QString path;
        bool append = false;
        bool headings = false;
        QString delimiter = QStringLiteral(",");
    };

    explicit CommandLineOutput(Target target, std::FILE* standardOutput = stdout);
    ~CommandLineOutput();
    CommandLineOutput(const CommandLineOutput&) = delete;
    CommandLineOutput& operator=(const CommandLineOutput&) = delete;

    bool toStandardOutput() const;
    // Empty when the output is ready, else why not.
    QString open();
    // Writes the rows and puts the file in place; empty when done, else why not.
    QString write(const ReportEnv& env, Host& host);
    // For a stopped run: the rows found go to partialPath(), and the file
    // stays as it was (standard output takes them as usual).
    QString writePartial(const ReportEnv& env, Host& host);
    QString partialPath() const { return m_target.path + QStringLiteral(".partial"); }
    // Leaves the file as it was before open(): nothing written, nothing created.
    void abandon();

  private:
    // host is null for standard output, where a status line would mix with the rows.
    QString writeTo(QFileDevice& device, const QString& name, const ReportEnv& env, Host* host);
    QString finish(QFileDevice& device, const QString& name);

    Target m_target;
    std::FILE* m_stdout;
    std::unique_ptr<QFileDevice> m_device;
    bool m_created = false; // open() made the file that /APPEND adds to
};
