#pragma once

#include "fsview/unique_fd.h"
#include "fsview/volume_view.h"
#include "reports/result_grid.h"

#include <QByteArray>
#include <QString>

#include <optional>

// The file a row of a file listing names, found again on disk only while it
// is still that file: a regular file (not a directory, not a symbolic link)
// of the row's size and, where the row shows them, modify date and time.
class ListedFile {
public:
    // The row's file: its directory cell, "\" and its file cell.
    ListedFile(const ResultGrid& grid, qsizetype row, int directoryCol, int fileCol);

    const QString& path() const { return m_path; }

    // Opens the file's folder and checks the file in it; empty when it is
    // the listed file, else why not (errno for the number, 0 when the file
    // has changed).
    struct Problem {
        int number = 0;
        QString text;
    };
    std::optional<Problem> find(const VolumeView& volumes);

    // The open folder and the file's name in it, after find().
    int folder() const { return m_folder.get(); }
    const QByteArray& name() const { return m_name; }

private:
    bool matchesRow(const struct stat& st) const;

    QString m_path;
    std::optional<double> m_size;
    QString m_date; // empty when the row shows none
    QString m_time;
    UniqueFd m_folder;
    QByteArray m_name;
};
