#include "netware/client/disk_accounting.h"
#include "netware/client/quota_reader.h"

#include "du_figure.h"
#include "scoped_bind_mount.h"
#include "scoped_tmpfs.h"
#include "unprivileged_run.h"

#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <set>
#include <utility>

namespace {

using BytesByUid = QHash<std::uint32_t, std::uint64_t>;

QByteArray native(const QString& path) {
    return QFile::encodeName(path);
}

void writeFile(const QString& path, qsizetype bytes, uid_t owner = ::geteuid()) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
    file.write(QByteArray(bytes, 'x'));
    file.close();
    ASSERT_EQ(::lchown(native(path).constData(), owner, owner), 0) << path.toStdString();
}

void makeDir(const QString& path, uid_t owner = ::geteuid(), mode_t mode = 0755) {
    ASSERT_TRUE(QDir().mkpath(path));
    ASSERT_EQ(::chown(native(path).constData(), owner, owner), 0);
    ASSERT_EQ(::chmod(native(path).constData(), mode), 0);
}

// The same question answered the plain way: a recursive lstat walk that
// stays on the root's device, hard-linked files charged once, in bytes and
// in inodes. The contents of notBelow are left out, as a walk that cannot
// read it must.
class PlainCount {
public:
    PlainCount(const QString& root, const QString& notBelow = {}) : m_notBelow(native(notBelow)) {
        struct stat st {};
        ::lstat(native(root).constData(), &st);
        m_device = st.st_dev;
        charge(st);
        descend(native(root));
    }
    const BytesByUid& bytes() const { return m_bytes; }
    const BytesByUid& files() const { return m_files; }

private:
    void charge(const struct stat& st) {
        if (S_ISDIR(st.st_mode) || st.st_nlink < 2 || m_links.insert({st.st_dev, st.st_ino}).second) {
            m_bytes[st.st_uid] += std::uint64_t(st.st_blocks) * 512;
            ++m_files[st.st_uid];
        }
    }
    void descend(const QByteArray& dir) {
        if (dir == m_notBelow)
            return;
        DIR* d = ::opendir(dir.constData());
        if (!d)
            return;
        while (const dirent* e = ::readdir(d)) {
            const QByteArray name = e->d_name;
            if (name == "." || name == "..")
                continue;
            struct stat st {};
            if (::lstat((dir + '/' + name).constData(), &st) != 0 || st.st_dev != m_device)
                continue;
            charge(st);
            if (S_ISDIR(st.st_mode))
                descend(dir + '/' + name);
        }
        ::closedir(d);
    }

    QByteArray m_notBelow;
    dev_t m_device = 0;
    BytesByUid m_bytes;
    BytesByUid m_files;
    std::set<std::pair<dev_t, ino_t>> m_links;
};

constexpr uid_t alice = 1001;
constexpr uid_t bob = 1002;
constexpr uid_t ghost = 4242; // no account anywhere

// A volume whose files belong to three owners, beside a folder outside it.
class Volume : public ::testing::Test {
protected:
    void SetUp() override {
        if (::geteuid() != 0)
            GTEST_SKIP() << "giving files to other owners needs root";
        // The unprivileged child must reach the volume.
        ::chmod(native(dir.path()).constData(), 0755);
        makeDir(root());
        makeDir(root() + "/alice", alice);
        writeFile(root() + "/alice/notes", 10000, alice);
        writeFile(root() + "/alice/thesis", 70000, alice);
        makeDir(root() + "/shared");
        ASSERT_EQ(::link(native(root() + "/alice/thesis").constData(),
                         native(root() + "/shared/thesis").constData()), 0);
        makeDir(root() + "/bob", bob);
        writeFile(root() + "/bob/data", 300000, bob);
        makeDir(root() + "/ghost", ghost);
        writeFile(root() + "/ghost/left", 5000, ghost);
        makeDir(outside());
        writeFile(outside() + "/big", 1 << 20, alice);
        const QByteArray link = native(root() + "/bob/out");
        ASSERT_EQ(::symlink(native(outside()).constData(), link.constData()), 0);
        ASSERT_EQ(::lchown(native(root() + "/bob/out").constData(), bob, bob), 0);
    }
    QString root() const { return dir.path() + "/vol"; }
    QString outside() const { return dir.path() + "/outside"; }

    QTemporaryDir dir;
    std::atomic<bool> cancel{false};
};

} // namespace

// Charging owners -------------------------------------------------------------------

TEST_F(Volume, OneWalkChargesEveryOwnerAsAPlainCountDoes) {
    DiskAccounting accounting(2);
    const VolumeUsage* usage = accounting.usage(native(root()), cancel);
    ASSERT_NE(usage, nullptr);
    EXPECT_FALSE(usage->fromQuotas);
    EXPECT_EQ(usage->skipped, 0u);
    EXPECT_EQ(usage->bytesByUid, PlainCount(root()).bytes());
    EXPECT_TRUE(usage->bytesByUid.contains(ghost));
    EXPECT_EQ(usage->filesByUid, PlainCount(root()).files());
    EXPECT_EQ(usage->filesByUid.value(alice), 3u); // her folder, notes, and thesis once for its two names
    // The file the link points out to is not alice's on this volume.
    EXPECT_LT(usage->bytesByUid.value(alice), std::uint64_t(1) << 20);
}

TEST_F(Volume, HardLinkedFileIsChargedOnce) {
    DiskAccounting accounting(2);
    const VolumeUsage* linked = accounting.usage(native(root()), cancel);
    ASSERT_NE(linked, nullptr);
    const std::uint64_t withLink = linked->bytesByUid.value(alice);
    ASSERT_TRUE(QFile::remove(root() + "/shared/thesis"));
    accounting.clear();
    const VolumeUsage* single = accounting.usage(native(root()), cancel);
    ASSERT_NE(single, nullptr);
    EXPECT_EQ(single->bytesByUid.value(alice), withLink);
    EXPECT_GE(withLink, 80000u);
}

TEST_F(Volume, OneThreadAndTwoAgree) {
    DiskAccounting one(1);
    DiskAccounting two(2);
    const VolumeUsage* byOne = one.usage(native(root()), cancel);
    const VolumeUsage* byTwo = two.usage(native(root()), cancel);
    ASSERT_NE(byOne, nullptr);
    ASSERT_NE(byTwo, nullptr);
    EXPECT_EQ(byOne->bytesByUid, byTwo->bytesByUid);
}

TEST_F(Volume, NestedMountIsNotCharged) {
    makeDir(root() + "/mnt");
    ScopedTmpfs tmpfs(native(root() + "/mnt"));
    if (!tmpfs.mounted())
        GTEST_SKIP() << tmpfs.why().toStdString();
    writeFile(root() + "/mnt/huge", 2 << 20, bob);
    DiskAccounting accounting(2);
    const VolumeUsage* usage = accounting.usage(native(root()), cancel);
    ASSERT_NE(usage, nullptr);
    EXPECT_EQ(usage->bytesByUid, PlainCount(root()).bytes());
    EXPECT_LT(usage->bytesByUid.value(bob), std::uint64_t(2) << 20);
}

TEST_F(Volume, AFolderBindMountedBelowItselfIsChargedOnceAsDuCountsIt) {
    makeDir(root() + "/alice/loop");
    ScopedBindMount loop(native(root() + "/alice"), native(root() + "/alice/loop"));
    if (!loop.mounted())
        GTEST_SKIP() << loop.why().toStdString();
    DiskAccounting accounting(2);
    const VolumeUsage* usage = accounting.usage(native(root()), cancel);
    ASSERT_NE(usage, nullptr);
    std::uint64_t charged = 0;
    for (const std::uint64_t bytes : usage->bytesByUid)
        charged += bytes;
    EXPECT_EQ(std::optional<std::uint64_t>(charged), commandFigure("du", {"-s", "-B1", root()}));
    EXPECT_EQ(usage->loopingFolders, 1u);
}

TEST_F(Volume, UnreadableDirectoryIsCountedAsSkipped) {
    makeDir(root() + "/bob/private", bob, 0700);
    writeFile(root() + "/bob/private/secret", 40000, bob);
    const QByteArray path = native(root());
    const UnprivilegedResult result = runUnprivileged([&] {
        std::atomic<bool> never{false};
        DiskAccounting accounting(2);
        const VolumeUsage* usage = accounting.usage(path, never);
        QByteArray out;
        QDataStream stream(&out, QIODevice::WriteOnly);
        stream << bool(usage);
        if (!usage)
            return out;
        stream << quint64(usage->skipped) << quint32(usage->bytesByUid.size());
        for (auto it = usage->bytesByUid.cbegin(); it != usage->bytesByUid.cend(); ++it)
            stream << quint32(it.key()) << quint64(it.value());
        return out;
    });
    if (!result.output)
        GTEST_SKIP() << result.why.toStdString();

    QDataStream stream(*result.output);
    bool walked = false;
    quint64 skipped = 0;
    quint32 owners = 0;
    stream >> walked >> skipped >> owners;
    ASSERT_TRUE(walked);
    BytesByUid bytes;
    for (quint32 i = 0; i < owners; ++i) {
        quint32 uid = 0;
        quint64 value = 0;
        stream >> uid >> value;
        bytes.insert(uid, value);
    }
    if (bytes.isEmpty())
        GTEST_SKIP() << "uid 65534 cannot reach the temporary directory "
                     << dir.path().toStdString();
    EXPECT_EQ(skipped, 1u);
    EXPECT_EQ(bytes, PlainCount(root(), root() + "/bob/private").bytes());
}

// Keeping results -------------------------------------------------------------------

namespace {

class Cached : public ::testing::Test {
protected:
    Cached() { QDir().mkpath(root()); }
    QString root() const { return dir.path() + "/vol"; }
    static std::uint64_t mine(const VolumeUsage* usage) {
        return usage ? usage->bytesByUid.value(::geteuid()) : 0;
    }

    QTemporaryDir dir;
    std::atomic<bool> cancel{false};
    DiskAccounting accounting{2};
};

} // namespace

TEST_F(Cached, SecondAskDoesNotWalkAgainUntilCleared) {
    writeFile(root() + "/first", 20000);
    const std::uint64_t before = mine(accounting.usage(native(root()), cancel));
    ASSERT_GT(before, 0u);
    writeFile(root() + "/second", 100000);
    EXPECT_EQ(mine(accounting.usage(native(root()), cancel)), before);
    accounting.clear();
    EXPECT_EQ(mine(accounting.usage(native(root()), cancel)),
              PlainCount(root()).bytes().value(::geteuid()));
    EXPECT_GE(mine(accounting.usage(native(root()), cancel)), before + 100000);
}

TEST_F(Cached, CancelledWalkGivesNothingAndIsNotKept) {
    writeFile(root() + "/file", 20000);
    cancel = true;
    EXPECT_EQ(accounting.usage(native(root()), cancel), nullptr);
    cancel = false;
    const VolumeUsage* usage = accounting.usage(native(root()), cancel);
    ASSERT_NE(usage, nullptr);
    EXPECT_EQ(usage->bytesByUid, PlainCount(root()).bytes());
}

TEST_F(Cached, EachRootIsKeptApart) {
    QDir().mkpath(dir.path() + "/other");
    writeFile(root() + "/file", 20000);
    writeFile(dir.path() + "/other/file", 200000);
    const std::uint64_t first = mine(accounting.usage(native(root()), cancel));
    const std::uint64_t other = mine(accounting.usage(native(dir.path() + "/other"), cancel));
    EXPECT_EQ(first, PlainCount(root()).bytes().value(::geteuid()));
    EXPECT_EQ(other, PlainCount(dir.path() + "/other").bytes().value(::geteuid()));
    EXPECT_NE(first, other);
}

// Blocks --------------------------------------------------------------------------------

TEST(DiskBlocks, RoundUpToWholeBlocksOf4096Bytes) {
    EXPECT_EQ(DiskAccounting::blocksOf(0), 0u);
    EXPECT_EQ(DiskAccounting::blocksOf(1), 1u);
    EXPECT_EQ(DiskAccounting::blocksOf(4096), 1u);
    EXPECT_EQ(DiskAccounting::blocksOf(4097), 2u);
    // 20 TiB: more blocks than 32 bits hold.
    const std::uint64_t huge = std::uint64_t(20) << 40;
    EXPECT_EQ(DiskAccounting::blocksOf(huge), std::uint64_t(5) << 30);
    EXPECT_EQ(DiskAccounting::blocksOf(huge + 1), (std::uint64_t(5) << 30) + 1);
    EXPECT_EQ(DiskAccounting::blocksOf(UINT64_MAX), (UINT64_MAX >> 12) + 1);
}

// Quotas ----------------------------------------------------------------------------------

TEST(Quotas, NothingWhereTheRootIsNoMountPointOrHasNoQuotas) {
    QTemporaryDir dir;
    EXPECT_FALSE(QuotaReader::usage(native(dir.path())));
    QDir().mkpath(dir.path() + "/mnt");
    ScopedTmpfs tmpfs(native(dir.path() + "/mnt"));
    if (!tmpfs.mounted())
        GTEST_SKIP() << tmpfs.why().toStdString();
    EXPECT_FALSE(QuotaReader::usage(native(dir.path() + "/mnt")));
}

namespace {

// An ext4 image with the quota feature, loop-mounted with user quotas on.
class QuotaVolume : public ::testing::Test {
protected:
    void SetUp() override {
        if (::geteuid() != 0)
            GTEST_SKIP() << "mounting a file system with quotas needs root";
        const QString mkfs = QStandardPaths::findExecutable("mkfs.ext4", {"/usr/sbin", "/sbin"});
        if (mkfs.isEmpty())
            GTEST_SKIP() << "mkfs.ext4 is not installed";
        const QString image = dir.path() + "/quota.img";
        QFile file(image);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.resize(32 << 20));
        file.close();
        const QString made = run(mkfs, {"-q", "-F", "-O", "quota", image});
        if (!made.isEmpty())
            GTEST_SKIP() << "mkfs.ext4 -O quota failed: " << made.toStdString();
        QDir().mkpath(root());
        const QString failed = run("mount", {"-o", "loop,usrquota", image, root()});
        if (!failed.isEmpty())
            GTEST_SKIP() << "this kernel cannot mount ext4 with user quotas (that needs "
                            "CONFIG_QUOTA and CONFIG_QFMT_V2): "
                         << failed.toStdString();
        m_mounted = true;
    }
    void TearDown() override {
        if (m_mounted)
            ::umount2(native(root()).constData(), MNT_DETACH);
    }
    QString root() const { return dir.path() + "/mnt"; }

    // Empty when the command succeeded, else what it said.
    static QString run(const QString& program, const QStringList& arguments) {
        QProcess process;
        process.start(program, arguments);
        if (!process.waitForFinished(60000))
            return program + " did not finish";
        if (process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0)
            return {};
        const QString said = QString::fromLocal8Bit(process.readAllStandardError()).trimmed();
        return said.isEmpty() ? program + " failed" : said;
    }

    QTemporaryDir dir;
    bool m_mounted = false;
};

} // namespace

TEST_F(QuotaVolume, UsageComesFromTheQuotasOfTheMount) {
    makeDir(root() + "/alice", alice);
    writeFile(root() + "/alice/file", 50000, alice);
    writeFile(root() + "/bobs", 20000, bob);
    ::sync();
    std::atomic<bool> cancel{false};
    DiskAccounting accounting(2);
    const VolumeUsage* usage = accounting.usage(native(root()), cancel);
    ASSERT_NE(usage, nullptr);
    EXPECT_TRUE(usage->fromQuotas);
    const BytesByUid plain = PlainCount(root()).bytes();
    EXPECT_EQ(usage->bytesByUid.value(alice), plain.value(alice));
    EXPECT_EQ(usage->bytesByUid.value(bob), plain.value(bob));
    const BytesByUid files = PlainCount(root()).files();
    EXPECT_EQ(usage->filesByUid.value(alice), files.value(alice));
    EXPECT_EQ(usage->filesByUid.value(bob), files.value(bob));
    EXPECT_EQ(files.value(alice), 2u);
    // Below the mount point quotas are not the volume's: the walk answers.
    const VolumeUsage* below = accounting.usage(native(root() + "/alice"), cancel);
    ASSERT_NE(below, nullptr);
    EXPECT_FALSE(below->fromQuotas);
}
