#include "fsview/volume_view.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <unistd.h>

namespace {

// One server FS1 with volume VOL1 at <tmp>/vol1; <tmp>/outside lies beside it.
class Volumes : public ::testing::Test, public VolumeLocator {
protected:
    Volumes() {
        QDir().mkpath(root() + "/Users/Alice/Docs");
        QDir().mkpath(dir.path() + "/outside");
    }
    std::optional<QByteArray> volumeRoot(const QString& server, const QString& volume) const override {
        if (server.compare("FS1", Qt::CaseInsensitive) == 0 && volume.compare("VOL1", Qt::CaseInsensitive) == 0)
            return QFile::encodeName(root());
        return std::nullopt;
    }
    QString root() const { return dir.path() + "/vol1"; }

    QTemporaryDir dir;
    VolumeView view{*this};
};

} // namespace

TEST(VolumePathSplit, TakesServerVolumeAndDirectories) {
    const auto parts = VolumePathParts::split("\\\\FS1\\VOL1\\USERS\\ALICE\\");
    ASSERT_TRUE(parts);
    EXPECT_EQ(parts->server, "FS1");
    EXPECT_EQ(parts->volume, "VOL1");
    EXPECT_EQ(parts->dirs, (QStringList{"USERS", "ALICE"}));
    EXPECT_FALSE(VolumePathParts::split("FS1\\VOL1"));
    EXPECT_FALSE(VolumePathParts::split("\\\\FS1"));
    EXPECT_FALSE(VolumePathParts::split("\\\\\\VOL1"));
}

TEST_F(Volumes, ResolvesExactlyThenWithoutRegardToCase) {
    EXPECT_EQ(view.resolve("\\\\FS1\\VOL1").path, QFile::encodeName(root()));
    EXPECT_EQ(view.resolve("\\\\fs1\\vol1\\Users\\Alice").path, QFile::encodeName(root() + "/Users/Alice"));
    EXPECT_EQ(view.resolve("\\\\FS1\\VOL1\\USERS\\ALICE\\DOCS").path, QFile::encodeName(root() + "/Users/Alice/Docs"));
    EXPECT_EQ(view.resolve("\\\\FS1\\VOL1\\USERS\\").path, QFile::encodeName(root() + "/Users"));
}

TEST_F(Volumes, ExactMatchWinsOverAnotherCase) {
    QDir().mkpath(root() + "/USERS");
    EXPECT_EQ(view.resolve("\\\\FS1\\VOL1\\USERS").path, QFile::encodeName(root() + "/USERS"));
    EXPECT_EQ(view.resolve("\\\\FS1\\VOL1\\Users").path, QFile::encodeName(root() + "/Users"));
}

TEST_F(Volumes, RefusesUnknownAndMissingPaths) {
    EXPECT_FALSE(view.resolve("\\\\FS2\\VOL1").ok());
    EXPECT_FALSE(view.resolve("\\\\FS1\\SYS").ok());
    EXPECT_TRUE(view.resolve("\\\\FS1\\VOL1\\NOBODY").error.contains("does not exist"));
    EXPECT_FALSE(view.resolve("FS1\\VOL1").ok());
}

TEST_F(Volumes, RefusesPathsThatLeaveTheVolume) {
    EXPECT_TRUE(view.resolve("\\\\FS1\\VOL1\\..\\outside").error.contains("leaves its volume"));
    EXPECT_TRUE(view.resolve("\\\\FS1\\VOL1\\Users\\..\\..").error.contains("leaves its volume"));
    ASSERT_EQ(::symlink(QFile::encodeName(dir.path() + "/outside").constData(),
                        QFile::encodeName(root() + "/escape").constData()), 0);
    EXPECT_TRUE(view.resolve("\\\\FS1\\VOL1\\ESCAPE").error.contains("leaves its volume"));
    EXPECT_FALSE(view.canOpenDirectory("\\\\FS1\\VOL1\\escape"));
    ASSERT_EQ(::symlink("Users", QFile::encodeName(root() + "/inside").constData()), 0);
    EXPECT_TRUE(view.resolve("\\\\FS1\\VOL1\\inside\\alice").ok());
}

TEST_F(Volumes, NamesThatAreNotUtf8NeverStandForAnotherFile) {
    const QByteArray bad = QFile::encodeName(root()) + "/caf\xe9";
    ASSERT_EQ(::mkdir(bad.constData(), 0755), 0);
    // The mangled display form of that name matches nothing.
    EXPECT_FALSE(view.resolve("\\\\FS1\\VOL1\\caf\uFFFD").ok());
    EXPECT_FALSE(view.resolve("\\\\FS1\\VOL1\\CAF\uFFFD").ok());
}

TEST_F(Volumes, OpensDirectoriesButNotFiles) {
    QFile file(root() + "/note.txt");
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    EXPECT_TRUE(view.canOpenDirectory("\\\\FS1\\VOL1"));
    EXPECT_TRUE(view.canOpenDirectory("\\\\FS1\\VOL1\\users"));
    EXPECT_FALSE(view.canOpenDirectory("\\\\FS1\\VOL1\\NOTE.TXT"));
    EXPECT_FALSE(view.canOpenDirectory("\\\\FS1\\VOL9"));
}
