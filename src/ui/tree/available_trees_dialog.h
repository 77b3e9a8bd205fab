#pragma once

#include "reports/report_env.h"

#include <QDialog>

#include <functional>
#include <memory>

namespace Ui {
class frmAvailableTrees;
}

// frmAvailableTrees: the trees on the network; the one chosen goes to the
// login window's tree box.
class AvailableTreesDialog : public QDialog {
    Q_OBJECT
public:
    AvailableTreesDialog(ReportEnv& env, std::function<void(const QString& tree)> choose,
                         QWidget* parent = nullptr);
    ~AvailableTreesDialog() override;

public Q_SLOTS:
    void btnSelect_Click();

private:
    std::function<void(const QString&)> m_choose;
    std::unique_ptr<Ui::frmAvailableTrees> m_ui;
};
