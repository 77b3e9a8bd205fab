#pragma once

#include <QObject>

class QCalendarWidget;
class QDate;
class QLineEdit;
class QPushButton;
class QString;
class QWidget;

// The calendar a window's two date boxes share (mnthvwCalendar): it opens
// below the button pressed, showing the box's date, and writes the day
// picked into that box.
class CalendarPopup : public QObject {
public:
    explicit CalendarPopup(QWidget& window);

    // Below button, at the window's right half when it fits.
    void open(QPushButton* button, QLineEdit* box);

private:
    void mnthvwCalendar_DateClick(const QDate& date);

    QWidget& m_window;
    QCalendarWidget* m_calendar;
    QLineEdit* m_box = nullptr; // the box it serves while open
};
