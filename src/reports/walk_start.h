#pragma once

#include "fsview/volume_view.h"
#include "reports/report_env.h"

#include <QString>

// Opens the start directory of a walking report. A path that names no
// directory on its volume is said at once; one that exists but cannot be
// opened now is tried once more at once, then, with askAgain, as often as
// the user asks. Given up, the run is cancelled: nothing was measured.
struct WalkStart {
    static VolumeView::Opened open(ReportEnv& env, const QString& volumePath, bool askAgain);
};
