#pragma once

#include "reports/report_env.h"

#include <QString>

// Lists the files below a start directory (a volume path) that pass the
// active filter: the owner filter when one is given ("[No Owner]" for files
// whose owner maps to no name), else the File tab's pattern or size, else
// the Date tab's date filter. Rows come in depth-first order, a directory's
// files before its sub-directories', at most 65,000 of them.
void subListDirsAndFiles(ReportEnv& env, const QString& startDirectory, const QString& ownerFilter);

// The row limit of a file search.
constexpr qsizetype kFileRowLimit = 65000;
