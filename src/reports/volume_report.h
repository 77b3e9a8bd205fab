#pragma once

#include "reports/report_env.h"

// One row of space figures per selected volume, or an unavailable row for a
// volume that cannot be reached; then the totals line, which counts each
// file system once however many of the volumes are folders of it.
void subGetVolumeUsage(ReportEnv& env);

// The cells of a volume's row, from its space record.
QStringList fcnVolumeRowCells(const QString& volumePath, const DIR_SPACE_INFO& info);
