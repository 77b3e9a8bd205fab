#include "fileops/log_paths.h"

#include "fileops/log_text.h"

QString LogPaths::volumePath(const ListedFolderNode& folder, const QByteArray& name) {
    if (&folder != m_folder) {
        m_folder = &folder;
        m_folderPath = LogText::volumePath(folder, m_delimiter);
        if (m_folderPath.startsWith(QLatin1Char('"')))
            m_folderPath.clear();
    }
    if (m_folderPath.isEmpty() || !LogText::isPlainName(name, m_delimiter))
        return LogText::volumePath(folder, name, m_delimiter);
    const QString path = m_folderPath + QLatin1Char('\\') + QString::fromUtf8(name);
    return path.contains(QLatin1String(" TO ")) ? LogText::volumePath(folder, name, m_delimiter) : path;
}
