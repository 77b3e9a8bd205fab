#include "netware/volume_choice.h"

#include "netware/directory_queries.h"

#include <algorithm>

namespace VolumeChoice {

namespace {

const QString kAllServers = QStringLiteral("[All Servers]");

QString volumePath(const QString& server, const QString& volume) {
    return QStringLiteral("\\\\") + server + QLatin1Char('\\') + volume;
}

void addOnce(QStringList& list, const QString& entry) {
    if (!list.contains(entry))
        list.append(entry);
}

} // namespace

void cmbServers_Click(const DirectoryEnv& env, const QString& server) {
    SearchSettings& s = env.search;
    env.host.setBusy(true);
    s.cmbServers.text = server;
    s.lstAvailableVolumes.clear();
    s.grdServerVolumeList.clear();
    if (server != kAllServers) {
        if (s.cmbServer.text != server)
            s.cmbServer.text = server;
        subListServerVolumes(env, server, QStringLiteral("frmMain"), 0);
    } else {
        for (const QString& each : s.cmbServers.entries) {
            if (each != kAllServers)
                subListServerVolumes(env, each, QStringLiteral("frmMain"), 0);
        }
    }
    env.host.setBusy(false);
}

void subAddVolumeToSelectedList(SearchSettings& s, const QStringList& chosenNames) {
    for (const QString& name : chosenNames) {
        if (s.cmbServers.text != kAllServers) {
            addOnce(s.lstSelectedVolumes, volumePath(s.cmbServers.text, name));
            continue;
        }
        for (const ServerVolume& pair : s.grdServerVolumeList) {
            if (pair.volume == name)
                addOnce(s.lstSelectedVolumes, volumePath(pair.server, pair.volume));
        }
    }
}

void removeSelected(SearchSettings& s, QList<int> indexes) {
    std::sort(indexes.begin(), indexes.end(), std::greater<>());
    for (const int index : indexes) {
        if (index >= 0 && index < s.lstSelectedVolumes.size())
            s.lstSelectedVolumes.removeAt(index);
    }
}

} // namespace VolumeChoice
