#pragma once

#include "history/history_store.h"
#include "history/row_trend.h"
#include "sizetree/size_tree.h"
#include "settings/host.h"

#include <QDialog>

#include <functional>
#include <memory>
#include <optional>

namespace Ui {
class frmHistory;
}
class QChart;
class TrendChart;

// frmHistory: the stored runs, filtered by report and place, and a chart of
// chosen rows' figure across the runs like the chosen one (same report,
// place and choices), saved as a picture or as CSV.
class HistoryWindow : public QDialog {
    Q_OBJECT
public:
    // The path chosen for a save; empty when cancelled. A test answers instead of the file dialog.
    using PathChooser = std::function<QString(const QString& title, const QString& filter, const QString& suggested)>;

    HistoryWindow(const QString& location, Host& host, QWidget* parent = nullptr);
    ~HistoryWindow() override;

    void setSavePathChooser(PathChooser chooser) { m_choosePath = std::move(chooser); }
    // Lists the runs of kind at place, chooses the newest with those
    // choices (or the newest) and draws the row named key.
    void showRow(const QString& kind, const QString& place, const QString& options, const QString& key);

    // The run Show Size Tree chose, as a tree, and what to call it; null otherwise.
    std::shared_ptr<const SizeTree> chosenTree() const { return m_chosenTree; }
    const QString& chosenTreeTitle() const { return m_chosenTreeTitle; }

    QChart* chart() const;
    const std::optional<RowTrend>& trend() const { return m_trend; }

public Q_SLOTS:
    void cmdList_Click();
    void grdRuns_Click();
    void lstRows_Check();
    void txtFindRow_Change(const QString& text);
    void cmdSavePicture_Click();
    void cmdSaveFigures_Click();
    void cmdShowTree_Click();

private:
    void listRuns(const RunFilter& filter);
    void chooseRun(qsizetype index);
    QList<StoredRun> runsLike(const StoredRun& chosen);
    void drawTrend();
    QString savePath(const QString& title, const QString& filter, const QString& suggested);
    void save(const QString& title, const QString& filter, const QString& suggested, const QByteArray& bytes);
    void say(const QString& text);

    Host& m_host;
    HistoryStore m_store;
    std::unique_ptr<Ui::frmHistory> m_ui;
    std::unique_ptr<TrendChart> m_chart;
    PathChooser m_choosePath;
    std::shared_ptr<const SizeTree> m_chosenTree;
    QString m_chosenTreeTitle;
    QList<StoredRun> m_listed;     // grdRuns' runs, newest first
    QList<StoredRun> m_trendRuns;  // those like the chosen run, oldest first
    QList<TrendFigure> m_figures;  // cmbFigure's
    QList<StoredRow> m_chosenRows; // the chosen run's, read once
    std::optional<RowTrend> m_trend;
};
