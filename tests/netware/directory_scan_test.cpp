#include "netware/client/netware_client.h"

#include "acme_site.h"

#include <QDateTime>
#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr std::uint16_t kDirectoriesOnly = 0xB7;
constexpr std::uint16_t kFilesOnly = 0x07;

// FS1's VOL1 in a temporary folder, with a client attached to FS1.
class DirectoryScan : public ::testing::Test {
protected:
    DirectoryScan() : client(acme.site()) {
        client.NWCallsInit();
        client.NWAttachToFileServer("FS1", 0, conn);
    }

    QString local(const QString& relative) const { return QFile::decodeName(acme.root("VOL1")) + "/" + relative; }
    void mkdir(const QString& relative) const { ASSERT_TRUE(QDir().mkpath(local(relative))); }
    void write(const QString& relative, qsizetype size = 0) const {
        QFile f(local(relative));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(size, 'x'));
    }

    NWDIR_HANDLE open(const QString& path, std::uint8_t nameSpace = nw::NW_NS_LONG) {
        NWDIR_HANDLE handle = 0;
        EXPECT_EQ(client.NWAllocTempNSDirHandle2(conn, 0, path, nameSpace, handle, nameSpace), 0) << qPrintable(path);
        return handle;
    }

    // Every entry a scan returns, until the first nonzero result.
    QList<NW_ENTRY_INFO> scan(NWDIR_HANDLE handle, std::uint16_t attributes, const QString& pattern = "*",
                              std::uint8_t nameSpace = nw::NW_NS_LONG) {
        QList<NW_ENTRY_INFO> entries;
        SEARCH_SEQUENCE sequence;
        NW_ENTRY_INFO entry;
        while (client.NWScanNSEntryInfo(conn, handle, nameSpace, attributes, sequence, pattern, 0xFFFF, entry) == 0) {
            entries.append(entry);
            if (entries.size() > 1000)
                break;
        }
        return entries;
    }

    static QStringList names(const QList<NW_ENTRY_INFO>& entries) {
        QStringList result;
        for (const NW_ENTRY_INFO& e : entries)
            result.append(QString::fromUtf8(e.name));
        return result;
    }

    const NW_ENTRY_INFO* entryNamed(const QList<NW_ENTRY_INFO>& entries, const QByteArray& name) {
        for (const NW_ENTRY_INFO& e : entries) {
            if (e.name == name)
                return &e;
        }
        ADD_FAILURE() << "no entry " << name.constData();
        return nullptr;
    }

    AcmeSite acme;
    NetWareClient client;
    NWCONN_HANDLE conn = 0;
};

} // namespace

TEST_F(DirectoryScan, SubDirectoriesComeAloneInCaseInsensitiveOrder) {
    for (const char* dir : {"USERS/b", "USERS/A", "USERS/c", "USERS/D"})
        mkdir(dir);
    write("USERS/B.txt");
    write("USERS/a0");
    const NWDIR_HANDLE handle = open("VOL1:USERS\\");
    ASSERT_NE(handle, 0);

    SEARCH_SEQUENCE sequence;
    EXPECT_EQ(sequence.searchDirNumber, -1);
    NW_ENTRY_INFO entry;
    QStringList seen;
    QList<std::int32_t> positions;
    while (client.NWScanNSEntryInfo(conn, handle, nw::NW_NS_LONG, kDirectoriesOnly, sequence, "*.*", 0, entry) == 0) {
        seen.append(QString::fromUtf8(entry.name));
        positions.append(sequence.searchDirNumber);
        EXPECT_EQ(entry.attributes, 0x10u);
    }
    EXPECT_EQ(seen, QStringList({"A", "b", "c", "D"}));
    EXPECT_EQ(positions, QList<std::int32_t>({0, 1, 2, 3}));
    EXPECT_EQ(client.lastResult(), nw::NO_MORE_ENTRIES);
    // Past the end it stays at the end.
    EXPECT_NE(client.NWScanNSEntryInfo(conn, handle, nw::NW_NS_LONG, kDirectoriesOnly, sequence, "*.*", 0, entry), 0);
}

TEST_F(DirectoryScan, FilesIncludeHiddenOnesAndSymlinksAsThemselves) {
    mkdir("DATA/sub");
    write("DATA/z.dat", 3);
    write("DATA/Alpha.txt", 1000);
    write("DATA/.x", 1);
    ASSERT_EQ(::symlink("Alpha.txt", QFile::encodeName(local("DATA/link")).constData()), 0);
    ASSERT_EQ(::symlink("sub", QFile::encodeName(local("DATA/dirlink")).constData()), 0);

    const QList<NW_ENTRY_INFO> entries = scan(open("VOL1:DATA"), kFilesOnly);
    EXPECT_EQ(names(entries), QStringList({".x", "Alpha.txt", "dirlink", "link", "z.dat"}));
    for (const NW_ENTRY_INFO& e : entries)
        EXPECT_EQ(e.attributes, 0x20u) << e.name.constData();
    // A link's size is its target's name, not the target's size.
    if (const NW_ENTRY_INFO* link = entryNamed(entries, "link")) {
        EXPECT_EQ(link->dataStreamSize, 9u);
    }
    if (const NW_ENTRY_INFO* link = entryNamed(entries, "dirlink")) {
        EXPECT_EQ(link->dataStreamSize, 3u);
    }

    EXPECT_EQ(names(scan(open("VOL1:DATA"), kDirectoriesOnly)), QStringList({"sub"}));
}

TEST_F(DirectoryScan, PatternsFilterNamesWithoutRegardToCase) {
    mkdir("DOCS/Reports");
    mkdir("DOCS/rest");
    mkdir("DOCS/other");
    write("DOCS/Alpha.txt");
    write("DOCS/notes.TXT");
    write("DOCS/a.txt.bak");
    write("DOCS/README");
    const NWDIR_HANDLE handle = open("VOL1:DOCS");
    EXPECT_EQ(names(scan(handle, kFilesOnly, "*.txt")), QStringList({"Alpha.txt", "notes.TXT"}));
    EXPECT_EQ(names(scan(handle, kFilesOnly, "?EADM?")), QStringList({"README"}));
    EXPECT_EQ(names(scan(handle, kDirectoriesOnly, "RE*")), QStringList({"Reports", "rest"}));
    // Another pattern on the same handle gets a listing of its own.
    EXPECT_EQ(names(scan(handle, kFilesOnly, "*.*")),
              QStringList({"a.txt.bak", "Alpha.txt", "notes.TXT", "README"}));
    EXPECT_TRUE(scan(handle, kFilesOnly, "*.DOC").isEmpty());
}

TEST_F(DirectoryScan, SizesAreTheFilesLengths) {
    mkdir("SIZES");
    write("SIZES/empty", 0);
    write("SIZES/small", 12345);
    write("SIZES/large", 3 * 1024 * 1024 + 7);
    const QList<NW_ENTRY_INFO> entries = scan(open("VOL1:SIZES"), kFilesOnly);
    ASSERT_EQ(entries.size(), 3);
    EXPECT_EQ(entryNamed(entries, "empty")->dataStreamSize, 0u);
    EXPECT_EQ(entryNamed(entries, "small")->dataStreamSize, 12345u);
    EXPECT_EQ(entryNamed(entries, "large")->dataStreamSize, 3u * 1024 * 1024 + 7);
}

TEST_F(DirectoryScan, CreatorIsTheOwnersObjectIdInTheServersTree) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "giving files to other owners needs root";
    mkdir("OWNED");
    write("OWNED/jsmith");
    write("OWNED/root");
    write("OWNED/stranger");
    ASSERT_EQ(::chown(QFile::encodeName(local("OWNED/jsmith")).constData(), 1001, 1001), 0);
    ASSERT_EQ(::chown(QFile::encodeName(local("OWNED/root")).constData(), 0, 0), 0);
    ASSERT_EQ(::chown(QFile::encodeName(local("OWNED/stranger")).constData(), 4242, 4242), 0);
    const QList<NW_ENTRY_INFO> entries = scan(open("VOL1:OWNED"), kFilesOnly);
    ASSERT_EQ(entries.size(), 3);
    EXPECT_EQ(entryNamed(entries, "jsmith")->creatorID, 1001u);
    EXPECT_EQ(entryNamed(entries, "root")->creatorID, DirectoryClient::kSupervisorId);
    EXPECT_EQ(entryNamed(entries, "stranger")->creatorID, 0u);
}

TEST_F(DirectoryScan, ModifyAndAccessDatesArePackedLocalDates) {
    mkdir("DATED/sub");
    write("DATED/file");
    const auto setTimes = [this](const QString& relative, const QDateTime& accessed, const QDateTime& modified) {
        const struct timespec times[2] = {{time_t(accessed.toSecsSinceEpoch()), 0},
                                          {time_t(modified.toSecsSinceEpoch()), 0}};
        ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(local(relative)).constData(), times, AT_SYMLINK_NOFOLLOW), 0);
    };
    setTimes("DATED/file", QDateTime(QDate(2019, 3, 4), QTime(12, 0)), QDateTime(QDate(2021, 6, 15), QTime(12, 0)));
    setTimes("DATED/sub", QDateTime(QDate(2050, 1, 2), QTime(12, 0)), QDateTime(QDate(1975, 5, 5), QTime(12, 0)));
    const NWDIR_HANDLE handle = open("VOL1:DATED");

    const QList<NW_ENTRY_INFO> files = scan(handle, kFilesOnly);
    ASSERT_EQ(files.size(), 1);
    EXPECT_EQ(files[0].modifyDate, (41 << 9) | (6 << 5) | 15);
    EXPECT_EQ(files[0].lastAccessDate, (39 << 9) | (3 << 5) | 4);

    const QList<NW_ENTRY_INFO> dirs = scan(handle, kDirectoriesOnly);
    ASSERT_EQ(dirs.size(), 1);
    EXPECT_EQ(dirs[0].modifyDate, (0 << 9) | (1 << 5) | 1); // 1975 is held at 1 January 1980
    EXPECT_EQ(dirs[0].lastAccessDate, (70 << 9) | (1 << 5) | 2);
}

TEST_F(DirectoryScan, DosNameSpaceServesTooAndOthersFail) {
    mkdir("NS/inner");
    write("NS/file.txt");
    const NWDIR_HANDLE handle = open("VOL1:NS", nw::NW_NS_DOS);
    ASSERT_NE(handle, 0);
    EXPECT_EQ(names(scan(handle, kFilesOnly, "*", nw::NW_NS_DOS)), QStringList({"file.txt"}));
    EXPECT_EQ(names(scan(handle, kDirectoriesOnly, "*", nw::NW_NS_DOS)), QStringList({"inner"}));
    EXPECT_NE(client.NWIsLNSSupportedOnVolume(conn, 0, "VOL1:"), 0);

    NWDIR_HANDLE other = 0;
    EXPECT_NE(client.NWAllocTempNSDirHandle2(conn, 0, "VOL1:NS", 1, other, 1), 0);
    EXPECT_NE(client.lastResult(), 0);
    EXPECT_EQ(other, 0);
    EXPECT_NE(client.NWAllocTempNSDirHandle2(conn, 0, "VOL1:NS", nw::NW_NS_DOS, other, 2), 0);
    SEARCH_SEQUENCE sequence;
    NW_ENTRY_INFO entry;
    EXPECT_NE(client.NWScanNSEntryInfo(conn, handle, 2, kFilesOnly, sequence, "*", 0, entry), 0);
    EXPECT_EQ(sequence.searchDirNumber, -1);
}

TEST_F(DirectoryScan, PathsResolveWithoutRegardToCaseFromTheVolumeRoot) {
    mkdir("USERS/ALICE/mail");
    write("USERS/ALICE/inbox");
    EXPECT_EQ(names(scan(open("vol1:users\\alice\\"), kFilesOnly)), QStringList({"inbox"}));
    EXPECT_EQ(names(scan(open("VOL1:\\USERS\\ALICE"), kDirectoriesOnly)), QStringList({"mail"}));
    EXPECT_EQ(names(scan(open("VOL1:"), kDirectoriesOnly)), QStringList({"USERS"}));
    EXPECT_EQ(names(scan(open("FS1/VOL1:USERS/ALICE"), kDirectoriesOnly)), QStringList({"mail"}));

    // A path without a volume goes on from the handle it is given.
    const NWDIR_HANDLE users = open("VOL1:USERS");
    NWDIR_HANDLE alice = 0;
    ASSERT_EQ(client.NWAllocTempNSDirHandle2(conn, users, "alice", nw::NW_NS_LONG, alice, nw::NW_NS_LONG), 0);
    EXPECT_EQ(names(scan(alice, kFilesOnly)), QStringList({"inbox"}));
}

TEST_F(DirectoryScan, PathsThatDoNotNameADirectoryFail) {
    mkdir("USERS");
    write("USERS/file");
    for (const char* path : {"VOL1:NOPE", "VOL1:USERS\\NOPE\\", "VOL1:USERS\\file", "NOVOL:USERS", "VOL1:..\\..",
                             "FS2/VOL1:USERS", "USERS"}) {
        NWDIR_HANDLE handle = 7;
        EXPECT_EQ(client.NWAllocTempNSDirHandle2(conn, 0, path, nw::NW_NS_LONG, handle, nw::NW_NS_LONG),
                  nw::INVALID_PATH)
            << path;
        EXPECT_EQ(client.lastResult(), nw::INVALID_PATH);
        EXPECT_EQ(handle, 0);
    }
    NWDIR_HANDLE handle = 0;
    EXPECT_NE(client.NWAllocTempNSDirHandle2(99, 0, "VOL1:USERS", nw::NW_NS_LONG, handle, nw::NW_NS_LONG), 0);
}

TEST_F(DirectoryScan, EntriesThatVanishAreSkipped) {
    mkdir("GONE");
    for (const char* name : {"a", "b", "c"})
        write(QString("GONE/") + name);
    const NWDIR_HANDLE handle = open("VOL1:GONE");
    SEARCH_SEQUENCE sequence;
    NW_ENTRY_INFO entry;
    ASSERT_EQ(client.NWScanNSEntryInfo(conn, handle, nw::NW_NS_LONG, kFilesOnly, sequence, "*", 0, entry), 0);
    EXPECT_EQ(entry.name, "a");
    ASSERT_TRUE(QFile::remove(local("GONE/b")));
    ASSERT_EQ(client.NWScanNSEntryInfo(conn, handle, nw::NW_NS_LONG, kFilesOnly, sequence, "*", 0, entry), 0);
    EXPECT_EQ(entry.name, "c");
    EXPECT_EQ(sequence.searchDirNumber, 2);
    EXPECT_NE(client.NWScanNSEntryInfo(conn, handle, nw::NW_NS_LONG, kFilesOnly, sequence, "*", 0, entry), 0);
}

TEST_F(DirectoryScan, HandleTableRunsOutAndFreedHandlesReturn) {
    mkdir("TABLE");
    QList<NWDIR_HANDLE> handles;
    for (int i = 0; i < 255; ++i) {
        NWDIR_HANDLE handle = 0;
        ASSERT_EQ(client.NWAllocTempNSDirHandle2(conn, 0, "VOL1:TABLE", nw::NW_NS_LONG, handle, nw::NW_NS_LONG), 0)
            << "allocation " << i;
        ASSERT_FALSE(handles.contains(handle));
        ASSERT_NE(handle, 0);
        handles.append(handle);
    }
    NWDIR_HANDLE extra = 0;
    EXPECT_NE(client.NWAllocTempNSDirHandle2(conn, 0, "VOL1:TABLE", nw::NW_NS_LONG, extra, nw::NW_NS_LONG), 0);
    EXPECT_NE(client.lastResult(), 0);
    EXPECT_EQ(extra, 0);

    ASSERT_EQ(client.NWDeallocateDirectoryHandle(conn, handles[100]), 0);
    EXPECT_EQ(client.NWAllocTempNSDirHandle2(conn, 0, "VOL1:TABLE", nw::NW_NS_LONG, extra, nw::NW_NS_LONG), 0);
    EXPECT_EQ(extra, handles[100]);
}

TEST_F(DirectoryScan, DeallocatingTwiceFails) {
    mkdir("TWICE");
    write("TWICE/f");
    const NWDIR_HANDLE handle = open("VOL1:TWICE");
    ASSERT_EQ(scan(handle, kFilesOnly).size(), 1);
    EXPECT_EQ(client.NWDeallocateDirectoryHandle(conn, handle), 0);
    EXPECT_EQ(client.lastResult(), 0);
    EXPECT_NE(client.NWDeallocateDirectoryHandle(conn, handle), 0);
    EXPECT_NE(client.lastResult(), 0);
    EXPECT_TRUE(scan(handle, kFilesOnly).isEmpty());
    EXPECT_NE(client.lastResult(), nw::NO_MORE_ENTRIES);
    EXPECT_NE(client.lastResult(), 0);
    EXPECT_NE(client.NWDeallocateDirectoryHandle(conn, 0), 0);
}
