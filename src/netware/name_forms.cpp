#include "netware/name_forms.h"

#include <QStringList>

#include <algorithm>

namespace {

// A container's part may hold escapes ("BACK\\SLASH", "\\ LEADING"): a "\\"
// opening a part, or before another "\\", "=", "{" or a blank, is one.
QStringList treePathParts(const QString& path) {
    QStringList parts{QString()};
    for (qsizetype i = 0; i < path.size(); ++i) {
        const QChar c = path[i];
        const QChar next = i + 1 < path.size() ? path[i + 1] : QChar();
        if (c == u'\\' && (parts.last().isEmpty() || QStringLiteral("\\={ ").contains(next)) && !next.isNull()) {
            parts.last() += c;
            parts.last() += next;
            ++i;
        } else if (c == u'\\') {
            parts.append(QString());
        } else {
            parts.last() += c;
        }
    }
    return parts;
}

} // namespace

QString fcnContextToTreePath(const QString& dotted, const QString& treeName) {
    QStringList parts = dotted.split(QLatin1Char('.'));
    std::reverse(parts.begin(), parts.end());
    QString path = treeName;
    for (const QString& part : parts)
        path += QLatin1Char('\\') + part;
    return path;
}

QString fcnTreePathToContext(const QString& path, const QString& treeName) {
    if (path.isEmpty())
        return QStringLiteral("[Owner unavailable]");
    QString rest = path;
    if (!treeName.isEmpty() && rest.startsWith(treeName, Qt::CaseInsensitive))
        rest = rest.mid(treeName.size());
    if (rest.startsWith(QLatin1Char('\\')))
        rest.remove(0, 1); // the separator after the tree name
    QStringList parts = treePathParts(rest);
    std::reverse(parts.begin(), parts.end());
    const QString context = parts.join(QLatin1Char('.'));
    // A typed or upper-cased command line gives [ROOT]: it is still the whole tree.
    if (context.compare(QLatin1String("[Root]"), Qt::CaseInsensitive) == 0)
        return QStringLiteral("[Root]");
    return context;
}

QString fcnStoredContainerToContext(const QString& stored, const QString& treeName) {
    if (!stored.contains(QLatin1Char('\\')))
        return stored;
    QString path = stored;
    while (path.endsWith(QLatin1Char('\\')))
        path.chop(1);
    return fcnTreePathToContext(path, treeName);
}

QString fcnLeafName(const QString& dotted) {
    return dotted.section(QLatin1Char('.'), 0, 0);
}

QString fcnReverseDottedName(const QString& name) {
    if (!name.contains(QLatin1Char('.')))
        return name;
    QStringList parts = name.split(QLatin1Char('.'));
    std::reverse(parts.begin(), parts.end());
    return parts.join(QLatin1Char('.'));
}

QString fcnNetWarePath(const QString& text) {
    const qsizetype first = text.indexOf(QLatin1Char('\\'));
    if (first < 0)
        return text + QLatin1Char(':');
    const qsizetype second = text.indexOf(QLatin1Char('\\'), first + 1);
    const QString server = text.left(first);
    if (second < 0)
        return server + QLatin1Char('/') + text.mid(first + 1) + QLatin1Char(':');
    return server + QLatin1Char('/') + text.mid(first + 1, second - first - 1) + QLatin1Char(':') +
           text.mid(second);
}
