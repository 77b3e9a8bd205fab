#include "ui/sizetree/size_tree_window.h"

#include "reports/cell_format.h"
#include "reports/json_cursor.h"
#include "reports/scan_size_tree.h"
#include "sizetree/file_types.h"
#include "ui/main/share_bar_delegate.h"
#include "ui/sizetree/breakdown_window.h"
#include "ui/sizetree/size_tree_model.h"
#include "ui_frmSizeTree.h"

#include "fsview/name_bytes.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>
#include <QPointer>
#include <QThreadPool>

#include <algorithm>
#include <QHeaderView>
#include <QShortcut>

SizeTreeWindow::SizeTreeWindow(QWidget* parent)
    : QWidget(parent, Qt::Window), m_ui(std::make_unique<Ui::frmSizeTree>()), m_model(new SizeTreeModel(this)) {
    m_ui->setupUi(this);
    m_ui->trvSizeTree->setModel(m_model);
    m_ui->trvSizeTree->setItemDelegate(new ShareBarDelegate(m_ui->trvSizeTree));
    m_ui->trvSizeTree->header()->setStretchLastSection(false);
    m_ui->trvSizeTree->header()->resizeSection(SizeTreeModel::Name, 280);
    m_ui->splTreeMap->setStretchFactor(0, 1);
    m_ui->splTreeMap->setStretchFactor(1, 1);
    connect(m_ui->cmdUp, &QPushButton::clicked, this, &SizeTreeWindow::cmdUp_Click);
    connect(m_ui->cmdBack, &QPushButton::clicked, this, &SizeTreeWindow::cmdBack_Click);
    connect(m_ui->cmdForward, &QPushButton::clicked, this, &SizeTreeWindow::cmdForward_Click);
    connect(m_ui->chkAllocated, &QCheckBox::toggled, this, &SizeTreeWindow::chkAllocated_Click);
    connect(m_ui->cmdBreakdown, &QPushButton::clicked, this, &SizeTreeWindow::cmdBreakdown_Click);
    connect(m_ui->cmdOpenScan, &QPushButton::clicked, this, &SizeTreeWindow::cmdOpenScan_Click);
    m_chooseScan = [](QWidget* parent) {
        return QFileDialog::getOpenFileName(parent, QStringLiteral("Open Scan"), QString(),
                                            QStringLiteral("Scans (*.json);;All files (*)"));
    };
    connect(m_ui->trvSizeTree, &QTreeView::doubleClicked, this, &SizeTreeWindow::trvSizeTree_DblClick);
    connect(m_ui->trvSizeTree->selectionModel(), &QItemSelectionModel::currentChanged, this,
            &SizeTreeWindow::treeSelectionChanged);
    connect(m_ui->wdgTreemap, &TreemapView::entryClicked, this, &SizeTreeWindow::wdgTreemap_Click);
    m_ui->trvSizeTree->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_ui->trvSizeTree, &QWidget::customContextMenuRequested, this, &SizeTreeWindow::trvSizeTree_Popup);
    // A double-click in the map zooms into the folder of the tile.
    connect(m_ui->wdgTreemap, &TreemapView::entryDoubleClicked, this, [this](SizeTree::Index entry) {
        goTo(m_tree->isFolder(entry) ? entry : m_tree->parent(entry), true);
    });
    connectKeys();
    showLegend();
    showRoot(SizeTree::kNone);
}

// What the treemap's colours stand for.
void SizeTreeWindow::showLegend() {
    QString legend;
    for (const FileCategory category : {FileCategory::Documents, FileCategory::Images, FileCategory::AudioVideo,
                                        FileCategory::Archives, FileCategory::Code, FileCategory::Executables,
                                        FileCategory::Other}) {
        legend += QStringLiteral("<span style=\"color:#%1\">&#9632;</span>&nbsp;%2&nbsp;&nbsp; ")
                      .arg(FileTypes::colourOf(category), 6, 16, QLatin1Char('0'))
                      .arg(FileTypes::nameOf(category).toHtmlEscaped());
    }
    m_ui->lblLegend->setText(legend);
}

SizeTreeWindow::~SizeTreeWindow() = default;

void SizeTreeWindow::connectKeys() {
    const auto key = [this](QKeySequence sequence, void (SizeTreeWindow::*slot)()) {
        connect(new QShortcut(sequence, this), &QShortcut::activated, this, slot);
    };
    key(QKeySequence(Qt::Key_Backspace), &SizeTreeWindow::cmdUp_Click);
    key(QKeySequence(Qt::ALT | Qt::Key_Up), &SizeTreeWindow::cmdUp_Click);
    key(QKeySequence(Qt::ALT | Qt::Key_Left), &SizeTreeWindow::cmdBack_Click);
    key(QKeySequence(Qt::ALT | Qt::Key_Right), &SizeTreeWindow::cmdForward_Click);
}

void SizeTreeWindow::showTree(std::shared_ptr<const SizeTree> tree) {
    ++m_shownTrees;
    m_source.clear();
    setWindowTitle(QStringLiteral("Size Tree"));
    m_tree = tree && tree->size() > 0 ? std::move(tree) : nullptr;
    m_back.clear();
    m_forward.clear();
    showRoot(m_tree ? 0 : SizeTree::kNone);
    m_ui->lblStatus->setText(m_tree ? QString() : QStringLiteral("Run a report By Directory to see its tree here."));
}

void SizeTreeWindow::showGrowing(std::shared_ptr<SizeTree> partial) {
    if (!partial || !isVisible())
        return;
    // A small part is summed at once; a large one would hold the window up.
    constexpr std::size_t kSummedAtOnce = 20000;
    if (partial->size() <= kSummedAtOnce) {
        partial->finish();
        showPart(partial);
        return;
    }
    QPointer<SizeTreeWindow> self(this);
    QThreadPool::globalInstance()->start([self, partial, shown = m_shownTrees] {
        partial->finish();
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [self, partial, shown] {
                if (self && self->m_shownTrees == shown)
                    self->showPart(partial);
            },
            Qt::QueuedConnection);
    });
}

void SizeTreeWindow::showPart(std::shared_ptr<const SizeTree> partial) {
    showTree(partial);
    m_ui->lblStatus->setText(QStringLiteral("Walking: %L1 folders and files so far").arg(qulonglong(partial->size())));
    Q_EMIT growingShown(partial->size());
}

// A scan ncdu, gdu or /EXPORT= wrote, read off the window's thread: a
// server where only ncdu runs browsed as a run's walk is.
void SizeTreeWindow::cmdOpenScan_Click() {
    const QString file = m_chooseScan(this);
    if (file.isEmpty())
        return;
    m_ui->cmdOpenScan->setEnabled(false);
    m_ui->lblStatus->setText(QStringLiteral("Reading %1 ...").arg(QDir::toNativeSeparators(file)));
    QPointer<SizeTreeWindow> self(this);
    QThreadPool::globalInstance()->start([self, file] {
        std::shared_ptr<const SizeTree> tree;
        QString error;
        try {
            tree = ScanSizeTree::of(NcduScan::read(file));
        } catch (const JsonCursor::Error& failure) {
            error = failure.text();
        } catch (const std::bad_alloc&) {
            error = QStringLiteral("there is not memory enough to hold it");
        } catch (...) {
            error = QStringLiteral("it could not be read");
        }
        QMetaObject::invokeMethod(
            QCoreApplication::instance(), [self, file, tree, error] { if (self) self->showScan(file, tree, error); }, Qt::QueuedConnection);
    });
}

// A scan read, or why not; what was shown stays when it could not be read.
void SizeTreeWindow::showScan(const QString& file, std::shared_ptr<const SizeTree> tree, const QString& error) {
    m_ui->cmdOpenScan->setEnabled(true);
    if (!error.isEmpty() || !tree || tree->size() == 0) {
        m_ui->lblStatus->setText(QStringLiteral("Cannot read the scan %1: %2")
                                     .arg(file, error.isEmpty() ? QStringLiteral("it holds no entries") : error));
        return;
    }
    showKept(std::move(tree), file, QFileInfo(file).fileName(), QStringLiteral("Scan %1").arg(file));
}

void SizeTreeWindow::showKept(std::shared_ptr<const SizeTree> tree, const QString& source, const QString& title,
                              const QString& status) {
    showTree(std::move(tree));
    m_source = source;
    setWindowTitle(QStringLiteral("Size Tree - %1").arg(title));
    m_ui->lblStatus->setText(status);
}

void SizeTreeWindow::updateTree(std::shared_ptr<const SizeTree> tree) {
    if (!m_source.isEmpty())
        return; // a scan or kept run is shown now, not the walk files went from
    if (!m_tree || !tree || tree->size() != m_tree->size()) {
        showTree(std::move(tree));
        return;
    }
    m_tree = std::move(tree);
    m_model->replace(m_tree.get());
    m_ui->wdgTreemap->show(m_tree, m_model->top(), m_model->allocated());
    treeSelectionChanged();
}

void SizeTreeWindow::showRoot(SizeTree::Index root) {
    m_model->show(m_tree.get(), root);
    m_ui->wdgTreemap->show(m_tree, root, m_model->allocated());
    m_ui->trvSizeTree->expand(m_model->index(0, 0));
    m_ui->trvSizeTree->setCurrentIndex(m_model->index(0, 0));
    m_ui->lblRoot->setText(root == SizeTree::kNone ? QString() : QFile::decodeName(m_tree->path(root, '\\')));
    m_ui->cmdUp->setEnabled(root != SizeTree::kNone && m_tree->parent(root) != SizeTree::kNone);
    m_ui->cmdBreakdown->setEnabled(root != SizeTree::kNone);
    m_ui->cmdBack->setEnabled(!m_back.empty());
    m_ui->cmdForward->setEnabled(!m_forward.empty());
}

void SizeTreeWindow::goTo(SizeTree::Index root, bool remember) {
    if (!m_tree || root == SizeTree::kNone || !m_tree->isFolder(root) || root == m_model->top())
        return;
    if (remember) {
        m_back.push_back(m_model->top());
        m_forward.clear();
    }
    showRoot(root);
}

void SizeTreeWindow::cmdUp_Click() {
    if (m_tree && m_model->top() != SizeTree::kNone)
        goTo(m_tree->parent(m_model->top()), true);
}

void SizeTreeWindow::cmdBack_Click() {
    if (m_back.empty())
        return;
    m_forward.push_back(m_model->top());
    const SizeTree::Index root = m_back.back();
    m_back.pop_back();
    goTo(root, false);
}

void SizeTreeWindow::cmdForward_Click() {
    if (m_forward.empty())
        return;
    m_back.push_back(m_model->top());
    const SizeTree::Index root = m_forward.back();
    m_forward.pop_back();
    goTo(root, false);
}

// The chosen folder (or the root, when a file is chosen) by type, age and largest files.
void SizeTreeWindow::cmdBreakdown_Click() {
    if (!m_tree)
        return;
    SizeTree::Index folder = m_model->entryOf(m_ui->trvSizeTree->currentIndex());
    if (folder == SizeTree::kNone || !m_tree->isFolder(folder))
        folder = m_model->top();
    auto* breakdown = new BreakdownWindow(m_tree, folder, m_model->allocated(), this);
    breakdown->show();
}

void SizeTreeWindow::setAllocated(bool allocated) {
    m_ui->chkAllocated->setChecked(allocated); // toggled: chkAllocated_Click
}

void SizeTreeWindow::chkAllocated_Click(bool allocated) {
    m_model->setAllocated(allocated);
    m_ui->wdgTreemap->show(m_tree, m_model->top(), allocated);
}

void SizeTreeWindow::trvSizeTree_DblClick(const QModelIndex& index) {
    goTo(m_model->entryOf(index), true);
}

void SizeTreeWindow::treeSelectionChanged() {
    m_ui->wdgTreemap->select(m_model->entryOf(m_ui->trvSizeTree->currentIndex()));
}

void SizeTreeWindow::wdgTreemap_Click(SizeTree::Index entry) {
    const QModelIndex index = m_model->indexOf(entry);
    if (!index.isValid())
        return;
    for (QModelIndex up = index.parent(); up.isValid(); up = up.parent())
        m_ui->trvSizeTree->expand(up);
    m_ui->trvSizeTree->setCurrentIndex(index);
    m_ui->trvSizeTree->scrollTo(index);
}

// As the grid names it: the volume path, bytes that are not UTF-8 as the grid keeps them.
QString SizeTreeWindow::volumePathOf(SizeTree::Index entry) const {
    return NameBytes::decode(m_tree->path(entry, '\\'));
}

// The highlighted rows' entries, in the tree's order.
std::vector<SizeTree::Index> SizeTreeWindow::chosenEntries() const {
    std::vector<SizeTree::Index> entries;
    for (const QModelIndex& row : m_ui->trvSizeTree->selectionModel()->selectedRows())
        entries.push_back(m_model->entryOf(row));
    std::sort(entries.begin(), entries.end());
    return entries;
}

// Delete and Move act on the highlighted files; a folder among them greys both.
void SizeTreeWindow::addFileEntries(QMenu& menu) {
    const std::vector<SizeTree::Index> files = chosenEntries();
    const bool onlyFiles = !files.empty() && std::none_of(files.cbegin(), files.cend(), [this](SizeTree::Index i) {
        return m_tree->isFolder(i);
    });
    const auto entry = [&](const QString& name, const QString& caption) {
        QAction* action = menu.addAction(caption);
        action->setObjectName(name);
        action->setEnabled(onlyFiles && m_source.isEmpty()); // a scan's or kept run's files may be elsewhere or gone
        return action;
    };
    // Captioned as the grid's entries are.
    const bool single = files.size() == 1;
    connect(entry(QStringLiteral("Menu_Tree_Delete"),
                  single ? QStringLiteral("Delete selected File") : QStringLiteral("Delete selected Files")),
            &QAction::triggered, this, [this, files] { Q_EMIT deleteRequested(files); });
    connect(entry(QStringLiteral("Menu_Tree_Move"), single ? QStringLiteral("Move File") : QStringLiteral("Move Files")),
            &QAction::triggered, this, [this, files] { Q_EMIT moveRequested(files); });
    menu.addSeparator();
}

// Explore opens the row's folder (a file's own folder); Properties tells the row's.
void SizeTreeWindow::trvSizeTree_Popup(const QPoint& at) {
    const QModelIndex pressed = m_ui->trvSizeTree->indexAt(at);
    const SizeTree::Index entry = m_model->entryOf(pressed);
    if (!m_tree || entry == SizeTree::kNone)
        return;
    QItemSelectionModel* selection = m_ui->trvSizeTree->selectionModel();
    if (!selection->isRowSelected(pressed.row(), pressed.parent())) // a press inside a selection keeps it
        m_ui->trvSizeTree->setCurrentIndex(pressed);
    const SizeTree::Index folder = m_tree->isFolder(entry) ? entry : m_tree->parent(entry);
    QMenu menu(this);
    addFileEntries(menu);
    QAction* explore = menu.addAction(QStringLiteral("Explore Directory"));
    explore->setObjectName(QStringLiteral("Menu_Tree_Explore"));
    connect(explore, &QAction::triggered, this, [this, folder] { Q_EMIT exploreRequested(volumePathOf(folder)); });
    QAction* properties = menu.addAction(QStringLiteral("Properties"));
    properties->setObjectName(QStringLiteral("Menu_Tree_Properties"));
    connect(properties, &QAction::triggered, this, [this, entry] { Q_EMIT propertiesRequested(volumePathOf(entry)); });
    explore->setEnabled(m_source.isEmpty());
    properties->setEnabled(m_source.isEmpty());
    const QPoint global = m_ui->trvSizeTree->viewport()->mapToGlobal(at);
    if (m_runPopup)
        m_runPopup(menu, global);
    else
        menu.exec(global);
}
