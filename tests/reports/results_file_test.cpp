#include "report_fixture.h"
#include "scoped_locale.h"
#include "text_files.h"
#include "tree_builder.h"

#include "reports/clipboard_text.h"
#include "reports/grid_layouts.h"
#include "reports/grid_sorting.h"
#include "reports/report_run.h"
#include "reports/results_file.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QStandardPaths>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

using namespace ResultsFile;

namespace {

ResultGrid volumesGrid() {
    ResultGrid grid;
    subInitializeGrid(grid, "Volumes");
    grid.addRow({"3906.25", "976.5625", "2929.6875", "\\\\FS1\\SYS", "       3,906.25", "       2,929.69",
                 "           0.00", "           0.00", "         976.56", " 25%"});
    grid.addRow({"Unavailable", "Unavailable", "Unavailable", "\\\\FS2\\VOL1", "Unavailable", "Unavailable",
                 "Unavailable", "Unavailable", "Unavailable", "N/A"});
    return grid;
}

ResultGrid fileGrid() {
    ResultGrid grid;
    subInitializeGrid(grid, "File");
    grid.addRow({"11720", "\\\\FS1\\VOL1\\2022", "007", "42", "      2,097,152", "2/2/2022", "12:00 PM"});
    grid.addRow({"11720", "\\\\FS1\\VOL1\\1.5", "1,000", "JSMITH", "              1", "2/2/2022", "12:00 PM"});
    grid.addRow({"11720", "\\\\FS1\\VOL1", " 1.5 ", "12.5", "             12", "2/2/2022", "12:00 PM"});
    return grid;
}

// Reads delimited files as another program would and gives the rows of each:
// Python's csv module for a one-character delimiter. It takes no longer one,
// so that is split by the small reader below, which follows the same grammar:
// a field is either quoted (a quote inside doubled) and then followed by the
// delimiter, CR LF or the end, or unquoted and ended by the first delimiter
// or CR LF.
const char* const kReader = R"(
import csv, json, sys
delimiter = sys.argv[1]

def split(text, d):
    rows, row, i = [], [], 0
    while i < len(text):
        if text[i] == '"':
            field, i = "", i + 1
            while True:
                j = text.index('"', i)
                field += text[i:j]
                if text.startswith('""', j):
                    field, i = field + '"', j + 2
                else:
                    i = j + 1
                    break
        else:
            j = i
            while j < len(text) and not text.startswith(d, j) and not text.startswith("\r\n", j):
                j += 1
            field, i = text[i:j], j
        row.append(field)
        if text.startswith(d, i):
            i += len(d)
        elif text.startswith("\r\n", i):
            rows.append(row)
            row, i = [], i + 2
        elif i < len(text):
            raise ValueError("text after a quoted field at %d" % i)
    if row:
        rows.append(row)
    return rows

def read(path):
    with open(path, encoding="utf-8", newline="") as file:
        if len(delimiter) == 1:
            return list(csv.reader(file, delimiter=delimiter, strict=True))
        return split(file.read(), delimiter)

print(json.dumps([read(path) for path in sys.argv[2:]]))
)";

QList<QList<QStringList>> readBack(const QString& delimiter, const QStringList& paths) {
    QProcess python;
    python.start(QStandardPaths::findExecutable("python3"), QStringList{"-c", kReader, delimiter} + paths);
    if (!python.waitForFinished(30000) || python.exitCode() != 0) {
        ADD_FAILURE() << python.readAllStandardError().toStdString();
        return {};
    }
    QList<QList<QStringList>> files;
    for (const QJsonValue& file : QJsonDocument::fromJson(python.readAllStandardOutput()).array()) {
        files.append(QList<QStringList>());
        for (const QJsonValue& row : file.toArray())
            files.last().append(row.toVariant().toStringList());
    }
    return files;
}

} // namespace

TEST(CellConversion, FigureColumnsLoseSeparatorsOtherColumnsKeepTheirText) {
    const std::pair<const char*, const char*> headingAndCell[] = {
        {"Size(MB)", "       3,906.25"}, {"Size", "1,234,567"}, {"Used Space(MB)", "12.5"}, {"% Free", "N/A"},
        {"Size(MB)", "  Size(MB) "},       {"% Free", " 25%"},   {"File", "007"},             {"File", " 1,000 "},
        {"Owner", "1.5"},                  {"Directory", "\\\\FS1\\VOL1\\2022"},  {"Modify Date", "02.02.2022"}};
    QStringList written;
    for (const auto& [heading, cell] : headingAndCell)
        written.append(convertCell(heading, cell));
    EXPECT_EQ(written, (QStringList{"3906.25", "1234567", "12.50", "N/A", "Size(MB)", "25%", "007", " 1,000 ", "1.5",
                                    "\\\\FS1\\VOL1\\2022", "02.02.2022"}));
}

TEST(CellConversion, NamesThatLookLikeNumbersKeepTheirForm) {
    const ResultGrid grid = fileGrid();
    EXPECT_EQ(rowFields(grid, 1),
              (QStringList{"\\\\FS1\\VOL1\\2022", "007", "42", "2097152", "2/2/2022", "12:00 PM"}));
    EXPECT_EQ(rowFields(grid, 2),
              (QStringList{"\\\\FS1\\VOL1\\1.5", "1,000", "JSMITH", "1", "2/2/2022", "12:00 PM"}));
    EXPECT_EQ(rowFields(grid, 3), (QStringList{"\\\\FS1\\VOL1", " 1.5 ", "12.5", "12", "2/2/2022", "12:00 PM"}));
}

TEST(CellConversion, CommaDecimalLocaleFigures) {
    const ScopedLocale german(ScopedLocale::german());
    ResultGrid volumes;
    subInitializeGrid(volumes, "Volumes");
    volumes.addRow({"3906,25", "976,5625", "2929,6875", "\\\\FS1\\SYS", "       3.906,25", "       2.929,69",
                    "           0,00", "           0,00", "         976,56", " 25%"});
    EXPECT_EQ(rowFields(volumes, 1),
              (QStringList{"\\\\FS1\\SYS", "3906,25", "2929,69", "0,00", "0,00", "976,56", "25%"}));
    ResultGrid owners;
    subInitializeGrid(owners, "Owner");
    owners.addRow({"", "JSMITH", "           1,50"});
    owners.addRow({"", "1.234", "       1.234,50"});
    EXPECT_EQ(rowFields(owners, 1), (QStringList{"JSMITH", "1,50"}));
    EXPECT_EQ(rowFields(owners, 2), (QStringList{"1.234", "1234,50"}));
    ResultGrid files;
    subInitializeGrid(files, "File");
    files.addRow({"11720", "\\\\FS1\\VOL1", "1,5", "ADMIN", "      2.097.152", "02.02.2022", "12:00 PM"});
    EXPECT_EQ(rowFields(files, 1),
              (QStringList{"\\\\FS1\\VOL1", "1,5", "ADMIN", "2097152", "02.02.2022", "12:00 PM"}));
}

TEST(CellConversion, HiddenColumnsAreNeverWritten) {
    const ResultGrid grid = volumesGrid();
    EXPECT_EQ(rowFields(grid, 0), (QStringList{"Volume", "Size(MB)", "Used Space(MB)", "Purgeable(MB)",
                                               "Not Yet Purgeable(MB)", "Free Space(MB)", "% Free"}));
    EXPECT_EQ(rowFields(grid, 1),
              (QStringList{"\\\\FS1\\SYS", "3906.25", "2929.69", "0.00", "0.00", "976.56", "25%"}));
}

TEST(Quoting, OnlyFieldsHoldingACharacterOfTheDelimiterAQuoteOrALineBreak) {
    EXPECT_EQ(joinFields({"a", "b,c", "d"}, ","), "a,\"b,c\",d");
    EXPECT_EQ(joinFields({"say \"hi\"", "x"}, ","), "\"say \"\"hi\"\"\",x");
    EXPECT_EQ(joinFields({"two\nlines", "x"}, ";"), "\"two\nlines\";x");
    EXPECT_EQ(joinFields({"b,c", "d"}, ";"), "b,c;d");
    EXPECT_EQ(joinFields({"a||b", "c"}, "||"), "\"a||b\"||c");
    EXPECT_EQ(joinFields({"a|b", "c"}, "||"), "\"a|b\"||c");
}

// Found by tests/fuzz/delimited_line: a character beyond U+FFFF was taken for
// a character of the delimiter when the two only began with the same UTF-16 unit.
TEST(Quoting, CharactersBeyondTheBasicPlaneCountWhole) {
    const QString grinning = QString::fromUtf8("\xf0\x9f\x98\x80"); // U+1F600
    const QString beaming = QString::fromUtf8("\xf0\x9f\x98\x81");  // U+1F601
    EXPECT_EQ(joinFields({beaming, "x"}, grinning), beaming + grinning + "x");
    EXPECT_EQ(joinFields({"a" + grinning, "x"}, grinning), "\"a" + grinning + "\"" + grinning + "x");
    EXPECT_EQ(joinFields({grinning, beaming}, ";" + beaming), grinning + ";" + beaming + "\"" + beaming + "\"");
}

// With "||", a name ending in "|" must not run into the delimiter after it
// ("a|" + "||" + "b" and "a" + "||" + "|b" are the same text unquoted).
TEST(Quoting, SavedAndCopiedRowsReadBackIntoTheSameFields) {
    if (QStandardPaths::findExecutable("python3").isEmpty())
        GTEST_SKIP() << "python3 is not installed";
    ResultGrid grid;
    subInitializeGrid(grid, "File");
    grid.addRow({"1", "\\\\FS1\\VOL1\\a|", "b.txt", "JSMITH", "          1,234", "2/2/2022", "12:00 PM"});
    grid.addRow({"1", "\\\\FS1\\VOL1\\a", "|b.txt", "JSMITH", "          1,234", "2/2/2022", "12:00 PM"});
    grid.addRow({"1", "\\\\FS1\\VOL1", " padded name.txt ", "a,b;c", "             12", "2/2/2022", "12:00 PM"});
    grid.addRow({"1", "\\\\FS1\\VOL1\\two\r\nlines", "say \"hi\".txt", "|", "              0", "2/2/2022",
                 "12:00 PM"});
    const QStringList headings{"Directory", "File", "Owner", "Size", "Date", "Time"};
    const QList<QStringList> expected{
        headings,
        {"\\\\FS1\\VOL1\\a|", "b.txt", "JSMITH", "1234", "2/2/2022", "12:00 PM"},
        {"\\\\FS1\\VOL1\\a", "|b.txt", "JSMITH", "1234", "2/2/2022", "12:00 PM"},
        {"\\\\FS1\\VOL1", " padded name.txt ", "a,b;c", "12", "2/2/2022", "12:00 PM"},
        {"\\\\FS1\\VOL1\\two\r\nlines", "say \"hi\".txt", "|", "0", "2/2/2022", "12:00 PM"}};
    QTemporaryDir dir;
    for (const QString delimiter : {",", ";", "||"}) {
        SCOPED_TRACE(delimiter.toStdString());
        RecordingHost host;
        const QString saved = dir.filePath("saved.csv");
        ASSERT_TRUE(subSaveResultsFile(grid, saved, delimiter, host));

        const QString copied = fcnGridRowsText(grid, 1, grid.rows() - 1, delimiter);
        ASSERT_FALSE(copied.endsWith("\r\n\r\n"));
        const QString copiedPath = dir.filePath("copied.csv");
        QFile file(copiedPath);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(copied.toUtf8());
        file.close();
        EXPECT_EQ(readBack(delimiter, {saved, copiedPath}), (QList<QList<QStringList>>{expected, expected}));
    }
}

TEST(InteractiveSave, WritesHeadingsAndRowsWithTheDelimiter) {
    QTemporaryDir dir;
    ResultGrid grid;
    subInitializeGrid(grid, "Directory");
    grid.addRow({"", "\\\\FS1\\VOL1\\USERS", "       1,024.00"});
    RecordingHost host;
    const QString path = dir.path() + "/out.csv";
    ASSERT_TRUE(subSaveResultsFile(grid, path, ";", host));
    EXPECT_EQ(readCrlfLines(path), (QStringList{"Directory;Size(MB)", "\\\\FS1\\VOL1\\USERS;1024.00"}));
    EXPECT_TRUE(host.statuses.contains("Saving row 1"));
    EXPECT_EQ(host.statuses.last(), "Save Complete");
    // Saved again as root over a user's file: the user keeps it.
    if (::geteuid() != 0)
        return;
    const QByteArray local = QFile::encodeName(path);
    ASSERT_EQ(::chown(local.constData(), 1234, 5678), 0);
    ASSERT_EQ(::chmod(local.constData(), 0640), 0);
    ASSERT_TRUE(subSaveResultsFile(grid, path, ";", host));
    struct stat st {};
    ASSERT_EQ(::stat(local.constData(), &st), 0);
    EXPECT_EQ(st.st_uid, 1234u);
    EXPECT_EQ(st.st_gid, 5678u);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
}

// A sort, or a new run, while the save lets window events through changes
// the grid but not the file being written: each row is in it once.
TEST(InteractiveSave, TheRowsAsTheyWereWhenItStartedEachOnce) {
    QTemporaryDir dir;
    ResultGrid grid;
    subInitializeGrid(grid, "Directory");
    QStringList expected{"Directory,Size(MB)"};
    for (int i = 0; i < 3000; ++i) {
        const QString name = QStringLiteral("\\\\FS1\\VOL1\\D%1").arg(i, 4, 10, QLatin1Char('0'));
        grid.addRow({"", name, QStringLiteral("%1.00").arg(i % 7)});
        expected.append(name + "," + QStringLiteral("%1.00").arg(i % 7));
    }
    ResultsView view;
    RecordingHost host;
    host.onPoll = [&] {
        if (host.polls % 500 == 0)
            grdDirSizes_DblClick(grid, view, 2);
        if (host.polls == 2500)
            grid.reset(3);
    };
    const QString path = dir.path() + "/out.csv";
    ASSERT_TRUE(subSaveResultsFile(grid, path, ",", host));
    EXPECT_EQ(readCrlfLines(path), expected);
}

TEST(InteractiveSave, AFileThatCannotBeCreatedEndsCancelled) {
    ResultGrid grid = volumesGrid();
    RecordingHost host;
    EXPECT_FALSE(subSaveResultsFile(grid, "/nonexistent-dir/out.csv", ",", host));
    EXPECT_EQ(host.statuses.last(), "Save Cancelled");
}
