// Name rules of the prepare pass: cuts with tag and year kept, dots, "VA", "THE", numbering
// against the disk, the plan and the record text, and properties over random names.
#include "rename/namerules.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <optional>
#include <random>
#include <set>
#include <vector>

#include "platform/text.h"
#include "tests/support/golden.h"
#include "tests/support/tempdir.h"

namespace kestrow {
namespace {

using test::MakeDirs;
using test::TempDir;
using test::WriteFile;

constexpr std::uint32_t Bit(RenameOption o) {
    return static_cast<std::uint32_t>(o);
}
constexpr std::uint32_t kTag = Bit(RenameOption::PreserveGrptag);
constexpr std::uint32_t kYear = Bit(RenameOption::PreserveRlsyear);
constexpr std::uint32_t kVa = Bit(RenameOption::PreserveVAtag);
constexpr std::uint32_t kVaNotLists = Bit(RenameOption::PreserveVAtagException1);
constexpr std::uint32_t kVaDirs = Bit(RenameOption::StripVAtagDirs);
constexpr std::uint32_t kCommas = Bit(RenameOption::ReplaceDots);
constexpr std::uint32_t kThe = Bit(RenameOption::StripTHEtagDirs);
constexpr std::uint32_t kTheMove = Bit(RenameOption::StripTHEtagDirsMove);
constexpr std::uint32_t kTheBrackets = Bit(RenameOption::StripTHEtagDirsMoveAddBrackets);
constexpr std::uint32_t kDirDots = Bit(RenameOption::RemoveDotsInDirs);
constexpr std::uint32_t kDirDotsFront = Bit(RenameOption::RemoveDotsInDirsFrontOnly);

std::string Rep(std::string_view s, int n) {
    std::string r;
    for (int i = 0; i < n; ++i) r += s;
    return r;
}

class FakePlan : public NamePlan {
public:
    struct Rename {
        std::string from, to;
    };

    bool IsPlannedName(std::string_view fullName) const override {
        ++lookups;
        return everythingPlanned || std::any_of(renames.begin(), renames.end(), [&](const Rename& r) {
                   return platform::IEquals(r.to, fullName);
               });
    }
    bool IsRecordedName(std::string_view extension, std::string_view title) const override {
        RecordedNames names;
        names.AddRecords(records);
        return names.Contains(extension, title);
    }
    void KeepFile(std::string_view n) override { kept.emplace_back(n); }
    void RenameFile(std::string_view n, std::string_view to, std::string_view record) override {
        renames.push_back({std::string(n), std::string(to)});
        records += record;
    }
    void KeepDir(std::string_view n) override { keptDir = n; }
    void RenameDir(std::string_view n, std::string_view to, std::string_view record) override {
        dirRename = {std::string(n), std::string(to)};
        records += record;
    }
    void LeftUnchanged(std::string_view n, bool, NameProblem p) override { problems.emplace_back(n, p); }

    bool everythingPlanned = false;
    mutable int lookups = 0;
    std::vector<Rename> renames;
    std::vector<std::string> kept;
    std::optional<std::string> keptDir;
    std::optional<Rename> dirRename;
    std::vector<std::pair<std::string, NameProblem>> problems;
    std::string records;
};

class NameRulesTest : public ::testing::Test {
protected:
    NameRulesTest() { MakeDirs(Release()); }

    std::string Parent() const { return m_tmp / "parent"; }
    std::string Release() const { return Parent() + "/release"; }
    static DirContents Scan(const std::string& path) {
        DirContents d(path);
        EXPECT_TRUE(d.Scan()) << path;
        return d;
    }
    // Rules over `path`, with its parent folder scanned too when given.
    struct Rules {
        Rules(const std::string& path, std::uint32_t bits, const GroupTagMap* tags,
              const std::string& parentPath = "")
            : dir(Scan(path)),
              parent(parentPath.empty() ? std::nullopt : std::optional(Scan(parentPath))),
              rules(RenameOptions(bits), tags, dir, parent ? &*parent : nullptr, plan) {}
        std::string Apply(const std::string& name, const std::string& ext, bool isDir, int maximum) {
            return rules.ApplyNameRules(name, ext, isDir, maximum);
        }
        DirContents dir;
        std::optional<DirContents> parent;
        FakePlan plan;
        NameRules rules;
    };

    TempDir m_tmp;
    GroupTagMap m_tags{{"GRP", "Group"}};
};

const std::string kAz = "abcdefghijklmnopqrstuvwxyz";

template <typename T>
T Flags(const std::string& words, const std::map<std::string, T>& names) {
    T flags{};
    for (const auto& w : test::Words(words)) {
        EXPECT_TRUE(names.count(w)) << w;
        flags |= names.count(w) ? names.at(w) : T{};
    }
    return flags;
}

const std::map<std::string, std::uint32_t> kOptionNames = {{"tag", kTag},
                                                           {"year", kYear},
                                                           {"va", kVa},
                                                           {"va-not-lists", kVaNotLists},
                                                           {"va-dirs", kVaDirs},
                                                           {"commas", kCommas},
                                                           {"the", kThe},
                                                           {"the-move", kTheMove},
                                                           {"the-brackets", kTheBrackets},
                                                           {"dir-dots", kDirDots},
                                                           {"dir-dots-front", kDirDotsFront}};
const std::map<std::string, int> kOperationNames = {{"truncated", kOpTruncated},    {"va", kOpVaStripped},
                                                    {"the", kOpTheStripped},        {"moved", kOpTheMoved},
                                                    {"brackets", kOpBracketsAdded}, {"dots", kOpDotsRemoved},
                                                    {"front", kOpDotsFrontOnly}};

// Each row alone in an empty release: the result, what the plan was told, the directory's
// operation bits and the problem reported.
TEST_F(NameRulesTest, TableOfNames) {
    const auto rows = test::TableRows("namerules_rows.txt");
    ASSERT_EQ(rows.size(), 69u);
    for (auto row : rows) {
        SCOPED_TRACE(row[0]);
        row.resize(9);
        const std::string name = test::Unescape(row[1]), ext = row[2], expected = test::Unescape(row[6]);
        const bool isDir = row[3] == "dir";
        Rules r(Release(), Flags(row[5], kOptionNames), &m_tags, Parent());
        const FakePlan& plan = r.plan;
        EXPECT_EQ(r.Apply(name, ext, isDir, std::stoi(row[4])), expected);
        if (expected == name + ext) {
            EXPECT_TRUE(plan.renames.empty() && !plan.dirRename);
            EXPECT_EQ(isDir ? std::vector<std::string>{plan.keptDir.value_or("")} : plan.kept,
                      std::vector<std::string>{name + ext});
        } else {
            EXPECT_EQ(isDir ? (plan.dirRename ? plan.dirRename->to : "")
                            : (plan.renames.size() == 1 ? plan.renames[0].to : ""),
                      expected);
        }
        if (!row[7].empty()) {
            EXPECT_TRUE(plan.records.ends_with("<OP:" + std::to_string(Flags(row[7], kOperationNames)) + ">"))
                << plan.records;
        }
        std::vector<std::string> problems;
        for (const auto& p : plan.problems)
            problems.push_back(p.second == NameProblem::NoRoom ? "NoRoom" : "other");
        EXPECT_EQ(problems, row[8].empty() ? std::vector<std::string>{} : std::vector<std::string>{row[8]});
    }
}

TEST_F(NameRulesTest, WithoutTheMapNoTagIsRecognised) {
    // Only the year survives: the cut finds no tag to keep.
    EXPECT_EQ(Rules(Release(), kTag | kYear, nullptr).Apply(Rep("a", 58) + "-2004-GRP", "", true, 64),
              Rep("a", 58) + "-2004-");
}

TEST_F(NameRulesTest, RecordsNameTheNewAndTheOldName) {
    Rules r(Release(), kDirDots | kDirDotsFront, &m_tags, Parent());
    r.Apply(kAz, ".txt", false, 20);
    r.Apply(kAz, "", false, 20);
    r.Apply("Mr.Big-Lean.Into.It", "", true, 64);
    EXPECT_EQ(r.plan.records,
              "<F:.txt;abcdefghijklmno-;.txt;abcdefghijklmnopqrstuvwxyz>"
              "<F:;abcdefghijklmnopqrs-;;abcdefghijklmnopqrstuvwxyz>"
              "<D:;MrBig-Lean.Into.It;.It;Mr.Big-Lean.Into><OP:96>");
    Rules cut(Release(), 0, &m_tags, Parent());
    cut.Apply(Rep("d", 70), "", true, 64);
    EXPECT_EQ(cut.plan.records, "<D:;" + Rep("d", 63) + "-;;" + Rep("d", 70) + "><OP:1>");
}

TEST_F(NameRulesTest, NumbersNamesThatMeetTheDiskThePlanOrASibling) {
    std::string nine = "abcdefghijklmno-.txt";
    for (int k = 1; k <= 9; ++k) nine += " abcdefghijklmn" + std::to_string(k) + ".txt";
    const std::string tagged = Rep("a", 54) + "___GRP-INT.nfo";
    const struct {
        const char* label;
        std::string files, subdirs;  // in the release directory, split at blanks
        std::string name, ext;
        std::uint32_t bits;
        int maximum;
        std::string expected;
    } cases[] = {
        {"existing file, other case", "ABCDEFGHIJKLMNO-.TXT", "", kAz, ".txt", 0, 20, "abcdefghijklmn1.txt"},
        {"number appended when it fits", "my,song.mp3", "", "my.song", ".mp3", kCommas, 64, "my,song1.mp3"},
        {"two-digit number replaces three characters", nine, "", kAz, ".txt", 0, 20, "abcdefghijklm10.txt"},
        {"a subdirectory holds the name", "", "abcdefghijklmno-.txt", kAz, ".txt", 0, 20,
         "abcdefghijklmn1.txt"},
        {"kept tag stays after the number", tagged, "", Rep("a", 60) + "-GRP-INT", ".nfo", kTag, 68,
         Rep("a", 54) + "_1GRP-INT.nfo"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        TempDir t;
        for (const auto& f : test::Words(c.files)) WriteFile(t / f, "");
        for (const auto& d : test::Words(c.subdirs)) MakeDirs(t / d);
        EXPECT_EQ(Rules(t.path(), c.bits, &m_tags).Apply(c.name, c.ext, false, c.maximum), c.expected);
    }
}

TEST_F(NameRulesTest, TwoFilesCutToOneNameGetDifferentNames) {
    WriteFile(Release() + "/abcdefghijklmnopqrstuvwxyz1.txt", "");
    WriteFile(Release() + "/abcdefghijklmnopqrstuvwxyz2.txt", "");
    Rules r(Release(), 0, &m_tags);
    std::vector<std::string> names;
    for (bool more = r.dir.FirstFile(); more; more = r.dir.NextFile()) {
        const FileEntry& f = r.dir.CurrentFile();
        names.push_back(r.Apply(f.path.Title(), f.path.DottedExt(), false, 20));
    }
    EXPECT_EQ(names, (std::vector<std::string>{"abcdefghijklmno-.txt", "abcdefghijklmn1.txt"}));
}

TEST_F(NameRulesTest, NumbersTheDirectoryAgainstItsSiblings) {
    for (bool siblingIsFile : {false, true}) {
        SCOPED_TRACE(siblingIsFile ? "file beside it" : "directory beside it");
        TempDir t;
        MakeDirs(t / kAz);
        siblingIsFile ? WriteFile(t / "abcdefghijklmno-", "") : MakeDirs(t / "abcdefghijklmno-");
        EXPECT_EQ(Rules(t / kAz, 0, &m_tags, t.path()).Apply(kAz, "", true, 16), "abcdefghijklmn1");
    }
}

TEST_F(NameRulesTest, RecordTextNumbersEndInUnderscoreAndAreCheckedOnDiskAgain) {
    struct Row {
        const char* records;
        bool onDisk;
        const char* expected;
    };
    const Row rows[] = {
        {"<F:.txt;ab,c;.txt;old>", false, "ab1_.txt"},
        {"<F:.txt;new;.txt;ab,c>", true, "ab2_.txt"},
        // A record name that merely begins with the name does not take it.
        {"<F:.txt;ab,cdef;.txt;ab,c1>", false, "ab,c.txt"},
    };
    for (const Row& row : rows) {
        TempDir t;
        if (row.onDisk) WriteFile(t / "ab1_.txt", "");
        Rules r(t.path(), kCommas, &m_tags);
        r.plan.records = row.records;
        EXPECT_EQ(r.Apply("ab.c", ".txt", false, 64), row.expected) << row.records;
    }
}

TEST_F(NameRulesTest, DirectoryNumberedAgainstAFileRecordOfTheSameName) {
    Rules r(Release(), kTag | kYear, &m_tags, Parent());
    const std::string longName = Rep("n", 70) + "-2004-GRP";
    // A file without extension cuts exactly as the directory does.
    EXPECT_EQ(r.Apply(longName, "", false, 64), Rep("n", 53) + "___2004-GRP");
    // The directory's own cut name stands in the file's record, so it takes a number.
    EXPECT_EQ(r.Apply(longName, "", true, 64), Rep("n", 53) + "_1_2004-GRP");
}

TEST_F(NameRulesTest, GivesUpAtTheNumberCapAndKeepsTheName) {
    Rules r(Release(), 0, &m_tags);
    r.plan.everythingPlanned = true;
    const std::string name = Rep("q", 80);
    EXPECT_EQ(r.Apply(name, ".txt", false, 64), name + ".txt");
    EXPECT_EQ(r.plan.lookups, kMaxCollisionNumber + 1);  // the plain name, then every number once
    ASSERT_EQ(r.plan.problems.size(), 1u);
    EXPECT_EQ(r.plan.problems[0].second, NameProblem::NoFreeName);
    EXPECT_EQ(r.plan.kept, std::vector<std::string>{name + ".txt"});
    EXPECT_TRUE(r.plan.renames.empty());
}

TEST_F(NameRulesTest, GivesUpWhenNoNumberFitsTheRoomLeft) {
    // One character of room: "-" is taken, "1" fits, "10" would not.
    WriteFile(Release() + "/-.txt", "");
    EXPECT_EQ(Rules(Release(), 0, &m_tags).Apply("abcdefgh", ".txt", false, 5), "1.txt");
    for (int k = 1; k <= 9; ++k) WriteFile(Release() + "/" + std::to_string(k) + ".txt", "");
    Rules full(Release(), 0, &m_tags);
    EXPECT_EQ(full.Apply("abcdefgh", ".txt", false, 5), "abcdefgh.txt");
    ASSERT_EQ(full.plan.problems.size(), 1u);
    EXPECT_EQ(full.plan.problems[0].second, NameProblem::NoFreeName);
}

TEST_F(NameRulesTest, NeverProducesAnEmptyOrDotsOnlyName) {
    for (const std::string name : {"...", "."}) {
        Rules r(Release(), kDirDots, &m_tags);
        EXPECT_EQ(r.Apply(name, "", true, 64), name);
        ASSERT_EQ(r.plan.problems.size(), 1u);
        EXPECT_EQ(r.plan.problems[0].second, NameProblem::NotAName);
    }
    EXPECT_EQ(Rules(Release(), kDirDots | kDirDotsFront, &m_tags).Apply("....-", "", true, 64), "-");
}

struct FakeSettings {
    int Truncate = 0, preserveGrptag = 1, preserveRlsyear = 0, preserveVAtag = 1, preserveVAtagException1 = 1;
    int StripVAtagDirs = 1, ReplaceDots = 0, StripTHEtagDirs = 1, StripTHEtagDirsMove = 0;
    int StripTHEtagDirsMoveAddBrackets = 1, RemoveDotsInDirs = 0, RemoveDotsInDirsFrontOnly = 1;
};

TEST(RenameOptions, TruncationBitsNeedTruncateOn) {
    FakeSettings s;
    EXPECT_EQ(RenameOptions::FromSettings(s).Bits(), kVaDirs | kThe | kTheBrackets | kDirDotsFront);
    s.Truncate = 1;
    EXPECT_EQ(RenameOptions::FromSettings(s).Bits(),
              kTag | kYear | kVa | kVaNotLists | kVaDirs | kThe | kTheBrackets | kDirDotsFront);
    s.preserveRlsyear = 1;  // strip
    EXPECT_FALSE(RenameOptions::FromSettings(s).Has(RenameOption::PreserveRlsyear));
    EXPECT_EQ(NameMaximum(true, 64), 64);
    EXPECT_EQ(NameMaximum(true, 0), 256);
    EXPECT_EQ(NameMaximum(true, 999), 256);
    EXPECT_EQ(NameMaximum(false, 64), 256);
}

TEST(NameChars, RoundTripsEveryByteString) {
    for (std::string s : {std::string("plain"), std::string("Ärzte日😀"), std::string("\xE9t\xE9\xFF\xC3"),
                          std::string("\xED\xA0\x80"), std::string("\xC0\xAF")}) {
        EXPECT_EQ(EncodeName(DecodeName(s)), s);
        EXPECT_EQ(DecodeName(s).size(), platform::CharCount(s));
    }
}

// Properties over many random directories (fixed seed: a failure names its iteration).

TEST_F(NameRulesTest, PropertiesHoldForRandomNames) {
    const std::vector<std::string> pieces = {
        "a",    "b",    "Z",   "x",   "V",    "v",    "A",    "THE",    "The", "the", "INT",
        "int",  "GRP",  "grp", "XYZ", "-",    "_",    " ",    ".",      ",",   "(",   ")",
        "[",    "]",    "0",   "1",   "9",    "2004", "1999", "é",      "日",  "😀",   "\xE9",
        "\xFF", "\xC3", "VA-", "va_", "-INT", "_INT", "-GRP", "_2004_", "Ä"};
    const std::vector<std::string> exts = {"",     ".mp3", ".MP3", ".nfo",  ".sfv",  ".m3u",
                                           ".jpg", ".gif", ".txt", ".flac", ".日本", ".jpeg"};
    const GroupTagMap tags{{"GRP", ""}, {"XYZ", ""}, {"A", ""}};
    std::mt19937 rng(20240611);
    auto pick = [&](std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(rng); };
    auto words = [&](std::size_t lo, std::size_t hi) {
        std::string s;
        for (std::size_t n = lo + pick(hi - lo + 1); n > 0; --n) s += pieces[pick(pieces.size())];
        return s;
    };
    // Mostly tight maximums, sometimes the ones that mean 256.
    auto maximum = [&]() -> int {
        const int special[] = {0, -5, 300};
        std::size_t k = pick(10);
        return k < 3 ? special[k] : (k == 3 ? 41 : 1) + static_cast<int>(pick(40));
    };

    for (int iter = 0; iter < 300; ++iter) {
        SCOPED_TRACE("iteration " + std::to_string(iter));
        // Shared prefixes make cut names meet each other.
        const std::string dirPrefix = words(3, 12);
        std::string dirName = dirPrefix + words(0, 2);
        if (dirName.find_first_not_of('.') == std::string::npos) dirName += "d";
        const std::string parentPath = m_tmp / ("p" + std::to_string(iter));
        MakeDirs(parentPath + "/" + dirName);
        for (std::size_t n = pick(4); n > 0; --n) {
            std::string sibling = dirPrefix + words(0, 2);
            if (sibling.find_first_not_of('.') != std::string::npos) MakeDirs(parentPath + "/" + sibling);
        }
        const std::string filePrefix = words(0, 10);
        std::vector<std::string> made;
        for (std::size_t n = pick(9); n > 0; --n) {
            std::string file = filePrefix + words(0, 3) + exts[pick(exts.size())];
            if (file.empty() || file.back() == '.') file += "x";  // a trailing dot has no extension to split
            const bool clash = std::any_of(made.begin(), made.end(),
                                           [&](const std::string& m) { return platform::IEquals(m, file); });
            if (clash || file.find_first_not_of('.') == std::string::npos) continue;
            made.push_back(file);
            WriteFile(parentPath + "/" + dirName + "/" + file, "");
        }

        DirContents parent = Scan(parentPath);
        DirContents dir = Scan(parentPath + "/" + dirName);
        const RenameOptions options(static_cast<std::uint32_t>(pick(0x800)));
        const int max = maximum();
        const int limit = ClampNameMaximum(max);
        FakePlan plan;
        NameRules rules(options, pick(2) ? &tags : nullptr, dir, &parent, plan);
        SCOPED_TRACE("options " + std::to_string(options.Bits()) + ", maximum " + std::to_string(max));

        auto checkName = [&](const std::string& original, const std::string& result, const std::string& ext) {
            SCOPED_TRACE("name '" + original + "' -> '" + result + "'");
            EXPECT_TRUE(!platform::IsValidUtf8(original) || platform::IsValidUtf8(result));
            EXPECT_TRUE(result.ends_with(ext));
            if (result == original) {
                if (static_cast<int>(platform::CharCount(original)) > limit) {
                    EXPECT_TRUE(std::any_of(plan.problems.begin(), plan.problems.end(),
                                            [&](const auto& p) { return p.first == original; }));
                }
                return;
            }
            const std::string title = result.substr(0, result.size() - ext.size());
            EXPECT_NE(title.find_first_not_of('.'), std::string::npos);
            EXPECT_LE(static_cast<int>(platform::CharCount(result)), limit);
        };

        std::vector<std::string> results;
        std::vector<std::string> originals;
        for (bool more = dir.FirstFile(); more; more = dir.NextFile()) {
            const FileEntry& f = dir.CurrentFile();
            const std::string original = f.path.FileName();
            const std::string result = rules.ApplyNameRules(f.path.Title(), f.path.DottedExt(), false, max);
            checkName(original, result, f.path.DottedExt());
            originals.push_back(original);
            results.push_back(result);
        }
        for (std::size_t i = 0; i < results.size(); ++i) {
            for (std::size_t j = 0; j < results.size(); ++j) {
                if (i == j) continue;
                EXPECT_FALSE(platform::IEquals(results[i], results[j])) << results[i];
                // A renamed file never lands on a file that is still there.
                EXPECT_TRUE(results[i] == originals[i] || !platform::IEquals(results[i], originals[j]));
            }
        }

        const std::string newDir = rules.ApplyNameRules(dirName, "", true, max);
        checkName(dirName, newDir, "");
        EXPECT_TRUE(newDir == dirName || parent.FindSubdir(newDir) == -1) << newDir;
    }
}

}  // namespace
}  // namespace kestrow
