#pragma once

#include <QByteArray>
#include <QString>

// What a file that replaces another keeps of it: as root its owner and
// group, its mode, its ACL and its other extended attributes, so a report
// rewritten every night stays as private as it was made. A new file gets
// what the user's umask allows, as any other program's would.
namespace FileAttributes {

// Gives fd what the file at path has (or the umask's mode when there is no
// such file); empty when done, else why not.
QString takeOver(int fd, const QByteArray& path);

} // namespace FileAttributes
