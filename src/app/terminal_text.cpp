#include "app/terminal_text.h"

#include "fsview/name_bytes.h"

namespace TerminalText {

namespace {

bool isControl(char16_t c) {
    return c < 0x20 || (c >= 0x7f && c <= 0x9f);
}

} // namespace

QString escaped(const QString& text) {
    if (NameBytes::hasMarker(text))
        return escaped(NameBytes::shown(text));
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        if (isControl(c.unicode()))
            out += QStringLiteral("\\x%1").arg(int(c.unicode()), 2, 16, QLatin1Char('0'));
        else
            out += c;
    }
    return out;
}

} // namespace TerminalText
