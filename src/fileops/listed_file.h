#pragma once

#include "fsview/unique_fd.h"
#include "fsview/volume_view.h"
#include "reports/result_grid.h"

#include <QByteArray>
#include <QString>

#include <optional>

// The folder the rows last looked at named, kept open while the next rows
// name it too: a delete of thousands of files in a few folders finds each
// folder once.
struct ListedFolder {
    QString directory; // as the rows write it
    UniqueFd fd;
};

// The file a row of a file listing names, found again on disk only while it
// is still that file: a regular file (not a directory, not a symbolic link)
// of the row's size and, where the row shows them, modify date and time.
class ListedFile {
public:
    // The row's file: its directory cell, "\" and its file cell.
    ListedFile(const ResultGrid& grid, qsizetype row, int directoryCol, int fileCol);

    const QString& path() const { return m_path; }

    // Finds the file in its folder and checks it; empty when it is the
    // listed file, else why not (errno for the number, 0 when the file has
    // changed).
    struct Problem {
        int number = 0;
        QString text;
    };
    std::optional<Problem> find(const VolumeView& volumes, ListedFolder& folder);

    // The open folder and the file's name in it, after find().
    int folder() const { return m_folder; }
    const QByteArray& name() const { return m_name; }

private:
    bool statInFolder(const VolumeView& volumes, ListedFolder& folder, struct stat& st);
    bool statResolved(const VolumeView& volumes, struct stat& st);
    bool matchesRow(const struct stat& st) const;

    QString m_directory;
    QString m_file;
    QString m_path;
    std::optional<double> m_size;
    QString m_date; // empty when the row shows none
    QString m_time;
    int m_folder = -1;
    UniqueFd m_ownFolder; // when the name had to be looked for case-insensitively
    QByteArray m_name;
};
