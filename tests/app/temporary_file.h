#pragma once

#include <QByteArray>
#include <QString>

#include <cstdio>

// A temporary file standing in for standard error, read back as text.
struct TemporaryFile {
    std::FILE* file = std::tmpfile();
    ~TemporaryFile() { std::fclose(file); }

    QString text() const {
        std::fflush(file);
        std::rewind(file);
        QByteArray bytes;
        char buffer[4096];
        while (const size_t n = std::fread(buffer, 1, sizeof buffer, file))
            bytes.append(buffer, qsizetype(n));
        return QString::fromUtf8(bytes);
    }
};
