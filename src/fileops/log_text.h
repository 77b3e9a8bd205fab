#pragma once

#include "reports/row_record.h"

#include <QByteArray>
#include <QList>
#include <QString>

// The paths Quarvo.log names files by, built from the raw bytes of the names
// so that each field leads back to exactly one file.
//
// A field is PLAIN, the path as the rows show it, when it reads only one way:
//     \\SERVER\VOLUME\folder\name          /base/folder/name
// that is when every name (and server, volume and local base) is UTF-8 and
// holds no backslash, double quote, ",", ";", character of the delimiter,
// control character (C0, DEL, C1) or character that reorders or breaks the
// line (U+061C, U+200E, U+200F, U+202A-U+202E, U+2066-U+2069, U+2028,
// U+2029), and the whole path holds no " TO ".
//
// Otherwise it is QUOTED: between double quotes, read like a C string:
//     \\        a separator of a volume path; a name never holds one as is
//     \xhh      the byte hh: a backslash in a name (\x5c), a byte that is
//               not UTF-8, a control below 0x20 or DEL
//     \n \r     a line feed, a carriage return
//     \uhhhh    the character U+hhhh (in UTF-8): a C1 control or one of the
//               characters above that reorder or break a line
//     \"        a double quote
// and every other character stands for itself. A local path keeps "/" as its
// separator in both forms (a name never holds one). A plain field never
// starts with a double quote, a quoted one always does.
namespace LogText {

// The listed file's volume path: \\SERVER\VOLUME, then each folder from the
// volume root down, then the name, one backslash before each.
QString volumePath(const ListedFolderNode& folder, const QByteArray& name, const QString& delimiter);
// The folder's own volume path.
QString volumePath(const ListedFolderNode& folder, const QString& delimiter);

// A place on the local file system: base as typed, then each component
// and the name, one slash before each.
QString localPath(const QString& base, const QList<QByteArray>& components, const QByteArray& name,
                  const QString& delimiter);

// Whether a name (or server, volume, base) may stand in a plain field; the
// delimiter's characters given as code points.
bool isPlainName(const QByteArray& name, const QList<uint>& delimiter);

// Whether c reorders the text around it or breaks the line without being a
// control character: shown as it is, it could make a line read otherwise.
bool isLayoutControl(char32_t c);

} // namespace LogText
