#pragma once

#include "reports/report_env.h"

// "Show Files for Selected": from the cursor row of an owner, volume or
// directory grid into the files or directories behind it, with "Stop"
// while it runs. While a drill-down runs it only sets the cancel flag.
void btnShowFiles_Click(ReportEnv& env);
