// kestrow-cli -R end to end: prepared releases come back exactly as they were, a restore killed
// at any point finishes when run again, and hostile backup data touches nothing.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "backup/backupstore.h"
#include "content/integrity.h"
#include "content/listeddir.h"
#include "tests/support/releasefixture.h"

namespace kestrow {
namespace {

namespace fs = std::filesystem;
using test::CliResult;
using test::MakeDirs;
using test::Quote;
using test::ReadFile;
using test::WriteFile;

using test::Diff;
using test::Track;
using test::Tree;

// A release folder with an SFV list, a playlist and an NFO.
void Release(const std::string& dir, const std::vector<Track>& tracks, const std::string& list,
             bool m3u = true) {
    test::WriteRelease(dir, tracks, list, true, m3u);
    WriteFile(dir + "/" + list + ".nfo", "about " + list);
}

class RestoreE2eTest : public test::CliFixture {
protected:
    RestoreE2eTest() {
        // Taglines belong to another step; these runs leave them out.
        settings = {{"PrepareCRCCheck", "1"},
                    {"GeneratePrepareTagline", "0"},
                    {"ConfirmChanges", "1"},
                    {"prepareBackupTo", "2"},
                    {"Truncate", "1"},
                    {"TruncateMaxChars", "64"},
                    {"preserveGrptag", "1"},
                    {"preserveRlsyear", "0"},
                    {"RestoreTruncated", "1"},
                    {"RestoreCRCCheck", "1"},
                    {"GenerateRestoreTagline", "0"},
                    {"ReplaceDots", "1"},
                    {"RemoveDotsInDirs", "1"}};
    }
    CliResult Cli(const std::string& args) { return CliFixture::Cli("--yes " + args); }

    // Every entry of lib, quoted, for one call.
    std::string AllReleases() {
        std::string out;
        for (const auto& e : fs::directory_iterator(tmp / "lib"))
            out += " " + Quote(e.path().filename().string());
        return out;
    }
};

std::string RandomWord(std::mt19937& rng, int min, int max) {
    static const std::string chars = "abcdefghijklmnopqrstuvwxyz_";
    std::string w;
    const int n = std::uniform_int_distribution<int>(min, max)(rng);
    for (int i = 0; i < n; ++i)
        w += chars[std::uniform_int_distribution<std::size_t>(0, chars.size() - 1)(rng)];
    return w;
}

// Releases with over-long names, dotted names, discs in subfolders and lists of both kinds.
void RandomLibrary(const std::string& lib, unsigned seed) {
    std::mt19937 rng(seed);
    for (int r = 0; r < 4; ++r) {
        const std::string artist = RandomWord(rng, 10, 30);
        const std::string name =
            artist + (r % 2 ? "." : "-") + RandomWord(rng, 20, 50) + "-200" + std::to_string(r) + "-GRP";
        auto tracks = [&](int discs) {
            std::vector<Track> t;
            const int n = std::uniform_int_distribution<int>(1, 5)(rng);
            for (int i = 1; i <= n; ++i) {
                std::string bytes = RandomWord(rng, 1, 4000);
                t.push_back({"0" + std::to_string(i) + "-" + artist + "-" + RandomWord(rng, 5, 60) +
                                 (discs ? "_cd" + std::to_string(discs) : "") + ".mp3",
                             bytes});
            }
            return t;
        };
        Release(lib + "/" + name, tracks(0), "00-" + artist + "-" + RandomWord(rng, 10, 50), r != 3);
        if (r == 1) {
            for (int d = 1; d <= 2; ++d) {
                Release(lib + "/" + name + "/CD" + std::to_string(d), tracks(d),
                        "00-disc_" + RandomWord(rng, 30, 70));
            }
        }
    }
}

class PlaceTest : public RestoreE2eTest, public ::testing::WithParamInterface<int> {};

TEST_P(PlaceTest, PrepareThenRestoreGivesEveryReleaseBackAndASecondRestoreChangesNothing) {
    settings["prepareBackupTo"] = std::to_string(GetParam());
    for (unsigned seed = 1; seed <= 3; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        fs::remove_all(tmp / "lib");
        MakeDirs(tmp / "lib");
        RandomLibrary(tmp / "lib", seed * 10 + static_cast<unsigned>(GetParam()));
        const auto original = Tree(tmp / "lib");

        const CliResult prepared = Cli("-P" + AllReleases());
        ASSERT_EQ(prepared.status, 0) << prepared.out << prepared.err;
        ASSERT_NE(Diff(Tree(tmp / "lib"), original), "");

        const CliResult restored = Cli("-R" + AllReleases());
        EXPECT_EQ(restored.status, 0) << restored.out;
        // Names, bytes, list entries: nothing left of the backup data or a temporary file.
        EXPECT_EQ(Diff(Tree(tmp / "lib"), original), "") << restored.out;

        const CliResult again = Cli("-R" + AllReleases());
        EXPECT_EQ(again.status, 0) << again.out;
        EXPECT_EQ(Diff(Tree(tmp / "lib"), original), "");
    }
}

INSTANTIATE_TEST_SUITE_P(Places, PlaceTest, ::testing::Values(0, 1, 2));

TEST_F(RestoreE2eTest, TheDemoLibraryComesBackExactly) {
    fs::copy(KESTROW_EXAMPLES, tmp / "lib",
             fs::copy_options::recursive | fs::copy_options::overwrite_existing);
    const auto original = Tree(tmp / "lib");
    Cli("-P" + AllReleases());
    ASSERT_NE(Diff(Tree(tmp / "lib"), original), "");
    Cli("-R" + AllReleases());
    EXPECT_EQ(Diff(Tree(tmp / "lib"), original), "");
}

// A restore killed before any one of its renames, deletions or list writes, then run again, ends
// with every original name and list entry back and no backup data left.
TEST_F(RestoreE2eTest, ARestoreKilledAtAnyPointFinishesWhenRunAgain) {
    const std::string name = "Killed_Artist-An_Album_Whose_Long_Title_Makes_It_Too_Long-2010-GRP";
    std::vector<Track> tracks;
    for (int i = 1; i <= 3; ++i) {
        tracks.push_back({"0" + std::to_string(i) +
                              "-killed_artist-a_song_title_far_too_long_to_be_burned_as_it_is_" +
                              std::to_string(i) + "-grp.mp3",
                          "track " + std::to_string(i)});
    }
    // Case twins: each gets its own name back, however far the first run got.
    tracks.push_back({"04-Killed_Artist-A_Song_Title_Far_Too_Long_To_Be_Burned_As_It_Is-grp.mp3", "upper"});
    tracks.push_back({"04-killed_artist-a_song_title_far_too_long_to_be_burned_as_it_is-grp.mp3", "lower"});
    Release(tmp / ("lib/" + name), tracks, "album");
    // Two lists of each kind: a kill between their writes leaves one naming the old files, one
    // the new, and neither may lose an entry.
    test::WriteRelease(tmp / ("lib/" + name), tracks, "second", true, true);
    WriteFile(tmp / ("lib/" + name + "/info.txt"), "about");
    settings["prepareBackupTo"] = "0";
    settings["ConfirmChanges"] = "0";
    settings["DeleteTempFiles"] = "1";
    rules = {"REN: info.txt -> release.txt"};
    const auto original = Tree(tmp / "lib");
    ASSERT_EQ(Cli("-P " + Quote(name)).status, 0);
    const std::string preparedName = fs::directory_iterator(tmp / "lib")->path().filename().string();
    ASSERT_NE(preparedName, name);
    fs::copy(tmp / "lib", tmp / "prepared", fs::copy_options::recursive);

    bool finished = false;
    int killed = 0;
    for (int killAt = 1; killAt <= 40 && !finished; ++killAt) {
        SCOPED_TRACE("killed before operation " + std::to_string(killAt));
        fs::remove_all(tmp / "lib");
        fs::copy(tmp / "prepared", tmp / "lib", fs::copy_options::recursive);
        finished = !KilledAt(killAt, "-R --yes " + Quote(preparedName));
        if (!finished) {
            ++killed;
            const std::string now = fs::directory_iterator(tmp / "lib")->path().filename().string();
            const CliResult again = Cli("-R " + Quote(now));
            EXPECT_EQ(again.status, 0) << again.out;
        }
        EXPECT_EQ(Diff(Tree(tmp / "lib", true), original), "");
    }
    EXPECT_TRUE(finished);
    // The directory, the lists, four renames and the backup data at least.
    EXPECT_GE(killed, 7);
}

// Tracks renamed by hand, with no backup data: with the option on they get their listed names
// back, by CRC and by the likeness of the names (the retagged track); with it off nothing moves.
TEST_F(RestoreE2eTest, FilesRenamedByHandComeBackWithoutBackupData) {
    const std::string dir = tmp / "lib/Hand_Renamed-Album-2011-GRP";
    Release(dir,
            {{"01-hand_renamed-first_song-grp.mp3", "first track"},
             {"02-hand_renamed-second_song-grp.mp3", "second track"},
             {"03-hand_renamed-third_song-grp.mp3", "third track"}},
            "00-hand_renamed-album-2011-grp");
    const auto original = Tree(tmp / "lib");
    fs::rename(dir + "/01-hand_renamed-first_song-grp.mp3", dir + "/First Song.mp3");
    fs::rename(dir + "/02-hand_renamed-second_song-grp.mp3", dir + "/track2.mp3");
    // Retagged after the rename: only its name can tell where it belongs.
    fs::rename(dir + "/03-hand_renamed-third_song-grp.mp3", dir + "/03-third_song.mp3");
    WriteFile(dir + "/03-third_song.mp3", "third track, new tags");
    const auto renamed = Tree(tmp / "lib");

    const CliResult off = Cli("-R Hand_Renamed-Album-2011-GRP");
    EXPECT_EQ(Diff(Tree(tmp / "lib"), renamed), "") << off.out;

    settings["RestoreWithoutBackupData"] = "1";
    const CliResult on = Cli("-R Hand_Renamed-Album-2011-GRP");
    auto restored = Tree(tmp / "lib");
    // The retagged track is back under its name, with its new bytes (reported as corrupt).
    EXPECT_EQ(restored.at("Hand_Renamed-Album-2011-GRP/03-hand_renamed-third_song-grp.mp3"),
              "third track, new tags")
        << on.out;
    restored["Hand_Renamed-Album-2011-GRP/03-hand_renamed-third_song-grp.mp3"] = "third track";
    EXPECT_EQ(Diff(restored, original), "") << on.out;
    EXPECT_EQ(on.status, 1) << on.out;
}

struct Hostile {
    const char* title;
    BackupRecord record;
};

void PrintTo(const Hostile& h, std::ostream* os) {
    *os << h.title;
}

class HostileTest : public RestoreE2eTest, public ::testing::WithParamInterface<Hostile> {};

// Names that point out of the directory make the whole block corrupt: nothing moves, inside or
// outside, and a prepared subdirectory is still restored.
TEST_P(HostileTest, BackupDataNamingPathsOutsideMovesNothing) {
    const std::string dir = tmp / "lib/Release";
    Release(dir, {{"t.mp3", "track"}}, "album");
    WriteFile(tmp / "lib/x", "outside");
    WriteFile(tmp / "lib/victim.mp3", "outside too");
    {
        ListedDir listed(dir);
        ASSERT_TRUE(listed.LoadLists());
        BackupData data;
        data.AppendRecord(GetParam().record);
        ASSERT_TRUE(data.Encode());
        ASSERT_FALSE(BackupStore(listed, data).store(BackupSource::BackupFile).empty());
    }
    // A prepared disc inside, with good backup data of its own.
    const std::string disc = dir + "/CD1";
    Release(disc, {{"01-short.mp3", "disc track"}}, "disc");
    {
        ListedDir listed(disc);
        ASSERT_TRUE(listed.LoadLists());
        BackupData data;
        data.AppendRecord({BackupRecordKind::File, "01-the long original.mp3", "01-short.mp3", 0});
        ASSERT_TRUE(EncodeVerified(data));
        ASSERT_FALSE(BackupStore(listed, data).store(BackupSource::BackupFile).empty());
    }
    auto before = Tree(tmp.path());
    const CliResult r = Cli("-R Release");
    EXPECT_NE(r.status, 0);
    EXPECT_NE(r.out.find("is CORRUPT. The contents in this dir cannot be restored"), std::string::npos)
        << r.out;
    auto after = Tree(tmp.path());
    // Only the disc changed: its track has its original name back and its backup file is gone.
    EXPECT_TRUE(after.count("lib/Release/CD1/01-the long original.mp3")) << r.out;
    for (auto* tree : {&before, &after}) {
        for (auto it = tree->begin(); it != tree->end();) {
            it = it->first.rfind("lib/Release/CD1/", 0) == 0 || it->first == "settings.ini" ||
                         it->first == "stderr.txt"
                     ? tree->erase(it)
                     : std::next(it);
        }
    }
    EXPECT_EQ(Diff(after, before), "");
}

INSTANTIATE_TEST_SUITE_P(
    Names, HostileTest,
    ::testing::Values(Hostile{"OriginalUpTheTree", {BackupRecordKind::File, "../x", "t.mp3", 0}},
                      Hostile{"OriginalAbsolute", {BackupRecordKind::File, "/x", "t.mp3", 0}},
                      Hostile{"RenamedUpTheTree", {BackupRecordKind::File, "t.mp3", "../victim.mp3", 0}},
                      Hostile{"TempFileUpTheTree", {BackupRecordKind::TempFile, "../x", "album.nfo", 0}},
                      Hostile{"DirectoryUpTheTree",
                              {BackupRecordKind::Directory, "../Escaped", "Release", 0}},
                      Hostile{"DotDot", {BackupRecordKind::File, "..", "t.mp3", 0}}),
    [](const auto& info) { return std::string(info.param.title); });

}  // namespace
}  // namespace kestrow
