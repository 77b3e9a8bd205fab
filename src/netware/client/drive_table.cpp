#include "netware/client/drive_table.h"

void DriveTable::map(int drive, NWCONN_HANDLE connection, const QString& path) {
    m_drives[drive - 1] = Mapping{true, connection, path};
}

void DriveTable::unmap(int drive) {
    m_drives[drive - 1] = Mapping{};
}
