#pragma once

#include <QDate>
#include <QHash>
#include <QString>
#include <QTime>

#include <vector>

// The short date and medium time cells of one run's rows, each text formed
// once: files share their days and minutes, and the locale's formatter is
// slow next to a lookup. The texts are CellFormat's; the locale is the one
// in force when the run began.
class DateCells {
public:
    const QString& date(const QDate& date);
    const QString& time(const QTime& time); // "hh:mm AP": seconds do not show

private:
    QHash<qint64, QString> m_dates;  // by Julian day
    std::vector<QString> m_times;    // by minute of the day, made on first use
    QString m_invalidTime;
};
