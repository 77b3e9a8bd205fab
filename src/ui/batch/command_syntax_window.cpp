#include "ui/batch/command_syntax_window.h"

#include "batch/syntax_texts.h"
#include "ui_frmCommandSyntax.h"

#include <QAbstractTextDocumentLayout>
#include <QEvent>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QTextDocument>

#include <algorithm>

namespace {

bool choosePrinterByDialog(QPrinter& printer, QWidget* parent) {
    QPrintDialog dialog(&printer, parent);
    return dialog.exec() == QDialog::Accepted;
}

} // namespace

CommandSyntaxWindow::CommandSyntaxWindow(QWidget* parent, ChoosePrinter choosePrinter)
    : QDialog(parent), m_ui(std::make_unique<Ui::frmCommandSyntax>()),
      m_choosePrinter(choosePrinter ? std::move(choosePrinter)
                                    : ChoosePrinter(choosePrinterByDialog)) {
    m_ui->setupUi(this);
    if (parent) setWindowIcon(parent->windowIcon());
    m_labels = {m_ui->lblSyntax_0, m_ui->lblSyntax_1, m_ui->lblSyntax_2,
                m_ui->lblSyntax_3, m_ui->lblSyntax_4, m_ui->lblSyntax_5,
                m_ui->lblSyntax_6, m_ui->lblSyntax_7, m_ui->lblSyntax_8};
    for (int topic = 0; topic < m_labels.size(); ++topic) {
        m_labels[topic]->setText(SyntaxTexts::caption(topic));
        m_labels[topic]->installEventFilter(this);
    }
    // The description's lines are indented by blanks; only a fixed-pitch
    // font keeps the switch lines under one another.
    m_ui->lblDescription->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    // The window opens on Close, its first tab stop, with no topic chosen;
    // Tab goes on to the topics.
    m_ui->btnClose->setFocus();
    connect(m_ui->btnPrint, &QPushButton::clicked, this, &CommandSyntaxWindow::btnPrint_Click);
    connect(m_ui->btnPrintAll, &QPushButton::clicked, this,
            &CommandSyntaxWindow::btnPrintAll_Click);
    connect(m_ui->btnClose, &QPushButton::clicked, this, &CommandSyntaxWindow::btnClose_Click);
}

CommandSyntaxWindow::~CommandSyntaxWindow() = default;

void CommandSyntaxWindow::showSyntax(QWidget* parent) {
    CommandSyntaxWindow window(parent);
    window.exec();
}

QLabel* CommandSyntaxWindow::topicLabel(int topic) const {
    return topic >= 0 && topic < m_labels.size() ? m_labels[topic] : nullptr;
}

// A topic shows its description when the mouse is over it or it has the
// focus; the arrow keys move the focus from topic to topic.
bool CommandSyntaxWindow::eventFilter(QObject* watched, QEvent* event) {
    const int topic = m_labels.indexOf(qobject_cast<QLabel*>(watched));
    if (topic < 0) return QDialog::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::Enter:
    case QEvent::MouseMove:
    case QEvent::FocusIn:
        subShowDescription(topic);
        break;
    case QEvent::KeyPress:
        if (focusNeighbour(topic, static_cast<QKeyEvent*>(event)->key())) return true;
        break;
    default:
        break;
    }
    return QDialog::eventFilter(watched, event);
}

bool CommandSyntaxWindow::focusNeighbour(int topic, int key) {
    int step = 0;
    if (key == Qt::Key_Up || key == Qt::Key_Left) step = -1;
    if (key == Qt::Key_Down || key == Qt::Key_Right) step = 1;
    if (step == 0) return false;
    m_labels[std::clamp(topic + step, 0, int(m_labels.size()) - 1)]->setFocus(Qt::OtherFocusReason);
    return true;
}

void CommandSyntaxWindow::subShowDescription(int lngSyntaxIndex) {
    if (lngSyntaxIndex >= 0 && lngSyntaxIndex < SyntaxTexts::kTopicCount)
        m_ui->lblDescription->setText(SyntaxTexts::description(lngSyntaxIndex));
}

void CommandSyntaxWindow::btnPrint_Click() {
    print(m_ui->lblDescription->text() + QStringLiteral("\r\n"));
}

void CommandSyntaxWindow::btnPrintAll_Click() {
    subShowDescription(SyntaxTexts::kTopicCount - 1);
    print(SyntaxTexts::printAllText() + QStringLiteral("\r\n"));
}

void CommandSyntaxWindow::btnClose_Click() {
    close();
}

void CommandSyntaxWindow::print(const QString& text) {
    QPrinter printer;
    if (m_choosePrinter(printer, this)) printText(printer, text);
}

void CommandSyntaxWindow::printText(QPrinter& printer, const QString& text) {
    QPainter painter;
    if (!painter.begin(&printer))
        return; // a printer that cannot start prints nothing, as documented
    QTextDocument document;
    document.documentLayout()->setPaintDevice(&printer);
    document.setDefaultFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    document.setDocumentMargin(0);
    QString plain = text;
    document.setPlainText(plain.replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    const QSizeF page = printer.pageLayout().paintRectPixels(printer.resolution()).size();
    document.setPageSize(page);
    for (int index = 0; index < document.pageCount(); ++index) {
        if (index > 0) printer.newPage();
        painter.save();
        painter.translate(0, -index * page.height());
        document.drawContents(&painter,
                              QRectF(0, index * page.height(), page.width(), page.height()));
        painter.restore();
    }
    painter.end();
}
