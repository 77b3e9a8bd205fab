#include "ui/auxiliary/help_window.h"

#include "ui_frmHelp.h"

#include <QKeyEvent>
#include <QScreen>
#include <QStyle>
#include <QUrl>

#include <algorithm>

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

void HelpWindow::setVisible(bool visible) {
    if (visible && !isVisible())
        placeOnScreen();
    QWidget::setVisible(visible);
}

void HelpWindow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier)
        close();
    else
        QWidget::keyPressEvent(event);
}

// On the free area of the main window's screen, never partly off it: over
// the main window the first time, afterwards where the user left it.
void HelpWindow::placeOnScreen() {
    const QWidget* owner = parentWidget() ? parentWidget()->window() : this;
    const QRect area = owner->screen()->availableGeometry();
    // The frame is known once the window has been shown; until then a title bar is allowed for.
    const QSize frame = testAttribute(Qt::WA_WState_Created) ? frameGeometry().size() - size()
                                                             : QSize(0, style()->pixelMetric(QStyle::PM_TitleBarHeight));
    resize(size().boundedTo(area.size() - frame));
    QRect placed(m_placed ? frameGeometry().topLeft() : QPoint(), size() + frame);
    if (!m_placed)
        placed.moveCenter(owner == this ? area.center() : owner->frameGeometry().center());
    placed.moveLeft(std::max(area.left(), std::min(placed.left(), area.right() + 1 - placed.width())));
    placed.moveTop(std::max(area.top(), std::min(placed.top(), area.bottom() + 1 - placed.height())));
    move(placed.topLeft());
    m_placed = true;
}
