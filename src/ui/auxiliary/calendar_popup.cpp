#include "ui/auxiliary/calendar_popup.h"

#include "reports/cell_format.h"
#include "ui/twips.h"

#include <QCalendarWidget>
#include <QLineEdit>
#include <QPushButton>

#include <algorithm>

CalendarPopup::CalendarPopup(QWidget& window)
    : QObject(&window), m_window(window), m_calendar(new QCalendarWidget(&window)) {
    m_calendar->setObjectName(QStringLiteral("mnthvwCalendar"));
    m_calendar->setWindowFlags(Qt::Popup); // a click elsewhere closes it, as losing the focus does
    m_calendar->hide();
    connect(m_calendar, &QCalendarWidget::clicked, this, &CalendarPopup::mnthvwCalendar_DateClick);
}

void CalendarPopup::open(QPushButton* button, QLineEdit* box) {
    m_box = box;
    const QDate shown = CellFormat::parseShortDate(box->text());
    if (shown.isValid())
        m_calendar->setSelectedDate(shown);
    m_calendar->adjustSize();
    const int preferred = Twips::toPixels(4560, m_window);
    const int width = m_calendar->sizeHint().width();
    const int left = preferred + width < m_window.width() ? preferred
                                                          : m_window.width() - width - Twips::toPixels(100, m_window);
    const QPoint below = button->mapTo(&m_window, QPoint(0, button->height()));
    m_calendar->move(m_window.mapToGlobal(QPoint(std::max(0, left), below.y())));
    m_calendar->show();
    m_calendar->raise();
    m_calendar->setFocus();
}

void CalendarPopup::mnthvwCalendar_DateClick(const QDate& date) {
    if (!m_box)
        return;
    m_box->setText(CellFormat::shortDate(date));
    m_calendar->hide();
    m_box->setFocus();
}
