#include "ui/sizetree/breakdown_window.h"

#include "reports/cell_format.h"
#include "reports/results_file.h"
#include "reports/whole_file_writer.h"
#include "ui_frmBreakdown.h"

#include <QBarCategoryAxis>
#include <QBarSet>
#include <QClipboard>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QGuiApplication>
#include <QHeaderView>
#include <QHorizontalBarSeries>
#include <QLocale>
#include <QValueAxis>
#include <QtCharts/QChartView>

namespace {

constexpr int kFigureRole = Qt::UserRole;
constexpr int kDecimalsRole = Qt::UserRole + 1;
constexpr int kKeyRole = Qt::UserRole + 2;
constexpr int kBytesRole = Qt::UserRole + 3; // a size cell's exact bytes, for the saved file
constexpr int kBars = 15;
constexpr int kFilesShown = 65000;

// Sorts by its figure, not its grouped text.
class FigureItem : public QTableWidgetItem {
public:
    using QTableWidgetItem::QTableWidgetItem;
    bool operator<(const QTableWidgetItem& other) const override {
        const QVariant mine = data(kFigureRole);
        const QVariant theirs = other.data(kFigureRole);
        if (mine.isValid() && theirs.isValid())
            return mine.toDouble() < theirs.toDouble();
        return QTableWidgetItem::operator<(other);
    }
};

enum Breakdown { ByType, ByYear, ByMonth, Largest };

} // namespace

BreakdownWindow::BreakdownWindow(std::shared_ptr<const SizeTree> tree, SizeTree::Index folder, bool allocated,
                                 QWidget* parent)
    : QWidget(parent, Qt::Window), m_ui(std::make_unique<Ui::frmBreakdown>()), m_tree(std::move(tree)),
      m_folder(folder), m_allocated(allocated) {
    m_ui->setupUi(this);
    setAttribute(Qt::WA_DeleteOnClose);
    m_ui->lblFolder->setText(QFile::decodeName(m_tree->path(folder, '\\')));
    m_ui->chtBreakdown->setRenderHint(QPainter::Antialiasing);
    m_ui->chtBreakdown->chart()->legend()->hide();
    for (QTableWidget* table : {m_ui->grdBreakdown, m_ui->grdFiles}) {
        table->verticalHeader()->hide();
        table->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    }
    connect(m_ui->cmbBreakdown, &QComboBox::activated, this, &BreakdownWindow::cmbBreakdown_Click);
    connect(m_ui->cmbYear, &QComboBox::activated, this, [this] { cmbBreakdown_Click(ByMonth); });
    connect(m_ui->grdBreakdown, &QTableWidget::itemSelectionChanged, this, &BreakdownWindow::grdBreakdown_Click);
    connect(m_ui->cmdCopy, &QPushButton::clicked, this, &BreakdownWindow::cmdCopy_Click);
    connect(m_ui->cmdSave, &QPushButton::clicked, this, &BreakdownWindow::cmdSave_Click);
    connect(m_ui->cmdClose, &QPushButton::clicked, this, &QWidget::close);
    fillYears();
    cmbBreakdown_Click(ByType);
}

BreakdownWindow::~BreakdownWindow() = default;

QChart* BreakdownWindow::chart() const {
    return m_ui->chtBreakdown->chart();
}

QString BreakdownWindow::megabytes(std::uint64_t bytes) const {
    return CellFormat::formatNumber(double(bytes) / 1048576.0, QStringLiteral("###,###,##0.00"));
}

void BreakdownWindow::fillYears() {
    for (const SizeBreakdown::Row& row : SizeBreakdown::byYear(*m_tree, m_folder, m_allocated))
        m_ui->cmbYear->insertItem(0, QString::fromLatin1(row.key)); // the newest first
    m_ui->cmbYear->setCurrentIndex(0);
}

void BreakdownWindow::cmbBreakdown_Click(int index) {
    m_ui->cmbBreakdown->setCurrentIndex(index);
    m_ui->cmbYear->setEnabled(index == ByMonth);
    switch (index) {
    case ByType: showRows(SizeBreakdown::byType(*m_tree, m_folder, m_allocated), true); break;
    case ByYear: showRows(SizeBreakdown::byYear(*m_tree, m_folder, m_allocated), false); break;
    case ByMonth:
        showRows(SizeBreakdown::byMonth(*m_tree, m_folder, m_allocated, m_ui->cmbYear->currentText().toInt()), false);
        break;
    default: showLargest(); break;
    }
}

void BreakdownWindow::showRows(const std::vector<SizeBreakdown::Row>& rows, bool types) {
    const QLocale locale;
    QList<QList<Cell>> cells;
    QList<QByteArray> keys;
    for (const SizeBreakdown::Row& row : rows) {
        QList<Cell> line{{row.key.isEmpty() ? QStringLiteral("(none)") : QString::fromUtf8(row.key)}};
        if (types)
            line.append({FileTypes::nameOf(row.category)});
        line.append({locale.toString(qulonglong(row.files)), double(row.files), 0});
        line.append({megabytes(row.bytes), double(row.bytes) / 1048576.0, 2, qint64(row.bytes)});
        line.append({locale.toString(row.percent, 'f', 1), row.percent, 1});
        cells.append(line);
        keys.append(row.key);
    }
    const QString size = m_allocated ? QStringLiteral("Allocated(MB)") : QStringLiteral("Size(MB)");
    const QStringList headings = types ? QStringList{QStringLiteral("Extension"), QStringLiteral("Category"),
                                                     QStringLiteral("Files"), size, QStringLiteral("%")}
                                       : QStringList{m_ui->cmbBreakdown->currentIndex() == ByMonth ? QStringLiteral("Month")
                                                                                                   : QStringLiteral("Year"),
                                                     QStringLiteral("Files"), size, QStringLiteral("%")};
    fillTable(headings, cells, keys);
}

void BreakdownWindow::showLargest() {
    const QLocale locale;
    QList<QList<Cell>> cells;
    QList<QByteArray> keys;
    for (const SizeTree::Index file : SizeBreakdown::largest(*m_tree, m_folder, m_allocated, 100)) {
        const std::uint64_t bytes = m_tree->bytes(file, m_allocated);
        cells.append({{QFile::decodeName(m_tree->path(file, '\\'))},
                      {megabytes(bytes), double(bytes) / 1048576.0, 2, qint64(bytes)},
                      {locale.toString(QDateTime::fromSecsSinceEpoch(m_tree->item(file).mtime), QLocale::ShortFormat)}});
        keys.append(QByteArray::number(file));
    }
    fillTable({QStringLiteral("File"), m_allocated ? QStringLiteral("Allocated(MB)") : QStringLiteral("Size(MB)"),
               QStringLiteral("Modified")},
              cells, keys);
}

void BreakdownWindow::fillTable(const QStringList& headings, const QList<QList<Cell>>& rows,
                                const QList<QByteArray>& keys) {
    QTableWidget* table = m_ui->grdBreakdown;
    const QSignalBlocker quiet(table);
    table->setSortingEnabled(false);
    table->clear();
    table->setColumnCount(int(headings.size()));
    table->setHorizontalHeaderLabels(headings);
    table->setRowCount(int(rows.size()));
    for (int r = 0; r < rows.size(); ++r) {
        for (int c = 0; c < rows[r].size(); ++c) {
            const Cell& cell = rows[r][c];
            auto* item = new FigureItem(cell.text);
            if (cell.figure >= 0) {
                item->setData(kFigureRole, cell.figure);
                item->setData(kDecimalsRole, cell.decimals);
                item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            }
            if (cell.bytes >= 0)
                item->setData(kBytesRole, cell.bytes);
            if (c == 0)
                item->setData(kKeyRole, keys[r]);
            table->setItem(r, c, item);
        }
    }
    table->setSortingEnabled(true);
    table->resizeColumnsToContents();
    m_ui->grdFiles->clear();
    m_ui->grdFiles->setRowCount(0);
    m_ui->grdFiles->setColumnCount(0);
    drawChart();
}

// The first rows of the table as it is ordered, each a bar of its size.
void BreakdownWindow::drawChart() {
    QChart* chart = m_ui->chtBreakdown->chart();
    chart->removeAllSeries();
    for (QAbstractAxis* axis : chart->axes())
        chart->removeAxis(axis);
    QTableWidget* table = m_ui->grdBreakdown;
    const int sizeColumn = table->columnCount() == 3 ? 1 : table->columnCount() - 2;
    auto* bars = new QBarSet(table->horizontalHeaderItem(sizeColumn)->text());
    // The largest rows, or the latest years and months; the table's first at the top.
    const bool inTime = m_ui->cmbBreakdown->currentIndex() == ByYear || m_ui->cmbBreakdown->currentIndex() == ByMonth;
    const int first = inTime ? std::max(0, table->rowCount() - 2 * kBars) : 0;
    const int end = inTime ? table->rowCount() : std::min(table->rowCount(), kBars);
    QStringList labels;
    for (int r = end; r-- > first;) {
        bars->append(table->item(r, sizeColumn)->data(kFigureRole).toDouble());
        labels.append(table->item(r, 0)->text()); // whole: the axis keeps one of labels alike
    }
    auto* series = new QHorizontalBarSeries(chart);
    series->append(bars);
    chart->addSeries(series);
    auto* names = new QBarCategoryAxis(chart);
    names->append(labels);
    auto* figures = new QValueAxis(chart);
    figures->setTitleText(bars->label());
    figures->setLabelFormat(QStringLiteral("%.2f"));
    chart->addAxis(names, Qt::AlignLeft);
    chart->addAxis(figures, Qt::AlignBottom);
    series->attachAxis(names);
    series->attachAxis(figures);
    figures->applyNiceNumbers();
}

void BreakdownWindow::grdBreakdown_Click() {
    QTableWidget* table = m_ui->grdBreakdown;
    const int row = table->currentRow();
    if (row < 0)
        return;
    const QByteArray key = table->item(row, 0)->data(kKeyRole).toByteArray();
    const int kind = m_ui->cmbBreakdown->currentIndex();
    if (kind == Largest) {
        showFiles({SizeTree::Index(key.toUInt())});
        return;
    }
    const SizeBreakdown::Kind by = kind == ByType ? SizeBreakdown::Kind::Type
                                   : kind == ByYear ? SizeBreakdown::Kind::Year
                                                    : SizeBreakdown::Kind::Month;
    showFiles(SizeBreakdown::filesOf(*m_tree, m_folder, by, key));
}

void BreakdownWindow::showFiles(const std::vector<SizeTree::Index>& files) {
    QTableWidget* list = m_ui->grdFiles;
    list->clear();
    list->setColumnCount(2);
    list->setHorizontalHeaderLabels({QStringLiteral("File"), m_allocated ? QStringLiteral("Allocated(MB)")
                                                                         : QStringLiteral("Size(MB)")});
    const int shown = int(std::min<std::size_t>(files.size(), kFilesShown));
    list->setRowCount(shown);
    for (int r = 0; r < shown; ++r) {
        const SizeTree::Item& item = m_tree->item(files[r]);
        list->setItem(r, 0, new QTableWidgetItem(QFile::decodeName(m_tree->path(files[r], '\\'))));
        auto* size = new QTableWidgetItem(megabytes(m_allocated ? item.allocated : item.size));
        size->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        list->setItem(r, 1, size);
    }
    list->resizeColumnsToContents();
    m_ui->lblStatus->setText(files.size() > std::size_t(shown)
                                 ? QStringLiteral("The largest %1 of %2 files.").arg(shown).arg(files.size())
                                 : QString());
}

// The table as it is ordered: the shown text, or for a file the exact
// figures, sizes in bytes.
QString BreakdownWindow::tableText(const QString& delimiter, bool exact) const {
    const QTableWidget* table = m_ui->grdBreakdown;
    QStringList headings;
    for (int c = 0; c < table->columnCount(); ++c) {
        QString heading = table->horizontalHeaderItem(c)->text();
        if (exact)
            heading.replace(QStringLiteral("(MB)"), QStringLiteral("(bytes)"));
        headings.append(heading);
    }
    QString text = ResultsFile::joinFields(headings, delimiter) + QLatin1String("\r\n");
    for (int r = 0; r < table->rowCount(); ++r) {
        QStringList fields;
        for (int c = 0; c < table->columnCount(); ++c) {
            const QTableWidgetItem* item = table->item(r, c);
            const QVariant figure = item->data(kFigureRole);
            const QVariant bytes = item->data(kBytesRole);
            if (exact && bytes.isValid())
                fields.append(QString::number(bytes.toLongLong()));
            else if (exact && figure.isValid())
                fields.append(QString::number(figure.toDouble(), 'f', item->data(kDecimalsRole).toInt()));
            else
                fields.append(item->text());
        }
        text += ResultsFile::joinFields(fields, delimiter) + QLatin1String("\r\n");
    }
    return text;
}

void BreakdownWindow::cmdCopy_Click() {
    QGuiApplication::clipboard()->setText(tableText(QStringLiteral("\t"), false));
}

void BreakdownWindow::cmdSave_Click() {
    const QString title = QStringLiteral("Save Breakdown");
    const QString filter = QStringLiteral("CSV Files (*.csv)");
    const QString suggested = QDir::home().filePath(QStringLiteral("breakdown.csv"));
    const QString path = m_choosePath ? m_choosePath(title, filter, suggested)
                                      : QFileDialog::getSaveFileName(this, title, suggested, filter);
    if (path.isEmpty())
        return;
    const QString error = WholeFileWriter::writeAll(path, tableText(QStringLiteral(","), true).toUtf8());
    m_ui->lblStatus->setText(error.isEmpty() ? QStringLiteral("Saved %1.").arg(QDir::toNativeSeparators(path)) : error);
}
