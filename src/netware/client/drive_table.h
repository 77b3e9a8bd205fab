#pragma once

#include "netware/client/nw_types.h"

#include <QString>

#include <array>

// The client's 26 drive letters; a drive is free until a drive base maps it.
class DriveTable {
public:
    struct Mapping {
        bool mapped = false;
        NWCONN_HANDLE connection = 0;
        QString path; // "VOL:\DIR" on the connection's server
    };

    static bool valid(int drive) { return drive >= 1 && drive <= nw::kDriveCount; }
    const Mapping& at(int drive) const { return m_drives[drive - 1]; }
    void map(int drive, NWCONN_HANDLE connection, const QString& path);
    void unmap(int drive);

private:
    std::array<Mapping, nw::kDriveCount> m_drives;
};
