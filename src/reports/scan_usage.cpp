#include "reports/scan_usage.h"

#include "netware/client/owner_tally.h"
#include "reports/scan_walk.h"
#include "reports/walk_progress.h"

std::optional<VolumeUsage> scanUsage(ReportEnv& env, const QString& path) {
    ScanWalk scan(env.run, path);
    if (scan.failed())
        return std::nullopt;
    if (!scan.recordsOwners()) {
        env.run.failure = QStringLiteral("%1 records no owners (ncdu writes them with -e), so an Owner run cannot "
                                         "be answered from it").arg(path);
        env.run.failureStatus = 1;
        return std::nullopt;
    }
    OwnerTally tally;
    const auto poll = [&env] { env.host.pollEvents(); };
    while (const std::optional<WalkedDirectory> directory = scan.next(env.run.cancel, poll)) {
        tally.add(*directory);
        countWalked(env.run.progress, *directory, {});
    }
    if (env.run.cancelled())
        return std::nullopt;
    VolumeUsage usage;
    usage.bytesByUid = tally.bytesByUid();
    usage.filesByUid = tally.filesByUid();
    usage.skipped = scan.skipped();
    return usage;
}
