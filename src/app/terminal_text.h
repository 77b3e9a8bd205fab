#pragma once

#include <QString>

// Text bound for a terminal. A file name may hold escape sequences that
// would retitle, clear or reprogram the terminal it is printed on.
namespace TerminalText {

// Control characters (C0, DEL, C1) written as \xNN; everything else as is.
QString escaped(const QString& text);

} // namespace TerminalText
