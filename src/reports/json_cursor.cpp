#include "reports/json_cursor.h"

#include <charconv>
#include <cerrno>
#include <cstring>
#include <limits>

#include <unistd.h>

namespace {

constexpr std::size_t kBufferBytes = 1024 * 1024;

bool isDigit(int c) {
    return c >= '0' && c <= '9';
}

void appendUtf8(std::string& out, std::uint32_t code) {
    if (code < 0x80) {
        out.push_back(char(code));
    } else if (code < 0x800) {
        out.push_back(char(0xc0 | (code >> 6)));
        out.push_back(char(0x80 | (code & 0x3f)));
    } else if (code < 0x10000) {
        out.push_back(char(0xe0 | (code >> 12)));
        out.push_back(char(0x80 | ((code >> 6) & 0x3f)));
        out.push_back(char(0x80 | (code & 0x3f)));
    } else {
        out.push_back(char(0xf0 | (code >> 18)));
        out.push_back(char(0x80 | ((code >> 12) & 0x3f)));
        out.push_back(char(0x80 | ((code >> 6) & 0x3f)));
        out.push_back(char(0x80 | (code & 0x3f)));
    }
}

QString latin1(const char* what) {
    return QString::fromLatin1(what);
}

} // namespace

QString JsonCursor::Error::text() const {
    if (line == 0)
        return message;
    return QStringLiteral("line %1, column %2: %3").arg(line).arg(column).arg(message);
}

JsonCursor::JsonCursor(int fd) : m_fd(fd), m_buffer(new char[kBufferBytes]) {
    m_at = m_end = m_buffer.get();
}

bool JsonCursor::refill() {
    m_bufferOffset += std::uint64_t(m_end - m_buffer.get());
    m_at = m_end = m_buffer.get();
    for (;;) {
        const ssize_t got = ::read(m_fd, m_buffer.get(), kBufferBytes);
        if (got > 0) {
            m_end = m_buffer.get() + got;
            return true;
        }
        if (got == 0)
            return false;
        if (errno != EINTR)
            failHere(QStringLiteral("the file cannot be read: %1").arg(QString::fromLocal8Bit(std::strerror(errno))));
    }
}

int JsonCursor::peekAfterRefill() {
    return refill() ? static_cast<unsigned char>(*m_at) : -1;
}

int JsonCursor::take() {
    const int c = peek();
    if (c >= 0)
        ++m_at;
    return c;
}

JsonCursor::Position JsonCursor::position() const {
    const std::uint64_t offset = m_bufferOffset + std::uint64_t(m_at - m_buffer.get());
    return {m_line, offset - m_lineStart + 1};
}

void JsonCursor::fail(const Position& where, const QString& message) const {
    throw Error{where.line, where.column, message};
}

void JsonCursor::skipBlanks() {
    for (int c = peek(); c == ' ' || c == '\n' || c == '\r' || c == '\t'; c = peek()) {
        ++m_at;
        if (c == '\n') {
            ++m_line;
            m_lineStart = m_bufferOffset + std::uint64_t(m_at - m_buffer.get());
        }
    }
}

int JsonCursor::peekToken() {
    skipBlanks();
    return peek();
}

void JsonCursor::expect(char c, const char* what) {
    const int got = peekToken();
    if (got != static_cast<unsigned char>(c))
        failHere(got < 0 ? QStringLiteral("the file ends where %1 should follow").arg(latin1(what))
                         : QStringLiteral("expected %1").arg(latin1(what)));
    ++m_at;
}

void JsonCursor::expectEnd() {
    if (peekToken() >= 0)
        failHere(QStringLiteral("more follows the end of the data"));
}

void JsonCursor::string(std::string& out) {
    expect('"', "a string");
    for (;;) {
        const char* run = m_at;
        while (m_at < m_end) {
            const auto c = static_cast<unsigned char>(*m_at);
            if (c == '"' || c == '\\' || c < 0x20)
                break;
            ++m_at;
        }
        out.append(run, std::size_t(m_at - run));
        const int c = peek();
        if (c == '"') {
            ++m_at;
            return;
        }
        if (c == '\\') {
            ++m_at;
            escape(out);
        } else if (c < 0) {
            failHere(QStringLiteral("the file ends inside a string"));
        } else if (c < 0x20) {
            failHere(QStringLiteral("a control character inside a string must be escaped"));
        }
    }
}

void JsonCursor::escape(std::string& out) {
    const int c = take();
    switch (c) {
    case '"': out.push_back('"'); return;
    case '\\': out.push_back('\\'); return;
    case '/': out.push_back('/'); return;
    case 'b': out.push_back('\b'); return;
    case 'f': out.push_back('\f'); return;
    case 'n': out.push_back('\n'); return;
    case 'r': out.push_back('\r'); return;
    case 't': out.push_back('\t'); return;
    case 'u': break;
    default: failHere(c < 0 ? QStringLiteral("the file ends inside a string") : QStringLiteral("unknown escape"));
    }
    std::uint32_t code = hexQuad();
    // A surrogate pair stands for one character beyond U+FFFF.
    if (code >= 0xd800 && code < 0xdc00 && peek() == '\\') {
        ++m_at;
        if (take() != 'u')
            failHere(QStringLiteral("a high surrogate must be followed by a low one"));
        const std::uint32_t low = hexQuad();
        if (low < 0xdc00 || low >= 0xe000)
            failHere(QStringLiteral("a high surrogate must be followed by a low one"));
        code = 0x10000 + ((code - 0xd800) << 10) + (low - 0xdc00);
    }
    appendUtf8(out, code);
}

std::uint32_t JsonCursor::hexQuad() {
    const Position start = position();
    char digits[4];
    for (char& digit : digits)
        digit = char(take());
    std::uint32_t code = 0;
    const auto [end, error] = std::from_chars(digits, digits + 4, code, 16);
    if (error != std::errc() || end != digits + 4)
        fail(start, QStringLiteral("\\u needs four hexadecimal digits"));
    return code;
}

std::uint64_t JsonCursor::digits(const Position& start, const char* what) {
    if (!isDigit(peek()))
        fail(start, QStringLiteral("%1 is not a number").arg(latin1(what)));
    std::uint64_t value = 0;
    for (int c = peek(); isDigit(c); c = peek()) {
        const auto digit = std::uint64_t(c - '0');
        if (value > (std::numeric_limits<std::uint64_t>::max() - digit) / 10)
            fail(start, QStringLiteral("%1 is too large").arg(latin1(what)));
        value = value * 10 + digit;
        ++m_at;
    }
    const int next = peek();
    if (next == '.' || next == 'e' || next == 'E')
        fail(start, QStringLiteral("%1 is not a whole number").arg(latin1(what)));
    return value;
}

std::uint64_t JsonCursor::unsignedNumber(const char* what) {
    skipBlanks();
    const Position start = position();
    if (peek() == '-')
        fail(start, QStringLiteral("%1 is negative").arg(latin1(what)));
    return digits(start, what);
}

std::int64_t JsonCursor::signedNumber(const char* what) {
    skipBlanks();
    const Position start = position();
    const bool negative = peek() == '-';
    if (negative)
        ++m_at;
    const std::uint64_t magnitude = digits(start, what);
    if (magnitude > std::uint64_t(std::numeric_limits<std::int64_t>::max()))
        fail(start, QStringLiteral("%1 is too large").arg(latin1(what)));
    return negative ? -std::int64_t(magnitude) : std::int64_t(magnitude);
}

bool JsonCursor::boolean(const char* what) {
    const int c = peekToken();
    if (c == 't' || c == 'f') {
        literal(c == 't' ? "true" : "false");
        return c == 't';
    }
    failHere(QStringLiteral("%1 is not true or false").arg(latin1(what)));
}

void JsonCursor::literal(const char* word) {
    const Position start = position();
    for (const char* p = word; *p; ++p) {
        if (take() != static_cast<unsigned char>(*p))
            fail(start, QStringLiteral("expected %1").arg(latin1(word)));
    }
}

void JsonCursor::skipNumber() {
    const Position start = position();
    if (peek() == '-')
        ++m_at;
    if (!isDigit(peek()))
        fail(start, QStringLiteral("expected a value"));
    for (int c = peek(); isDigit(c) || c == '.' || c == 'e' || c == 'E' || c == '+' || c == '-'; c = peek())
        ++m_at;
}

void JsonCursor::skipValue(int depthLeft) {
    std::string scratch;
    switch (peekToken()) {
    case '"': string(scratch); return;
    case '{': skipContainer('}', depthLeft); return;
    case '[': skipContainer(']', depthLeft); return;
    case 't': literal("true"); return;
    case 'f': literal("false"); return;
    case 'n': literal("null"); return;
    case -1: failHere(QStringLiteral("the file ends where a value should follow"));
    default: skipNumber(); return;
    }
}

void JsonCursor::skipContainer(char close, int depthLeft) {
    if (depthLeft <= 0)
        failHere(QStringLiteral("values are nested too deep"));
    ++m_at;
    if (peekToken() == static_cast<unsigned char>(close)) {
        ++m_at;
        return;
    }
    const bool object = close == '}';
    std::string key;
    for (;;) {
        if (object) {
            string(key);
            expect(':', "a colon");
        }
        skipValue(depthLeft - 1);
        const int next = peekToken();
        if (next == static_cast<unsigned char>(close)) {
            ++m_at;
            return;
        }
        expect(',', object ? "a comma or }" : "a comma or ]");
    }
}
