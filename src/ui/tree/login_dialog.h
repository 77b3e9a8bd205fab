#pragma once

#include "ui/tree/tree_window_parts.h"

#include <QDialog>

#include <memory>

namespace Ui {
class frmLogin;
}

// frmLogin: logs into a tree as a user. A login makes the tree the current
// tree and sets blnLoggedIn; Cancel clears it; the close box leaves it.
class LoginDialog : public QDialog {
    Q_OBJECT
public:
    explicit LoginDialog(const TreeWindowParts& parts, QWidget* parent = nullptr);
    ~LoginDialog() override;

public Q_SLOTS:
    void subLoginButton();
    void cmdOK_Click();
    void cmdCancel_Click();
    void btnListTrees_Click();
    void btnContext_Click();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void selectPassword();

    TreeWindowParts m_parts;
    // While a password can be typed here, no core dump may hold it.
    int m_wasDumpable;
    std::unique_ptr<Ui::frmLogin> m_ui;
};
