#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <memory>
#include <string>

// Reads JSON from a descriptor a piece at a time, token by token, so a file
// of any size passes through a fixed buffer. Knows where it is by line and
// column (bytes, from 1) and throws an Error saying so for anything that is
// not what was expected: bad syntax, a wrong kind of value, the end of the
// file too soon. Strings are read as bytes: \u escapes become UTF-8 (a
// \u00XX below 0x80 the byte itself) and bytes that are not UTF-8 pass as
// they are, as ncdu writes names.
class JsonCursor {
public:
    struct Error {
        std::uint64_t line = 0;
        std::uint64_t column = 0;
        QString message;
        // "line 3, column 14: <message>"; the message alone at line 0 (no position)
        QString text() const;
    };
    struct Position {
        std::uint64_t line = 1;
        std::uint64_t column = 1;
    };

    // fd stays the caller's.
    explicit JsonCursor(int fd);

    // The next byte after any blanks, not taken; -1 at the end.
    int peekToken();
    // Takes the next byte after any blanks, which must be c.
    void expect(char c, const char* what);
    // Takes what ends the input: blanks alone may follow.
    void expectEnd();
    // A string, appended to out as bytes.
    void string(std::string& out);
    // A whole number that fits: what names the value in a message.
    std::uint64_t unsignedNumber(const char* what);
    std::int64_t signedNumber(const char* what);
    bool boolean(const char* what);
    // Passes over one value of any kind, nested at most depthLeft deep.
    void skipValue(int depthLeft);

    Position position() const;
    [[noreturn]] void fail(const Position& where, const QString& message) const;
    [[noreturn]] void failHere(const QString& message) const { fail(position(), message); }

private:
    // The next byte, not taken; -1 at the end. Inline: it runs for every byte.
    int peek() { return m_at != m_end ? static_cast<unsigned char>(*m_at) : peekAfterRefill(); }
    int peekAfterRefill();
    int take();
    bool refill();
    void skipBlanks();
    void escape(std::string& out);
    std::uint32_t hexQuad();
    std::uint64_t digits(const Position& start, const char* what);
    void literal(const char* word);
    void skipNumber();
    void skipContainer(char close, int depthLeft);

    int m_fd;
    std::unique_ptr<char[]> m_buffer;
    const char* m_at = nullptr;
    const char* m_end = nullptr;
    std::uint64_t m_bufferOffset = 0; // of the buffer's first byte in the input
    std::uint64_t m_line = 1;
    std::uint64_t m_lineStart = 0;    // offset of the current line's first byte
};
