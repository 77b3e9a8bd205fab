#pragma once

#include <QByteArray>
#include <QList>
#include <QStringList>

#include <functional>

#include <set>
#include <utility>

// What operations that were killed left in a folder, looked for once per
// folder an operation works in. A file held under a private name
// (HeldFile) whose process is gone gets its name back, or a visible name
// beside it when that name is taken; a copy that was never put in place
// is reported and left alone: nothing here removes a file.
class FolderRecovery {
public:
    struct Found {
        enum class Kind { Restored, Left, NotRestored } kind = Kind::Left;
        QByteArray entry; // the name it was found under
        QByteArray name;  // Restored: the name it has now
        int error = 0;    // NotRestored: why
    };
    // Nothing for a folder (O_PATH will do) already looked at by this
    // object. listed: what stands for the folder in the caller's eyes (its
    // listing's node, its destination's name); the same one as last time is
    // not even looked at.
    QList<Found> sweep(int folder, const void* listed = nullptr);
    // The log's lines for what sweep() found; pathOf gives a name's path in
    // the folder as the log writes it.
    static QStringList logLines(const QList<Found>& found, const std::function<QString(const QByteArray&)>& pathOf);

private:
    std::set<std::pair<unsigned long long, unsigned long long>> m_swept;
    std::set<const void*> m_sweptListed;
    const void* m_lastListed = nullptr;
};
