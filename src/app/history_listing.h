#pragma once

#include <QString>
#include <QStringList>

class HistoryStore;

// quarvo --history [/T= /S= /V= /F= /D=]: the stored runs, newest first, one
// line each (number, when it began, kind, place, choices, rows, total), for
// a person and for /COMPARE=, which takes the number.
namespace HistoryListing {

// The lines, the heading line first; nothing, with the reason as error,
// when the store cannot be read. Throws CommandLineError for a switch it
// does not take.
QStringList lines(HistoryStore& store, const QString& switches, QString& error);

} // namespace HistoryListing
