// Log lines: one line per add, appends by identity, shedding in blocks.
#include "engine/loglinemodel.h"

#include <gtest/gtest.h>

#include "engine/specialfilerulelists.h"

namespace kestrow {
namespace {

TEST(LogLineModelTest, LineBreaksBecomeSpaces) {
    LogLineModel log;
    log.Add(LogColour::Black, LogColour::White, "a\r\nb");
    ASSERT_EQ(log.Size(), 1u);
    EXPECT_EQ(log.At(0).text, "a  b");
}

TEST(LogLineModelTest, AppendKeepsThePlaceAndTurnsPlain) {
    LogLineModel log;
    LogLineId first = log.Add(LogColour::White, LogColour::Red, "== CRC checking: a");
    log.Add(LogColour::Black, LogColour::White, "next");
    EXPECT_EQ(log.Append(first, " ===> CRC OK\n"), first);
    EXPECT_EQ(log.At(0).text, "== CRC checking: a ===> CRC OK ");
    EXPECT_EQ(log.At(0).foreground, LogColour::Black);
    EXPECT_EQ(log.At(0).background, LogColour::White);
    EXPECT_EQ(log.At(1).text, "next");
}

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
    log.Append(ids[22], "+");
    EXPECT_EQ(log.At(2).text, "22+");
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

TEST(LogLineModelTest, ClearedLinesAreGone) {
    LogLineModel log;
    LogLineId id = log.Add(LogColour::Black, LogColour::White, "x");
    log.Clear();
    EXPECT_TRUE(log.Empty());
    log.Append(id, "y");
    ASSERT_EQ(log.Size(), 1u);
    EXPECT_EQ(log.At(0).text, "y");
}

TEST(LogColourTest, TableAndIndices) {
    EXPECT_EQ(ColourInfo(LogColour::Aqua).name, "Aqua");
    EXPECT_EQ(ColourInfo(LogColour::Olive).red, 128);
    EXPECT_EQ(ColourInfo(LogColour::Olive).blue, 0);
    EXPECT_EQ(ForegroundFromIndex(16), LogColour::Black);
    EXPECT_EQ(ForegroundFromIndex(10), LogColour::Red);
}

TEST(RuleListsTest, PrefixesSelectTheList) {
    SpecialFileRuleLists lists =
        BuildRuleLists({"REN: a.txt -> b.txt", "DEL: x.tmp", "IGN: y", "TRC: long.nfo", "XXX: z", "DEL"});
    ASSERT_TRUE(lists.renameSources && lists.renameTargets && lists.deleteNames && lists.ignoreNames &&
                lists.truncateNames);
    EXPECT_EQ(*lists.renameSources, std::vector<std::string>{"a.txt"});
    EXPECT_EQ(*lists.renameTargets, std::vector<std::string>{"b.txt"});
    EXPECT_EQ(*lists.deleteNames, std::vector<std::string>{"x.tmp"});
    EXPECT_EQ(*lists.ignoreNames, std::vector<std::string>{"y"});
    EXPECT_EQ(*lists.truncateNames, std::vector<std::string>{"long.nfo"});
    SpecialFileRuleLists some = BuildRuleLists({"DEL: a", "DEL: b"});
    EXPECT_FALSE(some.renameSources);
    EXPECT_FALSE(some.truncateNames);
    EXPECT_EQ(some.deleteNames->size(), 2u);
    EXPECT_TRUE(BuildRuleLists({}).Empty());
}

}  // namespace
}  // namespace kestrow
