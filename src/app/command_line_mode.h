#pragma once

#include "app/cli_host.h"
#include "app/command_line.h"
#include "reports/report_env.h"

#include <QString>

#include <functional>

// Fill the owner and group lists from the directory when the owner options change.
struct OwnerListFillers {
    std::function<void()> listUsers;
    std::function<void()> listGroups;

    // The directory's own lists of the starting container, as a run fills them.
    static OwnerListFillers fromDirectory(ReportEnv& env);
};

// Sets the panel and the run's output settings from the switches, exactly as
// a user's clicks would. Throws CommandLineError for a line that cannot run:
// an unknown, misplaced, conflicting or missing switch, or a name that finds
// nothing; all of it is checked before anything runs.
void subApplySwitches(const CommandLine& line, ReportEnv& env, const OwnerListFillers& fillers);
void subApplyServerSwitch(const CommandLine& line, ReportEnv& env);
void subApplyVolumeSwitch(const CommandLine& line, ReportEnv& env);
void subApplyDirectorySwitch(const CommandLine& line, ReportEnv& env);

// Applies the switches, opens the output, runs the report, writes its rows
// and shows the run's outcome and totals once. host is the one in env.
// Returns the exit status: 0 done, 1 bad or missing switch or unknown name,
// 2 output file not written, 3 cancelled or could not start.
int subRunCommandLine(const QString& argumentString, ReportEnv& env, const OwnerListFillers& fillers, CliHost& host);
