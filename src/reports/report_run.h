#pragma once

#include "reports/report_env.h"

// Runs the report of the selected tab: freezes the window, opens a
// directory-services context, lays out the grid, calls the report routine,
// writes the totals line and, in command-line mode, the output file. While a
// run is in progress (caption "Stop") it only sets the cancel flag.
void btnShowUsage_Click(ReportEnv& env);

// The highest free drive number (26 = Z down to 2 = B), or 99 after telling
// the user that none is free.
int fcnFindFreeDrive(ReportEnv& env);

// Maps the highest free drive to the root of the chosen volume for the
// length of a listing; 99, with the cancel flag set, when no drive is free.
int fcnMapDriveToVolume(ReportEnv& env);

// Sum of the numeric cells of a column over the result rows.
double fcnSumColumn(const ResultGrid& grid, int col);

// Shared with "Show Files for Selected": the figures a run starts from, its
// directory-services context (typeless names from "[Root]" of the current
// tree), its totals line and its closing status text.
void subClearRunFigures(ReportEnv& env);
NWDSContextHandle fcnOpenRunContext(ReportEnv& env);
QString fcnTotalsLine(const ResultGrid& grid, double megabytes);
QString fcnRunOutcome(ReportEnv& env);

// Why the selected report cannot have its owners from the current tree's
// directory (unreachable server, wrong base...), as a message; empty when it
// can or needs none.
QString fcnDirectoryProblem(ReportEnv& env);

// Why the last run's results are incomplete though nobody stopped it (a walk
// that ran out of descriptors); empty when they are whole.
QString fcnRunFailure(const ReportEnv& env);
// The tree's directory did not answer what the run asked (what, such as
// "could not tell who X is"): the run ends with no report and, on a command
// line, exit status 1, never with figures guessed for what it could not tell.
void fcnDirectoryFailed(ReportEnv& env, const QString& what);
