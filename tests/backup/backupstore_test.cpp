// Tests of storing backup data in a directory's lists or backup file, the list writer, the finder
// and the text shown for a directory.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "backup/backupdata.h"
#include "backup/backupfinder.h"
#include "backup/backupstore.h"
#include "backup/showbackup.h"
#include "content/listeddir.h"
#include "platform/fs.h"
#include "tests/backup/records.h"
#include "tests/support/golden.h"
#include "tests/support/recordingreporter.h"
#include "tests/support/tempdir.h"

namespace kestrow {
namespace {

using test::ReadFile;
using test::RecordingReporter;
using test::TempDir;
using test::WriteFile;

using test::DataOf;
using test::File;

const std::string kSfv =
    "; made by a tool\r\n01-a long first track name.mp3 1A2B3C4D\r\n; between\r\nnot a valid line\r\n"
    "02-second.mp3 00ABCDEF\r\n;trailing comment with blanks   \r\n";
const std::string kM3u = "#EXTM3U\r\n01-a long first track name.mp3\r\n02-second.mp3\r\n";

std::vector<BackupRecord> SomeRecords() {
    return {File("01-a long first track name.mp3", "01-a long.mp3"),
            File("02-second.mp3", "02-s.mp3"),
            {BackupRecordKind::Directory, "Artist - A Very Long Album Name (2008)", "Artist-Album", 7},
            {BackupRecordKind::TempFile, "release.nfo", "release.nf1", 0}};
}

ListedDir Loaded(const std::string& path) {
    ListedDir dir(path);
    EXPECT_TRUE(dir.LoadLists());
    return dir;
}

// A release folder with one SFV list and one playlist unless told otherwise, plus `extra` files.
struct Release {
    explicit Release(bool sfv = true, bool m3u = true,
                     const std::vector<std::pair<std::string, std::string>>& extra = {}) {
        if (sfv) WriteFile(tmp / "album.sfv", kSfv);
        if (m3u) WriteFile(tmp / "album.m3u", kM3u);
        for (const auto& [name, text] : extra) WriteFile(tmp / name, text);
    }
    ListedDir Load() const { return Loaded(tmp.path()); }
    TempDir tmp;
};

// A loaded release and the records a prepare pass stores in it.
struct Prepared {
    explicit Prepared(const std::vector<BackupRecord>& records = SomeRecords(), Release* r = nullptr)
        : owned(r ? nullptr : std::make_unique<Release>()),
          release(r ? *r : *owned),
          dir(release.Load()),
          data(DataOf(records)) {}
    int Store(int place) { return store.chooseAndStore(place, reporter); }
    std::string Path(const std::string& name) const { return release.tmp / name; }

    std::unique_ptr<Release> owned;
    Release& release;
    ListedDir dir;
    BackupData data;
    RecordingReporter reporter{0};
    BackupStore store{dir, data};
};

// What a later restore pass reads back from the folder; `dir` stays loaded for its store.
struct ReadBack {
    explicit ReadBack(const std::string& path) : dir(path) {
        dir.LoadLists();
        result = findBackupData(dir, data, false, reporter);
    }
    ListedDir dir;
    BackupData data;
    RecordingReporter reporter{1};
    int result = 0;
};

TEST(BackupBlockLines, CutsTheEncodedTextIntoLinesOfEighty) {
    const std::pair<std::size_t, std::vector<std::size_t>> cases[] = {
        {1, {1}}, {80, {80}}, {81, {80, 1}}, {160, {80, 80}}, {161, {80, 80, 1}},
    };
    for (const auto& [length, pieces] : cases) {
        std::vector<std::string> lines = BackupBlockLines(std::string(length, 'x'));
        ASSERT_EQ(lines.size(), 4 + pieces.size() + 1) << length;
        for (int k = 0; k < 4; ++k) EXPECT_EQ(lines[k].size(), 70u);
        for (std::size_t i = 0; i < pieces.size(); ++i) EXPECT_EQ(lines[4 + i].size(), pieces[i]) << length;
        EXPECT_TRUE(lines.back().empty());
    }
    EXPECT_TRUE(BackupBlockLines("").empty());
}

// Searches seeded random one-record sets for one whose encoded text fits `wanted`.
std::vector<BackupRecord> RecordsWhose(const std::function<bool(const std::string&)>& wanted) {
    std::mt19937 rng(4242);
    std::uniform_int_distribution<int> len(1, 90);
    std::uniform_int_distribution<int> ch('a', 'z');
    for (int attempt = 0; attempt < 20000; ++attempt) {
        std::string name;
        for (int i = len(rng); i > 0; --i) name += static_cast<char>(ch(rng));
        if (attempt % 2) name += " x";
        std::vector<BackupRecord> records{File(name, "t")};
        BackupData data = DataOf(records);
        if (!data.Encode() || !wanted(data.EncodedText())) continue;
        if (EncodeVerified(data)) return records;
    }
    ADD_FAILURE() << "no record set found";
    return {};
}

TEST(BackupStorage, DataLinesHoldEightyCharactersAndReadBackFromEveryPlace) {
    // Length 0 stands for a text whose first data line ends in a blank, which no reader may trim.
    for (std::size_t length : {80u, 81u, 160u, 0u}) {
        auto records = RecordsWhose([length](const std::string& t) {
            return length ? t.size() == length : t.size() > 85 && t[79] == ' ';
        });
        ASSERT_FALSE(records.empty());
        for (int place : {0, 1, 2}) {
            SCOPED_TRACE(testing::Message() << "length " << length << ", place " << place);
            Prepared p(records);
            ASSERT_EQ(p.Store(place), 1);
            ReadBack back(p.release.tmp.path());
            ASSERT_EQ(back.result, 1);
            EXPECT_FALSE(back.data.NoBackupData());
            EXPECT_EQ(back.data.Records(), records);
        }
    }
}

TEST(BackupStorage, RandomRecordSetsRoundTripThroughEveryPlace) {
    std::mt19937 rng(1999);
    int refused = 0;
    for (int round = 0; round < 36; ++round) {
        const std::vector<BackupRecord> records = test::RandomRecords(rng, 70);
        if (records.empty()) continue;
        int place = round % 3;
        Prepared p(records);
        int result = p.Store(place);
        if (result == -1) {
            // Only a block that the escaping cannot tell apart is refused, and then nothing is written.
            ++refused;
            EXPECT_EQ(ReadFile(p.Path("album.sfv")), kSfv);
            continue;
        }
        ASSERT_EQ(result, 1) << round;
        const char* expected[] = {"album.sfv", "album.m3u", "_kestrow.backup"};
        EXPECT_EQ(p.store.StoredIn(), expected[place]);
        EXPECT_EQ(p.reporter.Codes(), std::vector<int>{15});
        ReadBack back(p.release.tmp.path());
        ASSERT_EQ(back.result, 1) << round;
        EXPECT_EQ(static_cast<int>(back.data.Source()), place);
        EXPECT_EQ(back.data.Records(), records) << round;
        EXPECT_EQ(back.reporter.Count(14), 1u);
    }
    EXPECT_LT(refused, 4);
}

// Lists come back as they were read, line-feed lists with CR LF, edited entries in place, comments
// after as many entries as stood before them, appended entries last; and the block of a stored
// record set: header lines, data lines of eighty characters, the closing line, the old comments.
TEST(ListWriter, WritesListsBackAndStoresTheBlock) {
    TempDir tmp;
    WriteFile(tmp / "a.sfv", "; head\n\na.mp3 11111111\n; mid\nb.mp3\t22222222\n\n");
    WriteFile(tmp / "p.m3u", "#EXTM3U\r\na.mp3\r\n#x\r\nb.mp3\r\n");
    WriteFile(tmp / "album.sfv", kSfv);
    ListedDir dir = Loaded(tmp.path());
    ASSERT_TRUE(dir.sfvLists[0].SetEntry("a-new.mp3", std::nullopt, 0));
    ASSERT_TRUE(dir.m3uLists[0].AddEntry("c.mp3", 2));
    ASSERT_TRUE(dir.m3uLists[0].AddEntry("first.mp3", 0));
    for (const auto& list : dir.sfvLists) ASSERT_TRUE(WriteSfvList(list));
    ASSERT_TRUE(WriteM3uList(dir.m3uLists[0]));
    std::string transcript = "== a.sfv\n" + ReadFile(tmp / "a.sfv") + "== p.m3u\n" + ReadFile(tmp / "p.m3u");
    Prepared p;
    ASSERT_EQ(p.Store(0), 1);
    EXPECT_EQ(ReadFile(p.Path("album.m3u")), kM3u);
    transcript += "== album.sfv with a block\n" + ReadFile(p.Path("album.sfv"));
    test::ExpectGolden("backup/list-writer", test::ReplaceAll(transcript, "\r\n", "\n"));
    Release release;
    ListedDir same = release.Load();
    ASSERT_TRUE(WriteSfvList(same.sfvLists[0]) && WriteM3uList(same.m3uLists[0]));
    EXPECT_EQ(ReadFile(release.tmp / "album.sfv"), kSfv);
    EXPECT_EQ(ReadFile(release.tmp / "album.m3u"), kM3u);
}

TEST(ListWriter, RefusesListsItWouldDamage) {
    TempDir tmp;
    const std::string overlong = "; head\r\n" + std::string(5000, 'n') + " 1234ABCD\r\n";
    WriteFile(tmp / "long.sfv", overlong);
    WriteFile(tmp / "edge.sfv", "; head\r\n" + std::string(4094, 'e') + "\r\n");
    WriteFile(tmp / "unread.sfv", kSfv);
    ListedDir dir = Loaded(tmp.path());
    ASSERT_EQ(dir.sfvLists.size(), 3u);
    EXPECT_FALSE(WriteSfvList(dir.sfvLists[1]));  // long.sfv: its long line came back in pieces
    EXPECT_EQ(ReadFile(tmp / "long.sfv"), overlong);
    EXPECT_TRUE(WriteSfvList(dir.sfvLists[0]));  // edge.sfv: 4094 characters fit the reader
    SfvList unread(PathName(tmp / "unread.sfv", false));
    EXPECT_FALSE(WriteSfvList(unread));
    EXPECT_EQ(ReadFile(tmp / "unread.sfv"), kSfv);
    M3uList generated(PathName(tmp / "new.m3u", false));
    ASSERT_TRUE(generated.AddEntry("a.mp3", 0));
    EXPECT_TRUE(WriteM3uList(generated));
    EXPECT_EQ(ReadFile(tmp / "new.m3u"), "a.mp3\r\n");
}

// Every record resolved: the block leaves a list with its header lines, a backup file is deleted.
TEST(BackupStorage, ARestoreWithNothingLeftRemovesTheBlock) {
    for (auto [place, result] : {std::pair{0, 3}, std::pair{2, 2}}) {
        Prepared p;
        ASSERT_EQ(p.Store(place), 1);
        ReadBack back(p.release.tmp.path());
        ASSERT_EQ(back.result, 1);
        EXPECT_EQ(static_cast<int>(back.data.Source()), place);
        back.data.ClearPlainText();
        RecordingReporter change(0);
        EXPECT_EQ(BackupStore(back.dir, back.data).restoreStore(place, change), result);
        ASSERT_TRUE(WriteSfvList(back.dir.sfvLists[0]));
        EXPECT_EQ(ReadFile(p.Path("album.sfv")), kSfv);
    }
}

TEST(BackupStorage, RestoreWritesRemainingRecordsBackWhereTheyWere) {
    Release release(true, true, {{"b.sfv", "c.mp3 12345678\r\n"}});
    Prepared p(SomeRecords(), &release);
    ASSERT_TRUE(EncodeVerified(p.data));
    ASSERT_EQ(p.store.store(BackupSource::Sfv, 1), "b.sfv");

    ReadBack back(release.tmp.path());
    ASSERT_EQ(back.result, 1);
    ASSERT_EQ(back.data.ListIndex(), 1);
    std::vector<BackupRecord> remaining{back.data.FileRecords()[1]};
    back.data.ClearPlainText();
    back.data.AppendRecord(remaining[0]);
    RecordingReporter change(0);
    BackupStore restore(back.dir, back.data);
    ASSERT_EQ(restore.restoreStore(0, change), 1);
    EXPECT_EQ(restore.StoredIn(), "b.sfv");
    EXPECT_EQ(change.Codes(), std::vector<int>{15});

    ReadBack after(release.tmp.path());
    ASSERT_EQ(after.result, 1);
    EXPECT_EQ(after.data.Records(), remaining);
    EXPECT_EQ(after.reporter.Count(14), 1u) << "the old block is gone";
    EXPECT_EQ(ReadFile(release.tmp / "album.sfv"), kSfv);
}

TEST(BackupStorage, FallbackOrderWithUnwritableLists) {
    const auto rows = test::TableRows("backup_fallback_rows.txt");
    ASSERT_EQ(rows.size(), 8u);
    for (const auto& row : rows) {
        SCOPED_TRACE(row[0]);
        const std::vector<std::string> readOnly = test::Words(row[2]);
        auto isReadOnly = [&](const char* what) {
            return std::count(readOnly.begin(), readOnly.end(), what) > 0;
        };
        const bool m3uPresent = row[3] == "1";
        const std::string storedIn = row[5] == "-" ? "" : row[5];
        Release release(true, m3uPresent);
        // A folder of that name blocks the backup file (a file found without a block is never
        // written over at all).
        if (isReadOnly("backup")) test::MakeDirs(release.tmp / "_kestrow.backup");
        Prepared p(SomeRecords(), &release);
        if (isReadOnly("sfv")) ::chmod(p.Path("album.sfv").c_str(), 0444);
        if (isReadOnly("m3u")) ::chmod(p.Path("album.m3u").c_str(), 0444);
        int result = p.Store(std::stoi(row[1]));
        std::vector<int> reports;
        for (const std::string& code : test::Words(row[4])) reports.push_back(std::stoi(code));
        EXPECT_EQ(p.reporter.Codes(), reports);
        EXPECT_EQ(p.store.StoredIn(), storedIn);
        EXPECT_EQ(result, storedIn.empty() ? -2 : 1);
        if (isReadOnly("sfv") || storedIn != "album.sfv") {
            EXPECT_EQ(ReadFile(p.Path("album.sfv")), kSfv);
        }
        if (isReadOnly("backup")) {
            EXPECT_EQ(platform::Stat(p.Path("_kestrow.backup")), platform::PathKind::Directory);
        }
        // A list that refused the block keeps none of it for a later write.
        if (m3uPresent) {
            ::chmod(p.Path("album.m3u").c_str(), 0644);
            ASSERT_TRUE(WriteM3uList(p.dir.m3uLists[0]));
            bool holds = ReadFile(p.Path("album.m3u")).find("[V100") != std::string::npos;
            EXPECT_EQ(holds, storedIn == "album.m3u");
        }
    }
}

TEST(BackupStorage, ReadOnlyFolderTakesNothing) {
    Prepared p;
    ::chmod(p.release.tmp.path().c_str(), 0555);
    EXPECT_EQ(p.Store(2), -2);
    EXPECT_EQ(p.reporter.Codes(), (std::vector<int>{13, 14}));
    ::chmod(p.release.tmp.path().c_str(), 0755);
    EXPECT_EQ(ReadFile(p.Path("album.sfv")), kSfv);
    EXPECT_FALSE(test::Exists(p.Path("_kestrow.backup")));
}

TEST(BackupStorage, SeveralSfvListsTakeTheBlockOnlyOnce) {
    Release release(true, true, {{"b.sfv", "c.mp3 12345678\r\n"}, {"c.sfv", "d.mp3 12345678\r\n"}});
    Prepared p(SomeRecords(), &release);
    ::chmod(p.Path("album.sfv").c_str(), 0444);
    ASSERT_EQ(p.Store(0), 1);
    EXPECT_EQ(p.store.StoredIn(), "b.sfv");
    EXPECT_EQ(ReadFile(p.Path("c.sfv")), "d.mp3 12345678\r\n");
    // Writing every list afterwards, as the apply does, still gives one block.
    ::chmod(p.Path("album.sfv").c_str(), 0644);
    for (const auto& list : p.dir.sfvLists) ASSERT_TRUE(WriteSfvList(list));
    ReadBack back(release.tmp.path());
    EXPECT_EQ(back.reporter.Count(14), 1u);
    EXPECT_EQ(back.reporter.Count(15), 0u);
}

TEST(BackupStorage, ListWithAnOverlongLineIsNotWritten) {
    const std::string longSfv = kSfv + std::string(4200, 'z') + " 12345678\r\n";
    Release release(true, true, {{"album.sfv", longSfv}});
    Prepared p(SomeRecords(), &release);
    ASSERT_EQ(p.Store(0), 1);
    EXPECT_EQ(p.store.StoredIn(), "album.m3u");
    EXPECT_EQ(ReadFile(p.Path("album.sfv")), longSfv);
}

TEST(BackupStorage, FullDiskLeavesEveryFileAsItWas) {
    Prepared p;
    {
        test::FileSizeLimit full(200);  // smaller than the four header lines alone
        EXPECT_EQ(p.Store(2), -2);
    }
    EXPECT_EQ(p.reporter.Codes(), (std::vector<int>{13, 14}));
    EXPECT_EQ(ReadFile(p.Path("album.sfv")), kSfv);
    EXPECT_EQ(ReadFile(p.Path("album.m3u")), kM3u);
    std::vector<std::string> left;
    for (const auto& e : std::filesystem::directory_iterator(p.release.tmp.path()))
        left.push_back(e.path().filename().string());
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{"album.m3u", "album.sfv"}));
    // Once there is room the same lists take exactly one block.
    RecordingReporter later(0);
    ASSERT_EQ(p.store.chooseAndStore(0, later), 1);
    ASSERT_TRUE(WriteM3uList(p.dir.m3uLists[0]));
    EXPECT_EQ(ReadBack(p.release.tmp.path()).reporter.Count(14), 1u);
}

TEST(BackupStorage, NamesTheFormatCannotHoldAreNeverStored) {
    Release release;
    ListedDir dir = release.Load();
    auto chooseAndStore = [&](BackupData data) {
        RecordingReporter reporter(0);
        int result = BackupStore(dir, data).chooseAndStore(0, reporter);
        EXPECT_TRUE(reporter.reports.empty());
        return result;
    };
    for (const auto& record :
         {File("a;b.mp3", "a.mp3"), File("x.mp3", "y>z.mp3"), File("x<F:y.mp3", "x.mp3"), File("", "x.mp3")})
        EXPECT_EQ(chooseAndStore(DataOf({record})), -1) << record.originalName;
    for (const char* text : {"junk<F:;a;;b>", "<F:;a;;b>junk", "<F:;a;b;;c>",
                             "<F:;a;;b><D:;d;;e><OP:1><D:;f;;g><OP:2>", "<D:;d;;e>", "<F:;a;;b>x<F:;c;;d>"}) {
        BackupData data;
        data.SetPlainText(text);
        EXPECT_EQ(chooseAndStore(data), -1) << text;
    }
    EXPECT_EQ(ReadFile(release.tmp / "album.sfv"), kSfv);
    EXPECT_EQ(chooseAndStore(BackupData()), 0);
    // A restore writes back what it keeps as it decides it: files, temp files, the directory.
    BackupData kept = DataOf({File("a.mp3", "b.mp3"),
                              {BackupRecordKind::TempFile, "c.nfo", "c.nf1", 0},
                              {BackupRecordKind::Directory, "Old Dir", "New", 3},
                              File("d.mp3", "e.mp3")});
    EXPECT_TRUE(EncodeVerified(kept));
}

// Stores a block in the given place of a fresh load of the folder, bypassing the checks when asked.
void StoreIn(const std::string& path, BackupSource kind, BackupData data, bool verified = true) {
    ListedDir dir = Loaded(path);
    ASSERT_TRUE(verified ? EncodeVerified(data) : data.Encode());
    ASSERT_FALSE(BackupStore(dir, data).store(kind).empty());
}

// What the finder reports and returns, where it found the block and the records read.
std::string Found(ListedDir& dir, RecordingReporter& reporter, bool stopAtSyntaxErrors = false) {
    BackupData data;
    const int result = findBackupData(dir, data, stopAtSyntaxErrors, reporter);
    std::string out = reporter.TakeTranscript() + "  result " + std::to_string(result) + ", source " +
                      std::to_string(static_cast<int>(data.Source())) +
                      (data.NoBackupData() ? ", no data" : "") + "\n";
    for (const auto& r : data.Records()) out += "  record " + BackupRecordText(r) + "\n";
    return out;
}

// Two blocks in one folder ask which to use ("_kestrow.backup" comes first); damaged blocks and a
// block naming a path are reported and never used; the lists present are reported; a syntax error
// may stop the search.
TEST(BackupFinder, FindsReportsAndRefuses) {
    std::string t;
    Release two;
    StoreIn(two.tmp.path(), BackupSource::Sfv, DataOf({File("sfv original.mp3", "s.mp3")}));
    StoreIn(two.tmp.path(), BackupSource::BackupFile, DataOf({File("file original.mp3", "f.mp3")}));
    for (const auto& [label, answers] : std::vector<std::pair<const char*, std::vector<int>>>{
             {"ignore", {1}}, {"abort", {-1}}, {"retry, then ignore", {0, 1}}}) {
        ListedDir dir = two.Load();
        RecordingReporter reporter(1);
        for (int a : answers) reporter.Queue(15, {a});
        t += std::string("== two blocks: ") + label + "\n" + Found(dir, reporter);
    }
    auto flipData = [](std::string s) {
        std::size_t at = s.find("[V100") + 40;
        s[at] = s[at] == 'a' ? 'b' : 'a';
        return s;
    };
    auto noEnd = [](std::string s) { return s.replace(s.find("!eE~]"), 5, "!eE~)"); };
    auto truncated = [](std::string s) {
        std::size_t end = s.find("!eE~]");
        std::size_t lineStart = s.rfind("\r\n", end) + 2;
        return s.erase(lineStart, s.find("\r\n", end) + 2 - lineStart);
    };
    for (const auto& [label, damage] :
         std::vector<std::pair<const char*, std::function<std::string(std::string)>>>{
             {"bad CRC", flipData}, {"missing end marker", noEnd}, {"last line gone", truncated}}) {
        Release release;
        StoreIn(release.tmp.path(), BackupSource::Sfv, DataOf(SomeRecords()));
        WriteFile(release.tmp / "album.sfv", damage(ReadFile(release.tmp / "album.sfv")));
        ListedDir dir = release.Load();
        RecordingReporter reporter(1);
        t += std::string("== ") + label + "\n" + Found(dir, reporter);
    }
    Release evil;
    BackupData path;
    path.SetPlainText("<F:.mp3;x;.mp3;../../outside>");
    StoreIn(evil.tmp.path(), BackupSource::M3u, std::move(path), false);
    ListedDir evilDir = evil.Load();
    RecordingReporter evilReporter(1);
    t += "== a sound block naming a path\n" + Found(evilDir, evilReporter);
    const struct {
        const char* label;
        bool sfv, m3u, backupFile;
    } situations[] = {{"both lists", true, true, false},
                      {"playlist only", false, true, false},
                      {"SFV only", true, false, false},
                      {"nothing", false, false, false},
                      {"backup file only", false, false, true}};
    for (const auto& c : situations) {
        Release release(c.sfv, c.m3u);
        if (c.backupFile) WriteFile(release.tmp / "_kestrow.backup", "; nothing here\r\n");
        ListedDir dir(release.tmp.path());
        dir.LoadLists();
        RecordingReporter reporter(1);
        t += std::string("== ") + c.label + "\n" + Found(dir, reporter);
    }
    Release syntax;
    ListedDir dir = syntax.Load();
    RecordingReporter stop(1);
    stop.Always(5, -1);
    t += "== syntax error, stopped\n" + Found(dir, stop, true);
    test::ExpectGolden("backup/finder", t);
}

TEST(BackupFinder, HeaderLinesGoOnlyWhenTheyAreHeaderLines) {
    BackupData data = DataOf(SomeRecords());
    ASSERT_TRUE(EncodeVerified(data));
    std::string block;
    for (std::size_t pos = 0; pos < data.EncodedText().size(); pos += 80)
        block += ";" + data.EncodedText().substr(pos, 80) + "\r\n";
    TempDir tmp;
    const std::string before = "; one\r\n; two\r\n; three\r\n; four\r\na.mp3 12345678\r\n";
    WriteFile(tmp / "x.sfv", before + block + "; after\r\n");
    WriteFile(tmp / "x.m3u", "a.mp3\r\n");
    ReadBack back(tmp.path());
    ASSERT_EQ(back.result, 1);
    EXPECT_EQ(back.data.Records(), SomeRecords());
    ASSERT_TRUE(WriteSfvList(back.dir.sfvLists[0]));
    EXPECT_EQ(ReadFile(tmp / "x.sfv"), before + "; after\r\n");
}

TEST(BackupStorage, LoadBackupFileReadsCommentLinesOnly) {
    TempDir tmp;
    WriteFile(tmp / "_Kestrow.BACKUP", "  ;kept with blanks  \r\nnot a comment\r\n;\r\n;x\r\n");
    ListedDir dir(tmp.path());
    dir.Scan();
    BackupStore::loadBackupFile(dir);
    ASSERT_TRUE(dir.backupFile.has_value());
    EXPECT_EQ(dir.backupFile->Comments(), (std::vector<std::string>{"kept with blanks  ", "x"}));
    std::filesystem::remove(tmp / "_Kestrow.BACKUP");
    dir.Scan();
    BackupStore::loadBackupFile(dir);
    EXPECT_FALSE(dir.backupFile.has_value());
}

TEST(BackupStorage, RebasedListsAreWrittenInTheRenamedFolder) {
    TempDir tmp;
    WriteFile(tmp / "old/album.sfv", kSfv);
    WriteFile(tmp / "old/album.m3u", kM3u);
    ListedDir dir = Loaded(tmp / "old");
    std::filesystem::rename(tmp / "old", tmp / "new");
    BackupStore::rebase(dir, tmp / "new");
    EXPECT_EQ(dir.sfvLists[0].FullPath(), tmp / "new/album.sfv");
    BackupData data = DataOf(SomeRecords());
    RecordingReporter reporter(0);
    ASSERT_EQ(BackupStore(dir, data).chooseAndStore(1, reporter), 1);
    EXPECT_NE(ReadFile(tmp / "new/album.m3u").find("[V100"), std::string::npos);
    EXPECT_FALSE(test::Exists(tmp / "old"));
}

// Records as a restore would undo them, or why there are none; control bytes in names are shown
// escaped, never sent to the terminal.
TEST(ShowBackup, PrintsRecordsOrWhyThereAreNone) {
    Release release;
    std::vector<BackupRecord> records = SomeRecords();
    records.push_back(File("esc\x1b[2Jape.mp3", "e.mp3"));
    StoreIn(release.tmp.path(), BackupSource::M3u, DataOf(records));
    std::string text, transcript;
    auto show = [&](const std::string& title, const std::string& path, int result) {
        EXPECT_EQ(ShowBackup(path, text), result) << title;
        EXPECT_EQ(text.find('\x1b'), std::string::npos);
        transcript += "== " + title + "\n" + text + "\n";
    };
    show("stored", release.tmp.path(), 0);
    Release plain;
    show("no block", plain.tmp.path(), 1);
    EXPECT_EQ(ShowBackup(plain.tmp / "missing", text), 2);
    std::string m3u = ReadFile(release.tmp / "album.m3u");
    WriteFile(release.tmp / "album.m3u", m3u.replace(m3u.find("!eE~]"), 5, "!eE~)"));
    show("damaged", release.tmp.path(), 1);
    test::ExpectGolden("backup/show-backup",
                       test::ReplaceAll(test::ReplaceAll(transcript, release.tmp.path(), "<TMP>"),
                                        plain.tmp.path(), "<TMP>"));
}

TEST(BackupFinder, HoldsBackupDataSeesAStoredBlock) {
    Release release;
    EXPECT_FALSE(HoldsBackupData(release.Load()));
    StoreIn(release.tmp.path(), BackupSource::M3u, DataOf(SomeRecords()));
    EXPECT_TRUE(HoldsBackupData(release.Load()));
}

}  // namespace
}  // namespace kestrow
