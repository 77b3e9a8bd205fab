#include "fileops/log_paths.h"

#include "fileops/log_text.h"

void LogPaths::remember(const ListedFolderNode& folder) {
    if (&folder == m_folder)
        return;
    m_folder = &folder;
    m_folderPath = LogText::volumePath(folder, m_delimiter);
    if (m_folderPath.startsWith(QLatin1Char('"')))
        m_folderPath.clear();
    m_folderPathUtf8 = m_folderPath.toUtf8();
}

QByteArray LogPaths::volumePathUtf8(const ListedFolderNode& folder, const QByteArray& name) {
    remember(folder);
    if (m_folderPath.isEmpty() || !LogText::isPlainName(name, m_delimiterCodes) || name.contains(" TO "))
        return LogText::volumePath(folder, name, m_delimiter).toUtf8();
    QByteArray path;
    path.reserve(m_folderPathUtf8.size() + 1 + name.size());
    path.append(m_folderPathUtf8).append('\\').append(name);
    return path;
}

QString LogPaths::volumePath(const ListedFolderNode& folder, const QByteArray& name) {
    return QString::fromUtf8(volumePathUtf8(folder, name));
}
