// Files in ncdu's export format read into a scan: those ncdu writes, and
// those no scan can be read from, refused where they go wrong.
#include "du_figure.h"
#include "tree_builder.h"

#include "reports/json_cursor.h"
#include "reports/ncdu_parser.h"
#include "reports/ncdu_scan.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <unistd.h>

namespace {

class NcduScanFile : public ::testing::Test {
protected:
    QString write(const QByteArray& content) {
        const QString path = dir.path() + "/scan.json";
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly) && file.write(content) == content.size());
        return path;
    }

    // Why the content is refused, or "read".
    std::string refusal(const QByteArray& content) {
        try {
            NcduScan::read(write(content));
            return "read";
        } catch (const JsonCursor::Error& error) {
            return error.text().toStdString();
        }
    }

    QTemporaryDir dir;
};

const QByteArray kHead = "[1,2,{\"progname\":\"ncdu\",\"progver\":\"1.18\",\"timestamp\":1},\n";

} // namespace

TEST_F(NcduScanFile, WhatNcduWroteReadsBackWithDusTotals) {
    const QString tree = dir.path() + "/tree";
    TreeBuilder::file(tree + "/sparse", 5 * 1048576);
    TreeBuilder::dir(tree + "/a/b");
    ASSERT_TRUE(TreeBuilder::dense(tree + "/a/one", 300000));
    ASSERT_EQ(::link(TreeBuilder::native(tree + "/a/one").constData(),
                     TreeBuilder::native(tree + "/a/b/two").constData()), 0);
    ASSERT_TRUE(TreeBuilder::dense(tree + "/a/b/small", 10));
    QProcess ncdu;
    ncdu.start("ncdu", {"-x", "-e", "-o", dir.path() + "/tree.json", tree});
    ASSERT_TRUE(ncdu.waitForFinished(60000));
    ASSERT_EQ(ncdu.exitCode(), 0) << ncdu.readAllStandardError().constData();

    const NcduScan scan = NcduScan::read(dir.path() + "/tree.json");
    EXPECT_EQ(scan.apparentBytes(), commandFigure("du", {"-sbx", tree}));
    EXPECT_EQ(scan.allocatedBytes(), commandFigure("du", {"-sx", "-B1", tree}));
    EXPECT_EQ(scan.name(0), QFile::encodeName(tree));
    ASSERT_EQ(scan.children(0).size(), 2u); // a and sparse, in ncdu's order
    std::size_t linked = 0;
    for (std::size_t i = 0; i < scan.size(); ++i) {
        if (scan.entry(i).hardLinked) {
            ++linked;
            EXPECT_EQ(scan.entry(i).links, 2u);
            EXPECT_EQ(scan.entry(i).apparent, 300000u);
        }
    }
    EXPECT_EQ(linked, 2u);
}

TEST_F(NcduScanFile, BadInputIsRefusedWithItsLineAndColumn) {
    const QByteArray root = "[{\"name\":\"/t\"}";
    const std::pair<QByteArray, std::string> cases[] = {
        {kHead + root + ",\n{\"name\":\"f\",\"asize\":1", "line 3, column 22: the file ends where a comma or } after a field should follow"},
        {kHead + root + ",\n{\"name\":\"f", "line 3, column 11: the file ends inside a string"},
        {kHead + root, "line 2, column 15: the file ends where a comma or ] should follow"},
        {"[2,0,{},\n" + root + "]]", "line 1, column 2: major version 2 is not one this program reads (1)"},
        {kHead + root + ",\n{\"name\":\"f\",\"asize\":\"12\"}]]", "line 3, column 21: asize is not a number"},
        {kHead + root + ",\n{\"name\":\"f\",\"dsize\":-4096}]]", "line 3, column 21: dsize is negative"},
        {kHead + root + ",\n{\"name\":\"f\",\"asize\":1.5}]]", "line 3, column 21: asize is not a whole number"},
        {kHead + root + ",\n{\"name\" \"f\"}]]", "line 3, column 9: expected a colon"},
        {kHead + root + ",\n{\"asize\":1}]]", "line 3, column 1: an entry has no name"},
        {kHead + root + ",\n[]]]", "line 3, column 2: a directory array must start with its own entry"},
        {kHead + root + "]]\n]", "line 3, column 1: more follows the end of the data"},
        {kHead + root + ",\n\"f\"]]", "line 3, column 1: expected an entry or a directory array"},
        {kHead + root + ",\n{\"name\":\"a\\u00zz\"}]]", "line 3, column 13: \\u needs four hexadecimal digits"},
    };
    for (const auto& [content, error] : cases)
        EXPECT_EQ(refusal(content), error) << content.constData();
}

TEST_F(NcduScanFile, NestingIsReadUpToItsLimitAndRefusedPastIt) {
    // The start, then each directory inside the one before, one to a line.
    const auto nested = [](std::size_t levels) {
        QByteArray text = kHead + "[{\"name\":\"/t\"}";
        for (std::size_t level = 1; level < levels; ++level)
            text += ",\n[{\"name\":\"d\"}";
        return text + QByteArray(qsizetype(levels), ']') + "]";
    };
    EXPECT_EQ(refusal(nested(NcduParser::kMaxDepth)), "read");
    EXPECT_EQ(refusal(nested(NcduParser::kMaxDepth + 1)),
              QStringLiteral("line %1, column 1: directories are nested deeper than %2 levels")
                  .arg(NcduParser::kMaxDepth + 2)
                  .arg(NcduParser::kMaxDepth)
                  .toStdString());
}
