#pragma once

#include "netware/directory_env.h"
#include "settings/settings_store.h"

#include <QString>

#include <optional>

// Where the server list starts: the tree's root, the logged-in user's own
// container or a container the user browsed to, shown as tree paths, stored
// in the settings and searched below for the servers.
namespace ServerStartingContainer {

enum class Option { optRoot, optCurrentContext, optCustom };

struct Labels {
    QString lblTreeRoot;       // TREE\[Root]
    QString lblCurrentContext; // the user's container: TREE\ACME\ (paths of containers end in "\")
    Option option = Option::optRoot;
    std::optional<QString> lblCustomContext; // set only with optCustom
};

// The server search container as a label shows it; empty when there is none.
QString fcnSavedStartContainer(const AppState& app);

// The labels of the current tree and the option that shows the stored
// container: the root when none is stored or the tree changed since oldTree.
// savedStartContainer is refreshed from the server search container.
Labels subListTreeContainers(const DirectoryEnv& env, const QString& oldTree, QString& savedStartContainer);

struct Choice {
    Option option = Option::optRoot;
    QString caption; // of the chosen option's label
    bool searchSubContainers = true;
};

enum class Outcome { NoContainer, NoServers, Done };

// Stores the choice, rebuilds the server lists and says why it cannot stay:
// no container specified (nothing written) or no servers found (the
// previous starting container, savedStartContainer, is stored again). A tree
// changed since oldTree resets the Owner tab's starting container to its root.
Outcome subSelect(const DirectoryEnv& env, SettingsStore& settings, const Choice& choice, const QString& oldTree,
                  const QString& savedStartContainer);

} // namespace ServerStartingContainer
