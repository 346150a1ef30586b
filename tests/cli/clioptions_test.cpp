// The console program's arguments.
#include "cli/clioptions.h"

#include <gtest/gtest.h>

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
    struct Row {
        std::vector<std::string> args;
        std::string error;
    };
    const Row rows[] = {
        {{"d"}, "a mode is needed: -C, -P or -R"},
        {{"-C"}, "no directory given"},
        {{"-C", "-P", "d"}, "only one mode may be given"},
        {{"-X", "d"}, "unknown option -X"},
        {{"-C", "d", "--settings"}, "--settings needs a file"},
        {{"-C", "d", "--settings="}, "--settings needs a file"},
        {{"-C", "d", "--yes", "--no"}, "--yes and --no exclude each other"},
        {{"-C", "d", "--color=maybe"}, "--color takes auto, always or never"},
        {{"-C", "d", "--verbose"}, "unknown option --verbose"},
        {{"--show-backup"}, "--show-backup needs a directory"},
        {{"--show-backup", "d", "-C"}, "--show-backup takes one directory and no mode"},
        {{"--show-backup", "d", "e"}, "--show-backup takes one directory and no mode"},
    };
    for (const Row& row : rows) EXPECT_EQ(ParseCliArguments(row.args).error, row.error);
    // The same mode twice is harmless.
    EXPECT_TRUE(ParseCliArguments({"-C", "-c", "d"}).error.empty());
}

TEST(CliOptionsTest, ShowBackupNeedsNoMode) {
    CliOptions o = ParseCliArguments({"--show-backup", "rel/"});
    EXPECT_TRUE(o.error.empty()) << o.error;
    EXPECT_EQ(o.showBackupDir, "rel/");
    EXPECT_TRUE(o.directories.empty());
}

TEST(CliOptionsTest, HelpAndVersionNeedNothingElse) {
    EXPECT_TRUE(ParseCliArguments({"--help"}).help);
    EXPECT_TRUE(ParseCliArguments({"--help"}).error.empty());
    EXPECT_TRUE(ParseCliArguments({"--version"}).version);
    EXPECT_TRUE(ParseCliArguments({"--version"}).error.empty());
}

}  // namespace
}  // namespace kestrow
