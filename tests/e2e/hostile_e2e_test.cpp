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
#include "tests/support/golden.h"
#include "tests/support/releasefixture.h"

namespace kestrow {
namespace {

using test::CliResult;
using test::MakeDirs;
using test::Quote;
using test::ReadFile;
using test::WriteFile;

using test::CrcOf;

// Settings of the reproductions: no confirmation, tagline on, backup data in "_kestrow.backup",
// names cut to 20 characters keeping the group tag. Each case's run (its output, status and every
// entry left under lib/ and outside/, with the bytes of small files) is a golden transcript under
// tests/golden/hostile; no case may put a control character on the terminal.
class HostileTest : public test::CliFixture {
public:
    // The cases build their fixtures through these.
    using CliFixture::Lib;
    using CliFixture::tmp;

    struct Case {
        std::string name;
        // Builds the fixture under lib/ and gives the arguments after the settings.
        std::function<std::string(HostileTest&)> setup;
        std::map<std::string, std::string> settings = {};
        std::string env = "";
    };

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

    std::string Stable(const std::string& text) const { return test::ReplaceAll(text, tmp.path(), "<TMP>"); }

    // Every entry below the folder, sorted; links are shown with their target, never followed.
    std::string Listing(const std::string& folder) const {
        std::vector<std::string> lines;
        for (const auto& e : std::filesystem::recursive_directory_iterator(folder)) {
            std::string line = "  " + e.path().lexically_relative(folder).string();
            if (e.is_symlink())
                line += " -> " + std::filesystem::read_symlink(e.path()).string();
            else if (e.is_directory())
                line += "/";
            else if (e.file_size() < 64)
                line += " [" + test::ReplaceAll(ReadFile(e.path().string()), "\n", "\\n") + "]";
            else
                line += " (" + std::to_string(e.file_size()) + " bytes)";
            lines.push_back(Stable(line));
        }
        std::sort(lines.begin(), lines.end());
        std::string out;
        for (const std::string& l : lines) out += l + "\n";
        return out;
    }

    void Run(const std::vector<Case>& cases) {
        std::string transcript;
        for (const Case& c : cases) {
            SCOPED_TRACE(c.name);
            std::filesystem::remove_all(tmp / "lib");
            std::filesystem::remove_all(tmp / "outside");
            MakeDirs(tmp / "lib");
            MakeDirs(tmp / "outside");
            settings = {{"ConfirmChanges", "0"},  {"GeneratePrepareTagline", "1"},
                        {"PrepareCRCCheck", "1"}, {"prepareBackupTo", "2"},
                        {"Truncate", "1"},        {"TruncateMaxChars", "20"},
                        {"preserveGrptag", "1"}};
            for (const auto& [k, v] : c.settings) settings[k] = v;
            const std::string args = c.setup(*this);
            const CliResult r = Cli(args, c.env);
            for (char control : {'\x1b', '\x07', '\0'}) EXPECT_EQ(r.out.find(control), std::string::npos);
            transcript += "== " + c.name + ": " + args + "\n" + Stable(r.out) +
                          (r.err.empty() ? "" : "stderr: " + Stable(r.err)) + "exit " +
                          std::to_string(r.status) + "\nlib/:\n" + Listing(tmp / "lib") + "outside/:\n" +
                          Listing(tmp / "outside");
        }
        test::ExpectGolden(
            "hostile/" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()),
            transcript);
    }
};

TEST_F(HostileTest, NothingOutsideTheSelectedTreeIsEntered) {
    const std::vector<Case> cases = {
        {"link_to_a_folder_elsewhere",
         [](HostileTest& t) {
             const std::string dir = t.Release("Rel-GRP", {"01-a-grp.mp3"});
             WriteFile(t.tmp / "outside/.keep_me", "");
             WriteFile(t.tmp / "outside/a_song_with_a_name_far_too_long-grp.mp3", "x");
             std::filesystem::create_directory_symlink(t.tmp / "outside", dir + "/CD2");
             return "-P --yes Rel-GRP";
         }},
        {"link_to_the_parent",
         [](HostileTest& t) {
             const std::string dir = t.Release("Rel-GRP", {"01-a-grp.mp3"});
             WriteFile(t.Lib("my_own_recording_with_a_long_name.mp3"), "mine");
             std::filesystem::create_directory_symlink("..", dir + "/up");
             return "-P --yes Rel-GRP";
         }},
        {"a_link_named_like_the_backup_file",
         [](HostileTest& t) {
             const std::string dir = t.Release("Rel-GRP", {"01-a_song_with_a_long_name-grp.mp3"});
             WriteFile(t.tmp / "outside/a_song_with_a_name_far_too_long-grp.mp3", "x");
             std::filesystem::create_directory_symlink(t.tmp / "outside", dir + "/_kestrow.backup");
             return "-P --yes Rel-GRP";
         }},
        {"a_selected_link_is_processed_as_chosen",
         [](HostileTest& t) {
             const std::string real = t.Release("Real-GRP", {"01-a-grp.mp3"});
             std::filesystem::create_directory_symlink(real, t.Lib("Chosen"));
             return "-C Chosen";
         }},
    };
    Run(cases);
}

TEST_F(HostileTest, NoFileNameOrBackupDataIsLost) {
    const std::string problemTagline =
        "[KSTW]-[#INCOMPLETE#-1_of_2_Files-55bytes]-[Hip-Hop-2008-192kbps]-[KSTW]";
    const std::vector<Case> cases = {
        {"empty_listed_track_and_empty_nfo_stay",
         [](HostileTest& t) {
             const std::string dir = t.Release("Rel-GRP", {"01-a-grp.mp3"});
             WriteFile(dir + "/02-b-grp.mp3", "");
             WriteFile(dir + "/r.sfv", ReadFile(dir + "/r.sfv") + "02-b-grp.mp3 00000000\r\n");
             WriteFile(dir + "/r.nfo", "");
             return "-C Rel-GRP";
         }},
        {"empty_backup_file_keeps_its_name_and_content",
         [](HostileTest& t) {
             const std::string dir = t.Release("Rel-GRP", {"01-a_long_song-grp.mp3"});
             WriteFile(dir + "/_kestrow.backup", "");
             return "-P --yes Rel-GRP";
         },
         {{"TruncateMaxChars", "12"}}},
        {"backup_file_without_a_block_is_not_overwritten",
         [](HostileTest& t) {
             const std::string dir = t.Release("Rel-GRP", {"01-a_song_with_a_long_name-grp.mp3"});
             WriteFile(dir + "/_kestrow.backup", ";[V1OO hand-edited\r\n");
             return "-P --yes Rel-GRP";
         }},
        {"problem_tagline_is_not_cut",
         [problemTagline](HostileTest& t) {
             const std::string dir = t.Release("Rel-GRP", {"01-a-grp.mp3"});
             WriteFile(dir + "/r.sfv", ReadFile(dir + "/r.sfv") + "02-b-grp.mp3 1234ABCD\r\n");
             WriteFile(dir + "/" + problemTagline, "Missing: 02-b-grp.mp3\r\n");
             return "-P --yes Rel-GRP";
         },
         {{"TruncateMaxChars", "64"}}},
        {"markers_of_the_discs_are_not_cut",
         [](HostileTest& t) {
             t.Release("Multi-GRP/Disc_One_Of_Two", {"01-a-grp.mp3"});
             WriteFile(t.Lib("Multi-GRP/Disc_One_Of_Two#SFVvsM3U-mismatch"), "");
             return "-P --yes Multi-GRP";
         }},
    };
    Run(cases);
}

TEST_F(HostileTest, FindingsAreReportedAndShownInert) {
    const bool root = ::geteuid() == 0;
    const std::string corrupt = "01-a-grp.mp3 DEADBEEF\r\n";
    const std::vector<Case> cases = {
        {"utf16_list",
         [corrupt](HostileTest& t) {
             const std::string dir = t.Release("Rel-GRP", {"01-a-grp.mp3"});
             std::string utf16 = "\xFF\xFE";
             for (char c : corrupt) utf16 += std::string(1, c) + '\0';
             WriteFile(dir + "/r.sfv", utf16);
             return "-C Rel-GRP";
         }},
        {"list_over_the_size_cap",
         [corrupt](HostileTest& t) {
             const std::string dir = t.Release("Rel-GRP", {"01-a-grp.mp3"});
             WriteFile(dir + "/r.sfv", corrupt + std::string(platform::kMaxTextFileSize, ';'));
             return "-C Rel-GRP";
         }},
        {"list_without_read_permission",
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
         {},
         root ? "setpriv --reuid=65534 --regid=65534 --clear-groups" : ""},
        {"markers_of_the_old_name_go",
         [](HostileTest& t) {
             t.Release("Old_Long_Release_Name-GRP", {"01-a-grp.mp3"});
             for (const char* suffix : {"#incomplete", "#NoM3U", "#SFVvsM3U-mismatch"})
                 WriteFile(t.Lib(std::string("Old_Long_Release_Name-GRP") + suffix), "");
             return "-P --yes Old_Long_Release_Name-GRP";
         }},
        {"control_characters_and_syntax_errors",
         [](HostileTest& t) {
             const std::string dir = t.Release("Rel-GRP", {"01-a-grp.mp3"});
             WriteFile(dir + "/02-\x1b[2J\x1b]0;owned\x07-grp.mp3", "not listed");
             WriteFile(dir + "/r.sfv", ReadFile(dir + "/r.sfv") + "bad line \x1b[31m\r\n");
             return "-P --yes Rel-GRP";
         }},
    };
    Run(cases);
}

}  // namespace
}  // namespace kestrow
