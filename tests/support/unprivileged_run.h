#pragma once

#include <QByteArray>
#include <QString>

#include <functional>
#include <optional>

struct UnprivilegedResult {
    std::optional<QByteArray> output; // what work returned; nothing when it could not run
    QString why;                      // why not
};

// Runs work where permission bits hold. As root (as in CI, where they do not)
// work runs in a child process that has dropped to uid and gid 65534 and its
// result comes back through a pipe; otherwise work runs right here. work must
// not use test assertions: the child leaves with _exit.
UnprivilegedResult runUnprivileged(const std::function<QByteArray()>& work);
