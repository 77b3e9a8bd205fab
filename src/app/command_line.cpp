#include "app/command_line.h"

namespace {

// Upper case character for character, so positions in both texts agree.
QString upperSameLength(const QString& text) {
    QString upper = text;
    for (QChar& c : upper)
        c = c.toUpper();
    return upper;
}

} // namespace

CommandLine::CommandLine(const QString& argumentString)
    : m_typed(argumentString.trimmed()), m_upper(upperSameLength(m_typed)) {}

// Only where a word begins: on Linux a path such as /srv/append/x.csv must
// not count as the switch /APPEND.
qsizetype CommandLine::find(const QString& switchText) const {
    qsizetype from = 0;
    while ((from = m_upper.indexOf(switchText, from)) >= 0) {
        if (from == 0 || m_upper[from - 1] == QLatin1Char(' '))
            return from + switchText.size() + 1;
        ++from;
    }
    return 0;
}

std::optional<QString> CommandLine::value(const QString& switchText) const {
    const qsizetype start = find(switchText);
    if (start == 0)
        return std::nullopt;
    return fcnGetSwitchValue(m_upper, start);
}

std::optional<QString> CommandLine::typedValue(const QString& switchText) const {
    const qsizetype start = find(switchText);
    if (start == 0)
        return std::nullopt;
    return fcnGetSwitchValue(m_typed, start);
}

QList<CommandLine::Word> CommandLine::switchWords() const {
    QList<Word> words;
    for (qsizetype at = 0; at < m_upper.size(); ++at) {
        if (m_upper[at] != QLatin1Char('/') || (at > 0 && m_upper[at - 1] != QLatin1Char(' ')))
            continue;
        qsizetype end = m_upper.indexOf(QLatin1Char(' '), at);
        if (end < 0)
            end = m_upper.size();
        words.append({at, m_upper.mid(at, end - at), m_typed.mid(at, end - at)});
    }
    return words;
}

QString CommandLine::leadingText() const {
    const QList<Word> words = switchWords();
    return m_typed.left(words.isEmpty() ? m_typed.size() : words.first().position).trimmed();
}

CommandLineError::CommandLineError(const QString& message)
    : std::runtime_error(message.toStdString()) {}

QString fcnGetSwitchValue(const QString& str, qsizetype start) {
    const qsizetype from = start - 1;
    const qsizetype end = str.indexOf(QLatin1String(" /"), from);
    const QString value = str.mid(from, end < 0 ? -1 : end - from);
    if (value == QLatin1String("\""))
        throw CommandLineError(QStringLiteral("A switch value consists of a single quote character."));
    if (value.size() >= 2 && value.startsWith(QLatin1Char('"')) && value.endsWith(QLatin1Char('"')))
        return value.mid(1, value.size() - 2);
    return value;
}
