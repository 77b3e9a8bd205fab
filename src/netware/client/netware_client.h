#pragma once

#include "fsview/volume_locator.h"
#include "netware/client/drive_table.h"
#include "netware/client/nw_types.h"
#include "netware/client/site.h"

#include <QMap>
#include <QString>

#include <cstdint>
#include <vector>

// Our implementation of the NetWare client calls the program makes, over the
// trees and servers of the site. Every call's result is kept as the last
// client result; 0 is success.
class NetWareClient : public VolumeLocator {
public:
    explicit NetWareClient(Site site);

    const Site& site() const { return m_site; }
    NWCCODE lastResult() const { return m_lastResult; }

    NWCCODE NWCallsInit();
    NWCCODE NWCallsTerm();

    // Directory-services contexts
    NWDSCCODE NWDSCreateContextHandle(NWDSContextHandle& context);
    NWDSCCODE NWDSFreeContext(NWDSContextHandle context);
    NWDSCCODE NWDSSetContext(NWDSContextHandle context, int key, const QString& value);
    NWDSCCODE NWDSSetContext(NWDSContextHandle context, int key, std::uint32_t value);
    NWDSCCODE NWDSGetContext(NWDSContextHandle context, int key, QString& value);
    NWDSCCODE NWDSGetContext(NWDSContextHandle context, int key, std::uint32_t& value);

    // Servers and volumes
    NWCCODE NWAttachToFileServer(const QString& serverName, std::uint16_t scopeFlag,
                                 NWCONN_HANDLE& connection);
    NWCCODE NWCCOpenConnByName(NWCONN_HANDLE startConn, const QString& name, int nameFormat,
                               int openState, int tranType, NWCONN_HANDLE& connection);
    // "SERVER/VOL:\DIR" to the server, a connection to it, "VOL" and "\DIR".
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

    // Drives
    NWCCODE NWGetDriveStatus(std::uint16_t driveNumber, std::uint16_t pathFormat,
                             std::uint16_t& status, NWCONN_HANDLE& connection, QString& rootPath,
                             QString& relativePath, QString& fullPath);
    NWCCODE NWSetDriveBase(std::uint16_t driveNumber, NWCONN_HANDLE connection,
                           NWDIR_HANDLE dirHandle, const QString& dirPath, std::uint16_t driveScope);
    NWCCODE NWDeleteDriveBase(std::uint16_t driveNumber, std::uint16_t driveScope);

    // VolumeLocator
    std::optional<QByteArray> volumeRoot(const QString& server, const QString& volume) const override;

    // The server behind a connection handle; null for an invalid handle.
    const ServerConfig* serverOf(NWCONN_HANDLE connection) const;

private:
    struct Context {
        QString treeName;
        std::uint32_t flags = nw::DCV_DEREF_ALIASES | nw::DCV_XLATE_STRINGS | nw::DCV_CANONICALIZE_NAMES;
        QString nameContext = QStringLiteral("[Root]");
    };

    std::int32_t done(std::int32_t result) { return m_lastResult = result; }
    Context* findContext(NWDSContextHandle context);
    NWCCODE connect(const QString& serverName, NWCONN_HANDLE& connection);
    const VolumeConfig* volumeOf(NWCONN_HANDLE connection, std::uint16_t volumeNumber) const;

    Site m_site;
    bool m_initialized = false;
    std::int32_t m_lastResult = 0;
    QMap<NWDSContextHandle, Context> m_contexts;
    NWDSContextHandle m_nextContext = 1;
    DriveTable m_drives;
};
