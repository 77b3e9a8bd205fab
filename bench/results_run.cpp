// Times the work on a grid of results, offscreen: sorting by Size, Date and
// Directory, copying every row to the clipboard, and deleting the first
// DELETE rows' files with the log. Writes the deleted files' paths, relative
// to the volume's root, to DELETED-LIST, so the same files can be removed
// with xargs rm elsewhere.
//
// Then moves the next MOVE rows' files, with their directories, into
// MOVE-FOLDER and lists them in MOVED-LIST.
//
//   results_run DELETE DELETED-LIST LOG MOVE MOVED-LIST MOVE-FOLDER
//   (QUARVO_SITE names a site with \\SRV\DATA)
#include "settings/app_state.h"
#include "reports/cell_format.h"
#include "fileops/file_delete.h"
#include "fileops/file_move.h"
#include "fsview/volume_view.h"
#include "netware/client/site_loader.h"
#include "reports/clipboard_text.h"
#include "reports/grid_sorting.h"
#include "reports/report_run.h"

#include <QGuiApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QFile>

#include <cstdio>

namespace {

// Answers every question with yes and keeps quiet.
class BenchHost : public Host {
public:
    void setStatus(const QString&) override {}
    void message(const QString&, const QString&, Icon) override {}
    bool ask(const QString&, const QString&) override { return true; }
    void setBusy(bool) override {}
    void pollEvents() override {}
};

// The files of rows first to last, relative to the volume's root, one a line.
bool writeList(const ResultGrid& grid, qsizetype first, qsizetype last, const QString& path) {
    const int directory = grid.fcnFindColumn(QStringLiteral("Directory"));
    const int file = grid.fcnFindColumn(QStringLiteral("File"));
    QFile list(path);
    if (!list.open(QIODevice::WriteOnly))
        return false;
    const QString root = QStringLiteral("\\\\SRV\\DATA\\");
    for (qsizetype row = first; row <= last; ++row) {
        QString relative = grid.cell(row, directory).mid(root.size()) + QLatin1Char('\\') + grid.cell(row, file);
        if (relative.startsWith(QLatin1Char('\\')))
            relative.remove(0, 1);
        list.write(relative.replace(QLatin1Char('\\'), QLatin1Char('/')).toUtf8() + '\n');
    }
    return true;
}

void timedSort(ReportEnv& env, const QString& heading) {
    QElapsedTimer timer;
    timer.start();
    grdDirSizes_DblClick(env.grid, env.view, env.grid.fcnFindColumn(heading));
    std::printf("sort-%s %lld ms for %lld rows\n", heading.toLatin1().constData(), (long long)timer.elapsed(),
                (long long)env.grid.rows() - 1);
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc < 7) {
        std::fprintf(stderr, "usage: results_run DELETE DELETED-LIST LOG MOVE MOVED-LIST MOVE-FOLDER\n");
        return 2;
    }
    NetWareClient client(SiteLoader::load(QProcessEnvironment::systemEnvironment()));
    client.NWCallsInit();
    AppState state;
    state.treeName = QStringLiteral("BENCH_TREE");
    SearchSettings search = SearchSettings::withDefaults(CellFormat::shortDate(QDate::currentDate()));
    search.tabSearch = ReportKind::File;
    search.cmbServer.showOrAdd(QStringLiteral("SRV"));
    search.cmbVolumeList.showOrAdd(QStringLiteral("DATA"));
    search.lblDirectory = QStringLiteral("\\\\SRV\\DATA\\");
    RunState run;
    ResultGrid grid;
    ResultsView view;
    BenchHost host;
    VolumeView volumes(client);
    ReportEnv env{state, search, run, grid, view, host, client, volumes};
    btnShowUsage_Click(env);

    timedSort(env, QStringLiteral("Size"));
    timedSort(env, QStringLiteral("Date"));
    timedSort(env, QStringLiteral("Directory"));

    QElapsedTimer copy;
    copy.start();
    QGuiApplication::clipboard()->setText(fcnGridRowsText(grid, 0, grid.rows() - 1, QStringLiteral(",")));
    std::printf("copy %lld ms for %lld rows\n", (long long)copy.elapsed(), (long long)grid.rows());

    const qsizetype count = std::min<qsizetype>(QByteArray(argv[1]).toLongLong(), grid.rows() - 1);
    const int directory = grid.fcnFindColumn(QStringLiteral("Directory"));
    const int file = grid.fcnFindColumn(QStringLiteral("File"));
    if (!writeList(grid, 1, count, QString::fromLocal8Bit(argv[2])))
        return 1;
    grid.Row = 1;
    grid.RowSel = count;
    OperationsLog log(QString::fromLocal8Bit(argv[3]));
    QElapsedTimer remove;
    remove.start();
    const qint64 deleted = Menu_Popup_Delete_Click(env, directory, file, log);
    std::printf("delete %lld ms for %lld files, %lld rows left\n", (long long)remove.elapsed(), (long long)deleted,
                (long long)grid.rows() - 1);

    const qsizetype moving = std::min<qsizetype>(QByteArray(argv[4]).toLongLong(), grid.rows() - 1);
    if (!writeList(grid, 1, moving, QString::fromLocal8Bit(argv[5])))
        return 1;
    grid.selectedRows.clear(); // the rows a delete could not take would stay chosen
    grid.Row = 1;
    grid.RowSel = moving;
    QElapsedTimer move;
    move.start();
    const std::optional<MoveCounts> moved =
        btnMoveFiles_Click(env, MoveOptions{QString::fromLocal8Bit(argv[6]), true, false}, log);
    std::printf("move %lld ms for %lld files\n", (long long)move.elapsed(), moved ? (long long)moved->moved : -1LL);
    client.NWCallsTerm();
    return 0;
}
