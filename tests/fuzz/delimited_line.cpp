// Rows of a results file: fields joined with a delimiter of one to three
// characters, written as UTF-8, read back by a plain RFC 4180 reader that
// splits at the whole delimiter, must give the same fields; and exactly the
// fields holding a quote, a line break or any character of the delimiter
// are the quoted ones. Input: one byte choosing the delimiter's length, then
// UTF-8 text whose first characters are the delimiter and whose rest is the
// fields, separated by 0 characters (a cell never holds one). The bytes
// written straight from the fields must be the line's.
#include "fsview/name_bytes.h"
#include "reports/results_file.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>

namespace {

struct Record {
    QStringList fields;
    QList<bool> quoted;
};

// One record of the line, or nothing when the line is not one well-formed
// record: a quote inside an unquoted field, text between a closing quote and
// the delimiter, a quote never closed, or a line break outside quotes (which
// would end the record in a file).
std::optional<Record> readRecord(const QString& line, const QString& delimiter) {
    Record record;
    const QStringView text(line);
    qsizetype i = 0;
    for (;;) {
        QString field;
        const bool quoted = i < text.size() && text[i] == u'"';
        if (quoted) {
            for (++i;; ++i) {
                if (i >= text.size())
                    return std::nullopt;
                if (text[i] == u'"') {
                    if (i + 1 < text.size() && text[i + 1] == u'"') {
                        field += u'"';
                        ++i;
                        continue;
                    }
                    ++i;
                    break;
                }
                field += text[i];
            }
        } else {
            for (; i < text.size() && !text.mid(i).startsWith(delimiter); ++i) {
                if (text[i] == u'"' || text[i] == u'\r' || text[i] == u'\n')
                    return std::nullopt;
                field += text[i];
            }
        }
        record.fields.append(field);
        record.quoted.append(quoted);
        if (i == text.size())
            return record;
        if (!text.mid(i).startsWith(delimiter))
            return std::nullopt;
        i += delimiter.size();
    }
}

// Characters, not UTF-16 units: "\U0001F601" holds no character of the
// delimiter "\U0001F600", although the two share their first unit.
bool needsQuotes(const QString& field, const QString& delimiter) {
    const QList<uint> delimiterCharacters = delimiter.toUcs4();
    for (const uint c : field.toUcs4()) {
        if (c == '"' || c == '\r' || c == '\n' || delimiterCharacters.contains(c))
            return true;
    }
    return false;
}

[[noreturn]] void fail(const char* what, const QStringList& fields, const QString& delimiter,
                       const QString& line) {
    std::fprintf(stderr, "%s\ndelimiter: \"%s\"\nline: \"%s\"\nfields:\n", what,
                 delimiter.toUtf8().constData(), line.toUtf8().constData());
    for (const QString& field : fields)
        std::fprintf(stderr, "  \"%s\"\n", field.toUtf8().constData());
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2)
        return 0;
    const int length = 1 + data[0] % 3;
    // Decoded text, so a field never holds half a surrogate pair, which no
    // UTF-8 file could carry.
    const QList<uint> text =
        QString::fromUtf8(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1)).toUcs4();
    if (text.size() < length)
        return 0;
    const QString delimiter =
        QString::fromUcs4(reinterpret_cast<const char32_t*>(text.constData()), length);
    // No format of this kind round-trips these delimiters: with a quote in
    // it, an empty field followed by the delimiter reads as the start of a
    // quoted field; a line break in it cannot be told from the end of the row.
    if (delimiter.contains(u'"') || delimiter.contains(u'\r') || delimiter.contains(u'\n'))
        return 0;
    const QString rest = QString::fromUcs4(
        reinterpret_cast<const char32_t*>(text.constData()) + length, text.size() - length);
    // At least one field, maybe empty: no fields and one empty field are both
    // the empty line, the one thing a line cannot tell apart.
    const QStringList fields = rest.split(QChar(0));

    const QString line = ResultsFile::joinFields(fields, delimiter);
    // The bytes written straight from the fields are the line's bytes.
    QByteArray bytes;
    ResultsFile::appendJoined(bytes, fields, delimiter);
    if (bytes != NameBytes::encode(line))
        fail("the bytes written differ from the line's", fields, delimiter, line);
    // The file holds UTF-8; what is read is what was written.
    const std::optional<Record> record = readRecord(QString::fromUtf8(line.toUtf8()), delimiter);
    if (!record)
        fail("the line is not one well-formed record", fields, delimiter, line);
    if (record->fields != fields)
        fail("the line reads back into other fields", fields, delimiter, line);
    for (qsizetype i = 0; i < fields.size(); ++i) {
        if (record->quoted[i] != needsQuotes(fields[i], delimiter))
            fail(record->quoted[i] ? "a field is quoted that needs no quotes"
                                   : "a field is not quoted that needs them",
                 fields, delimiter, line);
    }
    return 0;
}
