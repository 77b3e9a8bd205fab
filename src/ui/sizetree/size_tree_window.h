#pragma once

#include "sizetree/size_tree.h"

#include <QWidget>

#include <functional>
#include <memory>
#include <vector>

namespace Ui {
class frmSizeTree;
}
class QMenu;
class SizeTreeModel;

// frmSizeTree: the last Directory run's walk as a tree of folders and
// files, largest first, beside its treemap. Double-click makes a folder the
// root; Up (Backspace, Alt+Up) goes to its parent, Back and Forward (Alt+Left,
// Alt+Right) through the roots shown. The tree's and the map's selections
// follow each other.
class SizeTreeWindow : public QWidget {
    Q_OBJECT
public:
    explicit SizeTreeWindow(QWidget* parent = nullptr);
    ~SizeTreeWindow() override;

    // A new walk: shown from its start folder.
    void showTree(std::shared_ptr<const SizeTree> tree);
    // A run's walk as far as it has come (a copy the window may finish and
    // keep): sums and order made off the window's thread, then shown until
    // the next part or the whole walk comes.
    void showGrowing(std::shared_ptr<SizeTree> partial);
    // The same walk with files taken out: the root, the way back and
    // forward and what is open stay.
    void updateTree(std::shared_ptr<const SizeTree> tree);
    SizeTreeModel& model() const { return *m_model; }
    // Where the tree shown comes from, a scan file or a kept run; empty
    // while it is this window's run's walk, the only one that can be acted on.
    const QString& source() const { return m_source; }
    // A tree read from elsewhere (a scan, a kept run): browsed, never acted on.
    void showKept(std::shared_ptr<const SizeTree> tree, const QString& source, const QString& title,
                  const QString& status);
    // Asks for the scan to open; a test answers instead of a user.
    using ScanChooser = std::function<QString(QWidget* parent)>;
    void setScanChooser(ScanChooser chooser) { m_chooseScan = std::move(chooser); }
    // Shows the tree's pop-up menu; a test picks an entry instead of a user.
    using MenuRunner = std::function<void(QMenu& menu, const QPoint& at)>;
    void setPopupRunner(MenuRunner runner) { m_runPopup = std::move(runner); }

Q_SIGNALS:
    // A folder's or file's volume path, for the main window to act on.
    void exploreRequested(const QString& folder);
    // A part of a running walk is shown, of so many folders and files.
    void growingShown(std::size_t entries);
    void propertiesRequested(const QString& path);
    // Files of the tree to delete or move, as the grid's rows are.
    void deleteRequested(const std::vector<SizeTree::Index>& files);
    void moveRequested(const std::vector<SizeTree::Index>& files);

public:
    void setAllocated(bool allocated);

public Q_SLOTS:
    void cmdUp_Click();
    void cmdBack_Click();
    void cmdForward_Click();
    void chkAllocated_Click(bool allocated);
    void cmdBreakdown_Click();
    void cmdOpenScan_Click();
    void trvSizeTree_DblClick(const QModelIndex& index);
    void wdgTreemap_Click(SizeTree::Index entry);

private:
    void connectKeys();
    void showLegend();
    void goTo(SizeTree::Index root, bool remember);
    void showRoot(SizeTree::Index root);
    void treeSelectionChanged();
    void trvSizeTree_Popup(const QPoint& at);
    void addFileEntries(QMenu& menu);
    std::vector<SizeTree::Index> chosenEntries() const;
    QString volumePathOf(SizeTree::Index entry) const;
    void showPart(std::shared_ptr<const SizeTree> partial);
    void showScan(const QString& file, std::shared_ptr<const SizeTree> tree, const QString& error);

    std::unique_ptr<Ui::frmSizeTree> m_ui;
    SizeTreeModel* m_model;
    std::shared_ptr<const SizeTree> m_tree;
    std::vector<SizeTree::Index> m_back;
    std::vector<SizeTree::Index> m_forward;
    MenuRunner m_runPopup;
    ScanChooser m_chooseScan;
    QString m_source;
    unsigned m_shownTrees = 0; // a part of a walk finished after a newer tree was shown is dropped
};
