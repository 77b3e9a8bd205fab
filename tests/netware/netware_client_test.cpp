#include "netware/client/netware_client.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/statvfs.h>
#include <unistd.h>

#include <atomic>

namespace {

class Client : public ::testing::Test {
protected:
    Client() : client(makeSite()) { client.NWCallsInit(); }

    Site makeSite() {
        QDir().mkpath(dir.path() + "/sys");
        QDir().mkpath(dir.path() + "/vol1");
        Site site;
        TreeConfig host;
        host.name = "HOST_TREE";
        TreeConfig acme;
        acme.name = "ACME_TREE";
        acme.isDefault = true;
        site.trees = {host, acme};
        site.servers = {{"FS1", {{"SYS", QFile::encodeName(dir.path() + "/sys")},
                                 {"VOL1", QFile::encodeName(dir.path() + "/vol1")}}},
                        {"FS2", {{"GONE", QFile::encodeName(dir.path() + "/gone")}}}};
        return site;
    }

    QTemporaryDir dir;
    NetWareClient client;
};

QStringList scanVolumes(NetWareClient& client, NWCONN_HANDLE conn, std::uint32_t nameSpace) {
    QStringList names;
    std::uint32_t iter = 0;
    do {
        std::uint32_t returned = 0;
        std::vector<NWVolMountNumWithName> batch;
        if (client.NWScanMountedVolumeList(conn, 1, nameSpace, iter, 1, returned, batch) != 0)
            break;
        for (const auto& v : batch)
            names.append(v.volumeName);
    } while (iter != 0);
    return names;
}

} // namespace

TEST_F(Client, ContextsStartOnTheDefaultTreeAndKeepTheirKeys) {
    NWDSContextHandle ctx = 0;
    ASSERT_EQ(client.NWDSCreateContextHandle(ctx), 0);
    QString tree;
    client.NWDSGetContext(ctx, nw::DCK_TREE_NAME, tree);
    EXPECT_EQ(tree, "ACME_TREE");
    EXPECT_EQ(client.NWDSSetContext(ctx, nw::DCK_TREE_NAME, QString("host_tree")), 0);
    client.NWDSGetContext(ctx, nw::DCK_TREE_NAME, tree);
    EXPECT_EQ(tree, "HOST_TREE");
    EXPECT_EQ(client.NWDSSetContext(ctx, nw::DCK_TREE_NAME, QString("NOWHERE")), nw::ERR_NO_SUCH_ENTRY);
    EXPECT_EQ(client.lastResult(), nw::ERR_NO_SUCH_ENTRY);

    std::uint32_t flags = 0;
    client.NWDSGetContext(ctx, nw::DCK_FLAGS, flags);
    EXPECT_FALSE(flags & nw::DCV_TYPELESS_NAMES);
    client.NWDSSetContext(ctx, nw::DCK_FLAGS, flags | nw::DCV_TYPELESS_NAMES);
    client.NWDSGetContext(ctx, nw::DCK_FLAGS, flags);
    EXPECT_TRUE(flags & nw::DCV_TYPELESS_NAMES);

    QString nameContext;
    client.NWDSGetContext(ctx, nw::DCK_NAME_CONTEXT, nameContext);
    EXPECT_EQ(nameContext, "[Root]");
    client.NWDSSetContext(ctx, nw::DCK_NAME_CONTEXT, QString("ACME_TREE\\ACME\\SALES"));
    client.NWDSGetContext(ctx, nw::DCK_NAME_CONTEXT, nameContext);
    EXPECT_EQ(nameContext, "ACME_TREE\\ACME\\SALES");

    EXPECT_EQ(client.NWDSFreeContext(ctx), 0);
    EXPECT_EQ(client.lastResult(), 0);
    EXPECT_NE(client.NWDSGetContext(ctx, nw::DCK_FLAGS, flags), 0);
}

TEST_F(Client, NothingBeforeTheClientIsInitialized) {
    NetWareClient fresh(makeSite());
    NWDSContextHandle ctx = 0;
    EXPECT_NE(fresh.NWDSCreateContextHandle(ctx), 0);
    NWCONN_HANDLE conn = 0;
    EXPECT_NE(fresh.NWAttachToFileServer("FS1", 0, conn), 0);
}

TEST_F(Client, ParsesNetWarePathsAndFindsVolumes) {
    QString server, volume, path;
    NWCONN_HANDLE conn = 0;
    ASSERT_EQ(client.NWParsePath("fs1/vol1:\\USERS\\ALICE", server, conn, volume, path), 0);
    EXPECT_EQ(server, "fs1");
    EXPECT_EQ(volume, "vol1");
    EXPECT_EQ(path, "\\USERS\\ALICE");
    std::uint16_t number = 99;
    ASSERT_EQ(client.NWGetVolumeNumber(conn, volume, number), 0);
    EXPECT_EQ(number, 1);
    EXPECT_EQ(client.NWGetVolumeNumber(conn, "VOL7", number), nw::VOLUME_DOES_NOT_EXIST);
    EXPECT_EQ(client.NWParsePath("FS9/SYS:", server, conn, volume, path), nw::UNKNOWN_FILE_SERVER);
    EXPECT_EQ(client.NWParsePath("no path here", server, conn, volume, path), nw::INVALID_PATH);
}

TEST_F(Client, AVolumeTheServerDoesNotHaveIsNoPath) {
    QString server, volume, path;
    NWCONN_HANDLE conn = 0;
    EXPECT_EQ(client.NWParsePath("FS1/VOL9:\\USERS", server, conn, volume, path), nw::VOLUME_DOES_NOT_EXIST);
    EXPECT_EQ(client.lastResult(), nw::VOLUME_DOES_NOT_EXIST);
    EXPECT_EQ(server, "FS1"); // what was asked for, to say so
    EXPECT_EQ(volume, "VOL9");
    std::uint16_t number = 99;
    EXPECT_EQ(client.NWGetVolumeNumber(conn, volume, number), nw::VOLUME_DOES_NOT_EXIST);
    EXPECT_EQ(number, 99);
    EXPECT_EQ(client.NWParsePath("FS2/SYS:", server, conn, volume, path), nw::VOLUME_DOES_NOT_EXIST);
    ASSERT_EQ(client.NWParsePath("fs1/_admin:", server, conn, volume, path), 0);
    ASSERT_EQ(client.NWGetVolumeNumber(conn, volume, number), 0);
    EXPECT_EQ(number, 2);
}

TEST_F(Client, FiguresACancelledWalkLeftUnmeasuredAreAFailure) {
    NWCONN_HANDLE conn = 0;
    client.NWAttachToFileServer("FS1", 0, conn);
    std::atomic<bool> cancel{true};
    client.setWalkControl(&cancel, {});
    QFile file(dir.path() + "/sys/mine");
    ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write("x") == 1);
    file.close();
    const std::uint32_t me = DirectoryClient::objectIdOfUid(::geteuid());
    std::uint64_t restriction = 0, inUse = 7;
    EXPECT_EQ(client.NWGetObjDiskRestrictions(conn, 0, me, restriction, inUse), nw::WALK_CANCELLED);
    EXPECT_EQ(inUse, 0u);
    cancel = false;
    EXPECT_EQ(client.NWGetObjDiskRestrictions(conn, 0, me, restriction, inUse), 0);
    EXPECT_GE(inUse, 1u);
}

TEST_F(Client, SpaceInfoIsTheVolumeRootsStatvfs) {
    NWCONN_HANDLE conn = 0;
    client.NWAttachToFileServer("FS1", 0, conn);
    DIR_SPACE_INFO info;
    ASSERT_EQ(client.NWGetDirSpaceInfo(conn, 0, 0, info), 0);
    struct statvfs fs {};
    ::statvfs(QFile::encodeName(dir.path() + "/sys").constData(), &fs);
    EXPECT_EQ(info.totalBlocks, fs.f_blocks);
    EXPECT_EQ(info.sectorsPerBlock, fs.f_frsize / 512);
    EXPECT_EQ(info.purgeableBlocks, 0u);
    EXPECT_EQ(info.notYetPurgeableBlocks, 0u);

    NWCONN_HANDLE conn2 = 0;
    client.NWAttachToFileServer("FS2", 0, conn2);
    EXPECT_EQ(client.NWGetDirSpaceInfo(conn2, 0, 0, info), nw::VOLUME_DOES_NOT_EXIST);
    EXPECT_EQ(info.totalBlocks, 0u);
    EXPECT_EQ(client.NWGetDirSpaceInfo(77, 0, 0, info), nw::INVALID_CONNECTION);
}

TEST_F(Client, MountedVolumesInEachNameSpaceWithTheAdministrationVolume) {
    NWCONN_HANDLE conn = 0;
    ASSERT_EQ(client.NWCCOpenConnByName(0, "fs1", 2, 0, 0, conn), 0);
    EXPECT_EQ(scanVolumes(client, conn, 0), (QStringList{"SYS", "VOL1", "_ADMIN"}));
    EXPECT_EQ(scanVolumes(client, conn, 4), (QStringList{"SYS", "VOL1"}));
    EXPECT_EQ(scanVolumes(client, conn, 1), QStringList{});
    std::uint32_t iter = 0, returned = 0;
    std::vector<NWVolMountNumWithName> batch;
    client.NWScanMountedVolumeList(conn, 1, 0, iter, 10, returned, batch);
    EXPECT_EQ(returned, 3u);
    EXPECT_EQ(iter, 0u);
}

TEST_F(Client, VolumeRootsByServerAndVolumeName) {
    EXPECT_EQ(client.volumeRoot("fs1", "vol1"), QFile::encodeName(dir.path() + "/vol1"));
    EXPECT_FALSE(client.volumeRoot("FS1", "DATA"));
    EXPECT_FALSE(client.volumeRoot("FS3", "SYS"));
}
