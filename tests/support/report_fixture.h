#pragma once

#include "recording_host.h"

#include "reports/report_env.h"

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

// A site with real volume folders in a temporary directory, and everything a
// report run needs around it.
class SiteBuilder {
public:
    SiteBuilder();
    // Adds a server with volumes whose roots are new folders under the temporary directory.
    SiteBuilder& server(const QString& name, const QStringList& volumes);
    // Adds a volume whose root is the given path (which may not exist).
    SiteBuilder& volumeAt(const QString& server, const QString& volume, const QByteArray& root);
    SiteBuilder& tree(const QString& name, bool isDefault = true);
    QByteArray rootOf(const QString& server, const QString& volume) const;
    const QString& dir() const { return m_dirPath; }
    Site site() const { return m_site; }

private:
    QTemporaryDir m_dir;
    QString m_dirPath;
    Site m_site;
};

struct ReportFixture {
    explicit ReportFixture(Site site);

    AppState app;
    SearchSettings search;
    RunState run;
    ResultGrid grid;
    ResultsView view;
    RecordingHost host;
    NetWareClient client;
    VolumeView volumes{client};
    ReportEnv env{app, search, run, grid, view, host, client, volumes};

    // Runs the File report (every file) from a directory of \\FS1\VOL1.
    void listFiles(const QString& directory);
};
