#pragma once

#include <QWidget>

#include <memory>

namespace Ui {
class frmHelp;
}

// The program's help, at its contents page. Esc closes it, as it does a dialog.
class HelpWindow : public QWidget {
    Q_OBJECT
public:
    explicit HelpWindow(QWidget* parent = nullptr);
    ~HelpWindow() override;

    static QUrl contentsPage();
    QUrl page() const;

    void setVisible(bool visible) override;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void placeOnScreen();

    std::unique_ptr<Ui::frmHelp> m_ui;
    bool m_placed = false;
};
