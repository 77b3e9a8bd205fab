#pragma once

#include <QList>
#include <QString>

#include <optional>
#include <stdexcept>

// The argument string of a command-line run: the arguments joined by single
// blanks, trimmed. Switch names and values are matched upper-cased; the
// typed text is kept for the values that name local files.
class CommandLine {
public:
    explicit CommandLine(const QString& argumentString);

    const QString& upper() const { return m_upper; }
    const QString& typed() const { return m_typed; }

    // 1-based position of the first character after the first occurrence of
    // the switch that starts a word; 0 when the switch is absent.
    qsizetype find(const QString& switchText) const;
    bool has(const QString& switchText) const { return find(switchText) > 0; }

    // The value of a present switch, upper-cased or as typed; nothing when absent.
    std::optional<QString> value(const QString& switchText) const;
    std::optional<QString> typedValue(const QString& switchText) const;

    // A word that starts with "/" where a word begins: a switch as the user
    // wrote it, up to the next blank.
    struct Word {
        qsizetype position = 0; // 0-based
        QString upper;
        QString typed;
    };
    QList<Word> switchWords() const;
    // What stands before the first switch word, as typed; empty when nothing.
    QString leadingText() const;

private:
    QString m_typed;
    QString m_upper; // same length as m_typed, character for character
};

// A command line that cannot run, with the reason.
class CommandLineError : public std::runtime_error {
public:
    explicit CommandLineError(const QString& message);
    QString message() const { return QString::fromUtf8(what()); }
};

// The value of a switch in str from the 1-based position start up to the next
// " /" or the end; a value in double quotes loses them. A quoted value made
// of a single quote character cannot be read.
QString fcnGetSwitchValue(const QString& str, qsizetype start);

