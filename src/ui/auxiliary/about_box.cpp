#include "ui/auxiliary/about_box.h"

#include "ui/auxiliary/desktop.h"
#include "ui/auxiliary/version_text.h"
#include "ui_frmAbout.h"

AboutBox::AboutBox(bool debugMode, Desktop& desktop, Host& host, QWidget* parent)
    : QDialog(parent), m_desktop(desktop), m_host(host), m_ui(std::make_unique<Ui::frmAbout>()) {
    m_ui->setupUi(this);
    if (parent) {
        setWindowIcon(parent->windowIcon());
        m_ui->picIcon->setPixmap(parent->windowIcon().pixmap(48, 48));
    }
    setWindowTitle(QStringLiteral("About Quarvo"));
    m_ui->lblVersion->setText(VersionText::text());
    m_ui->lblStatus->setText(debugMode ? QStringLiteral("Debug mode") : QString());
    connect(m_ui->cmdOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_ui->cmdSysInfo, &QPushButton::clicked, this, &AboutBox::StartSysInfo);
}

AboutBox::~AboutBox() = default;

// The first system information viewer this desktop has.
void AboutBox::StartSysInfo() {
    const QString viewer = m_desktop.findProgram({QStringLiteral("hardinfo2"), QStringLiteral("hardinfo"),
                                                  QStringLiteral("kinfocenter"), QStringLiteral("gnome-system-monitor"),
                                                  QStringLiteral("lshw-gtk")});
    if (viewer.isEmpty()) {
        m_host.message(QStringLiteral("System Information Is Unavailable At This Time"));
        return;
    }
    m_desktop.startProgram(viewer);
}
