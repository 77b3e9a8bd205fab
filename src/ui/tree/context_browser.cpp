#include "ui/tree/context_browser.h"

#include "ui/tree/browse_targets.h"
#include "ui/tree/tree_icons.h"
#include "ui_frmContextBrowser.h"

#include <QHeaderView>
#include <QTreeWidgetItem>

using namespace ContainerTree;

ContextBrowser::Use ContextBrowser::forLogin(const QString& tree, const QString& server,
                                             std::function<void(const QString&)> setContext) {
    return {QStringLiteral("frmLoginContext"), QStringLiteral("Context"), tree, server, false,
            [tree, setContext = std::move(setContext)](const QString& path) { setContext(fcnFlipToDots(path, tree)); }};
}

ContextBrowser::Use ContextBrowser::forContainer(const AppState& app, const BrowseTargets& targets) {
    return {QStringLiteral("frmLstConn"), QStringLiteral("Container"), app.treeName, {}, true,
            [&app, &targets](const QString& path) { targets.subSelectContext(app.strBrowseCaller, path); }};
}

ContextBrowser::ContextBrowser(NetWareClient& client, Host& host, Use use, QWidget* parent)
    : QDialog(parent), m_client(client), m_host(host), m_use(std::move(use)),
      m_ui(std::make_unique<Ui::frmContextBrowser>()) {
    m_ui->setupUi(this);
    setObjectName(m_use.windowName);
    setWindowTitle(m_use.caption);
    if (parent)
        setWindowIcon(parent->windowIcon());
    QTreeWidget* tree = m_ui->treeviewContext;
    tree->sortByColumn(0, Qt::AscendingOrder);
    // Long names scroll rather than being cut short.
    tree->header()->setStretchLastSection(false);
    tree->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    connect(tree, &QTreeWidget::itemExpanded, this, &ContextBrowser::treeviewContext_Expand);
    if (m_use.doubleClickSelects) {
        tree->setExpandsOnDoubleClick(false);
        connect(tree, &QTreeWidget::itemDoubleClicked, this, &ContextBrowser::btnSelect_Click);
    }
    connect(m_ui->btnSelect, &QPushButton::clicked, this, &ContextBrowser::btnSelect_Click);
    connect(m_ui->btnClose, &QPushButton::clicked, this, &QDialog::reject);
    m_host.setBusy(true);
    attachAndSetTree();
    subSetTreeRoot();
    // The tree's own name as the parent key stands for the root node.
    subIterateContexts(rootKey(), rootKey(), m_use.tree);
    tree->topLevelItem(0)->setExpanded(true);
    tree->setCurrentItem(tree->topLevelItem(0)); // Enter chooses what is highlighted
    tree->viewport()->update();
    m_host.setBusy(false);
}

ContextBrowser::~ContextBrowser() = default;

// As the listings do: the tree, reached through the server when one is named.
void ContextBrowser::attachAndSetTree() {
    NWDSContextHandle context = 0;
    m_client.NWDSCreateContextHandle(context);
    if (!m_use.server.isEmpty()) {
        NWCONN_HANDLE connection = 0;
        m_client.NWAttachToFileServer(m_use.server, 0, connection);
    }
    m_client.NWDSSetContext(context, nw::DCK_TREE_NAME, m_use.tree);
    m_client.NWDSFreeContext(context);
}

void ContextBrowser::subSetTreeRoot() {
    m_ui->treeviewContext->clear();
    m_nodes.clear();
    auto* root = new QTreeWidgetItem(m_ui->treeviewContext, {m_use.tree});
    root->setIcon(0, TreeIcons::of(kTreeIcon));
    root->setData(0, Qt::UserRole, rootKey());
    m_nodes.insert(rootKey(), root);
}

void ContextBrowser::subIterateContexts(const QString& newContext, const QString& startContext,
                                        const QString& nodeKey) {
    ContainerTree::subIterateContexts(m_client, m_host, m_use.tree, newContext, startContext, nodeKey,
                                      [this](const Node& node) { addNode(node); });
    m_ui->treeviewContext->sortItems(0, Qt::AscendingOrder);
}

// A node whose parent is not there, or whose key is, is left out.
void ContextBrowser::addNode(const Node& node) {
    QTreeWidgetItem* parent = m_nodes.value(node.parentKey);
    if (!parent || m_nodes.contains(node.key))
        return;
    auto* item = new QTreeWidgetItem(parent, {node.text});
    item->setIcon(0, TreeIcons::of(node.icon));
    item->setData(0, Qt::UserRole, node.key);
    m_nodes.insert(node.key, item);
}

void ContextBrowser::removeNode(QTreeWidgetItem* node) {
    m_nodes.remove(node->data(0, Qt::UserRole).toString());
    delete node;
}

// A container is listed the first time it is opened, in place of its placeholder.
void ContextBrowser::treeviewContext_Expand(QTreeWidgetItem* node) {
    if (node->childCount() == 0 || node->child(0)->text(0) != placeholderText())
        return;
    m_host.setBusy(true);
    node->setExpanded(false);
    removeNode(node->child(0));
    const QString key = node->data(0, Qt::UserRole).toString();
    const QString newContext = fcnNewContext(key, m_use.tree);
    subIterateContexts(newContext, fcnStartContext(newContext), key);
    node->setExpanded(true);
    m_host.setBusy(false);
}

QString ContextBrowser::pathOf(const QTreeWidgetItem* node) const {
    QStringList parts;
    for (; node; node = node->parent())
        parts.prepend(node->text(0));
    return parts.join(QLatin1Char('\\'));
}

void ContextBrowser::btnSelect_Click() {
    const QList<QTreeWidgetItem*> chosen = m_ui->treeviewContext->selectedItems();
    if (chosen.isEmpty())
        return;
    m_use.select(fcnSelectedPath(pathOf(chosen.first()), m_use.tree));
    accept();
}
