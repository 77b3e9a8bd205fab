#include "fsview/volume_view.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QUrl>

#include <gtest/gtest.h>

#include <sys/stat.h>
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

// A volume at "/" (SYS without a site file): one slash, so a file URL
// names no host.
TEST(RootVolume, PathsBelowItStartWithOneSlash) {
    struct AtRoot : VolumeLocator {
        std::optional<QByteArray> volumeRoot(const QString&, const QString&) const override { return QByteArray("/"); }
    } locator;
    const VolumeView view(locator);
    EXPECT_EQ(view.resolve("\\\\VM\\SYS\\tmp").path, "/tmp");
    EXPECT_EQ(QUrl::fromLocalFile(QFile::decodeName(view.resolve("\\\\VM\\SYS\\tmp").path)).toString(), "file:///tmp");
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
    EXPECT_TRUE(view.resolve("\\\\FS1\\VOL1\\ESCAPE").error.contains("leaves its volume through the symbolic link escape"));
    EXPECT_FALSE(view.canOpenDirectory("\\\\FS1\\VOL1\\escape"));
}

TEST_F(Volumes, NoSymbolicLinkIsPassedEvenOneThatStaysInside) {
    // A link checked now may point elsewhere by the time the walk opens it.
    ASSERT_EQ(::symlink("Users", QFile::encodeName(root() + "/inside").constData()), 0);
    EXPECT_TRUE(view.resolve("\\\\FS1\\VOL1\\inside\\alice").error.contains("symbolic link inside"));
    EXPECT_FALSE(view.openDirectory("\\\\FS1\\VOL1\\inside").ok());
}

TEST_F(Volumes, TheCaseTypedIsMatchedExactlyFirst) {
    QDir().mkpath(root() + "/case/abc");
    QDir().mkpath(root() + "/case/ABC/only-upper");
    EXPECT_EQ(view.resolve("\\\\FS1\\VOL1\\case\\abc").path, QFile::encodeName(root() + "/case/abc"));
    EXPECT_EQ(view.resolve("\\\\FS1\\VOL1\\case\\ABC").path, QFile::encodeName(root() + "/case/ABC"));
    // Only two entries differing in case match "Abc": which one is meant cannot be told.
    const QString error = view.resolve("\\\\FS1\\VOL1\\case\\Abc").error;
    EXPECT_TRUE(error.contains("ABC, abc")) << error.toStdString();
    EXPECT_FALSE(view.openDirectory("\\\\FS1\\VOL1\\CASE\\Abc").ok());
}

TEST_F(Volumes, TheDisplayShowsEachNameAsStored) {
    EXPECT_EQ(view.resolve("\\\\fs1\\vol1\\USERS\\alice\\").display, "\\\\FS1\\VOL1\\Users\\Alice");
    EXPECT_EQ(view.openDirectory("\\\\fs1\\vol1\\users\\ALICE\\docs").display,
              "\\\\FS1\\VOL1\\Users\\Alice\\Docs");
    EXPECT_EQ(view.openDirectory("\\\\FS1\\VOL1").display, "\\\\FS1\\VOL1\\");
    EXPECT_EQ(view.openDirectory("\\\\FS1\\VOL1\\").display, "\\\\FS1\\VOL1\\");
}

TEST_F(Volumes, TheDirectoryOpenedIsTheOneResolvedNotWhatTheNameLaterMeans) {
    VolumeView::Opened opened = view.openDirectory("\\\\FS1\\VOL1\\Users\\Alice");
    ASSERT_TRUE(opened.ok());
    // Swapped for a link out of the volume after the lookup: the descriptor still lists Alice.
    ASSERT_TRUE(QDir().rename(root() + "/Users/Alice", root() + "/Users/Old"));
    ASSERT_EQ(::symlink(QFile::encodeName(dir.path() + "/outside").constData(),
                        QFile::encodeName(root() + "/Users/Alice").constData()), 0);
    struct stat listed {}, docs {};
    ASSERT_EQ(::fstatat(opened.fd.get(), "Docs", &listed, 0), 0);
    ASSERT_EQ(::stat(QFile::encodeName(root() + "/Users/Old/Docs").constData(), &docs), 0);
    EXPECT_EQ(listed.st_ino, docs.st_ino);
    EXPECT_FALSE(view.openDirectory("\\\\FS1\\VOL1\\Users\\Alice").ok());
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
