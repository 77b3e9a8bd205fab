#pragma once

#include <QWidget>

#include <memory>

namespace Ui {
class frmHelp;
}

// The program's help, at its contents page.
class HelpWindow : public QWidget {
    Q_OBJECT
public:
    explicit HelpWindow(QWidget* parent = nullptr);
    ~HelpWindow() override;

    static QUrl contentsPage();
    QUrl page() const;

    void setVisible(bool visible) override;

private:
    void placeOnScreen();

    std::unique_ptr<Ui::frmHelp> m_ui;
    bool m_placed = false;
};
