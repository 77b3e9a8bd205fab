#include "batch/syntax_texts.h"

#include <gtest/gtest.h>

TEST(SyntaxTexts, TopicsHaveTheirCaptionsAndLines) {
    EXPECT_EQ(SyntaxTexts::caption(0), "/T = Tree");
    EXPECT_EQ(SyntaxTexts::caption(2), "/F= Function");
    EXPECT_EQ(SyntaxTexts::caption(8), "/OUTFILE=");
    EXPECT_EQ(SyntaxTexts::caption(9), "");
    EXPECT_EQ(SyntaxTexts::description(1),
              "/HEADINGS\r\n\r\nAdd this option if you wish to include headings in your output");
    const QStringList functions = SyntaxTexts::description(2).split("\r\n");
    EXPECT_EQ(functions.mid(3), (QStringList{"    OWNER", "    VOLUME", "    DIRECTORY", "    FILE", "    DATE"}));
    EXPECT_FALSE(SyntaxTexts::description(7).endsWith("\r\n"));
    EXPECT_EQ(SyntaxTexts::description(-1), "");
}

// The window shows the texts without the terminal's notes.
TEST(SyntaxTexts, WindowTextsCarryNoTerminalNotes) {
    EXPECT_EQ(SyntaxTexts::description(4),
              "/F=VOLUME\r\n\r\n        /V=\\\\MyServer\\volume,\\\\MyOtherServer\\volume\r\n\r\nExample:\r\n\r\n"
              "quarvo /T=MyTree /F=VOLUME '/V=\\\\MyServer\\SYS,\\\\MyServer\\vol1' /HEADINGS "
              "'/OUTFILE=/srv/reports/volume.csv'");
    EXPECT_EQ(SyntaxTexts::description(8),
              "/OUTFILE=\r\n/APPEND\r\n\r\n/OUTFILE=This is the name of the results file.\r\n\r\n"
              "/APPEND - include this if you wish to append to an existing file, exclude it to overwrite the "
              "file.\r\n\r\nExample: '/OUTFILE=/srv/reports/outfile.csv' /APPEND");
    EXPECT_EQ(SyntaxTexts::description(5).split("\r\n").mid(2, 3),
              (QStringList{"        /D=Directory", "        /IMMSUBS - Immediate Sub-directories",
                           "        /ALLSUBS - All Sub-Directories (Individually)"}));
    for (int topic = 0; topic < SyntaxTexts::kTopicCount; ++topic)
        EXPECT_FALSE(SyntaxTexts::description(topic).contains(QChar(1))) << topic;
}

TEST(SyntaxTexts, TerminalLinesAddDirectoryFormsOutputChoicesAndConflicts) {
    for (const int topic : {5, 6, 7})
        EXPECT_TRUE(SyntaxTexts::helpLines(topic).join('\n').contains(
            "        /D=Directory\n           \\\\Server\\Volume\\Directory, \\\\Server\\Volume for its root, "
            "or a local path inside a volume\n"))
            << topic;
    EXPECT_TRUE(SyntaxTexts::helpLines(6).contains("           (/PATTERN= or /SIZE, not both)"));
    EXPECT_TRUE(SyntaxTexts::helpLines(7).contains("           (one of them, and only with /OPT=)"));
    EXPECT_TRUE(SyntaxTexts::helpLines(8).contains("/OUTFILE=- (or no /OUTFILE=) writes the results to standard output."));
    EXPECT_EQ(SyntaxTexts::helpLines(1), SyntaxTexts::description(1).split("\r\n"));
}

TEST(SyntaxTexts, PrintAllGivesEveryTopicInOrderEachClosedBySeparator) {
    const QStringList blocks = SyntaxTexts::printAllText().split("\r\n\r\n***************\r\n\r\n");
    ASSERT_EQ(blocks.size(), SyntaxTexts::kTopicCount + 1);
    for (int topic = 0; topic < SyntaxTexts::kTopicCount; ++topic)
        EXPECT_EQ(blocks[topic], SyntaxTexts::description(topic)) << topic;
    EXPECT_EQ(blocks.last(), "");
}

TEST(SyntaxTexts, HelpEndsWithExitStatusesAndTheProgramsOwnSwitches) {
    const QString help = SyntaxTexts::helpText();
    EXPECT_TRUE(help.startsWith("Usage: quarvo /T=<tree> /F=<function> [switches]\n\n/T= <Tree>\n"));
    EXPECT_TRUE(help.contains("    1  a switch is missing, unknown, misplaced or in conflict with another,\n"
                              "       a name finds nothing, the site file cannot be used, or the tree's\n"
                              "       directory cannot be read for an Owner, File or Date run, or an\n"
                              "       /IMPORT= file holds no scan, or not the dates or owners the run needs\n"
                              "    2  the output file or the export could not be written, or a walk ran\n"
                              "       out of file descriptors\n"
                              "    3  the run was cancelled or could not start\n"
                              "    4  the results were written, but the run could not be kept in the history\n"
                              "       or compared with it\n"
                              "Every failure says why on standard error.\n"));
    EXPECT_TRUE(help.contains("quarvo -h (or --help) prints this help, quarvo --list every tree, server and\n"));
    EXPECT_TRUE(help.endsWith(SyntaxTexts::closingText()));
    EXPECT_FALSE(help.contains("\r"));
    EXPECT_FALSE(help.contains(QChar(1)));
}
