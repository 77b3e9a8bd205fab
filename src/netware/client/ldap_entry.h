#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <utility>

// One entry a search returned: its DN and the values of each attribute, in
// the order the server sent them. An entry holds a handful of attributes, so
// looking one up by name is a short scan, cheaper than a hash per entry.
struct LdapEntry {
    QByteArray dn;
    QList<std::pair<QByteArray, QList<QByteArray>>> attributes; // names as the server spelled them

    // The values of an attribute named in any case.
    QList<QByteArray> valuesOf(const QString& attribute) const {
        for (const auto& [name, values] : attributes) {
            if (attribute.compare(QLatin1StringView(name), Qt::CaseInsensitive) == 0)
                return values;
        }
        return {};
    }
    QString firstOf(const QString& attribute) const {
        const QList<QByteArray> all = valuesOf(attribute);
        return all.isEmpty() ? QString() : QString::fromUtf8(all.first());
    }
};
