#pragma once

#include <QDialog>
#include <QList>
#include <QPair>

#include <memory>

namespace Ui {
class frmProperties;
}

// Our own properties sheet: caption and value rows for a volume, folder or file.
class PropertiesDialog : public QDialog {
    Q_OBJECT
public:
    PropertiesDialog(const QString& title, const QList<QPair<QString, QString>>& rows, QWidget* parent = nullptr);
    ~PropertiesDialog() override;

private:
    std::unique_ptr<Ui::frmProperties> m_ui;
};
