#include "app/command_line_program.h"
#include "reports/cell_format.h"

#include "settings/app_state.h"
#include "app/cli_host.h"
#include "app/command_line_mode.h"
#include "app/site_listing.h"
#include "app/terminal_text.h"
#include "history/history_location.h"
#include "history/history_store.h"
#include "app/history_listing.h"
#include "netware/client/site_file.h"
#include "netware/client/site_loader.h"
#include "netware/directory_queries.h"
#include "reports/result_grid.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
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

// Below this many free descriptors a run cannot even reach its start folder
// and its output; it would end as a run stopped or a volume not reached.
constexpr int kFewestFreeDescriptors = 4;

// How many descriptors can still be opened, up to kFewestFreeDescriptors.
int freeDescriptors() {
    int fds[kFewestFreeDescriptors];
    int free = 0;
    while (free < kFewestFreeDescriptors && (fds[free] = ::open("/dev/null", O_RDONLY | O_CLOEXEC)) >= 0)
        ++free;
    for (int i = 0; i < free; ++i)
        ::close(fds[i]);
    return free;
}

} // namespace

int CommandLineProgram::run(const QString& argumentString, const Options& options) {
    RunState run;
    CliHost host(run.cancel, run);
    if (const int free = freeDescriptors(); free < kFewestFreeDescriptors) {
        host.message(QStringLiteral("Failed: ran out of file descriptors (%1): a run needs %2 free, the limit "
                                    "(ulimit -n) leaves %3. Nothing was written.")
                         .arg(QString::fromLocal8Bit(std::strerror(EMFILE)))
                         .arg(kFewestFreeDescriptors)
                         .arg(free));
        return 2;
    }
    // Read before Ctrl-C is held back, so a site file that never ends (a
    // FIFO, a device) can still be interrupted.
    std::optional<Site> site = loadSite(options.env, host);
    if (!site)
        return 1;
    host.catchStopSignals();
    // A reader that goes away (| head -1) is a write error with its reason, not a silent death.
    std::signal(SIGPIPE, SIG_IGN);
    const QString historyPlace = site->history;
    const int historyKeepDays = site->historyKeepDays;
    NetWareClient client(std::move(*site));
    if (client.NWCallsInit() != nw::SUCCESSFUL) {
        host.message(QStringLiteral("Unable to initialize!"));
        return 3;
    }
    AppState app;
    app.commandLineMode = true;
    app.historyLocation = HistoryLocation::resolve(options.env, historyPlace, ::geteuid() == 0);
    app.historyKeepDays = historyKeepDays;
    const SettingsStore settings(options.settings);
    app.saveFileDelimiter = settings.saveFileDelimiter();
    if (const QString problem = settings.delimiterProblem(); !problem.isEmpty())
        host.message(problem);
    SearchSettings search = SearchSettings::withDefaults(CellFormat::shortDate(QDate::currentDate()));
    ResultGrid grid;
    ResultsView view;
    VolumeView volumes(client);
    ReportEnv env{app, search, run, grid, view, host, client, volumes};
    const OwnerListFillers fillers = OwnerListFillers::fromDirectory(env);
    const int status = subRunCommandLine(argumentString, env, fillers, host);
    client.NWCallsTerm();
    return status;
}

int CommandLineProgram::list(const Options& options, std::FILE* out) {
    RunState run;
    CliHost host(run.cancel, run);
    const std::optional<Site> site = loadSite(options.env, host);
    if (!site)
        return 1;
    // Volume roots come from the site file and mount points, which may hold
    // anything: escaped always, as a log or a pager shows them to someone too.
    for (const QString& line : SiteListing::lines(*site))
        std::fprintf(out, "%s\n", TerminalText::escaped(line).toUtf8().constData());
    return std::fflush(out) == 0 ? 0 : 2;
}

int CommandLineProgram::history(const QString& switches, const Options& options, std::FILE* out) {
    RunState run;
    CliHost host(run.cancel, run);
    const std::optional<Site> site = loadSite(options.env, host);
    if (!site)
        return 1;
    HistoryStore store(HistoryLocation::resolve(options.env, site->history, ::geteuid() == 0));
    QString error;
    QStringList lines;
    try {
        lines = HistoryListing::lines(store, switches, error);
    } catch (const CommandLineError& refused) {
        host.message(refused.message());
        return 1;
    }
    if (!error.isEmpty()) {
        host.message(QStringLiteral("Failed: ") + error);
        return 2;
    }
    for (const QString& line : lines)
        std::fprintf(out, "%s\n", TerminalText::escaped(line).toUtf8().constData());
    return std::fflush(out) == 0 ? 0 : 2;
}
