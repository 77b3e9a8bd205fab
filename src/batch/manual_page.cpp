#include "batch/manual_page.h"

#include "batch/syntax_texts.h"

#include <QStringList>

namespace ManualPage {

namespace {

// A line as roff prints it: backslashes, minus signs and apostrophes escaped
// (groff would otherwise print a hyphen and, typeset, a curly quote, which a
// reader cannot paste back into a shell), and a line opening with a control
// character kept as text.
QString text(const QString& line) {
    QString escaped = line;
    escaped.replace(QLatin1Char('\\'), QStringLiteral("\\e"))
        .replace(QLatin1Char('-'), QStringLiteral("\\-"))
        .replace(QLatin1Char('\''), QStringLiteral("\\(aq"));
    if (escaped.startsWith(QLatin1Char('.'))) escaped.prepend(QStringLiteral("\\&"));
    return escaped;
}

// Lines kept as they are, blanks and line breaks included.
QString verbatim(const QStringList& lines) {
    QString block = QStringLiteral(".nf\n");
    for (const QString& line : lines)
        block += line.isEmpty() ? QStringLiteral(".sp\n") : text(line) + QLatin1Char('\n');
    return block + QStringLiteral(".fi\n");
}

} // namespace

QString roff(const QString& version) {
    QString page =
        QStringLiteral(".TH QUARVO 1 \"\" \"Quarvo %1\" \"User Commands\"\n").arg(version);
    page += QStringLiteral(
        ".SH NAME\nquarvo \\- disk usage reports for the volumes of a file server\n");
    page +=
        QStringLiteral(".SH SYNOPSIS\n.B quarvo\n.br\n.B quarvo /DEBUG\n.br\n") +
        QStringLiteral(".B quarvo /T=\\fItree\\fB /F=\\fIfunction\\fR [\\fIswitches\\fR]\n.br\n") +
        QStringLiteral(".B quarvo\n\\-h | \\-\\-help | \\-\\-list | \\-\\-version | /?\n");
    page += QStringLiteral(".SH DESCRIPTION\n") +
            QStringLiteral(
                "Without arguments (or with /DEBUG) Quarvo opens its window. With switches it runs "
                "one report unattended, as from a script started by cron or a systemd timer, "
                "and writes it to the output file or to standard output.\n");
    page += QStringLiteral(".SH SWITCHES\n");
    for (int topic = 0; topic < SyntaxTexts::kTopicCount; ++topic)
        page += QStringLiteral(".SS \"%1\"\n").arg(text(SyntaxTexts::caption(topic))) +
                verbatim(SyntaxTexts::helpLines(topic));
    page += QStringLiteral(".SH \"EXIT STATUS AND NOTES\"\n") +
            verbatim(SyntaxTexts::closingText().chopped(1).split(QLatin1Char('\n')));
    return page;
}

} // namespace ManualPage
