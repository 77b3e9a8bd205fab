#include "reports/file_search.h"

#include "fsview/name_bytes.h"
#include "fsview/ordered_walk.h"
#include "fsview/wildcard_pattern.h"
#include "netware/client/packed_date.h"
#include "reports/cell_format.h"
#include "reports/report_run.h"
#include "reports/date_cells.h"
#include "reports/date_filter.h"
#include "reports/directory_trail.h"
#include "reports/listed_folder_trail.h"
#include "reports/scan_walk.h"
#include "reports/walk_start.h"
#include "reports/walk_progress.h"

#include <QDateTime>
#include <QLocale>
#include <QHash>

namespace {

enum class Layout { File, OwnerFile, Date };

// The directory being listed: as the rows show it, and by raw names.
struct Listing {
    const QString& directory;
    const std::shared_ptr<const ListedFolderNode>& folder;
};

// What one file search keeps for the whole walk.
struct SearchContext {
    ReportEnv& env;
    QString ownerFilter;
    Layout layout;
    DateFilter dates;
    double sizeLimit = 0; // bytes
    NWCONN_HANDLE connection = 0;
    QHash<std::uint32_t, QString> ownerOfUid; // owner names, looked up once per uid
    DateCells dateCells;
    // What a scan read instead of a walk may not hold; a walk's stat always does.
    bool ownersKnown = true;
    bool timesKnown = true;
    // The size column is "Allocated": the rows give the blocks taken.
    bool allocated = false;
    QLocale locale = QLocale(); // the run's, made once: a QLocale per row costs more than its cell

    std::uint64_t shownSize(const WalkedFile& file) const { return allocated ? file.allocated : file.size; }
};

QString ownerName(SearchContext& s, std::uint32_t uid) {
    const auto cached = s.ownerOfUid.constFind(uid);
    if (cached != s.ownerOfUid.constEnd())
        return *cached;
    QString name;
    NetWareClient& client = s.env.client;
    const std::uint32_t creator = client.creatorIdOfUid(s.connection, uid);
    const NWDSCCODE result = client.NWDSMapIDToName(s.env.run.dsContext, s.connection, creator, name);
    if (result != nw::SUCCESSFUL) {
        // A uid no user has is shown by its number, as ls -l does; one the
        // directory could not be asked about fails the run.
        name = QLatin1Char('#') + QString::number(uid);
        if (result != nw::ERR_NO_SUCH_ENTRY && !client.directoryFailure().isEmpty() && s.env.run.failure.isEmpty())
            fcnDirectoryFailed(s.env, QStringLiteral("could not tell whose files are whose"));
    }
    s.ownerOfUid.insert(uid, name);
    return name;
}

// The leading number of the size box in bytes; 0 when there is none.
double sizeLimit(const QString& text) {
    qsizetype end = 0;
    while (end < text.size() && (text[end].isDigit() || text[end] == QLatin1Char('.')))
        ++end;
    return text.left(end).toDouble() * 1048576.0;
}

bool keepsBySize(const SearchSettings& search, double limit, std::uint64_t size) {
    const QString& comparison = search.cmbSizeLimit.text;
    if (comparison == QLatin1String("<"))
        return double(size) < limit;
    if (comparison == QLatin1String(">"))
        return double(size) > limit;
    if (comparison == QLatin1String("="))
        return double(size) == limit;
    return false;
}

// The size and date parts of the keep decision: what the stat alone decides.
bool keepsByStat(const SearchContext& s, const WalkedFile& file) {
    const SearchSettings& search = s.env.search;
    if (search.tabSearch == ReportKind::File)
        return search.fileOption != FileOption::optFileSize || keepsBySize(search, s.sizeLimit, s.shownSize(file));
    if (search.tabSearch == ReportKind::Date)
        return s.dates.keepsFile(file);
    return true;
}

bool keeps(SearchContext& s, const WalkedFile& file) {
    if (!s.ownerFilter.isEmpty()) {
        const QString owner = ownerName(s, file.uid);
        // No user owns what shows a uid's number.
        return s.ownerFilter == QLatin1String("[No Owner]") ? owner.startsWith(QLatin1Char('#'))
                                                            : s.ownerFilter == owner;
    }
    return keepsByStat(s, file);
}

// In whole bytes, grouped as the locale groups them: an integer, never
// rounded through a double (a size past 2^53 keeps its last digits).
QString sizeCell(const SearchContext& s, std::uint64_t size) {
    return CellFormat::padLeft(s.locale.toString(qulonglong(size)));
}

QStringList rowCells(SearchContext& s, const QString& directory, const WalkedFile& file, const QString& owner) {
    const QString name = NameBytes::decode(file.name);
    if (!s.timesKnown) // no sort key, date nor time to show
        return {QString(), directory, name, owner, sizeCell(s, s.shownSize(file)), QString(), QString()};
    if (s.layout == Layout::Date) {
        const std::uint16_t packed = s.dates.packedDateOf(file);
        const QDate date = PackedDate::unpack(packed);
        return {QString::number(packed), QString::number(fcnDaysSince1990(date)), directory, name,
                s.dateCells.date(date), owner, sizeCell(s, s.shownSize(file))};
    }
    const CellFormat::LocalTime modified = CellFormat::localTime(file.mtime);
    const QString key = QString::number(fcnDaysSince1990(modified.date));
    const QString& date = s.dateCells.date(modified.date);
    const QString& time = s.dateCells.time(modified.time);
    if (s.layout == Layout::OwnerFile)
        return {key, directory, name, sizeCell(s, s.shownSize(file)), date, time};
    return {key, directory, name, owner, sizeCell(s, s.shownSize(file)), date, time};
}

// The search ends at the row limit, and says so once.
void reachRowLimit(ReportEnv& env) {
    if (env.run.rowLimitReached)
        return;
    env.host.message(QStringLiteral("Please narrow your search, too many records returned"));
    env.run.rowLimitReached = true;
}

// True once the grid holds the most rows a search may add.
bool rowLimitReached(ReportEnv& env) {
    if (!env.run.rowLimitReached && env.grid.rows() > kFileRowLimit)
        reachRowLimit(env);
    return env.run.rowLimitReached;
}

// What the row lists, for a later delete or move to find exactly that file.
std::shared_ptr<const RowRecord> recordOf(const std::shared_ptr<const ListedFolderNode>& folder,
                                          const WalkedFile& file) {
    const FileIdentity identity{folder->device, file.inode,     file.size,    file.mtime,
                                file.mtimeNsec, file.ctime,     file.ctimeNsec};
    return std::make_shared<const RowRecord>(RowRecord{folder, file.name, identity});
}

RowFigures figuresOf(const SearchContext& s, const WalkedFile& file) {
    RowFigures figures;
    figures.bytes = std::int64_t(file.size);
    figures.allocated = std::int64_t(file.allocated);
    if (s.timesKnown)
        figures.modified = file.mtime;
    return figures;
}

void addRow(SearchContext& s, const Listing& listing, const WalkedFile& file, const QString& owner) {
    s.env.grid.addRow(rowCells(s, listing.directory, file, owner), recordOf(listing.folder, file), figuresOf(s, file));
    s.env.run.sizeTotal += double(s.shownSize(file));
    ++s.env.run.rowCounter;
}

// One directory's files. A file that can no longer be read ends the
// directory's listing; the walk goes on.
void subListFiles(SearchContext& s, const Listing& where, const WalkedDirectory& listing) {
    ReportEnv& env = s.env;
    env.host.setStatus(where.directory);
    env.host.pollEvents();
    // Entries the walk already left out were scanned all the same.
    if (listing.filteredOut > 0 && !env.run.cancelled() && rowLimitReached(env))
        return;
    for (const WalkedFile& file : listing.files) {
        if (env.run.cancelled() || env.run.rowLimitReached)
            return;
        if (!file.statted)
            return; // the walk counted it among what it could not read
        const bool kept = keeps(s, file);
        if (rowLimitReached(env))
            return;
        if (kept)
            addRow(s, where, file, s.ownersKnown ? ownerName(s, file.uid) : QString());
        env.host.pollEvents();
    }
}

Layout layoutOf(const ReportEnv& env, const QString& ownerFilter) {
    if (!ownerFilter.isEmpty())
        return Layout::OwnerFile;
    return env.search.tabSearch == ReportKind::Date ? Layout::Date : Layout::File;
}


OrderedWalk::Options walkOptions(SearchContext& s, const WildcardPattern& pattern) {
    const SearchSettings& search = s.env.search;
    OrderedWalk::Options options;
    // Rows are files: a folder's own inode is never shown, nor the mounts left out.
    options.subdirectoryInodes = false;
    if (!pattern.matchesEverything())
        options.nameFilter = [&pattern](const char* name, std::size_t length) { return pattern.matches(name, length); };
    // Size and date filters need nothing but the stat: they run on the walk's threads.
    if (s.ownerFilter.isEmpty() && (search.tabSearch == ReportKind::Date ||
                                    (search.tabSearch == ReportKind::File && search.fileOption == FileOption::optFileSize)))
        options.fileFilter = [&s](const WalkedFile& file) { return keepsByStat(s, file); };
    // Every file handed out is a row unless an owner decides: past the row
    // limit's worth, a folder is read no further (the search ends there).
    if (s.ownerFilter.isEmpty())
        options.filesEnough = std::size_t(kFileRowLimit);
    return options;
}

// Every directory walk hands out, each with its files' rows, until the row limit.
template <typename Walk>
void listFilesOf(SearchContext& s, Walk& walk, const VolumePathParts& parts, const VolumeView::Opened& start) {
    ReportEnv& env = s.env;
    DirectoryTrail trail(start.display);
    ListedFolderTrail folders(parts.server, parts.volume, start.names);
    const auto poll = [&env] { env.host.pollEvents(); };
    while (const std::optional<WalkedDirectory> listing = walk.next(env.run.cancel, poll)) {
        const QString& directory = trail.enter(*listing);
        countWalked(env.run.progress, *listing, directory);
        subListFiles(s, Listing{directory, folders.enter(*listing)}, *listing);
        // A folder read no further than the limit's worth ends the search
        // there, even where a file it could not read left rows unadded:
        // the rest of it and its subfolders were never listed.
        if (listing->cut && !env.run.cancelled())
            reachRowLimit(env);
        if (env.run.rowLimitReached)
            break; // no further row could be added: the rest of the walk would only take time
    }
    noteWalkEnd(env.run, walk);
}

// What a Date run goes by that the scan does not hold: it records no access
// or creation dates, and modification times only where written with them.
QString missingDates(const SearchContext& s) {
    if (s.layout != Layout::Date)
        return {};
    switch (s.env.search.dateOption) {
    case DateOption::optAccessDate: return QStringLiteral("access dates");
    case DateOption::optCreationDate: return QStringLiteral("creation dates");
    case DateOption::optModifyDate:
    case DateOption::None: break;
    }
    return s.timesKnown ? QString() : QStringLiteral("modification times (ncdu writes them with -e)");
}

// Whether the scan read can give the run's rows; the run fails saying why not.
bool scanAnswers(SearchContext& s, const ScanWalk& scan) {
    if (scan.failed())
        return false;
    s.ownersKnown = scan.recordsOwners();
    s.timesKnown = scan.recordsTimes();
    const QString missing = missingDates(s);
    if (missing.isEmpty())
        return true;
    s.env.run.failure = QStringLiteral("%1 records no %2, so a Date run cannot be answered from it")
                            .arg(s.env.app.importFilePath, missing);
    s.env.run.failureStatus = 1;
    return false;
}

} // namespace

void subListDirsAndFiles(ReportEnv& env, const QString& startDirectory, const QString& ownerFilter) {
    const std::optional<VolumePathParts> parts = VolumePathParts::split(startDirectory);
    VolumeView::Opened start = WalkStart::open(env, startDirectory, true);
    if (!parts || !start.ok())
        return;
    SearchContext s{env, ownerFilter, layoutOf(env, ownerFilter), DateFilter(env.search),
                    sizeLimit(env.search.txtSearchSize.trimmed()), 0, {}, {}};
    s.allocated = env.grid.fcnFindColumn(QStringLiteral("Allocated")) != ResultGrid::kNotFound;
    env.client.NWAttachToFileServer(parts->server, 0, s.connection);
    const WildcardPattern pattern(env.run.patternInUse);
    // The files of the scan /IMPORT= names, else of a walk of the start.
    if (env.app.importFilePath.isEmpty()) {
        OrderedWalk walk(start.fd.release(), walkOptions(s, pattern));
        listFilesOf(s, walk, *parts, start);
        return;
    }
    ScanWalk scan(env.run, env.app.importFilePath, walkOptions(s, pattern));
    if (scanAnswers(s, scan))
        listFilesOf(s, scan, *parts, start);
}
