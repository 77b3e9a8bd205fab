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
    EXPECT_TRUE(SyntaxTexts::description(8).contains(
        "/APPEND - include this if you wish to append to an existing file, exclude it to overwrite the file."));
    EXPECT_EQ(SyntaxTexts::description(-1), "");
}

TEST(SyntaxTexts, DirectoryFormsOutputChoicesAndConflictsAreDocumented) {
    for (const int topic : {5, 6, 7})
        EXPECT_TRUE(SyntaxTexts::description(topic).contains(
            "        /D=Directory\r\n           \\\\Server\\Volume\\Directory, \\\\Server\\Volume for its root, "
            "or a local path inside a volume\r\n"))
            << topic;
    EXPECT_TRUE(SyntaxTexts::description(6).contains("(/PATTERN= or /SIZE, not both)"));
    EXPECT_TRUE(SyntaxTexts::description(7).contains("(one of them, and only with /OPT=)"));
    EXPECT_TRUE(SyntaxTexts::description(8).contains("/OUTFILE=- (or no /OUTFILE=) writes the results to standard output."));
}

TEST(SyntaxTexts, HelpEndsWithExitStatusesAndTheProgramsOwnSwitches) {
    const QString help = SyntaxTexts::helpText();
    EXPECT_TRUE(help.startsWith("Usage: quarvo /T=<tree> /F=<function> [switches]\n\n/T= <Tree>\n"));
    EXPECT_TRUE(help.contains("    1  a switch is missing, unknown, misplaced or in conflict with another,\n"));
    EXPECT_TRUE(help.contains("quarvo -h (or --help, /?) prints this help, quarvo --list every tree, server\n"));
    EXPECT_FALSE(help.contains("\r"));
}
