#include "ui/batch/command_line_run_dialog.h"
#include "ui/auxiliary/calendar_popup.h"
#include "ui/auxiliary/search_inputs.h"
#include "ui/batch/command_syntax_window.h"

#include "batch/script_file.h"
#include "netware/directory_queries.h"
#include "reports/cell_format.h"
#include "ui/tree/context_browser.h"
#include "ui/twips.h"
#include "ui_frmCreateCommandLineRun.h"

#include <QCalendarWidget>
#include <QCoreApplication>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QRegularExpressionValidator>

namespace {

const QString kWindowName = QStringLiteral("frmCreateCommandLineRun");

void showChoices(QComboBox* box, const ChoiceList& choices) {
    const QSignalBlocker quiet(box);
    box->clear();
    box->addItems(choices.entries);
    box->setCurrentIndex(int(choices.entries.indexOf(choices.text)));
}

QString choiceText(const QComboBox* box) {
    return box->currentIndex() >= 0 ? box->currentText() : QString();
}

QString askPath(QWidget* parent, const QString& title, const QString& filter) {
    // Saving: a file that does not exist yet must be nameable; nothing is
    // overwritten here, so no question about an existing one.
    return QFileDialog::getSaveFileName(parent, title, QString(), filter, nullptr, QFileDialog::DontConfirmOverwrite);
}

} // namespace

CommandLineRunDialog::CommandLineRunDialog(const Parts& parts, const SearchSettings& mainChoices, QWidget* parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::frmCreateCommandLineRun>()), m_env(parts.env),
      m_targets(parts.targets), m_runDialog(parts.runDialog), m_programPath(parts.programPath),
      m_choosePath([this](const QString& title, const QString& filter) { return askPath(this, title, filter); }) {
    m_ui->setupUi(this);
    if (m_programPath.isEmpty())
        m_programPath = QCoreApplication::applicationFilePath();
    for (const char* caption : {"By Owner", "By Volume", "By Directory", "By File", "By Date"})
        m_ui->TabStrip1->addTab(QString::fromLatin1(caption));
    m_directories = SearchInputs::showFoldersOnly(*m_ui->dirDirlist, *this);
    SearchInputs::acceptDigits(*m_ui->txtSearchSize, *m_ui->txtSelectedDate, *m_ui->txtEndDate, *this);
    m_calendar = new CalendarPopup(*this);
    m_targets.setTarget(kWindowName, [this](const QString& path) { m_ui->txtStartingContainer->setText(path); });
    setDefaults();
    copyMainChoices(mainChoices);
    connectControls();
    subBatchFileButtonEnable();
}

CommandLineRunDialog::~CommandLineRunDialog() {
    m_targets.removeTarget(kWindowName);
}

void CommandLineRunDialog::connectControls() {
    Ui::frmCreateCommandLineRun& ui = *m_ui;
    connect(ui.TabStrip1, &QTabBar::currentChanged, this, &CommandLineRunDialog::TabStrip1_Click);
    for (QLineEdit* box : {ui.txtOutputFile, ui.txtBatchFile, ui.txtSearchSize, ui.txtFileType, ui.txtSelectedDate,
                           ui.txtEndDate})
        connect(box, &QLineEdit::textChanged, this, &CommandLineRunDialog::subBatchFileButtonEnable);
    connect(ui.txtStartingContainer, &QLineEdit::textChanged, this, &CommandLineRunDialog::txtStartingContainer_Change);
    connect(ui.cmbCLIServer, &QComboBox::activated, this, &CommandLineRunDialog::cmbCLIServer_Click);
    connect(ui.cmbCLIVolume, &QComboBox::activated, this, &CommandLineRunDialog::cmbCLIVolume_Click);
    connect(ui.dirDirlist->selectionModel(), &QItemSelectionModel::currentChanged, this,
            &CommandLineRunDialog::dirDirlist_Change);
    // Enter opens the highlighted directory, as a double-click does.
    connect(ui.dirDirlist, &QAbstractItemView::activated, ui.dirDirlist,
            [view = ui.dirDirlist](const QModelIndex& index) { view->expand(index); });
    connect(ui.btnAddVolume, &QPushButton::clicked, this, &CommandLineRunDialog::btnAddVolume_Click);
    connect(ui.btnRemoveVolume, &QPushButton::clicked, this, &CommandLineRunDialog::btnRemoveVolume_Click);
    connect(ui.optAllOwners, &QRadioButton::clicked, this, &CommandLineRunDialog::optAllOwners_Click);
    connect(ui.optSelectOwner, &QRadioButton::clicked, this, &CommandLineRunDialog::optSelectOwner_Click);
    connect(ui.optGroup, &QRadioButton::toggled, this, &CommandLineRunDialog::optGroup_Click);
    connect(ui.cmbSelectedOwner, &QComboBox::currentIndexChanged, this, &CommandLineRunDialog::subBatchFileButtonEnable);
    connect(ui.cmbGroup, &QComboBox::currentIndexChanged, this, &CommandLineRunDialog::subBatchFileButtonEnable);
    connect(ui.btnSelectContainer, &QPushButton::clicked, this, &CommandLineRunDialog::btnSelectContainer_Click);
    connect(ui.optFileType, &QRadioButton::clicked, this, &CommandLineRunDialog::optFileType_Click);
    connect(ui.optFileSize, &QRadioButton::clicked, this, &CommandLineRunDialog::optFileSize_Click);
    connect(ui.cmbDate, &QComboBox::activated, this, &CommandLineRunDialog::cmbDate_Click);
    connect(ui.btnShowCalendar, &QPushButton::clicked, this, &CommandLineRunDialog::btnShowCalendar_Click);
    connect(ui.btnEndDate, &QPushButton::clicked, this, &CommandLineRunDialog::btnEndDate_Click);
    connect(ui.btnBrowse, &QPushButton::clicked, this, &CommandLineRunDialog::btnBrowse_Click);
    connect(ui.btnBatBrowse, &QPushButton::clicked, this, &CommandLineRunDialog::btnBatBrowse_Click);
    connect(ui.chkAppendToBatch, &QCheckBox::clicked, this, &CommandLineRunDialog::chkAppendToBatch_Click);
    connect(ui.btnCreateBatchFile, &QPushButton::clicked, this, &CommandLineRunDialog::btnCreateBatchFile_Click);
    connect(ui.btnSyntax, &QPushButton::clicked, this, &CommandLineRunDialog::btnSyntax_Click);
    connect(ui.btnCancel, &QPushButton::clicked, this, &QDialog::reject);
}

// The window as it opens before the main window's choices are copied.
void CommandLineRunDialog::setDefaults() {
    Ui::frmCreateCommandLineRun& ui = *m_ui;
    const SearchSettings defaults = SearchSettings::withDefaults(CellFormat::shortDate(QDate::currentDate()));
    showChoices(ui.cmbSizeLimit, defaults.cmbSizeLimit);
    ui.txtSearchSize->setText(defaults.txtSearchSize);
    ui.txtFileType->setText(defaults.txtFileType);
    showChoices(ui.cmbDate, defaults.cmbDate);
    ui.txtSelectedDate->setText(defaults.txtSelectedDate);
    ui.txtEndDate->setText(defaults.txtEndDate);
    cmbDate_Click();
    ui.stkSearch->setCurrentIndex(0);
    ui.fraServerVol->hide();
    ui.dirDirlist->setEnabled(false);
    m_lastTab = 1;
}

void CommandLineRunDialog::copyMainChoices(const SearchSettings& main) {
    Ui::frmCreateCommandLineRun& ui = *m_ui;
    if (parentWidget())
        setWindowIcon(parentWidget()->windowIcon());
    ui.lblCLITree->setText(m_env.app.treeName);
    showChoices(ui.cmbCLIServer, {main.cmbServer.entries, main.cmbServer.text});
    cmbCLIServer_Click();
    ui.txtStartingContainer->setText(main.lblStartContainer);
    ui.chkAllocated->setChecked(main.allocatedSizes);
    const int volume = ui.cmbCLIVolume->findText(main.cmbVolumeList.text);
    if (volume >= 0 && volume != ui.cmbCLIVolume->currentIndex()) {
        ui.cmbCLIVolume->setCurrentIndex(volume);
        cmbCLIVolume_Click();
    }
    {
        const QSignalBlocker quiet(ui.TabStrip1);
        ui.TabStrip1->setCurrentIndex(int(main.tabSearch) - 1);
    }
    TabStrip1_Click(int(main.tabSearch) - 1);
    switch (main.tabSearch) {
    case ReportKind::Owner:
        if (main.ownerOption == OwnerOption::optAllOwners) {
            ui.optAllOwners->setChecked(true);
            ui.chkSubContainers->setChecked(main.chkSubContainers);
        } else if (main.ownerOption == OwnerOption::optSelectOwner) {
            ui.optSelectOwner->setChecked(true);
            optSelectOwner_Click();
            ui.cmbSelectedOwner->setCurrentIndex(ui.cmbSelectedOwner->findText(main.cmbSelectedOwner.text));
        } else {
            ui.optGroup->setChecked(true);
            optGroup_Click();
            ui.cmbGroup->setCurrentIndex(ui.cmbGroup->findText(main.cmbGroup.text));
        }
        break;
    case ReportKind::Volume:
        ui.lstVolumeList->addItems(main.lstSelectedVolumes);
        break;
    case ReportKind::Directory:
        showDirectory(main.lblDirectory);
        (main.subDirOption == SubDirOption::optAllSubDirs ? ui.optAllSubDirs : ui.optImmediateSubDirs)->setChecked(true);
        break;
    case ReportKind::File:
        showDirectory(main.lblDirectory);
        if (main.fileOption == FileOption::optFileType) {
            ui.optFileType->setChecked(true);
            ui.txtFileType->setText(main.txtFileType);
            optFileType_Click();
        } else {
            ui.optFileSize->setChecked(true);
            ui.txtSearchSize->setText(main.txtSearchSize);
            ui.cmbSizeLimit->setCurrentIndex(ui.cmbSizeLimit->findText(main.cmbSizeLimit.text));
            optFileSize_Click();
        }
        break;
    case ReportKind::Date:
        showDirectory(main.lblDirectory);
        ui.optCreationDate->setChecked(main.dateOption == DateOption::optCreationDate);
        ui.optModifyDate->setChecked(main.dateOption == DateOption::optModifyDate);
        ui.optAccessDate->setChecked(main.dateOption == DateOption::optAccessDate);
        ui.cmbDate->setCurrentIndex(ui.cmbDate->findText(main.cmbDate.text));
        ui.txtSelectedDate->setText(main.txtSelectedDate);
        ui.txtEndDate->setText(main.txtEndDate);
        cmbDate_Click();
        break;
    }
}

// The directory list opened at a directory of the chosen volume.
void CommandLineRunDialog::showDirectory(const QString& directory) {
    const VolumeView::Resolved place = m_env.volumes.resolve(directory);
    if (!place.ok() || m_volumeRoot.isEmpty())
        return;
    const QModelIndex index = m_directories->index(QFile::decodeName(place.path));
    if (index.isValid()) {
        const QSignalBlocker quiet(m_ui->dirDirlist->selectionModel());
        m_ui->dirDirlist->setCurrentIndex(index);
    }
    m_ui->lblDirectory->setText(directory);
}

const CommandLineRun& CommandLineRunDialog::run() {
    const Ui::frmCreateCommandLineRun& ui = *m_ui;
    SearchSettings& s = m_run.search;
    s.tabSearch = ReportKind(m_lastTab);
    s.cmbServer.text = choiceText(ui.cmbCLIServer);
    s.cmbVolumeList.text = choiceText(ui.cmbCLIVolume);
    s.lblStartContainer = ui.txtStartingContainer->text();
    s.ownerOption = ui.optSelectOwner->isChecked() ? OwnerOption::optSelectOwner
                    : ui.optGroup->isChecked()     ? OwnerOption::optGroup
                                                   : OwnerOption::optAllOwners;
    s.chkSubContainers = ui.chkSubContainers->isChecked();
    s.cmbSelectedOwner.text = choiceText(ui.cmbSelectedOwner);
    s.cmbGroup.text = choiceText(ui.cmbGroup);
    s.lstSelectedVolumes.clear();
    for (int row = 0; row < ui.lstVolumeList->count(); ++row)
        s.lstSelectedVolumes.append(ui.lstVolumeList->item(row)->text());
    s.lblDirectory = ui.lblDirectory->text();
    s.subDirOption = ui.optAllSubDirs->isChecked() ? SubDirOption::optAllSubDirs : SubDirOption::optImmediateSubDirs;
    s.fileOption = ui.optFileSize->isChecked() ? FileOption::optFileSize : FileOption::optFileType;
    s.txtFileType = ui.txtFileType->text();
    s.cmbSizeLimit.text = choiceText(ui.cmbSizeLimit);
    s.txtSearchSize = ui.txtSearchSize->text();
    s.dateOption = ui.optCreationDate->isChecked() ? DateOption::optCreationDate
                   : ui.optModifyDate->isChecked() ? DateOption::optModifyDate
                   : ui.optAccessDate->isChecked() ? DateOption::optAccessDate
                                                   : DateOption::None;
    s.cmbDate.text = choiceText(ui.cmbDate);
    s.txtSelectedDate = ui.txtSelectedDate->text();
    s.txtEndDate = ui.txtEndDate->text();
    m_run.tree = ui.lblCLITree->text();
    m_run.txtOutputFile = ui.txtOutputFile->text();
    m_run.chkAppend = ui.chkAppend->isChecked();
    m_run.chkPrintHeading = ui.chkPrintHeading->isChecked();
    s.allocatedSizes = ui.chkAllocated->isChecked();
    return m_run;
}

void CommandLineRunDialog::TabStrip1_Click(int index) {
    const int tab = index + 1;
    if (tab == m_lastTab || tab < 1)
        return;
    Ui::frmCreateCommandLineRun& ui = *m_ui;
    ui.fraServerVol->setVisible(tab >= 3);
    ui.dirDirlist->setEnabled(tab != 1);
    // Volume and Date runs have no allocated figures to give.
    ui.chkAllocated->setEnabled(ReportKind(tab) != ReportKind::Volume && ReportKind(tab) != ReportKind::Date);
    ui.stkSearch->setCurrentIndex(index);
    m_lastTab = tab;
    // The rule leaves the button as it is on an empty volume list: coming
    // to that tab it starts disabled.
    if (tab == 2 && ui.lstVolumeList->count() == 0)
        ui.btnCreateBatchFile->setEnabled(false);
    subBatchFileButtonEnable();
}

void CommandLineRunDialog::subBatchFileButtonEnable() {
    QPushButton* create = m_ui->btnCreateBatchFile;
    create->setEnabled(run().subBatchFileButtonEnable(m_ui->txtBatchFile->text(), create->isEnabled()));
}

// The container's own rule: it and both file names.
void CommandLineRunDialog::txtStartingContainer_Change() {
    const Ui::frmCreateCommandLineRun& ui = *m_ui;
    ui.btnCreateBatchFile->setEnabled(!ui.txtStartingContainer->text().isEmpty() &&
                                      !ui.txtBatchFile->text().isEmpty() && !ui.txtOutputFile->text().isEmpty());
}

void CommandLineRunDialog::cmbCLIServer_Click() {
    m_env.host.setBusy(true);
    ChoiceList volumes;
    subListServerVolumes(m_env, choiceText(m_ui->cmbCLIServer), kWindowName, 0, &volumes);
    if (!volumes.isEmpty())
        volumes.text = volumes.entries.first();
    showChoices(m_ui->cmbCLIVolume, volumes);
    if (!volumes.isEmpty())
        cmbCLIVolume_Click();
    subBatchFileButtonEnable();
    m_env.host.setBusy(false);
}

void CommandLineRunDialog::cmbCLIVolume_Click() {
    m_env.host.setBusy(true);
    const QString volumePath =
        QStringLiteral("\\\\") + choiceText(m_ui->cmbCLIServer) + QLatin1Char('\\') + choiceText(m_ui->cmbCLIVolume);
    const VolumeView::Resolved root = m_env.volumes.resolve(volumePath);
    if (root.ok()) {
        m_volumeRoot = QFile::decodeName(root.path);
        m_ui->dirDirlist->setRootIndex(m_directories->setRootPath(m_volumeRoot));
        m_ui->lblDirectory->setText(root.display);
    }
    m_env.host.setBusy(false);
}

void CommandLineRunDialog::dirDirlist_Change() {
    const QModelIndex current = m_ui->dirDirlist->currentIndex();
    if (!current.isValid() || m_volumeRoot.isEmpty())
        return;
    const QString relative = QDir(m_volumeRoot).relativeFilePath(m_directories->filePath(current));
    QString path =
        QStringLiteral("\\\\") + choiceText(m_ui->cmbCLIServer) + QLatin1Char('\\') + choiceText(m_ui->cmbCLIVolume);
    if (!relative.isEmpty() && relative != QLatin1String("."))
        path += QLatin1Char('\\') + QString(relative).replace(QLatin1Char('/'), QLatin1Char('\\'));
    m_ui->lblDirectory->setText(path);
}

void CommandLineRunDialog::btnAddVolume_Click() {
    const QString volume = choiceText(m_ui->cmbCLIVolume);
    if (!volume.isEmpty()) {
        const QString entry = QStringLiteral("\\\\") + choiceText(m_ui->cmbCLIServer) + QLatin1Char('\\') + volume;
        if (m_ui->lstVolumeList->findItems(entry, Qt::MatchExactly | Qt::MatchCaseSensitive).isEmpty())
            m_ui->lstVolumeList->addItem(entry);
    }
    showVolumeListRule();
}

void CommandLineRunDialog::btnRemoveVolume_Click() {
    delete m_ui->lstVolumeList->currentItem();
    showVolumeListRule();
}

void CommandLineRunDialog::showVolumeListRule() {
    const Ui::frmCreateCommandLineRun& ui = *m_ui;
    ui.btnCreateBatchFile->setEnabled(ui.lstVolumeList->count() > 0 && !ui.txtBatchFile->text().isEmpty() &&
                                      !ui.txtOutputFile->text().isEmpty());
}

void CommandLineRunDialog::optAllOwners_Click() {
    m_ui->chkSubContainers->setEnabled(true);
    m_ui->cmbSelectedOwner->setEnabled(false);
    m_ui->cmbGroup->setEnabled(false);
    subBatchFileButtonEnable();
}

void CommandLineRunDialog::optSelectOwner_Click() {
    m_ui->chkSubContainers->setEnabled(false);
    m_ui->cmbGroup->setEnabled(false);
    fillOwners();
    subBatchFileButtonEnable();
}

void CommandLineRunDialog::optGroup_Click() {
    if (!m_ui->optGroup->isChecked()) {
        m_ui->cmbGroup->setEnabled(false);
        return;
    }
    m_ui->cmbSelectedOwner->setEnabled(false);
    m_ui->chkSubContainers->setEnabled(false);
    fillGroups();
    subBatchFileButtonEnable();
}

void CommandLineRunDialog::fillOwners() {
    ChoiceList owners;
    subListUsers(m_env, m_ui->txtStartingContainer->text(), owners);
    showChoices(m_ui->cmbSelectedOwner, owners);
    m_ui->cmbSelectedOwner->setEnabled(true);
}

void CommandLineRunDialog::fillGroups() {
    ChoiceList groups;
    subListGroups(m_env, m_ui->txtStartingContainer->text(), groups);
    showChoices(m_ui->cmbGroup, groups);
    m_ui->cmbGroup->setEnabled(true);
}

void CommandLineRunDialog::btnSelectContainer_Click() {
    m_env.host.setBusy(true);
    m_env.app.strBrowseCaller = kWindowName;
    ContextBrowser browser(m_env.client, m_env.host, ContextBrowser::forContainer(m_env.app, m_targets), this);
    m_runDialog(browser);
    Ui::frmCreateCommandLineRun& ui = *m_ui;
    if (!ui.txtStartingContainer->text().isEmpty()) {
        const bool owner = ui.optSelectOwner->isChecked();
        if (owner || ui.optGroup->isChecked()) {
            ui.chkSubContainers->setEnabled(false);
            owner ? fillOwners() : fillGroups();
            const QString chosen = choiceText(owner ? ui.cmbSelectedOwner : ui.cmbGroup);
            ui.btnCreateBatchFile->setEnabled(!chosen.isEmpty() && !ui.txtBatchFile->text().isEmpty() &&
                                              !ui.txtOutputFile->text().isEmpty());
        }
    }
    m_env.host.setBusy(false);
}

void CommandLineRunDialog::optFileType_Click() {
    m_ui->txtFileType->setEnabled(true);
    m_ui->cmbSizeLimit->setEnabled(false);
    m_ui->txtSearchSize->setEnabled(false);
    subBatchFileButtonEnable();
}

void CommandLineRunDialog::optFileSize_Click() {
    m_ui->txtFileType->setEnabled(false);
    m_ui->cmbSizeLimit->setEnabled(true);
    m_ui->txtSearchSize->setEnabled(true);
    subBatchFileButtonEnable();
}

void CommandLineRunDialog::cmbDate_Click() {
    const bool between = choiceText(m_ui->cmbDate) == QLatin1String("Between");
    for (QWidget* end : {static_cast<QWidget*>(m_ui->lblAnd), static_cast<QWidget*>(m_ui->txtEndDate),
                         static_cast<QWidget*>(m_ui->btnEndDate)})
        end->setVisible(between);
    subBatchFileButtonEnable();
}

void CommandLineRunDialog::btnShowCalendar_Click() {
    m_calendar->open(m_ui->btnShowCalendar, m_ui->txtSelectedDate);
}

void CommandLineRunDialog::btnEndDate_Click() {
    m_calendar->open(m_ui->btnEndDate, m_ui->txtEndDate);
}

void CommandLineRunDialog::btnBrowse_Click() {
    const QString path =
        m_choosePath(QStringLiteral("Output File"), QStringLiteral("Comma Separated File (*.csv);;All Files (*)"));
    if (!path.isEmpty())
        m_ui->txtOutputFile->setText(path);
}

void CommandLineRunDialog::btnBatBrowse_Click() {
    const QString path =
        m_choosePath(QStringLiteral("Batch File Name"), QStringLiteral("Shell Script (*.sh);;All Files (*)"));
    if (!path.isEmpty())
        m_ui->txtBatchFile->setText(path);
}

void CommandLineRunDialog::chkAppendToBatch_Click() {
    m_ui->btnCreateBatchFile->setText(m_ui->chkAppendToBatch->isChecked() ? QStringLiteral("Append Batch &File")
                                                                          : QStringLiteral("Create Batch &File"));
}

void CommandLineRunDialog::btnCreateBatchFile_Click() {
    const bool appending = m_ui->btnCreateBatchFile->text() == QLatin1String("Append Batch &File");
    m_ui->stsbarStatus->showMessage(appending ? QStringLiteral("Appending Batch File")
                                              : QStringLiteral("Creating Batch File"));
    const CommandLineRun& composed = run();
    // The run would fail at night for the same reason; better said now,
    // with nothing written.
    QString failure = ScriptFile::cannotWrite(composed.txtOutputFile);
    if (failure.isEmpty())
        failure = ScriptFile::addLine(m_ui->txtBatchFile->text(), ScriptFile::line(m_programPath, composed.switches()),
                                      m_ui->chkAppendToBatch->isChecked());
    if (!failure.isEmpty()) {
        m_ui->stsbarStatus->showMessage(failure);
        m_env.host.message(failure, windowTitle(), Host::Icon::Critical);
        return;
    }
    m_ui->stsbarStatus->showMessage(appending ? QStringLiteral("Batch File Appended")
                                              : QStringLiteral("Batch File Created"));
}

void CommandLineRunDialog::btnSyntax_Click() {
    Q_EMIT syntaxRequested();
    CommandSyntaxWindow::showSyntax(this);
}
