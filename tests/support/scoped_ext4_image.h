#pragma once

#include <QByteArray>
#include <QString>

// A small ext4 file system in an image file, loop-mounted on an existing
// directory for one test and unmounted when it goes. A share of its blocks
// is kept for root, as on most real disks, so free and available space
// differ. Needs root, mkfs.ext4 and a loop device; mounted() says whether it
// worked, why() why not.
class ScopedExt4Image {
public:
    ScopedExt4Image(const QString& image, const QByteArray& mountPoint, int reservedPercent);
    ~ScopedExt4Image();
    ScopedExt4Image(const ScopedExt4Image&) = delete;
    ScopedExt4Image& operator=(const ScopedExt4Image&) = delete;

    bool mounted() const { return m_mounted; }
    const QString& why() const { return m_why; }

private:
    bool run(const QString& program, const QStringList& arguments);

    QByteArray m_mountPoint;
    bool m_mounted = false;
    QString m_why;
};
