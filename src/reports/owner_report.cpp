#include "reports/owner_report.h"

#include "netware/directory_queries.h"
#include "netware/name_forms.h"
#include "reports/cell_format.h"

namespace {

struct VolumeTarget {
    NWCONN_HANDLE connection = 0;
    std::uint16_t volumeNumber = 0;
};

QString megabytes(std::uint64_t blocks) {
    return CellFormat::formatNumber(double(blocks) * 4096.0 / 1048576.0, QStringLiteral("0.00"));
}

VolumeTarget openVolume(ReportEnv& env, const QString& volumePath) {
    VolumeTarget target;
    QString server, volume, dirPath;
    env.client.NWParsePath(volumePath, server, target.connection, volume, dirPath);
    env.client.NWGetVolumeNumber(target.connection, volume.trimmed(), target.volumeNumber);
    return target;
}

std::uint64_t inUseOf(ReportEnv& env, const VolumeTarget& target, std::uint32_t objectId) {
    std::uint64_t restriction = 0, inUse = 0;
    env.client.NWGetObjDiskRestrictions(target.connection, target.volumeNumber, objectId, restriction, inUse);
    return inUse;
}

std::uint64_t inUseOfName(ReportEnv& env, const VolumeTarget& target, const QString& name) {
    std::uint32_t objectId = 0;
    env.client.NWDSMapNameToID(env.run.dsContext, target.connection, name, objectId);
    return inUseOf(env, target, objectId);
}

void addOwnerRow(ReportEnv& env, const QString& owner, const QString& figure) {
    env.grid.addRow({QString(), owner, figure});
    ++env.run.rowCounter;
    env.host.pollEvents();
}

// Steps shared by All Owners and Select Owner: the name context, the owner
// context read back from it, and the volume.
VolumeTarget beginOwnerReport(ReportEnv& env, const QString& volumePath) {
    env.run.rowCounter = 1;
    env.client.NWDSSetContext(env.run.dsContext, nw::DCK_NAME_CONTEXT, env.search.lblStartContainer);
    QString nameContext;
    env.client.NWDSGetContext(env.run.dsContext, nw::DCK_NAME_CONTEXT, nameContext);
    env.app.ownerContext = fcnReverseDottedName(nameContext.trimmed());
    return openVolume(env, volumePath);
}

void addSpecialOwners(ReportEnv& env, const VolumeTarget& target) {
    // The first figure may walk the whole volume: say what is going on.
    env.host.setStatus(QStringLiteral("Gathering stats for ") + env.search.cmbServer.text + QLatin1Char('/') +
                       env.search.cmbVolumeList.text + QLatin1Char(':'));
    const std::uint64_t supervisor = inUseOfName(env, target, QStringLiteral("[Supervisor]"));
    if (supervisor >= 1)
        addOwnerRow(env, QStringLiteral("[Supervisor]"), CellFormat::padLeft(megabytes(supervisor)));
    const std::uint64_t unowned = inUseOf(env, target, 0);
    if (unowned > 0)
        addOwnerRow(env, QStringLiteral("[No Owner]"), CellFormat::padLeft(megabytes(unowned)));
}

// Reports each user found; false once the cancel flag stops the search.
bool reportUsers(ReportEnv& env, const VolumeTarget& target, const QStringList& users) {
    for (const QString& user : users) {
        if (env.run.cancelled())
            return false;
        env.host.setStatus(user);
        const std::uint64_t inUse = inUseOfName(env, target, user);
        if (inUse >= 1)
            addOwnerRow(env, user, CellFormat::padLeft(megabytes(inUse)));
        env.host.pollEvents();
    }
    return true;
}

} // namespace

void subGetOwnerUsage(ReportEnv& env, const QString& volumePath) {
    const VolumeTarget target = beginOwnerReport(env, volumePath);
    addSpecialOwners(env, target);
    const QString context = fcnTreePathToContext(env.app.ownerContext, env.app.treeName);
    const QString base = context == QLatin1String("[Root]") ? context : context + QLatin1Char('.');
    const int scope = env.search.chkSubContainers ? 2 : 1;
    std::int32_t iteration = -1;
    do {
        QStringList users;
        if (env.client.NWDSSearch(env.run.dsContext, base, scope, QStringLiteral("User"), iteration, users) !=
            nw::SUCCESSFUL)
            break;
        if (!reportUsers(env, target, users))
            break;
    } while (iteration != -1);
}

void subGetSingleOwnerUsage(ReportEnv& env, const QString& volumePath) {
    const VolumeTarget target = beginOwnerReport(env, volumePath);
    const QString context = fcnTreePathToContext(env.app.ownerContext, env.app.treeName);
    QString name = env.search.cmbSelectedOwner.text;
    const bool special = name == QLatin1String("[No Owner]") || name == QLatin1String("[Supervisor]");
    if (!special)
        name += QLatin1Char('.') + context + QLatin1Char('.');
    env.host.setStatus(name);
    const std::uint64_t inUse =
        name == QLatin1String("[No Owner]") ? inUseOf(env, target, 0) : inUseOfName(env, target, name);
    addOwnerRow(env, name.endsWith(QLatin1Char(']')) ? name : name.chopped(1), megabytes(inUse));
}

void subGetGroupofUsers(ReportEnv& env, const QString& startingContainer, const QString& group,
                        const QString& volumePath) {
    env.search.lstGroupOfUsers.clear();
    const QString container = fcnTreePathToContext(startingContainer, env.app.treeName);
    fcnReadAttribute(env, group + QLatin1Char('.') + container, QStringLiteral("Member"));
    const QStringList members = env.search.lstGroupOfUsers;
    for (const QString& member : members)
        subGetGroupUserUsage(env, member, volumePath);
}

void subGetGroupUserUsage(ReportEnv& env, const QString& member, const QString& volumePath) {
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
    std::uint32_t objectId = 0;
    env.client.NWDSMapNameToID(env.run.dsContext, target.connection, member, objectId);
    check("NWDSMapNameToID");
    const std::uint64_t inUse = inUseOf(env, target, objectId);
    check("NWGetObjDiskRestrictions");
    env.grid.addRow({QString(), member, CellFormat::padLeft(megabytes(inUse))});
    ++env.run.rowCounter;
}
