#include "ui/tree/available_trees_dialog.h"

#include "netware/directory_queries.h"
#include "ui_frmAvailableTrees.h"

AvailableTreesDialog::AvailableTreesDialog(ReportEnv& env, std::function<void(const QString&)> choose,
                                           QWidget* parent)
    : QDialog(parent), m_choose(std::move(choose)), m_ui(std::make_unique<Ui::frmAvailableTrees>()) {
    m_ui->setupUi(this);
    if (parent)
        setWindowIcon(parent->windowIcon());
    m_ui->lstAvailableTrees->clear();
    m_ui->lstAvailableTrees->addItems(subListAvailableTrees(env, objectName()));
    m_ui->lstAvailableTrees->setCurrentRow(0); // Enter chooses what is highlighted
    connect(m_ui->btnSelect, &QPushButton::clicked, this, &AvailableTreesDialog::btnSelect_Click);
    connect(m_ui->lstAvailableTrees, &QListWidget::itemDoubleClicked, this, &AvailableTreesDialog::btnSelect_Click);
    connect(m_ui->btnCancel, &QPushButton::clicked, this, &QDialog::reject);
}

AvailableTreesDialog::~AvailableTreesDialog() = default;

void AvailableTreesDialog::btnSelect_Click() {
    // Nothing chosen: the tree box keeps what it holds.
    if (const QListWidgetItem* tree = m_ui->lstAvailableTrees->currentItem(); tree && tree->isSelected())
        m_choose(tree->text());
    accept();
}
