#pragma once

#include "reports/report_env.h"

#include <QString>

// Space in use per owner on one volume (volumePath "SERVER/VOL:"), from the
// server's per-object disk accounting, in 4096-byte blocks shown as megabytes.
// A server or volume that does not exist is named in a message and ends the
// run as cancelled, with no rows. An owner whose figure a cancel left
// unmeasured gets no row; rows written before the cancel stay.

// Every user of the starting container (and its sub-containers when ticked),
// after the supervisor and unowned space; only owners with space get a row,
// one per object ID.
void subGetOwnerUsage(ReportEnv& env, const QString& volumePath);
// The owner chosen in the owner box; always one row once measured.
void subGetSingleOwnerUsage(ReportEnv& env, const QString& volumePath);
// Every member of the group; always one row each once measured. Members no
// longer in the directory are named in one message; a directory that does
// not answer ends the run with its reason (RunState::failure).
void subGetGroupofUsers(ReportEnv& env, const QString& startingContainer, const QString& group,
                        const QString& volumePath);
// One member's row; false when the member is no longer in the directory.
bool subGetGroupUserUsage(ReportEnv& env, const QString& member, const QString& volumePath);
