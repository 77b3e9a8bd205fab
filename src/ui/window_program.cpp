#include "ui/window_program.h"

#include "history/history_location.h"

#include "netware/client/site_file.h"
#include "netware/client/site_loader.h"
#include "netware/directory_queries.h"
#include "reports/cell_format.h"
#include "reports/grid_layouts.h"
#include "ui/auxiliary/desktop.h"
#include "ui/auxiliary/script_notice.h"
#include "ui/auxiliary/splash_window.h"
#include "ui/main/main_window.h"
#include "ui/twips.h"

#include <QApplication>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QMessageBox>
#include <QScreen>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QTableView>

#include <cstdio>

namespace {

// The window's designed size, and the least it may shrink to, in twips.
constexpr int kDesignedHeight = 7830;
constexpr int kDesignedWidth = 7110;
constexpr int kLeastHeight = 7785;
// Result rows a first start shows, where the screen has room for them.
constexpr int kFirstStartRows = 20;
constexpr int kFirstStartMostWidth = 1400; // pixels

// A hundred inches either way: more than any screen, and far from overflowing.
constexpr int kMostTwips = 144000;

int twipsValue(const QString& text, int otherwise) {
    bool ok = false;
    const int value = text.toInt(&ok);
    return ok ? std::clamp(value, -kMostTwips, kMostTwips) : otherwise;
}

// The stored place, unless it lies off every screen (a monitor gone, an
// edited file): then as near it as this screen's free area allows.
QPoint onScreen(const QRect& stored, const QRect& area) {
    if (QGuiApplication::screenAt(stored.center()))
        return stored.topLeft();
    return QPoint(std::clamp(stored.left(), area.left(), std::max(area.left(), area.right() + 1 - stored.width())),
                  std::clamp(stored.top(), area.top(), std::max(area.top(), area.bottom() + 1 - stored.height())));
}

// The date boxes hold a whole date: two-digit month and day, four-digit year.
void fitDateBoxes(MainWindow& window) {
    const QString widest = CellFormat::shortDate(QDate(QDate::currentDate().year(), 12, 28));
    for (const char* name : {"txtSelectedDate", "txtEndDate"}) {
        QLineEdit* box = window.findChild<QLineEdit*>(QString::fromLatin1(name));
        QStyleOptionFrame frame;
        frame.initFrom(box);
        frame.lineWidth = box->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &frame, box);
        const QMargins text = box->textMargins() + box->contentsMargins();
        // QLineEdit keeps 2 pixels either side of its text, and 1 for the cursor.
        const int inner = box->fontMetrics().horizontalAdvance(widest) + text.left() + text.right() + 2 * 2 + 1;
        const QSize outer = box->style()->sizeFromContents(QStyle::CT_LineEdit, &frame,
                                                           QSize(inner, box->sizeHint().height()), box);
        box->setMinimumWidth(outer.width());
    }
}

} // namespace

WindowProgram::WindowProgram(Options options)
    : m_options(std::move(options)), m_settings(m_options.settings), m_qtDesktop(std::make_unique<QtDesktop>()) {
    if (!m_options.desktop)
        m_options.desktop = m_qtDesktop.get();
}

WindowProgram::~WindowProgram() = default;

bool WindowProgram::Form_Load() {
    try {
        m_client = std::make_unique<NetWareClient>(m_options.site ? *m_options.site : SiteLoader::load(m_options.env));
    } catch (const SiteFileError& error) {
        QMessageBox::critical(nullptr, QStringLiteral("Quarvo"),
                              QStringLiteral("The site file cannot be used: ") + error.message());
        return false;
    }
    if (m_client->NWCallsInit() != nw::SUCCESSFUL) {
        QMessageBox::warning(nullptr, QStringLiteral("Quarvo"), QStringLiteral("Unable to initialize!"));
        return false;
    }
    m_volumes = std::make_unique<VolumeView>(*m_client);
    loadHistoryChoices();
    const QIcon icon = QApplication::style()->standardIcon(QStyle::SP_DriveHDIcon);
    if (ScriptNotice::due(m_settings)) {
        ScriptNotice notice(m_settings, *m_options.desktop);
        notice.setWindowIcon(icon);
        m_options.runDialog(notice);
    }
    m_splash = std::make_unique<SplashWindow>(icon);
    m_splash->show();
    QApplication::processEvents();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    m_search = SearchSettings::withDefaults(CellFormat::shortDate(QDate::currentDate()));
    m_app.debugMode = m_options.debugMode;
    m_window = std::make_unique<MainWindow>(MainWindow::Parts{m_app, m_search, m_run, m_grid, m_view, *m_client,
                                                              *m_volumes, m_settings, *m_options.desktop,
                                                              m_options.runDialog, m_options.logPath,
                                                              m_options.programPath});
    m_window->setMinimumSize(Twips::toPixels(kDesignedWidth, *m_window), Twips::toPixels(kLeastHeight, *m_window));
    m_window->ensurePolished(); // sizes below are measured in the style's fonts and margins
    fitDateBoxes(*m_window);
    bool goesOn = readUserSettings();
    // No starting container stored yet: the user chooses one first.
    if (goesOn && !m_startingContainerShown && m_settings.startingServerContext().isEmpty())
        goesOn = openStartingContainerWindow();
    if (goesOn) {
        restoreGeometry();
        subListServers(m_window->env(), m_settings, QStringLiteral("NCP Server"));
        subInitializeGrid(m_grid, QStringLiteral("Owner"));
        m_window->showPanel();
        chooseRememberedServer();
    }
    m_splash.reset();
    QApplication::restoreOverrideCursor();
    return goesOn;
}

// Where the server list starts, chosen before the main window shows. False
// when the program cannot go on: cancelled with no tree to choose from.
bool WindowProgram::openStartingContainerWindow() {
    m_startingContainerShown = true;
    m_splash->hide(); // it would cover the window
    QApplication::restoreOverrideCursor();
    const bool goesOn = m_window->openServerStartingContainer();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    return goesOn;
}

// Where runs are kept: $QUARVO_HISTORY, else the place chosen in Options,
// else the site's, else the usual one.
void WindowProgram::loadHistoryChoices() {
    const QString chosen = m_settings.readUser(QStringLiteral("HistoryPlace")).value_or(QString()).trimmed();
    const bool fromEnvironment = !m_options.env.value(QStringLiteral("QUARVO_HISTORY")).trimmed().isEmpty();
    m_app.historyLocation = !chosen.isEmpty() && !fromEnvironment
                                ? chosen
                                : HistoryLocation::resolve(m_options.env, m_client->site().history, ::geteuid() == 0);
    m_app.historyKeepDays = m_client->site().historyKeepDays;
    m_app.keepHistory = m_settings.readUser(QStringLiteral("KeepHistory")).value_or(QString()) != QLatin1String("false");
    m_app.fittingSizes = m_settings.readUser(QStringLiteral("SizeUnits")).value_or(QString()) == QLatin1String("fit");
}

bool WindowProgram::readUserSettings() {
    ReportEnv& env = m_window->env();
    if (!checkTree())
        return false;
    m_app.saveFileDelimiter = m_settings.saveFileDelimiter();
    if (const QString problem = m_settings.delimiterProblem(); !problem.isEmpty())
        std::fprintf(stderr, "quarvo: %s\n", problem.toLocal8Bit().constData());
    const QString stored = m_settings.readUser(QStringLiteral("StartingUserContainer")).value_or(QString());
    env.search.lblStartContainer = !stored.isEmpty() && stored.toUpper().startsWith(m_app.treeName.toUpper())
                                       ? stored
                                       : fcnDefaultStartContainer(env);
    m_savedServer = m_settings.readUser(QStringLiteral("SaveServer")).value_or(QString());
    m_savedVolume = m_settings.readUser(QStringLiteral("SaveVolume")).value_or(QString());
    m_app.serverSearchSubContainers = m_settings.serverSearchSubContainers();
    return true;
}

// The stored tree, when the workstation is still connected to it; else the
// user chooses the tree and the server list's starting container, from the
// client's current tree on. False when no tree is left to work on.
bool WindowProgram::checkTree() {
    ReportEnv& env = m_window->env();
    const std::optional<QString> stored = m_settings.readUser(QStringLiteral("Tree"));
    if (!stored) {
        subGetDefaultTree(env);
        m_settings.writeUser(QStringLiteral("Tree"), m_app.treeName);
        return true;
    }
    m_app.treeName = *stored;
    for (const QString& tree : subListConnectedTrees(env)) {
        if (tree.toUpper() == m_app.treeName.toUpper())
            return true;
    }
    subGetDefaultTree(env);
    m_app.serverSearchSubContainers = true;
    return openStartingContainerWindow() && !m_app.treeName.isEmpty();
}

void WindowProgram::restoreGeometry() {
    const QString key = SettingsStore::kWindowKey;
    MainWindow& window = *m_window;
    const QString storedHeight = m_settings.fcnGetWindowSetting(key, QStringLiteral("Height"));
    const QString storedWidth = m_settings.fcnGetWindowSetting(key, QStringLiteral("Width"));
    if (storedHeight.isEmpty() && storedWidth.isEmpty()) {
        placeFirstStart();
        return;
    }
    const int top = twipsValue(m_settings.fcnGetWindowSetting(key, QStringLiteral("Top")), 0);
    const int left = twipsValue(m_settings.fcnGetWindowSetting(key, QStringLiteral("Left")), 0);
    int height = twipsValue(storedHeight, kDesignedHeight);
    int width = twipsValue(storedWidth, kDesignedWidth);
    if (height == 0)
        height = kDesignedHeight;
    if (width == 0)
        width = kDesignedWidth;
    const QRect area = window.screen()->availableGeometry();
    const QSize size = QSize(Twips::toPixels(width, window), Twips::toPixels(height, window))
                           .boundedTo(area.size())
                           .expandedTo(window.minimumSize());
    window.resize(size);
    window.move(onScreen(QRect(QPoint(Twips::toPixels(left, window), Twips::toPixels(top, window)), size), area));
}

// No stored place: the panel's own size, with room for kFirstStartRows rows
// of results and two thirds of the screen's width, centred on the free area
// of the screen and never beyond it.
void WindowProgram::placeFirstStart() {
    MainWindow& window = *m_window;
    const QRect area = window.screen()->availableGeometry();
    const QTableView* grid = window.findChild<QTableView*>(QStringLiteral("grdDirSizes"));
    const int rows = grid->horizontalHeader()->sizeHint().height() +
                     kFirstStartRows * grid->verticalHeader()->defaultSectionSize() + 2 * grid->frameWidth() +
                     grid->horizontalScrollBar()->sizeHint().height();
    const QSize hint = window.sizeHint();
    // Paths want width: two thirds of a wide screen, as far as a long path needs.
    const int wide = std::min(area.width() * 2 / 3, kFirstStartMostWidth);
    QSize size(std::max({hint.width(), Twips::toPixels(kDesignedWidth, window), wide}),
               std::max(hint.height() - grid->sizeHint().height() + rows, Twips::toPixels(kDesignedHeight, window)));
    // Room is left for the frame: its borders, and a title bar within a tenth of the height.
    size = size.boundedTo(QSize(area.width() - 16, area.height() * 9 / 10)).expandedTo(window.minimumSize());
    window.resize(size);
    QRect frame(QPoint(), size);
    frame.moveCenter(area.center());
    window.move(std::max(frame.left(), area.left()), std::max(frame.top(), area.top()));
}

void WindowProgram::chooseRememberedServer() {
    const SearchSettings& s = m_search;
    const qsizetype at = s.cmbServer.findUpper(m_savedServer.toUpper());
    if (at >= 0)
        m_window->chooseServer(s.cmbServer.entries[at]);
    else if (!s.cmbServer.isEmpty())
        m_window->chooseServer(s.cmbServer.entries.first());
    const qsizetype volume = s.cmbVolumeList.findUpper(m_savedVolume.toUpper());
    if (volume >= 0)
        m_window->chooseVolume(s.cmbVolumeList.entries[volume]);
}

void WindowProgram::Form_Unload() {
    if (m_window && !m_app.commandLineMode) {
        const SearchSettings& s = m_search;
        if (!s.cmbServer.text.isEmpty())
            m_settings.writeUser(QStringLiteral("SaveServer"), s.cmbServer.text);
        if (!s.cmbVolumeList.text.isEmpty())
            m_settings.writeUser(QStringLiteral("SaveVolume"), s.cmbVolumeList.text);
        if (!s.lblStartContainer.isEmpty())
            m_settings.writeUser(QStringLiteral("StartingUserContainer"), s.lblStartContainer);
        saveGeometry();
    }
    if (m_client)
        m_client->NWCallsTerm();
}

// Kept in twips, so the window keeps its size on a screen of another density.
void WindowProgram::saveGeometry() {
    MainWindow& window = *m_window;
    if (window.isMinimized() || window.isMaximized())
        return;
    const QString key = SettingsStore::kWindowKey;
    const QRect frame = window.frameGeometry();
    const QRect inner = window.geometry();
    m_settings.subSaveWindowSetting(key, QStringLiteral("Top"), QString::number(Twips::fromPixels(frame.top(), window)));
    m_settings.subSaveWindowSetting(key, QStringLiteral("Left"), QString::number(Twips::fromPixels(frame.left(), window)));
    m_settings.subSaveWindowSetting(key, QStringLiteral("Height"), QString::number(Twips::fromPixels(inner.height(), window)));
    m_settings.subSaveWindowSetting(key, QStringLiteral("Width"), QString::number(Twips::fromPixels(inner.width(), window)));
}
