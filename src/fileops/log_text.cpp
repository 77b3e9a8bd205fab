#include "fileops/log_text.h"

#include "fsview/local_path.h"
#include "fsview/name_bytes.h"

#include <algorithm>
#include <functional>

namespace {

bool isControl(char32_t c) {
    return c < 0x20 || (c >= 0x7f && c <= 0x9f);
}

// Characters a reader could take for the end of a path or of the line.
bool breaksPlainField(char32_t c, const QList<uint>& delimiter) {
    return isControl(c) || LogText::isLayoutControl(c) || c == U'\\' || c == U'"' || c == U',' || c == U';' ||
           delimiter.contains(uint(c));
}

bool isPlain(const QByteArray& name, const QList<uint>& delimiter) {
    for (qsizetype at = 0; at < name.size();) {
        const uchar c = uchar(name[at]);
        if (c >= 0x20 && c < 0x7f && c != '\\' && c != '"' && c != ',' && c != ';' && !delimiter.contains(c)) {
            ++at; // most names are plain ASCII: no decoding for them
            continue;
        }
        char32_t code = 0;
        const int length = NameBytes::characterAt(name, at, code); // 0: not UTF-8 there
        if (length == 0 || breaksPlainField(code, delimiter))
            return false;
        at += length;
    }
    return true;
}

QString hex(uint value, int digits, const char* prefix) {
    return QLatin1String(prefix) + QStringLiteral("%1").arg(value, digits, 16, QLatin1Char('0'));
}

QString escaped(char32_t c) {
    if (c == U'\n')
        return QStringLiteral("\\n");
    if (c == U'\r')
        return QStringLiteral("\\r");
    if (c == U'"')
        return QStringLiteral("\\\"");
    if (c == U'\\' || c < 0x20 || c == 0x7f)
        return hex(c, 2, "\\x");
    if (isControl(c) || LogText::isLayoutControl(c))
        return hex(c, 4, "\\u");
    return QString::fromUcs4(&c, 1);
}

// A name written for a quoted field: each byte that is not UTF-8 as \xhh.
QString escapedName(const QByteArray& name) {
    QString out;
    for (qsizetype at = 0; at < name.size();) {
        char32_t code = 0;
        const int length = NameBytes::characterAt(name, at, code);
        if (length == 0) {
            out += hex(uchar(name[at]), 2, "\\x");
            ++at;
        } else {
            out += escaped(code);
            at += length;
        }
    }
    return out;
}

QString joined(const QList<QByteArray>& names, const QString& separator, bool quoted) {
    QString out;
    for (qsizetype i = 0; i < names.size(); ++i) {
        if (i > 0)
            out += separator;
        out += quoted ? escapedName(names[i]) : QString::fromUtf8(names[i]);
    }
    return out;
}

bool allPlain(const QList<QByteArray>& names, const QString& delimiter) {
    const QList<uint> characters = delimiter.toUcs4();
    return std::all_of(names.cbegin(), names.cend(),
                       [&characters](const QByteArray& name) { return isPlain(name, characters); });
}

// The plain text, or the quoted one (made only then).
QString quotedOr(const QString& plain, const std::function<QString()>& quoted, bool mustQuote) {
    if (!mustQuote && !plain.contains(QLatin1String(" TO ")))
        return plain;
    return QLatin1Char('"') + quoted() + QLatin1Char('"');
}

// Server, volume and each folder's name from the volume root down; the
// server and volume in capitals, as the rows show them.
QList<QByteArray> namesOf(const ListedFolderNode& folder) {
    QList<QByteArray> names;
    const ListedFolderNode* node = &folder;
    for (; node->parent; node = node->parent.get())
        names.prepend(node->name);
    names.prepend(node->volume.toUpper().toUtf8());
    names.prepend(node->server.toUpper().toUtf8());
    return names;
}

QString volumePathOf(const QList<QByteArray>& names, const QString& delimiter) {
    const QString plain = QStringLiteral("\\\\") + joined(names, QStringLiteral("\\"), false);
    const auto quoted = [&names] { return QStringLiteral("\\\\\\\\") + joined(names, QStringLiteral("\\\\"), true); };
    return quotedOr(plain, quoted, !allPlain(names, delimiter));
}

} // namespace

namespace LogText {

bool isPlainName(const QByteArray& name, const QList<uint>& delimiter) {
    return isPlain(name, delimiter);
}

bool isLayoutControl(char32_t c) {
    return c == 0x061c || c == 0x200e || c == 0x200f || (c >= 0x202a && c <= 0x202e) || (c >= 0x2066 && c <= 0x2069) ||
           c == 0x2028 || c == 0x2029;
}

QString volumePath(const ListedFolderNode& folder, const QByteArray& name, const QString& delimiter) {
    return volumePathOf(namesOf(folder) << name, delimiter);
}

QString volumePath(const ListedFolderNode& folder, const QString& delimiter) {
    return volumePathOf(namesOf(folder), delimiter);
}

QString localPath(const QString& base, const QList<QByteArray>& components, const QByteArray& name,
                  const QString& delimiter) {
    const QList<QByteArray> below = QList<QByteArray>(components) << name;
    const QByteArray baseBytes = base.toUtf8();
    const QString slash = QStringLiteral("/");
    const QString plain = LocalPath::join(base, joined(below, slash, false));
    const auto quoted = [&] { return LocalPath::join(escapedName(baseBytes), joined(below, slash, true)); };
    return quotedOr(plain, quoted, !allPlain(QList<QByteArray>(below) << baseBytes, delimiter));
}

} // namespace LogText
