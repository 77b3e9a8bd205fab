#pragma once

#include "fileops/listing_access.h"
#include "fsview/unique_fd.h"
#include "reports/result_grid.h"

#include <QByteArray>
#include <QString>

#include <sys/stat.h>

#include <optional>

// The file a row of a file listing names, found again only while it is
// provably that file: in the folder the walk listed (reached beneath the
// volume root by raw names, no link followed), the same inode on the same
// device, of the same size, modify time and status-change time to the
// nanosecond. Acts go relative to the folder's descriptor, by the raw name.
class ListedFile {
public:
    ListedFile(const ResultGrid& grid, qsizetype row, int directoryCol, int fileCol);

    // The row's file as the rows show it: its directory cell, "\" (unless
    // the cell ends in one, as a volume root does), its file cell.
    const QString& path() const { return m_path; }
    const RowRecord* record() const { return m_record.get(); }
    qsizetype row() const { return m_row; }
    // Its size when it was listed; 0 for a row that listed no file.
    std::uint64_t listedSize() const { return m_record ? m_record->identity.size : 0; }

    // Why the file cannot be acted on: errno and its text, or number 0 and
    // why it is no longer the file listed (a text that names no path).
    struct Problem {
        int number = 0;
        QString text;
        static Problem ofErrno(int number);
        // "Error:<n><between><text>", or the text alone when it has no number.
        QString error(const QString& between) const;
    };
    std::optional<Problem> find(ListingAccess& access);
    // Whether st, of the name or of a descriptor opened from it, is still
    // the file listed.
    std::optional<Problem> check(const struct stat& st, const ListingAccess& access) const;
    // Whether st, of this file taken aside under a private name after
    // find(), is still what find() checked: the rename itself may only
    // have touched its status-change time.
    std::optional<Problem> checkHeld(const struct stat& st) const;
    // Why it is not (empty when it is).
    QString heldDifference(const struct stat& st) const;
    static Problem changed(const QString& why);

    // After find(): the open folder, the raw name in it and what it is.
    int folder() const { return m_folder; }
    const QByteArray& name() const { return m_record->name; }
    const struct stat& seen() const { return m_seen; }

    // After an act on this name: when the file has other names, what the
    // act did to its status is ours, not a change to refuse them for.
    void noteAct(ListingAccess& access) const;

private:
    QString m_path;
    std::shared_ptr<const RowRecord> m_record;
    qsizetype m_row = 0;
    int m_folder = -1;
    struct stat m_seen {};
    UniqueFd m_pinned; // the file itself (O_PATH), when it has other names
};
