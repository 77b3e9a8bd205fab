#pragma once

#include "settings/app_state.h"
#include "settings/settings_store.h"
#include "fsview/volume_view.h"
#include "netware/client/netware_client.h"
#include "netware/client/site_file.h"
#include "reports/result_grid.h"
#include "reports/results_view.h"
#include "settings/run_state.h"
#include "settings/search_settings.h"

#include <QDialog>
#include <QProcessEnvironment>

#include <functional>
#include <memory>
#include <optional>

class Desktop;
class MainWindow;
class SplashWindow;

class QtDesktop;

// The interactive program: what the main window shows, loaded and saved as
// the window opens and closes.
class WindowProgram {
public:
    struct Options {
        bool debugMode = false;
        SettingsLocations settings;                        // tests give files of their own
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment(); // for the site file
        std::optional<Site> site; // given: used instead of the site file
        // Shows a modal dialog; a test answers instead of a user.
        std::function<int(QDialog&)> runDialog = [](QDialog& dialog) { return dialog.exec(); };
        Desktop* desktop = nullptr; // none: the real desktop
        QString logPath;            // Quarvo.log; empty: its usual place
        QString programPath;        // what command-line runs start; empty: this program
    };

    explicit WindowProgram(Options options);
    ~WindowProgram();

    // The load sequence; false when the program cannot go on (it has said why).
    bool Form_Load();
    // The shutdown sequence: settings and geometry unless in command-line mode.
    void Form_Unload();

    MainWindow& window() { return *m_window; }
    AppState& app() { return m_app; }

private:
    bool readUserSettings();
    void loadHistoryChoices();
    bool checkTree();
    bool openStartingContainerWindow();
    void restoreGeometry();
    void placeFirstStart();
    void saveGeometry();
    void chooseRememberedServer();

    Options m_options;
    SettingsStore m_settings;
    std::unique_ptr<QtDesktop> m_qtDesktop;
    std::unique_ptr<NetWareClient> m_client;
    std::unique_ptr<VolumeView> m_volumes;
    AppState m_app;
    SearchSettings m_search;
    RunState m_run;
    ResultGrid m_grid;
    ResultsView m_view;
    QString m_savedServer;
    QString m_savedVolume;
    std::unique_ptr<MainWindow> m_window;
    std::unique_ptr<SplashWindow> m_splash; // while loading
    bool m_startingContainerShown = false;  // during this load
};
