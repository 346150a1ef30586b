// Settings file reading and writing, the options record's load and save, the settings location
// and the command-line overrides.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "platform/fs.h"
#include "platform/text.h"
#include "settings/commandline.h"
#include "settings/csettingsfile.h"
#include "settings/options.h"
#include "settings/settingslocation.h"
#include "tests/support/golden.h"
#include "tests/support/tempdir.h"

namespace kestrow {
namespace {

using test::ExpectGolden;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;

CSettingsFile Opened(const std::string& path) {
    CSettingsFile f;
    EXPECT_TRUE(f.SetPath(path));
    return f;
}

CSettingsFile FileWith(const TempDir& t, const std::string& text) {
    WriteFile(t / "kestrow.ini", text);
    return Opened(t / "kestrow.ini");
}

SettingsLocation At(const std::string& file, const std::string& defaults = {}) {
    SettingsLocation where;
    where.file = file;
    where.defaultsFile = defaults;
    return where;
}

ProcessOptions Loaded(const SettingsLocation& where) {
    ProcessOptions o;
    EXPECT_TRUE(LoadOptions(where, o));
    return o;
}

ino_t Inode(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
    return st.st_ino;
}

std::size_t EntryCount(const std::string& dir) {
    std::vector<platform::DirEntry> entries;
    EXPECT_TRUE(platform::ListDirectory(dir, entries));
    return entries.size();
}

// Every option as a saved file shows it, with the group tags after it: one text to compare.
std::string Dump(const ProcessOptions& o) {
    TempDir t;
    EXPECT_TRUE(SaveOptions(At(t / "dump.ini"), o));
    std::string text = ReadFile(t / "dump.ini") + "[group tags in memory]\n";
    for (const auto& [tag, value] : o.groupTags) text += tag + "=" + value + "\n";
    return text;
}

// Files saved by hand on Windows and on Linux, all meaning the same options.
TEST(LoadOptions, EveryDialectOfTheFileLoadsTheSameOptions) {
    const auto dialect = [](const std::string& name) {
        return Dump(Loaded(At(test::TestDataPath("settings/dialect-" + name + ".ini"))));
    };
    ExpectGolden("settings/dialects", dialect("plain"));
    for (const char* name : {"crlf-bom-comments", "odd-spacing", "keys-twice"})
        EXPECT_EQ(dialect(name), dialect("plain")) << name;
}

// What a start reads: no file at all, a GENERAL section with one key, a user file without GENERAL
// beside defaults, the shipped defaults alone.
TEST(LoadOptions, StartingPoints) {
    TempDir t;
    WriteFile(t / "one-key.ini", "[GENERAL]\nTruncate=1\n[GTAGS]\n; only a comment\n");
    WriteFile(t / "defaults.ini", "[GENERAL]\nTruncateMaxChars=64\n");
    WriteFile(t / "user.ini", "[Other]\nx=1\n");
    SettingsPlaces shipped;
    shipped.explicitFile = "/nonexistent/kestrow.ini";
    shipped.defaultsCandidates = {KESTROW_SOURCE_DIR "/share/kestrow/kestrow.ini"};
    const std::pair<const char*, SettingsLocation> cases[] = {
        {"no-file", At(t / "missing.ini")},
        {"one-key", At(t / "one-key.ini")},
        {"user-file-without-general", At(t / "user.ini", t / "defaults.ini")},
        {"shipped-defaults", LocateSettings(shipped)},
    };
    for (const auto& [name, where] : cases) {
        ProcessOptions o;
        o.Truncate = 1;  // a load starts from nothing
        o.groupTags["X"] = "1";
        ASSERT_TRUE(LoadOptions(where, o));
        ExpectGolden(std::string("settings/load-") + name, Dump(o));
        for (const auto& [tag, value] : o.groupTags)
            EXPECT_EQ(tag, platform::AsciiUpper(tag)) << "only upper-case keys can ever match";
    }
    // Saved as it stands, the empty prefix of a first start becomes "[KSTW]" at the next.
    ASSERT_TRUE(SaveOptions(At(t / "missing.ini"), Loaded(At(t / "missing.ini"))));
    EXPECT_EQ(Loaded(At(t / "missing.ini")).TaglinePrefix, "[KSTW]");
}

TEST(CSettingsFile, ReadsAsTheTableSays) {
    const CSettingsFile f = Opened(test::TestDataPath("settings/reads.ini"));
    const auto rows = test::TableRows("settings/reads.txt");
    ASSERT_EQ(rows.size(), 30u);
    for (const auto& row : rows) {
        const std::string& kind = row[0];
        const std::string want = test::Unescape(row[3]);
        std::string got;
        if (kind == "int") got = std::to_string(f.ReadInt(row[2], row[1]));
        if (kind == "string") got = f.ReadString(row[2], row[1]);
        if (kind == "exists") got = f.SectionExists(row[1]) ? "1" : "0";
        if (kind == "first-line") got = f.ReadSectionLines(row[1]).at(0);
        for (const auto& line : kind == "lines" ? f.ReadSectionLines(row[1]) : std::vector<std::string>{})
            got += (got.empty() ? "" : " ") + line;
        for (const auto& [key, value] :
             kind == "map" ? f.ReadSectionMap(row[1]) : std::map<std::string, std::string>{})
            got += (got.empty() ? "" : " ") + key + "=" + value;
        EXPECT_EQ(got, want) << kind << " " << row[1] << " " << row[2];
    }
}

TEST(CSettingsFile, WritingEditsInPlaceAndKeepsEverythingElse) {
    TempDir t;
    const std::string before =
        "\xEF\xBB\xBF; mine\r\n[GENERAL]\r\n  truncate = 0 ; old\r\nMine=keep\r\n\r\n"
        "[Other]\r\nx=1\r\n";
    CSettingsFile f = FileWith(t, before);
    EXPECT_TRUE(f.WriteString("1", "Truncate", "general"));
    EXPECT_TRUE(f.WriteString("64", "TruncateMaxChars", "GENERAL"));
    EXPECT_TRUE(f.WriteString("v", "k", "New"));
    EXPECT_EQ(ReadFile(t / "kestrow.ini"), before) << "nothing is written before Flush";
    ASSERT_TRUE(f.Flush());
    EXPECT_EQ(ReadFile(t / "kestrow.ini"),
              "\xEF\xBB\xBF; mine\r\n[GENERAL]\r\ntruncate=1\r\nMine=keep\r\n"
              "TruncateMaxChars=64\r\n\r\n[Other]\r\nx=1\r\n\r\n[New]\r\nk=v\r\n");
}

TEST(CSettingsFile, RefusesWhatTheFormatCannotCarry) {
    TempDir t;
    CSettingsFile f = FileWith(t, "[S]\na=1\n");
    EXPECT_FALSE(f.WriteString("1\n[X]", "a", "S"));
    EXPECT_FALSE(f.WriteString("1", "a=b", "S"));
    EXPECT_FALSE(f.WriteString("1", "", "S"));
    EXPECT_FALSE(f.WriteString("1", "a", "S]"));
    EXPECT_FALSE(f.WriteString("1", "a", ""));
    EXPECT_FALSE(f.modified());
    EXPECT_EQ(f.ReadString("a", "S"), "1");
}

TEST(CSettingsFile, UnchangedContentIsNotRewritten) {
    TempDir t;
    CSettingsFile f = FileWith(t, "[S]\na=1\n");
    ino_t before = Inode(t / "kestrow.ini");
    EXPECT_TRUE(f.WriteString("1", "A", "s"));
    EXPECT_FALSE(f.modified());
    ASSERT_TRUE(f.Flush());
    EXPECT_EQ(Inode(t / "kestrow.ini"), before);
}

TEST(CSettingsFile, AFileThatCouldNotBeReadIsNeverOverwritten) {
    TempDir t;
    std::string huge(platform::kMaxTextFileSize + 10, ';');
    huge[0] = '\n';
    WriteFile(t / "kestrow.ini", huge);
    CSettingsFile f;
    EXPECT_EQ(f.SetPath(t / "kestrow.ini").error, EFBIG);
    EXPECT_TRUE(f.WriteString("1", "Truncate", "GENERAL"));
    EXPECT_EQ(f.Flush().error, EFBIG);
    EXPECT_EQ(ReadFile(t / "kestrow.ini").size(), huge.size());
    EXPECT_EQ(SaveOptions(At(t / "kestrow.ini"), ProcessOptions()).error, EFBIG);
    EXPECT_EQ(ReadFile(t / "kestrow.ini").size(), huge.size());
}

int Field(const ProcessOptions& o, std::string_view key) {
    if (key == "Truncate") return o.Truncate;
    if (key == "ConfirmChanges") return o.ConfirmChanges;
    if (key == "SuppressAlerts") return o.SuppressAlerts;
    if (key == "lastProcessOption") return o.lastProcessOption;
    if (key == "prepareBackupTo") return o.prepareBackupTo;
    if (key == "preserveRlsyear") return o.preserveRlsyear;
    if (key == "TruncateMaxChars") return o.TruncateMaxChars;
    ADD_FAILURE() << "no field for " << key;
    return 0;
}

TEST(LoadOptions, NumbersAreReadAndSavedByKind) {
    const auto rows = test::TableRows("settings_number_rows.txt");
    EXPECT_EQ(rows.size(), 8u);
    for (const auto& row : rows) {
        SCOPED_TRACE(row[0] + "=" + row[1]);
        TempDir t;
        WriteFile(t / "k.ini", "[GENERAL]\n" + row[0] + "=" + row[1] + "\n");
        ProcessOptions o = Loaded(At(t / "k.ini"));
        EXPECT_EQ(Field(o, row[0]), std::stoi(row[2]));
        ASSERT_TRUE(SaveOptions(At(t / "k.ini"), o));
        EXPECT_EQ(Opened(t / "k.ini").ReadString(row[0], "GENERAL"), row[3]);
    }
}

TEST(LoadOptions, SpecialFileLinesStopAtTheFirstEmptyAndAreSorted) {
    TempDir t;
    WriteFile(t / "k.ini",
              "[GENERAL]\nTempFile1=IGN: b.txt\ntempfile2=DEL: A.tmp\nTempFile3=\nTempFile4=DEL: lost\n"
              "TempFile01=DEL: padded\n");
    EXPECT_EQ(Loaded(At(t / "k.ini")).specialFileLines,
              (std::vector<std::string>{"DEL: A.tmp", "IGN: b.txt"}));
}

TEST(SaveOptions, StaleTempFileKeysAreBlankedNotRemoved) {
    TempDir t;
    WriteFile(t / "k.ini",
              "[GENERAL]\nTempFile1=DEL: 1\nTempFile2=DEL: 2\nTempFile3=DEL: 3\nTempFile4=DEL: 4\n"
              "TempFile5=DEL: 5\nTempFile7=DEL: beyond the gap\n");
    ProcessOptions o = Loaded(At(t / "k.ini"));
    o.specialFileLines = {"IGN: x", "REN: a -> b"};
    ASSERT_TRUE(SaveOptions(At(t / "k.ini"), o));
    std::string text = ReadFile(t / "k.ini");
    for (const char* line : {"TempFile1=IGN: x\n", "TempFile2=REN: a -> b\n", "TempFile3=\n", "TempFile4=\n",
                             "TempFile5=\n", "TempFile7=DEL: beyond the gap\n"}) {
        EXPECT_NE(text.find(line), std::string::npos) << line;
    }
    EXPECT_EQ(Loaded(At(t / "k.ini")).specialFileLines.size(), 2u);
}

// Every flag on and every other key away from its initial value: all are written, in their
// order, and loading and saving again changes nothing.
TEST(SaveOptions, WritesEveryKeyAndReadsBackTheSameOptions) {
    TempDir t;
    const std::string first = Dump(Loaded(At(test::TestDataPath("settings/every-key.ini"))));
    ExpectGolden("settings/every-key", first);
    ASSERT_TRUE(SaveOptions(At(t / "k.ini"), Loaded(At(test::TestDataPath("settings/every-key.ini")))));
    EXPECT_EQ(Dump(Loaded(At(t / "k.ini"))), first);
}

TEST(SaveOptions, KeepsForeignLinesAndNeverWritesGroupTags) {
    TempDir t;
    WriteFile(t / "k.ini",
              "; my notes\r\n[Window]\r\nx=10\r\n\r\n[GENERAL]\r\n; keep this\r\nMyKey=mine\r\n"
              "Truncate=0\r\n\r\n[GTAGS]\r\nGRP=Group\r\n");
    ProcessOptions o = Loaded(At(t / "k.ini"));
    o.Truncate = 1;
    o.groupTags["NEW"] = "added in memory";
    ino_t old = Inode(t / "k.ini");
    ASSERT_TRUE(SaveOptions(At(t / "k.ini"), o));
    std::string after = ReadFile(t / "k.ini");
    EXPECT_TRUE(after.starts_with(
        "; my notes\r\n[Window]\r\nx=10\r\n\r\n[GENERAL]\r\n; keep this\r\nMyKey=mine\r\nTruncate=1\r\n"))
        << after;
    EXPECT_TRUE(after.ends_with("=0\r\n\r\n[GTAGS]\r\nGRP=Group\r\n")) << "new keys stay inside GENERAL";
    EXPECT_EQ(after.find("NEW"), std::string::npos);
    EXPECT_EQ(after.find("\n\n"), std::string::npos) << "line ends stay CR LF";
    // Replaced by a rename, never rewritten in place, and no temporary left behind.
    EXPECT_NE(Inode(t / "k.ini"), old);
    EXPECT_EQ(EntryCount(t.path()), 1u);
}

// Runs fn in a child process and returns the child's exit code (or -1 when it did not exit).
template <typename Fn>
int InChild(Fn fn) {
    pid_t pid = ::fork();
    if (pid == 0) ::_exit(fn());
    if (pid < 0) return -1;
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(SaveOptions, AFullDiskLeavesTheOldFileIntact) {
    TempDir t;
    const std::string before = "[GENERAL]\nTruncate=0\n[Mine]\nkeep=1\n";
    WriteFile(t / "k.ini", before);
    {
        test::FileSizeLimit full(256);  // the whole new file would be far larger; the old one is not
        ProcessOptions o;
        o.Truncate = 1;
        EXPECT_EQ(SaveOptions(At(t / "k.ini"), o).error, EFBIG);
    }
    EXPECT_EQ(ReadFile(t / "k.ini"), before);
    EXPECT_EQ(EntryCount(t.path()), 1u) << "no temporary file is left behind";
}

TEST(SaveOptions, AReadOnlyFolderFailsWithItsReason) {
    TempDir t;
    const std::string before = "[GENERAL]\nTruncate=0\n";
    WriteFile(t / "Settings/kestrow.ini", before);
    ::chmod(t.path().c_str(), 0755);
    ::chmod((t / "Settings/kestrow.ini").c_str(), 0644);
    ::chmod((t / "Settings").c_str(), 0555);
    int code = InChild([&] {
        // Root ignores folder permissions, so the save runs as an ordinary user.
        if (::geteuid() == 0 && ::setuid(65534) != 0) return 3;
        ProcessOptions o;
        if (!LoadOptions(At(t / "Settings/kestrow.ini"), o)) return 4;
        o.Truncate = 1;
        return SaveOptions(At(t / "Settings/kestrow.ini"), o).error == EACCES ? 0 : 1;
    });
    EXPECT_EQ(code, 0);
    EXPECT_EQ(ReadFile(t / "Settings/kestrow.ini"), before);
}

TEST(SaveOptions, AFirstSaveCreatesTheFolderAndKeepsTheShippedGroupTags) {
    TempDir t;
    WriteFile(t / "share/kestrow.ini", "; shipped\n[GENERAL]\nTruncateMaxChars=64\n\n[GTAGS]\nGRP=Group\n");
    SettingsPlaces places;
    places.xdgConfigHome = t / "config";
    places.defaultsCandidates = {t / "share/kestrow.ini"};
    SettingsLocation where = LocateSettings(places);
    ProcessOptions o = Loaded(where);
    EXPECT_EQ(o.TruncateMaxChars, 64);
    EXPECT_EQ(o.groupTags, (GroupTagMap{{"GRP", "Group"}}));
    o.Truncate = 1;
    o.TruncateMaxChars = 80;
    ASSERT_TRUE(SaveOptions(where, o));
    struct stat st {};
    ASSERT_EQ(::stat((t / "config/kestrow").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);

    // The user's file now wins over the defaults, and still carries their group tags.
    WriteFile(t / "share/kestrow.ini", "[GENERAL]\nTruncateMaxChars=10\n");
    ProcessOptions again = Loaded(LocateSettings(places));
    EXPECT_EQ(again.Truncate, 1);
    EXPECT_EQ(again.TruncateMaxChars, 80);
    EXPECT_EQ(again.groupTags, (GroupTagMap{{"GRP", "Group"}}));
    EXPECT_TRUE(ReadFile(t / "config/kestrow/kestrow.ini").starts_with("; shipped\n"));
}

TEST(LocateSettings, TheProgramFindsTheDefaultsFromItsOwnFolder) {
    // Test programs sit in build/tests, beside build/bin: the same way up leads to the copy of the
    // shipped defaults in the build tree, never to the sources.
    SettingsPlaces places = CurrentSettingsPlaces("");
    ASSERT_EQ(places.defaultsCandidates.size(), 1u);
    const std::string& found = places.defaultsCandidates.front();
    EXPECT_EQ(found.rfind(places.exeDir + "/", 0), 0u) << found;
    EXPECT_EQ(ReadFile(found), ReadFile(KESTROW_SOURCE_DIR "/share/kestrow/kestrow.ini"));
}

TEST(LocateSettings, ChoosesTheFile) {
    const auto rows = test::TableRows("settings_place_rows.txt");
    EXPECT_EQ(rows.size(), 6u);
    for (const auto& row : rows) {
        SCOPED_TRACE(row[0]);
        TempDir t;
        test::MakeDirs(t / (row[2] == "1" ? "bin/Settings" : "bin"));
        WriteFile(t / "share/second.ini", "");
        auto inTemp = [&](const std::string& p) { return p.rfind('~', 0) == 0 ? t.path() + p.substr(1) : p; };
        auto relative = [&](const std::string& p) { return p.empty() ? std::string() : t / p; };
        SettingsPlaces places;
        places.explicitFile = row[1] == "1" ? t / "given.ini" : "";
        places.exeDir = t / "bin";
        places.xdgConfigHome = inTemp(row[3]);
        places.home = inTemp(row[4]);
        places.defaultsCandidates = {t / "share/first.ini", t / "share", t / "share/second.ini"};
        SettingsLocation where = LocateSettings(places);
        EXPECT_EQ(where.file, relative(row[5]));
        EXPECT_EQ(where.folderToCreate, relative(row[6]));
        EXPECT_EQ(where.defaultsFile, t / "share/second.ini") << "the first candidate that is a file";
    }
}

TEST(CommandLine, OverridesSetModeAndDirectory) {
    const auto rows = test::TableRows("commandline_rows.txt");
    ASSERT_EQ(rows.size(), 11u);
    for (const auto& row : rows) {
        SCOPED_TRACE(row[0]);
        std::vector<std::string> args;
        for (const std::string& word : test::Words(row[0])) args.push_back(test::Unescape(word));
        ProcessOptions o;
        o.lastProcessOption = 2;
        o.lastDir = "/before/";
        CommandLine line = ParseCommandLine(args);
        UnattendedRun run = ApplyCommandLine(line, "/home/user", o);
        EXPECT_EQ(run.active, row[1] == "1");
        EXPECT_EQ(o.lastProcessOption, std::stoi(row[2]));
        EXPECT_EQ(o.lastDir, run.active ? row[3] + row[4] + "/" : "/before/");
        EXPECT_EQ(run.where.parent, row[3]);
        EXPECT_EQ(run.where.name, row[4]);
        EXPECT_EQ(line.settingsFile, row[5]);
    }
}

TEST(CommandLine, TheRootHasNoNameToProcess) {
    RunDirectory r = SplitRunDirectory("///", "/home");
    EXPECT_EQ(r.directory, "/");
    EXPECT_EQ(r.parent, "/");
    EXPECT_EQ(r.name, "");
}

}  // namespace
}  // namespace kestrow
