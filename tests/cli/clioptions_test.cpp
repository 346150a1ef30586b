// The console program's arguments.
#include "cli/clioptions.h"

#include <gtest/gtest.h>

#include "tests/support/golden.h"

namespace kestrow {
namespace {

TEST(CliOptionsTest, ModesDirectoriesAndOptions) {
    CliOptions o = ParseCliArguments(
        {"-c", "--settings", "s.ini", "a", "--yes", "--color=never", "--progress", "b/", "--", "-P"});
    EXPECT_TRUE(o.error.empty()) << o.error;
    EXPECT_EQ(o.mode, 'C');
    EXPECT_EQ(o.directories, (std::vector<std::string>{"a", "b/", "-P"}));
    EXPECT_EQ(o.settingsFile, "s.ini");
    EXPECT_EQ(o.answers, AnswerPolicy::Yes);
    EXPECT_EQ(o.colour, ColourChoice::Never);
    EXPECT_TRUE(o.progress);

    CliOptions p = ParseCliArguments({"-P", "--settings=x.ini", "--no", "--color=always", "d"});
    EXPECT_EQ(p.mode, 'P');
    EXPECT_EQ(p.settingsFile, "x.ini");
    EXPECT_EQ(p.answers, AnswerPolicy::No);
    EXPECT_EQ(p.colour, ColourChoice::Always);
    EXPECT_FALSE(p.progress);
    EXPECT_EQ(ParseCliArguments({"-C", "d"}).colour, ColourChoice::Auto);
    EXPECT_EQ(ParseCliArguments({"-C", "d"}).answers, AnswerPolicy::Ask);
}

TEST(CliOptionsTest, Errors) {
    const auto rows = test::TableRows("cli_error_rows.txt");
    EXPECT_EQ(rows.size(), 13u);
    for (const auto& row : rows) EXPECT_EQ(ParseCliArguments(test::Words(row[0])).error, row[1]) << row[0];
}

TEST(CliOptionsTest, ShowBackupNeedsNoMode) {
    CliOptions o = ParseCliArguments({"--show-backup", "rel/"});
    EXPECT_TRUE(o.error.empty()) << o.error;
    EXPECT_EQ(o.showBackupDir, "rel/");
    EXPECT_TRUE(o.directories.empty());
}

}  // namespace
}  // namespace kestrow
