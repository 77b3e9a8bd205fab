#include "deep_tree.h"
#include "report_fixture.h"

#include "fileops/file_delete.h"
#include "fileops/file_move.h"
#include "fsview/name_bytes.h"

#include <QDir>
#include <QRegularExpression>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <iostream>
#include <thread>

namespace {

// A volume \\FS1\VOL1 whose listed files the tests delete and move, and a
// destination folder beside it.
class ActingSafely : public ::testing::Test {
protected:
    ActingSafely() {
        builder.tree("ACME_TREE").server("FS1", {"VOL1"});
        volume = builder.rootOf("FS1", "VOL1");
        QDir().mkpath(QFile::decodeName(volume + "/docs"));
        QDir().mkpath(destination());
    }
    QByteArray at(const QByteArray& relative) const { return volume + "/" + relative; }
    static void write(const QByteArray& path, const QByteArray& content) {
        const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        ASSERT_GE(fd, 0) << path.constData();
        ASSERT_EQ(::write(fd, content.constData(), size_t(content.size())), content.size());
        ::close(fd);
    }
    static QByteArray read(const QByteArray& path) {
        char buffer[256];
        const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
        const ssize_t got = fd < 0 ? -1 : ::read(fd, buffer, sizeof buffer);
        if (fd >= 0)
            ::close(fd);
        return got < 0 ? QByteArray("<missing>") : QByteArray(buffer, got);
    }
    void list(const QString& directory = "\\\\FS1\\VOL1\\docs") {
        f = std::make_unique<ReportFixture>(builder.site());
        f->listFiles(directory);
        f->host.answer = true;
        f->grid.Row = 1;
        f->grid.RowSel = f->grid.rows() - 1;
    }
    qint64 deleteAll() {
        OperationsLog log(logDir.filePath("Quarvo.log"));
        return Menu_Popup_Delete_Click(f->env, f->grid.fcnFindColumn("Directory"), f->grid.fcnFindColumn("File"), log);
    }
    MoveCounts moveAll(bool preserve, bool overwrite, const QString& to = {}) {
        OperationsLog log(logDir.filePath("Quarvo.log"));
        return btnMoveFiles_Click(f->env, MoveOptions{to.isEmpty() ? destination() : to, preserve, overwrite}, log)
            .value_or(MoveCounts{-1, -1});
    }
    QString destination() const { return out.path() + "/archive"; }
    QStringList logLines() const {
        QFile log(logDir.filePath("Quarvo.log"));
        if (!log.open(QIODevice::ReadOnly))
            return {};
        QStringList lines = QString::fromUtf8(log.readAll()).split("\r\n");
        lines.removeLast();
        return lines;
    }
    QStringList destinationEntries() const {
        return QDir(destination()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    }

    SiteBuilder builder;
    QByteArray volume;
    QTemporaryDir out;
    QTemporaryDir logDir;
    std::unique_ptr<ReportFixture> f;
};

struct stat statOf(const QByteArray& path) {
    struct stat st {};
    ::lstat(path.constData(), &st);
    return st;
}

void copyTimes(const QByteArray& from, const QByteArray& to) {
    const struct stat st = statOf(from);
    const timespec times[2] = {st.st_atim, st.st_mtim};
    ::utimensat(AT_FDCWD, to.constData(), times, AT_SYMLINK_NOFOLLOW);
}

// Swaps a folder with a link to another folder, over and over, until told to stop.
class FolderSwapper {
public:
    FolderSwapper(QByteArray folder, QByteArray link) : m_folder(std::move(folder)), m_link(std::move(link)) {
        m_thread = std::thread([this] {
            while (!m_stop) {
                if (::renameat2(AT_FDCWD, m_folder.constData(), AT_FDCWD, m_link.constData(), RENAME_EXCHANGE) == 0)
                    ++swaps;
            }
            if (swaps % 2 == 1) // the folder back in its place
                ::renameat2(AT_FDCWD, m_folder.constData(), AT_FDCWD, m_link.constData(), RENAME_EXCHANGE);
        });
    }
    ~FolderSwapper() { stop(); }
    void stop() {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
    }
    std::atomic<long> swaps{0};

private:
    QByteArray m_folder;
    QByteArray m_link;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

} // namespace

// Every way a listed name can stop being the listed file is refused, by a
// delete and by a move alike, with one log line each naming why.
TEST_F(ActingSafely, AFileThatIsNoLongerTheOneListedIsNeitherDeletedNorMoved) {
    QDir().mkpath(QFile::decodeName(at("other")));
    write(at("other/other.txt"), "zzzz");
    const QList<QByteArray> names{"chmod.txt", "dir.txt", "fifo.txt", "hardlink.txt", "inplace.txt", "link.txt", "touchr.txt"};
    for (const QByteArray& name : names)
        write(at("docs/" + name), "aaaa");
    list();
    ASSERT_EQ(f->grid.rows(), 8);
    ::usleep(20000); // so a new status time cannot equal the listed one
    // Rewritten in place at the same length, its modify time put back.
    const QByteArray inplace = at("docs/inplace.txt");
    write(at("docs/saved"), "");
    copyTimes(inplace, at("docs/saved"));
    write(inplace, "AAAA");
    copyTimes(at("docs/saved"), inplace);
    ::unlink(at("docs/saved").constData());
    // Replaced by a new file of the same size with the old times (touch -r).
    write(at("docs/new"), "BBBB");
    copyTimes(at("docs/touchr.txt"), at("docs/new"));
    ::rename(at("docs/new").constData(), at("docs/touchr.txt").constData());
    ::unlink(at("docs/hardlink.txt").constData());
    ::link(at("other/other.txt").constData(), at("docs/hardlink.txt").constData());
    ::chmod(at("docs/chmod.txt").constData(), 0600);
    ::unlink(at("docs/dir.txt").constData());
    ::mkdir(at("docs/dir.txt").constData(), 0755);
    ::unlink(at("docs/link.txt").constData());
    ::symlink("../other/other.txt", at("docs/link.txt").constData());
    ::unlink(at("docs/fifo.txt").constData());
    ::mkfifo(at("docs/fifo.txt").constData(), 0644);

    EXPECT_EQ(deleteAll(), 0);
    const MoveCounts moved = moveAll(false, true);
    EXPECT_EQ(moved.moved, 0);
    EXPECT_EQ(moved.notMoved, 7);
    EXPECT_EQ(f->grid.rows(), 8);
    const QStringList lines = logLines();
    ASSERT_EQ(lines.size(), 14);
    for (const QString& line : lines)
        EXPECT_TRUE(line.contains(" it has changed since it was listed: ")) << line.toStdString();
    EXPECT_EQ(lines.filter("Unable to delete").size(), 7);
    EXPECT_EQ(lines.filter("Unable to move").size(), 7);
    EXPECT_EQ(lines.filter("Error:0").size(), 0);
    EXPECT_EQ(lines.filter(QRegularExpression("dir\\.txt[;,] it has changed since it was listed: it is no longer a regular file")).size(), 2);
    EXPECT_EQ(lines.filter(QRegularExpression("fifo\\.txt[;,] it has changed since it was listed: it is no longer a regular file")).size(), 2);
    EXPECT_EQ(lines.filter(QRegularExpression("hardlink\\.txt[;,] it has changed since it was listed: it was replaced by another file")).size(), 2);
    EXPECT_EQ(lines.filter(QRegularExpression("chmod\\.txt[;,] it has changed since it was listed: its permissions, owner or links changed")).size(), 2);
    EXPECT_EQ(lines.filter(QRegularExpression("inplace\\.txt[;,] it has changed since it was listed: its permissions, owner or links changed")).size(), 2);
    // Nothing was touched.
    EXPECT_EQ(read(inplace), "AAAA");
    EXPECT_EQ(read(at("docs/touchr.txt")), "BBBB");
    EXPECT_EQ(statOf(at("other/other.txt")).st_nlink, 2u);
    EXPECT_TRUE(S_ISDIR(statOf(at("docs/dir.txt")).st_mode));
    EXPECT_TRUE(S_ISLNK(statOf(at("docs/link.txt")).st_mode));
    EXPECT_TRUE(S_ISFIFO(statOf(at("docs/fifo.txt")).st_mode));
    EXPECT_TRUE(destinationEntries().isEmpty());
}

// A user who owns a listed folder swaps it with a link to a folder outside
// the volume holding the same names, sizes and times, while a root-run
// delete and move act on the listed files: nothing outside is ever touched.
TEST_F(ActingSafely, AFolderSwappedForALinkNeverLeadsADeleteOrMoveOutOfTheVolume) {
    constexpr int kFiles = 1000;
    QTemporaryDir outside;
    long tried = 0;
    long swaps = 0;
    for (const char* act : {"delete", "move"}) {
        // The folder swapped lies above the files' own folders, one folder a
        // file: each file's folder found anew by a path would pass through
        // the link whenever the swap falls between finding and opening it.
        const QByteArray folder = at("docs/" + QByteArray(act));
        const QByteArray elsewhere = QFile::encodeName(outside.path()) + "/" + act;
        std::vector<ino_t> outsideInodes;
        for (int i = 0; i < kFiles; ++i) {
            const QByteArray name = "/sub" + QByteArray::number(i) + "/f";
            QDir().mkpath(QFile::decodeName(folder + "/sub" + QByteArray::number(i)));
            QDir().mkpath(QFile::decodeName(elsewhere + "/sub" + QByteArray::number(i)));
            write(folder + name, "same content");
            write(elsewhere + name, "same content");
            copyTimes(folder + name, elsewhere + name);
            outsideInodes.push_back(statOf(elsewhere + name).st_ino);
        }
        ASSERT_EQ(::symlink(elsewhere.constData(), at("docs/swap").constData()), 0);
        list(QStringLiteral("\\\\FS1\\VOL1\\docs\\") + act);
        ASSERT_EQ(f->grid.rows(), kFiles + 1);
        FolderSwapper swapper(folder, at("docs/swap"));
        while (swapper.swaps < 10)
            std::this_thread::yield();
        if (QByteArray(act) == "delete")
            deleteAll();
        else
            moveAll(false, false);
        swapper.stop();
        swaps += swapper.swaps;
        tried += kFiles;
        for (int i = 0; i < kFiles; ++i) {
            const struct stat st = statOf(elsewhere + "/sub" + QByteArray::number(i) + "/f");
            ASSERT_EQ(st.st_ino, outsideInodes[std::size_t(i)]) << act << " touched a file outside the volume";
            ASSERT_EQ(st.st_nlink, 1u);
        }
        ::unlink(at("docs/swap").constData());
    }
    EXPECT_GT(swaps, 100);
    std::cout << "folder swaps: " << swaps << ", deletes and moves tried: " << tried << ", files touched outside: 0\n";
}

// Names no display text can stand for: not UTF-8, holding a backslash,
// below a path longer than PATH_MAX.
TEST_F(ActingSafely, FilesOnlyTheirRawNamesReachAreDeletedAndMoved) {
    // 300 levels of 24 bytes: made one level at a time, as mkdir by path fails past PATH_MAX.
    const QByteArray level(24, 'n');
    int fd = ::open(at("docs").constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    for (int i = 0; i < 300; ++i) {
        ::mkdirat(fd, level.constData(), 0755);
        const int next = ::openat(fd, level.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        ::close(fd);
        fd = next;
    }
    const auto fill = [&] {
        write(at("docs/caf\xe9.txt"), "latin-1 name");
        QDir().mkpath(QFile::decodeName(at("docs/a\\b")));
        write(at("docs/a\\b/x.txt"), "backslash folder");
        const int deepFile = ::openat(fd, "deep.txt", O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
        ASSERT_GE(deepFile, 0);
        ::close(deepFile);
    };
    fill();
    list();
    ASSERT_EQ(f->grid.rows(), 4);
    EXPECT_EQ(deleteAll(), 3);
    EXPECT_EQ(f->grid.rows(), 1);
    EXPECT_EQ(::access(at("docs/caf\xe9.txt").constData(), F_OK), -1);
    EXPECT_EQ(::access(at("docs/a\\b/x.txt").constData(), F_OK), -1);
    EXPECT_EQ(::faccessat(fd, "deep.txt", F_OK, 0), -1);
    fill();
    list();
    const MoveCounts moved = moveAll(true, false);
    EXPECT_EQ(moved.moved, 3);
    EXPECT_EQ(read(QFile::encodeName(destination()) + "/docs/caf\xe9.txt"), "latin-1 name");
    EXPECT_EQ(read(QFile::encodeName(destination()) + "/docs/a\\b/x.txt"), "backslash folder");
    int there = ::open(QFile::encodeName(destination() + "/docs").constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    for (int i = 0; i < 300 && there >= 0; ++i) {
        const int next = ::openat(there, level.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        ::close(there);
        there = next;
    }
    ASSERT_GE(there, 0);
    EXPECT_EQ(::faccessat(there, "deep.txt", F_OK, 0), 0);
    ::close(there);
    ::close(fd);
    DeepTree::remove(at("docs"));
    DeepTree::remove(QFile::encodeName(destination()));
}

// fn_\x80_e to fn_\xff_e differ only in a byte that is not UTF-8: the row
// whose cells name one of them deletes or moves that one and no other.
TEST_F(ActingSafely, TheRowOfOneOfManyNamesThatAreNotUtf8ActsOnThatFile) {
    for (int byte = 0x80; byte <= 0xff; ++byte)
        write(at("docs/fn_" + QByteArray(1, char(byte)) + "_e"), QByteArray::number(byte));
    const auto choose = [this](const QByteArray& name) {
        list();
        const int directory = f->grid.fcnFindColumn("Directory");
        const int file = f->grid.fcnFindColumn("File");
        qsizetype found = 0;
        for (qsizetype row = 1; row < f->grid.rows(); ++row) {
            const QString path = f->grid.cell(row, directory) + "\\" + f->grid.cell(row, file);
            if (NameBytes::encode(path) == "\\\\FS1\\VOL1\\docs\\" + name)
                found = row;
        }
        f->grid.Row = f->grid.RowSel = found;
        return found > 0;
    };
    ASSERT_TRUE(choose("fn_\xa7_e"));
    EXPECT_EQ(deleteAll(), 1);
    EXPECT_EQ(read(at("docs/fn_\xa7_e")), "<missing>");
    ASSERT_TRUE(choose("fn_\xe9_e"));
    EXPECT_EQ(moveAll(false, false).moved, 1);
    EXPECT_EQ(read(QFile::encodeName(destination()) + "/fn_\xe9_e"), "233");
    EXPECT_EQ(read(at("docs/fn_\xe9_e")), "<missing>");
    int left = 0;
    for (int byte = 0x80; byte <= 0xff; ++byte)
        left += read(at("docs/fn_" + QByteArray(1, char(byte)) + "_e")) == QByteArray::number(byte);
    EXPECT_EQ(left, 126);
}

// A folder named a\..\..\escape is one name on Linux: it is made as that
// one folder inside the destination, and nothing outside it.
TEST_F(ActingSafely, PreservingTheStructureMakesNothingOutsideTheDestination) {
    QDir().mkpath(QFile::decodeName(at("docs/a\\..\\..\\escape")));
    write(at("docs/a\\..\\..\\escape/x.txt"), "x");
    list();
    EXPECT_EQ(moveAll(true, false).moved, 1);
    EXPECT_EQ(read(QFile::encodeName(destination()) + "/docs/a\\..\\..\\escape/x.txt"), "x");
    EXPECT_EQ(QDir(out.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList{"archive"});
    EXPECT_EQ(destinationEntries(), QStringList{"docs"});
}

// Two files of one name into one folder: the second never replaces what
// the same move just brought, with or without overwrite; both files stay.
TEST_F(ActingSafely, AMoveNeverOverwritesAFileItCreatedItself) {
    for (const bool overwrite : {false, true}) {
        QDir().mkpath(QFile::decodeName(at("docs/a")));
        QDir().mkpath(QFile::decodeName(at("docs/b")));
        write(at("docs/a/report.txt"), "from a");
        write(at("docs/b/report.txt"), "from b");
        list();
        const MoveCounts counts = moveAll(false, overwrite);
        EXPECT_EQ(counts.moved, 1);
        EXPECT_EQ(counts.notMoved, 1);
        // Bottom up: b's file came first and stays.
        EXPECT_EQ(read(QFile::encodeName(destination()) + "/report.txt"), "from b");
        EXPECT_EQ(read(at("docs/a/report.txt")), "from a");
        EXPECT_EQ(f->host.questions.filter("will not overwrite a file this move just created").size(), 1);
        QFile::remove(destination() + "/report.txt");
    }
}

// The destination reached through a bind mount of the source's own folder
// is the file itself: with overwrite it is refused, not lost.
TEST_F(ActingSafely, ADestinationThatIsTheFileItselfIsRefused) {
    write(at("docs/a.txt"), "keep me");
    const QString alias = out.path() + "/alias";
    QDir().mkpath(alias);
    if (::mount(at("docs").constData(), QFile::encodeName(alias).constData(), nullptr, MS_BIND, nullptr) != 0)
        GTEST_SKIP() << "bind mounts need root";
    list();
    const MoveCounts counts = moveAll(false, true, alias);
    ::umount2(QFile::encodeName(alias).constData(), MNT_DETACH);
    EXPECT_EQ(counts.notMoved, 1);
    EXPECT_EQ(read(at("docs/a.txt")), "keep me");
    EXPECT_EQ(logLines().filter("is the file itself").size(), 1);
}
