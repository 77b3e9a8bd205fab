#pragma once

#include "netware/client/volume_usage.h"

#include <QByteArray>

#include <cstdint>
#include <optional>

// Space in use per owner as the file system's user quotas account it: no
// walk at all where quotas are on.
class QuotaReader {
public:
    // Bytes and inodes in use per uid holding any, when root is the mount
    // point of a file system with user quotas on; nothing otherwise, or when
    // the quotas cannot be read in full (not root, an older kernel), so the
    // caller walks.
    static std::optional<VolumeUsage> usage(const QByteArray& root);

private:
    QuotaReader(int rootFd, QByteArray device) : m_rootFd(rootFd), m_device(std::move(device)) {}

    bool quotasOn();
    std::optional<VolumeUsage> readAll() const;
    int call(int command, std::uint32_t id, void* data) const;
    int callByFd(int command, std::uint32_t id, void* data) const;
    int callByDevice(int command, std::uint32_t id, void* data) const;

    int m_rootFd;
    QByteArray m_device; // the block device the mount table names
    bool m_byFd = true;
};
