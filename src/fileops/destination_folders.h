#pragma once

#include "fileops/folder_chain.h"
#include "reports/row_record.h"

#include <QString>

// The folders a move puts files in, beneath a descriptor of the chosen
// destination: with the directory structure preserved, each listed folder's
// raw names below its volume root are made again there with mkdirat, one at
// a time, never through a link; so no name, whatever it holds, makes a
// folder outside the destination.
class DestinationFolders {
public:
    DestinationFolders(const QString& destination, bool preserve);

    struct Folder {
        int fd = -1;
        int error = 0;     // errno when fd < 0
        QString display;   // the folder as the status and messages name it
        QList<QByteArray> components; // its raw names below the destination
    };
    const QString& base() const { return m_base; }
    // The folder for a file listed in listed, made when missing.
    Folder folderFor(const ListedFolderNode& listed);

private:
    bool openDestination();

    QString m_base;
    bool m_preserve;
    UniqueFd m_destination;
    int m_destinationError = 0;
    FolderChain m_chain;
};
