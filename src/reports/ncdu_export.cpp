#include "reports/ncdu_export.h"

#include <sys/stat.h>

#include <algorithm>
#include <charconv>
#include <cstddef>
#include <cstring>
#include <string_view>

namespace {

// Written to the file in pieces of about this size.
constexpr qsizetype kFlushBytes = 256 * 1024;

// Room for every field of an entry besides its name.
constexpr qsizetype kFieldRoom = 512;

// One entry's object, field by field in the order ncdu writes them, straight
// into room made at the end of out: an export writes millions of them.
class InfoObject {
public:
    // Room for the name at its longest escaped (\u00XX a byte) and the fields.
    InfoObject(QByteArray& out, QByteArrayView name) : m_out(out) {
        const qsizetype start = out.size();
        out.resize(start + 6 * name.size() + kFieldRoom);
        m_at = out.data() + start;
        put("{\"name\":");
        putString(name);
    }
    ~InfoObject() {
        *m_at++ = '}';
        m_out.resize(m_at - m_out.constData());
    }
    InfoObject(const InfoObject&) = delete;
    InfoObject& operator=(const InfoObject&) = delete;

    // key holds its quotes and colon: "\"asize\":".
    void number(std::string_view key, std::uint64_t value) {
        *m_at++ = ',';
        put(key);
        m_at = std::to_chars(m_at, m_at + 20, value).ptr;
    }
    // ncdu leaves out the sizes that are 0.
    void size(std::string_view key, std::uint64_t value) {
        if (value != 0)
            number(key, value);
    }
    void flag(std::string_view key) {
        *m_at++ = ',';
        put(key);
        put("true");
    }
    void text(std::string_view key, std::string_view value) {
        *m_at++ = ',';
        put(key);
        *m_at++ = '"';
        put(value);
        *m_at++ = '"';
    }
    // Extended mode's fields; a time before 1970 is written as 0, as readers take no sign.
    void owner(std::uint32_t uid, std::uint32_t gid, std::uint32_t mode, std::int64_t mtime) {
        number("\"uid\":", uid);
        number("\"gid\":", gid);
        number("\"mode\":", mode);
        number("\"mtime\":", std::uint64_t(std::max<std::int64_t>(mtime, 0)));
    }

private:
    void put(std::string_view bytes) {
        std::memcpy(m_at, bytes.data(), bytes.size());
        m_at += bytes.size();
    }

    // The escapes ncdu writes: a short one where JSON has it, \u00XX for
    // the other control bytes and DEL; every other byte as it is, so a name
    // that is not UTF-8 keeps its bytes.
    void putEscape(unsigned char c) {
        static const char hex[] = "0123456789abcdef";
        switch (c) {
        case '"': put("\\\""); return;
        case '\\': put("\\\\"); return;
        case '\b': put("\\b"); return;
        case '\f': put("\\f"); return;
        case '\n': put("\\n"); return;
        case '\r': put("\\r"); return;
        case '\t': put("\\t"); return;
        default: break;
        }
        const char escaped[] = {'\\', 'u', '0', '0', hex[c >> 4], hex[c & 15]};
        put(std::string_view(escaped, sizeof escaped));
    }

    void putString(QByteArrayView bytes) {
        *m_at++ = '"';
        for (const char byte : bytes) {
            const auto c = static_cast<unsigned char>(byte);
            if (c >= 0x20 && c != '"' && c != '\\' && c != 0x7f)
                *m_at++ = byte;
            else
                putEscape(c);
        }
        *m_at++ = '"';
    }

    QByteArray& m_out;
    char* m_at;
};

} // namespace

QString NcduExport::open(const QString& path, const QByteArray& rootName, std::time_t timestamp) {
    m_buffer.clear();
    m_buffer.reserve(kFlushBytes + 64 * 1024);
    m_rootName = rootName;
    m_open = 0;
    m_error.clear();
    if (QString error = m_file.open(path, WholeFileWriter::Mode::Replace); !error.isEmpty())
        return error;
    m_buffer.append("[1,2,{\"progname\":\"quarvo\",\"progver\":\"" QUARVO_VERSION "\",\"timestamp\":" +
                    QByteArray::number(qint64(std::max<std::time_t>(timestamp, 0))) + "},\n");
    return {};
}

void NcduExport::add(const WalkedDirectory& directory) {
    if (!m_error.isEmpty() || !m_file.isOpen())
        return;
    // Pre-order: the arrays of the directories this one is not inside of end here.
    for (; m_open > directory.depth; --m_open)
        m_buffer.append(']');
    if (directory.depth == 0)
        m_rootDevice = directory.device;
    else
        m_buffer.append(",\n");
    m_buffer.append('[');
    ++m_open;
    appendDirectory(directory);
    m_buffer.append(directory.record);
    for (const MountLeftOut& mount : directory.mountsLeftOut) {
        m_buffer.append(",\n[");
        appendMount(mount);
        m_buffer.append(']');
    }
    flushFull();
}

void NcduExport::appendDirectory(const WalkedDirectory& directory) {
    InfoObject info(m_buffer, directory.depth == 0 ? m_rootName : directory.name);
    info.size("\"asize\":", directory.own.size);
    info.size("\"dsize\":", directory.own.allocated);
    if (directory.depth == 0)
        info.number("\"dev\":", m_rootDevice);
    info.owner(directory.own.uid, directory.own.gid, directory.own.mode, directory.own.mtime);
    if (directory.inode != 0) // not known where it could not be opened
        info.number("\"ino\":", directory.inode);
    if (!directory.readable)
        info.flag("\"read_error\":");
}

void NcduExport::recordFile(const WalkedFile& file, QByteArrayView name, QByteArray& record,
                            std::uint64_t rootDevice) {
    // One directory's files take a few kilobytes: grown once, not entry by entry.
    if (record.isEmpty())
        record.reserve(4096);
    record.append(",\n");
    InfoObject info(record, name);
    if (!file.statted) {
        info.flag("\"read_error\":");
        return;
    }
    info.size("\"asize\":", file.size);
    info.size("\"dsize\":", file.allocated);
    if (file.device != rootDevice) // a file bind-mounted in from elsewhere
        info.number("\"dev\":", file.device);
    info.owner(file.uid, file.gid, file.mode, file.mtime);
    info.number("\"ino\":", file.inode);
    if (file.links > 1) {
        info.flag("\"hlnkc\":");
        info.number("\"nlink\":", file.links);
    }
    if (!S_ISREG(file.mode))
        info.flag("\"notreg\":");
}

// As ncdu -x writes a mount point: no sizes, and why it is left out.
void NcduExport::appendMount(const MountLeftOut& mount) {
    InfoObject info(m_buffer, mount.name);
    info.number("\"dev\":", mount.device);
    info.owner(mount.own.uid, mount.own.gid, mount.own.mode, mount.own.mtime);
    info.number("\"ino\":", mount.inode);
    info.text("\"excluded\":", "otherfs");
}

void NcduExport::flushFull() {
    if (m_buffer.size() < kFlushBytes)
        return;
    m_error = m_file.write(m_buffer);
    m_buffer.clear();
}

QString NcduExport::commit() {
    if (m_error.isEmpty() && m_file.isOpen()) {
        for (; m_open > 0; --m_open)
            m_buffer.append(']');
        m_buffer.append("]\n");
        m_error = m_file.write(m_buffer);
        m_buffer.clear();
    }
    if (m_error.isEmpty())
        m_error = m_file.commit();
    if (!m_error.isEmpty())
        m_file.abandon();
    return m_error;
}

void NcduExport::abandon() {
    m_file.abandon();
    m_buffer.clear();
}
