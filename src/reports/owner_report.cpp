#include "reports/owner_report.h"

#include "netware/directory_queries.h"
#include "netware/name_forms.h"
#include "reports/cell_format.h"
#include "reports/report_run.h"
#include "reports/scan_usage.h"

#include <QHash>
#include <QSet>

#include <optional>
#include <vector>

namespace {

struct VolumeTarget {
    NWCONN_HANDLE connection = 0;
    std::uint16_t volumeNumber = 0;
};

// What an owner holds on the volume.
struct OwnerUse {
    std::uint64_t blocks = 0; // 4096 bytes each
    std::uint64_t files = 0;  // inodes, directories included
};

QString megabytes(std::uint64_t blocks) {
    return CellFormat::formatNumber(double(blocks) * 4096.0 / 1048576.0, QStringLiteral("0.00"));
}

// The names of the server's volumes, as its volume list shows them.
QStringList volumeNames(ReportEnv& env, NWCONN_HANDLE connection) {
    QStringList names;
    std::uint32_t iteration = 0;
    do {
        std::uint32_t returned = 0;
        std::vector<NWVolMountNumWithName> batch;
        if (env.client.NWScanMountedVolumeList(connection, 0, nw::NW_NS_LONG, iteration, 16, returned, batch) !=
            nw::SUCCESSFUL)
            break;
        for (const NWVolMountNumWithName& volume : batch)
            names.append(volume.volumeName);
    } while (iteration != 0);
    return names;
}

QString serverNames(ReportEnv& env) {
    QStringList names;
    for (const ServerConfig& server : env.client.site().servers)
        names.append(server.name);
    return names.join(QStringLiteral(", "));
}

// A run that cannot measure the volume fails with the reason, never a
// report that looks whole: exit status 1, and the window's status says why.
void refuseRun(ReportEnv& env, const QString& why) {
    env.run.failure = why;
    env.run.failureStatus = 1;
}

// A run on a volume the server does not have would report another volume's
// figures under its name: it says what there is instead. A server or volume
// left out was named as missing before the run.
void refuseVolume(ReportEnv& env, const QString& server, const QString& volume) {
    if (server.isEmpty() || volume.isEmpty())
        return;
    NWCONN_HANDLE connection = 0;
    if (env.client.NWAttachToFileServer(server, 0, connection) != nw::SUCCESSFUL)
        refuseRun(env, QStringLiteral("there is no server %1 (servers: %2)").arg(server, serverNames(env)));
    else
        refuseRun(env, QStringLiteral("there is no volume %1 on server %2 (volumes: %3)")
                           .arg(volume, server, volumeNames(env, connection).join(QStringLiteral(", "))));
}

// The scan /IMPORT= names stands for the volume: its figures, not the
// volume's quotas or a walk, answer for the owners. False when it cannot.
bool measureFromScan(ReportEnv& env, const VolumeTarget& target) {
    if (env.app.importFilePath.isEmpty())
        return true;
    std::optional<VolumeUsage> usage = scanUsage(env, env.app.importFilePath);
    return usage &&
           env.client.useVolumeUsage(target.connection, target.volumeNumber, std::move(*usage)) == nw::SUCCESSFUL;
}

std::optional<VolumeTarget> openVolume(ReportEnv& env, const QString& volumePath) {
    VolumeTarget target;
    QString server, volume, dirPath;
    if (env.client.NWParsePath(volumePath, server, target.connection, volume, dirPath) == nw::SUCCESSFUL &&
        env.client.NWGetVolumeNumber(target.connection, volume.trimmed(), target.volumeNumber) == nw::SUCCESSFUL) {
        // Its figures are refused; saying why beats an empty report.
        const QString unmounted = env.client.whyNoRoot(server, volume);
        if (unmounted.isEmpty())
            return measureFromScan(env, target) ? std::optional(target) : std::nullopt;
        refuseRun(env, unmounted);
        return std::nullopt;
    }
    refuseVolume(env, server.trimmed(), volume.trimmed());
    return std::nullopt;
}

// Null when there is no figure: the walk gathering it was cancelled.
std::optional<OwnerUse> inUseOf(ReportEnv& env, const VolumeTarget& target, std::uint32_t objectId) {
    std::uint64_t restriction = 0;
    OwnerUse use;
    if (env.client.NWGetObjDiskRestrictions(target.connection, target.volumeNumber, objectId, restriction,
                                            use.blocks, &use.files) != nw::SUCCESSFUL)
        return std::nullopt;
    return use;
}

bool directoryDidNotAnswer(ReportEnv& env, NWDSCCODE result) {
    return result != nw::SUCCESSFUL && result != nw::ERR_NO_SUCH_ENTRY && !env.run.cancelled();
}

// Null when the name has no ID: missing says it is not in the directory;
// otherwise the directory did not answer, and the run fails.
std::optional<std::uint32_t> objectIdOf(ReportEnv& env, const VolumeTarget& target, const QString& name,
                                        bool& missing) {
    std::uint32_t objectId = 0;
    const NWDSCCODE result = env.client.NWDSMapNameToID(env.run.dsContext, target.connection, name, objectId);
    missing = result == nw::ERR_NO_SUCH_ENTRY;
    if (result == nw::SUCCESSFUL)
        return objectId;
    if (directoryDidNotAnswer(env, result))
        fcnDirectoryFailed(env, QStringLiteral("could not tell who %1 is").arg(name));
    return std::nullopt;
}

// An ID the name must have; its absence ends the run too.
std::optional<std::uint32_t> objectIdOf(ReportEnv& env, const VolumeTarget& target, const QString& name) {
    bool missing = false;
    const std::optional<std::uint32_t> objectId = objectIdOf(env, target, name, missing);
    if (missing && !env.run.cancelled())
        env.run.failure = QStringLiteral("there is no %1 in the directory (any more)").arg(name);
    return objectId;
}

// Null when there is no figure; a directory that did not answer ends the run.
// Null when there is no figure. Unless a stop or the walk's own failure
// (which the run reports) explains it, the directory did not answer, and the
// run fails: a missing figure must never end a report that looks whole.
std::optional<OwnerUse> measuredInUse(ReportEnv& env, const VolumeTarget& target, std::uint32_t objectId) {
    const std::optional<OwnerUse> inUse = inUseOf(env, target, objectId);
    if (inUse || env.run.cancelled() || !fcnRunFailure(env).isEmpty())
        return inUse;
    const NWCCODE result = env.client.lastResult();
    if (result == nw::VOLUME_NOT_MOUNTED || result == nw::VOLUME_DOES_NOT_EXIST || result == nw::INVALID_CONNECTION)
        env.run.failure = QStringLiteral("the volume's space in use could not be measured (error %1)").arg(result);
    else
        fcnDirectoryFailed(env, QStringLiteral("could not tell whose files are whose"));
    return inUse;
}

// The totals line adds the exact figures, not the rounded cells.
void addOwnerRow(ReportEnv& env, const QString& owner, const OwnerUse& use, bool padded = true) {
    const QString figure = megabytes(use.blocks);
    RowFigures figures;
    figures.bytes = std::int64_t(use.blocks) * 4096; // quotas and walks both count whole blocks
    figures.allocated = figures.bytes;
    figures.files = std::int64_t(use.files);
    env.grid.addRow({QString(), owner, padded ? CellFormat::padLeft(figure) : figure}, {}, figures);
    env.run.sizeTotal += double(use.blocks) * 4096.0 / 1048576.0;
    ++env.run.rowCounter;
    env.host.pollEvents();
}

// Steps shared by All Owners and Select Owner: the name context, the owner
// context read back from it, and the volume.
std::optional<VolumeTarget> beginOwnerReport(ReportEnv& env, const QString& volumePath) {
    env.run.rowCounter = 1;
    env.client.NWDSSetContext(env.run.dsContext, nw::DCK_NAME_CONTEXT, env.search.lblStartContainer);
    QString nameContext;
    env.client.NWDSGetContext(env.run.dsContext, nw::DCK_NAME_CONTEXT, nameContext);
    env.app.ownerContext = fcnReverseDottedName(nameContext.trimmed());
    return openVolume(env, volumePath);
}

// All Owners writes one row per object ID: a user of the tree with root's
// uid is the supervisor again, and two users may share a uid.
class OwnerRows {
public:
    OwnerRows(ReportEnv& env, const VolumeTarget& target) : m_env(env), m_target(target) {}

    // The supervisor's and the unowned space; false once a cancel left them unmeasured.
    bool addSpecialOwners();
    // Each user found, with the object IDs the search gave (else each is
    // looked up); false once the cancel flag or a failure stops the search.
    bool addUsers(const QStringList& users, const QList<std::uint32_t>& objectIds);
    qsizetype usersDone() const { return m_usersDone; }
    // What the rows cannot show: users sharing a uid, users without one.
    void sayWhatIsNotShown() const;

private:
    // A row for the object when it has space; false when its figure could not be had.
    bool add(std::uint32_t objectId, const QString& owner);

    ReportEnv& m_env;
    VolumeTarget m_target;
    QSet<std::uint32_t> m_reported;
    QHash<std::uint32_t, QString> m_ownerOfId; // the user a uid's row is under
    QStringList m_sharing;                     // "B shares uid 1001 with A"
    QStringList m_withoutUid;
    qsizetype m_usersDone = 0;
};

bool OwnerRows::add(std::uint32_t objectId, const QString& owner) {
    if (DirectoryClient::isWithoutUid(objectId)) {
        m_withoutUid.append(owner); // it owns no file: there is no uid to own one by
        return true;
    }
    if (m_reported.contains(objectId)) {
        if (m_ownerOfId.contains(objectId))
            m_sharing.append(QStringLiteral("%1 shares uid %2 with %3")
                                 .arg(owner, QString::number(DirectoryClient::uidOfObjectId(objectId)),
                                      m_ownerOfId.value(objectId)));
        return true;
    }
    m_ownerOfId.insert(objectId, owner);
    m_reported.insert(objectId);
    const std::optional<OwnerUse> inUse = measuredInUse(m_env, m_target, objectId);
    if (inUse && inUse->blocks >= 1)
        addOwnerRow(m_env, owner, *inUse);
    return inUse.has_value();
}

void OwnerRows::sayWhatIsNotShown() const {
    QStringList notes;
    if (!m_sharing.isEmpty())
        notes.append(m_sharing.join(QStringLiteral("; ")) +
                     QStringLiteral(": the space of a shared uid is shown once, under the first user."));
    if (!m_withoutUid.isEmpty())
        notes.append(QStringLiteral("These users have no usable uid, so no file can be theirs: ") +
                     m_withoutUid.join(QStringLiteral(", ")) + QLatin1Char('.'));
    if (!notes.isEmpty())
        m_env.host.message(notes.join(QLatin1Char('\n')));
}

bool OwnerRows::addSpecialOwners() {
    // The first figure may walk the whole volume: say what is going on.
    m_env.host.setStatus(QStringLiteral("Gathering stats for ") + m_env.search.cmbServer.text + QLatin1Char('/') +
                         m_env.search.cmbVolumeList.text + QLatin1Char(':'));
    const std::optional<std::uint32_t> supervisor = objectIdOf(m_env, m_target, QStringLiteral("[Supervisor]"));
    return supervisor && add(*supervisor, QStringLiteral("[Supervisor]")) && add(0, QStringLiteral("[No Owner]"));
}

bool OwnerRows::addUsers(const QStringList& users, const QList<std::uint32_t>& objectIds) {
    for (qsizetype i = 0; i < users.size(); ++i) {
        if (m_env.run.cancelled())
            return false;
        m_env.host.setStatus(users[i]);
        const std::optional<std::uint32_t> objectId =
            i < objectIds.size() ? objectIds[i] : objectIdOf(m_env, m_target, users[i]);
        if (!objectId || !add(*objectId, users[i]))
            return false;
        ++m_usersDone;
        m_env.host.pollEvents();
    }
    return true;
}

} // namespace

void subGetOwnerUsage(ReportEnv& env, const QString& volumePath) {
    const std::optional<VolumeTarget> target = beginOwnerReport(env, volumePath);
    if (!target)
        return;
    OwnerRows rows(env, *target);
    if (!rows.addSpecialOwners())
        return;
    const QString context = fcnTreePathToContext(env.app.ownerContext, env.app.treeName);
    const QString base = context == QLatin1String("[Root]") ? context : context + QLatin1Char('.');
    const int scope = env.search.chkSubContainers ? 2 : 1;
    std::int32_t iteration = -1;
    do {
        QStringList users;
        QList<std::uint32_t> objectIds;
        const NWDSCCODE result = env.client.NWDSSearch(env.run.dsContext, base, scope, QStringLiteral("User"),
                                                       iteration, users, &objectIds);
        if (result != nw::SUCCESSFUL) {
            if (env.run.cancelled())
                break;
            if (result == nw::ERR_NO_SUCH_ENTRY && rows.usersDone() == 0)
                fcnDirectoryFailed(env, QStringLiteral("holds no container %1").arg(context));
            else
                fcnDirectoryFailed(env, QStringLiteral("stopped answering after %1 users").arg(rows.usersDone()));
            break;
        }
        if (!rows.addUsers(users, objectIds))
            break;
    } while (iteration != -1);
    if (!env.run.cancelled() && env.run.failure.isEmpty())
        rows.sayWhatIsNotShown();
}

void subGetSingleOwnerUsage(ReportEnv& env, const QString& volumePath) {
    const std::optional<VolumeTarget> target = beginOwnerReport(env, volumePath);
    if (!target)
        return;
    const QString context = fcnTreePathToContext(env.app.ownerContext, env.app.treeName);
    QString name = env.search.cmbSelectedOwner.text;
    const bool special = name == QLatin1String("[No Owner]") || name == QLatin1String("[Supervisor]");
    if (!special)
        name += QLatin1Char('.') + context + QLatin1Char('.');
    env.host.setStatus(name);
    const std::optional<std::uint32_t> objectId =
        name == QLatin1String("[No Owner]") ? std::optional<std::uint32_t>(0) : objectIdOf(env, *target, name);
    if (!objectId)
        return;
    // The one row is written only with a figure that was measured.
    if (const std::optional<OwnerUse> inUse = measuredInUse(env, *target, *objectId))
        addOwnerRow(env, name.endsWith(QLatin1Char(']')) ? name : name.chopped(1), *inUse, false);
}

void subGetGroupofUsers(ReportEnv& env, const QString& startingContainer, const QString& group,
                        const QString& volumePath) {
    env.search.lstGroupOfUsers.clear();
    if (!openVolume(env, volumePath))
        return;
    const QString container = fcnTreePathToContext(startingContainer, env.app.treeName);
    bool failed = false;
    fcnReadAttribute(env, group + QLatin1Char('.') + container, QStringLiteral("Member"), &failed);
    if (failed) {
        fcnDirectoryFailed(env, QStringLiteral("could not list the members of %1").arg(group));
        return;
    }
    const QStringList members = env.search.lstGroupOfUsers;
    QStringList gone;
    for (const QString& member : members) {
        if (env.run.cancelled() || !env.run.failure.isEmpty())
            return;
        // A member whose entry is gone owns nothing any more: it is named, never given a figure.
        if (!subGetGroupUserUsage(env, member, volumePath))
            gone.append(member);
    }
    if (!gone.isEmpty())
        env.host.message(QStringLiteral("These members of %1 are no longer in the directory and were left out: %2")
                             .arg(group, gone.join(QStringLiteral(", "))));
}

bool subGetGroupUserUsage(ReportEnv& env, const QString& member, const QString& volumePath) {
    // In debug mode every client step that fails says so.
    const auto check = [&env](const char* step) {
        if (env.app.debugMode && env.client.lastResult() != 0)
            env.host.message(QString::fromLatin1(step) + QStringLiteral(" =") +
                             QString::number(env.client.lastResult()));
    };
    const qsizetype dot = member.indexOf(QLatin1Char('.'));
    if (dot >= 0) {
        env.client.NWDSSetContext(env.run.dsContext, nw::DCK_NAME_CONTEXT,
                                  fcnContextToTreePath(member.mid(dot + 1), env.app.treeName));
        check("NWDSSetContextString");
    }
    VolumeTarget target;
    QString server, volume, dirPath;
    env.client.NWParsePath(volumePath, server, target.connection, volume, dirPath);
    check("NWParsePath");
    env.client.NWGetVolumeNumber(target.connection, volume.trimmed(), target.volumeNumber);
    check("NWGetVolumeNumber");
    bool missing = false;
    const std::optional<std::uint32_t> objectId = objectIdOf(env, target, member, missing);
    check("NWDSMapNameToID");
    if (!objectId)
        return !missing;
    const std::optional<OwnerUse> inUse = measuredInUse(env, target, *objectId);
    check("NWGetObjDiskRestrictions");
    if (!inUse)
        return true;
    addOwnerRow(env, member, *inUse);
    return true;
}
