// File patterns against names: the fast matcher must say what the rule says,
// for every pattern and every name, UTF-8 or not. Input: the pattern's UTF-8
// text, a 0 byte, then the name's bytes.
#include "fsview/wildcard_pattern.h"

#include <QByteArray>
#include <QChar>
#include <QList>
#include <QString>
#include <QStringDecoder>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <vector>

namespace {

// Letters fold: ASCII ones alone while comparing bytes, every one by its
// simple case folding while comparing characters.
char32_t folded(char32_t c) {
    if (c < 0x80)
        return (c >= 'A' && c <= 'Z') ? c + ('a' - 'A') : c;
    return QChar::toCaseFolded(c);
}

// The bytes decoded when they are UTF-8 throughout: a leading U+FEFF is a
// character like any other (QString::fromUtf8 would drop it), and a
// sequence cut off at the end is an error, not a start kept for more bytes.
std::optional<QString> decodedUtf8(const QByteArray& bytes) {
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::ConvertInitialBom |
                                                     QStringDecoder::Flag::Stateless);
    QString text = decoder.decode(bytes);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

// The text as the units "?" takes one of: code points, or bytes as they are.
std::vector<char32_t> unitsOf(const QByteArray& utf8, bool codePoints) {
    std::vector<char32_t> units;
    if (codePoints) {
        for (const char32_t c : decodedUtf8(utf8).value().toUcs4())
            units.push_back(folded(c));
    } else {
        for (const char c : utf8) {
            const auto byte = static_cast<unsigned char>(c);
            units.push_back(byte < 0x80 ? folded(byte) : byte);
        }
    }
    return units;
}

bool isUtf8(const QByteArray& bytes) {
    return decodedUtf8(bytes).has_value();
}

bool isAscii(const QByteArray& bytes) {
    for (const char c : bytes) {
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    }
    return true;
}

// The rule, plainly: "*.*" and a pattern of stars only (or none) take every
// name; else "*" takes any run of units and "?" exactly one, where a unit is
// a character of a name in UTF-8 outside ASCII and a byte of any other name.
bool reference(const QString& pattern, const QByteArray& name) {
    const QByteArray p = pattern.toUtf8();
    if (p == "*.*" || p.count('*') == p.size())
        return true;
    const bool codePoints = !isAscii(name) && isUtf8(name);
    const std::vector<char32_t> pu = unitsOf(p, codePoints);
    const std::vector<char32_t> nu = unitsOf(name, codePoints);
    // row[j]: whether the pattern so far matches the first j units of the name.
    std::vector<char> row(nu.size() + 1, 0);
    row[0] = 1;
    for (const char32_t u : pu) {
        std::vector<char> next(nu.size() + 1, 0);
        if (u == U'*') {
            next[0] = row[0];
            for (std::size_t j = 1; j <= nu.size(); ++j)
                next[j] = row[j] || next[j - 1];
        } else {
            for (std::size_t j = 1; j <= nu.size(); ++j)
                next[j] = row[j - 1] && (u == U'?' || u == nu[j - 1]);
        }
        row.swap(next);
    }
    return row[nu.size()] != 0;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray input(reinterpret_cast<const char*>(data), qsizetype(size));
    const qsizetype split = input.indexOf('\0');
    if (split < 0)
        return 0;
    const QString pattern = QString::fromUtf8(input.left(split));
    const QByteArray name = input.mid(split + 1);
    const WildcardPattern matcher(pattern);
    const bool got = matcher.matches(name);
    const bool want = reference(pattern, name);
    if (got != want) {
        std::fprintf(stderr,
                     "pattern \"%s\" and name \"%s\" (%s): matches() says %d, the rule %d\n",
                     pattern.toUtf8().toHex(' ').constData(), name.toHex(' ').constData(),
                     isUtf8(name) ? "UTF-8" : "not UTF-8", got, want);
        std::abort();
    }
    if (matcher.matchesEverything() && !got) {
        std::fprintf(stderr, "matchesEverything() but not this name\n");
        std::abort();
    }
    return 0;
}
