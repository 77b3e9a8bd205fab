#pragma once

#include "settings/app_state.h"
#include "reports/result_grid.h"

#include <QDialog>

#include <memory>

namespace Ui {
class frmCopy;
}

// frmCopy: the selected rows or all rows of the grid to the clipboard.
class CopyDialog : public QDialog {
    Q_OBJECT
public:
    CopyDialog(AppState& app, const ResultGrid& grid, QWidget* parent = nullptr);
    ~CopyDialog() override;

    // Rows first to last as delimited text, on the clipboard.
    static void subCopyGridToClipboard(const ResultGrid& grid, qsizetype first, qsizetype last,
                                       const QString& delimiter);

public Q_SLOTS:
    void btnCopy_Click();

private:
    AppState& m_app;
    const ResultGrid& m_grid;
    std::unique_ptr<Ui::frmCopy> m_ui;
};
