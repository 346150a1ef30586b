// kestrow-cli -P end to end on release folders built in a temporary directory; every prepared
// folder must give its original names back from the backup data it holds.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "backup/backupfinder.h"
#include "content/crc32.h"
#include "content/integrity.h"
#include "platform/fs.h"
#include "platform/text.h"
#include "tests/support/clirun.h"
#include "tests/support/recordingreporter.h"
#include "tests/support/tempdir.h"

namespace kestrow {
namespace {

using test::CliResult;
using test::MakeDirs;
using test::Quote;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;

std::string CrcOf(const std::string& bytes) {
    return CrcText(Crc32(0, bytes.data(), bytes.size()));
}

std::set<std::string> Names(const std::string& folder) {
    std::vector<platform::DirEntry> entries;
    platform::ListDirectory(folder, entries);
    std::set<std::string> names;
    for (const auto& e : entries) names.insert(e.name);
    return names;
}

bool HasLine(const CliResult& r, const std::string& line) {
    return std::find(r.lines.begin(), r.lines.end(), line) != r.lines.end();
}

std::set<std::string> Mp3Names(const std::string& folder) {
    std::set<std::string> mp3;
    for (const auto& n : Names(folder)) {
        if (platform::IEndsWith(n, ".mp3")) mp3.insert(n);
    }
    return mp3;
}

std::size_t CountOf(const std::string& out, const std::string& piece) {
    std::size_t n = 0;
    for (auto p = out.find(piece); p != std::string::npos; p = out.find(piece, p + 1)) ++n;
    return n;
}

struct Track {
    std::string name;
    std::string bytes;
};

class PrepareTest : public ::testing::Test {
protected:
    PrepareTest() {
        MakeDirs(tmp / "lib");
        // Taglines are another step's business; these runs leave them out.
        m_settings = {{"lastProcessOption", "1"}, {"PrepareCRCCheck", "1"}, {"GeneratePrepareTagline", "0"},
                      {"ConfirmChanges", "1"},    {"prepareBackupTo", "2"}, {"Truncate", "1"},
                      {"TruncateMaxChars", "64"}, {"preserveGrptag", "1"},  {"preserveRlsyear", "0"}};
    }

    void Set(const std::string& key, const std::string& value) { m_settings[key] = value; }

    std::string WriteSettings() {
        std::string ini = "[GENERAL]\r\n";
        for (const auto& [k, v] : m_settings) ini += k + "=" + v + "\r\n";
        for (std::size_t i = 0; i < m_rules.size(); ++i)
            ini += "TempFile" + std::to_string(i + 1) + "=" + m_rules[i] + "\r\n";
        ini += "[GTAGS]\r\nGRP=GRP\r\n";
        WriteFile(tmp / "settings.ini", ini);
        return tmp / "settings.ini";
    }

    CliResult Cli(const std::string& args) {
        return test::RunCli(tmp, "--color=never --settings " + Quote(WriteSettings()) + " " + args);
    }

    // A release with its tracks listed in an SFV list and, optionally, a playlist.
    std::string Release(const std::string& relative, const std::vector<Track>& tracks, bool sfv = true,
                        bool m3u = true, const std::string& listTitle = "album") {
        const std::string dir = tmp / ("lib/" + relative);
        MakeDirs(dir);
        std::string sfvText = "; made for the test\r\n", m3uText = "#EXTM3U\r\n";
        for (const Track& t : tracks) {
            WriteFile(dir + "/" + t.name, t.bytes);
            sfvText += t.name + " " + CrcOf(t.bytes) + "\r\n";
            m3uText += t.name + "\r\n";
        }
        if (sfv) WriteFile(dir + "/" + listTitle + ".sfv", sfvText);
        if (m3u) WriteFile(dir + "/" + listTitle + ".m3u", m3uText);
        return dir;
    }

    // Each list names the files on disk, and a check finds nothing missing or corrupt.
    void ExpectCleanCheck(const std::string& folder, const std::string& name);

    TempDir tmp;
    const std::string m_cli = test::CliPath();
    std::map<std::string, std::string> m_settings;
    std::vector<std::string> m_rules;
};

std::vector<Track> LongTracks(const std::string& artist, int count) {
    std::vector<Track> tracks;
    for (int i = 1; i <= count; ++i) {
        tracks.push_back({"0" + std::to_string(i) + "-" + artist +
                              "-a_song_title_far_too_long_to_be_burned_as_it_is_" + std::to_string(i) +
                              "-grp.mp3",
                          "track " + std::to_string(i) + " of " + artist});
    }
    return tracks;
}

// Renames back from the folder's backup data as a restore would; returns the folder's path after.
std::string RestoreByHand(const std::string& folder, std::size_t* records = nullptr) {
    ListedDir dir(folder);
    dir.LoadLists();
    BackupData data;
    test::RecordingReporter quiet(1);
    findBackupData(dir, data, false, quiet);
    EXPECT_FALSE(data.NoBackupData()) << folder;
    if (records) *records = data.Records().size();
    for (const auto* list : {&data.FileRecords(), &data.TempFileRecords()}) {
        for (const BackupRecord& r : *list) {
            EXPECT_TRUE(platform::MoveNoReplace(folder + "/" + r.newName, folder + "/" + r.originalName).ok())
                << r.newName << " -> " << r.originalName;
        }
    }
    if (!data.HasDirectoryRecord()) return folder;
    const std::string parent = folder.substr(0, folder.rfind('/') + 1);
    EXPECT_EQ(folder.substr(parent.size()), data.DirectoryRecord().newName);
    EXPECT_TRUE(platform::MoveNoReplace(folder, parent + data.DirectoryRecord().originalName).ok());
    return parent + data.DirectoryRecord().originalName;
}

// Whether every SFV entry names a file with that CRC and every playlist entry a file on disk.
bool ListsMatchDisk(const std::string& folder, std::size_t* entries = nullptr) {
    ListedDir dir(folder);
    dir.LoadLists();
    std::size_t n = 0;
    bool ok = true;
    for (const SfvList& list : dir.sfvLists) {
        for (const ListEntry& e : list.Entries()) {
            ++n;
            if (VerifyFile(dir, e.Text(), e.Crc()) != 1) ok = false;
        }
    }
    for (const M3uList& list : dir.m3uLists) {
        for (const ListEntry& e : list.Entries()) {
            ++n;
            if (dir.GetFile(e.Text()) == nullptr) ok = false;
        }
    }
    if (entries) *entries = n;
    return ok;
}

// The one entry of `parent`, e.g. a release folder under its new name.
std::string OnlyEntry(const std::string& parent) {
    const auto names = Names(parent);
    return names.size() == 1 ? *names.begin() : std::string();
}

TEST_F(PrepareTest, AnOverLongReleaseKeepsItsTagAndYearAndComesBackWhole) {
    const std::string name =
        "The_Extraordinarily_Long_Artist_Name-An_Exceptionally_Long_Album_Title-2009-GRP";
    const auto tracks = LongTracks("the_extraordinarily_long_artist_name", 3);
    const std::string dir =
        Release(name, tracks, true, true,
                "00-the_extraordinarily_long_artist_name-an_exceptionally_long_title-2009-grp");
    WriteFile(dir + "/00-the_extraordinarily_long_artist_name-an_exceptionally_long_title-2009-grp.nfo",
              "nfo");
    const std::set<std::string> original = Names(dir);
    Set("prepareBackupTo", "0");

    const CliResult r = Cli("-P --yes " + Quote(name));
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_TRUE(HasLine(r, "Listing PLANNED MODIFICATIONS in dir " + name + ":")) << r.out;
    EXPECT_TRUE(HasLine(r, "======= DONE! =======")) << r.out;
    EXPECT_EQ(CountOf(r.out, "Applying Changes.... "), 1u);

    const std::string newName = OnlyEntry(tmp / "lib");
    ASSERT_NE(newName, name);
    EXPECT_LE(newName.size(), 64u);
    EXPECT_TRUE(platform::IEndsWith(newName, "___2009-GRP")) << newName;
    EXPECT_TRUE(HasLine(r, "== DIR:  " + name + ", ===> " + newName));
    const std::string prepared = tmp / ("lib/" + newName);
    for (const auto& n : Names(prepared)) {
        EXPECT_LE(n.size(), 64u) << n;
        if (platform::IEndsWith(n, ".nfo") || platform::IEndsWith(n, ".sfv")) {
            EXPECT_NE(n.find("2009-grp."), std::string::npos) << n;
        }
    }
    // The lists now name the new files.
    std::size_t entries = 0;
    EXPECT_TRUE(ListsMatchDisk(prepared, &entries));
    EXPECT_EQ(entries, 2 * tracks.size());
    // --show-backup names the place and every stored name.
    const CliResult shown = Cli("--show-backup " + Quote(newName));
    EXPECT_EQ(shown.status, 0) << shown.out << shown.err;
    EXPECT_NE(shown.out.find("Stored in: \"00-the_extraordinarily_long"), std::string::npos) << shown.out;
    EXPECT_NE(shown.out.find("Directory: \"" + newName + "\" <- \"" + name + "\""), std::string::npos)
        << shown.out;
    for (const Track& t : tracks)
        EXPECT_NE(shown.out.find("<- \"" + t.name + "\""), std::string::npos) << t.name;
    // A second prepare is refused: the folder already holds backup data.
    const CliResult again = Cli("-P --yes " + Quote(newName));
    EXPECT_NE(again.out.find("Already contains backupdata for this directory!"), std::string::npos);

    const std::string restored = RestoreByHand(prepared);
    EXPECT_EQ(restored, dir);
    EXPECT_EQ(Names(restored), original);
}

struct PlaceCase {
    const char* title;
    const char* backupTo;
    bool withM3u;
    bool backupFileBlocked;
    const char* storedIn;
    const char* fallbackNote;
};

void PrintTo(const PlaceCase& c, std::ostream* os) {
    *os << c.title;
}

class BackupPlaceE2eTest : public PrepareTest, public ::testing::WithParamInterface<PlaceCase> {};

TEST_P(BackupPlaceE2eTest, TheBackupDataGoesWhereTheSettingsSayOrFallsBack) {
    const PlaceCase& c = GetParam();
    const std::string name = "Artist-Album-2005-GRP";
    const std::string dir = Release(name, LongTracks("artist_with_a_name", 2), true, c.withM3u);
    if (c.backupFileBlocked) MakeDirs(dir + "/_kestrow.backup");
    const std::set<std::string> original = Names(dir);
    Set("prepareBackupTo", c.backupTo);

    const CliResult r = Cli("-P --yes " + name);
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_TRUE(HasLine(r, std::string("Backupdata has been stored in: ") + c.storedIn)) << r.out;
    if (*c.fallbackNote) {
        EXPECT_TRUE(HasLine(r, c.fallbackNote)) << r.out;
    }
    EXPECT_NE(ReadFile(dir + "/" + c.storedIn).find("[V100"), std::string::npos);
    // Every list names the files as they are now.
    std::size_t entries = 0;
    EXPECT_TRUE(ListsMatchDisk(dir, &entries));
    EXPECT_EQ(entries, c.withM3u ? 4u : 2u);

    std::size_t records = 0;
    RestoreByHand(dir, &records);
    EXPECT_EQ(records, 2u);
    std::set<std::string> back = Names(dir), expected = original;
    back.erase("_kestrow.backup");
    expected.erase("_kestrow.backup");
    EXPECT_EQ(back, expected);
}

INSTANTIATE_TEST_SUITE_P(
    Places, BackupPlaceE2eTest,
    ::testing::Values(PlaceCase{"Sfv", "0", true, false, "album.sfv", ""},
                      PlaceCase{"M3u", "1", true, false, "album.m3u", ""},
                      PlaceCase{"BackupFile", "2", true, false, "_kestrow.backup", ""},
                      PlaceCase{"NoPlaylistFallsBackToSfv", "1", false, false, "album.sfv",
                                "Could not write backupdata to any M3U file..."},
                      PlaceCase{"BlockedBackupFileFallsBackToSfv", "2", true, true, "album.sfv",
                                "Could not write backupdata to kestrow.backup..."}),
    [](const auto& info) { return std::string(info.param.title); });

TEST_F(PrepareTest, DotsVaAndTheAreHandledAsTheOptionsSay) {
    Release("The_Beatles-Abbey.Road-1969-GRP", {{"01-my.song.title.mp3", "a"}});
    Release("VA-Hits_Of_2004-GRP", {{"01-hit.mp3", "b"}});
    Set("ReplaceDots", "1");
    Set("RemoveDotsInDirs", "1");
    Set("RemoveDotsInDirsFrontOnly", "1");
    Set("StripTHEtagDirs", "1");
    Set("StripTHEtagDirsMove", "1");
    Set("StripVAtagDirs", "1");
    const CliResult r1 = Cli("-P --yes The_Beatles-Abbey.Road-1969-GRP");
    const CliResult r2 = Cli("-P --yes VA-Hits_Of_2004-GRP");
    EXPECT_EQ(r1.status, 0) << r1.out;
    EXPECT_EQ(r2.status, 0) << r2.out;
    EXPECT_EQ(Names(tmp / "lib"),
              (std::set<std::string>{"Beatles_The-Abbey.Road-1969-GRP", "Hits_Of_2004-GRP"}));
    EXPECT_TRUE(Names(tmp / "lib/Beatles_The-Abbey.Road-1969-GRP").count("01-my,song,title.mp3"));
    EXPECT_EQ(RestoreByHand(tmp / "lib/Beatles_The-Abbey.Road-1969-GRP"),
              tmp / "lib/The_Beatles-Abbey.Road-1969-GRP");
    EXPECT_TRUE(Names(tmp / "lib/The_Beatles-Abbey.Road-1969-GRP").count("01-my.song.title.mp3"));
    EXPECT_EQ(RestoreByHand(tmp / "lib/Hits_Of_2004-GRP"), tmp / "lib/VA-Hits_Of_2004-GRP");
}

TEST_F(PrepareTest, NamesThatCutToTheSameTextAreNumbered) {
    const std::string stem = "01-an_artist_with_a_long_name-the_same_long_song_title_again_and_";
    const std::vector<Track> tracks{{stem + "version_one-grp.mp3", "one"},
                                    {stem + "version_two-grp.mp3", "two"}};
    const std::string dir = Release("Artist-Collide-2003-GRP", tracks);
    const CliResult r = Cli("-P --yes Artist-Collide-2003-GRP");
    EXPECT_EQ(r.status, 0) << r.out;
    const auto mp3 = Mp3Names(dir);
    ASSERT_EQ(mp3.size(), 2u);
    for (const auto& n : mp3) EXPECT_LE(n.size(), 64u) << n;
    // Both still carry their own bytes under the names the SFV list gives them.
    EXPECT_TRUE(ListsMatchDisk(dir));
    RestoreByHand(dir);
    EXPECT_EQ(ReadFile(dir + "/" + tracks[0].name), "one");
    EXPECT_EQ(ReadFile(dir + "/" + tracks[1].name), "two");
}

TEST_F(PrepareTest, SpecialFileRulesDeleteIgnoreRenameAndTruncate) {
    const std::string dir = Release("Rules-2001-GRP", {{"01-a.mp3", "a"}});
    const std::string longTxt = "a_text_file_with_a_name_that_is_much_too_long_for_the_disc_anyway.txt";
    WriteFile(dir + "/Thumbs.db", "cache");
    WriteFile(dir + "/keep_this_file_although_its_name_is_much_too_long_for_any_disc.dat", "keep");
    WriteFile(dir + "/info.txt", "about");
    WriteFile(dir + "/release.nfo", "nfo");
    WriteFile(dir + "/" + longTxt, "text");
    MakeDirs(dir + "/Sub");
    WriteFile(dir + "/Sub/x.txt", "x");
    Set("DeleteTempFiles", "1");
    m_rules = {"DEL: thumbs.db", "IGN: keep_this_file_although_its_name_is_much_too_long_for_any_disc.dat",
               "REN: info.txt -> release.nfo", "TRC: " + longTxt, "REN: no arrow here"};

    const CliResult r = Cli("-P --yes Rules-2001-GRP");
    EXPECT_TRUE(HasLine(r, "== FILE: thumbs.db, ===> DELETE (tempfile)")) << r.out;
    EXPECT_TRUE(HasLine(r, "== FILE: info.txt, ===> release.nf1(tempfile)")) << r.out;
    EXPECT_EQ(CountOf(r.out, "REN: no arrow here"), 1u) << r.out;  // once per job, not per directory
    const auto names = Names(dir);
    EXPECT_FALSE(names.count("Thumbs.db"));
    EXPECT_TRUE(names.count("keep_this_file_although_its_name_is_much_too_long_for_any_disc.dat"));
    EXPECT_EQ(ReadFile(dir + "/release.nf1"), "about");
    EXPECT_EQ(ReadFile(dir + "/release.nfo"), "nfo");
    EXPECT_FALSE(names.count(longTxt));

    // The backup data gives back the cut name and the renamed special file.
    RestoreByHand(dir);
    EXPECT_TRUE(Names(dir).count("info.txt"));
    EXPECT_TRUE(Names(dir).count(longTxt));
}

TEST_F(PrepareTest, RefusedOrUnconfirmedChangesLeaveTheFolderAsItWas) {
    const std::string name = "A_Release_Whose_Name_Is_Certainly_Far_Too_Long_To_Fit-Title-2002-GRP";
    const std::string dir = Release(name, LongTracks("artist", 2));
    WriteFile(dir + "/release.nfo", "nfo");  // no question about a missing NFO to refuse first
    const auto before = Names(dir);
    const std::string sfv = ReadFile(dir + "/album.sfv");

    const CliResult no = Cli("-P --no " + Quote(name));
    EXPECT_EQ(no.status, 1);
    EXPECT_TRUE(HasLine(no, "USER ABORTED!")) << no.out;
    const CliResult unattended = Cli("-P " + Quote(name));
    EXPECT_EQ(unattended.status, 1);
    EXPECT_NE(unattended.err.find("planned changes refused"), std::string::npos) << unattended.err;
    EXPECT_EQ(Names(dir), before);
    EXPECT_EQ(ReadFile(dir + "/album.sfv"), sfv);

    // Without confirmation the plan is applied at once, no answer needed.
    Set("ConfirmChanges", "0");
    const CliResult direct = Cli("-P " + Quote(name));
    EXPECT_FALSE(test::Exists(dir));
    EXPECT_EQ(CountOf(direct.out, "* VERIFY THE SUGGESTED CHANGES"), 0u);
    EXPECT_TRUE(HasLine(direct, "======= DONE! =======")) << direct.out;
}

TEST_F(PrepareTest, CheckAndTagRenamesNothing) {
    const std::string name = "A_Release_Whose_Name_Is_Certainly_Far_Too_Long_To_Fit-Title-2002-GRP";
    const std::string dir = Release(name, LongTracks("artist", 2));
    const auto before = Names(dir);
    const CliResult r = Cli("-C --yes " + Quote(name));
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(Names(dir), before);
    EXPECT_EQ(CountOf(r.out, "== FILE: "), 0u);
}

TEST_F(PrepareTest, AGeneratedPlaylistNamesTheNewFiles) {
    const auto tracks = LongTracks("artist_of_the_playlist", 2);
    const std::string dir = Release("Playlist-2000-GRP", tracks, true, false);
    Set("PrepareGenerateM3U", "1");
    const CliResult r = Cli("-P --yes Playlist-2000-GRP");
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_TRUE(HasLine(r, "An M3U File will be generated")) << r.out;
    const std::string playlist = ReadFile(dir + "/album.m3u");
    for (const auto& n : Mp3Names(dir)) EXPECT_NE(playlist.find(n + "\r\n"), std::string::npos) << n;
    EXPECT_EQ(CountOf(playlist, ".mp3"), 2u);
}

TEST_F(PrepareTest, SubdirectoriesArePreparedAfterTheirParentAndDiscsNeverMeet) {
    const std::string release = "Multi_Disc_Artist_With_A_Long_Name-A_Double_Album_Deluxe_Edition-2006-GRP";
    const std::string disc = "Multi_Disc_Artist_With_A_Long_Name-A_Double_Album_Deluxe_Edition_Disc_";
    Release(release + "/" + disc + "One-2006-GRP", LongTracks("disc_one", 2));
    Release(release + "/" + disc + "Two-2006-GRP", LongTracks("disc_two", 2));
    WriteFile(tmp / ("lib/" + release + "/release.nfo"), "nfo");

    const CliResult r = Cli("-P --yes " + Quote(release));
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(CountOf(r.out, "Could not rename dir "), 0u) << r.out;
    const std::string top = OnlyEntry(tmp / "lib");
    ASSERT_LE(top.size(), 64u);
    const auto discs = Names(tmp / ("lib/" + top));
    std::vector<std::string> dirs;
    for (const auto& n : discs) {
        if (platform::Stat(tmp / ("lib/" + top + "/" + n)) == platform::PathKind::Directory)
            dirs.push_back(n);
    }
    ASSERT_EQ(dirs.size(), 2u);
    for (const auto& d : dirs) {
        EXPECT_LE(d.size(), 64u) << d;
        EXPECT_NE(r.out.find("Processing subdir " + tmp / ("lib/" + top + "/")), std::string::npos);
        RestoreByHand(tmp / ("lib/" + top + "/" + d));
    }
    EXPECT_EQ(RestoreByHand(tmp / ("lib/" + top)), tmp / ("lib/" + release));
    EXPECT_EQ(Names(tmp / ("lib/" + release)),
              (std::set<std::string>{disc + "One-2006-GRP", disc + "Two-2006-GRP", "release.nfo",
                                     "_kestrow.backup"}));
}

// A prepare killed before any one of its renames, deletions or list writes leaves each file under
// its old or its new name, every list old or new, and backup data for every rename already done:
// a restore gives every original name back.
TEST_F(PrepareTest, APrepareKilledBetweenAnyTwoOperationsLeavesEveryNameRestorable) {
    const std::string name = "Killed_Artist-An_Album_Whose_Long_Title_Makes_It_Too_Long-2010-GRP";
    const auto tracks = LongTracks("killed_artist_name", 4);
    Set("prepareBackupTo", "0");
    Set("ConfirmChanges", "0");
    Set("DeleteTempFiles", "1");
    m_rules = {"DEL: thumbs.db", "REN: info.txt -> release.nfo"};
    const std::string settings = WriteSettings();
    auto isTemp = [](const std::string& n) { return n.find(".kestrow-") != std::string::npos; };

    bool finished = false;
    int killedRuns = 0;
    for (int killAt = 1; killAt <= 60 && !finished; ++killAt) {
        ASSERT_EQ(std::system(("rm -rf " + Quote(tmp / "lib") + " && mkdir " + Quote(tmp / "lib")).c_str()),
                  0);
        const std::string dir = Release(name, tracks);
        WriteFile(dir + "/Thumbs.db", "cache");
        WriteFile(dir + "/info.txt", "about");
        WriteFile(dir + "/release.nfo", "nfo");
        const std::string oldSfv = ReadFile(dir + "/album.sfv"), oldM3u = ReadFile(dir + "/album.m3u");
        std::set<std::string> original = Names(dir);

        const pid_t pid = ::fork();
        if (pid == 0) {
            const int null = ::open("/dev/null", O_RDWR);
            ::dup2(null, 0);
            ::dup2(null, 1);
            ::dup2(null, 2);
            ::setenv("LD_PRELOAD", KESTROW_KILLSHIM, 1);
            ::setenv("KESTROW_KILL_AT", std::to_string(killAt).c_str(), 1);
            if (::chdir((tmp / "lib").c_str()) != 0) ::_exit(3);
            ::execl(m_cli.c_str(), m_cli.c_str(), "-P", "--settings", settings.c_str(), name.c_str(),
                    static_cast<char*>(nullptr));
            ::_exit(4);
        }
        int status = 0;
        ::waitpid(pid, &status, 0);
        finished = WIFEXITED(status);
        if (!finished) {
            ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << "run " << killAt;
            ++killedRuns;
        }

        const bool dirRenamed = !test::Exists(dir);
        const std::string folder = dirRenamed ? tmp / ("lib/" + OnlyEntry(tmp / "lib")) : dir;
        ListedDir listed(folder);
        listed.LoadLists();
        BackupData data;
        test::RecordingReporter quiet(1);
        findBackupData(listed, data, false, quiet);
        const bool stored = !data.NoBackupData();
        std::map<std::string, std::string> newOf;
        for (const auto& rec : data.Records()) newOf[rec.originalName] = rec.newName;

        // Lists: the old text, or the whole new one.
        const std::string sfv = ReadFile(folder + "/album.sfv"), m3u = ReadFile(folder + "/album.m3u");
        if (!stored) {
            EXPECT_EQ(sfv, oldSfv) << "run " << killAt;
        }
        if (m3u != oldM3u) {
            for (const Track& t : tracks) {
                EXPECT_NE(m3u.find(newOf[t.name] + "\r\n"), std::string::npos);
            }
        }
        if (stored) {
            EXPECT_NE(sfv.find("[V100"), std::string::npos);
            for (const Track& t : tracks) {
                EXPECT_NE(sfv.find(newOf[t.name] + " "), std::string::npos);
            }
        }
        // Every file under exactly one of its names; nothing renamed without its record stored.
        const auto names = Names(folder);
        for (const std::string& n : original) {
            const bool isOld = names.count(n) > 0;
            const bool isNew = newOf.count(n) > 0 && names.count(newOf[n]) > 0;
            if (n == "Thumbs.db") continue;  // deleted on purpose, last of all
            EXPECT_TRUE(isOld != isNew) << "run " << killAt << ": " << n;
        }
        if (dirRenamed) {
            EXPECT_TRUE(stored && data.HasDirectoryRecord()) << "run " << killAt;
        }
        if (!names.count("Thumbs.db")) {
            // Deletions come after every rename.
            for (const auto& [from, to] : newOf) {
                EXPECT_TRUE(names.count(to) || to == OnlyEntry(tmp / "lib"))
                    << "run " << killAt << ": " << from;
            }
        }

        // A restore from the stored data gives every original name back.
        for (const auto& rec : data.Records()) {
            if (rec.kind == BackupRecordKind::Directory) continue;
            if (names.count(rec.newName) && !names.count(rec.originalName)) {
                ASSERT_TRUE(
                    platform::MoveNoReplace(folder + "/" + rec.newName, folder + "/" + rec.originalName)
                        .ok());
            }
        }
        if (dirRenamed) {
            ASSERT_TRUE(platform::MoveNoReplace(folder, dir).ok());
        }
        std::set<std::string> back;
        for (const auto& n : Names(dir)) {
            if (!isTemp(n) && n != "_kestrow.backup") back.insert(n);
        }
        if (!back.count("Thumbs.db")) original.erase("Thumbs.db");
        EXPECT_EQ(back, original) << "run " << killAt;
    }
    EXPECT_TRUE(finished);
    // Store, two list writes, the directory, five renames and a deletion at least.
    EXPECT_GE(killedRuns, 9);
}

// Multibyte and invalid UTF-8, case twins, a trailing dot, a cut name meeting a subdirectory.
TEST_F(PrepareTest, AwkwardNamesCutToASmallMaximumComeBackWhole) {
    const std::vector<Track> tracks{
        {"01-\xC3\xA9t\xC3\xA9_\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E_song.mp3", "utf8"},
        {"02-bad\xFF\xFE_bytes_in_name.mp3", "invalid"},
        {"03-Same_Name_Twice.mp3", "upper"},
        {"03-same_name_twice.mp3", "lower"},
        {"notes_without_extension_but_a_trailing_dot.", "dot"},
        {"abcdefghij", "meets the subdirectory"},
    };
    const std::string dir = Release("Awkward-2004-GRP", tracks);
    MakeDirs(dir + "/abcdefg-");
    WriteFile(dir + "/abcdefg-/in.txt", "x");
    WriteFile(dir + "/release.nfo", "nfo");
    const std::set<std::string> original = Names(dir);
    Set("TruncateMaxChars", "8");
    Set("prepareBackupTo", "0");

    const CliResult r = Cli("-P --yes Awkward-2004-GRP");
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_TRUE(HasLine(r, "======= DONE! =======")) << r.out;
    const std::string prepared = tmp / ("lib/" + OnlyEntry(tmp / "lib"));
    ASSERT_NE(prepared, dir);
    EXPECT_TRUE(ListsMatchDisk(prepared)) << r.out;
    for (const Track& t : tracks) EXPECT_FALSE(Names(prepared).count(t.name)) << t.name << "\n" << r.out;
    EXPECT_EQ(ReadFile(prepared + "/abcdefg-/in.txt"), "x");

    EXPECT_EQ(RestoreByHand(prepared), dir);
    EXPECT_EQ(Names(dir), original);
    for (const Track& t : tracks) EXPECT_EQ(ReadFile(dir + "/" + t.name), t.bytes) << t.name;
}

void PrepareTest::ExpectCleanCheck(const std::string& folder, const std::string& name) {
    EXPECT_TRUE(ListsMatchDisk(folder)) << name;
    // The backup data now held makes the check end early (status 1) after the files are verified.
    const CliResult check = Cli("-C --yes " + Quote(name));
    EXPECT_EQ(CountOf(check.out, " ===> CRC OK"), CountOf(check.out, "== CRC checking: ")) << check.out;
    EXPECT_EQ(CountOf(check.out, "<---*WARNING*!!"), 0u) << check.out;
}

// A directory whose lists cannot all take their new entries keeps every name, every list and no
// backup data; a playlist generated to hold the block is written once, whole, with the rest.
struct LossCase {
    const char* title;
    const char* backupTo;
    bool generate;
    const char* readOnly;  // list made read-only, or ""
    bool splitLine;        // the SFV holds a line the reader has to split
    bool applied;          // else stopped before storing anything
};

void PrintTo(const LossCase& c, std::ostream* os) {
    *os << c.title;
}

class LossE2eTest : public PrepareTest, public ::testing::WithParamInterface<LossCase> {};

TEST_P(LossE2eTest, ListsAreFoundWritableBeforeTheBackupDataIsStored) {
    const LossCase& c = GetParam();
    const std::string name = "Losses-2007-GRP";
    const std::string dir = Release(name, LongTracks("an_artist_with_a_long_name", 2), true, !c.generate);
    WriteFile(dir + "/release.nfo", "nfo");
    if (c.splitLine) {
        WriteFile(dir + "/album.sfv", "; " + std::string(5000, 'x') + "\r\n" + ReadFile(dir + "/album.sfv"));
    }
    if (*c.readOnly) {
        ASSERT_EQ(::chmod((dir + "/" + c.readOnly).c_str(), 0444), 0);
    }
    const std::set<std::string> before = Names(dir);
    const std::string sfv = ReadFile(dir + "/album.sfv");
    Set("prepareBackupTo", c.backupTo);
    Set("PrepareGenerateM3U", c.generate ? "1" : "0");

    const CliResult r = Cli("-P --yes " + name);
    EXPECT_EQ(CountOf(r.out, "no changes made!"), c.applied ? 0u : 1u) << r.out;
    if (c.applied) {
        EXPECT_EQ(r.status, 0) << r.out;
        EXPECT_TRUE(HasLine(r, "Backupdata has been stored in: album.m3u")) << r.out;
        EXPECT_EQ(CountOf(r.out, "Could not save to file "), 0u) << r.out;
        EXPECT_EQ(CountOf(ReadFile(dir + "/album.m3u"), "[V100"), 1u);
        ExpectCleanCheck(dir, name);
    } else {
        EXPECT_EQ(r.status, 1) << r.out;
        EXPECT_TRUE(HasLine(r, "* Progress in dir " + dir + "/ ABORTED, no changes made!")) << r.out;
        EXPECT_EQ(CountOf(r.out, "Backupdata has been stored in: "), 0u) << r.out;
        EXPECT_EQ(CountOf(r.out, "Applying Changes.... "), 0u) << r.out;
        EXPECT_EQ(Names(dir), before);
        EXPECT_EQ(ReadFile(dir + "/album.sfv"), sfv);
    }
    if (*c.readOnly) ::chmod((dir + "/" + c.readOnly).c_str(), 0644);
}

INSTANTIATE_TEST_SUITE_P(
    Losses, LossE2eTest,
    ::testing::Values(LossCase{"ReadOnlyPlaylist", "0", false, "album.m3u", false, false},
                      LossCase{"SplitLineInTheSfv", "2", false, "", true, false},
                      LossCase{"GeneratedPlaylistTakesTheBlock", "1", true, "", false, true},
                      LossCase{"ReadOnlySfvFallsBackToTheGeneratedPlaylist", "0", true, "album.sfv", false,
                               false}),
    [](const auto& info) { return std::string(info.param.title); });

// Every list that names a file follows its rename: several lists, a case twin beside a listed
// file, a special-file rule.
struct ListCase {
    const char* title;
    std::vector<std::string> sfvLists;
    std::vector<std::string> m3uLists;
    bool caseTwin;
    bool specialRename;
};

void PrintTo(const ListCase& c, std::ostream* os) {
    *os << c.title;
}

class ListE2eTest : public PrepareTest, public ::testing::WithParamInterface<ListCase> {};

TEST_P(ListE2eTest, EveryListNamesTheFilesAsTheyAreNow) {
    const ListCase& c = GetParam();
    const std::string name = "Lists-2006-GRP";
    const std::string dir = tmp / ("lib/" + name);
    MakeDirs(dir);
    std::vector<Track> tracks{{"01-a.mp3", "first"}, {"04-song_long_name-grp.mp3", "listed"}};
    std::string sfv, m3u;
    for (const Track& t : tracks) {
        WriteFile(dir + "/" + t.name, t.bytes);
        sfv += t.name + " " + CrcOf(t.bytes) + "\r\n";
        m3u += t.name + "\r\n";
    }
    for (const auto& list : c.sfvLists) WriteFile(dir + "/" + list, sfv);
    for (const auto& list : c.m3uLists) WriteFile(dir + "/" + list, m3u);
    WriteFile(dir + "/release.nfo", "nfo");
    if (c.caseTwin) WriteFile(dir + "/04-SONG_long_name-grp.mp3", "not listed");
    if (c.specialRename) {
        Set("DeleteTempFiles", "1");
        m_rules = {"REN: 01-a.mp3 -> 01-renamed.mp3"};
    }
    Set("TruncateMaxChars", "20");

    const CliResult r = Cli("-P --yes " + name);
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_TRUE(HasLine(r, "======= DONE! =======")) << r.out;
    EXPECT_FALSE(Names(dir).count("04-song_long_name-grp.mp3"));
    for (const auto& list : c.sfvLists)
        EXPECT_EQ(CountOf(ReadFile(dir + "/" + list), "04-song_long_name"), 0u);
    for (const auto& list : c.m3uLists)
        EXPECT_EQ(CountOf(ReadFile(dir + "/" + list), "04-song_long_name"), 0u);
    if (c.specialRename) {
        EXPECT_TRUE(Names(dir).count("01-renamed.mp3"));
        EXPECT_EQ(CountOf(ReadFile(dir + "/" + c.sfvLists[0]), "01-renamed.mp3 "), 1u);
    }
    ExpectCleanCheck(dir, name);
    // The backup data gives back every name, the special rename's included.
    RestoreByHand(dir);
    for (const Track& t : tracks) EXPECT_EQ(ReadFile(dir + "/" + t.name), t.bytes) << t.name;
}

INSTANTIATE_TEST_SUITE_P(
    Lists, ListE2eTest,
    ::testing::Values(ListCase{"TwoSfvLists", {"00-a.sfv", "00-b.sfv"}, {"00-a.m3u"}, false, false},
                      ListCase{"TwoPlaylists", {"00-a.sfv"}, {"00-a.m3u", "00-b.m3u"}, false, false},
                      ListCase{"CaseTwinBesideTheListedFile", {"00-a.sfv"}, {"00-a.m3u"}, true, false},
                      ListCase{"SpecialFileRename", {"00-a.sfv"}, {"00-a.m3u"}, false, true}),
    [](const auto& info) { return std::string(info.param.title); });

// Ctrl-C while the files are being checked: the directory is neither changed nor tagged.
TEST_F(PrepareTest, AnAbortBeforeTheApplyChangesNothing) {
    const std::string name = "Abort-2010-GRP";
    const std::string dir = Release(name, LongTracks("aborted_artist_name", 3));
    WriteFile(dir + "/release.nfo", "nfo");
    Set("ConfirmChanges", "0");
    Set("GeneratePrepareTagline", "1");
    const std::set<std::string> before = Names(dir);
    const std::string sfv = ReadFile(dir + "/album.sfv");

    const CliResult r =
        test::RunCli(tmp, "--color=never --settings " + Quote(WriteSettings()) + " -P " + name,
                     "LD_PRELOAD=" + Quote(KESTROW_KILLSHIM) +
                         " KESTROW_KILL_SIGNAL=INT KESTROW_KILL_ON_OPEN=_it_is_3-grp.mp3");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(CountOf(r.out, "USER ABORTED!"), 1u) << r.out;
    EXPECT_EQ(CountOf(r.out, "Backupdata has been stored in: "), 0u) << r.out;
    EXPECT_EQ(Names(dir), before);
    EXPECT_EQ(ReadFile(dir + "/album.sfv"), sfv);
}

// Ctrl-C during the apply: the operation under way finishes, nothing after it starts, and the
// backup data and lists describe exactly the renames done. Interrupted at every operation in turn.
class AbortE2eTest : public PrepareTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(AbortE2eTest, AnAbortInTheApplyLeavesDataThatDescribesWhatWasDone) {
    const std::string name = "Abort-2010-GRP";
    const auto tracks = LongTracks("aborted_artist_name", 3);
    Set("prepareBackupTo", GetParam());
    Set("ConfirmChanges", "0");
    Set("GeneratePrepareTagline", "1");
    const std::string settings = WriteSettings();

    bool finished = false;
    int partial = 0;
    for (int at = 1; at <= 40 && !finished; ++at) {
        SCOPED_TRACE("interrupted at call " + std::to_string(at));
        ASSERT_EQ(std::system(("rm -rf " + Quote(tmp / "lib") + " && mkdir " + Quote(tmp / "lib")).c_str()),
                  0);
        const std::string dir = Release(name, tracks);
        WriteFile(dir + "/release.nfo", "nfo");
        const std::string oldSfv = ReadFile(dir + "/album.sfv");
        const CliResult r =
            test::RunCli(tmp, "--color=never --settings " + Quote(settings) + " -P " + name,
                         "LD_PRELOAD=" + Quote(KESTROW_KILLSHIM) +
                             " KESTROW_KILL_SIGNAL=INT KESTROW_KILL_AT=" + std::to_string(at));
        finished = CountOf(r.out, "USER ABORTED!") == 0;
        if (finished) {
            EXPECT_EQ(r.status, 0) << r.out;
            continue;
        }
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(CountOf(r.out, "USER ABORTED!"), 1u) << r.out;
        for (const auto& n : Names(dir)) EXPECT_EQ(n.find("[KSTW]"), std::string::npos) << n;

        ListedDir listed(dir);
        listed.LoadLists();
        BackupData data;
        test::RecordingReporter quiet(1);
        findBackupData(listed, data, false, quiet);
        std::map<std::string, std::string> newOf;
        for (const auto& rec : data.Records()) newOf[rec.originalName] = rec.newName;
        if (data.NoBackupData()) {
            EXPECT_EQ(ReadFile(dir + "/album.sfv"), oldSfv) << r.out;
        }
        std::size_t renamed = 0;
        for (const Track& t : tracks) {
            const bool recorded = newOf.count(t.name) > 0;
            EXPECT_EQ(test::Exists(dir + "/" + t.name), !recorded) << t.name;
            if (recorded) {
                EXPECT_TRUE(test::Exists(dir + "/" + newOf[t.name])) << t.name;
                ++renamed;
            }
        }
        EXPECT_EQ(CountOf(r.out, "======= DONE! ======="), renamed == tracks.size() ? 1u : 0u) << r.out;
        if (renamed < tracks.size()) ++partial;
        EXPECT_TRUE(ListsMatchDisk(dir)) << r.out;
    }
    EXPECT_TRUE(finished);
    // Interrupted in the store, the list writes or a rename before the last one.
    EXPECT_GE(partial, 4);
}

INSTANTIATE_TEST_SUITE_P(Places, AbortE2eTest, ::testing::Values("0", "2"), [](const auto& info) {
    return std::string(info.param[0] == '0' ? "Sfv" : "BackupFile");
});

// The first SFV list read-only: the block goes into the second only; Windows paths stay as written.
TEST_F(PrepareTest, TwoSfvListsTakeTheBlockOnceAndKeepWindowsPaths) {
    const std::string name = "TwoLists-2008-GRP";
    const auto tracks = LongTracks("an_artist_with_a_long_name", 2);
    const std::string dir = Release(name, tracks, true, true, "b_second");
    WriteFile(dir + "/release.nfo", "nfo");
    MakeDirs(dir + "/cd1");
    WriteFile(dir + "/cd1/track.mp3", "in cd1");
    const std::string first = "; first\r\ncd1\\track.mp3 " + CrcOf("in cd1") + "\r\n";
    WriteFile(dir + "/a_first.sfv", first);
    ASSERT_EQ(::chmod((dir + "/a_first.sfv").c_str(), 0444), 0);
    const std::set<std::string> original = Names(dir);
    Set("prepareBackupTo", "0");

    const CliResult r = Cli("-P --yes " + name);
    EXPECT_TRUE(HasLine(r, "Backupdata has been stored in: b_second.sfv")) << r.out;
    EXPECT_TRUE(HasLine(r, "======= DONE! =======")) << r.out;
    EXPECT_EQ(CountOf(r.out, "Could not save to file "), 0u) << r.out;
    EXPECT_EQ(ReadFile(dir + "/a_first.sfv"), first);
    const std::string second = ReadFile(dir + "/b_second.sfv");
    EXPECT_EQ(CountOf(second, "[V100"), 1u);
    for (const auto& n : Mp3Names(dir)) EXPECT_NE(second.find("\n" + n + " "), std::string::npos) << n;
    RestoreByHand(dir);
    EXPECT_EQ(Names(dir), original);
    ::chmod((dir + "/a_first.sfv").c_str(), 0644);
}

}  // namespace
}  // namespace kestrow
