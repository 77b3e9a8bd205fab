#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>

// One entry a search returned: its DN and the values of each attribute.
struct LdapEntry {
    QByteArray dn;
    QHash<QByteArray, QList<QByteArray>> values; // by lower-case attribute name

    QList<QByteArray> valuesOf(const QString& attribute) const { return values.value(attribute.toUtf8().toLower()); }
    QString firstOf(const QString& attribute) const {
        const QList<QByteArray> all = valuesOf(attribute);
        return all.isEmpty() ? QString() : QString::fromUtf8(all.first());
    }
};
