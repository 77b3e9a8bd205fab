#include "scoped_ext4_image.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>

#include <sys/mount.h>
#include <unistd.h>

namespace {

constexpr qint64 kImageBytes = 128 * 1024 * 1024; // sparse: only what mkfs writes takes room

} // namespace

ScopedExt4Image::ScopedExt4Image(const QString& image, const QByteArray& mountPoint, int reservedPercent)
    : m_mountPoint(mountPoint) {
    if (::geteuid() != 0) {
        m_why = QStringLiteral("loop-mounting a file system needs root");
        return;
    }
    const QString mkfs = QStandardPaths::findExecutable(QStringLiteral("mkfs.ext4"), {"/usr/sbin", "/sbin"});
    if (mkfs.isEmpty()) {
        m_why = QStringLiteral("mkfs.ext4 is not installed (Debian package e2fsprogs)");
        return;
    }
    QFile file(image);
    if (!file.open(QIODevice::WriteOnly) || !file.resize(kImageBytes)) {
        m_why = QStringLiteral("cannot make the image file %1: %2").arg(image, file.errorString());
        return;
    }
    file.close();
    // No journal: it would only cost disk writes here.
    m_mounted = run(mkfs, {"-q", "-F", "-O", "^has_journal", "-m",
                                                  QString::number(reservedPercent), image}) &&
                run(QStringLiteral("mount"), {"-o", "loop", image, QFile::decodeName(mountPoint)});
}

ScopedExt4Image::~ScopedExt4Image() {
    // Lazily, so a file a failed test left open cannot keep it mounted; the
    // loop device goes with the last use.
    if (m_mounted)
        ::umount2(m_mountPoint.constData(), MNT_DETACH);
}

bool ScopedExt4Image::run(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    if (process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0)
        return true;
    const QString output = QString::fromLocal8Bit(process.readAll()).trimmed();
    m_why = QStringLiteral("%1 %2 failed: %3")
                .arg(program, arguments.join(QLatin1Char(' ')), output.isEmpty() ? process.errorString() : output);
    return false;
}
