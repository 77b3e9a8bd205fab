#pragma once

#include <QString>

// quarvo(1) in roff, written at build time from the syntax texts, so the
// manual page says what --help and the syntax window say.
namespace ManualPage {

QString roff(const QString& version);

} // namespace ManualPage
