#pragma once

#include "netware/client/disk_accounting.h"
#include "reports/report_env.h"

#include <QString>

#include <optional>

// Space in use per owner from a scan read from a file (/IMPORT=) instead of
// the volume's quotas or a walk: every inode the scan looked at charged once
// to its owner, as a walk of the volume charges it. Nothing when the scan
// cannot be read or records no owners (the run fails saying why), or when a
// stop ended the reading.
std::optional<VolumeUsage> scanUsage(ReportEnv& env, const QString& path);
