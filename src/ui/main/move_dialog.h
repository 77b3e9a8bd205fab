#pragma once

#include "reports/report_env.h"

#include <QDialog>

#include <atomic>
#include <memory>

class QFileSystemModel;
namespace Ui {
class frmMove;
}

// frmMove: where the selected files go, and how.
class MoveDialog : public QDialog {
    Q_OBJECT
public:
    // logPath: Quarvo.log's place.
    MoveDialog(ReportEnv& env, QString logPath, QWidget* parent = nullptr);
    ~MoveDialog() override;

    // Chooses the destination, as a click in the directory list does.
    void chooseDestination(const QString& folder);
    QString destination() const;

public Q_SLOTS:
    void dirMove_Change();
    void btnMoveFiles_Click();
    void btnCancel_Click();
    // While files are being moved, closing the dialog stops after the current file.
    void reject() override;

private:
    void showMoving(bool moving);

    ReportEnv& m_env;
    QString m_logPath;
    std::unique_ptr<Ui::frmMove> m_ui;
    QFileSystemModel* m_folders = nullptr;
    bool m_moving = false;
    std::atomic<bool> m_stop{false};
};
