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
