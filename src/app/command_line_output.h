#pragma once

#include "settings/host.h"
#include "reports/report_env.h"
#include "reports/whole_file_writer.h"

#include <QString>
#include <QStringList>

#include <cstdio>
#include <functional>
#include <memory>

// The output file of a command-line run: "Run Date" (and "Server", "Volume"
// except for a Volume run) before each row's cells, the heading line only
// with /HEADINGS. It is opened before the walk, so a path that cannot be
// written (a folder, a device, a planted link, a FIFO no one reads) fails at
// once. Without /APPEND the rows go to a temporary file beside it that
// replaces it only when all is written, so a run that fails or stops never
// destroys the previous file; with /APPEND they are added at the end in one
// locked pass once all are found. No file, or "-", means standard output. A
// stop signal is honoured until the file is in place, and while a pipe's
// reader stalls.
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
    // Writes the rows and puts the file in place; empty when done, else why
    // not. A run cancelled while writing leaves the file as it was and says
    // so (stoppedWhileWriting()).
    QString write(const ReportEnv& env, Host& host);
    bool stoppedWhileWriting() const { return m_stopped; }
    // Run just before the file is put in place, to take a stop request that
    // the host's polling has not yet noticed.
    void setLastCheck(std::function<void()> check) { m_lastCheck = std::move(check); }
    // For a stopped run: the rows found go to partialPath(), and the file
    // stays as it was (standard output takes them as usual).
    QString writePartial(const ReportEnv& env, Host& host);
    QString partialPath() const { return m_target.path + QStringLiteral(".partial"); }
    // Leaves the file as it was before open(): nothing written, nothing created.
    void abandon();
    // What open() did beside its work (leftovers of earlier runs removed), to be said.
    const QStringList& notes() const { return m_notes; }

  private:
    // host is null for standard output, where a status line would mix with the rows.
    QString writeTo(WholeFileWriter& file, const ReportEnv& env, Host* host);
    QString writeToStandardOutput(const ReportEnv& env, Host& host);
    QString tookStop(const WholeFileWriter& file, const QString& error);
    void removeStalePartial() const;
    // The run's cancel flag, once the host has had a chance to notice a signal.
    bool stopAsked(const ReportEnv& env, Host* host, bool last = false);

    Target m_target;
    std::FILE* m_stdout;
    WholeFileWriter m_file;
    bool m_stopped = false;
    std::function<void()> m_lastCheck;
    QStringList m_notes;
};
