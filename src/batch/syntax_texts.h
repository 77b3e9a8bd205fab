#pragma once

#include <QString>
#include <QStringList>

// The descriptions of the command-line switches: one source for the syntax
// window, --help and /? on a terminal, and the manual page.
namespace SyntaxTexts {

constexpr int kTopicCount = 9;

// Label caption of a topic: "/T = Tree", "/HEADINGS", "/F= Function", ...
QString caption(int topic);
// Its description as the window shows it, lines separated by CR LF, no line
// break after the last.
QString description(int topic);
// What "Print All" prints before its closing line break: every description,
// each followed by a blank line, 15 asterisks and a blank line.
QString printAllText();
// A topic's lines for a terminal or the manual page: the description with
// the notes a reader without the window needs (accepted forms, conflicts).
QStringList helpLines(int topic);
// "Usage: quarvo /T=<tree> /F=<function> [switches]"
QString usageLine();
// An exit status of a command-line run; its meaning in lines that fit a terminal.
struct ExitStatus {
    int status;
    QStringList lines;
};
QList<ExitStatus> exitStatuses();
// "Every failure says why on standard error."
QString failureNote();
// The program's own switches, where results and messages go. Lines end in LF.
QString closingNotes();
// What follows the topics: the exit statuses, the failure note, a blank line
// and the closing notes. Lines end in LF.
QString closingText();
// Every topic for a terminal: the usage line, each topic, the closing text.
QString helpText();

} // namespace SyntaxTexts
