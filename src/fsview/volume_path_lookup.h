#pragma once

#include "fsview/unique_fd.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <sys/types.h>

// Goes down a volume path one component at a time from the volume root's
// descriptor, never through a symbolic link or onto another file system.
class VolumePathLookup {
public:
    // display: "\\SERVER\VOLUME"; what the path is called in messages: typed.
    VolumePathLookup(const QByteArray& root, const QString& display, const QString& typed);

    // Goes down through dirs; the last may be something else than a
    // directory when lastMayBeFile. False with error() set when it cannot.
    bool descend(const QStringList& dirs, bool lastMayBeFile);
    // The directory reached, open for reading.
    UniqueFd openForReading();

    const QByteArray& localPath() const { return m_local; }
    // The raw name of each component passed below the volume root.
    const QList<QByteArray>& names() const { return m_names; }
    // \\SERVER\VOLUME\ and each name as stored, no backslash at the end below the root.
    QString display() const;
    const QString& error() const { return m_error; }
    bool transient() const { return m_transient; }

private:
    bool step(const QString& component, bool last, bool lastMayBeFile);
    bool find(const QString& component, QByteArray& name);
    QList<QByteArray> caselessMatches(const QString& component) const;
    bool fail(const QString& why, bool transient = false);
    bool linkLeadsOut(const QByteArray& name) const;

    QString m_typed;
    QByteArray m_root;
    QByteArray m_local;
    QList<QByteArray> m_names;
    QString m_display;
    bool m_atRoot = true;
    UniqueFd m_dir;         // the directory reached so far (O_PATH)
    QByteArray m_leaf;      // set when the last component is not a directory
    dev_t m_device = 0;
    QString m_error;
    bool m_transient = false;
};
