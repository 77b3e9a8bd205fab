#include "report_fixture.h"
#include "reports/cell_format.h"

#include "reports/report_run.h"

#include <QDir>
#include <QFile>

SiteBuilder::SiteBuilder() : m_dirPath(m_dir.path()) {}

SiteBuilder& SiteBuilder::server(const QString& name, const QStringList& volumes) {
    ServerConfig server{name.toUpper(), {}};
    for (const QString& volume : volumes) {
        const QString root = m_dirPath + QLatin1Char('/') + name.toLower() + QLatin1Char('_') + volume.toLower();
        QDir().mkpath(root);
        server.volumes.append({volume.toUpper(), QFile::encodeName(root)});
    }
    m_site.servers.append(server);
    return *this;
}

SiteBuilder& SiteBuilder::volumeAt(const QString& serverName, const QString& volume, const QByteArray& root) {
    for (ServerConfig& s : m_site.servers) {
        if (s.name == serverName.toUpper()) {
            s.volumes.append({volume.toUpper(), root});
            return *this;
        }
    }
    m_site.servers.append({serverName.toUpper(), {{volume.toUpper(), root}}});
    return *this;
}

SiteBuilder& SiteBuilder::tree(const QString& name, bool isDefault) {
    TreeConfig tree;
    tree.name = name.toUpper();
    tree.isDefault = isDefault;
    tree.connected = true;
    m_site.trees.append(tree);
    return *this;
}

QByteArray SiteBuilder::rootOf(const QString& serverName, const QString& volume) const {
    for (const ServerConfig& s : m_site.servers) {
        for (const VolumeConfig& v : s.volumes) {
            if (s.name == serverName.toUpper() && v.name == volume.toUpper())
                return v.root;
        }
    }
    return {};
}

ReportFixture::ReportFixture(Site site)
    : search(SearchSettings::withDefaults(CellFormat::shortDate(QDate::currentDate()))), client(std::move(site)) {
    client.NWCallsInit();
    run.cancel = false;
}

void ReportFixture::listFiles(const QString& directory) {
    search.tabSearch = ReportKind::File;
    search.cmbServer.showOrAdd(QStringLiteral("FS1"));
    search.cmbVolumeList.showOrAdd(QStringLiteral("VOL1"));
    search.lblDirectory = directory;
    btnShowUsage_Click(env);
}
