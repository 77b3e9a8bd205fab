#pragma once

#include "app/settings_store.h"
#include "reports/report_env.h"
#include "ui/main/gui_host.h"

#include <QMainWindow>

#include <functional>
#include <memory>

namespace Ui {
class frmMain;
}
class QCalendarWidget;
class QFileSystemModel;
class QPushButton;
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
    };

    explicit MainWindow(const Parts& parts, QWidget* parent = nullptr);
    ~MainWindow() override;

    // Reports run through this window's host.
    ReportEnv& env() { return m_env; }
    GuiHost& host() { return m_host; }

    // Asks where to save the results; empty when the user cancels. A test
    // answers instead of the file dialog.
    using PathChooser = std::function<QString(const QString& title, const QString& filter)>;
    void setSavePathChooser(PathChooser chooser) { m_chooseSavePath = std::move(chooser); }

    // Shows the panel, the view and the grid as the core objects hold them.
    void showPanel();
    void showView();

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
    void mnthvwCalendar_DateClick(const QDate& date);
    void btnShowUsage_Click();
    void btnClose_Click();
    void Menu_Save_Results_Click();
    void Menu_Options_Click();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void connectPanel();
    void readPanel();
    void subbtnShowUsageEnable();
    void setPanelFrozen(bool frozen);
    void showColumns();
    void showVolumeDirectories();
    void showVolumeButtons();
    void openCalendar(QPushButton* button, const QString& text);

    std::unique_ptr<Ui::frmMain> m_ui;
    GuiHost m_host;
    ReportEnv m_env;
    SettingsStore& m_settings;
    ResultGridModel* m_model = nullptr;
    QFileSystemModel* m_directories = nullptr;
    QString m_volumeRoot;   // local root of the chosen volume
    bool m_showing = false; // widgets are being set from the core objects
    bool m_closeAfterRun = false;
    PathChooser m_chooseSavePath;
    QCalendarWidget* m_calendar = nullptr; // mnthvwCalendar, serving both date boxes
    QString m_calendarTarget;              // "Begin" or "End"
};
