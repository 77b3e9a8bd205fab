#include "fileops/destination_folders.h"

#include "fsview/local_path.h"
#include "fsview/name_bytes.h"

#include <QDir>
#include <QFile>

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>

DestinationFolders::DestinationFolders(const QString& destination, bool preserve)
    : m_base(destination), m_preserve(preserve) {
    if (m_base.size() > 1 && m_base.endsWith(QLatin1Char('/')))
        m_base.chop(1);
}

// The destination itself is the user's choice, links and all; made, when
// missing, once a file is known to go there.
bool DestinationFolders::openDestination() {
    if (m_destination.valid() || m_destinationError != 0)
        return m_destination.valid();
    QDir().mkpath(m_base);
    m_destination.reset(::open(QFile::encodeName(m_base).constData(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    m_destinationError = m_destination.valid() ? 0 : errno;
    return m_destination.valid();
}

DestinationFolders::Folder DestinationFolders::folderFor(const ListedFolderNode& listed) {
    QList<QByteArray> names; // below the volume root, top down
    if (m_preserve) {
        for (const ListedFolderNode* node = &listed; node->parent; node = node->parent.get())
            names.prepend(node->name);
    }
    QString display = m_base;
    for (const QByteArray& name : names)
        display = LocalPath::join(display, NameBytes::decode(name));
    if (!openDestination())
        return {-1, m_destinationError, display, names};
    const auto step = [](int parent, const QByteArray& name, std::size_t) {
        // One that is there already is used, if it is a folder and no link.
        if (::mkdirat(parent, name.constData(), 0777) != 0 && errno != EEXIST)
            return UniqueFd();
        return FolderChain::openComponent(parent, name, O_PATH | O_DIRECTORY);
    };
    const int fd = m_chain.open(m_destination.get(), names, step);
    return {fd, fd < 0 ? errno : 0, display, names};
}
