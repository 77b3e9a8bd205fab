#pragma once

#include "reports/row_figures.h"
#include "reports/row_record.h"

#include <QList>
#include <QString>
#include <QStringList>

// Told of every change so a view can follow the grid without copying it.
class GridListener {
public:
    virtual ~GridListener() = default;
    virtual void gridReset() = 0;                                // layout or everything changed
    virtual void rowsInserted(qsizetype first, qsizetype last) = 0;
    virtual void rowsRemoved(qsizetype first, qsizetype last) = 0;
    virtual void rowsChanged(qsizetype first, qsizetype last) = 0;
};

// The results grid: text cells, row 0 the headings, column 0 hidden; widths
// in twips. Reports write cells as formatted text.
class ResultGrid {
public:
    enum class Align { Left, Right };
    static constexpr int kNotFound = 999;

    void setListener(GridListener* listener) { m_listener = listener; }

    // Clears every cell and leaves one (heading) row with the given columns.
    void reset(int cols);
    int cols() const { return m_cols; }
    qsizetype rows() const { return m_cells.size(); }

    void setColumn(int col, const QString& heading, int width, Align align);
    int width(int col) const { return m_widths.value(col); }
    Align alignment(int col) const { return m_aligns.value(col, Align::Left); }

    QString cell(qsizetype row, int col) const;
    void setCell(qsizetype row, int col, const QString& text);
    const QStringList& row(qsizetype row) const { return m_cells[row]; }

    // Appends an empty row and returns its index.
    qsizetype addRow();
    // Appends a row whose cells are given from column 0 on, with what it
    // listed when it names a file.
    qsizetype addRow(const QStringList& cells, std::shared_ptr<const RowRecord> record = {},
                     const RowFigures& figures = {});
    // What the row listed; null for headings, directories, volumes, owners.
    const RowRecord* record(qsizetype row) const;
    std::shared_ptr<const RowRecord> sharedRecord(qsizetype row) const;
    // What the row counts as numbers; none for headings and rows without.
    RowFigures figures(qsizetype row) const;
    void setFigures(qsizetype row, const RowFigures& figures);
    // Appends a column, empty in every row.
    int addColumn(const QString& heading, int width, Align align);
    // Removes the columns from col on.
    void dropColumnsFrom(int col);
    // The cells and records as they are now, told to no listener: cheap (the
    // lists are shared until one side changes), for work that must not see
    // later sorts or removals.
    ResultGrid snapshot() const;
    void removeRow(qsizetype row);
    // Removes several data rows in one pass: a long delete must not move
    // the rows below once for every row it removes.
    void removeRows(QList<qsizetype> rows);
    // Puts the data rows in the given order: order[i] is the row (1 to
    // last) that becomes row i + 1.
    void reorderRows(const QList<qsizetype>& order);

    // First column from 0 upward whose heading equals text exactly; 999 when none.
    int fcnFindColumn(const QString& heading) const;

    // The highlighted rows, ascending, when the view allows a selection that
    // is not one range; empty: the rows from Row to RowSel.
    QList<qsizetype> selectedRows;

    // Selection and position, as the window's grid has them.
    qsizetype Row = 0;
    qsizetype RowSel = 0;
    int Col = 0;
    int ColSel = 0;
    qsizetype TopRow = 0;

private:
    void notifyChanged(qsizetype row);

    int m_cols = 0;
    // What a row holds besides its cells.
    struct RowFacts {
        std::shared_ptr<const RowRecord> record;
        RowFigures figures;
    };

    QList<QStringList> m_cells;
    QList<RowFacts> m_facts; // beside m_cells, row for row
    QList<int> m_widths;
    QList<Align> m_aligns;
    GridListener* m_listener = nullptr;
};

// First visible row that keeps the newest rows in view: with H the grid's
// height, R the heading row's height and N the rows, N - (H / R - 2) when the
// rows do not fit, otherwise the current top row.
qsizetype fcnGridTopRow(int gridHeight, int rowHeight, qsizetype rowCount, qsizetype currentTop);
