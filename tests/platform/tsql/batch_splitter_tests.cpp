#include "platform/tsql/BatchSplitter.h"

#include <gtest/gtest.h>

using tsql::splitBatches;

TEST(BatchSplitter, OnlyALineHoldingGoAloneSeparates) {
    const QStringList batches = splitBatches(QStringLiteral("SELECT 1\n"
                                                            "  go\t\r\n"
                                                            "SELECT 'GO'\n"
                                                            "GOTO fine\n"
                                                            "-- GO\n"
                                                            "GO;\n"
                                                            "GO\n"));
    ASSERT_EQ(batches.size(), 2);
    EXPECT_EQ(batches[0], QStringLiteral("SELECT 1\n"));
    // Lines that merely contain GO are text of the batch.
    EXPECT_EQ(batches[1], QStringLiteral("SELECT 'GO'\nGOTO fine\n-- GO\nGO;\n"));
}

TEST(BatchSplitter, EmptyBatchesAreDroppedAndTheLastNeedsNoSeparator) {
    EXPECT_TRUE(splitBatches(QString()).isEmpty());
    EXPECT_TRUE(splitBatches(QStringLiteral("GO\n  \nGO\n")).isEmpty());
    const QStringList batches = splitBatches(QStringLiteral("GO\nSELECT 1\nGO\n\nGO\nSELECT 2"));
    EXPECT_EQ(batches, QStringList({QStringLiteral("SELECT 1\n"), QStringLiteral("SELECT 2")}));
}

TEST(BatchSplitter, TextSpanningLinesKeepsItsLineBreaks) {
    const QStringList batches = splitBatches(QStringLiteral("INSERT INTO T VALUES ('a\r\nb')\r\nGO\r\n"));
    ASSERT_EQ(batches.size(), 1);
    EXPECT_EQ(batches[0], QStringLiteral("INSERT INTO T VALUES ('a\r\nb')\r\n"));
}
