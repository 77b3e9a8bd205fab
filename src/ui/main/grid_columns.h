#pragma once

#include <QFont>
#include <QHash>
#include <QList>
#include <QObject>
#include <QStringList>

#include <array>

class QTableView;
class ResultGrid;

// Sizes the columns of grdDirSizes. Figures, dates and owners get the width
// of their widest cell, and grow while a run adds rows; the path columns
// ("Directory", "File", "Volume") share the room that is left, so deep paths
// show as much as the window allows. A width the user drags is kept for as
// long as the layout (its headings) stays: a new run of the same report keeps
// it, another report forgets it. Columns of width 0 in the grid stay hidden.
class GridColumns : public QObject {
    Q_OBJECT
public:
    // Follows the view's model, which shows the grid; the view owns this.
    GridColumns(const ResultGrid& grid, QTableView& view);

    // Fits the columns to every row again, narrower too: once a run has ended
    // its placeholders ("Calculating...") no longer count.
    void refit();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void layOut();
    void apply();
    void fillWithoutPaths(int rest, bool usersLayout);
    void forgetOtherLayouts();
    void sectionResized(int col, int oldWidth, int newWidth);
    bool measure(int firstGridRow, int lastGridRow);
    void measureAll();
    qreal textWidth(QStringView text);
    QStringList headings() const;
    bool shown(int col) const;

    const ResultGrid& m_grid;
    QTableView& m_view;
    QList<qreal> m_widest;        // per column, the widest text seen since the last refit
    QStringList m_userHeadings;   // the layout the user's widths belong to
    QHash<int, int> m_userWidths; // column to pixels
    bool m_applying = false;      // the widths being set are ours, not the user's
    bool m_again = false;         // the view changed size while they were set
    QFont m_measured;             // the font the advances below are for
    std::array<qreal, 0x300> m_advances{};
};
