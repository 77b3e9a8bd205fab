#pragma once

#include "netware/client/netware_client.h"
#include "settings/host.h"

#include <QString>

#include <functional>
#include <optional>

// The containers of a tree as the context browsers show them: one node per
// container, keyed by its dotted name from the root followed by the tree's
// name, listed a level at a time as the user opens it. A container not yet
// listed holds one placeholder node ("_dummy"), so it can be opened.
namespace ContainerTree {

// Pictures of the nodes.
enum Icon { kTreeIcon = 1, kOrganizationIcon = 2, kUnitIcon = 3, kCountryIcon = 4, kDomainIcon = 5 };

struct Node {
    QString parentKey;
    QString key;
    QString text;
    int icon = 0;
};

// A container node and the placeholder below it.
struct Nodes {
    Node container;
    Node placeholder;
};

QString rootKey();        // "[Root]"
QString placeholderText(); // "_dummy"

// The nodes of a container the directory listed below listed (a dotted name
// without the leading "." or "[Root]"), to go under the node nodeKey; none
// for classes the browsers do not show.
std::optional<Nodes> nodesOf(const ContainerEntry& entry, const QString& listed, const QString& nodeKey,
                             const QString& tree);

// The container's own name: the directory may give the whole dotted name.
QString childName(const QString& name, const QString& listed);

// From a node's key, the container to list and the name context to list it
// under: .SALES.ACME.MYTREE gives SALES.ACME and ACME; .ACME.MYTREE gives ACME and ACME.
QString fcnNewContext(const QString& key, const QString& tree);
QString fcnStartContext(const QString& newContext);

// A node's path as a container: the root node's path (the tree name) stands
// for the tree's root, tree\[Root].
QString fcnSelectedPath(const QString& nodePath, const QString& tree);

// MYTREE\ACME\SALES -> .SALES.ACME; MYTREE\[Root] -> .[Root]. The first part
// is left out when it is the tree's name.
QString fcnFlipToDots(const QString& path, const QString& tree);

// Lists the containers directly below newContext in the tree and hands each
// node to add, parents first. A listing that fails is reported through host.
void subIterateContexts(NetWareClient& client, Host& host, const QString& tree, const QString& newContext,
                        const QString& startContext, const QString& nodeKey,
                        const std::function<void(const Node&)>& add);

} // namespace ContainerTree
