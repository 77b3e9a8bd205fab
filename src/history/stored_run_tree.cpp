#include "history/stored_run_tree.h"

#include <QFile>

#include <vector>

namespace StoredRunTree {

namespace {

std::uint64_t known(qint64 figure) {
    return figure == RowFigures::kNone || figure < 0 ? 0 : std::uint64_t(figure);
}

SizeTree::Item ownOf(const RowFigures& figures) {
    SizeTree::Item own;
    own.size = known(figures.bytes);
    own.allocated = known(figures.allocated);
    own.mtime = figures.modified == RowFigures::kNone ? 0 : figures.modified;
    own.uid = SizeTree::kNoOwner; // a folder row keeps no owner
    return own;
}

QString withoutEndingSlash(QString path) {
    while (path.endsWith(QLatin1Char('\\')) && !path.endsWith(QLatin1String("\\\\")))
        path.chop(1);
    return path;
}

// A whole path's name below the start: "\\FS1\VOL1\a\b" below "\\FS1\VOL1\" is "a\b".
QString belowStart(const QString& name, const QString& start) {
    const QString prefix = start + QLatin1Char('\\');
    return name.startsWith(prefix, Qt::CaseInsensitive) ? name.mid(prefix.size()) : name;
}

} // namespace

std::shared_ptr<SizeTree> of(const QList<StoredRow>& rows, const QString& place) {
    auto tree = std::make_shared<SizeTree>();
    const QString start = withoutEndingSlash(place);
    // All Sub-Directories keeps the start as its first row; Immediate keeps
    // only the folders below it, each by its whole path.
    const bool startIsRow =
        !rows.isEmpty() && rows[0].parent < 0 && withoutEndingSlash(rows[0].name).compare(start, Qt::CaseInsensitive) == 0;
    const SizeTree::Index root = tree->addFolder(SizeTree::kNone, QFile::encodeName(startIsRow ? rows[0].name : place),
                                                 ownOf(startIsRow ? rows[0].figures : RowFigures{}));
    std::vector<SizeTree::Index> entryOf(rows.size(), SizeTree::kNone);
    if (startIsRow)
        entryOf[0] = root;
    for (qsizetype r = startIsRow ? 1 : 0; r < rows.size(); ++r) {
        const StoredRow& row = rows[r];
        const bool below = row.parent >= 0 && row.parent < r && entryOf[row.parent] != SizeTree::kNone;
        const QString name = below ? row.name : belowStart(row.name, start);
        entryOf[r] = tree->addFolder(below ? entryOf[row.parent] : root, QFile::encodeName(name), ownOf(row.figures));
    }
    tree->finish();
    return tree;
}

} // namespace StoredRunTree
