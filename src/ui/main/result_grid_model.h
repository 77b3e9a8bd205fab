#pragma once

#include "reports/result_grid.h"

#include <QAbstractTableModel>

// The results grid as a table model for grdDirSizes: row 0 of the grid gives
// the headings, its other rows the model's rows. Rows a report adds between
// two passes of the event loop reach the view as one insertion, so a run of
// 65,000 rows does not make the view lay itself out 65,000 times.
class ResultGridModel : public QAbstractTableModel, public GridListener {
    Q_OBJECT
public:
    // A size cell's share of the largest in its column (0 to 1), for the bar
    // drawn behind it in the Owner, Volume and Directory layouts.
    static constexpr int ShareRole = Qt::UserRole + 1;

    // Columns of volume paths ("Directory", "Volume", "File"): cut in the
    // middle when narrow, so the folder or file a row is about stays in view.
    static bool isPathHeading(const QString& heading);

    explicit ResultGridModel(ResultGrid& grid, QObject* parent = nullptr);
    ~ResultGridModel() override;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // Shows the rows added since the last call.
    void flush();

    void gridReset() override;
    void rowsInserted(qsizetype first, qsizetype last) override;
    void rowsRemoved(qsizetype first, qsizetype last) override;
    void rowsChanged(qsizetype first, qsizetype last) override;

    // Sizes shown in the unit that fits them (the grid keeps its megabytes).
    void setFittingSizes(bool fitting);

private:
    QString fittingCell(int gridRow, int column) const;

    void findShareColumn();
    double figure(int gridRow) const;
    void takeLargest(int firstGridRow, int lastGridRow);

    ResultGrid& m_grid;
    bool m_fitting = false;
    int m_shareColumn = -1;  // the used space or size column; -1: no bars
    double m_largest = 0;
    int m_shown = 0;           // grid rows below the headings the view knows of
    bool m_flushQueued = false;
};
