#pragma once

#include "reports/report_env.h"

#include <QList>
#include <QPair>
#include <QString>

// What the Properties dialog shows of a volume, folder or file named by a
// volume path: its places, type, size, owner (the tree's user and the uid),
// group, permissions and times; for a volume its size, used and free space,
// file system and mount point. Read without following a symbolic link.
namespace ItemProperties {

// Caption and value, in the order shown; "Unable to read ..." when the item
// cannot be found.
QList<QPair<QString, QString>> of(ReportEnv& env, const QString& volumePath, bool isVolume);

} // namespace ItemProperties
