#pragma once

#include "sizetree/size_breakdown.h"

#include <QWidget>

#include <functional>
#include <memory>
#include <vector>

namespace Ui {
class frmBreakdown;
}
class QChart;

// frmBreakdown: a folder of a size tree summed by file type, by year or
// month of modification, or its largest files, as a sortable table and a
// bar chart; choosing a row lists the files behind it. The table copies to
// the clipboard and saves as CSV with exact figures.
class BreakdownWindow : public QWidget {
    Q_OBJECT
public:
    using PathChooser = std::function<QString(const QString& title, const QString& filter, const QString& suggested)>;

    BreakdownWindow(std::shared_ptr<const SizeTree> tree, SizeTree::Index folder, bool allocated,
                    QWidget* parent = nullptr);
    ~BreakdownWindow() override;

    void setSavePathChooser(PathChooser chooser) { m_choosePath = std::move(chooser); }
    QChart* chart() const;

public Q_SLOTS:
    void cmbBreakdown_Click(int index);
    void grdBreakdown_Click();
    void cmdCopy_Click();
    void cmdSave_Click();

private:
    struct Cell {
        QString text;
        double figure = -1; // sorted and saved by it when not negative
        int decimals = 0;
        qint64 bytes = -1;  // a size, saved exact in bytes
    };
    void fillYears();
    void showRows(const std::vector<SizeBreakdown::Row>& rows, bool types);
    void showLargest();
    void fillTable(const QStringList& headings, const QList<QList<Cell>>& rows, const QList<QByteArray>& keys);
    void drawChart();
    void showFiles(const std::vector<SizeTree::Index>& files);
    QString tableText(const QString& delimiter, bool exact) const;
    QString megabytes(std::uint64_t bytes) const;

    std::unique_ptr<Ui::frmBreakdown> m_ui;
    std::shared_ptr<const SizeTree> m_tree;
    SizeTree::Index m_folder;
    bool m_allocated;
    PathChooser m_choosePath;
};
