#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <cstddef>

// NetWare's wildcard rule for directory scans: "*" any run of characters,
// "?" one character, letters compared without regard to case; "*.*" (and
// "*") match every name.
class WildcardPattern {
public:
    explicit WildcardPattern(const QString& pattern);

    bool matchesEverything() const { return m_everything; }
    // name: the entry's bytes (UTF-8 as stored); a name that is not valid
    // UTF-8 is compared byte for byte outside ASCII.
    bool matches(const char* name, std::size_t length) const;
    bool matches(const QByteArray& name) const { return matches(name.constData(), std::size_t(name.size())); }

private:
    bool matchesSegments(const unsigned char* name, std::size_t length) const;

    QByteArray m_pattern; // UTF-8, ASCII letters folded to lower case
    bool m_everything = false;
    // An ASCII pattern without "?" is its runs between stars, matched
    // against an ASCII name without going back: the first run must begin
    // the name, the last end it, the others follow in order between.
    bool m_segmented = false;
    bool m_starFirst = false;
    bool m_starLast = false;
    QList<QByteArray> m_segments;
};
