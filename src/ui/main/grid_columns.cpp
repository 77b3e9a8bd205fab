#include "ui/main/grid_columns.h"

#include "reports/figure_columns.h"
#include "reports/result_grid.h"
#include "ui/main/result_grid_model.h"
#include "ui/twips.h"

#include <QEvent>
#include <QFontMetricsF>
#include <QHeaderView>
#include <QStyle>
#include <QTableView>

#include <algorithm>
#include <cmath>

GridColumns::GridColumns(const ResultGrid& grid, QTableView& view)
    : QObject(&view), m_grid(grid), m_view(view), m_measured(view.font()) {
    m_advances.fill(-1);
    m_view.setWordWrap(false);
    m_view.horizontalHeader()->setStretchLastSection(false);
    m_view.viewport()->installEventFilter(this);
    const QAbstractItemModel* model = m_view.model();
    Q_ASSERT(model);
    // A reset also gives every section the default width: all is set again.
    connect(model, &QAbstractItemModel::modelReset, this, [this] {
        measureAll();
        layOut();
        forgetOtherLayouts();
    });
    connect(model, &QAbstractItemModel::headerDataChanged, this, [this] {
        measureAll();
        layOut();
        forgetOtherLayouts();
    });
    connect(model, &QAbstractItemModel::rowsInserted, this, [this](const QModelIndex&, int first, int last) {
        if (measure(first + 1, last + 1))
            layOut();
    });
    connect(model, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex& from, const QModelIndex& to, const QList<int>& roles) {
                if ((roles.isEmpty() || roles.contains(Qt::DisplayRole)) && measure(from.row() + 1, to.row() + 1))
                    layOut();
            });
    connect(m_view.horizontalHeader(), &QHeaderView::sectionResized, this, &GridColumns::sectionResized);
    // A sorted column's heading takes the arrow beside it.
    connect(m_view.horizontalHeader(), &QHeaderView::sortIndicatorChanged, this, &GridColumns::layOut);
    measureAll();
    layOut();
}

void GridColumns::refit() {
    measureAll();
    layOut();
}

bool GridColumns::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_view.viewport() && event->type() == QEvent::Resize)
        layOut();
    return QObject::eventFilter(watched, event);
}

// A layout is set a column at a time, so whether it is another one is only
// known once the report has set them all and lets the events through.
void GridColumns::forgetOtherLayouts() {
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (headings() == m_userHeadings)
                return;
            m_userHeadings.clear();
            m_userWidths.clear();
            layOut();
        },
        Qt::QueuedConnection);
}

void GridColumns::sectionResized(int col, int, int newWidth) {
    if (m_applying || newWidth <= 0 || !shown(col))
        return;
    if (headings() != m_userHeadings) {
        m_userHeadings = headings();
        m_userWidths.clear();
    }
    m_userWidths.insert(col, newWidth);
    layOut(); // the path columns take what the user gave up, or give up what they took
}

void GridColumns::layOut() {
    if (m_applying) {
        m_again = true;
        return;
    }
    m_applying = true;
    // Setting widths can show or hide a scroll bar, which resizes the view.
    for (int pass = 0; pass < 3; ++pass) {
        m_again = false;
        apply();
        if (!m_again)
            break;
    }
    m_applying = false;
}

void GridColumns::apply() {
    const QStringList heads = headings();
    const bool usersLayout = heads == m_userHeadings;
    const QStyle* style = m_view.style();
    // The style's margins either side of the text, the grid line, and a pixel for rounding.
    const int padding = 2 * (style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, &m_view) + 1) + 2;
    const int room = m_view.viewport()->width();
    const QHeaderView* header = m_view.horizontalHeader();

    struct PathColumn {
        int col;
        int least;
        int wanted;
    };
    QList<PathColumn> paths;
    int used = 0;
    for (int col = 0; col < m_grid.cols(); ++col) {
        m_view.setColumnHidden(col, !shown(col));
        if (!shown(col))
            continue;
        const QString heading = heads.value(col);
        const int content = int(std::ceil(m_widest.value(col))) + padding;
        const int headingWidth = header->sectionSizeHint(col);
        int width = 0;
        if (usersLayout && m_userWidths.contains(col)) {
            width = m_userWidths.value(col);
        } else if (ResultGridModel::isPathHeading(heading)) {
            const int least = std::max(Twips::toPixels(m_grid.width(col), m_view), headingWidth);
            paths.append({col, least, std::max(least, content)});
            continue;
        } else {
            width = std::max(headingWidth, content);
            // An owner's name is shown whole unless it would crowd out the paths.
            if (!FigureColumns::isFigure(heading))
                width = std::min(width, std::max(headingWidth, room / 3));
        }
        m_view.setColumnWidth(col, width);
        used += width;
    }
    if (paths.isEmpty()) {
        fillWithoutPaths(room - used, usersLayout);
        return;
    }

    // Each path column has at least its designed width; the room beyond goes
    // first to the narrower ones, so a short file name is not cut to give a
    // deep directory a few more letters, and what none needs to the first.
    int rest = room - used;
    for (const PathColumn& p : paths)
        rest -= p.least;
    QHash<int, int> widths;
    for (const PathColumn& p : paths)
        widths.insert(p.col, p.least);
    if (rest > 0) {
        QList<PathColumn> byNeed = paths;
        std::stable_sort(byNeed.begin(), byNeed.end(), [](const PathColumn& a, const PathColumn& b) {
            return a.wanted - a.least < b.wanted - b.least;
        });
        for (qsizetype i = 0; i < byNeed.size(); ++i) {
            const int share = rest / int(byNeed.size() - i);
            const int add = std::min(byNeed[i].wanted - byNeed[i].least, share);
            widths[byNeed[i].col] += add;
            rest -= add;
        }
        widths[paths.first().col] += rest;
    }
    for (const PathColumn& p : paths)
        m_view.setColumnWidth(p.col, widths.value(p.col));
}

// Without a path column (owners, volumes) the room left goes to the last
// column of names, so the columns reach the grid's right edge and the
// figures are not left hanging in the middle. A width the user set stays.
void GridColumns::fillWithoutPaths(int rest, bool usersLayout) {
    if (rest <= 0)
        return;
    const QStringList heads = headings();
    int taker = -1;
    for (int col = 0; col < m_grid.cols(); ++col) {
        if (shown(col) && (taker < 0 || !FigureColumns::isFigure(heads.value(col))))
            taker = col;
    }
    if (taker < 0 || (usersLayout && m_userWidths.contains(taker)))
        return;
    m_view.setColumnWidth(taker, m_view.columnWidth(taker) + rest);
}

bool GridColumns::shown(int col) const {
    return col > 0 && m_grid.width(col) > 0;
}

QStringList GridColumns::headings() const {
    return m_grid.rows() > 0 ? m_grid.row(0) : QStringList();
}

void GridColumns::measureAll() {
    m_widest.fill(0, m_grid.cols());
    measure(1, int(m_grid.rows()) - 1);
}

// Grows the widest text of each column to the given rows'; true when one grew.
bool GridColumns::measure(int firstGridRow, int lastGridRow) {
    if (m_widest.size() != m_grid.cols())
        m_widest.resize(m_grid.cols(), 0);
    if (m_view.font() != m_measured) {
        m_measured = m_view.font();
        m_advances.fill(-1);
    }
    lastGridRow = std::min(lastGridRow, int(m_grid.rows()) - 1);
    bool grew = false;
    for (int col = 1; col < m_grid.cols(); ++col) {
        if (!shown(col))
            continue;
        // The delegate shows right-aligned cells without the blanks that pad them.
        const bool trim = m_grid.alignment(col) == ResultGrid::Align::Right;
        qreal widest = m_widest[col];
        for (int row = std::max(1, firstGridRow); row <= lastGridRow; ++row) {
            const QStringList& cells = m_grid.row(row);
            if (col >= cells.size())
                continue;
            const QStringView text = trim ? QStringView(cells[col]).trimmed() : QStringView(cells[col]);
            widest = std::max(widest, textWidth(text));
        }
        grew = grew || widest > m_widest[col];
        m_widest[col] = widest;
    }
    return grew;
}

// A run measures every cell it adds: adding up the advances of the letters,
// remembered, is a hundred times cheaper than laying the text out. Kerning
// only ever makes the real text a little narrower.
qreal GridColumns::textWidth(QStringView text) {
    qreal width = 0;
    for (const QChar ch : text) {
        const char16_t u = ch.unicode();
        if (u >= m_advances.size()) // combining marks, other scripts: laid out as they are
            return QFontMetricsF(m_measured).horizontalAdvance(text.toString());
        if (m_advances[u] < 0)
            m_advances[u] = QFontMetricsF(m_measured).horizontalAdvance(QChar(u));
        width += m_advances[u];
    }
    return width;
}
