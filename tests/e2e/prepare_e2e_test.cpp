// kestrow-cli -P end to end on release folders built in a temporary directory. Each scenario's
// output, the folders it leaves (with the entries of every list) and the restore that follows are
// a golden transcript under tests/golden/prepare; the restore must give every name and byte back.
// Killed and interrupted prepares are checked by their invariants at every operation.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "backup/backupfinder.h"
#include "content/integrity.h"
#include "platform/text.h"
#include "tests/support/recordingreporter.h"
#include "tests/support/releasefixture.h"

namespace kestrow {
namespace {

using test::CliResult;
using test::MakeDirs;
using test::Names;
using test::Quote;
using test::ReadFile;
using test::Track;
using test::WriteFile;

std::size_t CountOf(const std::string& out, const std::string& piece) {
    std::size_t n = 0;
    for (auto p = out.find(piece); p != std::string::npos; p = out.find(piece, p + 1)) ++n;
    return n;
}

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

// Whether every SFV entry names a file with that CRC and every playlist entry a file on disk.
bool ListsMatchDisk(const std::string& folder) {
    ListedDir dir(folder);
    dir.LoadLists();
    bool ok = true;
    for (const SfvList& list : dir.sfvLists) {
        for (const ListEntry& e : list.Entries()) ok = ok && VerifyFile(dir, e.Text(), e.Crc()) == 1;
    }
    for (const M3uList& list : dir.m3uLists) {
        for (const ListEntry& e : list.Entries()) ok = ok && dir.GetFile(e.Text()) != nullptr;
    }
    return ok;
}

// The one entry of `parent`, e.g. a release folder under its new name.
std::string OnlyEntry(const std::string& parent) {
    const auto names = Names(parent);
    return names.size() == 1 ? *names.begin() : std::string();
}

class PrepareTest : public test::CliFixture {
protected:
    PrepareTest() {
        // Taglines are another step's business; these runs leave them out.
        settings = {{"lastProcessOption", "1"}, {"PrepareCRCCheck", "1"}, {"GeneratePrepareTagline", "0"},
                    {"ConfirmChanges", "1"},    {"prepareBackupTo", "2"}, {"Truncate", "1"},
                    {"TruncateMaxChars", "64"}, {"preserveGrptag", "1"},  {"preserveRlsyear", "0"},
                    {"RestoreTruncated", "1"},  {"RestoreCRCCheck", "1"}, {"GenerateRestoreTagline", "0"}};
    }
    void Set(const std::string& key, const std::string& value) { settings[key] = value; }

    // A release under lib/ with its tracks listed in an SFV list and, optionally, a playlist.
    std::string Release(const std::string& relative, const std::vector<Track>& tracks, bool sfv = true,
                        bool m3u = true, const std::string& listTitle = "album") {
        test::WriteRelease(Lib(relative), tracks, listTitle, sfv, m3u);
        return Lib(relative);
    }

    // Runs the program and adds the run to the transcript.
    CliResult Run(const std::string& args, const std::string& env = "") {
        const CliResult r = Cli(args, env);
        transcript += "$ kestrow-cli " + args + "\n" + r.out + (r.err.empty() ? "" : "stderr: " + r.err) +
                      "exit " + std::to_string(r.status) + "\n";
        return r;
    }

    // Every folder and file under lib/, list files with their entries, into the transcript.
    void Snapshot() {
        transcript += "lib/:\n";
        for (const auto& [path, bytes] : test::Tree(tmp / "lib")) {
            transcript += "  " + path + (bytes == "/" ? "/" : "") + "\n";
            if (!platform::IEndsWith(path, ".sfv") && !platform::IEndsWith(path, ".m3u")) continue;
            std::istringstream in(bytes);
            for (std::string line; std::getline(in, line);) {
                if (!line.empty() && line[0] != ';' && line[0] != '#') transcript += "    | " + line + "\n";
            }
            if (bytes.find("[V100") != std::string::npos) transcript += "    | (backup data)\n";
        }
    }

    // Prepares with `args`, shows the folders and the backup data, restores every release and
    // expects every name, byte and list entry back, but for the `ignored` paths.
    void PrepareAndRestore(const std::string& args, const std::set<std::string>& ignored = {}) {
        const test::TreeMap before = test::Tree(tmp / "lib");
        Run("-P --yes " + args);
        Snapshot();
        std::string all;
        for (const auto& n : Names(tmp / "lib")) {
            all += " " + Quote(n);
            transcript +=
                "lists of " + n + (ListsMatchDisk(Lib(n)) ? " match" : " do not match") + " the disk\n";
        }
        Run("--show-backup" + all);
        Run("-R --yes" + all);
        auto comparable = [&](test::TreeMap tree) {
            for (const std::string& path : ignored) tree.erase(path);
            return tree;
        };
        EXPECT_EQ(test::Diff(comparable(test::Tree(tmp / "lib", true)), comparable(before)), "");
    }

    void Golden() {
        test::ExpectGolden(
            std::string("prepare/") + testing::UnitTest::GetInstance()->current_test_info()->name(),
            test::ReplaceAll(transcript, tmp.path(), "<TMP>"));
    }

    std::string transcript;
};

// The worked example: the folder keeps its tag and year, every name fits, the lists follow, and a
// second prepare is refused while the folder holds backup data.
TEST_F(PrepareTest, AnOverLongReleaseKeepsItsTagAndYearAndComesBackWhole) {
    const std::string name =
        "The_Extraordinarily_Long_Artist_Name-An_Exceptionally_Long_Album_Title-2009-GRP";
    const std::string list = "00-the_extraordinarily_long_artist_name-an_exceptionally_long_title-2009-grp";
    const std::string dir =
        Release(name, LongTracks("the_extraordinarily_long_artist_name", 3), true, true, list);
    WriteFile(dir + "/" + list + ".nfo", "nfo");
    Set("prepareBackupTo", "0");
    Run("-P --yes " + Quote(name));
    Run("-P --yes " + Quote(OnlyEntry(tmp / "lib")));
    Run("-R --yes " + Quote(OnlyEntry(tmp / "lib")));
    PrepareAndRestore(Quote(name));
    Golden();
}

// Each place the settings name for the backup data, and the fall-backs when it cannot be used.
TEST_F(PrepareTest, TheBackupDataGoesWhereTheSettingsSayOrFallsBack) {
    const struct {
        const char* backupTo;
        bool sfv, m3u;
        bool blocked;  // a folder where the backup file would go
    } places[] = {{"0", true, true, false},  {"1", true, true, false},  {"2", true, true, false},
                  {"1", true, false, false}, {"0", false, true, false}, {"2", true, true, true}};
    for (const auto& p : places) {
        std::filesystem::remove_all(tmp / "lib");
        const std::string dir =
            Release("Artist-Album-2005-GRP", LongTracks("artist_with_a_name", 2), p.sfv, p.m3u);
        if (p.blocked) MakeDirs(dir + "/_kestrow.backup");
        Set("prepareBackupTo", p.backupTo);
        PrepareAndRestore("Artist-Album-2005-GRP");
    }
    Golden();
}

TEST_F(PrepareTest, DotsVaAndTheAreHandledAsTheOptionsSay) {
    Release("The_Beatles-Abbey.Road-1969-GRP", {{"01-my.song.title.mp3", "a"}});
    Release("VA-Hits_Of_2004-GRP", {{"01-hit.mp3", "b"}});
    for (const char* key : {"ReplaceDots", "RemoveDotsInDirs", "RemoveDotsInDirsFrontOnly", "StripTHEtagDirs",
                            "StripTHEtagDirsMove", "StripVAtagDirs"})
        Set(key, "1");
    PrepareAndRestore("The_Beatles-Abbey.Road-1969-GRP VA-Hits_Of_2004-GRP");
    Golden();
}

TEST_F(PrepareTest, NamesThatCutToTheSameTextAreNumbered) {
    const std::string stem = "01-an_artist_with_a_long_name-the_same_long_song_title_again_and_";
    Release("Artist-Collide-2003-GRP",
            {{stem + "version_one-grp.mp3", "one"}, {stem + "version_two-grp.mp3", "two"}});
    PrepareAndRestore("Artist-Collide-2003-GRP");
    Golden();
}

// The rules are reported once per job; the deleted file is the only thing a restore cannot bring
// back.
TEST_F(PrepareTest, SpecialFileRulesDeleteIgnoreRenameAndTruncate) {
    const std::string dir = Release("Rules-2001-GRP", {{"01-a.mp3", "a"}});
    const std::string longTxt = "a_text_file_with_a_name_that_is_much_too_long_for_the_disc_anyway.txt";
    WriteFile(dir + "/Thumbs.db", "cache");
    WriteFile(dir + "/keep_this_file_although_its_name_is_much_too_long_for_any_disc.dat", "keep");
    WriteFile(dir + "/info.txt", "about");
    WriteFile(dir + "/release.nfo", "nfo");
    WriteFile(dir + "/" + longTxt, "text");
    WriteFile(dir + "/Sub/x.txt", "x");
    Set("DeleteTempFiles", "1");
    rules = {"DEL: thumbs.db", "IGN: keep_this_file_although_its_name_is_much_too_long_for_any_disc.dat",
             "REN: info.txt -> release.nfo", "TRC: " + longTxt, "REN: no arrow here"};
    PrepareAndRestore("Rules-2001-GRP", {"Rules-2001-GRP/Thumbs.db"});
    Golden();
}

// Refused, unattended without an answer, check only: nothing changes. Without confirmation the
// plan is applied at once.
TEST_F(PrepareTest, RefusedOrUnconfirmedChangesLeaveTheFolderAsItWas) {
    const std::string name = "A_Release_Whose_Name_Is_Certainly_Far_Too_Long_To_Fit-Title-2002-GRP";
    const std::string dir = Release(name, LongTracks("artist", 2));
    WriteFile(dir + "/release.nfo", "nfo");  // no question about a missing NFO to refuse first
    const test::TreeMap before = test::Tree(tmp / "lib");
    Run("-P --no " + Quote(name));
    Run("-P " + Quote(name));
    Run("-C --yes " + Quote(name));
    EXPECT_EQ(test::Diff(test::Tree(tmp / "lib"), before), "");
    Set("ConfirmChanges", "0");
    Run("-P " + Quote(name));
    Snapshot();
    Golden();
}

TEST_F(PrepareTest, AGeneratedPlaylistNamesTheNewFiles) {
    Release("Playlist-2000-GRP", LongTracks("artist_of_the_playlist", 2), true, false);
    Set("PrepareGenerateM3U", "1");
    PrepareAndRestore("Playlist-2000-GRP", {"Playlist-2000-GRP/album.m3u"});
    Golden();
}

TEST_F(PrepareTest, SubdirectoriesArePreparedAfterTheirParentAndDiscsNeverMeet) {
    const std::string release = "Multi_Disc_Artist_With_A_Long_Name-A_Double_Album_Deluxe_Edition-2006-GRP";
    const std::string disc = "Multi_Disc_Artist_With_A_Long_Name-A_Double_Album_Deluxe_Edition_Disc_";
    Release(release + "/" + disc + "One-2006-GRP", LongTracks("disc_one", 2));
    Release(release + "/" + disc + "Two-2006-GRP", LongTracks("disc_two", 2));
    WriteFile(Lib(release + "/release.nfo"), "nfo");
    PrepareAndRestore(Quote(release));
    Golden();
}

// Multibyte and invalid UTF-8, case twins, a trailing dot, a cut name meeting a subdirectory.
TEST_F(PrepareTest, AwkwardNamesCutToASmallMaximumComeBackWhole) {
    const std::string dir =
        Release("Awkward-2004-GRP",
                {
                    {"01-\xC3\xA9t\xC3\xA9_\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E_song.mp3", "utf8"},
                    {"02-bad\xFF\xFE_bytes_in_name.mp3", "invalid"},
                    {"03-Same_Name_Twice.mp3", "upper"},
                    {"03-same_name_twice.mp3", "lower"},
                    {"notes_without_extension_but_a_trailing_dot.", "dot"},
                    {"abcdefghij", "meets the subdirectory"},
                });
    WriteFile(dir + "/abcdefg-/in.txt", "x");
    WriteFile(dir + "/release.nfo", "nfo");
    Set("TruncateMaxChars", "8");
    Set("prepareBackupTo", "0");
    PrepareAndRestore("Awkward-2004-GRP");
    Golden();
}

// A directory whose lists cannot all take their new entries keeps every name, every list and no
// backup data; a playlist generated to hold the block is written once, whole, with the rest.
TEST_F(PrepareTest, ListsAreFoundWritableBeforeTheBackupDataIsStored) {
    const struct {
        const char* backupTo;
        bool generate;
        const char* readOnly;  // list made read-only, or ""
        bool splitLine;        // the SFV holds a line the reader has to split
    } cases[] = {{"0", false, "album.m3u", false},
                 {"2", false, "", true},
                 {"1", true, "", false},
                 {"0", true, "album.sfv", false}};
    for (const auto& c : cases) {
        std::filesystem::remove_all(tmp / "lib");
        const std::string dir =
            Release("Losses-2007-GRP", LongTracks("an_artist_with_a_long_name", 2), true, !c.generate);
        WriteFile(dir + "/release.nfo", "nfo");
        if (c.splitLine)
            WriteFile(dir + "/album.sfv",
                      "; " + std::string(5000, 'x') + "\r\n" + ReadFile(dir + "/album.sfv"));
        if (*c.readOnly) {
            ASSERT_EQ(::chmod((dir + "/" + c.readOnly).c_str(), 0444), 0);
        }
        Set("prepareBackupTo", c.backupTo);
        Set("PrepareGenerateM3U", c.generate ? "1" : "0");
        Run("-P --yes Losses-2007-GRP");
        Snapshot();
        Run("-C --yes Losses-2007-GRP");
        if (*c.readOnly) ::chmod((dir + "/" + c.readOnly).c_str(), 0644);
    }
    Golden();
}

// Every list that names a file follows its rename: several lists, a case twin beside a listed
// file, a special-file rule.
TEST_F(PrepareTest, EveryListNamesTheFilesAsTheyAreNow) {
    const struct {
        std::vector<std::string> sfvLists, m3uLists;
        bool caseTwin, specialRename;
    } cases[] = {{{"00-a.sfv", "00-b.sfv"}, {"00-a.m3u"}, false, false},
                 {{"00-a.sfv"}, {"00-a.m3u", "00-b.m3u"}, false, false},
                 {{"00-a.sfv"}, {"00-a.m3u"}, true, false},
                 {{"00-a.sfv"}, {"00-a.m3u"}, false, true}};
    Set("TruncateMaxChars", "20");
    Set("DeleteTempFiles", "1");
    for (const auto& c : cases) {
        std::filesystem::remove_all(tmp / "lib");
        const std::string dir = Lib("Lists-2006-GRP");
        for (const auto& list : c.sfvLists)
            test::WriteRelease(dir, {{"01-a.mp3", "first"}, {"04-song_long_name-grp.mp3", "listed"}},
                               list.substr(0, 4), true, false);
        for (const auto& list : c.m3uLists)
            test::WriteRelease(dir, {{"01-a.mp3", "first"}, {"04-song_long_name-grp.mp3", "listed"}},
                               list.substr(0, 4), false, true);
        WriteFile(dir + "/release.nfo", "nfo");
        if (c.caseTwin) WriteFile(dir + "/04-SONG_long_name-grp.mp3", "not listed");
        rules = c.specialRename ? std::vector<std::string>{"REN: 01-a.mp3 -> 01-renamed.mp3"}
                                : std::vector<std::string>{};
        PrepareAndRestore("Lists-2006-GRP");
    }
    Golden();
}

// The first SFV list read-only: the block goes into the second only; Windows paths stay as written.
TEST_F(PrepareTest, TwoSfvListsTakeTheBlockOnceAndKeepWindowsPaths) {
    const std::string dir =
        Release("TwoLists-2008-GRP", LongTracks("an_artist_with_a_long_name", 2), true, true, "b_second");
    WriteFile(dir + "/release.nfo", "nfo");
    WriteFile(dir + "/cd1/track.mp3", "in cd1");
    WriteFile(dir + "/a_first.sfv", "; first\r\ncd1\\track.mp3 " + test::CrcOf("in cd1") + "\r\n");
    ASSERT_EQ(::chmod((dir + "/a_first.sfv").c_str(), 0444), 0);
    Set("prepareBackupTo", "0");
    PrepareAndRestore("TwoLists-2008-GRP");
    ::chmod((dir + "/a_first.sfv").c_str(), 0644);
    Golden();
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
    rules = {"DEL: thumbs.db", "REN: info.txt -> release.nfo"};
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

        finished = !KilledAt(killAt, "-P " + Quote(name));
        killedRuns += finished ? 0 : 1;

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
    const std::string settingsFile = WriteSettings();

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
            test::RunCli(tmp, "--color=never --settings " + Quote(settingsFile) + " -P " + name,
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

}  // namespace
}  // namespace kestrow
