#pragma once

#include "app/command_line.h"
#include "reports/report_env.h"

#include <QString>

#include <functional>

// Fill the owner and group lists from the directory when the owner options change.
struct OwnerListFillers {
    std::function<void()> listUsers;
    std::function<void()> listGroups;
};

// Sets the panel and the run's output settings from the switches, exactly as
// a user's clicks would; throws CommandLineError for a line that cannot run.
void subApplySwitches(const CommandLine& line, ReportEnv& env, const OwnerListFillers& fillers);
void subApplyServerSwitch(const CommandLine& line, ReportEnv& env);
void subApplyVolumeSwitch(const CommandLine& line, ReportEnv& env);
void subApplyDirectorySwitch(const CommandLine& line, ReportEnv& env);

// Applies the switches, runs the report and says how it ended:
// 0 done, 1 bad or missing switch, 2 output file not written, 3 cancelled.
int subRunCommandLine(const QString& argumentString, ReportEnv& env, const OwnerListFillers& fillers);
