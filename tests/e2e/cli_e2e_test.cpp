// kestrow-cli run on release folders built in a temporary directory. Each scenario's whole
// output (standard output, standard error, exit status, and the folders where a run writes) is a
// golden transcript under tests/golden/cli.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "tests/support/golden.h"
#include "tests/support/mp3builder.h"
#include "tests/support/releasefixture.h"

namespace kestrow {
namespace {

using test::CliResult;
using test::Quote;
using test::TempDir;
using test::WriteFile;

class CliTest : public ::testing::Test {
protected:
    CliTest() {
        WriteFile(tmp / "settings.ini", "[GENERAL]\nPrepareCRCCheck=1\nlastProcessOption=2\n");
        test::MakeDirs(tmp / "lib");
    }

    // Runs the program with the test's settings and adds the run to the transcript.
    CliResult Run(const std::string& args, const std::string& env = "") {
        CliResult r = test::RunCli(tmp, args, env);
        transcript +=
            "$ " + (env.empty() ? "" : env + " ") + "kestrow-cli " + Stable(args) + "\n" + Stable(r.out);
        if (!r.err.empty()) transcript += "stderr: " + Stable(r.err);
        transcript += "exit " + std::to_string(r.status) + "\n";
        return r;
    }
    CliResult Check(const std::string& args, const std::string& env = "") {
        return Run("-C --settings " + Quote(tmp / "settings.ini") + " " + args, env);
    }
    std::string Stable(const std::string& text) const { return test::ReplaceAll(text, tmp.path(), "<TMP>"); }

    // Every entry below lib/, sorted, into the transcript.
    void Tree() {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::recursive_directory_iterator(tmp / "lib"))
            names.push_back(std::filesystem::relative(e.path(), tmp / "lib").string());
        std::sort(names.begin(), names.end());
        transcript += "lib/:\n";
        for (const auto& n : names) transcript += "  " + n + "\n";
    }

    std::string GoodRelease(const std::string& name) {
        return test::WriteIntactRelease(tmp / ("lib/" + name));
    }

    TempDir tmp;
    std::string transcript;
};

TEST_F(CliTest, IntactReleaseCaseTypedSeveralAndMissingDirectories) {
    const std::string dir = GoodRelease("Good-Release");
    GoodRelease("B");
    Check("--color=never Good-Release");
    Check("--color=never good-release");  // found under its own name
    Check("B " + Quote(dir));             // in the order given
    Check("Nowhere B");
    test::ExpectGolden("cli/directories", transcript);
}

TEST_F(CliTest, CorruptMissingAndUnlistedFiles) {
    std::string dir = tmp / "lib/Bad/";
    WriteFile(dir + "a.mp3", "aaa");
    WriteFile(dir + "b.mp3", "bbb");
    WriteFile(dir + "bad.nfo", "x");
    WriteFile(dir + "bad.sfv",
              "a.mp3 " + test::CrcOf("aaa") + "\nb.mp3 " + test::CrcOf("not b") + "\nc.mp3 DEADBEEF\n");
    Check(Quote(dir));
    // Without a terminal the questions take their silent answers; --no refuses the no-NFO question.
    dir = tmp / "lib/Q/";
    WriteFile(dir + "a.mp3", "a");
    WriteFile(dir + "q.sfv", "a.mp3 " + test::CrcOf("a") + "\nmissing.mp3 00000001\n");
    WriteFile(dir + "q.m3u", "a.mp3\n");
    Check("Q");
    Check("--no Q");
    test::ExpectGolden("cli/findings", transcript);
}

TEST_F(CliTest, SubdirectoriesAreCheckedLastFirst) {
    GoodRelease("Box/CD1");
    GoodRelease("Box/CD2");
    Check("Box");
    test::ExpectGolden("cli/subdirectories", transcript);
}

TEST_F(CliTest, ColoursFollowTheChoice) {
    GoodRelease("R");
    WriteFile(tmp / "lib/M/m.nfo", "x");
    WriteFile(tmp / "lib/M/m.sfv", "gone.mp3 12345678\n");
    Check("--color=always R M", "NO_COLOR=1");
    // Not a terminal: no colour unless asked for.
    Check("M");
    test::ExpectGolden("cli/colours", transcript);
}

TEST_F(CliTest, UsageErrorsHelpAndVersion) {
    for (const std::string& args : std::vector<std::string>{
             "Somewhere", "-C", "-C --frobnicate X", "-C --yes --no X", "-C --color=sometimes X",
             "-C --settings " + Quote(tmp / "none.ini") + " X", "--help"}) {
        Run(args);
    }
    test::ExpectGolden("cli/usage", transcript);
    CliResult version = test::RunCli(tmp, "--version");
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out.rfind("kestrow-cli ", 0), 0u);
}

// A list write killed in an earlier run leaves ".NAME.kestrow-XXXXXX" behind: the next run
// removes it unseen. Names that only look like it, and a link or folder of that name, stay.
TEST_F(CliTest, LeftoverTemporaryFilesGoUnseenAndNearMissesStay) {
    const std::string dir = GoodRelease("Good-Release");
    const std::string args = "--color=never Good-Release";
    Check(args);  // writes the tagline the later runs find
    const CliResult clean = Check(args);
    WriteFile(dir + ".release.sfv.kestrow-Ab12Cd", "half a list");
    const CliResult withLeftover = Check(args);
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
    Check(args);
    for (const std::string& name : stay) EXPECT_TRUE(test::Exists(dir + name)) << name;
    EXPECT_TRUE(test::Exists(dir + ".link.kestrow-Ab12Cd"));
    EXPECT_TRUE(test::Exists(dir + ".dir.kestrow-Ab12Cd"));
}

// Taglines and markers: a second run keeps them; a repaired release's problem tagline turns OK
// and its marker goes.
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
        WriteFile(dir + "/r.sfv",
                  "01-a.mp3 " + test::CrcOf(track) + "\r\n02-b.mp3 " + test::CrcOf(track) + "\r\n");
    }
    WriteFile(tmp / "lib/Broken/02-b.mp3", track + "damage");
    Check("--color=never Good Broken");
    Tree();
    for (const auto& e : std::filesystem::directory_iterator(tmp / "lib/Broken")) {
        if (e.path().filename().string().find("#CORRUPT#") != std::string::npos)
            transcript += "problem tagline holds: " + test::ReadFile(e.path().string()) + "\n";
    }
    Check("--color=never Good Broken");
    Tree();
    WriteFile(tmp / "lib/Broken/02-b.mp3", track);
    Check("--color=never Broken");
    Tree();
    test::ExpectGolden("cli/taglines", transcript);
}

}  // namespace
}  // namespace kestrow
