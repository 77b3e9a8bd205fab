#pragma once

#include "scoped_mount.h"

#include <sys/mount.h>

// A folder bind-mounted (with its own mounts below it) onto another existing
// folder for one test.
class ScopedBindMount : public ScopedMount {
public:
    ScopedBindMount(const QByteArray& source, const QByteArray& mountPoint)
        : ScopedMount(source, mountPoint, nullptr, MS_BIND | MS_REC, {}, QStringLiteral("a bind mount")) {}
};
