#pragma once

#include "netware/directory_env.h"

#include <QList>
#include <QStringList>

// The Volume tab's choice of volumes, possibly on several servers: the
// server filter, the available volumes and the chosen volume paths.
namespace VolumeChoice {

// Choosing in cmbServers: the volumes of that server, or under
// "[All Servers]" the volumes of every listed server, each name once, with
// every server and volume pair kept to expand a name again.
void cmbServers_Click(const DirectoryEnv& env, const QString& server);

// Adds the chosen available volumes as volume paths (\\SERVER\VOLUME), once
// each, in the order chosen: under "[All Servers]" one for every server that
// mounts a volume of that name.
void subAddVolumeToSelectedList(SearchSettings& s, const QStringList& chosenNames);

// Removes the chosen volume paths (indexes into lstSelectedVolumes).
void removeSelected(SearchSettings& s, QList<int> indexes);

} // namespace VolumeChoice
