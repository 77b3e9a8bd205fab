#pragma once

#include <QByteArray>
#include <QString>

// A small tmpfs mounted on an existing directory for one test, unmounted when
// it goes. Mounting needs root; mounted() says whether it worked, why() why not.
class ScopedTmpfs {
public:
    explicit ScopedTmpfs(const QByteArray& mountPoint, const QByteArray& size = "4m");
    ~ScopedTmpfs();
    ScopedTmpfs(const ScopedTmpfs&) = delete;
    ScopedTmpfs& operator=(const ScopedTmpfs&) = delete;

    bool mounted() const { return m_mounted; }
    const QString& why() const { return m_why; }

private:
    QByteArray m_mountPoint;
    bool m_mounted = false;
    QString m_why;
};
