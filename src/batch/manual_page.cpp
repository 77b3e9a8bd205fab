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

// A tagged paragraph: the tag in bold, then its text.
QString item(const QString& tag, const QString& paragraph) {
    return QStringLiteral(".TP\n.B ") + text(tag) + QLatin1Char('\n') + text(paragraph) +
           QLatin1Char('\n');
}

QString exitStatusSection() {
    QString section = QStringLiteral(".SH \"EXIT STATUS\"\n");
    for (const SyntaxTexts::ExitStatus& exit : SyntaxTexts::exitStatuses())
        section += item(QString::number(exit.status), exit.lines.join(QLatin1Char(' ')));
    return section + QStringLiteral(".PP\n") + text(SyntaxTexts::failureNote()) + QLatin1Char('\n');
}

struct Item {
    const char* tag;
    const char* paragraph;
};

// A section of tagged paragraphs.
QString itemSection(const QString& title, std::initializer_list<Item> items) {
    QString section = QStringLiteral(".SH ") + title + QLatin1Char('\n');
    for (const Item& entry : items)
        section += item(QString::fromUtf8(entry.tag), QString::fromUtf8(entry.paragraph));
    return section;
}

QString environmentSection() {
    return itemSection(
        QStringLiteral("ENVIRONMENT"),
        {{"QUARVO_SITE", "The site file to read, in place of looking for one; a file that does "
                         "not exist there is an error."},
         {"XDG_CONFIG_HOME",
          "Where the user's site file and settings are (~/.config when it is not set)."},
         {"QUARVO_HISTORY",
          "Where the history of runs is kept, in place of the site file's history = and the "
          "default: an SQLite file, or a PostgreSQL database as "
          "postgresql://user@host/database."},
         {"XDG_STATE_HOME",
          "Where the log of deletes and moves and the history of runs are (~/.local/state when "
          "it is not set)."},
         {"DISPLAY, WAYLAND_DISPLAY",
          "The display the window opens on; without either, quarvo /? prints the syntax texts "
          "and quarvo alone exits with status 3."}});
}

QString filesSection() {
    return itemSection(
        QStringLiteral("FILES"),
        {{"$XDG_CONFIG_HOME/Tessaloom/site.toml",
          "The user's site file (~/.config/Tessaloom/site.toml): the trees, servers and volumes "
          "of the site. Read unless QUARVO_SITE is set."},
         {"/etc/xdg/Tessaloom/site.toml",
          "The site file of every user, read when the user has none."},
         {"~/.config/Tessaloom/Quarvo.conf",
          "The user's settings, such as SaveFileDelimiter, the delimiter of the output files."},
         {"/etc/xdg/Tessaloom/Quarvo.conf", "The settings of every user."},
         {"$XDG_STATE_HOME/Quarvo/Quarvo.log",
          "The log of every delete and move done from the window "
          "(~/.local/state/Quarvo/Quarvo.log); /var/log/quarvo/Quarvo.log when root runs Quarvo "
          "and that folder exists; beside the program when it runs, not installed, from a folder "
          "the user may write, such as a build folder."},
         {"$XDG_STATE_HOME/Quarvo/history.sqlite",
          "The history of runs (~/.local/state/Quarvo/history.sqlite); "
          "/var/lib/quarvo/history.sqlite when root runs Quarvo."},
         {"<file>.partial", "The rows a stopped run found, beside its output file."}});
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
        QStringLiteral(".B quarvo\n\\-h | \\-\\-help | \\-\\-list | \\-\\-version | /?\n.br\n") +
        QStringLiteral(".B quarvo \\-\\-history\n[/T= /S= /V= /F= /D=]\n");
    page += QStringLiteral(".SH DESCRIPTION\n") +
            QStringLiteral(
                "Without arguments (or with /DEBUG) Quarvo opens its window. With switches it runs "
                "one report unattended, as from a script started by cron or a systemd timer, "
                "and writes it to the output file or to standard output.\n");
    page += QStringLiteral(".SH SWITCHES\n");
    for (int topic = 0; topic < SyntaxTexts::kTopicCount; ++topic)
        page += QStringLiteral(".SS \"%1\"\n").arg(text(SyntaxTexts::caption(topic))) +
                verbatim(SyntaxTexts::helpLines(topic));
    page += exitStatusSection() + environmentSection() + filesSection();
    page += QStringLiteral(".SH NOTES\n") +
            verbatim(SyntaxTexts::closingNotes().chopped(1).split(QLatin1Char('\n')));
    return page;
}

} // namespace ManualPage
