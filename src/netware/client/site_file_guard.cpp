#include "netware/client/site_file_guard.h"

#include "netware/client/opened_file.h"
#include "netware/client/site_file.h"

#include <cerrno>
#include <cstring>

#include <unistd.h>

namespace {

constexpr qint64 kMostSiteFileBytes = 16 * 1024 * 1024;

[[noreturn]] void refuse(const QString& path, const QString& what) {
    throw SiteFileError(path, 0, what);
}

// What OpenedFile found wrong on the way to the file, and then what is wrong
// with the file it opened.
void checkOpened(const QString& path, const OpenedFile& file) {
    switch (file.fault()) {
    case OpenedFile::Fault::None:
        break;
    case OpenedFile::Fault::CannotOpen:
        refuse(path, QStringLiteral("cannot open the site file: %1")
                         .arg(QString::fromLocal8Bit(std::strerror(file.error()))));
    case OpenedFile::Fault::NotRegular:
        refuse(path, QStringLiteral("the site file is not a regular file"));
    case OpenedFile::Fault::UnsafeFolder:
        refuse(path, QStringLiteral("its folder %1 %2; run as root, Quarvo reads only a site file in "
                                    "folders that no one but root can change")
                         .arg(file.folder(), file.whyUnsafe()));
    }
    if (file.status().st_size > kMostSiteFileBytes)
        refuse(path, QStringLiteral("the site file is larger than 16 MiB"));
    if (::geteuid() != 0)
        return;
    if (const QString why = OpenedFile::whyNotRootOnly(file.status()); !why.isEmpty())
        refuse(path, QStringLiteral("the site file %1 %2; run as root, Quarvo reads only a site file "
                                    "that no one but root can change")
                         .arg(file.realPath(), why));
}

// Up to the limit: the file may have grown since fstat.
QByteArray readAll(const QString& path, int fd) {
    QByteArray bytes;
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            refuse(path, QStringLiteral("cannot read the site file: %1")
                             .arg(QString::fromLocal8Bit(std::strerror(errno))));
        if (n == 0)
            return bytes;
        bytes.append(buffer, qsizetype(n));
        if (bytes.size() > kMostSiteFileBytes)
            refuse(path, QStringLiteral("the site file is larger than 16 MiB"));
    }
}

// Where a scan of TOML text stands.
enum class Place { Outside, Comment, Basic, Literal, MultiBasic, MultiLiteral };

// Moves past what opens or closes at i; returns how many bytes it took.
int step(const QByteArray& b, qsizetype i, Place& place) {
    const auto at = [&](const char* s) { return b.mid(i, qsizetype(std::strlen(s))) == s; };
    switch (place) {
    case Place::Outside:
        if (b[i] == '#') place = Place::Comment;
        else if (at("\"\"\"")) { place = Place::MultiBasic; return 3; }
        else if (at("'''")) { place = Place::MultiLiteral; return 3; }
        else if (b[i] == '"') place = Place::Basic;
        else if (b[i] == '\'') place = Place::Literal;
        return 1;
    case Place::Comment:
        if (b[i] == '\n') place = Place::Outside;
        return 1;
    case Place::Basic:
        if (b[i] == '\\') return 2;
        if (b[i] == '"' || b[i] == '\n') place = Place::Outside;
        return 1;
    case Place::Literal:
        if (b[i] == '\'' || b[i] == '\n') place = Place::Outside;
        return 1;
    case Place::MultiBasic:
        if (b[i] == '\\') return 2;
        if (at("\"\"\"")) { place = Place::Outside; return 3; }
        return 1;
    case Place::MultiLiteral:
        if (at("'''")) { place = Place::Outside; return 3; }
        return 1;
    }
    return 1;
}

// After a backslash in a multi-line basic string, toml++ 3.3 asks whether
// the next character is a blank and, for a line-ending backslash, each one
// after it until one is not, line breaks skipped: for many characters other
// than ASCII (U+00A1 to U+0499 among them) that question is undefined
// behaviour (its issue 190). The index of such a character, or -1.
qsizetype blankTestedAfterBackslash(const QByteArray& b, qsizetype backslash) {
    qsizetype i = backslash + 1;
    while (i < b.size() && (b[i] == ' ' || b[i] == '\t' || b[i] == '\r' || b[i] == '\n'))
        ++i;
    return i < b.size() && static_cast<unsigned char>(b[i]) >= 0x80 ? i : -1;
}

} // namespace

QByteArray SiteFileGuard::read(const QString& path) {
    const OpenedFile file(path, ::geteuid() == 0);
    checkOpened(path, file);
    return readAll(path, file.fd());
}

void SiteFileGuard::checkBytes(const QString& path, const QByteArray& bytes) {
    Place place = Place::Outside;
    int line = 1;
    for (qsizetype i = 0; i < bytes.size();) {
        if (place == Place::Outside && static_cast<unsigned char>(bytes[i]) >= 0x80)
            throw SiteFileError(path, line, QStringLiteral("a character other than ASCII outside quotes; names "
                                                           "that hold one must be written in double quotes"));
        if (place == Place::MultiBasic && bytes[i] == '\\') {
            if (const qsizetype at = blankTestedAfterBackslash(bytes, i); at >= 0)
                throw SiteFileError(
                    path, line + int(bytes.mid(i, at - i).count('\n')),
                    QStringLiteral("a character other than ASCII right after a backslash in a "
                                   "\"\"\" string, or first on the line after a line-ending "
                                   "backslash; write it as an escape such as \\u00e9"));
        }
        const int taken = step(bytes, i, place);
        for (qsizetype j = i; j < i + taken && j < bytes.size(); ++j)
            line += bytes[j] == '\n' ? 1 : 0;
        i += taken;
    }
}
