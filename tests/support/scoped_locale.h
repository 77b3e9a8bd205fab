#pragma once

#include <QLocale>

// Makes a locale the default for one test and puts the previous default back
// afterwards, so later tests still see the pinned US English.
class ScopedLocale {
public:
    explicit ScopedLocale(const QLocale& locale) : m_previous(QLocale()) { QLocale::setDefault(locale); }
    ~ScopedLocale() { QLocale::setDefault(m_previous); }
    ScopedLocale(const ScopedLocale&) = delete;
    ScopedLocale& operator=(const ScopedLocale&) = delete;

    static QLocale german() { return QLocale(QLocale::German, QLocale::Germany); }

private:
    QLocale m_previous;
};
