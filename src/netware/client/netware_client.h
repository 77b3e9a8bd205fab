#pragma once

#include "fsview/volume_locator.h"
#include "netware/client/directory_client.h"
#include "netware/client/disk_accounting.h"
#include "netware/client/drive_table.h"
#include "netware/client/ns_directory_handles.h"

#include <QSet>
#include <QString>

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

// Our implementation of the NetWare client calls the program makes, over the
// trees and servers of the site. Every call's result is kept as the last
// client result; 0 is success. The directory calls come from DirectoryClient.
class NetWareClient : public DirectoryClient, public VolumeLocator {
public:
    explicit NetWareClient(Site site);

    NWCCODE NWCallsInit();
    NWCCODE NWCallsTerm();

    // Servers and volumes
    NWCCODE NWAttachToFileServer(const QString& serverName, std::uint16_t scopeFlag,
                                 NWCONN_HANDLE& connection);
    NWCCODE NWCCOpenConnByName(NWCONN_HANDLE startConn, const QString& name, int nameFormat,
                               int openState, int tranType, NWCONN_HANDLE& connection);
    // "SERVER/VOL:\DIR" to the server, a connection to it, "VOL" and "\DIR";
    // fails when the server has no such volume.
    NWCCODE NWParsePath(const QString& path, QString& serverName, NWCONN_HANDLE& connection,
                        QString& volumeName, QString& dirPath);
    NWCCODE NWGetVolumeNumber(NWCONN_HANDLE connection, const QString& volumeName,
                              std::uint16_t& volumeNumber);
    NWCCODE NWGetDirSpaceInfo(NWCONN_HANDLE connection, NWDIR_HANDLE dirHandle,
                              std::uint16_t volumeNumber, DIR_SPACE_INFO& info);
    // One batch of mounted volumes from iterHandle on (0 to start); iterHandle
    // returns to 0 after the last.
    NWCCODE NWScanMountedVolumeList(NWCONN_HANDLE connection, std::uint32_t scanFlags,
                                    std::uint32_t nameSpace, std::uint32_t& iterHandle,
                                    std::uint32_t numberItems, std::uint32_t& numberReturned,
                                    std::vector<NWVolMountNumWithName>& volumes);

    // In-use space of an object on a volume, in 4096-byte blocks: a user's
    // files, the supervisor's (root's), or for object ID 0 the files of
    // owners that are no user of the server's tree. The restriction is
    // always "no limit". WALK_CANCELLED when the run's cancel flag stopped
    // the walk that gathers the figures. files, when given, gets the
    // object's files from the same figures: inodes, directories included,
    // as quotas count them.
    NWCCODE NWGetObjDiskRestrictions(NWCONN_HANDLE connection, std::uint16_t volumeNumber,
                                     std::uint32_t objectID, std::uint64_t& restriction, std::uint64_t& inUse,
                                     std::uint64_t* files = nullptr);

    // Has NWGetObjDiskRestrictions answer for the volume from usage measured
    // elsewhere (a scan read from a file), not from its quotas or a walk,
    // until the next accounting run.
    NWCCODE useVolumeUsage(NWCONN_HANDLE connection, std::uint16_t volumeNumber, VolumeUsage usage);

    // What long walks watch and call while they run: the run's cancel flag,
    // the host's event pump and what counts the run's progress. A walk that
    // was cancelled counts nothing.
    void setWalkControl(const std::atomic<bool>* cancel, std::function<void()> poll,
                        DiskAccounting::Walked walked = {});
    // Forgets the disk accounting of earlier runs; entries the walks of this
    // run could not read. The users of the run's tree own the files the
    // servers report, whichever tree holds a server's object; without one,
    // the tree holding the server's object does.
    void startAccountingRun(const QString& runTree = {});
    std::uint64_t unreadableEntries() const { return m_unreadable; }
    // Folders this run's walks did not enter again: each is one above it.
    std::uint64_t loopingFolders() const { return m_loopingFolders; }
    // Why this run's accounting walk could not finish; empty when it did.
    const QString& walkFailure() const { return m_accounting.failure(); }

    // Drives
    NWCCODE NWGetDriveStatus(std::uint16_t driveNumber, std::uint16_t pathFormat,
                             std::uint16_t& status, NWCONN_HANDLE& connection, QString& rootPath,
                             QString& relativePath, QString& fullPath);
    NWCCODE NWSetDriveBase(std::uint16_t driveNumber, NWCONN_HANDLE connection,
                           NWDIR_HANDLE dirHandle, const QString& dirPath, std::uint16_t driveScope);
    NWCCODE NWDeleteDriveBase(std::uint16_t driveNumber, std::uint16_t driveScope);

    // Directory scans. path is "VOL:DIR\SUB" (components split by "\"), or
    // relative to dirHandle when it has no volume; name spaces DOS (0) and
    // LONG (4) are served.
    NWCCODE NWAllocTempNSDirHandle2(NWCONN_HANDLE connection, NWDIR_HANDLE dirHandle, const QString& path,
                                    std::uint8_t nameSpace, NWDIR_HANDLE& newHandle, std::uint8_t newNameSpace);
    // Nonzero when the volume keeps long names, which ours always do.
    int NWIsLNSSupportedOnVolume(NWCONN_HANDLE connection, NWDIR_HANDLE dirHandle, const QString& path);
    // The next entry of the handle's directory: sub-directories when
    // searchAttributes has 0x10, else everything else (symbolic links as
    // themselves). Start with sequence.searchDirNumber at -1 and call until
    // the result is nonzero. infoMask is ignored: every field is filled.
    NWCCODE NWScanNSEntryInfo(NWCONN_HANDLE connection, NWDIR_HANDLE dirHandle, std::uint8_t nameSpace,
                              std::uint16_t searchAttributes, SEARCH_SEQUENCE& sequence, const QString& pattern,
                              std::uint32_t infoMask, NW_ENTRY_INFO& entry);
    NWCCODE NWDeallocateDirectoryHandle(NWCONN_HANDLE connection, NWDIR_HANDLE dirHandle);

    // The object ID of the owner of files with this uid on the server: its
    // user in the server's tree, the supervisor for root, else 0.
    std::uint32_t creatorIdOfUid(NWCONN_HANDLE connection, std::uint32_t uid);

    // VolumeLocator
    // A volume that must be a mount point has no root while nothing is mounted there.
    std::optional<QByteArray> volumeRoot(const QString& server, const QString& volume) const override;
    QString whyNoRoot(const QString& server, const QString& volume) const override;

    // The server behind a connection handle; null for an invalid handle.
    const ServerConfig* serverOf(NWCONN_HANDLE connection) const;

private:
    NWCCODE connect(const QString& serverName, NWCONN_HANDLE& connection);
    const VolumeConfig* volumeOf(NWCONN_HANDLE connection, std::uint16_t volumeNumber) const;
    const VolumeConfig* volumeNamed(const ServerConfig* server, const QString& volume) const;

    // The object's share of a figure per uid; nullopt when the directory
    // could not tell whose a uid is.
    std::optional<std::uint64_t> figureOf(const QHash<std::uint32_t, std::uint64_t>& byUid, std::uint32_t objectID,
                                          const DirectoryBackend* directory) const;

    std::uint32_t creatorOf(const ServerConfig& server, std::uint32_t uid);
    // The directory whose users own the server's files.
    const DirectoryBackend* ownersOf(const ServerConfig& server);

    DriveTable m_drives;
    NsDirectoryHandles m_dirHandles;
    DiskAccounting m_accounting;
    const std::atomic<bool>* m_cancel = nullptr;
    std::function<void()> m_poll;
    DiskAccounting::Walked m_walked;
    std::uint64_t m_unreadable = 0;
    std::uint64_t m_loopingFolders = 0;
    QSet<QByteArray> m_countedRoots; // volumes whose unreadable entries are counted
    QString m_runTree;
    std::atomic<bool> m_neverCancel{false};
};
