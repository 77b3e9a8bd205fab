#include "ui/main/main_window.h"

#include "history/grid_comparison.h"
#include "history/run_recording.h"

#include "ui/auxiliary/calendar_popup.h"
#include "ui/auxiliary/search_inputs.h"
#include "fsview/name_bytes.h"
#include "netware/directory_queries.h"
#include "netware/volume_choice.h"
#include "reports/cell_format.h"
#include "fileops/file_delete.h"
#include "fileops/tree_file_rows.h"
#include "reports/directory_rows_removal.h"
#include "reports/grid_sorting.h"
#include "reports/popup_entries.h"
#include "reports/show_files.h"
#include "reports/report_run.h"
#include "reports/results_file.h"
#include "ui/auxiliary/about_box.h"
#include "ui/auxiliary/desktop.h"
#include "ui/auxiliary/help_window.h"
#include "ui/auxiliary/maker_addresses.h"
#include "ui/auxiliary/script_notice.h"
#include "ui/batch/command_line_run_dialog.h"
#include "ui/history/history_window.h"
#include "ui/sizetree/size_tree_window.h"
#include "fileops/item_properties.h"
#include "ui/main/copy_dialog.h"
#include "ui/main/grid_columns.h"
#include "ui/main/move_dialog.h"
#include "ui/main/properties_dialog.h"
#include "ui/main/options_dialog.h"
#include "ui/main/result_grid_model.h"
#include "ui/main/share_bar_delegate.h"
#include "ui/tree/context_browser.h"
#include "ui/tree/server_starting_container_dialog.h"
#include "ui/twips.h"
#include "ui_frmMain.h"

#include <QCalendarWidget>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QMenu>
#include <QShortcut>
#include <QDate>
#include <QFileDialog>
#include <QRegularExpression>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QMessageBox>
#include <QRegularExpressionValidator>
#include <QScreen>
#include <QStyle>

namespace {

// Each entry, with its detail beside it when there is one ("JSMITH  John Smith").
void showChoices(QComboBox* box, const ChoiceList& choices) {
    const QSignalBlocker quiet(box);
    box->clear();
    for (qsizetype i = 0; i < choices.entries.size(); ++i) {
        const QString detail = choices.details.value(i);
        box->addItem(detail.isEmpty() ? choices.entries[i] : choices.entries[i] + QStringLiteral("  ") + detail,
                     choices.entries[i]);
    }
    box->setCurrentIndex(int(choices.entries.indexOf(choices.text)));
}

QString choiceText(const QComboBox* box) {
    if (box->currentIndex() < 0)
        return {};
    const QVariant entry = box->currentData();
    return entry.isValid() ? entry.toString() : box->currentText();
}

void showText(QLineEdit* box, const QString& text) {
    if (box->text() != text) {
        const QSignalBlocker quiet(box);
        box->setText(text);
    }
}

} // namespace

MainWindow::MainWindow(const Parts& parts, QWidget* parent)
    : QMainWindow(parent), m_ui(std::make_unique<Ui::frmMain>()),
      m_host(this, [this] { m_model->flush(); showView(); }),
      m_env{parts.app, parts.search, parts.run, parts.grid, parts.view, m_host, parts.client, parts.volumes},
      m_settings(parts.settings), m_desktop(parts.desktop), m_runDialog(parts.runDialog), m_logPath(parts.logPath),
      m_programPath(parts.programPath) {
    m_ui->setupUi(this);
    setWindowIcon(style()->standardIcon(QStyle::SP_DriveHDIcon));
    for (const char* caption : {"By Owner", "By Volume", "By Directory", "By File", "By Date"})
        m_ui->tabSearch->addTab(QString::fromLatin1(caption));
    m_model = new ResultGridModel(m_env.grid, this);
    m_ui->grdDirSizes->setModel(m_model);
    m_ui->grdDirSizes->setItemDelegate(new ShareBarDelegate(m_ui->grdDirSizes));
    m_ui->grdDirSizes->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    // The grid takes the room the window gains; the panel keeps its size.
    m_ui->mainLayout->setStretchFactor(m_ui->grdDirSizes, 1);
    m_ui->fraSpace->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Maximum);
    // Layouts set their columns as a run begins.
    m_columns = new GridColumns(m_env.grid, *m_ui->grdDirSizes);
    connect(m_model, &QAbstractItemModel::modelReset, this,
            [this] { m_ui->grdDirSizes->horizontalHeader()->setSortIndicatorShown(false); });
    m_directories = SearchInputs::showFoldersOnly(*m_ui->dirDirlist, *this);
    SearchInputs::acceptDigits(*m_ui->txtSearchSize, *m_ui->txtSelectedDate, *m_ui->txtEndDate, *this);
    // A pop-up: a click anywhere else closes it, as losing the focus does.
    m_calendar = new CalendarPopup(*this);
    m_host.showProgressOf(&m_env.run);
    m_browseTargets.setTarget(QStringLiteral("frmMain"), [this](const QString& path) {
        readPanel(); // what was typed or ticked stays
        m_env.search.lblStartContainer = path;
        showPanel();
    });
    connectPanel();
    showPanel();
    showView();
}

MainWindow::~MainWindow() = default;

void MainWindow::connectPanel() {
    Ui::frmMain& ui = *m_ui;
    connect(ui.tabSearch, &QTabBar::currentChanged, this, &MainWindow::tabSearch_Click);
    const std::pair<QRadioButton*, void (MainWindow::*)()> options[] = {
        {ui.optAllOwners, &MainWindow::optAllOwners_Click},       {ui.optSelectOwner, &MainWindow::optSelectOwner_Click},
        {ui.optGroup, &MainWindow::optGroup_Click},               {ui.optImmediateSubDirs, &MainWindow::optImmediateSubDirs_Click},
        {ui.optAllSubDirs, &MainWindow::optAllSubDirs_Click},     {ui.optFileType, &MainWindow::optFileType_Click},
        {ui.optFileSize, &MainWindow::optFileSize_Click},         {ui.optCreationDate, &MainWindow::optCreationDate_Click},
        {ui.optModifyDate, &MainWindow::optModifyDate_Click},     {ui.optAccessDate, &MainWindow::optAccessDate_Click}};
    for (const auto& [button, handler] : options)
        connect(button, &QRadioButton::clicked, this, handler);
    connect(ui.cmbDate, &QComboBox::activated, this, &MainWindow::cmbDate_Click);
    connect(ui.cmbSizeLimit, &QComboBox::activated, this, &MainWindow::cmbSizeLimit_Click);
    connect(ui.cmbServer, &QComboBox::activated, this, &MainWindow::cmbServer_Click);
    connect(ui.cmbVolumeList, &QComboBox::activated, this, &MainWindow::cmbVolumeList_Click);
    connect(ui.cmbServers, &QComboBox::activated, this, &MainWindow::cmbServers_Click);
    connect(ui.btnAdd, &QPushButton::clicked, this, &MainWindow::btnAdd_Click);
    // A double-click or Enter.
    connect(ui.lstAvailableVolumes, &QListWidget::itemActivated, this, &MainWindow::btnAdd_Click);
    connect(ui.btnAddAll, &QPushButton::clicked, this, &MainWindow::btnAddAll_Click);
    connect(ui.btnRemove, &QPushButton::clicked, this, &MainWindow::btnRemove_Click);
    connect(ui.btnRmvAll, &QPushButton::clicked, this, &MainWindow::btnRmvAll_Click);
    connect(ui.lstSelectedVolumes, &QListWidget::itemSelectionChanged, this, &MainWindow::lstSelectedVolumes_Click);
    connect(ui.lstSelectedVolumes, &QListWidget::itemDoubleClicked, this, &MainWindow::lstSelectedVolumes_DblClick);
    connect(ui.dirDirlist->selectionModel(), &QItemSelectionModel::currentChanged, this, &MainWindow::dirDirlist_Change);
    // Enter opens the chosen directory, as a double-click does.
    connect(ui.dirDirlist, &QAbstractItemView::activated, ui.dirDirlist,
            [view = ui.dirDirlist](const QModelIndex& index) { view->expand(index); });
    for (QLineEdit* box : {ui.txtFileType, ui.txtSearchSize, ui.txtSelectedDate, ui.txtEndDate})
        connect(box, &QLineEdit::textChanged, this, &MainWindow::panelText_Change);
    connect(ui.btnShowCalendar, &QPushButton::clicked, this, &MainWindow::btnShowCalendar_Click);
    connect(ui.btnEndDate, &QPushButton::clicked, this, &MainWindow::btnEndDate_Click);
    // Sorting is by double-click: a single click must not move the arrow off the real order.
    ui.grdDirSizes->horizontalHeader()->setSectionsClickable(false);
    connect(ui.grdDirSizes->horizontalHeader(), &QHeaderView::sectionDoubleClicked, this,
            &MainWindow::grdDirSizes_DblClick);
    connect(ui.grdDirSizes->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &MainWindow::grdDirSizes_SelectionChange);
    // A press on a row already chosen changes no selection, yet chooses it for a drill-down.
    connect(ui.grdDirSizes, &QAbstractItemView::pressed, this, &MainWindow::grdDirSizes_SelectionChange);
    connect(ui.Menu_Copy, &QAction::triggered, this, &MainWindow::Menu_Copy_Click);
    connect(ui.btnShowFiles, &QPushButton::clicked, this, &MainWindow::btnShowFiles_Click);
    // A right press, the Menu key or Shift+F10.
    ui.grdDirSizes->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(ui.grdDirSizes, &QWidget::customContextMenuRequested, this, &MainWindow::grdDirSizes_MouseDown);
    auto* shiftF10 = new QShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F10), ui.grdDirSizes, nullptr, nullptr,
                                   Qt::WidgetShortcut);
    connect(shiftF10, &QShortcut::activated, this, [this] {
        const QModelIndex current = m_ui->grdDirSizes->currentIndex();
        if (current.isValid())
            grdDirSizes_MouseDown(m_ui->grdDirSizes->visualRect(current).center());
    });
    connect(ui.btnShowUsage, &QPushButton::clicked, this, &MainWindow::btnShowUsage_Click);
    connect(ui.cmbCompareWith, &QComboBox::activated, this, &MainWindow::cmbCompareWith_Click);
    connectKeys();
    connect(ui.btnClose, &QPushButton::clicked, this, &MainWindow::btnClose_Click);
    connect(ui.Menu_Exit, &QAction::triggered, this, &MainWindow::btnClose_Click);
    connect(ui.Menu_Save_Results, &QAction::triggered, this, &MainWindow::Menu_Save_Results_Click);
    connect(ui.Menu_Options, &QAction::triggered, this, &MainWindow::Menu_Options_Click);
    connect(ui.Menu_History, &QAction::triggered, this, &MainWindow::Menu_History_Click);
    connect(ui.Menu_View_SizeTree, &QAction::triggered, this, &MainWindow::Menu_View_SizeTree_Click);
    connect(ui.Menu_View_Allocated, &QAction::toggled, this, &MainWindow::Menu_View_Allocated_Click);
    connect(ui.btnShowTree, &QPushButton::clicked, this, &MainWindow::btnShowTree_Click);
    connect(ui.btnServerList, &QPushButton::clicked, this, &MainWindow::btnServerList_Click);
    connect(ui.btnServerList2, &QPushButton::clicked, this, &MainWindow::btnServerList2_Click);
    connect(ui.Menu_Select_Server_Starting_Container, &QAction::triggered, this,
            &MainWindow::Menu_Select_Server_Starting_Container_Click);
    connect(ui.Menu_CommandLineRun, &QAction::triggered, this, &MainWindow::Menu_CommandLineRun_Click);
    connect(ui.Menu_Contents, &QAction::triggered, this, &MainWindow::Menu_Contents_Click);
    connect(ui.Menu_FAQs, &QAction::triggered, this, &MainWindow::Menu_FAQs_Click);
    connect(ui.Menu_Other_Tessaloom_Products, &QAction::triggered, this, &MainWindow::Menu_Other_Tessaloom_Products_Click);
    connect(ui.Menu_Contact, &QAction::triggered, this, &MainWindow::Menu_Contact_Click);
    connect(ui.Menu_Scripting_Message, &QAction::triggered, this, &MainWindow::Menu_Scripting_Message_Click);
    connect(ui.Menu_About, &QAction::triggered, this, &MainWindow::Menu_About_Click);
}

// What the keyboard does besides the controls' accelerators: Esc stops a
// run; Ctrl+Tab and Ctrl+PgDn go to the next tab, Ctrl+Shift+Tab and
// Ctrl+PgUp to the one before; the grid is one Tab stop, its rows reached
// with the arrows.
void MainWindow::connectKeys() {
    m_ui->grdDirSizes->setTabKeyNavigation(false);
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, this, [this] {
        if (m_env.run.inProgress || m_deleting)
            (m_env.view.btnShowFilesCaption == QLatin1String("Stop") ? m_ui->btnShowFiles : m_ui->btnShowUsage)->click();
    });
    const auto tabKeys = [this](std::initializer_list<QKeySequence> keys, int step) {
        for (const QKeySequence& key : keys) {
            auto* shortcut = new QShortcut(key, this);
            shortcut->setContext(Qt::WindowShortcut);
            connect(shortcut, &QShortcut::activated, this, [this, step] {
                QTabBar* tabs = m_ui->tabSearch;
                if (tabs->isEnabled())
                    tabs->setCurrentIndex((tabs->currentIndex() + step + tabs->count()) % tabs->count());
            });
        }
    };
    tabKeys({QKeySequence(Qt::CTRL | Qt::Key_Tab), QKeySequence(Qt::CTRL | Qt::Key_PageDown)}, 1);
    tabKeys({QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Backtab), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Tab),
             QKeySequence(Qt::CTRL | Qt::Key_PageUp)},
            -1);
    // The label under the tree reads out the directory it shows.
    m_ui->lblDirectory->setAccessibleName(QString());
}

// SearchSettings → widgets.
void MainWindow::showPanel() {
    m_showing = true;
    Ui::frmMain& ui = *m_ui;
    const SearchSettings& s = m_env.search;
    const int tab = int(s.tabSearch) - 1;
    ui.tabSearch->setCurrentIndex(tab);
    ui.stkSearch->setCurrentIndex(tab);
    ui.fraServerVol->setVisible(s.tabSearch != ReportKind::Volume);
    ui.dirDirlist->setEnabled(s.tabSearch != ReportKind::Owner);
    showChoices(ui.cmbServer, s.cmbServer);
    showChoices(ui.cmbServers, s.cmbServers);
    showChoices(ui.cmbVolumeList, s.cmbVolumeList);
    ui.lblDirectory->setText(s.lblDirectory);
    ui.optAllOwners->setChecked(s.ownerOption == OwnerOption::optAllOwners);
    ui.optSelectOwner->setChecked(s.ownerOption == OwnerOption::optSelectOwner);
    ui.optGroup->setChecked(s.ownerOption == OwnerOption::optGroup);
    ui.chkSubContainers->setChecked(s.chkSubContainers);
    ui.chkSubContainers->setEnabled(s.ownerOption == OwnerOption::optAllOwners);
    showChoices(ui.cmbSelectedOwner, s.cmbSelectedOwner);
    ui.cmbSelectedOwner->setEnabled(s.ownerOption == OwnerOption::optSelectOwner);
    showChoices(ui.cmbGroup, s.cmbGroup);
    ui.cmbGroup->setEnabled(s.ownerOption == OwnerOption::optGroup);
    ui.lblStartContainer->setText(s.lblStartContainer);
    // A long path is read in full from the tooltip.
    ui.lblStartContainer->setToolTip(s.lblStartContainer);
    ui.optImmediateSubDirs->setChecked(s.subDirOption != SubDirOption::optAllSubDirs);
    ui.optAllSubDirs->setChecked(s.subDirOption == SubDirOption::optAllSubDirs);
    ui.optFileType->setChecked(s.fileOption == FileOption::optFileType);
    ui.optFileSize->setChecked(s.fileOption == FileOption::optFileSize);
    showText(ui.txtFileType, s.txtFileType);
    ui.txtFileType->setEnabled(s.fileOption == FileOption::optFileType);
    showChoices(ui.cmbSizeLimit, s.cmbSizeLimit);
    ui.cmbSizeLimit->setEnabled(s.fileOption == FileOption::optFileSize);
    showText(ui.txtSearchSize, s.txtSearchSize);
    ui.txtSearchSize->setEnabled(s.fileOption == FileOption::optFileSize);
    ui.optCreationDate->setChecked(s.dateOption == DateOption::optCreationDate);
    ui.optModifyDate->setChecked(s.dateOption == DateOption::optModifyDate);
    ui.optAccessDate->setChecked(s.dateOption == DateOption::optAccessDate);
    showChoices(ui.cmbDate, s.cmbDate);
    showText(ui.txtSelectedDate, s.txtSelectedDate);
    showText(ui.txtEndDate, s.txtEndDate);
    const bool between = s.cmbDate.text == QLatin1String("Between");
    for (QWidget* end : {static_cast<QWidget*>(ui.lblAnd), static_cast<QWidget*>(ui.txtEndDate),
                         static_cast<QWidget*>(ui.btnEndDate)})
        end->setVisible(between);
    {
        const QSignalBlocker quiet(ui.lstSelectedVolumes);
        ui.lstSelectedVolumes->clear();
        ui.lstSelectedVolumes->addItems(s.lstSelectedVolumes);
    }
    ui.lstAvailableVolumes->clear();
    ui.lstAvailableVolumes->addItems(s.lstAvailableVolumes);
    showVolumeButtons();
    m_showing = false;
    subbtnShowUsageEnable();
}

// ResultsView and RunState → the labels, the button and the panel.
void MainWindow::showView() {
    const ResultsView& view = m_env.view;
    m_model->setFittingSizes(m_env.app.fittingSizes);
    m_ui->lblGraphStats->setText(view.lblGraphStats);
    m_ui->lblInfoLabel->setText(view.lblInfoLabel);
    m_ui->lblInformation->setText(NameBytes::shown(view.lblInformation));
    m_ui->lblInformation->setToolTip(NameBytes::shown(view.lblInformationTip));
    // "Stop" takes Alt+S, as "&Show Usage" did: the same key starts and stops.
    const auto caption = [](const QString& text) {
        return text == QLatin1String("Stop") ? QStringLiteral("&Stop") : text;
    };
    m_ui->btnShowUsage->setText(caption(view.btnShowUsageCaption));
    m_ui->btnShowFiles->setText(caption(view.btnShowFilesCaption));
    const QString stop = QStringLiteral("Stop");
    m_ui->btnShowFiles->setEnabled(view.controlsFrozen ? view.btnShowFilesCaption == stop : view.btnShowFilesEnabled);
    m_ui->Menu_Save_Results->setEnabled(m_env.grid.rows() > 1 && !view.controlsFrozen);
    m_ui->Menu_Copy->setEnabled(m_env.grid.rows() > 1 && !view.controlsFrozen);
    setPanelFrozen(view.controlsFrozen);
    if (!view.controlsFrozen)
        subbtnShowUsageEnable();
}

// While a run goes on everything but the Show Usage button ("Stop") waits.
void MainWindow::setPanelFrozen(bool frozen) {
    m_ui->fraSpace->setEnabled(!frozen);
    m_ui->btnClose->setEnabled(!frozen);
    m_ui->menubar->setEnabled(!frozen);
    // Only the button that started the run stays, as "Stop", with the focus:
    // Space stops the run as Esc and Alt+S do.
    if (!frozen)
        return;
    m_ui->btnShowUsage->setEnabled(m_env.view.btnShowUsageCaption == QLatin1String("Stop"));
    QPushButton* stop = m_ui->btnShowUsage->isEnabled() ? m_ui->btnShowUsage : m_ui->btnShowFiles;
    if (stop->isEnabled() && !stop->hasFocus())
        stop->setFocus();
}

// Widgets → SearchSettings: the texts a user typed.
void MainWindow::readPanel() {
    SearchSettings& s = m_env.search;
    s.txtFileType = m_ui->txtFileType->text();
    s.txtSearchSize = m_ui->txtSearchSize->text();
    s.txtSelectedDate = m_ui->txtSelectedDate->text();
    s.txtEndDate = m_ui->txtEndDate->text();
    s.chkSubContainers = m_ui->chkSubContainers->isChecked();
    s.cmbSelectedOwner.text = choiceText(m_ui->cmbSelectedOwner);
    s.cmbGroup.text = choiceText(m_ui->cmbGroup);
    s.cmbSizeLimit.text = choiceText(m_ui->cmbSizeLimit);
    s.cmbDate.text = choiceText(m_ui->cmbDate);
}

void MainWindow::subbtnShowUsageEnable() {
    if (m_showing || m_env.view.controlsFrozen)
        return;
    m_ui->btnShowUsage->setEnabled(m_env.search.subbtnShowUsageEnable());
}

void MainWindow::tabSearch_Click(int index) {
    if (m_showing || index < 0)
        return;
    readPanel();
    SearchSettings& search = m_env.search;
    search.tabSearch = ReportKind(index + 1);
    // The server box names a server: its volumes are there to choose from.
    if (search.tabSearch == ReportKind::Volume && search.lstAvailableVolumes.isEmpty() && !search.cmbServers.text.isEmpty())
        VolumeChoice::cmbServers_Click(m_env, search.cmbServers.text);
    showPanel();
}

void MainWindow::optAllOwners_Click() {
    readPanel();
    m_env.search.ownerOption = OwnerOption::optAllOwners;
    showPanel();
}

void MainWindow::optSelectOwner_Click() {
    readPanel();
    m_env.search.ownerOption = OwnerOption::optSelectOwner;
    subListUsers(m_env, m_env.search.lblStartContainer, m_env.search.cmbSelectedOwner);
    subAddFullNames(m_env, m_env.search.cmbSelectedOwner);
    showPanel();
}

void MainWindow::optGroup_Click() {
    readPanel();
    m_env.search.ownerOption = OwnerOption::optGroup;
    subListGroups(m_env, m_env.search.lblStartContainer, m_env.search.cmbGroup);
    showPanel();
}

void MainWindow::optImmediateSubDirs_Click() {
    m_env.search.subDirOption = SubDirOption::optImmediateSubDirs;
}

void MainWindow::optAllSubDirs_Click() {
    m_env.search.subDirOption = SubDirOption::optAllSubDirs;
}

void MainWindow::optFileType_Click() {
    readPanel();
    m_env.search.fileOption = FileOption::optFileType;
    showPanel();
}

void MainWindow::optFileSize_Click() {
    readPanel();
    m_env.search.fileOption = FileOption::optFileSize;
    showPanel();
}

void MainWindow::optCreationDate_Click() {
    m_env.search.dateOption = DateOption::optCreationDate;
}

void MainWindow::optModifyDate_Click() {
    m_env.search.dateOption = DateOption::optModifyDate;
}

void MainWindow::optAccessDate_Click() {
    m_env.search.dateOption = DateOption::optAccessDate;
}

void MainWindow::cmbDate_Click() {
    readPanel();
    showPanel();
}

void MainWindow::cmbSizeLimit_Click() {
    const QString comparison = choiceText(m_ui->cmbSizeLimit);
    m_env.search.cmbSizeLimit.text = comparison;
    m_ui->cmbSizeLimit->setToolTip(comparison == QLatin1String("<")   ? QStringLiteral("Less Than")
                                   : comparison == QLatin1String(">") ? QStringLiteral("Greater Than")
                                                                      : QStringLiteral("Equal to"));
}

void MainWindow::chooseServer(const QString& server) {
    SearchSettings& s = m_env.search;
    m_host.setBusy(true);
    s.cmbServer.text = server;
    if (s.cmbServers.text != server && s.cmbServers.findUpper(server.toUpper()) >= 0)
        s.cmbServers.text = server;
    s.cmbVolumeList = {};
    subListServerVolumes(m_env, server, QStringLiteral("frmMain"), 1);
    showPanel();
    if (!s.cmbVolumeList.isEmpty())
        chooseVolume(s.cmbVolumeList.entries.first());
    m_host.setBusy(false);
}

void MainWindow::chooseVolume(const QString& volume) {
    SearchSettings& s = m_env.search;
    if (s.cmbVolumeList.findUpper(volume.toUpper()) < 0)
        return;
    s.cmbVolumeList.text = volume;
    m_ui->cmbVolumeList->setCurrentText(volume);
    showVolumeDirectories();
}

void MainWindow::cmbServer_Click() {
    readPanel();
    chooseServer(choiceText(m_ui->cmbServer));
}

void MainWindow::cmbServers_Click() {
    VolumeChoice::cmbServers_Click(m_env, choiceText(m_ui->cmbServers));
    showPanel();
}

void MainWindow::btnAdd_Click() {
    QStringList chosen;
    for (int row = 0; row < m_ui->lstAvailableVolumes->count(); ++row) {
        if (m_ui->lstAvailableVolumes->item(row)->isSelected())
            chosen.append(m_ui->lstAvailableVolumes->item(row)->text());
    }
    VolumeChoice::subAddVolumeToSelectedList(m_env.search, chosen);
    showPanel();
}

void MainWindow::btnAddAll_Click() {
    VolumeChoice::subAddVolumeToSelectedList(m_env.search, m_env.search.lstAvailableVolumes);
    showPanel(); // shown afresh: nothing stays selected
}

void MainWindow::btnRemove_Click() {
    QList<int> chosen;
    for (const QListWidgetItem* item : m_ui->lstSelectedVolumes->selectedItems())
        chosen.append(m_ui->lstSelectedVolumes->row(item));
    VolumeChoice::removeSelected(m_env.search, chosen);
    showPanel();
}

void MainWindow::btnRmvAll_Click() {
    m_env.search.lstSelectedVolumes.clear();
    showPanel();
}

void MainWindow::lstSelectedVolumes_Click() {
    showVolumeButtons();
}

void MainWindow::lstSelectedVolumes_DblClick() {
    const int current = m_ui->lstSelectedVolumes->currentRow();
    VolumeChoice::removeSelected(m_env.search, {current});
    showPanel();
    if (current >= 0 && current < m_ui->lstSelectedVolumes->count())
        m_ui->lstSelectedVolumes->setCurrentRow(current);
}

// "< Remove" needs a chosen entry, "<< All" any entry.
void MainWindow::showVolumeButtons() {
    const bool any = !m_env.search.lstSelectedVolumes.isEmpty();
    m_ui->btnRmvAll->setEnabled(any);
    m_ui->btnRemove->setEnabled(any && !m_ui->lstSelectedVolumes->selectedItems().isEmpty());
}

void MainWindow::cmbVolumeList_Click() {
    readPanel();
    chooseVolume(choiceText(m_ui->cmbVolumeList));
}

// The chosen volume's top directories in dirDirlist, listed as they are opened.
void MainWindow::showVolumeDirectories() {
    SearchSettings& s = m_env.search;
    const QString volumePath = QStringLiteral("\\\\") + s.cmbServer.text + QLatin1Char('\\') + s.cmbVolumeList.text;
    const VolumeView::Resolved root = m_env.volumes.resolve(volumePath);
    const VolumeView::Opened opened = root.ok() ? m_env.volumes.openDirectory(volumePath) : VolumeView::Opened();
    if (!root.ok() || !opened.ok()) {
        // The reason under the general words: not mounted, no such folder, permission denied.
        const QString why = root.ok() ? opened.error : root.error;
        m_host.message(QStringLiteral("Unable to access Volume.  Volume may be unavailable, or you may not have rights.") +
                       (why.isEmpty() ? QString() : QStringLiteral("\n\n") + why + QLatin1Char('.')));
        return;
    }
    m_volumeRoot = QFile::decodeName(root.path);
    m_ui->dirDirlist->setRootIndex(m_directories->setRootPath(m_volumeRoot));
    s.lblDirectory = root.display;
    m_ui->lblDirectory->setText(s.lblDirectory);
    subbtnShowUsageEnable();
}

void MainWindow::dirDirlist_Change() {
    const QModelIndex current = m_ui->dirDirlist->currentIndex();
    if (!current.isValid() || m_volumeRoot.isEmpty())
        return;
    const QString relative = QDir(m_volumeRoot).relativeFilePath(m_directories->filePath(current));
    SearchSettings& s = m_env.search;
    QString path = QStringLiteral("\\\\") + s.cmbServer.text + QLatin1Char('\\') + s.cmbVolumeList.text;
    if (!relative.isEmpty() && relative != QLatin1String("."))
        path += QLatin1Char('\\') + QString(relative).replace(QLatin1Char('/'), QLatin1Char('\\'));
    s.lblDirectory = path;
    m_ui->lblDirectory->setText(path);
}

void MainWindow::panelText_Change() {
    if (m_showing)
        return;
    readPanel();
    subbtnShowUsageEnable();
}

void MainWindow::btnShowCalendar_Click() {
    m_calendar->open(m_ui->btnShowCalendar, m_ui->txtSelectedDate);
}

void MainWindow::btnEndDate_Click() {
    m_calendar->open(m_ui->btnEndDate, m_ui->txtEndDate);
}

void MainWindow::btnShowUsage_Click() {
    const bool starting = !m_env.view.controlsFrozen;
    if (starting)
        readPanel();
    if (starting && m_env.search.tabSearch == ReportKind::Directory) {
        m_sizeTree = std::make_shared<SizeTree>();
        m_env.sizeTree = m_sizeTree.get();
        if (m_sizeTreeWindow && m_sizeTreeWindow->isVisible())
            m_env.sizeTreeGrew = [this] { m_sizeTreeWindow->showGrowing(std::make_shared<SizeTree>(*m_sizeTree)); };
    }
    ::btnShowUsage_Click(m_env);
    // Only this run fills it: a later drill-down walks without touching a tree on show.
    m_env.sizeTree = nullptr;
    m_env.sizeTreeGrew = nullptr;
    if (!starting)
        return; // Stop: the running call ends the run
    m_gridShowsTree = m_env.search.tabSearch == ReportKind::Directory;
    keepRun();
    showRunEnd();
    fillCompareChoices();
    if (m_sizeTreeWindow && m_sizeTreeWindow->isVisible() && m_env.search.tabSearch == ReportKind::Directory)
        m_sizeTreeWindow->showTree(m_sizeTree);
}

// The earlier runs of the same report of the same place, newest first.
void MainWindow::fillCompareChoices() {
    if (m_env.app.historyLocation.isEmpty() || m_env.run.cancelled() || !fcnRunFailure(m_env).isEmpty())
        return;
    HistoryStore store(m_env.app.historyLocation);
    RunFilter filter = RunRecording::comparableRuns(m_env);
    filter.startedBefore = m_runStarted;
    filter.limit = 200;
    QString error;
    const std::optional<QList<StoredRun>> runs = store.runs(filter, error);
    if (!runs) {
        m_env.host.setStatus(fcnRunOutcome(m_env) + QStringLiteral(" Earlier runs cannot be listed: %1.").arg(error));
        return;
    }
    for (const StoredRun& run : *runs)
        m_ui->cmbCompareWith->addItem(
            QStringLiteral("%1 (%2)")
                .arg(QLocale().toString(run.started.toLocalTime(), QLocale::ShortFormat),
                     CellFormat::counted(std::uint64_t(run.rows), "row", "rows")),
            run.id);
}

// Growth since the chosen run as two more columns; "(none)" takes them away.
void MainWindow::cmbCompareWith_Click(int index) {
    GridComparison::remove(m_env.grid);
    if (const qint64 id = m_ui->cmbCompareWith->itemData(index).toLongLong(); id > 0) {
        HistoryStore store(m_env.app.historyLocation);
        QString error;
        if (const std::optional<QList<StoredRow>> rows = store.rows(id, error))
            GridComparison::compare(m_env.grid, *rows);
        else
            m_env.host.message(error.at(0).toUpper() + error.mid(1));
    }
    m_model->flush();
    m_columns->refit();
    showView();
}

// A whole run goes into the history; the status says when it could not.
void MainWindow::keepRun() {
    const QString outcome = fcnRunOutcome(m_env);
    const StoredRun run = RunRecording::runOf(m_env, outcome);
    m_runStarted = run.started; // the earlier runs are those begun before it
    if (!m_env.app.keepHistory || m_env.app.historyLocation.isEmpty() || m_env.run.cancelled() ||
        !fcnRunFailure(m_env).isEmpty())
        return;
    if (const QString error = RunRecording::keep(m_env, run); !error.isEmpty())
        m_env.host.setStatus(outcome + QStringLiteral(" Not recorded: %1.").arg(error));
}

// The rows, columns and captions a run or drill-down ended with.
void MainWindow::showRunEnd() {
    // A new run or a drill-down is compared with nothing yet.
    m_ui->cmbCompareWith->clear();
    m_ui->cmbCompareWith->addItem(QStringLiteral("(none)"), qint64(0));
    m_model->flush();
    m_columns->refit();
    showView();
    if (m_closeAfterRun)
        close();
}

// The rows move in the grid itself, so a later save or copy sees them sorted.
void MainWindow::grdDirSizes_DblClick(int col) {
    if (m_env.view.controlsFrozen || m_env.grid.rows() <= 1)
        return;
    const bool descending = ::grdDirSizes_DblClick(m_env.grid, m_env.view, col);
    QHeaderView* header = m_ui->grdDirSizes->horizontalHeader();
    header->setSortIndicatorShown(true);
    header->setSortIndicator(col, descending ? Qt::DescendingOrder : Qt::AscendingOrder);
    showView();
}

// The grid's cursor row and selection end follow the view's selection.
void MainWindow::grdDirSizes_SelectionChange() {
    const QModelIndexList rows = m_ui->grdDirSizes->selectionModel()->selectedRows();
    if (rows.isEmpty())
        return;
    int low = rows.first().row();
    int high = low;
    for (const QModelIndex& index : rows) {
        low = std::min(low, index.row());
        high = std::max(high, index.row());
    }
    const int current = m_ui->grdDirSizes->currentIndex().row();
    // Grid rows count the heading row.
    m_env.grid.Row = (current == high ? high : low) + 1;
    m_env.grid.RowSel = (current == high ? low : high) + 1;
    // Ctrl+click highlights rows that are not one range: those, and only
    // those, are what a delete, a move or a copy acts on.
    m_env.grid.selectedRows.clear();
    for (const QModelIndex& index : rows)
        m_env.grid.selectedRows.append(index.row() + 1);
    std::sort(m_env.grid.selectedRows.begin(), m_env.grid.selectedRows.end());
    if (m_env.run.inProgress)
        return;
    // Drilling down is for owner, volume and directory rows.
    m_env.view.btnShowFilesEnabled = m_env.grid.fcnFindColumn(QStringLiteral("File")) == ResultGrid::kNotFound;
    showView();
}

void MainWindow::btnShowFiles_Click() {
    const bool starting = !m_env.view.controlsFrozen;
    if (starting && m_env.grid.Row >= 1)
        m_gridShowsTree = false; // the drill-down's rows take the grid
    ::btnShowFiles_Click(m_env);
    if (starting)
        showRunEnd(); // else Stop: the running drill-down ends it
}

// The pop-up menu for the selection, its entries read from the headings.
void MainWindow::grdDirSizes_MouseDown(const QPoint& at) {
    QTableView* view = m_ui->grdDirSizes;
    QModelIndex pressed = view->indexAt(at);
    if (!pressed.isValid())
        pressed = view->currentIndex(); // from the keyboard: the cursor row
    if (!pressed.isValid() || m_env.grid.rows() <= 1 || m_env.run.inProgress || m_env.view.controlsFrozen)
        return;
    if (!view->selectionModel()->isRowSelected(pressed.row(), {}))
        view->selectRow(pressed.row()); // a press inside a selection keeps it
    grdDirSizes_SelectionChange();
    m_env.view.btnShowFilesEnabled = m_env.grid.fcnFindColumn(QStringLiteral("File")) == ResultGrid::kNotFound;
    showView();
    QMenu menu(QStringLiteral("Popup List"), this);
    menu.setObjectName(QStringLiteral("Menu_PopUp_List"));
    addPopupEntries(menu, PopupEntries::of(m_env.grid));
    const QPoint global = view->viewport()->mapToGlobal(at);
    if (m_runPopup)
        m_runPopup(menu, global);
    else
        menu.exec(global);
}

void MainWindow::addPopupEntries(QMenu& menu, const PopupEntries& entries) {
    const auto entry = [&menu](const QString& name, const QString& caption, bool shown) {
        QAction* action = menu.addAction(caption);
        action->setObjectName(name);
        action->setVisible(shown);
        return action;
    };
    QMenu* user = menu.addMenu(QStringLiteral("User Information"));
    user->menuAction()->setObjectName(QStringLiteral("Menu_Popup_UserInfo"));
    user->menuAction()->setVisible(entries.userInformation);
    if (entries.userInformation) {
        const QString owner = m_env.grid.cell(m_env.grid.Row, entries.ownerCol);
        user->addAction(fcnFullNameCaption(fcnGetFullName(m_env, fcnOwnerDottedName(m_env.app, owner))))->setObjectName(QStringLiteral("Menu_PopUp_FullName"));
    }
    const int directoryCol = entries.directoryCol;
    const int fileCol = entries.fileCol;
    connect(entry(QStringLiteral("Menu_Popup_Move"), entries.moveCaption, entries.move), &QAction::triggered, this,
            &MainWindow::Menu_Popup_Move_Click);
    connect(entry(QStringLiteral("Menu_Popup_Explore"), QStringLiteral("Explore Directory"), entries.explore),
            &QAction::triggered, this, [this, directoryCol] { Menu_Popup_Explore_Click(directoryCol); });
    connect(entry(QStringLiteral("Menu_Popup_Delete"), entries.deleteCaption, entries.deleteFiles),
            &QAction::triggered, this, [this, directoryCol, fileCol] { Menu_Popup_Delete_Click(directoryCol, fileCol); });
    menu.addSeparator()->setVisible(entries.separator);
    connect(entry(QStringLiteral("Menu_Popup_Properties"), QStringLiteral("Properties"), entries.properties),
            &QAction::triggered, this, &MainWindow::Menu_Popup_Properties_Click);
    // One row's figure across the kept runs of this report.
    const bool oneRow = m_env.grid.Row >= 1 && m_env.grid.Row == m_env.grid.RowSel;
    connect(entry(QStringLiteral("Menu_Popup_ShowHistory"), QStringLiteral("Show History"),
                  oneRow && !m_env.app.historyLocation.isEmpty()),
            &QAction::triggered, this, &MainWindow::Menu_Popup_ShowHistory_Click);
    menu.addSeparator();
    entry(QStringLiteral("Menu_Cancel"), QStringLiteral("Cancel"), true);
}

// The row's folder in the desktop's file manager.
void MainWindow::Menu_Popup_Explore_Click(int directoryCol) {
    exploreFolder(m_env.grid.cell(m_env.grid.Row, directoryCol));
}

// A folder named by its volume path, in the desktop's file manager.
void MainWindow::exploreFolder(const QString& directory) {
    const VolumeView::Resolved folder = m_env.volumes.resolve(directory);
    if (!folder.ok()) {
        m_host.message(QStringLiteral("Unable to explore %1: %2").arg(directory, folder.error));
        return;
    }
    const QString local = QFile::decodeName(folder.path);
    if (!m_desktop.openUrl(QUrl::fromLocalFile(local)))
        m_host.message(QStringLiteral("No file manager could be started to show %1. Opening folders needs xdg-open "
                                      "(package xdg-utils) and a desktop file manager.")
                           .arg(local));
}

QString MainWindow::logPath() const {
    return m_logPath.isEmpty() ? OperationsLog::pathFor(QCoreApplication::applicationDirPath()) : m_logPath;
}

void MainWindow::Menu_Popup_Move_Click() {
    moveRows(m_env);
    showGridSelection();
}

void MainWindow::moveRows(ReportEnv& env) {
    MoveDialog move(env, logPath(), this);
    if (!m_lastMoveDestination.isEmpty())
        move.chooseDestination(m_lastMoveDestination);
    m_runDialog(move);
    if (move.result() == QDialog::Accepted)
        m_lastMoveDestination = move.destination();
}

// The rows a delete or move left chosen (those it could not act on) stay highlighted.
void MainWindow::showGridSelection() {
    QTableView* view = m_ui->grdDirSizes;
    QItemSelection rows;
    for (const qsizetype row : m_env.grid.selectedRows) {
        const QModelIndex index = m_model->index(int(row - 1), 0);
        rows.select(index, index);
    }
    view->selectionModel()->select(rows, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    if (!rows.isEmpty())
        view->selectionModel()->setCurrentIndex(m_model->index(int(m_env.grid.Row - 1), 0), QItemSelectionModel::NoUpdate);
    showView();
}

// The volume, else the file, else the folder of the cursor row.
void MainWindow::Menu_Popup_Properties_Click() {
    const ResultGrid& grid = m_env.grid;
    const int volume = grid.fcnFindColumn(QStringLiteral("Volume"));
    const int file = grid.fcnFindColumn(QStringLiteral("File"));
    const int directory = grid.fcnFindColumn(QStringLiteral("Directory"));
    QString path = grid.cell(grid.Row, volume != ResultGrid::kNotFound ? volume : directory);
    if (volume == ResultGrid::kNotFound && file != ResultGrid::kNotFound) {
        if (!path.endsWith(QLatin1Char('\\')))
            path += QLatin1Char('\\');
        path += grid.cell(grid.Row, file);
    }
    showProperties(path, volume != ResultGrid::kNotFound);
}

void MainWindow::showProperties(const QString& path, bool ofVolume) {
    m_host.setBusy(true);
    const QList<QPair<QString, QString>> rows = ItemProperties::of(m_env, path, ofVolume);
    m_host.setBusy(false);
    PropertiesDialog properties(path, rows, this);
    m_runDialog(properties);
}

// The files go off the window's thread; meanwhile the window waits, but for
// Show Usage as "Stop" (Alt+S, Esc), which ends the delete before the next file.
void MainWindow::Menu_Popup_Delete_Click(int directoryCol, int fileCol) {
    deleteRows(m_env, directoryCol, fileCol);
    showGridSelection();
    if (m_closeAfterRun)
        close();
}

void MainWindow::deleteRows(ReportEnv& env, int directoryCol, int fileCol) {
    OperationsLog log(logPath());
    ResultsView& view = m_env.view;
    const QString caption = view.btnShowUsageCaption;
    const bool cancelled = m_env.run.cancel;
    m_env.run.cancel = false;
    // Frozen once the question is answered: while it is asked, nothing can be stopped.
    const auto freeze = [&] {
        view.btnShowUsageCaption = QStringLiteral("Stop");
        view.controlsFrozen = true;
        m_deleting = true;
        showView();
    };
    ::Menu_Popup_Delete_Click(env, directoryCol, fileCol, log, {&m_env.run.cancel, {}, freeze});
    m_deleting = false;
    m_env.run.cancel = cancelled; // the last run's, as its outcome said
    view.controlsFrozen = false;
    view.btnShowUsageCaption = caption;
    m_host.setBusy(false);
}

// Nothing acts on the tree's files while a run or another act is under way.
bool MainWindow::treeActsAllowed() {
    return !m_env.run.inProgress && !m_env.view.controlsFrozen && m_sizeTree->size() > 0;
}

// The tree's files, as the rows of a File listing would list them, go
// through the grid's own delete; those deleted leave the tree and the rows.
void MainWindow::Menu_Tree_Delete_Click(const std::vector<SizeTree::Index>& files) {
    if (!treeActsAllowed())
        return;
    TreeFileRows rows(*m_sizeTree, files);
    ReportEnv env = rows.env(m_env);
    deleteRows(env, rows.directoryCol(), rows.fileCol());
    takeOutOfTree(rows.done());
    if (m_closeAfterRun)
        close();
}

void MainWindow::Menu_Tree_Move_Click(const std::vector<SizeTree::Index>& files) {
    if (!treeActsAllowed())
        return;
    TreeFileRows rows(*m_sizeTree, files);
    ReportEnv env = rows.env(m_env);
    moveRows(env);
    takeOutOfTree(rows.done());
    if (!rows.done().empty() && movedWithinTree(m_lastMoveDestination))
        m_host.setStatus(QStringLiteral("The files moved to %1 are counted there after the next run.")
                             .arg(m_lastMoveDestination));
}

// Whether a destination (a volume path or a local one) lies below the
// tree's start: files moved there are still in the walked tree, but only a
// new run counts them in their new folder.
bool MainWindow::movedWithinTree(const QString& destination) const {
    const auto local = [this](const QString& path) {
        const bool volumePath = path.startsWith(QLatin1String("\\\\"));
        const QByteArray bytes = volumePath ? m_env.volumes.resolve(path).path : QFile::encodeName(path);
        return QDir::cleanPath(QFile::decodeName(bytes)) + QLatin1Char('/');
    };
    const QString start = local(NameBytes::decode(m_sizeTree->path(0, '\\')));
    return start.size() > 1 && local(destination).startsWith(start);
}

// A new tree without the files, so a treemap still drawing the old one
// keeps it whole; the Directory run's rows lose what they counted of them.
void MainWindow::takeOutOfTree(const std::vector<SizeTree::Index>& gone) {
    if (gone.empty())
        return;
    auto tree = std::make_shared<SizeTree>(*m_sizeTree);
    tree->removeFiles(gone);
    if (m_gridShowsTree) {
        DirectoryRowsRemoval(m_env, *tree).take(gone);
        // The growth since the chosen run, of the figures as they are now.
        if (const int compared = m_ui->cmbCompareWith->currentIndex(); compared > 0)
            cmbCompareWith_Click(compared);
        showView();
    }
    m_sizeTree = tree;
    if (m_sizeTreeWindow)
        m_sizeTreeWindow->updateTree(m_sizeTree);
}

void MainWindow::Menu_Copy_Click() {
    CopyDialog copy(m_env.app, m_env.grid, this);
    m_runDialog(copy);
}

void MainWindow::btnClose_Click() {
    close();
}

// "directory-FS1-VOL1-2026-12-08.csv": the report, its place and the day.
QString MainWindow::suggestedSaveName() const {
    const SearchSettings& s = m_env.search;
    QStringList parts{m_env.run.resultsKind.toLower()};
    if (s.tabSearch != ReportKind::Volume)
        parts << s.cmbServer.text << s.cmbVolumeList.text;
    parts << QDate::currentDate().toString(Qt::ISODate);
    parts.removeAll(QString());
    static const QRegularExpression unsafe(QStringLiteral("[/\\\\:*?\"<>| ]"));
    return parts.join(QLatin1Char('-')).replace(unsafe, QStringLiteral("_")) + QStringLiteral(".csv");
}

void MainWindow::Menu_Save_Results_Click() {
    const QString title = QStringLiteral("Save Results");
    const QString csv = QStringLiteral("CSV Files (*.csv)");
    const QString filter = csv + QStringLiteral(";;All Files (*)");
    // Where the last results went, else the home folder: not the program's folder.
    const QString folder = m_lastSaveFolder.isEmpty() ? QDir::homePath() : m_lastSaveFolder;
    const QString suggested = QDir(folder).filePath(suggestedSaveName());
    QString chosenFilter = csv;
    QString path = m_chooseSavePath ? m_chooseSavePath(title, filter, suggested)
                                    : QFileDialog::getSaveFileName(this, title, suggested, filter, &chosenFilter);
    // A name typed without an extension gets the chosen filter's; the
    // dialog asked about replacing the name typed, so a file of the name
    // made here is asked about now.
    if (!path.isEmpty() && QFileInfo(path).suffix().isEmpty() && chosenFilter == csv) {
        path += QStringLiteral(".csv");
        if (QFileInfo::exists(path) &&
            !m_host.ask(QStringLiteral("%1 already exists.\nDo you want to replace it?").arg(QFileInfo(path).fileName()),
                        title))
            path.clear();
    }
    if (path.isEmpty()) {
        m_host.setStatus(QStringLiteral("Save Cancelled"));
        return;
    }
    m_lastSaveFolder = QFileInfo(path).absolutePath();
    ResultsFile::subSaveResultsFile(m_env.grid, path, m_env.app.saveFileDelimiter, m_host);
}

void MainWindow::Menu_View_SizeTree_Click() {
    openSizeTreeWindow().showTree(m_sizeTree);
}

// The size tree window, made the first time, shown and raised.
SizeTreeWindow& MainWindow::openSizeTreeWindow() {
    if (!m_sizeTreeWindow)
    {
        m_sizeTreeWindow = new SizeTreeWindow(this);
        connect(m_sizeTreeWindow, &SizeTreeWindow::exploreRequested, this, &MainWindow::exploreFolder);
        connect(m_sizeTreeWindow, &SizeTreeWindow::propertiesRequested, this,
                [this](const QString& path) { showProperties(path, false); });
        connect(m_sizeTreeWindow, &SizeTreeWindow::deleteRequested, this, &MainWindow::Menu_Tree_Delete_Click);
        connect(m_sizeTreeWindow, &SizeTreeWindow::moveRequested, this, &MainWindow::Menu_Tree_Move_Click);
    }
    m_sizeTreeWindow->setAllocated(m_env.search.allocatedSizes);
    m_sizeTreeWindow->show();
    m_sizeTreeWindow->raise();
    return *m_sizeTreeWindow;
}

// Show Size Tree in the history window closes it on a kept run's tree.
void MainWindow::showChosenTree(const HistoryWindow& history) {
    if (history.chosenTree())
        openSizeTreeWindow().showKept(history.chosenTree(), history.chosenTreeTitle(), history.chosenTreeTitle(),
                                      QStringLiteral("Kept run: %1 (folders only)").arg(history.chosenTreeTitle()));
}

// Directory, File and Owner runs from now on give the blocks taken; the
// size tree switches at once.
void MainWindow::Menu_View_Allocated_Click(bool allocated) {
    m_env.search.allocatedSizes = allocated;
    if (m_sizeTreeWindow)
        m_sizeTreeWindow->setAllocated(allocated);
    m_host.setStatus(allocated ? QStringLiteral("Runs from now on show the space the files take on the disk.")
                               : QStringLiteral("Runs from now on show the files' lengths."));
}

void MainWindow::Menu_History_Click() {
    HistoryWindow history(m_env.app.historyLocation, m_host, this);
    history.setSavePathChooser(m_chooseSavePath);
    m_runDialog(history);
    showChosenTree(history);
}

void MainWindow::Menu_Popup_ShowHistory_Click() {
    const RunFilter like = RunRecording::comparableRuns(m_env);
    const QString key = RunRecording::RowKeys(m_env.grid).of(m_env.grid.Row);
    HistoryWindow history(m_env.app.historyLocation, m_host, this);
    history.setSavePathChooser(m_chooseSavePath);
    history.showRow(like.kind, like.place, like.options, key);
    m_runDialog(history);
    showChosenTree(history);
}

void MainWindow::Menu_Options_Click() {
    OptionsDialog options(m_env.app, m_settings, m_host, this);
    m_runDialog(options);
    showView(); // the sizes' units may have changed
}

TreeWindowParts MainWindow::treeParts() {
    return {m_env, m_settings, m_browseTargets, m_runDialog};
}

// The Owner tab's starting container from the tree; the owner or group
// list shown follows it.
void MainWindow::btnShowTree_Click() {
    m_host.setBusy(true);
    m_env.app.strBrowseCaller = QStringLiteral("frmMain");
    ContextBrowser browser(m_env.client, m_host, ContextBrowser::forContainer(m_env.app, m_browseTargets), this);
    m_runDialog(browser);
    m_host.setBusy(true);
    SearchSettings& s = m_env.search;
    if (!s.lblStartContainer.isEmpty()) {
        readPanel();
        if (s.ownerOption == OwnerOption::optSelectOwner) {
            subListUsers(m_env, s.lblStartContainer, s.cmbSelectedOwner);
            subAddFullNames(m_env, s.cmbSelectedOwner);
        } else if (s.ownerOption == OwnerOption::optGroup)
            subListGroups(m_env, s.lblStartContainer, s.cmbGroup);
        showPanel();
    }
    m_host.setBusy(false);
}

bool MainWindow::openServerStartingContainer() {
    ServerStartingContainerDialog starting(treeParts(), [this] { showServerLists(); }, this);
    if (!isVisible()) {
        // At start, before this window has its place: the middle of the screen.
        starting.adjustSize();
        QRect place(QPoint(), starting.size());
        place.moveCenter(screen()->availableGeometry().center());
        starting.move(place.topLeft());
    }
    m_runDialog(starting);
    return !starting.endsProgram();
}

// Rebuilt server lists: the server shown before stays chosen when it is
// still listed, else the first one is.
void MainWindow::showServerLists() {
    const QString shown = m_ui->cmbServer->currentText();
    readPanel();
    showPanel();
    const SearchSettings& s = m_env.search;
    if (!s.cmbServer.text.isEmpty() || s.cmbServer.isEmpty())
        return;
    const qsizetype at = s.cmbServer.findUpper(shown.toUpper());
    chooseServer(s.cmbServer.entries[at >= 0 ? at : 0]);
}

void MainWindow::btnServerList_Click() {
    if (!openServerStartingContainer())
        close();
}

void MainWindow::btnServerList2_Click() {
    btnServerList_Click();
}

void MainWindow::Menu_Select_Server_Starting_Container_Click() {
    btnServerList_Click();
}

// A copy of the panel's choices, typed texts included, to write into a script.
void MainWindow::Menu_CommandLineRun_Click() {
    readPanel();
    CommandLineRunDialog builder({m_env, m_browseTargets, m_runDialog, m_programPath}, m_env.search, this);
    m_runDialog(builder);
}

void MainWindow::Menu_Contents_Click() {
    if (!m_help)
        m_help = new HelpWindow(this);
    m_help->show();
    m_help->raise();
}

void MainWindow::Menu_FAQs_Click() {
    m_desktop.openUrl(QUrl(MakerAddresses::faqs()));
}

void MainWindow::Menu_Other_Tessaloom_Products_Click() {
    m_desktop.openUrl(QUrl(MakerAddresses::otherProducts()));
}

void MainWindow::Menu_Contact_Click() {
    m_desktop.openUrl(QUrl(MakerAddresses::supportMail()));
}

void MainWindow::Menu_Scripting_Message_Click() {
    ScriptNotice notice(m_settings, m_desktop, this);
    m_runDialog(notice);
}

void MainWindow::Menu_About_Click() {
    AboutBox about(m_env.app.debugMode, m_desktop, m_host, this);
    m_runDialog(about);
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (m_env.run.inProgress || m_deleting) {
        // The run ends first; the window closes when it has.
        m_env.run.cancel = true;
        m_closeAfterRun = true;
        event->ignore();
        return;
    }
    event->accept();
}
