#pragma once

#include <QWidget>

#include <memory>

namespace Ui {
class frmSplash;
}

// frmSplash: shown while the program loads.
class SplashWindow : public QWidget {
    Q_OBJECT
public:
    explicit SplashWindow(const QIcon& icon);
    ~SplashWindow() override;

private:
    std::unique_ptr<Ui::frmSplash> m_ui;
};
