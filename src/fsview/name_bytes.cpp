#include "fsview/name_bytes.h"

namespace NameBytes {

namespace {

constexpr char16_t kMarkerBase = 0xdc00;

// The length of the UTF-8 character starting at at, 0 where the bytes there
// are none (overlong, a surrogate, beyond U+10FFFF, cut short); code gets it.
int characterAt(const unsigned char* p, qsizetype length, qsizetype at, char32_t& code) {
    const unsigned char lead = p[at];
    const int size = lead < 0x80            ? 1
                     : (lead & 0xe0) == 0xc0 ? 2
                     : (lead & 0xf0) == 0xe0 ? 3
                     : (lead & 0xf8) == 0xf0 ? 4
                                             : 0;
    if (size == 0 || at + size > length)
        return 0;
    code = size == 1 ? lead : char32_t(lead & (0x7f >> size));
    for (int i = 1; i < size; ++i) {
        if ((p[at + i] & 0xc0) != 0x80)
            return 0;
        code = (code << 6) | (p[at + i] & 0x3f);
    }
    static constexpr char32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < kLeast[size] || code > 0x10ffff || (code >= 0xd800 && code <= 0xdfff))
        return 0;
    return size;
}

bool isMarker(QStringView text, qsizetype i) {
    const char16_t c = text[i].unicode();
    // A low surrogate after a high one is half of a character, not a marker.
    return c >= kMarkerBase + 0x80 && c <= kMarkerBase + 0xff && (i == 0 || !text[i - 1].isHighSurrogate());
}

int hexDigit(QChar c) {
    const char16_t u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'a' && u <= 'f')
        return u - 'a' + 10;
    if (u >= 'A' && u <= 'F')
        return u - 'A' + 10;
    return -1;
}

// The byte a \xHH at i stands for; -1 when there is none or it is below 0x80.
int escapedByteAt(const QString& typed, qsizetype i) {
    if (i + 3 >= typed.size() || typed[i] != QLatin1Char('\\') || typed[i + 1] != QLatin1Char('x'))
        return -1;
    const int high = hexDigit(typed[i + 2]);
    const int low = hexDigit(typed[i + 3]);
    return high < 8 || low < 0 ? -1 : high * 16 + low;
}

} // namespace

QString decode(const char* bytes, qsizetype length) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes);
    qsizetype ascii = 0;
    while (ascii < length && p[ascii] < 0x80)
        ++ascii;
    if (ascii == length) // most names
        return QString::fromLatin1(bytes, length);
    QString text = QString::fromLatin1(bytes, ascii);
    text.reserve(length);
    for (qsizetype at = ascii; at < length;) {
        if (p[at] < 0x80) {
            text += QLatin1Char(char(p[at++]));
            continue;
        }
        char32_t code = 0;
        const int size = characterAt(p, length, at, code);
        if (size == 0) {
            text += QChar(char16_t(kMarkerBase + p[at++]));
            continue;
        }
        text += QChar::fromUcs4(code);
        at += size;
    }
    return text;
}

int characterAt(const QByteArray& bytes, qsizetype at, char32_t& code) {
    return characterAt(reinterpret_cast<const unsigned char*>(bytes.constData()), bytes.size(), at, code);
}

QString decode(const QByteArray& bytes) {
    return decode(bytes.constData(), bytes.size());
}

void appendDecoded(QString& text, const QByteArray& bytes) {
    for (const char c : bytes) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            text += decode(bytes);
            return;
        }
    }
    text += QLatin1StringView(bytes.constData(), bytes.size());
}

QByteArray encode(QStringView text) {
    if (!hasMarker(text))
        return text.toUtf8();
    QByteArray bytes;
    bytes.reserve(text.size() * 3);
    qsizetype from = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (!isMarker(text, i))
            continue;
        bytes += text.mid(from, i - from).toUtf8();
        bytes += char(text[i].unicode() - kMarkerBase);
        from = i + 1;
    }
    bytes += text.mid(from).toUtf8();
    return bytes;
}

bool hasMarker(QStringView text) {
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (isMarker(text, i))
            return true;
    }
    return false;
}

QString shown(const QString& text) {
    if (!hasMarker(text))
        return text;
    QString out;
    out.reserve(text.size() + 16);
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (isMarker(text, i))
            out += QStringLiteral("\\x%1").arg(int(text[i].unicode() - kMarkerBase), 2, 16, QLatin1Char('0'));
        else
            out += text[i];
    }
    return out;
}

QString unescaped(const QString& typed) {
    QByteArray bytes;
    bool escaped = false;
    qsizetype from = 0; // the typed text not yet taken into bytes
    for (qsizetype i = 0; i < typed.size(); ++i) {
        const int byte = escapedByteAt(typed, i);
        if (byte < 0)
            continue;
        bytes += encode(QStringView(typed).mid(from, i - from));
        bytes += char(byte);
        escaped = true;
        i += 3;
        from = i + 1;
    }
    if (!escaped)
        return typed;
    bytes += encode(QStringView(typed).mid(from));
    return decode(bytes);
}

} // namespace NameBytes
