#include "reports/ncdu_parser.h"

#include <limits>
#include <string_view>

namespace {

// The metadata object may hold anything; nothing sensible is nested deeper.
constexpr int kMetadataDepth = 64;

enum class Field {
    Name, Apparent, Allocated, Device, Inode, Mtime, Uid, Gid, Mode, Links, HardLinked, NotRegular, ReadError,
    Excluded, Other
};

// By the first byte first: a million entries hold ten million keys.
Field fieldOf(std::string_view key) {
    const auto is = [&key](std::string_view name, Field field) { return key == name ? field : Field::Other; };
    switch (key.empty() ? '\0' : key[0]) {
    case 'n': return key.size() == 4 ? is("name", Field::Name) : key.size() == 5 ? is("nlink", Field::Links)
                                                                              : is("notreg", Field::NotRegular);
    case 'a': return is("asize", Field::Apparent);
    case 'd': return key.size() == 3 ? is("dev", Field::Device) : is("dsize", Field::Allocated);
    case 'i': return is("ino", Field::Inode);
    case 'm': return key.size() == 4 ? is("mode", Field::Mode) : is("mtime", Field::Mtime);
    case 'u': return is("uid", Field::Uid);
    case 'g': return is("gid", Field::Gid);
    case 'h': return is("hlnkc", Field::HardLinked);
    case 'r': return is("read_error", Field::ReadError);
    case 'e': return is("excluded", Field::Excluded);
    default: return Field::Other;
    }
}

} // namespace

NcduParser::NcduParser(int fd, NcduScan& scan) : m_cursor(fd), m_scan(scan) {}

void NcduParser::parse() {
    header();
    tree();
    m_cursor.expect(']', "] closing the file's array");
    m_cursor.expectEnd();
}

void NcduParser::header() {
    m_cursor.expect('[', "[ opening the file's array");
    m_cursor.peekToken();
    const JsonCursor::Position majorAt = m_cursor.position();
    const std::uint64_t major = m_cursor.unsignedNumber("the major version");
    if (major != 1)
        m_cursor.fail(majorAt, QStringLiteral("major version %1 is not one this program reads (1)").arg(major));
    m_cursor.expect(',', "a comma");
    m_cursor.unsignedNumber("the minor version");
    m_cursor.expect(',', "a comma");
    if (m_cursor.peekToken() != '{')
        m_cursor.failHere(QStringLiteral("expected the metadata object"));
    m_cursor.skipValue(kMetadataDepth);
    m_cursor.expect(',', "a comma");
}

// The start's directory array and everything in it.
void NcduParser::tree() {
    m_cursor.expect('[', "[ opening the start's directory");
    openDirectory();
    while (!m_open.empty()) {
        const int next = m_cursor.peekToken();
        if (next == ']') {
            m_cursor.expect(']', "]");
            m_scan.m_entries[m_open.back()].end = std::uint32_t(m_scan.m_entries.size());
            m_open.pop_back();
            continue;
        }
        m_cursor.expect(',', "a comma or ]");
        const int entry = m_cursor.peekToken();
        if (entry == '[') {
            if (m_open.size() >= kMaxDepth)
                m_cursor.failHere(QStringLiteral("directories are nested deeper than %1 levels").arg(kMaxDepth));
            m_cursor.expect('[', "[");
            openDirectory();
        } else if (entry == '{') {
            addEntry(false);
        } else {
            m_cursor.failHere(entry < 0 ? QStringLiteral("the file ends inside a directory")
                                        : QStringLiteral("expected an entry or a directory array"));
        }
    }
}

void NcduParser::openDirectory() {
    if (m_cursor.peekToken() != '{')
        m_cursor.failHere(QStringLiteral("a directory array must start with its own entry"));
    addEntry(true);
    m_open.push_back(std::uint32_t(m_scan.m_entries.size() - 1));
}

// One entry's object; a file ends where it starts.
void NcduParser::addEntry(bool directory) {
    if (m_scan.m_entries.size() >= std::numeric_limits<std::uint32_t>::max())
        m_cursor.failHere(QStringLiteral("more entries than this program can hold"));
    const JsonCursor::Position start = m_cursor.position();
    NcduScan::Entry entry;
    entry.directory = directory;
    if (!m_open.empty())
        entry.device = m_scan.m_entries[m_open.back()].device;
    m_named = false;
    m_cursor.expect('{', "{");
    if (m_cursor.peekToken() != '}') {
        field(entry);
        while (m_cursor.peekToken() == ',') {
            m_cursor.expect(',', "a comma");
            field(entry);
        }
    }
    m_cursor.expect('}', "a comma or } after a field");
    if (!m_named)
        m_cursor.fail(start, QStringLiteral("an entry has no name"));
    entry.end = std::uint32_t(m_scan.m_entries.size() + 1);
    m_scan.m_entries.push_back(entry);
}

void NcduParser::field(NcduScan::Entry& entry) {
    m_key.clear();
    m_cursor.string(m_key);
    m_cursor.expect(':', "a colon");
    switch (fieldOf(m_key)) {
    case Field::Name:
        entry.nameOffset = m_scan.m_names.size();
        m_cursor.string(m_scan.m_names);
        entry.nameLength = std::uint32_t(m_scan.m_names.size() - entry.nameOffset);
        m_named = true;
        break;
    case Field::Apparent: entry.apparent = m_cursor.unsignedNumber("asize"); break;
    case Field::Allocated: entry.allocated = m_cursor.unsignedNumber("dsize"); break;
    case Field::Device: entry.device = m_cursor.unsignedNumber("dev"); break;
    case Field::Inode: entry.inode = m_cursor.unsignedNumber("ino"); break;
    case Field::Mtime:
        entry.mtime = m_cursor.signedNumber("mtime");
        entry.timed = true;
        break;
    case Field::Uid:
        entry.uid = smallNumber("uid");
        entry.owned = true;
        break;
    case Field::Gid: entry.gid = smallNumber("gid"); break;
    case Field::Mode: entry.mode = smallNumber("mode"); break;
    case Field::Links: entry.links = smallNumber("nlink"); break;
    case Field::HardLinked: entry.hardLinked = m_cursor.boolean("hlnkc"); break;
    case Field::NotRegular: entry.notRegular = m_cursor.boolean("notreg"); break;
    case Field::ReadError: entry.readError = m_cursor.boolean("read_error"); break;
    case Field::Excluded: entry.excluded = excludedKind(); break;
    case Field::Other: m_cursor.skipValue(kMetadataDepth); break;
    }
}

std::uint32_t NcduParser::smallNumber(const char* what) {
    m_cursor.peekToken();
    const JsonCursor::Position start = m_cursor.position();
    const std::uint64_t value = m_cursor.unsignedNumber(what);
    if (value > std::numeric_limits<std::uint32_t>::max())
        m_cursor.fail(start, QStringLiteral("%1 is too large").arg(QString::fromLatin1(what)));
    return std::uint32_t(value);
}

// ncdu 1.x writes "othfs" where its format says "otherfs"; both are read.
NcduScan::Excluded NcduParser::excludedKind() {
    m_text.clear();
    m_cursor.string(m_text);
    if (m_text == "pattern")
        return NcduScan::Excluded::Pattern;
    if (m_text == "otherfs" || m_text == "othfs")
        return NcduScan::Excluded::OtherFileSystem;
    if (m_text == "kernfs")
        return NcduScan::Excluded::KernelFileSystem;
    if (m_text == "frmlnk")
        return NcduScan::Excluded::FromLink;
    return NcduScan::Excluded::Other;
}
