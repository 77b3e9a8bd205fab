#pragma once

#include <QByteArray>
#include <QString>

#include <cstring>

// A password as the bytes a library call takes, wiped when it goes out of
// scope so no copy of it stays in freed memory.
class SecretBytes {
public:
    explicit SecretBytes(const QString& text) : m_bytes(text.toUtf8()) { m_bytes.detach(); }
    ~SecretBytes() { ::explicit_bzero(m_bytes.data(), std::size_t(m_bytes.size())); }
    SecretBytes(const SecretBytes&) = delete;
    SecretBytes& operator=(const SecretBytes&) = delete;

    char* data() { return m_bytes.data(); }
    qsizetype size() const { return m_bytes.size(); }

    // Compares two byte runs in a time that does not depend on where they differ.
    static bool equal(const char* a, const char* b, std::size_t size) {
        unsigned char difference = 0;
        for (std::size_t i = 0; i < size; ++i)
            difference |= static_cast<unsigned char>(a[i] ^ b[i]);
        return difference == 0;
    }

    // Zeroes text where it lies when text is its only holder (else lets go of
    // it), so a password read from a box does not stay in freed memory.
    static void wipe(QString& text) {
        if (text.isDetached())
            ::explicit_bzero(const_cast<QChar*>(text.constData()), std::size_t(text.size()) * sizeof(QChar));
        text = QString();
    }

private:
    QByteArray m_bytes;
};
