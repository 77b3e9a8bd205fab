#pragma once

#include <QFile>
#include <QString>
#include <QStringList>

// The lines of a file written with CR LF line ends; empty when it cannot be read.
inline QStringList readCrlfLines(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QString text = QString::fromUtf8(file.readAll());
    if (text.endsWith(QLatin1String("\r\n")))
        text.chop(2);
    return text.isEmpty() ? QStringList() : text.split(QStringLiteral("\r\n"));
}
