#include "ui/main/properties_dialog.h"

#include "ui_frmProperties.h"

#include <QLabel>

PropertiesDialog::PropertiesDialog(const QString& title, const QList<QPair<QString, QString>>& rows, QWidget* parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::frmProperties>()) {
    m_ui->setupUi(this);
    if (parent)
        setWindowIcon(parent->windowIcon());
    setWindowTitle(title + QStringLiteral(" Properties"));
    for (const auto& [caption, value] : rows) {
        auto* text = new QLabel(value, this);
        text->setTextInteractionFlags(Qt::TextSelectableByMouse);
        text->setAccessibleName(caption);
        auto* label = new QLabel(caption + QLatin1Char(':'), this);
        label->setBuddy(text);
        m_ui->propertiesLayout->addRow(label, text);
    }
    connect(m_ui->cmdOK, &QPushButton::clicked, this, &QDialog::accept);
}

PropertiesDialog::~PropertiesDialog() = default;
