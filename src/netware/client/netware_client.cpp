#include "netware/client/netware_client.h"

#include "fsview/volume_view.h"
#include "netware/client/packed_date.h"

#include <QFile>

#include <sys/statvfs.h>

#include <algorithm>
#include <optional>

namespace {

// Name spaces in which a volume is listed: DOS and LONG, as a NetWare server
// with long names loaded shows them.
bool listsVolumes(std::uint32_t nameSpace) {
    return nameSpace == nw::NW_NS_DOS || nameSpace == nw::NW_NS_LONG;
}

// Name spaces whose names the scans hand out: both are the file's own name.
bool scansNameSpace(std::uint32_t nameSpace) {
    return nameSpace == nw::NW_NS_DOS || nameSpace == nw::NW_NS_LONG;
}

const QString kAdminVolume = QStringLiteral("_ADMIN");

// A volume's place in its server's table, found by name in any case; -1 for none.
qsizetype indexOfVolume(const ServerConfig& server, const QString& name) {
    for (qsizetype i = 0; i < server.volumes.size(); ++i) {
        if (server.volumes[i].name.compare(name.trimmed(), Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

// The volume's number: its place in the table; the administration volume
// comes after the last.
std::optional<std::uint16_t> volumeNumberOf(const ServerConfig& server, const QString& name) {
    if (const qsizetype index = indexOfVolume(server, name); index >= 0)
        return std::uint16_t(index);
    if (name.trimmed().compare(kAdminVolume, Qt::CaseInsensitive) == 0)
        return std::uint16_t(server.volumes.size());
    return std::nullopt;
}

} // namespace

NetWareClient::NetWareClient(Site site) : DirectoryClient(std::move(site)) {}

NWCCODE NetWareClient::NWCallsInit() {
    m_initialized = true;
    return done(nw::SUCCESSFUL);
}

NWCCODE NetWareClient::NWCallsTerm() {
    m_initialized = false;
    m_dirHandles.clear();
    resetDirectoryState();
    return done(nw::SUCCESSFUL);
}

// A connection handle is the server's position in the site, from 1.
NWCCODE NetWareClient::connect(const QString& serverName, NWCONN_HANDLE& connection) {
    const ServerConfig* server = m_site.findServer(serverName.trimmed());
    if (!m_initialized || !server) {
        connection = 0;
        return m_initialized ? nw::UNKNOWN_FILE_SERVER : nw::CLIENT_NOT_INITIALIZED;
    }
    connection = NWCONN_HANDLE(server - m_site.servers.constData()) + 1;
    return nw::SUCCESSFUL;
}

const ServerConfig* NetWareClient::serverOf(NWCONN_HANDLE connection) const {
    if (connection < 1 || connection > NWCONN_HANDLE(m_site.servers.size()))
        return nullptr;
    return &m_site.servers[connection - 1];
}

NWCCODE NetWareClient::NWAttachToFileServer(const QString& serverName, std::uint16_t,
                                            NWCONN_HANDLE& connection) {
    return done(connect(serverName, connection));
}

NWCCODE NetWareClient::NWCCOpenConnByName(NWCONN_HANDLE, const QString& name, int, int, int,
                                          NWCONN_HANDLE& connection) {
    return done(connect(name, connection));
}

NWCCODE NetWareClient::NWParsePath(const QString& path, QString& serverName,
                                   NWCONN_HANDLE& connection, QString& volumeName,
                                   QString& dirPath) {
    serverName.clear();
    volumeName.clear();
    dirPath.clear();
    connection = 0;
    const qsizetype slash = path.indexOf(QLatin1Char('/'));
    const qsizetype colon = path.indexOf(QLatin1Char(':'));
    if (slash <= 0 || colon <= slash + 1)
        return done(nw::INVALID_PATH);
    serverName = path.left(slash);
    volumeName = path.mid(slash + 1, colon - slash - 1);
    dirPath = path.mid(colon + 1);
    if (const NWCCODE result = connect(serverName, connection); result != nw::SUCCESSFUL)
        return done(result);
    // Else a report would go on with another volume's figures under this name.
    return done(volumeNumberOf(*serverOf(connection), volumeName) ? nw::SUCCESSFUL : nw::VOLUME_DOES_NOT_EXIST);
}

NWCCODE NetWareClient::NWGetVolumeNumber(NWCONN_HANDLE connection, const QString& volumeName,
                                         std::uint16_t& volumeNumber) {
    const ServerConfig* server = serverOf(connection);
    if (!server)
        return done(nw::INVALID_CONNECTION);
    const std::optional<std::uint16_t> number = volumeNumberOf(*server, volumeName);
    if (!number)
        return done(nw::VOLUME_DOES_NOT_EXIST);
    volumeNumber = *number;
    return done(nw::SUCCESSFUL);
}

const VolumeConfig* NetWareClient::volumeOf(NWCONN_HANDLE connection,
                                            std::uint16_t volumeNumber) const {
    const ServerConfig* server = serverOf(connection);
    if (!server || volumeNumber >= server->volumes.size())
        return nullptr;
    return &server->volumes[volumeNumber];
}

NWCCODE NetWareClient::NWGetDirSpaceInfo(NWCONN_HANDLE connection, NWDIR_HANDLE,
                                         std::uint16_t volumeNumber, DIR_SPACE_INFO& info) {
    info = DIR_SPACE_INFO{};
    if (!serverOf(connection))
        return done(nw::INVALID_CONNECTION);
    const VolumeConfig* volume = volumeOf(connection, volumeNumber);
    if (volume && !volume->mountedNow())
        return done(nw::VOLUME_NOT_MOUNTED);
    struct statvfs fs {};
    if (!volume || ::statvfs(volume->root.constData(), &fs) != 0)
        return done(nw::VOLUME_DOES_NOT_EXIST);
    info.totalBlocks = fs.f_blocks;
    info.freeBlocks = fs.f_bfree;
    info.availableBlocks = fs.f_bavail;
    info.totalDirEntries = fs.f_files;
    info.availableDirEntries = fs.f_favail;
    info.sectorsPerBlock = std::uint32_t(fs.f_frsize / 512);
    return done(nw::SUCCESSFUL);
}

NWCCODE NetWareClient::NWScanMountedVolumeList(NWCONN_HANDLE connection, std::uint32_t,
                                               std::uint32_t nameSpace, std::uint32_t& iterHandle,
                                               std::uint32_t numberItems,
                                               std::uint32_t& numberReturned,
                                               std::vector<NWVolMountNumWithName>& volumes) {
    volumes.clear();
    numberReturned = 0;
    const ServerConfig* server = serverOf(connection);
    if (!server)
        return done(nw::INVALID_CONNECTION);
    // Every server also mounts its administration volume, in the DOS name space.
    QList<NWVolMountNumWithName> mounted;
    if (listsVolumes(nameSpace)) {
        for (qsizetype i = 0; i < server->volumes.size(); ++i)
            mounted.append({std::uint32_t(i), server->volumes[i].name});
    }
    if (nameSpace == 0)
        mounted.append({std::uint32_t(server->volumes.size()), kAdminVolume});
    while (iterHandle < std::uint32_t(mounted.size()) && numberReturned < numberItems) {
        volumes.push_back(mounted[iterHandle++]);
        ++numberReturned;
    }
    if (iterHandle >= std::uint32_t(mounted.size()))
        iterHandle = 0;
    return done(nw::SUCCESSFUL);
}

void NetWareClient::setWalkControl(const std::atomic<bool>* cancel, std::function<void()> poll,
                                   DiskAccounting::Walked walked) {
    m_cancel = cancel;
    m_poll = std::move(poll);
    m_walked = std::move(walked);
    setDirectoryWaitControl(cancel, m_poll);
}

void NetWareClient::startAccountingRun(const QString& runTree) {
    m_runTree = runTree;
    m_accounting.clear();
    m_countedRoots.clear();
    m_unreadable = 0;
    m_loopingFolders = 0;
}

std::optional<std::uint64_t> NetWareClient::figureOf(const QHash<std::uint32_t, std::uint64_t>& byUid,
                                                     std::uint32_t objectID, const DirectoryBackend* directory) const {
    if (objectID != 0)
        return byUid.value(uidOfObjectId(objectID));
    // Unowned: every uid but root's that no user of the tree owns. A uid
    // the directory could not be asked about is no figure at all.
    if (directory) {
        directory->prefetchUids(byUid.keys());
        if (directory->lastFailure().code != 0)
            return std::nullopt;
    }
    std::uint64_t sum = 0;
    for (auto it = byUid.constBegin(); it != byUid.constEnd(); ++it) {
        if (it.key() == 0 || (directory && directory->userOfUid(it.key())))
            continue;
        if (directory && directory->lastFailure().code != 0)
            return std::nullopt;
        sum += it.value();
    }
    return sum;
}

NWCCODE NetWareClient::NWGetObjDiskRestrictions(NWCONN_HANDLE connection, std::uint16_t volumeNumber,
                                                std::uint32_t objectID, std::uint64_t& restriction,
                                                std::uint64_t& inUse, std::uint64_t* files) {
    restriction = 0x40000000; // no limit
    inUse = 0;
    const ServerConfig* server = serverOf(connection);
    if (!server)
        return done(nw::INVALID_CONNECTION);
    const VolumeConfig* volume = volumeOf(connection, volumeNumber);
    if (!volume)
        return done(nw::VOLUME_DOES_NOT_EXIST);
    if (!volume->mountedNow())
        return done(nw::VOLUME_NOT_MOUNTED);
    const VolumeUsage* usage = m_accounting.usage(volume->root, m_cancel ? *m_cancel : m_neverCancel, m_poll, m_walked);
    if (!usage) // nothing was measured, so there is no figure to give
        return done(m_accounting.failure().isEmpty() ? nw::WALK_CANCELLED : nw::WALK_FAILED);
    if (!m_countedRoots.contains(volume->root)) {
        m_countedRoots.insert(volume->root);
        m_unreadable += usage->skipped;
        m_loopingFolders += usage->loopingFolders;
    }
    const DirectoryBackend* owners = ownersOf(*server);
    const std::optional<std::uint64_t> bytes = figureOf(usage->bytesByUid, objectID, owners);
    const std::optional<std::uint64_t> inodes = figureOf(usage->filesByUid, objectID, owners);
    if (!bytes || !inodes)
        return failureOf(*owners, nw::UNABLE_TO_ATTACH);
    inUse = DiskAccounting::blocksOf(*bytes);
    if (files)
        *files = *inodes;
    return done(nw::SUCCESSFUL);
}

NWCCODE NetWareClient::useVolumeUsage(NWCONN_HANDLE connection, std::uint16_t volumeNumber, VolumeUsage usage) {
    if (!serverOf(connection))
        return done(nw::INVALID_CONNECTION);
    const VolumeConfig* volume = volumeOf(connection, volumeNumber);
    if (!volume)
        return done(nw::VOLUME_DOES_NOT_EXIST);
    m_accounting.adopt(volume->root, std::move(usage));
    return done(nw::SUCCESSFUL);
}

NWCCODE NetWareClient::NWGetDriveStatus(std::uint16_t driveNumber, std::uint16_t,
                                        std::uint16_t& status, NWCONN_HANDLE& connection,
                                        QString& rootPath, QString& relativePath,
                                        QString& fullPath) {
    if (!DriveTable::valid(driveNumber))
        return done(nw::INVALID_DRIVE_NUMBER);
    const DriveTable::Mapping& drive = m_drives.at(driveNumber);
    status = drive.mapped ? nw::NW_NETWARE_DRIVE : nw::NW_FREE_DRIVE;
    connection = drive.connection;
    rootPath = drive.path;
    relativePath.clear();
    const ServerConfig* server = serverOf(drive.connection);
    fullPath = drive.mapped && server ? server->name + QLatin1Char('/') + drive.path : QString();
    return done(nw::SUCCESSFUL);
}

NWCCODE NetWareClient::NWSetDriveBase(std::uint16_t driveNumber, NWCONN_HANDLE connection,
                                      NWDIR_HANDLE, const QString& dirPath, std::uint16_t) {
    if (!DriveTable::valid(driveNumber))
        return done(nw::INVALID_DRIVE_NUMBER);
    if (!serverOf(connection))
        return done(nw::INVALID_CONNECTION);
    m_drives.map(driveNumber, connection, dirPath);
    return done(nw::SUCCESSFUL);
}

NWCCODE NetWareClient::NWDeleteDriveBase(std::uint16_t driveNumber, std::uint16_t) {
    if (!DriveTable::valid(driveNumber))
        return done(nw::INVALID_DRIVE_NUMBER);
    m_drives.unmap(driveNumber);
    return done(nw::SUCCESSFUL);
}

const VolumeConfig* NetWareClient::volumeNamed(const ServerConfig* server, const QString& volume) const {
    if (!server)
        return nullptr;
    const QString wanted = volume.trimmed().toUpper();
    for (const VolumeConfig& v : server->volumes) {
        if (v.name == wanted)
            return &v;
    }
    return nullptr;
}

std::optional<QByteArray> NetWareClient::volumeRoot(const QString& server,
                                                    const QString& volume) const {
    const VolumeConfig* v = volumeNamed(m_site.findServer(server.trimmed()), volume);
    if (!v || !v->mountedNow())
        return std::nullopt;
    return v->root;
}

QString NetWareClient::whyNoRoot(const QString& server, const QString& volume) const {
    const ServerConfig* s = m_site.findServer(server.trimmed());
    const VolumeConfig* v = volumeNamed(s, volume);
    if (!v || v->mountedNow())
        return {};
    return QStringLiteral("\\\\%1\\%2 is not mounted (nothing is mounted on %3)")
        .arg(s->name, v->name, QFile::decodeName(v->root));
}

NWCCODE NetWareClient::NWAllocTempNSDirHandle2(NWCONN_HANDLE connection, NWDIR_HANDLE dirHandle,
                                               const QString& path, std::uint8_t nameSpace,
                                               NWDIR_HANDLE& newHandle, std::uint8_t newNameSpace) {
    newHandle = 0;
    const ServerConfig* server = serverOf(connection);
    if (!server)
        return done(nw::INVALID_CONNECTION);
    if (!scansNameSpace(nameSpace) || !scansNameSpace(newNameSpace))
        return done(nw::INVALID_NAME_SPACE);
    QString text = path.trimmed();
    text.replace(QLatin1Char('/'), QLatin1Char('\\'));
    const qsizetype colon = text.indexOf(QLatin1Char(':'));
    QString volumePath;
    std::uint32_t volumeNumber = 0;
    if (colon < 0) {
        // No volume: the path goes on from the directory handle's own.
        const QString* base = m_dirHandles.volumePath(dirHandle);
        if (!base)
            return done(dirHandle == 0 ? nw::INVALID_PATH : nw::BAD_DIRECTORY_HANDLE);
        volumePath = *base + QLatin1Char('\\') + text;
        const qsizetype index = indexOfVolume(*server, VolumePathParts::split(*base)->volume);
        volumeNumber = std::uint32_t(std::max<qsizetype>(0, index));
    } else {
        QString volume = text.left(colon);
        // "SERVER/VOL:" names the server too; it has to be the connection's.
        const qsizetype slash = volume.lastIndexOf(QLatin1Char('\\'));
        if (slash >= 0) {
            const QString serverName = volume.left(slash);
            if (!serverName.isEmpty() && serverName.compare(server->name, Qt::CaseInsensitive) != 0)
                return done(nw::INVALID_PATH);
            volume = volume.mid(slash + 1);
        }
        const qsizetype index = indexOfVolume(*server, volume);
        if (index < 0)
            return done(nw::INVALID_PATH);
        volumeNumber = std::uint32_t(index);
        volumePath = QStringLiteral("\\\\") + server->name + QLatin1Char('\\') + server->volumes[index].name +
                     QLatin1Char('\\') + text.mid(colon + 1);
    }
    const VolumeView::Resolved resolved = VolumeView(*this).resolve(volumePath);
    if (!resolved.ok())
        return done(nw::INVALID_PATH);
    return done(m_dirHandles.allocate(resolved.path, volumePath, volumeNumber, newHandle));
}

int NetWareClient::NWIsLNSSupportedOnVolume(NWCONN_HANDLE, NWDIR_HANDLE, const QString&) {
    done(nw::SUCCESSFUL);
    return 1;
}

std::uint32_t NetWareClient::creatorIdOfUid(NWCONN_HANDLE connection, std::uint32_t uid) {
    const ServerConfig* server = serverOf(connection);
    return server ? creatorOf(*server, uid) : (uid == 0 ? objectIdOfUid(0) : 0);
}

std::uint32_t NetWareClient::creatorOf(const ServerConfig& server, std::uint32_t uid) {
    if (uid == 0)
        return objectIdOfUid(0);
    const DirectoryBackend* directory = ownersOf(server);
    return directory && directory->userOfUid(uid) ? objectIdOfUid(uid) : 0;
}

const DirectoryBackend* NetWareClient::ownersOf(const ServerConfig& server) {
    if (!m_runTree.isEmpty())
        return directoryOf(m_runTree);
    const TreeConfig* tree = treeOfServer(server.name);
    return tree ? directoryOf(tree->name) : nullptr;
}

NWCCODE NetWareClient::NWScanNSEntryInfo(NWCONN_HANDLE connection, NWDIR_HANDLE dirHandle,
                                         std::uint8_t nameSpace, std::uint16_t searchAttributes,
                                         SEARCH_SEQUENCE& sequence, const QString& pattern, std::uint32_t,
                                         NW_ENTRY_INFO& entry) {
    entry = NW_ENTRY_INFO{};
    const ServerConfig* server = serverOf(connection);
    if (!server)
        return done(nw::INVALID_CONNECTION);
    if (!scansNameSpace(nameSpace))
        return done(nw::INVALID_NAME_SPACE);
    NsDirectoryHandles::EntryStatus status;
    const NWCCODE result = m_dirHandles.next(dirHandle, searchAttributes, pattern, sequence, entry.name, status);
    if (result != nw::SUCCESSFUL)
        return done(result);
    entry.attributes = status.directory ? nw::A_DIRECTORY : nw::A_NEEDS_ARCHIVED;
    entry.dataStreamSize = status.size;
    entry.creatorID = creatorOf(*server, status.uid);
    entry.creationDate = status.hasBirth ? PackedDate::packTime(status.birth) : 0;
    entry.modifyDate = PackedDate::packTime(status.modified);
    entry.lastAccessDate = PackedDate::packTime(status.accessed);
    return done(nw::SUCCESSFUL);
}

NWCCODE NetWareClient::NWDeallocateDirectoryHandle(NWCONN_HANDLE connection, NWDIR_HANDLE dirHandle) {
    if (!serverOf(connection))
        return done(nw::INVALID_CONNECTION);
    return done(m_dirHandles.release(dirHandle));
}
