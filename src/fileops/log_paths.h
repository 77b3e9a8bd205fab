#pragma once

#include "reports/row_record.h"

#include <QList>
#include <QString>

// The log's volume paths of one operation's files (LogText::volumePath),
// the text of the folder kept from one file to the next: the files of a
// folder follow each other, and most paths are plain.
class LogPaths {
public:
    explicit LogPaths(QString delimiter) : m_delimiter(std::move(delimiter)), m_delimiterCodes(m_delimiter.toUcs4()) {}

    QString volumePath(const ListedFolderNode& folder, const QByteArray& name);
    // The same in UTF-8, without a round trip through UTF-16 when plain.
    QByteArray volumePathUtf8(const ListedFolderNode& folder, const QByteArray& name);

private:
    QString m_delimiter;
    QList<uint> m_delimiterCodes;
    const ListedFolderNode* m_folder = nullptr;
    QString m_folderPath; // plain; empty when the folder's path is quoted
    QByteArray m_folderPathUtf8;
    void remember(const ListedFolderNode& folder);
};
