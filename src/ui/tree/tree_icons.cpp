#include "ui/tree/tree_icons.h"

#include <QString>

QIcon TreeIcons::of(int icon) {
    static const char* const files[] = {"tree", "organization", "unit", "country", "domain"};
    if (icon < 1 || icon > 5)
        return {};
    // A "@2x" file beside each is taken on high-density screens.
    return QIcon(QStringLiteral(":/tree/%1.png").arg(QLatin1String(files[icon - 1])));
}
