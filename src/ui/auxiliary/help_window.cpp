#include "ui/auxiliary/help_window.h"

#include "ui_frmHelp.h"

#include <QUrl>

HelpWindow::HelpWindow(QWidget* parent) : QWidget(parent, Qt::Window), m_ui(std::make_unique<Ui::frmHelp>()) {
    m_ui->setupUi(this);
    if (parent)
        setWindowIcon(parent->windowIcon());
    m_ui->txtHelp->setSource(contentsPage());
    connect(m_ui->btnBack, &QPushButton::clicked, m_ui->txtHelp, &QTextBrowser::backward);
    connect(m_ui->btnContents, &QPushButton::clicked, m_ui->txtHelp, &QTextBrowser::home);
    resize(720, 640);
}

HelpWindow::~HelpWindow() = default;

// The pages are built into the program.
QUrl HelpWindow::contentsPage() {
    return QUrl(QStringLiteral("qrc:/docs/index.html"));
}

QUrl HelpWindow::page() const {
    return m_ui->txtHelp->source();
}
