#pragma once

#include <QByteArray>
#include <QString>
#include <QStringView>

// File names are bytes; the rows, cells and paths that show them are text.
// A name that is valid UTF-8 becomes its text. Each byte of one that is not
// (0x80-0xFF: ASCII always decodes) becomes a marker, the lone low surrogate
// U+DC00 + byte, which valid UTF-8 can never yield, so the text turns back
// into the very same bytes, as Python's "surrogateescape" does. Markers are
// shown as \xHH, and \xHH may be typed for them.
namespace NameBytes {

QString decode(const char* bytes, qsizetype length);
QString decode(const QByteArray& bytes);
// Adds what decode gives to text, with no text of its own for an ASCII name.
void appendDecoded(QString& text, const QByteArray& bytes);
// The bytes the text stands for: markers as their bytes, the rest as UTF-8.
QByteArray encode(QStringView text);

// The length of the UTF-8 character starting at at, 0 where the bytes there
// are none (overlong, a surrogate, beyond U+10FFFF, cut short); code gets it.
int characterAt(const QByteArray& bytes, qsizetype at, char32_t& code);

// Whether text holds a marker, that is, a byte that is not UTF-8.
bool hasMarker(QStringView text);
// The text for people: each marker as \xHH (two lowercase hex digits).
QString shown(const QString& text);
// Typed text with each \xHH for a byte 0x80-0xFF taken as that byte; the
// bytes they make with their neighbours are then decoded as a name is, so
// "caf\xc3\xa9" is "café" and "fn_\x80" ends in a marker.
QString unescaped(const QString& typed);

} // namespace NameBytes
