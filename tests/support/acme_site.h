#pragma once

#include "netware/client/site.h"

#include <QTemporaryDir>

// An inline tree ACME_TREE: ACME with SALES below it, users JSMITH (1001),
// BJONES (1002) in SALES and ADMIN (1003) in ACME, groups STAFF (JSMITH,
// BJONES) and EMPTY in SALES, server FS1 with volumes SYS and VOL1 made in
// a temporary folder; the host's own tree beside it.
class AcmeSite {
public:
    AcmeSite();
    Site site() const { return m_site; }
    QByteArray root(const QString& volume) const; // "SYS" or "VOL1"
    const QString& dir() const { return m_path; }

    static DirectoryObject object(const QString& name, const QString& className,
                                  std::optional<std::uint32_t> uid = std::nullopt);

private:
    QTemporaryDir m_dir;
    QString m_path;
    Site m_site;
};
