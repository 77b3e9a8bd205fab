#pragma once

#include <QIcon>

// The pictures of the tree windows: 1 tree, 2 organization, 3 organizational
// unit, 4 country, 5 domain (ContainerTree::Icon).
class TreeIcons {
public:
    static QIcon of(int icon);
};
