#pragma once

#include <QByteArray>
#include <QString>

// A folder bind-mounted (with its own mounts below it) onto another existing
// folder for one test, unmounted when it goes, even if the test fails.
// Mounting needs root; mounted() says whether it worked, why() why not.
class ScopedBindMount {
public:
    ScopedBindMount(const QByteArray& source, const QByteArray& mountPoint);
    ~ScopedBindMount();
    ScopedBindMount(const ScopedBindMount&) = delete;
    ScopedBindMount& operator=(const ScopedBindMount&) = delete;

    bool mounted() const { return m_mounted; }
    const QString& why() const { return m_why; }

private:
    QByteArray m_mountPoint;
    bool m_mounted = false;
    QString m_why;
};
