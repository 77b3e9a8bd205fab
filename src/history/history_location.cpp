#include "history/history_location.h"

namespace HistoryLocation {

QString resolve(const QProcessEnvironment& env, const QString& fromSite, bool root) {
    if (const QString set = env.value(QStringLiteral("QUARVO_HISTORY")).trimmed(); !set.isEmpty())
        return set;
    if (!fromSite.trimmed().isEmpty())
        return fromSite.trimmed();
    if (root)
        return QStringLiteral("/var/lib/quarvo/history.sqlite");
    QString state = env.value(QStringLiteral("XDG_STATE_HOME"));
    // A relative value is to be ignored, as the base directory rules say.
    if (!state.startsWith(QLatin1Char('/')))
        state = env.value(QStringLiteral("HOME")) + QStringLiteral("/.local/state");
    return state + QStringLiteral("/Quarvo/history.sqlite");
}

} // namespace HistoryLocation
