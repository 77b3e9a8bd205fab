#include "scoped_tmpfs.h"
#include "unprivileged_run.h"

#include "fileops/file_copy.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <linux/posix_acl.h>
#include <linux/posix_acl_xattr.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cstring>

namespace {

constexpr char accessAcl[] = "system.posix_acl_access";

void writeFile(const QByteArray& path, const QByteArray& content) {
    QFile file(QFile::decodeName(path));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_EQ(file.write(content), content.size());
}

QByteArray readFile(const QByteArray& path) {
    QFile file(QFile::decodeName(path));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

QByteArray attribute(const QByteArray& path, const char* name) {
    QByteArray value(4096, '\0');
    const ssize_t size = ::lgetxattr(path.constData(), name, value.data(), std::size_t(value.size()));
    return size < 0 ? QByteArray("<none>") : value.left(size);
}

// Bytes that differ from one offset to the next, so a chunk written at the
// wrong place shows.
QByteArray pattern(qsizetype size) {
    QByteArray bytes(size, Qt::Uninitialized);
    for (qsizetype i = 0; i < size; ++i)
        bytes[i] = char(i % 251);
    return bytes;
}

// Every name in the folder, hidden ones too, sorted.
QStringList entries(const QByteArray& folder) {
    QStringList names = QDir(QFile::decodeName(folder))
                            .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    names.sort();
    return names;
}

posix_acl_xattr_entry aclEntry(int tag, int perm, __u32 id = __u32(ACL_UNDEFINED_ID)) {
    return {__le16(tag), __le16(perm), id};
}

// An ACL as the kernel takes it as an extended attribute: the version, then
// each entry's tag, permissions and id, in tag order.
QByteArray aclXattr(std::initializer_list<posix_acl_xattr_entry> entries) {
    const posix_acl_xattr_header header{POSIX_ACL_XATTR_VERSION};
    QByteArray bytes(reinterpret_cast<const char*>(&header), sizeof header);
    for (const posix_acl_xattr_entry& entry : entries)
        bytes.append(reinterpret_cast<const char*>(&entry), sizeof entry);
    return bytes;
}

// Opens and checks a source as a move does.
CopyRequest request(const QByteArray& source, int folder, const QByteArray& name) {
    CopyRequest r;
    r.source = ::open(source.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    ::fstat(r.source, &r.sourceStat);
    r.destinationFolder = folder;
    r.name = name;
    return r;
}

// Runs the copy and closes its source.
CopyResult copy(const CopyRequest& r) {
    CopyResult result = copyFileInto(r);
    ::close(r.source);
    return result;
}

// A lower soft file size limit while it lives, with SIGXFSZ ignored as the
// program ignores it.
class ScopedFileSizeLimit {
public:
    explicit ScopedFileSizeLimit(rlim_t bytes) : m_handler(::signal(SIGXFSZ, SIG_IGN)) {
        ::getrlimit(RLIMIT_FSIZE, &m_saved);
        rlimit lowered = m_saved;
        lowered.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &lowered);
    }
    ~ScopedFileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &m_saved);
        ::signal(SIGXFSZ, m_handler);
    }
    ScopedFileSizeLimit(const ScopedFileSizeLimit&) = delete;
    ScopedFileSizeLimit& operator=(const ScopedFileSizeLimit&) = delete;

private:
    sighandler_t m_handler;
    rlimit m_saved {};
};

// Copies from one tmpfs to another, as a move across file systems does.
class FileCopy : public ::testing::Test {
protected:
    void SetUp() override {
        if (!fromFs.mounted() || !toFs.mounted())
            GTEST_SKIP() << (fromFs.mounted() ? toFs : fromFs).why().toStdString();
        folder.reset(::open(to.constData(), O_PATH | O_DIRECTORY | O_CLOEXEC));
        ASSERT_TRUE(folder.valid());
    }
    static QByteArray made(const QTemporaryDir& base, const char* name) {
        QDir(base.path()).mkdir(QString::fromLatin1(name));
        return QFile::encodeName(base.filePath(QString::fromLatin1(name)));
    }
    CopyRequest request(const char* name) const { return ::request(from + '/' + name, folder.get(), name); }

    QTemporaryDir base;
    QByteArray from = made(base, "from");
    QByteArray to = made(base, "to");
    ScopedTmpfs fromFs{from, "2g"};
    ScopedTmpfs toFs{to, "2g"};
    UniqueFd folder;
};

} // namespace

TEST_F(FileCopy, ASparseGigabyteKeepsItsBytesAndItsHoles) {
    constexpr off_t size = off_t(1) << 30;
    {
        const UniqueFd sparse(::open((from + "/disk.img").constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644));
        ASSERT_EQ(::ftruncate(sparse.get(), size), 0);
        ASSERT_EQ(::pwrite(sparse.get(), "head", 4, 0), 4);
        ASSERT_EQ(::pwrite(sparse.get(), "tail", 4, size - 4), 4);
    }
    const CopyResult result = copy(request("disk.img"));
    ASSERT_EQ(result.error, 0) << std::strerror(result.error);
    const QByteArray copied = to + "/disk.img";
    struct stat placed {}, named {};
    ASSERT_EQ(::fstat(result.placed.get(), &placed), 0);
    ASSERT_EQ(::stat(copied.constData(), &named), 0);
    EXPECT_EQ(placed.st_ino, named.st_ino);
    EXPECT_EQ(named.st_size, size);
    EXPECT_LT(named.st_blocks * 512, 1 << 20);
    const UniqueFd in(::open(copied.constData(), O_RDONLY | O_CLOEXEC));
    char head[4] = {}, tail[4] = {};
    ASSERT_EQ(::pread(in.get(), head, 4, 0), 4);
    ASSERT_EQ(::pread(in.get(), tail, 4, size - 4), 4);
    EXPECT_EQ(QByteArray(head, 4), "head");
    EXPECT_EQ(QByteArray(tail, 4), "tail");
    EXPECT_EQ(entries(to), QStringList{"disk.img"});
}

TEST_F(FileCopy, AsRootOwnerSetUserIdAttributesAndAclArriveExactly) {
    const QByteArray source = from + "/tool";
    writeFile(source, "#!/bin/sh\n");
    // Group r-- under a mask of rwx: without the ACL the group would get rwx.
    const QByteArray acl = aclXattr({aclEntry(ACL_USER_OBJ, 7), aclEntry(ACL_USER, 6, 1234), aclEntry(ACL_GROUP_OBJ, 4),
                                     aclEntry(ACL_MASK, 7), aclEntry(ACL_OTHER, 5)});
    ASSERT_EQ(::lsetxattr(source.constData(), accessAcl, acl.constData(), std::size_t(acl.size()), 0), 0);
    ASSERT_EQ(::lsetxattr(source.constData(), "user.test", "hello", 5, 0), 0);
    ASSERT_EQ(::lsetxattr(source.constData(), "trusted.test", "t", 1, 0), 0);
    ASSERT_EQ(::chown(source.constData(), 1234, 5678), 0);
    ASSERT_EQ(::chmod(source.constData(), 04775), 0); // after chown, which drops set-user-ID
    const CopyResult result = copy(request("tool"));
    ASSERT_EQ(result.error, 0) << std::strerror(result.error);
    const QByteArray copied = to + "/tool";
    struct stat st {};
    ASSERT_EQ(::stat(copied.constData(), &st), 0);
    EXPECT_EQ(st.st_uid, 1234u);
    EXPECT_EQ(st.st_gid, 5678u);
    EXPECT_EQ(st.st_mode & 07777, 04775u);
    EXPECT_EQ(attribute(copied, "user.test"), "hello");
    EXPECT_EQ(attribute(copied, "trusted.test"), "t");
    EXPECT_EQ(attribute(copied, accessAcl), acl);
}

TEST_F(FileCopy, WithoutRootSetIdBitsGoButAttributesOfAReadOnlyFileArrive) {
    const QByteArray source = from + "/tool";
    writeFile(source, "#!/bin/sh\n");
    ASSERT_EQ(::lsetxattr(source.constData(), "user.test", "hello", 5, 0), 0);
    ASSERT_EQ(::chmod(source.constData(), 06555), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(base.path()).constData(), 0755), 0); // for the child to reach both
    const UnprivilegedResult run = runUnprivileged([&] {
        const UniqueFd into(::open(to.constData(), O_PATH | O_DIRECTORY | O_CLOEXEC));
        return QByteArray::number(copy(::request(source, into.get(), "tool")).error);
    });
    if (!run.output)
        GTEST_SKIP() << run.why.toStdString();
    EXPECT_EQ(*run.output, "0");
    const QByteArray copied = to + "/tool";
    struct stat st {};
    ASSERT_EQ(::stat(copied.constData(), &st), 0);
    EXPECT_EQ(st.st_uid, 65534u);
    EXPECT_EQ(st.st_mode & 07777, 0555u);
    EXPECT_EQ(attribute(copied, "user.test"), "hello");
}

TEST_F(FileCopy, ADefaultAclOfTheFolderGrantsNothingTheSourceDidNot) {
    const QByteArray inherited = aclXattr({aclEntry(ACL_USER_OBJ, 7), aclEntry(ACL_USER, 7, 1234),
                                           aclEntry(ACL_GROUP_OBJ, 5), aclEntry(ACL_MASK, 7), aclEntry(ACL_OTHER, 5)});
    ASSERT_EQ(::lsetxattr(to.constData(), "system.posix_acl_default", inherited.constData(),
                          std::size_t(inherited.size()), 0),
              0);
    writeFile(from + "/plain.txt", "private");
    ASSERT_EQ(::chmod((from + "/plain.txt").constData(), 0640), 0);
    const CopyResult result = copy(request("plain.txt"));
    ASSERT_EQ(result.error, 0) << std::strerror(result.error);
    struct stat st {};
    ASSERT_EQ(::stat((to + "/plain.txt").constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(attribute(to + "/plain.txt", accessAcl), "<none>");
}

TEST_F(FileCopy, AnExistingNameStaysAndIsOnlyFreedOnceTheCopyIsReady) {
    writeFile(to + "/a.txt", "old");
    const QByteArray content = pattern((5 << 20) / 2 + 7); // past two chunk ends
    writeFile(from + "/a.txt", content);
    EXPECT_EQ(copy(request("a.txt")).error, EEXIST);
    EXPECT_EQ(readFile(to + "/a.txt"), "old");
    EXPECT_EQ(entries(to), QStringList{"a.txt"});
    // The one who replaces sets the old file aside right before the copy takes its name.
    CopyRequest refusing = request("a.txt");
    refusing.beforePlacing = [] { return EACCES; };
    EXPECT_EQ(copy(refusing).error, EACCES);
    EXPECT_EQ(entries(to), QStringList{"a.txt"});
    CopyRequest replacing = request("a.txt");
    std::uint64_t copiedWhenAsked = 0;
    std::uint64_t copied = 0;
    replacing.progress = [&](std::uint64_t done) { copied = done; };
    replacing.beforePlacing = [&] {
        copiedWhenAsked = copied;
        return ::renameat(AT_FDCWD, (to + "/a.txt").constData(), AT_FDCWD, (to + "/a.old").constData()) == 0 ? 0 : errno;
    };
    const CopyResult result = copy(replacing);
    ASSERT_EQ(result.error, 0) << std::strerror(result.error);
    EXPECT_EQ(copiedWhenAsked, std::uint64_t(content.size()));
    EXPECT_TRUE(readFile(to + "/a.txt") == content);
    EXPECT_EQ(readFile(to + "/a.old"), "old");
    EXPECT_EQ(entries(to), QStringList({"a.old", "a.txt"}));
}

TEST_F(FileCopy, ALinkAtTheNameIsNeverFollowed) {
    writeFile(to + "/target.txt", "kept");
    ASSERT_EQ(::symlink("target.txt", (to + "/a.txt").constData()), 0);
    writeFile(from + "/a.txt", "new");
    EXPECT_EQ(copy(request("a.txt")).error, EEXIST);
    struct stat st {};
    ASSERT_EQ(::lstat((to + "/a.txt").constData(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_EQ(readFile(to + "/target.txt"), "kept");
}

TEST_F(FileCopy, TheNameMustBeOneComponent) {
    writeFile(from + "/a.txt", "new");
    ASSERT_TRUE(QDir(QFile::decodeName(to)).mkdir("sub"));
    for (const QByteArray& name : {QByteArray(), QByteArray("."), QByteArray(".."), QByteArray("sub/a.txt"),
                                   QByteArray("a\0b", 3)}) {
        CopyRequest r = request("a.txt");
        r.name = name;
        EXPECT_EQ(copy(r).error, EINVAL) << name.toStdString();
    }
    EXPECT_EQ(entries(to), QStringList{"sub"});
}

TEST_F(FileCopy, CancellingLeavesNothingBehind) {
    writeFile(from + "/big.dat", pattern(8 << 20));
    std::atomic<bool> cancel = false;
    CopyRequest r = request("big.dat");
    r.cancel = &cancel;
    r.progress = [&](std::uint64_t) { cancel = true; };
    EXPECT_EQ(copy(r).error, ECANCELED);
    EXPECT_EQ(entries(to), QStringList());
}

TEST_F(FileCopy, ASourceWrittenToMeanwhileIsNotPlaced) {
    writeFile(from + "/log.txt", pattern(3 << 20));
    CopyRequest r = request("log.txt");
    r.progress = [&](std::uint64_t) {
        QFile source(QFile::decodeName(from + "/log.txt"));
        if (source.open(QIODevice::Append))
            source.write("appended");
    };
    EXPECT_EQ(copy(r).error, EIO);
    EXPECT_EQ(entries(to), QStringList());
}

TEST_F(FileCopy, AFileSizeLimitGivesEfbigAndLeavesNothing) {
    writeFile(from + "/big.dat", pattern(3 << 20));
    const CopyRequest r = request("big.dat");
    int error = 0;
    {
        const ScopedFileSizeLimit limit(1 << 20);
        error = copy(r).error;
    }
    EXPECT_EQ(error, EFBIG) << std::strerror(error);
    EXPECT_EQ(entries(to), QStringList());
}

// Names a killed copy may leave: only ours, by the process named in them.
TEST(FileCopyTemporaries, NamesTellTheProcessThatMadeThem) {
    EXPECT_EQ(copyTemporaryOwner(".quarvo-copy-4242-3k9z"), std::optional<pid_t>(4242));
    EXPECT_EQ(copyTemporaryOwner(".quarvo-move-abc"), std::optional<pid_t>(0));
    EXPECT_EQ(copyTemporaryOwner(".quarvo-move-notes.txt"), std::nullopt);
    EXPECT_EQ(copyTemporaryOwner(".quarvo-copy-x-3k9z"), std::nullopt);
    EXPECT_EQ(copyTemporaryOwner(".quarvo-copy-4242"), std::nullopt);
    EXPECT_EQ(copyTemporaryOwner("a.txt"), std::nullopt);
}
