#include "netware/name_forms.h"

#include <gtest/gtest.h>

TEST(ContextToTreePath, ReversesTheDottedPartsAfterTheTreeName) {
    EXPECT_EQ(fcnContextToTreePath("SALES.ACME", "TREE"), "TREE\\ACME\\SALES");
    EXPECT_EQ(fcnContextToTreePath("ACME", "TREE"), "TREE\\ACME");
    EXPECT_EQ(fcnContextToTreePath("", "TREE"), "TREE\\");
    EXPECT_EQ(fcnContextToTreePath("[Root]", "TREE"), "TREE\\[Root]");
}

TEST(TreePathToContext, RemovesTheTreeAndReversesTheContainers) {
    EXPECT_EQ(fcnTreePathToContext("TREE\\ACME\\SALES", "TREE"), "SALES.ACME");
    EXPECT_EQ(fcnTreePathToContext("tree\\ACME\\SALES", "TREE"), "SALES.ACME");
    EXPECT_EQ(fcnTreePathToContext("TREE\\[Root]", "TREE"), "[Root]");
    EXPECT_EQ(fcnTreePathToContext("", "TREE"), "[Owner unavailable]");
    EXPECT_EQ(fcnTreePathToContext("OTHER\\ACME", "TREE"), "ACME.OTHER");
    // Escapes stay within their container: a "\\" in a name is not a level.
    EXPECT_EQ(fcnTreePathToContext("TREE\\ACME\\BACK\\\\SLASH\\L\\=X", "TREE"), "L\\=X.BACK\\\\SLASH.ACME");
    EXPECT_EQ(fcnContextToTreePath("L\\=X.BACK\\\\SLASH.ACME", "TREE"), "TREE\\ACME\\BACK\\\\SLASH\\L\\=X");
    EXPECT_EQ(fcnTreePathToContext("SALES.ACME", "TREE"), "SALES.ACME");
}

TEST(TreePathToContext, RoundTripsWithContextToTreePath) {
    for (const char* dotted : {"SALES.ACME", "ACME", "A.B.C.D"})
        EXPECT_EQ(fcnTreePathToContext(fcnContextToTreePath(dotted, "ACME_TREE"), "ACME_TREE"), dotted);
}

TEST(LeafName, TheFirstPartOfADottedName) {
    EXPECT_EQ(fcnLeafName("JSMITH.SALES.ACME"), "JSMITH");
    EXPECT_EQ(fcnLeafName("ACME"), "ACME");
    EXPECT_EQ(fcnLeafName(""), "");
}

TEST(ReverseDottedName, ReversesOrKeepsANameWithoutDots) {
    EXPECT_EQ(fcnReverseDottedName("A.B.C"), "C.B.A");
    EXPECT_EQ(fcnReverseDottedName("ACME"), "ACME");
    EXPECT_EQ(fcnReverseDottedName("TREE\\ACME\\SALES"), "TREE\\ACME\\SALES");
    EXPECT_EQ(fcnReverseDottedName(""), "");
}

TEST(NetWarePath, VolumeAndDirectoryForms) {
    EXPECT_EQ(fcnNetWarePath("SERVER\\VOL\\DIR"), "SERVER/VOL:\\DIR");
    EXPECT_EQ(fcnNetWarePath("FS1\\VOL1\\USERS\\ALICE"), "FS1/VOL1:\\USERS\\ALICE");
    EXPECT_EQ(fcnNetWarePath("SERVER\\VOL"), "SERVER/VOL:");
    EXPECT_EQ(fcnNetWarePath("FS1\\VOL1\\"), "FS1/VOL1:\\");
}
