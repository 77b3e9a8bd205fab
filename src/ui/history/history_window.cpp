#include "ui/history/history_window.h"

#include "history/stored_run_tree.h"

#include "ui/history/trend_chart.h"
#include "reports/cell_format.h"
#include "reports/whole_file_writer.h"
#include "ui_frmHistory.h"

#include <QBuffer>
#include <QDir>
#include <QFileDialog>
#include <QLocale>
#include <QtCharts/QChartView>

#include <algorithm>

namespace {

constexpr int kListedRuns = 1000;

QString capitalised(const QString& text) {
    return text.isEmpty() ? text : text.at(0).toUpper() + text.mid(1);
}

QString megabytesOf(qint64 bytes) {
    return bytes < 0 ? QString()
                     : CellFormat::formatNumber(double(bytes) / 1048576.0, QStringLiteral("###,###,##0.00"));
}

} // namespace

HistoryWindow::HistoryWindow(const QString& location, Host& host, QWidget* parent)
    : QDialog(parent), m_host(host), m_store(location), m_ui(std::make_unique<Ui::frmHistory>()) {
    m_ui->setupUi(this);
    m_chart = std::make_unique<TrendChart>(m_ui->chtTrend);
    m_ui->grdRuns->setColumnCount(8);
    m_ui->grdRuns->setHorizontalHeaderLabels({QStringLiteral("Run"), QStringLiteral("Started"), QStringLiteral("Report"),
                                              QStringLiteral("Place"), QStringLiteral("Choices"),
                                              QStringLiteral("Size(MB)"), QStringLiteral("Rows"),
                                              QStringLiteral("Outcome")});
    m_ui->grdRuns->verticalHeader()->hide();
    m_ui->splRowsChart->setStretchFactor(1, 3);
    connect(m_ui->cmdList, &QPushButton::clicked, this, &HistoryWindow::cmdList_Click);
    connect(m_ui->txtPlace, &QLineEdit::returnPressed, this, &HistoryWindow::cmdList_Click);
    connect(m_ui->cmbKind, &QComboBox::activated, this, &HistoryWindow::cmdList_Click);
    connect(m_ui->grdRuns, &QTableWidget::itemSelectionChanged, this, &HistoryWindow::grdRuns_Click);
    connect(m_ui->lstRows, &QListWidget::itemChanged, this, &HistoryWindow::lstRows_Check);
    connect(m_ui->txtFindRow, &QLineEdit::textChanged, this, &HistoryWindow::txtFindRow_Change);
    connect(m_ui->cmbFigure, &QComboBox::activated, this, &HistoryWindow::drawTrend);
    connect(m_ui->cmdSavePicture, &QPushButton::clicked, this, &HistoryWindow::cmdSavePicture_Click);
    connect(m_ui->cmdSaveFigures, &QPushButton::clicked, this, &HistoryWindow::cmdSaveFigures_Click);
    connect(m_ui->cmdClose, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_ui->cmdShowTree, &QPushButton::clicked, this, &HistoryWindow::cmdShowTree_Click);
    m_ui->cmdShowTree->setEnabled(false);
    m_ui->cmdSavePicture->setEnabled(false);
    m_ui->cmdSaveFigures->setEnabled(false);
    if (location.isEmpty()) {
        m_ui->cmdList->setEnabled(false);
        say(QStringLiteral("No history of runs is kept (Tools > Options: \"Keep a history of runs\")."));
        return;
    }
    cmdList_Click();
}

HistoryWindow::~HistoryWindow() = default;

QChart* HistoryWindow::chart() const {
    return m_ui->chtTrend->chart();
}

void HistoryWindow::say(const QString& text) {
    m_ui->lblStatus->setText(text);
}

void HistoryWindow::cmdList_Click() {
    RunFilter filter;
    if (m_ui->cmbKind->currentIndex() > 0)
        filter.kind = m_ui->cmbKind->currentText();
    filter.place = m_ui->txtPlace->text().trimmed();
    filter.limit = kListedRuns;
    listRuns(filter);
}

void HistoryWindow::listRuns(const RunFilter& filter) {
    QString error;
    const std::optional<QList<StoredRun>> runs = m_store.runs(filter, error);
    m_listed = runs.value_or(QList<StoredRun>());
    QTableWidget* grid = m_ui->grdRuns;
    const QSignalBlocker quiet(grid);
    grid->clearContents();
    grid->setRowCount(int(m_listed.size()));
    const QLocale locale;
    for (int r = 0; r < m_listed.size(); ++r) {
        const StoredRun& run = m_listed[r];
        const QStringList cells{QString::number(run.id), locale.toString(run.started.toLocalTime(), QLocale::ShortFormat),
                                run.kind, run.place, run.options, megabytesOf(run.totalBytes),
                                locale.toString(run.rows), run.outcome};
        for (int c = 0; c < cells.size(); ++c)
            grid->setItem(r, c, new QTableWidgetItem(cells[c]));
    }
    grid->resizeColumnsToContents();
    if (!runs) {
        say(capitalised(error));
        return;
    }
    say(m_listed.size() >= kListedRuns ? QStringLiteral("The newest %1 runs.").arg(kListedRuns)
                                       : CellFormat::counted(std::uint64_t(m_listed.size()), "run", "runs") + '.');
    if (!m_listed.isEmpty())
        grid->selectRow(0);
    chooseRun(m_listed.isEmpty() ? -1 : 0);
}

// The chosen Directory run's folders, for the size tree window: this
// window closes to make way for it.
void HistoryWindow::cmdShowTree_Click() {
    const qsizetype index = m_ui->grdRuns->currentRow();
    if (index < 0 || index >= m_listed.size() || m_chosenRows.isEmpty())
        return;
    const StoredRun& run = m_listed[index];
    m_chosenTree = StoredRunTree::of(m_chosenRows, run.place);
    m_chosenTreeTitle = QStringLiteral("%1 of %2").arg(run.place, QLocale().toString(run.started.toLocalTime(), QLocale::ShortFormat));
    accept();
}

void HistoryWindow::grdRuns_Click() {
    chooseRun(m_ui->grdRuns->currentRow());
}

// The chosen run's rows to pick from, the figures they have, and the runs
// like it.
void HistoryWindow::chooseRun(qsizetype index) {
    QListWidget* list = m_ui->lstRows;
    const QSignalBlocker quiet(list);
    list->clear();
    m_ui->cmbFigure->clear();
    m_figures.clear();
    m_trendRuns.clear();
    m_chosenRows.clear();
    m_ui->cmdShowTree->setEnabled(index >= 0 && index < m_listed.size() &&
                                  m_listed[index].kind == QLatin1String("Directory"));
    if (index < 0 || index >= m_listed.size()) {
        drawTrend();
        return;
    }
    QString error;
    const std::optional<QList<StoredRow>> rows = m_store.rows(m_listed[index].id, error);
    if (!rows) {
        say(capitalised(error));
        drawTrend();
        return;
    }
    m_chosenRows = *rows;
    m_figures = trendFiguresOf(rows->isEmpty() ? RowFigures{} : rows->first().figures);
    for (const TrendFigure& figure : std::as_const(m_figures))
        m_ui->cmbFigure->addItem(figure.caption);
    // A run that showed allocated sizes is drawn by them.
    if (m_listed[index].options.contains(QLatin1String("/ALLOCATED")))
        m_ui->cmbFigure->setCurrentIndex(std::max(0, m_ui->cmbFigure->findText(QStringLiteral("Allocated(MB)"))));
    // The largest row is drawn first: the one most likely asked about.
    const auto field = m_figures.isEmpty() ? &RowFigures::bytes : m_figures[m_ui->cmbFigure->currentIndex()].field;
    const auto largest = std::max_element(rows->cbegin(), rows->cend(), [field](const StoredRow& a, const StoredRow& b) {
        return a.figures.*field < b.figures.*field;
    });
    const QStringList keys = storedRowKeys(*rows);
    for (qsizetype r = 0; r < keys.size(); ++r) {
        auto* item = new QListWidgetItem(keys[r], list);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(r == largest - rows->cbegin() ? Qt::Checked : Qt::Unchecked);
    }
    m_trendRuns = runsLike(m_listed[index]);
    txtFindRow_Change(m_ui->txtFindRow->text());
    drawTrend();
}

// The runs of the same report, place and choices, oldest first.
QList<StoredRun> HistoryWindow::runsLike(const StoredRun& chosen) {
    RunFilter filter;
    filter.kind = chosen.kind;
    filter.place = chosen.place;
    filter.options = chosen.options;
    filter.sameOptions = true;
    QString error;
    QList<StoredRun> runs = m_store.runs(filter, error).value_or(QList<StoredRun>{chosen});
    // The filter takes places that begin with the chosen one; the chart wants that place only.
    runs.removeIf([&chosen](const StoredRun& run) { return run.place.compare(chosen.place, Qt::CaseInsensitive) != 0; });
    std::reverse(runs.begin(), runs.end());
    if (!error.isEmpty())
        say(capitalised(error));
    return runs;
}

void HistoryWindow::lstRows_Check() {
    drawTrend();
}

void HistoryWindow::txtFindRow_Change(const QString& text) {
    QListWidget* list = m_ui->lstRows;
    for (int i = 0; i < list->count(); ++i)
        list->item(i)->setHidden(!list->item(i)->text().contains(text, Qt::CaseInsensitive));
}

void HistoryWindow::drawTrend() {
    m_trend.reset();
    const int figureIndex = m_ui->cmbFigure->currentIndex();
    QList<qint64> ids;
    for (const StoredRun& run : std::as_const(m_trendRuns))
        ids.append(run.id);
    if (figureIndex < 0 || figureIndex >= m_figures.size() || ids.isEmpty()) {
        m_chart->clear();
        m_ui->cmdSavePicture->setEnabled(false);
        m_ui->cmdSaveFigures->setEnabled(false);
        return;
    }
    RowTrend trend(m_trendRuns, m_figures[figureIndex]);
    for (int i = 0; i < m_ui->lstRows->count(); ++i) {
        const QListWidgetItem* item = m_ui->lstRows->item(i);
        if (item->checkState() != Qt::Checked)
            continue;
        QString error;
        const std::optional<QList<std::optional<RowFigures>>> found = m_store.figuresOf(ids, item->text(), error);
        if (!found) {
            say(capitalised(error));
            break;
        }
        trend.addLine(item->text(), *found);
    }
    m_chart->draw(trend);
    m_ui->cmdSavePicture->setEnabled(!trend.lines().isEmpty());
    m_ui->cmdSaveFigures->setEnabled(!trend.lines().isEmpty());
    m_trend = std::move(trend);
}

void HistoryWindow::showRow(const QString& kind, const QString& place, const QString& options, const QString& key) {
    m_ui->cmbKind->setCurrentIndex(std::max(0, m_ui->cmbKind->findText(kind)));
    m_ui->txtPlace->setText(place);
    cmdList_Click();
    const auto like = std::find_if(m_listed.cbegin(), m_listed.cend(), [&](const StoredRun& run) {
        return run.place.compare(place, Qt::CaseInsensitive) == 0 && run.options == options;
    });
    if (like == m_listed.cend()) {
        say(QStringLiteral("No run of this report is kept."));
        return;
    }
    m_ui->grdRuns->selectRow(int(like - m_listed.cbegin()));
    QListWidget* list = m_ui->lstRows;
    const QList<QListWidgetItem*> found = list->findItems(key, Qt::MatchExactly);
    if (found.isEmpty()) {
        say(QStringLiteral("%1 is not in the kept runs.").arg(key));
        return;
    }
    {
        const QSignalBlocker quiet(list);
        for (int i = 0; i < list->count(); ++i)
            list->item(i)->setCheckState(Qt::Unchecked);
        found.first()->setCheckState(Qt::Checked);
    }
    list->scrollToItem(found.first());
    drawTrend();
}

QString HistoryWindow::savePath(const QString& title, const QString& filter, const QString& suggested) {
    const QString path = QDir::home().filePath(suggested);
    return m_choosePath ? m_choosePath(title, filter, path) : QFileDialog::getSaveFileName(this, title, path, filter);
}

void HistoryWindow::save(const QString& title, const QString& filter, const QString& suggested, const QByteArray& bytes) {
    const QString path = savePath(title, filter, suggested);
    if (path.isEmpty())
        return;
    if (const QString error = WholeFileWriter::writeAll(path, bytes); !error.isEmpty())
        m_host.message(error, title, Host::Icon::Critical);
    else
        say(QStringLiteral("Saved %1.").arg(QDir::toNativeSeparators(path)));
}

void HistoryWindow::cmdSavePicture_Click() {
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    m_ui->chtTrend->grab().save(&buffer, "PNG");
    save(QStringLiteral("Save Picture"), QStringLiteral("PNG Images (*.png)"), QStringLiteral("history.png"), png);
}

void HistoryWindow::cmdSaveFigures_Click() {
    if (m_trend)
        save(QStringLiteral("Save Figures"), QStringLiteral("CSV Files (*.csv)"), QStringLiteral("history.csv"),
             m_trend->csv());
}
