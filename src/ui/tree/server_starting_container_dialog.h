#pragma once

#include "ui/tree/tree_window_parts.h"

#include <QDialog>

#include <functional>
#include <memory>

namespace Ui {
class frmSelectServerStartingContext;
}
class QLabel;

// frmSelectServerStartingContext: the tree and the container below which the
// server list is searched. Select stores them and rebuilds the server lists;
// Cancel restores the tree the window opened on. It may also log into
// another tree and browse for a container.
class ServerStartingContainerDialog : public QDialog {
    Q_OBJECT
public:
    // mainWindowChanged shows the main window's server lists and starting
    // container after this window has changed them.
    ServerStartingContainerDialog(const TreeWindowParts& parts, std::function<void()> mainWindowChanged,
                                  QWidget* parent = nullptr);
    ~ServerStartingContainerDialog() override;

    // Cancelled with no tree to choose from: the program cannot go on.
    bool endsProgram() const { return m_endsProgram; }

    void done(int result) override;

public Q_SLOTS:
    void subGetConnectedTrees();
    void cmbTree_Click();
    void subListTreeContainers();
    void btnSelectContext_Click();
    void btnChangeTree_Click();
    void btnSave_Click();
    void btnCancel_Click();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QLabel* chosenLabel() const;
    void showWholeCaptionTip(QLabel* label);

    TreeWindowParts m_parts;
    std::function<void()> m_mainWindowChanged;
    std::unique_ptr<Ui::frmSelectServerStartingContext> m_ui;
    QString m_strSavedStartContainer;
    bool m_endsProgram = false;
};
