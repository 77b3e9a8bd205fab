#include "ui/auxiliary/splash_window.h"

#include "ui/auxiliary/version_text.h"
#include "ui_frmSplash.h"

#include <QIcon>

SplashWindow::SplashWindow(const QIcon& icon) : QWidget(nullptr, Qt::SplashScreen), m_ui(std::make_unique<Ui::frmSplash>()) {
    m_ui->setupUi(this);
    setWindowIcon(icon);
    m_ui->imgLogo->setPixmap(icon.pixmap(64, 64));
    m_ui->lblVersion->setText(VersionText::text());
}

SplashWindow::~SplashWindow() = default;
