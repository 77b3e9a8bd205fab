#pragma once

#include <QProcessEnvironment>
#include <QString>

// Where the history is kept: $QUARVO_HISTORY, else what the site file says
// (history = ...), else an SQLite file in the user's state folder
// ($XDG_STATE_HOME/Quarvo/history.sqlite, XDG_STATE_HOME defaulting to
// ~/.local/state); root's is /var/lib/quarvo/history.sqlite.
namespace HistoryLocation {

QString resolve(const QProcessEnvironment& env, const QString& fromSite, bool root);

} // namespace HistoryLocation
