#include "reports/popup_entries.h"

PopupEntries PopupEntries::of(const ResultGrid& grid) {
    PopupEntries e;
    const bool single = grid.Row == grid.RowSel;
    for (int col = 0; col < grid.cols(); ++col) {
        const QString heading = grid.cell(0, col);
        if (heading == QLatin1String("Volume") || heading == QLatin1String("Directory")) {
            e.explore = e.properties = e.separator = e.explore || single;
            e.directoryCol = col;
        } else if (heading == QLatin1String("Owner")) {
            e.userInformation = single;
            e.ownerCol = col;
        } else if (heading == QLatin1String("File")) {
            e.deleteCaption = single ? QStringLiteral("Delete selected File") : QStringLiteral("Delete selected Files");
            e.moveCaption = single ? QStringLiteral("Move File") : QStringLiteral("Move Files");
            if (single)
                e.properties = e.separator = true;
            e.move = e.deleteFiles = true;
            e.fileCol = col;
        }
    }
    return e;
}

QString fcnFullNameCaption(const QString& fullName) {
    const QString caption = QStringLiteral("Fullname: ") + fullName;
    return caption == QLatin1String("Fullname: ") ? QStringLiteral("Fullname: (Unavailable)") : caption;
}
