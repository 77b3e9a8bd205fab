#include "ui/main/move_dialog.h"

#include "fileops/file_move.h"
#include "ui_frmMove.h"

#include <QDir>
#include <QFileSystemModel>

MoveDialog::MoveDialog(ReportEnv& env, QString logPath, QWidget* parent)
    : QDialog(parent), m_env(env), m_logPath(std::move(logPath)), m_ui(std::make_unique<Ui::frmMove>()) {
    m_ui->setupUi(this);
    if (parent)
        setWindowIcon(parent->windowIcon());
    const bool single = m_env.grid.Row == m_env.grid.RowSel;
    setWindowTitle(single ? QStringLiteral("Move File") : QStringLiteral("Move Files"));
    m_ui->btnMoveFiles->setText(single ? QStringLiteral("&Move File") : QStringLiteral("&Move Files"));
    // The workstation's folders, listed as they are opened.
    m_folders = new QFileSystemModel(this);
    m_folders->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot);
    m_folders->setReadOnly(true);
    m_ui->dirMove->setModel(m_folders);
    m_ui->dirMove->setRootIndex(m_folders->setRootPath(QStringLiteral("/")));
    for (int col = 1; col < m_folders->columnCount(); ++col)
        m_ui->dirMove->hideColumn(col);
    connect(m_ui->dirMove->selectionModel(), &QItemSelectionModel::currentChanged, this, &MoveDialog::dirMove_Change);
    connect(m_ui->btnMoveFiles, &QPushButton::clicked, this, &MoveDialog::btnMoveFiles_Click);
    connect(m_ui->btnCancel, &QPushButton::clicked, this, &MoveDialog::btnCancel_Click);
    m_ui->Label2->setText(QStringLiteral("All move operations are logged to the file %1.").arg(m_logPath));
    chooseDestination(QDir::homePath());
    resize(520, 480);
}

MoveDialog::~MoveDialog() = default;

void MoveDialog::chooseDestination(const QString& folder) {
    const QModelIndex index = m_folders->index(folder);
    m_ui->dirMove->setCurrentIndex(index);
    m_ui->dirMove->scrollTo(index);
    m_ui->lblMoveLocation->setText(folder);
}

QString MoveDialog::destination() const {
    return m_ui->lblMoveLocation->text();
}

void MoveDialog::dirMove_Change() {
    const QModelIndex current = m_ui->dirMove->currentIndex();
    if (current.isValid())
        m_ui->lblMoveLocation->setText(m_folders->filePath(current));
}

void MoveDialog::btnMoveFiles_Click() {
    if (m_moving)
        return;
    const MoveOptions options{m_ui->lblMoveLocation->text(), m_ui->chkPreserve->isChecked(),
                              m_ui->chkOverWrite->isChecked(), &m_stop};
    OperationsLog log(m_logPath);
    m_stop = false;
    showMoving(true);
    const bool confirmed = ::btnMoveFiles_Click(m_env, options, log).has_value();
    showMoving(false);
    if (confirmed)
        accept(); // not confirmed: the dialog stays open as it was
}

// While files are moved, only Stop may be pressed.
void MoveDialog::showMoving(bool moving) {
    m_moving = moving;
    for (QWidget* control : std::initializer_list<QWidget*>{m_ui->btnMoveFiles, m_ui->dirMove, m_ui->chkPreserve,
                                                            m_ui->chkOverWrite})
        control->setEnabled(!moving);
    m_ui->btnCancel->setText(moving ? QStringLiteral("&Stop") : QStringLiteral("&Cancel"));
}

void MoveDialog::btnCancel_Click() {
    reject();
}

void MoveDialog::reject() {
    if (m_moving) {
        m_stop = true;
        return;
    }
    QDialog::reject();
}
