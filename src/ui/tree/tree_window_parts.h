#pragma once

#include "reports/report_env.h"
#include "settings/settings_store.h"
#include "ui/tree/browse_targets.h"

#include <QDialog>

#include <functional>

// What the login, browser and starting-container windows work with: the
// program's state and client, the settings, where a browsed container goes,
// and how a modal window is shown (a test answers instead of a user).
struct TreeWindowParts {
    ReportEnv& env;
    SettingsStore& settings;
    BrowseTargets& targets;
    std::function<int(QDialog&)> runDialog;
};
