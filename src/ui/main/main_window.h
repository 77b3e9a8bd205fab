#pragma once

#include "settings/settings_store.h"
#include "reports/report_env.h"
#include "ui/main/gui_host.h"
#include "ui/tree/browse_targets.h"
#include "ui/tree/tree_window_parts.h"

#include <QDateTime>
#include <QDialog>
#include <QMainWindow>

#include <functional>
#include <memory>

namespace Ui {
class frmMain;
}
class Desktop;
class HelpWindow;
class CalendarPopup;
class SizeTreeWindow;
class HistoryWindow;
class QMenu;
struct PopupEntries;

class QFileSystemModel;
class QPushButton;
class GridColumns;
class ResultGridModel;

// The main window: the search panel, the server and volume choice, the
// results view and the buttons. It shows SearchSettings, RunState and
// ResultsView and hands the user's changes back to them; the rules are the
// core objects' own.
class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    // What the window shows and edits; it lives as long as the window.
    struct Parts {
        AppState& app;
        SearchSettings& search;
        RunState& run;
        ResultGrid& grid;
        ResultsView& view;
        NetWareClient& client;
        VolumeView& volumes;
        SettingsStore& settings;
        Desktop& desktop;
        // Shows a modal dialog; a test answers instead of a user.
        std::function<int(QDialog&)> runDialog = [](QDialog& dialog) { return dialog.exec(); };
        QString logPath; // Quarvo.log; empty: beside the program, else the state folder
        QString programPath; // what command-line runs start; empty: this program
    };

    explicit MainWindow(const Parts& parts, QWidget* parent = nullptr);
    ~MainWindow() override;

    HelpWindow* helpWindow() const { return m_help; }

    // Reports run through this window's host.
    ReportEnv& env() { return m_env; }
    GuiHost& host() { return m_host; }

    // Asks where to save the results; empty when the user cancels. A test
    // answers instead of the file dialog.
    // The path chosen for a save; suggested holds a folder and a file name.
    using PathChooser = std::function<QString(const QString& title, const QString& filter, const QString& suggested)>;
    void setSavePathChooser(PathChooser chooser) { m_chooseSavePath = std::move(chooser); }
    // Shows the grid's pop-up menu; a test picks an entry instead of a user.
    using MenuRunner = std::function<void(QMenu& menu, const QPoint& at)>;
    void setPopupRunner(MenuRunner runner) { m_runPopup = std::move(runner); }

    // Shows the panel, the view and the grid as the core objects hold them.
    void showPanel();
    void showView();

    // What the tree windows opened from here work with. Windows that open
    // the container browser register in browseTargets() where its choice goes.
    TreeWindowParts treeParts();
    BrowseTargets& browseTargets() { return m_browseTargets; }
    // Opens frmSelectServerStartingContext; false when it was cancelled with
    // no tree to choose from, which ends the program.
    bool openServerStartingContainer();

    // Chooses a server and volume as a user would (the remembered ones at start).
    void chooseServer(const QString& server);
    void chooseVolume(const QString& volume);

public Q_SLOTS:
    void tabSearch_Click(int index);
    void optAllOwners_Click();
    void optSelectOwner_Click();
    void optGroup_Click();
    void optImmediateSubDirs_Click();
    void optAllSubDirs_Click();
    void optFileType_Click();
    void optFileSize_Click();
    void optCreationDate_Click();
    void optModifyDate_Click();
    void optAccessDate_Click();
    void cmbDate_Click();
    void cmbSizeLimit_Click();
    void cmbServer_Click();
    void cmbServers_Click();
    void btnAdd_Click();
    void btnAddAll_Click();
    void btnRemove_Click();
    void btnRmvAll_Click();
    void lstSelectedVolumes_Click();
    void lstSelectedVolumes_DblClick();
    void cmbVolumeList_Click();
    void dirDirlist_Change();
    void panelText_Change();
    void btnShowCalendar_Click();
    void btnEndDate_Click();
    void btnShowUsage_Click();
    void cmbCompareWith_Click(int index);
    void btnClose_Click();
    void Menu_Save_Results_Click();
    void grdDirSizes_DblClick(int col);
    void grdDirSizes_SelectionChange();
    void btnShowFiles_Click();
    void Menu_Copy_Click();
    void grdDirSizes_MouseDown(const QPoint& at);
    void Menu_Options_Click();
    void btnShowTree_Click();
    void btnServerList_Click();
    void btnServerList2_Click();
    void Menu_Select_Server_Starting_Container_Click();
    void Menu_CommandLineRun_Click();
    void Menu_Contents_Click();
    void Menu_FAQs_Click();
    void Menu_Other_Tessaloom_Products_Click();
    void Menu_Contact_Click();
    void Menu_Scripting_Message_Click();
    void Menu_About_Click();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QString suggestedSaveName() const;
    void connectPanel();
    void readPanel();
    void subbtnShowUsageEnable();
    void setPanelFrozen(bool frozen);
    void showRunEnd();
    void keepRun();
    void fillCompareChoices();
    void showVolumeDirectories();
    void showVolumeButtons();
    void addPopupEntries(QMenu& menu, const PopupEntries& entries);
    void Menu_Popup_Explore_Click(int directoryCol);
    void Menu_Popup_Delete_Click(int directoryCol, int fileCol);
    SizeTreeWindow& openSizeTreeWindow();
    bool movedWithinTree(const QString& destination) const;
    void showChosenTree(const HistoryWindow& history);
    void Menu_Popup_Move_Click();
    // The acts behind them, on the rows of env's grid (the window's, or a size tree's files).
    void deleteRows(ReportEnv& env, int directoryCol, int fileCol);
    void moveRows(ReportEnv& env);
    void Menu_Tree_Delete_Click(const std::vector<SizeTree::Index>& files);
    void Menu_Tree_Move_Click(const std::vector<SizeTree::Index>& files);
    bool treeActsAllowed();
    void takeOutOfTree(const std::vector<SizeTree::Index>& gone);
    void showGridSelection();
    void connectKeys();
    void Menu_Popup_Properties_Click();
    void exploreFolder(const QString& directory);
    void showProperties(const QString& path, bool ofVolume);
    void Menu_Popup_ShowHistory_Click();
    void Menu_History_Click();
    void Menu_View_SizeTree_Click();
    void Menu_View_Allocated_Click(bool allocated);
    QString logPath() const;
    void showServerLists();

    std::unique_ptr<Ui::frmMain> m_ui;
    QDateTime m_runStarted; // of the last run, as the history keeps it
    GuiHost m_host;
    ReportEnv m_env;
    // The last Directory run's walk, for the size tree window; a new one for
    // each run, so a window still drawing the last one keeps it whole.
    std::shared_ptr<SizeTree> m_sizeTree = std::make_shared<SizeTree>();
    bool m_gridShowsTree = false; // the grid holds the rows of the run that filled m_sizeTree
    SettingsStore& m_settings;
    Desktop& m_desktop;
    std::function<int(QDialog&)> m_runDialog;
    BrowseTargets m_browseTargets;
    HelpWindow* m_help = nullptr;
    ResultGridModel* m_model = nullptr;
    GridColumns* m_columns = nullptr;
    QFileSystemModel* m_directories = nullptr;
    QString m_volumeRoot;   // local root of the chosen volume
    bool m_showing = false; // widgets are being set from the core objects
    bool m_deleting = false; // files are being deleted: Esc stops that
    bool m_closeAfterRun = false;
    QString m_lastSaveFolder;      // where results were saved last
    QString m_lastMoveDestination; // where files were moved last
    PathChooser m_chooseSavePath;
    MenuRunner m_runPopup;
    QString m_logPath;
    QString m_programPath;
    CalendarPopup* m_calendar = nullptr; // mnthvwCalendar, serving both date boxes
    SizeTreeWindow* m_sizeTreeWindow = nullptr; // opened by View > Size Tree
};
