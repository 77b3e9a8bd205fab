#pragma once

#include <QString>

// Text bound for a terminal. A file name may hold escape sequences that
// would retitle, clear or reprogram the terminal it is printed on.
namespace TerminalText {

// Control characters (C0, DEL, C1) and the bytes of names that are not UTF-8
// (NameBytes) written as \xNN; everything else as is.
QString escaped(const QString& text);

} // namespace TerminalText
