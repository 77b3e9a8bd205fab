#include "ui/main/copy_dialog.h"

#include "fileops/row_selection.h"
#include "reports/clipboard_text.h"
#include "ui_frmCopy.h"

#include <QApplication>
#include <QClipboard>

CopyDialog::CopyDialog(AppState& app, const ResultGrid& grid, QWidget* parent)
    : QDialog(parent), m_app(app), m_grid(grid), m_ui(std::make_unique<Ui::frmCopy>()) {
    m_ui->setupUi(this);
    if (parent)
        setWindowIcon(parent->windowIcon());
    // With no row highlighted (as after a delete took them all) there is nothing selected to copy.
    const bool anySelected = !RowSelection::chosen(m_grid).isEmpty();
    m_ui->optSelected->setEnabled(anySelected);
    (m_app.copyAllRows || !anySelected ? m_ui->optAllRows : m_ui->optSelected)->setChecked(true);
    connect(m_ui->btnCopy, &QPushButton::clicked, this, &CopyDialog::btnCopy_Click);
    connect(m_ui->btnCancel, &QPushButton::clicked, this, &QDialog::reject);
}

CopyDialog::~CopyDialog() = default;

void CopyDialog::subCopyGridToClipboard(const ResultGrid& grid, qsizetype first, qsizetype last,
                                        const QString& delimiter) {
    QApplication::clipboard()->setText(fcnGridRowsText(grid, first, last, delimiter));
}

void CopyDialog::btnCopy_Click() {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const bool all = m_ui->optAllRows->isChecked();
    if (all)
        subCopyGridToClipboard(m_grid, 0, m_grid.rows() - 1, m_app.saveFileDelimiter);
    else
        QApplication::clipboard()->setText(fcnGridRowsText(m_grid, RowSelection::chosen(m_grid), m_app.saveFileDelimiter));
    m_app.copyAllRows = all;
    QApplication::restoreOverrideCursor();
    accept();
}
