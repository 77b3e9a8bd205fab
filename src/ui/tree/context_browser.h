#pragma once

#include "netware/client/netware_client.h"
#include "netware/container_tree.h"
#include "settings/host.h"
#include "settings/app_state.h"

#include <QDialog>
#include <QHash>

#include <functional>
#include <memory>

namespace Ui {
class frmContextBrowser;
}
class BrowseTargets;
class QTreeWidgetItem;

// The containers of a tree, listed a level at a time as the user opens
// them; Select hands the chosen one back. Two uses: frmLoginContext, for the
// login window's context, and frmLstConn, for the window that asked
// (strBrowseCaller).
class ContextBrowser : public QDialog {
    Q_OBJECT
public:
    struct Use {
        QString windowName;
        QString caption;
        QString tree;   // browsed
        QString server; // attached to first when not empty
        bool doubleClickSelects = false;
        std::function<void(const QString& treePath)> select; // TREE\ACME\SALES, TREE\[Root]
    };
    // The login window's tree; the choice as a dotted name from the root.
    static Use forLogin(const QString& tree, const QString& server, std::function<void(const QString&)> setContext);
    // The current tree; the choice to the window named in strBrowseCaller.
    static Use forContainer(const AppState& app, const BrowseTargets& targets);

    ContextBrowser(NetWareClient& client, Host& host, Use use, QWidget* parent = nullptr);
    ~ContextBrowser() override;

public Q_SLOTS:
    void treeviewContext_Expand(QTreeWidgetItem* node);
    void btnSelect_Click();

private:
    void attachAndSetTree();
    void subSetTreeRoot();
    void subIterateContexts(const QString& newContext, const QString& startContext, const QString& nodeKey);
    void addNode(const ContainerTree::Node& node);
    void removeNode(QTreeWidgetItem* node);
    QString pathOf(const QTreeWidgetItem* node) const;

    NetWareClient& m_client;
    Host& m_host;
    Use m_use;
    std::unique_ptr<Ui::frmContextBrowser> m_ui;
    QHash<QString, QTreeWidgetItem*> m_nodes; // by key
};
