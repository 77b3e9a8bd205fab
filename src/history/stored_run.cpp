#include "history/stored_run.h"

QStringList storedRowKeys(const QList<StoredRow>& rows) {
    QStringList keys;
    keys.reserve(rows.size());
    for (const StoredRow& row : rows) {
        // Parents come before their children; anything else is a damaged store.
        const bool hasParent = row.parent >= 0 && row.parent < keys.size();
        if (!hasParent) {
            keys.append(row.name);
            continue;
        }
        const QString& above = keys[row.parent];
        keys.append(above.endsWith(QLatin1Char('\\')) ? above + row.name : above + QLatin1Char('\\') + row.name);
    }
    return keys;
}

QVariant nullableNumber(qint64 value) {
    return value == RowFigures::kNone ? QVariant(QMetaType(QMetaType::LongLong)) : QVariant(value);
}
