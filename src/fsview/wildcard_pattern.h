#pragma once

#include <QByteArray>
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
    QByteArray m_pattern; // UTF-8, ASCII letters folded to lower case
    bool m_everything = false;
};
