#include "fsview/wildcard_pattern.h"

#include <QChar>

#include <cstdint>
#include <cstring>

namespace {

inline unsigned char asciiLower(unsigned char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c + ('a' - 'A')) : c;
}

// One code point of UTF-8 at p (before end): its length, or 0 when the bytes
// are not well-formed (overlong forms, surrogates and values past U+10FFFF
// included).
int decodeUtf8(const unsigned char* p, const unsigned char* end, char32_t& cp) {
    const unsigned char c = p[0];
    if (c < 0x80) {
        cp = c;
        return 1;
    }
    int length;
    char32_t min;
    if ((c & 0xE0) == 0xC0) {
        length = 2;
        cp = c & 0x1F;
        min = 0x80;
    } else if ((c & 0xF0) == 0xE0) {
        length = 3;
        cp = c & 0x0F;
        min = 0x800;
    } else if ((c & 0xF8) == 0xF0) {
        length = 4;
        cp = c & 0x07;
        min = 0x10000;
    } else {
        return 0;
    }
    if (end - p < length)
        return 0;
    for (int i = 1; i < length; ++i) {
        if ((p[i] & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (p[i] & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    return length;
}

enum class Unit { Byte, CodePoint };

// The next unit of text at p, folded for comparison; advances p.
template <Unit unit>
inline char32_t next(const unsigned char*& p, const unsigned char* end) {
    if constexpr (unit == Unit::Byte) {
        return asciiLower(*p++);
    } else {
        char32_t cp = 0;
        const int length = decodeUtf8(p, end, cp);
        if (length == 0) { // only the pattern can get here; take the byte as it is
            return *p++;
        }
        p += length;
        return cp < 0x80 ? asciiLower(static_cast<unsigned char>(cp)) : QChar::toCaseFolded(cp);
    }
}

// Greedy matching that on a mismatch goes back to just after the latest "*"
// and lets that star take one more unit: linear in practice and never
// exponential, however many stars the pattern has.
template <Unit unit>
bool matchUnits(const unsigned char* pattern, const unsigned char* patternEnd, const unsigned char* name,
                const unsigned char* nameEnd) {
    const unsigned char* p = pattern;
    const unsigned char* n = name;
    const unsigned char* afterStar = nullptr;
    const unsigned char* starName = nullptr;
    while (n < nameEnd) {
        if (p < patternEnd && *p == '*') {
            afterStar = ++p;
            starName = n;
            continue;
        }
        if (p < patternEnd) {
            const unsigned char* pNext = p;
            const unsigned char* nNext = n;
            const char32_t pc = next<unit>(pNext, patternEnd);
            const char32_t nc = next<unit>(nNext, nameEnd);
            if (pc == U'?' || pc == nc) {
                p = pNext;
                n = nNext;
                continue;
            }
        }
        if (!afterStar)
            return false;
        p = afterStar;
        next<unit>(starName, nameEnd);
        n = starName;
    }
    while (p < patternEnd && *p == '*')
        ++p;
    return p == patternEnd;
}

bool isAscii(const unsigned char* p, std::size_t length) {
    constexpr std::uint64_t kHighBits = 0x8080808080808080ull;
    std::size_t i = 0;
    for (; i + 8 <= length; i += 8) {
        std::uint64_t word;
        std::memcpy(&word, p + i, 8);
        if (word & kHighBits)
            return false;
    }
    for (; i < length; ++i) {
        if (p[i] >= 0x80)
            return false;
    }
    return true;
}

// Whether the folded ASCII segment equals name's bytes at, folded.
bool segmentAt(const QByteArray& segment, const unsigned char* name) {
    for (qsizetype i = 0; i < segment.size(); ++i) {
        if (asciiLower(name[i]) != static_cast<unsigned char>(segment[i]))
            return false;
    }
    return true;
}

bool isValidUtf8(const unsigned char* p, const unsigned char* end) {
    while (p < end) {
        char32_t cp = 0;
        const int length = decodeUtf8(p, end, cp);
        if (length == 0)
            return false;
        p += length;
    }
    return true;
}

} // namespace

WildcardPattern::WildcardPattern(const QString& pattern) : m_pattern(pattern.toUtf8()) {
    for (char& c : m_pattern)
        c = char(asciiLower(static_cast<unsigned char>(c)));
    // An empty pattern, "*", "**"... and "*.*" (which takes names without a
    // dot too, as on NetWare) let every name through.
    m_everything = m_pattern == "*.*";
    if (!m_everything) {
        m_everything = true;
        for (char c : m_pattern)
            m_everything = m_everything && c == '*';
    }
    m_segmented = !m_everything && !m_pattern.contains('?');
    for (char c : m_pattern)
        m_segmented = m_segmented && static_cast<unsigned char>(c) < 0x80;
    if (!m_segmented)
        return;
    m_starFirst = m_pattern.startsWith('*');
    m_starLast = m_pattern.endsWith('*');
    for (const QByteArray& segment : m_pattern.split('*')) {
        if (!segment.isEmpty())
            m_segments.append(segment);
    }
}

bool WildcardPattern::matchesSegments(const unsigned char* name, std::size_t length) const {
    qsizetype from = 0;
    qsizetype end = qsizetype(length);
    qsizetype first = 0;
    qsizetype last = m_segments.size();
    if (!m_starFirst) { // the first run begins the name; without a star at all it is the name
        const QByteArray& head = m_segments.first();
        if (head.size() > end || (!m_starLast && m_segments.size() == 1 && head.size() != end) ||
            !segmentAt(head, name))
            return false;
        from = head.size();
        ++first;
    }
    if (!m_starLast && first < last) {
        const QByteArray& tail = m_segments.last();
        if (tail.size() > end - from || !segmentAt(tail, name + end - tail.size()))
            return false;
        end -= tail.size();
        --last;
    }
    // Each run in the middle taken where it first fits: a later place could
    // only leave less room for the runs after it.
    for (qsizetype i = first; i < last; ++i) {
        const QByteArray& segment = m_segments[i];
        while (from + segment.size() <= end && !segmentAt(segment, name + from))
            ++from;
        if (from + segment.size() > end)
            return false;
        from += segment.size();
    }
    return true;
}

bool WildcardPattern::matches(const char* name, std::size_t length) const {
    if (m_everything)
        return true;
    const auto* n = reinterpret_cast<const unsigned char*>(name);
    const auto* nEnd = n + length;
    const auto* p = reinterpret_cast<const unsigned char*>(m_pattern.constData());
    const auto* pEnd = p + m_pattern.size();
    if (m_segmented && !m_starFirst) {
        // The run the name must begin with: while the name's characters are
        // ASCII they compare alike as bytes and as characters, so a
        // difference there is no match whatever follows (most names of a
        // rare pattern end here).
        const QByteArray& head = m_segments.first();
        for (qsizetype i = 0; i < head.size() && n + i < nEnd && n[i] < 0x80; ++i) {
            if (asciiLower(n[i]) != static_cast<unsigned char>(head[i]))
                return false;
        }
    }
    const bool ascii = isAscii(n, length);
    // Names outside ASCII compare by characters when they are proper UTF-8,
    // else by bytes (a mangled name still matches "*" and its own bytes).
    if (ascii && m_segmented)
        return matchesSegments(n, length);
    if (ascii || !isValidUtf8(n, nEnd))
        return matchUnits<Unit::Byte>(p, pEnd, n, nEnd);
    return matchUnits<Unit::CodePoint>(p, pEnd, n, nEnd);
}
