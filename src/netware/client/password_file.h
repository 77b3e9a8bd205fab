#pragma once

#include <QByteArray>
#include <QString>

// The content of a file holding a service password, without one final line
// break: read into one buffer of a fixed size (no growing leaves a copy
// behind) and wiped when it goes.
class PasswordFile {
public:
    explicit PasswordFile(const QString& path);
    ~PasswordFile();
    PasswordFile(const PasswordFile&) = delete;
    PasswordFile& operator=(const PasswordFile&) = delete;

    bool ok() const { return m_why.isEmpty(); }
    const QString& why() const { return m_why; } // why it cannot be read
    char* data() { return m_bytes.data(); }
    qsizetype size() const { return m_size; }

private:
    QByteArray m_bytes;
    qsizetype m_size = 0;
    QString m_why;
};
