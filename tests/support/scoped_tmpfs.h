#pragma once

#include "scoped_mount.h"

// A small tmpfs mounted on an existing directory for one test.
class ScopedTmpfs : public ScopedMount {
public:
    explicit ScopedTmpfs(const QByteArray& mountPoint, const QByteArray& size = "4m")
        : ScopedMount("tmpfs", mountPoint, "tmpfs", 0, "size=" + size, QStringLiteral("a tmpfs")) {}
};
