#include "netware/client/system_site.h"

#include "scoped_tmpfs.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/mount.h>

namespace {

TEST(MountTableTest, ParsesFieldsEscapesAndOptionalFields) {
    const QByteArray mountinfo =
        "22 1 8:1 / / rw,relatime shared:1 - ext4 /dev/sda1 rw\n"
        "30 22 8:17 /export /mnt/my\\040disk\\134x rw,relatime shared:5 master:2 - xfs /dev/sdb\\0401 rw\n"
        "31 22 0:5 / /proc rw - proc proc rw\n"
        "garbage line\n";
    const QList<MountEntry> entries = MountTable::parse(mountinfo);
    ASSERT_EQ(entries.size(), 3);
    EXPECT_EQ(entries[0].mountPoint, QByteArray("/"));
    EXPECT_EQ(entries[1].mountPoint, QByteArray("/mnt/my disk\\x"));
    EXPECT_EQ(entries[1].fsType, QByteArray("xfs"));
    EXPECT_EQ(entries[1].source, QByteArray("/dev/sdb 1"));
    EXPECT_EQ(entries[1].device, QByteArray("8:17"));
    EXPECT_EQ(entries[2].fsType, QByteArray("proc"));
}

TEST(MountTableTest, TellsVirtualFileSystemsFromDisks) {
    for (const char* type : {"proc", "sysfs", "cgroup2", "tmpfs", "devpts", "squashfs", "fuse.lxcfs", "fuse.portal"})
        EXPECT_TRUE(MountTable::isVirtual(type)) << type;
    for (const char* type : {"ext4", "xfs", "btrfs", "overlay", "nfs4", "fuse.sshfs"})
        EXPECT_FALSE(MountTable::isVirtual(type)) << type;
}

// Asked of the directory as it is now: a mount, a bind mount of the same
// file system, and the same folders once unmounted.
TEST(MountTableTest, TellsAMountPointFromAPlainFolderNow) {
    QTemporaryDir dir;
    const QByteArray disk = QFile::encodeName(dir.filePath(QStringLiteral("disk")));
    ASSERT_TRUE(QDir().mkpath(QFile::decodeName(disk)));
    EXPECT_TRUE(MountTable::isMountPoint("/"));
    EXPECT_FALSE(MountTable::isMountPoint(disk));
    EXPECT_FALSE(MountTable::isMountPoint(QFile::encodeName(dir.filePath(QStringLiteral("missing")))));
    {
        const ScopedTmpfs tmpfs(disk);
        if (!tmpfs.mounted())
            GTEST_SKIP() << tmpfs.why().toStdString();
        EXPECT_TRUE(MountTable::isMountPoint(disk));
        EXPECT_TRUE(MountTable::isMountPoint(disk + "/"));
        ASSERT_TRUE(QDir().mkpath(QFile::decodeName(disk + "/sub")));
        EXPECT_FALSE(MountTable::isMountPoint(disk + "/sub"));
        // Same device as its parent: only the mount itself tells.
        ASSERT_EQ(::mount((disk + "/sub").constData(), (disk + "/sub").constData(), nullptr, MS_BIND, nullptr), 0);
        EXPECT_TRUE(MountTable::isMountPoint(disk + "/sub"));
        ::umount2((disk + "/sub").constData(), MNT_DETACH);
    }
    EXPECT_FALSE(MountTable::isMountPoint(disk));
}

class SystemVolumesTest : public ::testing::Test {
protected:
    // A disk mount at a fresh directory under the temporary folder.
    MountEntry disk(const QString& relative, const char* device, const char* type = "ext4") {
        EXPECT_TRUE(QDir(m_dir.path()).mkpath(relative));
        return {QFile::encodeName(m_dir.filePath(relative)), type, "/dev/x", device};
    }

    QStringList names(const QList<VolumeConfig>& volumes) {
        QStringList out;
        for (const VolumeConfig& volume : volumes)
            out.append(volume.name);
        return out;
    }

    QTemporaryDir m_dir;
};

TEST_F(SystemVolumesTest, RootIsSysAndOtherNamesAreUnique) {
    const QList<MountEntry> mounts = {
        disk(QStringLiteral("a/data"), "8:1"),
        {"/", "overlay", "overlay", "0:50"},
        disk(QStringLiteral("b/data"), "8:2"),
        disk(QStringLiteral("sys"), "8:3"),
        disk(QStringLiteral("archive.2023-backups"), "8:4"),
        disk(QStringLiteral("averyveryverylongname1"), "8:5"),
        disk(QStringLiteral("averyveryverylongname2"), "8:6"),
    };
    const QList<VolumeConfig> volumes = SystemSite::volumes(mounts);
    EXPECT_EQ(names(volumes), QStringList({"SYS", "DATA", "DATA2", "SYS2", "ARCHIVE_2023-BA", "AVERYVERYVERYLO",
                                           "AVERYVERYVERYL2"}));
    EXPECT_EQ(volumes[0].root, QByteArray("/"));
    EXPECT_EQ(volumes[2].root, mounts[2].mountPoint);
    // Found mounted: once unmounted, the folder left behind is not the volume.
    EXPECT_FALSE(volumes[0].mountPoint);
    for (qsizetype i = 1; i < volumes.size(); ++i)
        EXPECT_TRUE(volumes[i].mountPoint) << volumes[i].name.toStdString();
}

TEST_F(SystemVolumesTest, LeavesOutVirtualFilesAndRepeatedDevices) {
    QFile file(m_dir.filePath(QStringLiteral("resolv.conf")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    const QList<MountEntry> mounts = {
        {"/", "ext4", "/dev/sda1", "8:1"},
        disk(QStringLiteral("proc"), "0:5", "proc"),
        disk(QStringLiteral("run"), "0:6", "tmpfs"),
        {QFile::encodeName(file.fileName()), "ext4", "/dev/sda1", "8:9"},
        {QFile::encodeName(m_dir.filePath(QStringLiteral("gone"))), "ext4", "/dev/sdc1", "8:7"},
        disk(QStringLiteral("home"), "8:2"),
        disk(QStringLiteral("home-again"), "8:2"),
        disk(QStringLiteral("rootbind"), "8:1"),
    };
    EXPECT_EQ(names(SystemSite::volumes(mounts)), QStringList({"SYS", "HOME"}));
}

TEST(SystemSiteNames, TreeNameFromShortHostName) {
    EXPECT_EQ(SystemSite::treeName(QStringLiteral("vm")), QStringLiteral("VM_TREE"));
    EXPECT_EQ(SystemSite::treeName(QStringLiteral("my-host.example.org")), QStringLiteral("MY_HOST_TREE"));
    const QString longName = SystemSite::treeName(QStringLiteral("abcdefghijklmnopqrstuvwxyz0123"));
    EXPECT_EQ(longName, QStringLiteral("ABCDEFGHIJKLMNOPQRS_TREE"));
    EXPECT_EQ(longName.size(), 24);
}

TEST(SystemSiteNames, ServerNameIsUpperCasedShortHostName) {
    EXPECT_EQ(SystemSite::serverName(QStringLiteral("vm.example.org")), QStringLiteral("VM"));
}

TEST(SystemSiteBuild, OneDefaultSystemTreeAndTheHostServer) {
    const Site site = SystemSite::build(QStringLiteral("vm.example.org"), {{"/", "xfs", "/dev/vda1", "252:1"}});
    ASSERT_EQ(site.trees.size(), 1);
    EXPECT_EQ(site.trees[0].name, QStringLiteral("VM_TREE"));
    EXPECT_EQ(site.trees[0].directory, DirectoryKind::System);
    EXPECT_TRUE(site.trees[0].connected);
    EXPECT_EQ(site.defaultTree(), &site.trees[0]);
    ASSERT_EQ(site.servers.size(), 1);
    EXPECT_EQ(site.servers[0].name, QStringLiteral("VM"));
    ASSERT_EQ(site.servers[0].volumes.size(), 1);
    EXPECT_EQ(site.servers[0].volumes[0].name, QStringLiteral("SYS"));
}

TreeConfig tree(const char* name, DirectoryKind kind, bool isDefault) {
    TreeConfig config;
    config.name = QString::fromLatin1(name);
    config.directory = kind;
    config.isDefault = isDefault;
    return config;
}

TEST(SystemSiteMerge, FileDefaultTreeBecomesTheOnlyDefault) {
    Site file;
    file.trees = {tree("ACME_TREE", DirectoryKind::Inline, true)};
    const Site merged = SystemSite::merge(SystemSite::build(QStringLiteral("vm"), {}), file);
    ASSERT_EQ(merged.trees.size(), 2);
    EXPECT_EQ(merged.trees[0].name, QStringLiteral("VM_TREE"));
    EXPECT_FALSE(merged.trees[0].isDefault);
    EXPECT_EQ(merged.defaultTree(), &merged.trees[1]);
}

TEST(SystemSiteMerge, FileTreesAndServersNamedLikeTheHostsReplaceThem) {
    Site file;
    file.trees = {tree("vm_tree", DirectoryKind::Ldap, false)};
    file.servers = {{QStringLiteral("VM"), {{QStringLiteral("DATA"), "/srv/data"}}},
                    {QStringLiteral("FS1"), {{QStringLiteral("SYS"), "/srv/fs1"}}}};

    const Site merged = SystemSite::merge(SystemSite::build(QStringLiteral("vm"), {}), file);

    ASSERT_EQ(merged.trees.size(), 1);
    EXPECT_EQ(merged.trees[0].directory, DirectoryKind::Ldap);
    ASSERT_EQ(merged.servers.size(), 2);
    const ServerConfig* vm = merged.findServer(QStringLiteral("vm"));
    ASSERT_NE(vm, nullptr);
    ASSERT_EQ(vm->volumes.size(), 1);
    EXPECT_EQ(vm->volumes[0].root, QByteArray("/srv/data"));
    EXPECT_NE(merged.findServer(QStringLiteral("FS1")), nullptr);
}

TEST(SystemSiteMerge, HostTreeStaysDefaultWhenFileHasNone) {
    Site file;
    file.trees = {tree("ACME_TREE", DirectoryKind::Inline, false)};
    const Site merged = SystemSite::merge(SystemSite::build(QStringLiteral("vm"), {}), file);
    ASSERT_EQ(merged.trees.size(), 2);
    EXPECT_EQ(merged.defaultTree(), &merged.trees[0]);
    EXPECT_EQ(merged.trees[0].name, QStringLiteral("VM_TREE"));
}

} // namespace
