#pragma once

#include "fsview/ordered_walk.h"
#include "reports/whole_file_writer.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <ctime>

// A walk written as ncdu writes a scan with -e -o (its JSON export, format
// 1.2), for ncdu -f and gdu -f to browse: the start's directory array, then
// in each directory array its own entry, its files and its subdirectories'
// arrays. Every entry holds its own inode's figures only, never a subtree's
// sum: a reader adds them up, counting a file with several names once by its
// device and inode. Names are their bytes, escaped as ncdu escapes them, so a
// name that is not UTF-8 comes back as the same bytes. The file is whole or
// not there (WholeFileWriter).
class NcduExport {
public:
    // Empty when open, else "Cannot open PATH: reason". rootName names the
    // start as ncdu names its root: by its absolute path.
    QString open(const QString& path, const QByteArray& rootName, std::time_t timestamp);
    // What the walk's Options::recordFile writes of each file: its entry,
    // which add() takes from the directory's record. rootDevice: the
    // start's. Thread-safe.
    static void recordFile(const WalkedFile& file, QByteArrayView name, QByteArray& record, std::uint64_t rootDevice);
    // The walk's directories in pre-order, the start first, their files
    // recorded by recordFile. After a failure the rest is not written;
    // commit() tells it.
    void add(const WalkedDirectory& directory);
    // Closes every array and puts the file in place: empty when done, else
    // why not ("Cannot write PATH: reason"), the file then as it was.
    QString commit();
    // Leaves the file as it was.
    void abandon();

private:
    void appendDirectory(const WalkedDirectory& directory);
    void appendMount(const MountLeftOut& mount);
    void flushFull();

    WholeFileWriter m_file;
    QByteArray m_buffer;
    QByteArray m_rootName;
    std::uint64_t m_rootDevice = 0;
    int m_open = 0; // directory arrays not yet closed
    QString m_error;
};
