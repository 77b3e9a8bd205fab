#pragma once

#include "reports/report_env.h"

#include <QString>

// One row per directory directly below the start directory (a NetWare path,
// SERVER/VOL:\DIR) with the size of everything inside it.
void subListDirsOnly(ReportEnv& env, const QString& netWarePath);
// One row for the start directory (a volume path) and for every directory
// below it, in depth-first pre-order, each with the size of its own files.
void subListDirs(ReportEnv& env, const QString& startDirectory);
