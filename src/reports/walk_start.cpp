#include "reports/walk_start.h"

namespace {

bool askToTryAgain(ReportEnv& env) {
    return env.host.ask(QStringLiteral("Error accessing volume, would you like to try Again?"),
                        QStringLiteral("Volume Access Error"));
}

} // namespace

VolumeView::Opened WalkStart::open(ReportEnv& env, const QString& volumePath, bool askAgain) {
    for (int attempt = 1;; ++attempt) {
        VolumeView::Opened opened = env.volumes.openDirectory(volumePath);
        if (opened.ok())
            return opened;
        const bool asking = opened.transient && attempt > 1 && askAgain;
        if (opened.transient && (attempt == 1 || (asking && askToTryAgain(env))))
            continue;
        // Whoever answered No knows already.
        if (!asking)
            env.host.message(QStringLiteral("Unable to access the start directory: ") + opened.error);
        env.run.cancel = true;
        return opened;
    }
}
