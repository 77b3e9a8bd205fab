#pragma once

#include <QString>
#include <QStringList>

// The descriptions of the command-line switches, shown by the syntax window
// and printed by --help and /?.
namespace SyntaxTexts {

constexpr int kTopicCount = 9;

// Label caption of a topic: "/T = Tree", "/HEADINGS", "/F= Function", ...
QString caption(int topic);
// Its description, lines separated by CR LF, no line break after the last.
QString description(int topic);
// Every topic for a terminal: each description, then the exit statuses.
QString helpText();

} // namespace SyntaxTexts
