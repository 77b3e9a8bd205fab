#pragma once

#include <QString>
#include <QStringList>

// "Version " and the program's major and minor number.
namespace VersionText {

inline QString text() {
    const QStringList parts = QStringLiteral(QUARVO_VERSION).split(QLatin1Char('.'));
    return QStringLiteral("Version ") + parts.value(0) + QLatin1Char('.') + parts.value(1);
}

} // namespace VersionText
