// kestrow-cli run on release folders built in a temporary directory: the whole log (colours off),
// the exit status and the messages on standard error.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "content/crc32.h"
#include "tests/support/clirun.h"
#include "tests/support/mp3builder.h"
#include "tests/support/tempdir.h"

namespace kestrow {
namespace {

using test::CliResult;
using test::Quote;
using test::TempDir;
using test::WriteFile;

const std::string kSep(76, '-');
const std::string kEnd(124, '*');

// The end of a directory's log when nothing is to change: planning still lists its header.
std::vector<std::string> NothingToChange(const std::string& dirName) {
    return {" ",  "Listing PLANNED MODIFICATIONS in dir " + dirName + ":",
            kSep, "* No necessary modifications detected for this dir!",
            kSep, kEnd};
}

std::vector<std::string> Join(std::vector<std::string> head, const std::vector<std::string>& tail) {
    head.insert(head.end(), tail.begin(), tail.end());
    return head;
}

std::vector<std::string> Headers(const std::vector<std::string>& lines) {
    std::vector<std::string> headers;
    for (const auto& l : lines) {
        if (l.rfind("Processing", 0) == 0) headers.push_back(l);
    }
    return headers;
}

std::string CrcHex(const std::string& bytes) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%08X", Crc32(0, bytes.data(), bytes.size()));
    return buf;
}

class CliTest : public ::testing::Test {
protected:
    CliTest() {
        WriteFile(tmp / "settings.ini", "[GENERAL]\nPrepareCRCCheck=1\nlastProcessOption=2\n");
        test::MakeDirs(tmp / "lib");
    }

    CliResult Run(const std::string& args, const std::string& env = "") {
        return test::RunCli(tmp, args, env);
    }
    std::string Settings() const { return "--settings " + Quote(tmp / "settings.ini"); }

    // A release whose listed files are all present and intact.
    std::string GoodRelease(const std::string& name) {
        std::string dir = tmp / ("lib/" + name);
        WriteFile(dir + "/01-track.mp3", "first track bytes");
        WriteFile(dir + "/02-track.mp3", "second track bytes");
        WriteFile(dir + "/release.nfo", "info");
        WriteFile(dir + "/release.sfv", "; comment\r\n01-track.mp3 " + CrcHex("first track bytes") +
                                            "\r\n02-track.mp3 " + CrcHex("second track bytes") + "\r\n");
        WriteFile(dir + "/release.m3u", "01-track.mp3\r\n02-track.mp3\r\n");
        return dir + "/";
    }

    TempDir tmp;
};

TEST_F(CliTest, IntactReleaseLogsEveryCheckAndExitsZero) {
    std::string dir = GoodRelease("Good-Release");
    CliResult r = Run("-C " + Settings() + " --color=never Good-Release");
    EXPECT_EQ(r.lines,
              Join({"Processing " + dir, kSep, "ANALYZING CONTENTS IN release.sfv", kSep,
                    "== CRC checking: 01-track.mp3 ===> CRC OK", "== CRC checking: 02-track.mp3 ===> CRC OK",
                    "ANALYZING CONTENTS IN release.m3u", kSep, "Integrity OK! "},
                   NothingToChange("Good-Release")));
    EXPECT_EQ(r.status, 0) << r.err;
}

// A list write killed in an earlier run leaves ".NAME.kestrow-XXXXXX" behind: the next run
// removes it unseen. Names that only look like it, and a link or folder of that name, stay.
TEST_F(CliTest, LeftoverTemporaryFilesGoUnseenAndNearMissesStay) {
    const std::string dir = GoodRelease("Good-Release");
    const std::string args = "-C " + Settings() + " --color=never Good-Release";
    Run(args);  // writes the tagline the later runs find
    const CliResult clean = Run(args);
    WriteFile(dir + ".release.sfv.kestrow-Ab12Cd", "half a list");
    const CliResult withLeftover = Run(args);
    EXPECT_EQ(withLeftover.lines, clean.lines);
    EXPECT_EQ(withLeftover.status, clean.status);
    EXPECT_FALSE(test::Exists(dir + ".release.sfv.kestrow-Ab12Cd"));

    const std::vector<std::string> stay = {".release.sfv.kestrow-Ab12C",   ".release.sfv.kestrow-Ab12Cd7",
                                           "release.sfv.kestrow-Ab12Cd",   "..kestrow-Ab12Cd",
                                           ".release.sfv.kestrow-Ab_2Cd",  ".release.sfv.Kestrow-Ab12Cd",
                                           ".release.sfv.kestrow-Ab12Cd.x"};
    for (const std::string& name : stay) WriteFile(dir + name, "not ours");
    ASSERT_EQ(::symlink("01-track.mp3", (dir + ".link.kestrow-Ab12Cd").c_str()), 0);
    test::MakeDirs(dir + ".dir.kestrow-Ab12Cd");
    Run(args);
    for (const std::string& name : stay) EXPECT_TRUE(test::Exists(dir + name)) << name;
    EXPECT_TRUE(test::Exists(dir + ".link.kestrow-Ab12Cd"));
    EXPECT_TRUE(test::Exists(dir + ".dir.kestrow-Ab12Cd"));
}

TEST_F(CliTest, CorruptAndMissingFilesAreReportedAndExitOne) {
    std::string dir = tmp / "lib/Bad/";
    WriteFile(dir + "a.mp3", "aaa");
    WriteFile(dir + "b.mp3", "bbb");
    WriteFile(dir + "bad.nfo", "x");
    WriteFile(dir + "bad.sfv",
              "a.mp3 " + CrcHex("aaa") + "\nb.mp3 " + CrcHex("not b") + "\nc.mp3 DEADBEEF\n");
    CliResult r = Run("-C " + Settings() + " " + Quote(dir));
    EXPECT_EQ(r.lines, Join({"Processing " + dir, kSep, "No M3U file(s) found!", " ",
                             "ANALYZING CONTENTS IN bad.sfv", kSep, "== CRC checking: a.mp3 ===> CRC OK",
                             "== CRC checking: b.mp3", " ===> *BAD* CRC  <---*WARNING*!!",
                             "== Listed file c.mp3 was NOT found on disk! <---*WARNING*!!"},
                            NothingToChange("Bad")));
    EXPECT_EQ(r.status, 1);
}

TEST_F(CliTest, SubdirectoriesAreCheckedLastFirst) {
    GoodRelease("Box/CD1");
    GoodRelease("Box/CD2");
    std::string box = tmp / "lib/Box/";
    CliResult r = Run("-C " + Settings() + " Box");
    EXPECT_EQ(Headers(r.lines),
              (std::vector<std::string>{"Processing " + box, "Processing subdir " + box + "CD2/",
                                        "Processing " + box + "CD2/", "Processing subdir " + box + "CD1/",
                                        "Processing " + box + "CD1/"}));
    // The box holds no lists and needs no NFO; its end line comes before its subdirectories.
    ASSERT_GE(r.lines.size(), 4u);
    EXPECT_EQ(std::vector<std::string>(r.lines.begin(), r.lines.begin() + 4),
              (std::vector<std::string>{"Processing " + box, kSep, "No SFV or M3U files found! ",
                                        "This directory does not contain any backup data! "}));
    auto sub = std::find(r.lines.begin(), r.lines.end(), "Processing subdir " + box + "CD2/");
    ASSERT_NE(sub, r.lines.begin());
    EXPECT_EQ(*(sub - 1), kEnd);
    EXPECT_EQ(r.status, 0) << r.err;
}

TEST_F(CliTest, SeveralDirectoriesInTheOrderGiven) {
    std::string b = GoodRelease("B");
    std::string a = GoodRelease("A");
    CliResult r = Run("-C " + Settings() + " B " + Quote(a));
    EXPECT_EQ(Headers(r.lines), (std::vector<std::string>{"Processing " + b, "Processing " + a}));
    EXPECT_EQ(r.status, 0);
}

TEST_F(CliTest, ADirectoryTypedInAnotherCaseIsFoundUnderItsOwnName) {
    std::string dir = GoodRelease("Good-Release");
    CliResult r = Run("-C " + Settings() + " --color=never good-release");
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    ASSERT_FALSE(r.lines.empty());
    EXPECT_EQ(r.lines[0], "Processing " + dir);
}

TEST_F(CliTest, MissingDirectoryIsReportedWithStatusTwo) {
    GoodRelease("There");
    CliResult r = Run("-C " + Settings() + " Nowhere There");
    ASSERT_FALSE(r.lines.empty());
    EXPECT_EQ(r.lines[0], "Could not locate selected dir Nowhere, Directory skipped!");
    EXPECT_EQ(r.lines[1], "Processing " + tmp / "lib/There/");
    EXPECT_EQ(r.status, 2);
}

TEST_F(CliTest, ColoursFollowTheChoice) {
    std::string dir = GoodRelease("R");
    const std::string header = "\x1b[97;104mProcessing " + dir + "\x1b[0m";
    CliResult always = Run("-C " + Settings() + " --color=always R", "NO_COLOR=1");
    ASSERT_FALSE(always.lines.empty());
    EXPECT_EQ(always.lines[0], header);
    // Plain lines keep the terminal's colours.
    EXPECT_EQ(always.lines[1], kSep);
    CliResult never = Run("-C " + Settings() + " --color=never R");
    EXPECT_EQ(never.out.find('\x1b'), std::string::npos);
    // Not a terminal: no colour unless asked for.
    CliResult automatic = Run("-C " + Settings() + " R");
    EXPECT_EQ(automatic.out.find('\x1b'), std::string::npos);
}

TEST_F(CliTest, RedLinesUseRedBackground) {
    std::string dir = tmp / "lib/M/";
    WriteFile(dir + "m.nfo", "x");
    WriteFile(dir + "m.sfv", "gone.mp3 12345678\n");
    CliResult r = Run("-C " + Settings() + " --color=always M");
    EXPECT_NE(r.out.find("\x1b[97;101m== Listed file gone.mp3 was NOT found on disk! <---*WARNING*!!\x1b[0m"),
              std::string::npos);
    EXPECT_NE(r.out.find("\x1b[97;45mNo M3U file(s) found!\x1b[0m"), std::string::npos);
}

TEST_F(CliTest, UsageErrors) {
    struct Row {
        std::string args;
        std::string message;
    };
    const Row rows[] = {
        {"Somewhere", "a mode is needed"},
        {"-C", "no directory given"},
        {"-C --frobnicate X", "unknown option --frobnicate"},
        {"-C --yes --no X", "--yes and --no exclude each other"},
        {"-C --color=sometimes X", "--color takes auto, always or never"},
        {"-C --settings " + Quote(tmp / "none.ini") + " X", "cannot read settings file"},
    };
    for (const Row& row : rows) {
        CliResult r = Run(row.args);
        EXPECT_EQ(r.status, 2) << row.args;
        EXPECT_NE(r.err.find(row.message), std::string::npos) << row.args << ": " << r.err;
        EXPECT_TRUE(r.out.empty()) << row.args;
    }
}

TEST_F(CliTest, HelpAndVersion) {
    CliResult help = Run("--help");
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("Usage: kestrow-cli"), std::string::npos);
    CliResult version = Run("--version");
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out.rfind("kestrow-cli ", 0), 0u);
}

// Without a terminal the questions take their silent answers; --no refuses the no-NFO question.
TEST_F(CliTest, NonInteractiveRunAnswersSilently) {
    std::string dir = tmp / "lib/Q/";
    WriteFile(dir + "a.mp3", "a");
    WriteFile(dir + "q.sfv", "a.mp3 " + CrcHex("a") + "\nmissing.mp3 00000001\n");
    WriteFile(dir + "q.m3u", "a.mp3\n");
    CliResult r = Run("-C " + Settings() + " Q");
    EXPECT_EQ(r.lines, Join({"Processing " + dir, kSep, "No NFO file(s) found!", " ",
                             "ANALYZING CONTENTS IN q.sfv", kSep, "== CRC checking: a.mp3 ===> CRC OK",
                             "== Listed file missing.mp3 was NOT found on disk! <---*WARNING*!!",
                             "ANALYZING CONTENTS IN q.m3u", kSep, "Integrity OK! "},
                            NothingToChange("Q")));
    EXPECT_EQ(r.status, 1);
    CliResult no = Run("-C " + Settings() + " --no Q");
    EXPECT_EQ(no.lines, (std::vector<std::string>{
                            "Processing " + dir, kSep, "No NFO file(s) found!", " ",
                            "* Progress ABORTED in directory: " + dir + ", no changes made!", kSep, kEnd}));
    EXPECT_EQ(no.status, 1);
}

// Every entry below a folder, relative to it, sorted.
std::vector<std::string> Tree(const std::string& root) {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::recursive_directory_iterator(root))
        names.push_back(std::filesystem::relative(e.path(), root).string());
    std::sort(names.begin(), names.end());
    return names;
}

TEST_F(CliTest, CheckAndTagWritesTaglinesAndMarkersAndASecondRunKeepsThem) {
    WriteFile(tmp / "settings.ini",
              "[GENERAL]\nPrepareCRCCheck=1\nlastProcessOption=2\nGeneratePrepareTagline=1\n");
    test::Id3v1Fields tag;
    tag.year = "2008";
    tag.genre = 7;  // Hip-Hop
    test::MpegStream stream;
    stream.bitrateKbps = 192;
    const std::string track = test::MakeMp3({}, test::MakeMpegStream(stream), test::MakeId3v1Tag(tag));
    for (const char* release : {"Good", "Broken"}) {
        std::string dir = tmp / ("lib/" + std::string(release));
        WriteFile(dir + "/01-a.mp3", track);
        WriteFile(dir + "/02-b.mp3", track);
        WriteFile(dir + "/r.nfo", "info");
        WriteFile(dir + "/r.m3u", "01-a.mp3\r\n02-b.mp3\r\n");
        WriteFile(dir + "/r.sfv", "01-a.mp3 " + CrcHex(track) + "\r\n02-b.mp3 " + CrcHex(track) + "\r\n");
    }
    WriteFile(tmp / "lib/Broken/02-b.mp3", track + "damage");

    CliResult first = Run("-C " + Settings() + " --color=never Good Broken");
    EXPECT_EQ(first.status, 1) << first.out;
    const std::vector<std::string> tree = Tree(tmp / "lib");
    auto has = [&](const std::string& name) {
        return std::find(tree.begin(), tree.end(), name) != tree.end();
    };
    const auto tagline = std::find_if(tree.begin(), tree.end(), [](const std::string& n) {
        return n.rfind("Good/[KSTW]-[OK-2_Files-", 0) == 0;
    });
    ASSERT_NE(tagline, tree.end()) << first.out;
    EXPECT_NE(tagline->find("]-[Hip-Hop-2008-192kbps]-[KSTW]"), std::string::npos) << *tagline;
    const auto problem = std::find_if(tree.begin(), tree.end(), [](const std::string& n) {
        return n.rfind("Broken/[KSTW]-[#CORRUPT#-", 0) == 0;
    });
    ASSERT_NE(problem, tree.end()) << first.out;
    EXPECT_EQ(test::ReadFile(tmp / ("lib/" + *problem)).find("Corrupt: 02-b.mp3"), 0u);
    EXPECT_TRUE(has("Broken#corrupt"));
    EXPECT_FALSE(has("Good#corrupt"));

    CliResult second = Run("-C " + Settings() + " --color=never Good Broken");
    EXPECT_EQ(second.status, 1);
    EXPECT_EQ(Tree(tmp / "lib"), tree);

    // Repaired, the release's problem tagline turns OK and its marker goes.
    WriteFile(tmp / "lib/Broken/02-b.mp3", track);
    CliResult repaired = Run("-C " + Settings() + " --color=never Broken");
    EXPECT_EQ(repaired.status, 0) << repaired.out;
    const std::vector<std::string> after = Tree(tmp / "lib");
    EXPECT_EQ(
        std::count_if(after.begin(), after.end(),
                      [](const std::string& n) { return n.rfind("Broken/[KSTW]-[OK-2_Files-", 0) == 0; }),
        1);
    EXPECT_EQ(std::find(after.begin(), after.end(), *problem), after.end());
    EXPECT_EQ(std::find(after.begin(), after.end(), "Broken#corrupt"), after.end());
}

}  // namespace
}  // namespace kestrow
