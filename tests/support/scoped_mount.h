#pragma once

#include <QByteArray>
#include <QString>

// Something mounted on an existing folder for one test, unmounted (lazily,
// with whatever was mounted below it since) when it goes, even if the test
// fails, so nothing a failed test left open keeps it there. Mounting needs
// root; mounted() says whether it worked, why() why not.
class ScopedMount {
public:
    ~ScopedMount();
    ScopedMount(const ScopedMount&) = delete;
    ScopedMount& operator=(const ScopedMount&) = delete;

    bool mounted() const { return m_mounted; }
    const QString& why() const { return m_why; }

protected:
    // what names it in a refusal: "a tmpfs", "a bind mount".
    ScopedMount(const QByteArray& source, const QByteArray& mountPoint, const char* type, unsigned long flags,
                const QByteArray& data, const QString& what);

private:
    QByteArray m_mountPoint;
    bool m_mounted = false;
    QString m_why;
};
