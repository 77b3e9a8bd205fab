#include "app/progress_line.h"
#include "app/terminal_text.h"

#include <QLocale>

#include <gtest/gtest.h>

namespace {

RunState::Progress walked(const QString& directory) {
    RunState::Progress p;
    p.directories = 1234;
    p.files = 567890;
    p.bytes = 1610612736; // 1.5 GiB
    p.directory = directory;
    return p;
}

class ProgressText : public ::testing::Test {
  protected:
    ~ProgressText() override {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    }
};

} // namespace

TEST_F(ProgressText, CountsSizeTimeAndDirectory) {
    EXPECT_EQ(ProgressLine::text(walked("\\\\FS1\\VOL1\\USERS"), 83000, "ignored", 200),
              "1,234 directories, 567,890 files, 1.5 GB, 1:23  \\\\FS1\\VOL1\\USERS");
    RunState::Progress one = walked("\\\\FS1\\VOL1");
    one.directories = one.files = 1;
    EXPECT_TRUE(ProgressLine::text(one, 0, {}, 200).startsWith("1 directory, 1 file, "));
}

TEST_F(ProgressText, CommaDecimalLocale) {
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(ProgressLine::text(walked("\\\\FS1\\VOL1"), 5000, {}, 200),
              "1.234 directories, 567.890 files, 1,5 GB, 0:05  \\\\FS1\\VOL1");
}

TEST_F(ProgressText, BeforeAnyWalkTheStatusText) {
    EXPECT_EQ(ProgressLine::text({}, 12000, "Gathering stats for \\\\FS1\\SYS", 80),
              "0:12  Gathering stats for \\\\FS1\\SYS");
}

TEST_F(ProgressText, ALongDirectoryLosesItsStartToFitTheWidth) {
    const QString deep = "\\\\FS1\\VOL1\\" + QString("level\\").repeated(40) + "last";
    const QString line = ProgressLine::text(walked(deep), 0, {}, 80);
    EXPECT_EQ(line.size(), 79);
    EXPECT_TRUE(line.startsWith("1,234 directories, 567,890 files, 1.5 GB, 0:00  ..."));
    EXPECT_TRUE(line.endsWith("level\\last"));
    EXPECT_EQ(ProgressLine::text(walked(deep), 0, {}, 20).size(), 19);
}

TEST_F(ProgressText, ElapsedTime) {
    EXPECT_EQ(ProgressLine::elapsed(0), "0:00");
    EXPECT_EQ(ProgressLine::elapsed(59999), "0:59");
    EXPECT_EQ(ProgressLine::elapsed(754000), "12:34");
    EXPECT_EQ(ProgressLine::elapsed(3723000), "1:02:03");
}

TEST(TerminalEscapes, ControlCharactersOnlyAreEscaped) {
    EXPECT_EQ(TerminalText::escaped("a\033[2Jb\007\tc\x7f"), "a\\x1b[2Jb\\x07\\x09c\\x7f");
    EXPECT_EQ(TerminalText::escaped(QString(QChar(0x9b)) + "2J"), "\\x9b2J");
    EXPECT_EQ(TerminalText::escaped("Müller ☃ \\\\FS1\\VOL1"), "Müller ☃ \\\\FS1\\VOL1");
}
