#include "app/command_line_program.h"

#include "app/app_state.h"
#include "app/cli_host.h"
#include "app/command_line_mode.h"
#include "netware/client/site_file.h"
#include "netware/client/site_loader.h"
#include "netware/directory_queries.h"
#include "reports/result_grid.h"

#include <cstdio>
#include <optional>

namespace {

std::optional<Site> loadSite(const QProcessEnvironment& env, Host& host) {
    try {
        return SiteLoader::load(env);
    } catch (const SiteFileError& error) {
        host.message(QStringLiteral("The site file cannot be used: ") + error.message());
        return std::nullopt;
    }
}

} // namespace

int CommandLineProgram::run(const QString& argumentString, const Options& options) {
    RunState run;
    CliHost host(run.cancel);
    std::optional<Site> site = loadSite(options.env, host);
    if (!site)
        return 1;
    NetWareClient client(std::move(*site));
    if (client.NWCallsInit() != nw::SUCCESSFUL) {
        host.message(QStringLiteral("Unable to initialize!"));
        return 3;
    }
    AppState app;
    app.commandLineMode = true;
    app.saveFileDelimiter = SettingsStore(options.settings).saveFileDelimiter();
    SearchSettings search = SearchSettings::withDefaults(QDate::currentDate());
    ResultGrid grid;
    ResultsView view;
    VolumeView volumes(client);
    ReportEnv env{app, search, run, grid, view, host, client, volumes};
    const OwnerListFillers fillers{
        [&env] { subListUsers(env, env.search.lblStartContainer, env.search.cmbSelectedOwner); },
        [&env] { subListGroups(env, env.search.lblStartContainer, env.search.cmbGroup); }};
    const int status = subRunCommandLine(argumentString, env, fillers);
    if (status != 1) {
        host.showFinal(run.cancelled() ? QStringLiteral("Process Cancelled!") : QStringLiteral("Process Complete."));
        if (!view.lblGraphStats.isEmpty())
            host.showFinal(view.lblGraphStats);
    }
    client.NWCallsTerm();
    return status;
}
