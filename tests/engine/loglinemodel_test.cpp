// Log lines: shedding in blocks keeps the identities of the lines that stay.
// (Line breaks, appends and clearing are checked through the window's log, tests/ui/log_test.cpp.)
#include "engine/loglinemodel.h"

#include <gtest/gtest.h>

namespace kestrow {
namespace {

TEST(LogLineModelTest, SheddingKeepsIdentities) {
    LogLineModel log(25);
    std::vector<LogLineId> ids;
    for (int i = 0; i < 25; ++i)
        ids.push_back(log.Add(LogColour::Black, LogColour::White, std::to_string(i)));
    log.Add(LogColour::Black, LogColour::White, "25");
    // The 20 oldest go in one block.
    EXPECT_EQ(log.Size(), 6u);
    EXPECT_EQ(log.ShedCount(), 20u);
    EXPECT_EQ(log.Find(ids[19]), nullptr);
    EXPECT_EQ(log.IndexOf(ids[19]), log.Size());
    ASSERT_NE(log.Find(ids[22]), nullptr);
    EXPECT_EQ(log.Find(ids[22])->text, "22");
    log.Append(ids[22], "+\r\n");
    EXPECT_EQ(log.At(2).text, "22+  ");
    // A shed line cannot take the text; it becomes a line of its own.
    LogLineId made = log.Append(ids[3], " ===> CRC OK");
    EXPECT_NE(made, ids[3]);
    EXPECT_EQ(log.At(log.Size() - 1).text, " ===> CRC OK");
}

TEST(LogLineModelTest, SmallLogShedsAllButOne) {
    LogLineModel log(5);
    for (int i = 0; i < 5; ++i) log.Add(LogColour::Black, LogColour::White, std::to_string(i));
    log.Add(LogColour::Black, LogColour::White, "5");
    ASSERT_EQ(log.Size(), 2u);
    EXPECT_EQ(log.At(0).text, "4");
    EXPECT_EQ(log.At(1).text, "5");
}

}  // namespace
}  // namespace kestrow
