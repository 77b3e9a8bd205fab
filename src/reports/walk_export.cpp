#include "reports/walk_export.h"

#include <climits>
#include <ctime>

#include <sys/stat.h>
#include <unistd.h>

namespace {

// The start's absolute path, as ncdu names the root of a scan.
QByteArray pathOf(int fd) {
    char path[PATH_MAX];
    const QByteArray link = "/proc/self/fd/" + QByteArray::number(fd);
    const ssize_t length = ::readlink(link.constData(), path, sizeof path);
    return length > 0 ? QByteArray(path, qsizetype(length)) : QByteArray(".");
}

} // namespace

WalkExport::WalkExport(RunState& run, const QString& path, int startFd) : m_run(run), m_path(path) {
    if (m_path.isEmpty())
        return;
    struct stat st {};
    if (::fstat(startFd, &st) == 0)
        m_rootDevice = st.st_dev;
    if (const QString error = m_export.open(m_path, pathOf(startFd), std::time(nullptr)); !error.isEmpty())
        fail(error);
}

void WalkExport::fail(const QString& why) {
    m_failed = true;
    if (m_run.failure.isEmpty())
        m_run.failure = why;
}

OrderedWalk::Options WalkExport::walkOptions() const {
    OrderedWalk::Options options = OrderedWalk::Options::sumsOnly();
    if (!m_path.isEmpty()) {
        options.recordFile = [device = m_rootDevice](const WalkedFile& file, QByteArrayView name, QByteArray& record) {
            NcduExport::recordFile(file, name, record, device);
        };
    }
    return options;
}

void WalkExport::add(const WalkedDirectory& directory) {
    if (!m_path.isEmpty())
        m_export.add(directory);
}

void WalkExport::finish() {
    if (m_path.isEmpty() || m_failed)
        return;
    // A walk cut short must not pass for the whole tree.
    if (m_run.cancelled() || !m_run.failure.isEmpty()) {
        m_export.abandon();
        if (m_run.cancelled())
            m_run.notes.append(QStringLiteral("%1 was left as it was.").arg(m_path));
        return;
    }
    if (const QString error = m_export.commit(); !error.isEmpty())
        fail(error);
}
