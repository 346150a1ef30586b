// kestrow-cli on releases built by hand the way downloads arrive: symbolic links, empty files,
// leftovers of earlier runs, lists it cannot read and names holding control characters. Nothing
// outside the selected folders may change, no file or name may be lost, and no finding may pass
// silently.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "content/integrity.h"
#include "platform/fs.h"
#include "tests/support/releasefixture.h"

namespace kestrow {
namespace {

using test::CliResult;
using test::MakeDirs;
using test::Quote;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;

using test::CrcOf;
using test::Names;

bool HasLine(const CliResult& r, const std::string& line) {
    return std::count(r.lines.begin(), r.lines.end(), line) == 1;
}

bool AnyNameHas(const std::string& folder, const std::string& piece) {
    const auto names = Names(folder);
    return std::any_of(names.begin(), names.end(),
                       [&](const std::string& n) { return n.find(piece) != std::string::npos; });
}

bool AnyLineStartsWith(const CliResult& r, const std::string& start) {
    return std::any_of(r.lines.begin(), r.lines.end(),
                       [&](const std::string& l) { return l.rfind(start, 0) == 0; });
}

// Settings of the reproductions: no confirmation, tagline on, backup data in "_kestrow.backup",
// names cut to 20 characters keeping the group tag.
class HostileTest : public ::testing::Test {
public:
    struct Case {
        std::string name;
        std::map<std::string, std::string> settings;
        // Builds the fixture under lib/ and gives the arguments after the settings.
        std::function<std::string(HostileTest&)> setup;
        std::function<void(HostileTest&, const CliResult&)> check;
        std::string env;
    };

    std::string Lib(const std::string& relative = {}) const {
        return relative.empty() ? tmp / "lib" : tmp / ("lib/" + relative);
    }

    // A release whose tracks are listed in an SFV list and a playlist, with an NFO.
    std::string Release(const std::string& name, const std::vector<std::string>& tracks) {
        const std::string dir = Lib(name);
        MakeDirs(dir);
        std::string sfv, m3u;
        for (const std::string& t : tracks) {
            WriteFile(dir + "/" + t, "bytes of " + t);
            sfv += t + " " + CrcOf("bytes of " + t) + "\r\n";
            m3u += t + "\r\n";
        }
        WriteFile(dir + "/r.sfv", sfv);
        WriteFile(dir + "/r.m3u", m3u);
        WriteFile(dir + "/r.nfo", "nfo");
        return dir;
    }

    void Run(const std::vector<Case>& cases) {
        for (const Case& c : cases) {
            SCOPED_TRACE(c.name);
            std::filesystem::remove_all(tmp / "lib");
            std::filesystem::remove_all(tmp / "outside");
            MakeDirs(Lib());
            MakeDirs(tmp / "outside");
            std::map<std::string, std::string> settings = {
                {"ConfirmChanges", "0"},  {"GeneratePrepareTagline", "1"},
                {"PrepareCRCCheck", "1"}, {"prepareBackupTo", "2"},
                {"Truncate", "1"},        {"TruncateMaxChars", "20"},
                {"preserveGrptag", "1"}};
            for (const auto& [k, v] : c.settings) settings[k] = v;
            std::string ini = "[GENERAL]\r\n";
            for (const auto& [k, v] : settings) ini += k + "=" + v + "\r\n";
            WriteFile(tmp / "settings.ini", ini + "[GTAGS]\r\nGRP=GRP\r\n");
            const std::string args = c.setup(*this);
            const CliResult r = test::RunCli(
                tmp, "--color=never --settings " + Quote(tmp / "settings.ini") + " " + args, c.env);
            const int before =
                ::testing::UnitTest::GetInstance()->current_test_info()->result()->total_part_count();
            c.check(*this, r);
            if (::testing::UnitTest::GetInstance()->current_test_info()->result()->total_part_count() >
                before)
                ADD_FAILURE() << c.name << ": exit " << r.status << "\n" << r.out << r.err;
        }
    }

    TempDir tmp;
};

TEST_F(HostileTest, NothingOutsideTheSelectedTreeIsEntered) {
    const std::vector<Case> cases = {
        {"link_to_a_folder_elsewhere",
         {},
         [](HostileTest& t) {
             const std::string dir = t.Release("Rel-GRP", {"01-a-grp.mp3"});
             WriteFile(t.tmp / "outside/.keep_me", "");
             WriteFile(t.tmp / "outside/a_song_with_a_name_far_too_long-grp.mp3", "x");
             std::filesystem::create_directory_symlink(t.tmp / "outside", dir + "/CD2");
             return "-P --yes Rel-GRP";
         },
         [](HostileTest& t, const CliResult& r) {
             EXPECT_EQ(Names(t.tmp / "outside"),
                       (std::set<std::string>{".keep_me", "a_song_with_a_name_far_too_long-grp.mp3"}));
             EXPECT_TRUE(HasLine(r, "Directory " + t.Lib("Rel-GRP/CD2") +
                                        " is a symbolic link, it is not followed. Directory skipped!"));
             EXPECT_EQ(r.status, 0);
         },
         ""},
        {"link_to_the_parent",
         {},
         [](HostileTest& t) {
             const std::string dir = t.Release("Rel-GRP", {"01-a-grp.mp3"});
             WriteFile(t.Lib("my_own_recording_with_a_long_name.mp3"), "mine");
             std::filesystem::create_directory_symlink("..", dir + "/up");
             return "-P --yes Rel-GRP";
         },
         [](HostileTest& t, const CliResult&) {
             EXPECT_EQ(Names(t.Lib()),
                       (std::set<std::string>{"Rel-GRP", "my_own_recording_with_a_long_name.mp3"}));
         },
         ""},
        {"a_link_named_like_the_backup_file",
         {},
         [](HostileTest& t) {
             const std::string dir = t.Release("Rel-GRP", {"01-a_song_with_a_long_name-grp.mp3"});
             WriteFile(t.tmp / "outside/a_song_with_a_name_far_too_long-grp.mp3", "x");
             std::filesystem::create_directory_symlink(t.tmp / "outside", dir + "/_kestrow.backup");
             return "-P --yes Rel-GRP";
         },
         [](HostileTest& t, const CliResult& r) {
             EXPECT_EQ(Names(t.tmp / "outside"),
                       (std::set<std::string>{"a_song_with_a_name_far_too_long-grp.mp3"}));
             EXPECT_TRUE(HasLine(r, "Backupdata has been stored in: r.sfv"));
         },
         ""},
        {"a_selected_link_is_processed_as_chosen",
         {},
         [](HostileTest& t) {
             const std::string real = t.Release("Real-GRP", {"01-a-grp.mp3"});
             std::filesystem::create_directory_symlink(real, t.Lib("Chosen"));
             return "-C Chosen";
         },
         [](HostileTest& t, const CliResult& r) {
             EXPECT_TRUE(AnyNameHas(t.Lib("Real-GRP"), "-[OK-1_File-"));
             EXPECT_EQ(r.status, 0);
         },
         ""},
    };
    Run(cases);
}

TEST_F(HostileTest, NoFileNameOrBackupDataIsLost) {
    const std::string problemTagline =
        "[KSTW]-[#INCOMPLETE#-1_of_2_Files-55bytes]-[Hip-Hop-2008-192kbps]-[KSTW]";
    const std::vector<Case> cases = {
        {"empty_listed_track_and_empty_nfo_stay",
         {},
         [](HostileTest& t) {
             const std::string dir = t.Release("Rel-GRP", {"01-a-grp.mp3"});
             WriteFile(dir + "/02-b-grp.mp3", "");
             WriteFile(dir + "/r.sfv", ReadFile(dir + "/r.sfv") + "02-b-grp.mp3 00000000\r\n");
             WriteFile(dir + "/r.nfo", "");
             return "-C Rel-GRP";
         },
         [](HostileTest& t, const CliResult& r) {
             const auto names = Names(t.Lib("Rel-GRP"));
             EXPECT_TRUE(names.count("02-b-grp.mp3") && names.count("r.nfo"));
             EXPECT_TRUE(AnyNameHas(t.Lib("Rel-GRP"), "-[OK-2_Files-"));
             EXPECT_EQ(r.status, 0);
         },
         ""},
        {"empty_backup_file_keeps_its_name_and_content",
         {{"TruncateMaxChars", "12"}},
         [](HostileTest& t) {
             const std::string dir = t.Release("Rel-GRP", {"01-a_long_song-grp.mp3"});
             WriteFile(dir + "/_kestrow.backup", "");
             return "-P --yes Rel-GRP";
         },
         [](HostileTest& t, const CliResult& r) {
             EXPECT_FALSE(AnyLineStartsWith(r, "== FILE: _kestrow.backup"));
             // An empty backup file is not written over either: the prepare stops.
             EXPECT_EQ(ReadFile(t.Lib("Rel-GRP/_kestrow.backup")), "");
             EXPECT_TRUE(Names(t.Lib("Rel-GRP")).count("01-a_long_song-grp.mp3"));
             EXPECT_EQ(r.status, 1);
         },
         ""},
        {"backup_file_without_a_block_is_not_overwritten",
         {},
         [](HostileTest& t) {
             const std::string dir = t.Release("Rel-GRP", {"01-a_song_with_a_long_name-grp.mp3"});
             WriteFile(dir + "/_kestrow.backup", ";[V1OO hand-edited\r\n");
             return "-P --yes Rel-GRP";
         },
         [](HostileTest& t, const CliResult& r) {
             const std::string dir = t.Lib("Rel-GRP");
             EXPECT_EQ(ReadFile(dir + "/_kestrow.backup"), ";[V1OO hand-edited\r\n");
             EXPECT_TRUE(Names(dir).count("01-a_song_with_a_long_name-grp.mp3"));
             EXPECT_TRUE(HasLine(r,
                                 "_kestrow.backup holds no readable Backupdata and will not be overwritten, "
                                 "check it and remove it by hand. No Changes made to this directory!, "
                                 "ABORTING.."));
             EXPECT_EQ(r.status, 1);
         },
         ""},
        {"problem_tagline_is_not_cut",
         {{"TruncateMaxChars", "64"}},
         [problemTagline](HostileTest& t) {
             const std::string dir = t.Release("Rel-GRP", {"01-a-grp.mp3"});
             WriteFile(dir + "/r.sfv", ReadFile(dir + "/r.sfv") + "02-b-grp.mp3 1234ABCD\r\n");
             WriteFile(dir + "/" + problemTagline, "Missing: 02-b-grp.mp3\r\n");
             return "-P --yes Rel-GRP";
         },
         [](HostileTest& t, const CliResult& r) {
             EXPECT_FALSE(AnyLineStartsWith(r, "== FILE: [KSTW]"));
             EXPECT_FALSE(Names(t.Lib("Rel-GRP")).count("_kestrow.backup"));
             EXPECT_EQ(Names(t.Lib("Rel-GRP")).size(), 5u);  // track, three lists, one tagline
         },
         ""},
        {"markers_of_the_discs_are_not_cut",
         {},
         [](HostileTest& t) {
             t.Release("Multi-GRP/Disc_One_Of_Two", {"01-a-grp.mp3"});
             WriteFile(t.Lib("Multi-GRP/Disc_One_Of_Two#SFVvsM3U-mismatch"), "");
             return "-P --yes Multi-GRP";
         },
         [](HostileTest&, const CliResult& r) {
             EXPECT_FALSE(AnyLineStartsWith(r, "== FILE: Disc_One_Of_Two#"));
         },
         ""},
    };
    Run(cases);
}

TEST_F(HostileTest, FindingsAreReportedAndShownInert) {
    const bool root = ::geteuid() == 0;
    const std::string corrupt = "01-a-grp.mp3 DEADBEEF\r\n";
    const std::vector<Case> cases = {
        {"utf16_list",
         {},
         [corrupt](HostileTest& t) {
             const std::string dir = t.Release("Rel-GRP", {"01-a-grp.mp3"});
             std::string utf16 = "\xFF\xFE";
             for (char c : corrupt) utf16 += std::string(1, c) + '\0';
             WriteFile(dir + "/r.sfv", utf16);
             return "-C Rel-GRP";
         },
         [](HostileTest& t, const CliResult& r) {
             EXPECT_TRUE(HasLine(r,
                                 "== r.sfv could not be read (not 8-bit text (NUL bytes, UTF-16?)), its "
                                 "files were NOT checked! <---*WARNING*!!"));
             EXPECT_FALSE(AnyNameHas(t.Lib("Rel-GRP"), "-[OK-"));
             EXPECT_EQ(r.out.find('\0'), std::string::npos);
             EXPECT_EQ(r.status, 1);
         },
         ""},
        {"list_over_the_size_cap",
         {},
         [corrupt](HostileTest& t) {
             const std::string dir = t.Release("Rel-GRP", {"01-a-grp.mp3"});
             WriteFile(dir + "/r.sfv", corrupt + std::string(platform::kMaxTextFileSize, ';'));
             return "-C Rel-GRP";
         },
         [](HostileTest& t, const CliResult& r) {
             EXPECT_TRUE(HasLine(r,
                                 "== r.sfv could not be read (File too large (over 16 MiB)), its files were "
                                 "NOT checked! <---*WARNING*!!"));
             EXPECT_FALSE(AnyNameHas(t.Lib("Rel-GRP"), "-[OK-"));
             EXPECT_EQ(r.status, 1);
         },
         ""},
        {"list_without_read_permission",
         {},
         [corrupt, root](HostileTest& t) {
             const std::string dir = t.Release("Rel-GRP", {"01-a-grp.mp3"});
             WriteFile(dir + "/r.sfv", corrupt);
             // Root reads anything: the run is made as an ordinary user, who needs a way in.
             if (root) {
                 for (const auto& e : std::filesystem::recursive_directory_iterator(t.tmp.path()))
                     ::chmod(e.path().c_str(), e.is_directory() ? 0777 : 0666);
                 ::chmod(t.tmp.path().c_str(), 0777);
             }
             ::chmod((dir + "/r.sfv").c_str(), 0);
             return "-C Rel-GRP";
         },
         [](HostileTest& t, const CliResult& r) {
             EXPECT_TRUE(HasLine(r,
                                 "== r.sfv could not be read (Permission denied), its files were NOT "
                                 "checked! <---*WARNING*!!"));
             EXPECT_FALSE(AnyNameHas(t.Lib("Rel-GRP"), "-[OK-"));
             EXPECT_EQ(r.status, 1);
         },
         root ? "setpriv --reuid=65534 --regid=65534 --clear-groups" : ""},
        {"markers_of_the_old_name_go",
         {},
         [](HostileTest& t) {
             t.Release("Old_Long_Release_Name-GRP", {"01-a-grp.mp3"});
             for (const char* suffix : {"#incomplete", "#NoM3U", "#SFVvsM3U-mismatch"})
                 WriteFile(t.Lib(std::string("Old_Long_Release_Name-GRP") + suffix), "");
             return "-P --yes Old_Long_Release_Name-GRP";
         },
         [](HostileTest& t, const CliResult&) {
             const auto names = Names(t.Lib());
             ASSERT_EQ(names.size(), 1u);
             EXPECT_NE(*names.begin(), "Old_Long_Release_Name-GRP");
         },
         ""},
        {"control_characters_and_syntax_errors",
         {},
         [](HostileTest& t) {
             const std::string dir = t.Release("Rel-GRP", {"01-a-grp.mp3"});
             WriteFile(dir + "/02-\x1b[2J\x1b]0;owned\x07-grp.mp3", "not listed");
             WriteFile(dir + "/r.sfv", ReadFile(dir + "/r.sfv") + "bad line \x1b[31m\r\n");
             return "-P --yes Rel-GRP";
         },
         [](HostileTest&, const CliResult& r) {
             EXPECT_NE(r.out.find("02-\\x1B[2J\\x1B]0;owned\\x07-grp.mp3"), std::string::npos);
             EXPECT_EQ(r.out.find('\x1b'), std::string::npos);
             EXPECT_EQ(r.out.find('\x07'), std::string::npos);
             EXPECT_TRUE(HasLine(r, "== Syntax ERROR found: <---*WARNING*!!bad line \\x1B[31m"));
         },
         ""},
    };
    Run(cases);
}

}  // namespace
}  // namespace kestrow
