#pragma once

#include "batch/command_line_run.h"
#include "reports/report_env.h"
#include "ui/tree/browse_targets.h"

#include <QDialog>

#include <functional>
#include <memory>

namespace Ui {
class frmCreateCommandLineRun;
}
class CalendarPopup;
class QFileSystemModel;
class QLineEdit;
class QPushButton;

// frmCreateCommandLineRun: puts together one command-line run with the
// search panel's choices and writes it into a shell script, one line per
// press of the create button. It opens as a copy of the main window's
// choices; what it composes is CommandLineRun's.
class CommandLineRunDialog : public QDialog {
    Q_OBJECT
public:
    struct Parts {
        ReportEnv& env; // the tree name, the client, the volumes, messages
        BrowseTargets& targets;
        // Shows a modal dialog (the container browser); a test answers instead of a user.
        std::function<int(QDialog&)> runDialog;
        QString programPath; // what each script line runs
    };

    CommandLineRunDialog(const Parts& parts, const SearchSettings& mainChoices, QWidget* parent = nullptr);
    ~CommandLineRunDialog() override;

    // Asks for a file name with the given filter; empty when cancelled. A
    // test answers instead of the file dialog.
    using PathChooser = std::function<QString(const QString& title, const QString& filter)>;
    void setPathChooser(PathChooser chooser) { m_choosePath = std::move(chooser); }

    // The run as the window shows it now.
    const CommandLineRun& run();

Q_SIGNALS:
    // "&Syntax" was pressed: whoever owns the syntax window opens it.
    void syntaxRequested();

public Q_SLOTS:
    void TabStrip1_Click(int index);
    void subBatchFileButtonEnable();
    void txtStartingContainer_Change();
    void cmbCLIServer_Click();
    void cmbCLIVolume_Click();
    void dirDirlist_Change();
    void btnAddVolume_Click();
    void btnRemoveVolume_Click();
    void optAllOwners_Click();
    void optSelectOwner_Click();
    void optGroup_Click();
    void btnSelectContainer_Click();
    void optFileType_Click();
    void optFileSize_Click();
    void cmbDate_Click();
    void btnShowCalendar_Click();
    void btnEndDate_Click();
    void btnBrowse_Click();
    void btnBatBrowse_Click();
    void chkAppendToBatch_Click();
    void btnCreateBatchFile_Click();
    void btnSyntax_Click();

private:
    void connectControls();
    void setDefaults();
    void copyMainChoices(const SearchSettings& main);
    void showDirectory(const QString& directory);
    void showVolumeListRule();
    void fillOwners();
    void fillGroups();

    std::unique_ptr<Ui::frmCreateCommandLineRun> m_ui;
    ReportEnv& m_env;
    BrowseTargets& m_targets;
    std::function<int(QDialog&)> m_runDialog;
    QString m_programPath;
    PathChooser m_choosePath;
    CommandLineRun m_run;
    QFileSystemModel* m_directories = nullptr;
    QString m_volumeRoot; // local root of the chosen volume
    int m_lastTab = 1;    // the tab shown last, 1 to 5
    CalendarPopup* m_calendar = nullptr; // mnthvwCalendar, serving both date boxes
};
