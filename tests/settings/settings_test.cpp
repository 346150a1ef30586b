// Settings file reading and writing, the options record's load and save, the settings location
// and the command-line overrides.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <string>
#include <vector>

#include "platform/fs.h"
#include "platform/text.h"
#include "settings/commandline.h"
#include "settings/csettingsfile.h"
#include "settings/options.h"
#include "settings/settingslocation.h"
#include "tests/support/tempdir.h"

namespace kestrow {
namespace {

using test::ReadFile;
using test::TempDir;
using test::WriteFile;

CSettingsFile FileWith(const TempDir& t, const std::string& text) {
    WriteFile(t / "kestrow.ini", text);
    CSettingsFile f;
    EXPECT_TRUE(f.SetPath(t / "kestrow.ini"));
    return f;
}

SettingsLocation At(const std::string& file, const std::string& defaults = {}) {
    SettingsLocation where;
    where.file = file;
    where.defaultsFile = defaults;
    return where;
}

// Files saved by hand on Windows and on Linux, all meaning the same options.
struct Dialect {
    const char* what;
    std::string text;
};

class WindowsWrittenFile : public ::testing::TestWithParam<Dialect> {};

TEST_P(WindowsWrittenFile, LoadsTheSameOptions) {
    TempDir t;
    WriteFile(t / "kestrow.ini", GetParam().text);
    ProcessOptions o;
    ASSERT_TRUE(LoadOptions(At(t / "kestrow.ini"), o));
    EXPECT_EQ(o.Truncate, 1);
    EXPECT_EQ(o.TruncateMaxChars, 64);
    EXPECT_EQ(o.lastProcessOption, 1);
    EXPECT_EQ(o.lastDir, "/music/New Releases/");
    EXPECT_EQ(o.TaglinePrefix, "[ABC]");
    EXPECT_EQ(o.specialFileLines, (std::vector<std::string>{"DEL: thumbs.db", "IGN: cover.jpg"}));
    EXPECT_EQ(o.groupTags, (GroupTagMap{{"GRP", "Group"}, {"TAG", "x=y"}}));
}

INSTANTIATE_TEST_SUITE_P(
    Settings, WindowsWrittenFile,
    ::testing::Values(
        Dialect{"plain",
                "[GENERAL]\nTruncate=1\nTruncateMaxChars=64\nlastProcessOption=1\n"
                "lastDir=/music/New Releases/\nTaglinePrefix=[ABC]\nTempFile1=DEL: thumbs.db\n"
                "TempFile2=IGN: cover.jpg\n[GTAGS]\nGRP=Group\nTAG=x=y\n"},
        Dialect{"crlf bom comments",
                "\xEF\xBB\xBF; saved by hand\r\n[GENERAL]\r\n;Truncate=0\r\nTruncate=1\r\n"
                "TruncateMaxChars=64\r\nlastProcessOption=1\r\nlastDir=/music/New Releases/\r\n"
                "TaglinePrefix=[ABC]\r\nTempFile1=IGN: cover.jpg\r\nTempFile2=DEL: thumbs.db\r\n"
                "\r\n[GTAGS]\r\n; tags\r\nGRP=Group\r\nTAG=x=y\r\n"},
        Dialect{"odd spacing and case",
                "  [ general ]  \n\ttruncate = 1\nTRUNCATEMAXCHARS\t=\t64 \n lastprocessoption= 1\n"
                "LastDir =   /music/New Releases/   \ntaglineprefix = \"[ABC]\"\n"
                "tempfile1 = DEL: thumbs.db\nTEMPFILE2=IGN: cover.jpg\n\n\n[gtags]\n"
                "GRP = Group\n  TAG =x=y"},
        Dialect{"keys first seen twice",
                "[GENERAL]\nTruncate=1\nTruncate=0\nTruncateMaxChars=64\n"
                "lastProcessOption=1\nlastDir=/music/New Releases/\nTaglinePrefix=[ABC]\n"
                "TempFile1=DEL: thumbs.db\nTempFile2=IGN: cover.jpg\n[GTAGS]\nGRP=Old\n"
                "GRP=Group\nTAG=x=y\n"}),
    [](const auto& info) {
        std::string name;
        for (char c : std::string(info.param.what))
            name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
        return name;
    });

TEST(CSettingsFile, ReadIntTakesLeadingDecimalDigits) {
    TempDir t;
    CSettingsFile f = FileWith(t,
                               "[N]\na=12\nb=-3\nc=abc\nd=12abc\ne=\nf=99999999999\ng=-99999999999\nh=+5\n"
                               "i=0x10\nj= 7 \n");
    const std::pair<const char*, int> cases[] = {{"a", 12}, {"b", -3},      {"c", 0},       {"d", 12},
                                                 {"e", 0},  {"f", INT_MAX}, {"g", INT_MIN}, {"h", 5},
                                                 {"i", 0},  {"j", 7},       {"missing", 0}};
    for (const auto& [key, want] : cases) EXPECT_EQ(f.ReadInt(key, "N"), want) << key;
    EXPECT_EQ(f.ReadInt("a", "NoSuchSection"), 0);
}

TEST(CSettingsFile, ValuesAreCutAt254CharactersNeverInsideOne) {
    TempDir t;
    std::string ascii(300, 'x');
    std::string accented;
    for (int i = 0; i < 300; ++i) accented += "\xC3\xA9";
    CSettingsFile f = FileWith(t, "[S]\nascii=" + ascii + "\naccented=" + accented + "\n");
    EXPECT_EQ(f.ReadString("ascii", "S"), std::string(254, 'x'));
    EXPECT_EQ(f.ReadString("accented", "S"), accented.substr(0, 508));
    // Section lines are not cut: a long group tag value stays whole.
    EXPECT_EQ(f.ReadSectionLines("S")[0], "ascii=" + ascii);
}

TEST(CSettingsFile, QuotesAroundAValueAreDropped) {
    TempDir t;
    CSettingsFile f = FileWith(t, "[S]\na=\"two words\"\nb='x'\nc=\"open\nd=\"\ne=a\"b\"\n");
    EXPECT_EQ(f.ReadString("a", "S"), "two words");
    EXPECT_EQ(f.ReadString("b", "S"), "x");
    EXPECT_EQ(f.ReadString("c", "S"), "\"open");
    EXPECT_EQ(f.ReadString("d", "S"), "\"");
    EXPECT_EQ(f.ReadString("e", "S"), "a\"b\"");
}

TEST(CSettingsFile, SectionExistsOnlyWithAKey) {
    TempDir t;
    CSettingsFile f = FileWith(t, "top=1\n[Empty]\n\n[Comments]\n; a=1\n[Keyed]\n; note\nk=\n[Bare]\nword\n");
    EXPECT_FALSE(f.SectionExists("Missing"));
    EXPECT_FALSE(f.SectionExists("Empty"));
    EXPECT_FALSE(f.SectionExists("Comments"));
    EXPECT_TRUE(f.SectionExists("Keyed"));
    EXPECT_TRUE(f.SectionExists("KEYED"));
    EXPECT_TRUE(f.SectionExists("Bare"));
    EXPECT_EQ(f.ReadString("top", "Empty"), "");
}

TEST(CSettingsFile, SectionMapSplitsAtTheFirstEqualsSign) {
    TempDir t;
    CSettingsFile f = FileWith(t,
                               "[GTAGS]\nGRP=a=b\n=skipped\nnoequals\nDUP=1\nDUP=2\ngrp=lower\n ; c=1\n"
                               "  SP  =  v  \nEMPTY=\n[NEXT]\nOTHER=1\n");
    EXPECT_EQ(f.ReadSectionLines("gtags"),
              (std::vector<std::string>{"GRP=a=b", "=skipped", "noequals", "DUP=1", "DUP=2", "grp=lower",
                                        "SP=v", "EMPTY="}));
    std::map<std::string, std::string> want{
        {"GRP", "a=b"}, {"DUP", "2"}, {"grp", "lower"}, {"SP", "v"}, {"EMPTY", ""}};
    EXPECT_EQ(f.ReadSectionMap("GTAGS"), want);
    EXPECT_TRUE(f.ReadSectionMap("NONE").empty());
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
    ::chmod((t / "kestrow.ini").c_str(), 0600);
    struct stat before {};
    ASSERT_EQ(::stat((t / "kestrow.ini").c_str(), &before), 0);
    EXPECT_TRUE(f.WriteString("1", "A", "s"));
    EXPECT_FALSE(f.modified());
    ASSERT_TRUE(f.Flush());
    struct stat after {};
    ASSERT_EQ(::stat((t / "kestrow.ini").c_str(), &after), 0);
    EXPECT_EQ(before.st_ino, after.st_ino);
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
    ProcessOptions o;
    EXPECT_EQ(SaveOptions(At(t / "kestrow.ini"), o).error, EFBIG);
    EXPECT_EQ(ReadFile(t / "kestrow.ini").size(), huge.size());
}

// Every key of section GENERAL, as the file spells it.
const char* const kAllKeys[] = {"lastDir",
                                "lastProcessOption",
                                "preserveRlsyear",
                                "preserveGrptag",
                                "preserveVAtag",
                                "prepareBackupTo",
                                "preserveVAtagException1",
                                "StripVAtagDirs",
                                "StripTHEtagDirs",
                                "StripTHEtagDirsMove",
                                "StripTHEtagDirsMoveAddBrackets",
                                "Truncate",
                                "RestoreTruncated",
                                "RestoreCRCCheck",
                                "PrepareCRCCheck",
                                "DeleteTempFiles",
                                "PrepareGenerateM3U",
                                "ConfirmChanges",
                                "TruncateMaxChars",
                                "ReplaceDots",
                                "RemoveDotsInDirs",
                                "RemoveDotsInDirsFrontOnly",
                                "GeneratePrepareTagline",
                                "GenerateRestoreTagline",
                                "TaglinePrefix",
                                "PrepareTaglineTrustExisting",
                                "RestoreTaglineTrustExisting",
                                "SuppressAlerts",
                                "RestoreWithoutBackupData"};

TEST(LoadOptions, NoFileGivesTheInitialValues) {
    TempDir t;
    ProcessOptions o;
    o.Truncate = 1;
    o.groupTags["X"] = "1";
    ASSERT_TRUE(LoadOptions(At(t / "missing.ini"), o));
    EXPECT_EQ(o.lastProcessOption, 2);
    EXPECT_EQ(o.preserveRlsyear, 1);
    EXPECT_EQ(o.prepareBackupTo, 2);
    EXPECT_EQ(o.Truncate, 0);
    EXPECT_EQ(o.TruncateMaxChars, 0);
    EXPECT_EQ(o.TaglinePrefix, "");
    EXPECT_TRUE(o.groupTags.empty());
    // Saved as it stands, the empty prefix becomes "[KSTW]" at the next start.
    ASSERT_TRUE(SaveOptions(At(t / "missing.ini"), o));
    ASSERT_TRUE(LoadOptions(At(t / "missing.ini"), o));
    EXPECT_EQ(o.TaglinePrefix, "[KSTW]");
    EXPECT_EQ(o.lastProcessOption, 2);
}

TEST(LoadOptions, AGeneralSectionWithOneKeyZeroesTheOthers) {
    TempDir t;
    WriteFile(t / "k.ini", "[GENERAL]\nTruncate=1\n");
    ProcessOptions o;
    ASSERT_TRUE(LoadOptions(At(t / "k.ini"), o));
    EXPECT_EQ(o.Truncate, 1);
    EXPECT_EQ(o.lastProcessOption, 0);
    EXPECT_EQ(o.preserveRlsyear, 0);
    EXPECT_EQ(o.prepareBackupTo, 0);
    EXPECT_EQ(o.TaglinePrefix, "[KSTW]");
}

struct NumberCase {
    const char* key;
    const char* stored;
    int read;
    const char* saved;
};

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

class OptionNumbers : public ::testing::TestWithParam<NumberCase> {};

TEST_P(OptionNumbers, ReadAndSavedByKind) {
    const NumberCase& c = GetParam();
    TempDir t;
    WriteFile(t / "k.ini", std::string("[GENERAL]\n") + c.key + "=" + c.stored + "\n");
    ProcessOptions o;
    ASSERT_TRUE(LoadOptions(At(t / "k.ini"), o));
    EXPECT_EQ(Field(o, c.key), c.read);
    ASSERT_TRUE(SaveOptions(At(t / "k.ini"), o));
    CSettingsFile saved;
    ASSERT_TRUE(saved.SetPath(t / "k.ini"));
    EXPECT_EQ(saved.ReadString(c.key, "GENERAL"), c.saved);
}

INSTANTIATE_TEST_SUITE_P(Settings, OptionNumbers,
                         ::testing::Values(NumberCase{"Truncate", "5", 1, "1"},
                                           NumberCase{"ConfirmChanges", "-1", 1, "1"},
                                           NumberCase{"SuppressAlerts", "junk", 0, "0"},
                                           NumberCase{"lastProcessOption", "7", 7, "2"},
                                           NumberCase{"prepareBackupTo", "-4", -4, "2"},
                                           NumberCase{"prepareBackupTo", "1", 1, "1"},
                                           NumberCase{"preserveRlsyear", "5", 5, "0"},
                                           NumberCase{"TruncateMaxChars", "-12", -12, "-12"}));

TEST(LoadOptions, SpecialFileLinesStopAtTheFirstEmptyAndAreSorted) {
    TempDir t;
    WriteFile(t / "k.ini",
              "[GENERAL]\nTempFile1=IGN: b.txt\ntempfile2=DEL: A.tmp\nTempFile3=\nTempFile4=DEL: lost\n"
              "TempFile01=DEL: padded\n");
    ProcessOptions o;
    ASSERT_TRUE(LoadOptions(At(t / "k.ini"), o));
    EXPECT_EQ(o.specialFileLines, (std::vector<std::string>{"DEL: A.tmp", "IGN: b.txt"}));
}

TEST(SaveOptions, StaleTempFileKeysAreBlankedNotRemoved) {
    TempDir t;
    WriteFile(t / "k.ini",
              "[GENERAL]\nTempFile1=DEL: 1\nTempFile2=DEL: 2\nTempFile3=DEL: 3\nTempFile4=DEL: 4\n"
              "TempFile5=DEL: 5\nTempFile7=DEL: beyond the gap\n");
    ProcessOptions o;
    ASSERT_TRUE(LoadOptions(At(t / "k.ini"), o));
    o.specialFileLines = {"IGN: x", "REN: a -> b"};
    ASSERT_TRUE(SaveOptions(At(t / "k.ini"), o));
    CSettingsFile f;
    ASSERT_TRUE(f.SetPath(t / "k.ini"));
    EXPECT_EQ(f.ReadString("TempFile1", "GENERAL"), "IGN: x");
    EXPECT_EQ(f.ReadString("TempFile2", "GENERAL"), "REN: a -> b");
    std::string text = ReadFile(t / "k.ini");
    for (const char* blank : {"TempFile3=\n", "TempFile4=\n", "TempFile5=\n"}) {
        EXPECT_NE(text.find(blank), std::string::npos) << blank;
    }
    EXPECT_NE(text.find("TempFile7=DEL: beyond the gap\n"), std::string::npos);
    ASSERT_TRUE(LoadOptions(At(t / "k.ini"), o));
    EXPECT_EQ(o.specialFileLines.size(), 2u);
}

TEST(SaveOptions, WritesEveryKeyAndReadsBackTheSameOptions) {
    TempDir t;
    ProcessOptions o;
    o.lastDir = "/music/Incoming/";
    o.lastProcessOption = 1;
    o.preserveRlsyear = 0;
    o.prepareBackupTo = 1;
    o.preserveGrptag = o.preserveVAtag = o.preserveVAtagException1 = o.StripVAtagDirs = 1;
    o.StripTHEtagDirs = o.StripTHEtagDirsMove = o.StripTHEtagDirsMoveAddBrackets = o.Truncate = 1;
    o.RestoreTruncated = o.RestoreCRCCheck = o.PrepareCRCCheck = o.DeleteTempFiles = o.PrepareGenerateM3U = 1;
    o.ConfirmChanges = 1;
    o.TruncateMaxChars = 100;
    o.ReplaceDots = o.RemoveDotsInDirs = o.RemoveDotsInDirsFrontOnly = o.GeneratePrepareTagline = 1;
    o.GenerateRestoreTagline = o.PrepareTaglineTrustExisting = o.RestoreTaglineTrustExisting = 1;
    o.SuppressAlerts = 1;
    o.RestoreWithoutBackupData = 1;
    o.TaglinePrefix = "[MINE]";
    o.specialFileLines = {"DEL: a", "IGN: b"};
    ASSERT_TRUE(SaveOptions(At(t / "k.ini"), o));

    CSettingsFile f;
    ASSERT_TRUE(f.SetPath(t / "k.ini"));
    std::vector<std::string> written = f.ReadSectionLines("GENERAL");
    std::size_t k = 0;
    for (const char* key : kAllKeys) {
        ASSERT_LT(k, written.size());
        EXPECT_EQ(written[k].substr(0, written[k].find('=')), key) << "keys are written in table order";
        ++k;
    }
    for (const std::string& line : written) {
        if (line.rfind("TempFile", 0) == 0 || line.rfind("lastDir", 0) == 0 ||
            line.rfind("TaglinePrefix", 0) == 0 || line.rfind("lastProcessOption", 0) == 0 ||
            line.rfind("preserveRlsyear", 0) == 0 || line.rfind("prepareBackupTo", 0) == 0 ||
            line.rfind("TruncateMaxChars", 0) == 0) {
            continue;
        }
        EXPECT_EQ(line.substr(line.find('=')), "=1") << line;
    }

    ProcessOptions back;
    ASSERT_TRUE(LoadOptions(At(t / "k.ini"), back));
    const std::string first = ReadFile(t / "k.ini");
    ASSERT_TRUE(SaveOptions(At(t / "k.ini"), back));
    EXPECT_EQ(ReadFile(t / "k.ini"), first) << "loading and saving again changes nothing";
    EXPECT_EQ(back.lastDir, o.lastDir);
    EXPECT_EQ(back.lastProcessOption, 1);
    EXPECT_EQ(back.preserveRlsyear, 0);
    EXPECT_EQ(back.prepareBackupTo, 1);
    EXPECT_EQ(back.TruncateMaxChars, 100);
    EXPECT_EQ(back.TaglinePrefix, "[MINE]");
    EXPECT_EQ(back.specialFileLines, o.specialFileLines);
    EXPECT_EQ(back.ConfirmChanges, 1);
    EXPECT_EQ(back.RestoreWithoutBackupData, 1);
}

TEST(SaveOptions, KeepsForeignLinesAndNeverWritesGroupTags) {
    TempDir t;
    const std::string before =
        "; my notes\r\n[Window]\r\nx=10\r\n\r\n[GENERAL]\r\n; keep this\r\nMyKey=mine\r\n"
        "Truncate=0\r\n\r\n[GTAGS]\r\nGRP=Group\r\n";
    WriteFile(t / "k.ini", before);
    ProcessOptions o;
    ASSERT_TRUE(LoadOptions(At(t / "k.ini"), o));
    o.Truncate = 1;
    o.groupTags["NEW"] = "added in memory";
    struct stat old {};
    ASSERT_EQ(::stat((t / "k.ini").c_str(), &old), 0);
    ASSERT_TRUE(SaveOptions(At(t / "k.ini"), o));
    std::string after = ReadFile(t / "k.ini");
    EXPECT_EQ(
        after.rfind(
            "; my notes\r\n[Window]\r\nx=10\r\n\r\n[GENERAL]\r\n; keep this\r\nMyKey=mine\r\nTruncate=1\r\n",
            0),
        0u)
        << after;
    const std::string tail = "=0\r\n\r\n[GTAGS]\r\nGRP=Group\r\n";
    EXPECT_EQ(after.substr(after.size() - tail.size()), tail) << "new keys stay inside GENERAL";
    EXPECT_EQ(after.find("NEW"), std::string::npos);
    EXPECT_EQ(after.find("\n\n"), std::string::npos) << "line ends stay CR LF";
    // Replaced by a rename, never rewritten in place, and no temporary left behind.
    struct stat now {};
    ASSERT_EQ(::stat((t / "k.ini").c_str(), &now), 0);
    EXPECT_NE(now.st_ino, old.st_ino);
    std::vector<platform::DirEntry> entries;
    ASSERT_TRUE(platform::ListDirectory(t.path(), entries));
    EXPECT_EQ(entries.size(), 1u);
}

TEST(SaveOptions, NoGroupTagSectionMeansAnEmptyMapAndNoneWritten) {
    TempDir t;
    WriteFile(t / "k.ini", "[GENERAL]\nTruncate=1\n[GTAGS]\n; only a comment\n");
    ProcessOptions o;
    ASSERT_TRUE(LoadOptions(At(t / "k.ini"), o));
    EXPECT_TRUE(o.groupTags.empty());
    o.groupTags["GRP"] = "x";
    ASSERT_TRUE(SaveOptions(At(t / "k.ini"), o));
    EXPECT_EQ(ReadFile(t / "k.ini").find("GRP"), std::string::npos);
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
    int code = InChild([&] {
        // The whole new file would be far larger than the limit; the old one is not.
        ::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{256, 256};
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) return 3;
        ProcessOptions o;
        o.Truncate = 1;
        platform::Status s = SaveOptions(At(t / "k.ini"), o);
        return s.error == EFBIG ? 0 : 1;
    });
    EXPECT_EQ(code, 0);
    EXPECT_EQ(ReadFile(t / "k.ini"), before);
    std::vector<platform::DirEntry> entries;
    ASSERT_TRUE(platform::ListDirectory(t.path(), entries));
    EXPECT_EQ(entries.size(), 1u) << "no temporary file is left behind";
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

    ProcessOptions o;
    ASSERT_TRUE(LoadOptions(where, o));
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
    ProcessOptions again;
    ASSERT_TRUE(LoadOptions(LocateSettings(places), again));
    EXPECT_EQ(again.Truncate, 1);
    EXPECT_EQ(again.TruncateMaxChars, 80);
    EXPECT_EQ(again.groupTags, (GroupTagMap{{"GRP", "Group"}}));
    EXPECT_EQ(ReadFile(t / "config/kestrow/kestrow.ini").rfind("; shipped\n", 0), 0u);
}

TEST(LoadOptions, AnExistingUserFileIsReadEvenWithoutGeneral) {
    TempDir t;
    WriteFile(t / "defaults.ini", "[GENERAL]\nTruncateMaxChars=64\n");
    WriteFile(t / "user.ini", "[Other]\nx=1\n");
    ProcessOptions o;
    ASSERT_TRUE(LoadOptions(At(t / "user.ini", t / "defaults.ini"), o));
    EXPECT_EQ(o.TruncateMaxChars, 0);
    EXPECT_EQ(o.lastProcessOption, 2);
}

TEST(LoadOptions, TheShippedDefaultsSuitAFirstRun) {
    SettingsPlaces places;
    places.explicitFile = "/nonexistent/kestrow.ini";
    places.defaultsCandidates = {KESTROW_SOURCE_DIR "/share/kestrow/kestrow.ini"};
    SettingsLocation where = LocateSettings(places);
    ASSERT_FALSE(where.defaultsFile.empty());
    ProcessOptions o;
    ASSERT_TRUE(LoadOptions(where, o));
    EXPECT_EQ(o.TruncateMaxChars, 64);
    EXPECT_EQ(o.lastProcessOption, 2);
    EXPECT_EQ(o.PrepareCRCCheck, 1);
    EXPECT_EQ(o.GeneratePrepareTagline, 1);
    EXPECT_EQ(o.prepareBackupTo, 2);
    EXPECT_EQ(o.ConfirmChanges, 1);
    EXPECT_EQ(o.TaglinePrefix, "[KSTW]");
    ASSERT_GE(o.groupTags.size(), 3u);
    for (const auto& [tag, value] : o.groupTags) {
        EXPECT_EQ(tag, platform::AsciiUpper(tag)) << "only upper-case keys can ever match";
    }
}

struct PlaceCase {
    const char* what;
    bool explicitFile;
    bool portableFolder;
    const char* xdg;
    const char* home;
    const char* file;  // relative to the temporary folder; "" for none
    const char* folderToCreate;
};

class SettingsPlace : public ::testing::TestWithParam<PlaceCase> {};

TEST_P(SettingsPlace, ChoosesTheFile) {
    const PlaceCase& c = GetParam();
    TempDir t;
    test::MakeDirs(t / "bin");
    if (c.portableFolder) test::MakeDirs(t / "bin/Settings");
    WriteFile(t / "share/second.ini", "");
    SettingsPlaces places;
    places.explicitFile = c.explicitFile ? t / "given.ini" : "";
    places.exeDir = t / "bin";
    auto expand = [&](const char* p) {
        return std::string(p).empty() || p[0] != '~' ? std::string(p) : t.path() + (p + 1);
    };
    places.xdgConfigHome = expand(c.xdg);
    places.home = expand(c.home);
    places.defaultsCandidates = {t / "share/first.ini", t / "share", t / "share/second.ini"};
    SettingsLocation where = LocateSettings(places);
    EXPECT_EQ(where.file, std::string(c.file).empty() ? "" : t / c.file);
    EXPECT_EQ(where.folderToCreate, std::string(c.folderToCreate).empty() ? "" : t / c.folderToCreate);
    EXPECT_EQ(where.defaultsFile, t / "share/second.ini") << "the first candidate that is a file";
}

INSTANTIATE_TEST_SUITE_P(
    Settings, SettingsPlace,
    ::testing::Values(
        PlaceCase{"explicit_wins", true, true, "~/xdg", "~/home", "given.ini", ""},
        PlaceCase{"portable_folder", false, true, "~/xdg", "~/home", "bin/Settings/kestrow.ini", ""},
        PlaceCase{"xdg", false, false, "~/xdg", "~/home", "xdg/kestrow/kestrow.ini", "xdg/kestrow"},
        PlaceCase{"relative_xdg_ignored", false, false, "xdg", "~/home", "home/.config/kestrow/kestrow.ini",
                  "home/.config/kestrow"},
        PlaceCase{"home_config", false, false, "", "~/home", "home/.config/kestrow/kestrow.ini",
                  "home/.config/kestrow"},
        PlaceCase{"nowhere", false, false, "", "", "", ""}),
    [](const auto& info) { return std::string(info.param.what); });

struct LineCase {
    std::vector<std::string> args;
    bool active;
    int mode;             // lastProcessOption after the overrides
    const char* lastDir;  // after the overrides
    const char* parent;
    const char* name;
    const char* settings;
};

class CommandLineOverrides : public ::testing::TestWithParam<LineCase> {};

TEST_P(CommandLineOverrides, SetModeAndDirectory) {
    const LineCase& c = GetParam();
    ProcessOptions o;
    o.lastProcessOption = 2;
    o.lastDir = "/before/";
    CommandLine line = ParseCommandLine(c.args);
    UnattendedRun run = ApplyCommandLine(line, "/home/user", o);
    EXPECT_EQ(run.active, c.active);
    EXPECT_EQ(o.lastProcessOption, c.mode);
    EXPECT_EQ(o.lastDir, c.lastDir);
    EXPECT_EQ(run.where.parent, c.parent);
    EXPECT_EQ(run.where.name, c.name);
    EXPECT_EQ(line.settingsFile, c.settings);
}

INSTANTIATE_TEST_SUITE_P(
    Settings, CommandLineOverrides,
    ::testing::Values(LineCase{{"-p", "/music/Artist-Album-2004-GRP"},
                               true,
                               1,
                               "/music/Artist-Album-2004-GRP/",
                               "/music/",
                               "Artist-Album-2004-GRP",
                               ""},
                      LineCase{{"-C"}, false, 2, "/before/", "", "", ""},
                      LineCase{{"/music/rel"}, false, 2, "/before/", "", "", ""},
                      LineCase{{"-X", "/music/rel"}, false, 2, "/before/", "", "", ""},
                      LineCase{
                          {"-R", "\"/music/My Rel\""}, true, 0, "/music/My Rel/", "/music/", "My Rel", ""},
                      LineCase{{"-C", "/a/b", "-r", "-Q", "/c/d/"}, true, 0, "/c/d/", "/c/", "d", ""},
                      LineCase{{"-P", "/music", "-c"}, true, 2, "/music/", "/", "music", ""},
                      LineCase{{"-C", "ab", "-", "-CC"}, false, 2, "/before/", "", "", ""},
                      LineCase{{"-P", "/music/rel", "--settings", "/tmp/k.ini"},
                               true,
                               1,
                               "/music/rel/",
                               "/music/",
                               "rel",
                               "/tmp/k.ini"},
                      LineCase{{"--settings=/etc/k.ini", "-c", "rel/sub"},
                               true,
                               2,
                               "/home/user/rel/sub/",
                               "/home/user/rel/",
                               "sub",
                               "/etc/k.ini"},
                      LineCase{{"-P", "/music//./a/b"}, true, 1, "/music/a/b/", "/music/a/", "b", ""}));

TEST(CommandLine, TheRootHasNoNameToProcess) {
    RunDirectory r = SplitRunDirectory("///", "/home");
    EXPECT_EQ(r.directory, "/");
    EXPECT_EQ(r.parent, "/");
    EXPECT_EQ(r.name, "");
}

}  // namespace
}  // namespace kestrow
