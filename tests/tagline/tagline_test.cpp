// Tagline names, the tagline file with its old-tagline rename, and the markers in the parent.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <set>

#include "content/existingtagline.h"
#include "content/listeddir.h"
#include "content/reporter.h"
#include "platform/bytesize.h"
#include "platform/text.h"
#include "tagline/mp3info.h"
#include "tagline/tagline.h"
#include "tests/support/golden.h"
#include "tests/support/mp3builder.h"
#include "tests/support/tempdir.h"
#include "tests/tagline/helperpath.h"

namespace kestrow::test {
namespace {

namespace fs = std::filesystem;

// The formatter's text as a tagline shows it: "85.3 MB" becomes "85,3MB".
std::string SizeOf(std::uint64_t bytes) {
    std::string text = platform::FormatByteSize(bytes);
    std::replace(text.begin(), text.end(), '.', ',');
    text.erase(std::remove(text.begin(), text.end(), ' '), text.end());
    return text;
}

IntegrityResult Counts(std::uint32_t listed, std::uint32_t ok, std::uint32_t corrupt, std::uint32_t missing) {
    IntegrityResult r;
    r.listedCount = listed;
    r.okCount = ok;
    r.corruptCount = corrupt;
    r.missingCount = missing;
    return r;
}

Mp3Info Info(const char* genre = "Hip-Hop", const char* year = "2008", int bitrate = 192000, int vbr = 0) {
    Mp3Info info;
    info.valid = true;
    info.genre = genre;
    info.yearText = year;
    info.bitrate = bitrate;
    info.vbrBitrate = vbr;
    return info;
}

// The rows of tests/data/tagline_rows.txt of one kind, without the kind, escapes and quotes
// resolved.
std::vector<std::vector<std::string>> Rows(const std::string& kind) {
    std::vector<std::vector<std::string>> rows;
    for (auto& row : TableRows("tagline_rows.txt")) {
        if (row[0] != kind) continue;
        row.erase(row.begin());
        for (auto& field : row) {
            field = Unescape(field);
            if (field.size() >= 2 && field.front() == '"' && field.back() == '"')
                field = field.substr(1, field.size() - 2);
        }
        rows.push_back(row);
    }
    EXPECT_FALSE(rows.empty()) << kind;
    return rows;
}

IntegrityResult CountsOf(const std::string& text) {
    const auto n = Words(text);
    return Counts(std::stoul(n[0]), std::stoul(n[1]), std::stoul(n[2]), std::stoul(n[3]));
}

std::set<std::string> SetOf(const std::string& text) {
    const auto words = Words(text);
    return {words.begin(), words.end()};
}

TEST(TaglineName, Builds) {
    for (const auto& row : Rows("name")) {
        std::optional<Mp3Info> mp3;
        if (row[4] == "unreadable") mp3 = Mp3Info();
        if (row[4].find(';') != std::string::npos) {
            std::vector<std::string> f;
            for (std::size_t start = 0, end = 0; end != std::string::npos; start = end + 1)
                f.push_back(row[4].substr(start, (end = row[4].find(';', start)) - start));
            mp3 = Info(f[0].c_str(), f[1].c_str(), std::stoi(f[2]), std::stoi(f[3]));
        }
        EXPECT_EQ(TaglineName(row[1], CountsOf(row[2]), std::stoull(row[3]), mp3 ? &*mp3 : nullptr), row[5])
            << row[0];
    }
}

TEST(TaglineName, StaysWithin255BytesAndWholeCharacters) {
    std::string euros;
    for (int i = 0; i < 40; ++i) euros += "\xE2\x82\xAC";
    Mp3Info info = Info(euros.c_str(), euros.c_str());
    std::string name =
        TaglineName(euros, Counts(4000000000u, 3999999999u, 0, 1), ~std::uint64_t{0} / 2, &info);
    EXPECT_LE(name.size(), kTaglineNameMaxBytes);
    EXPECT_TRUE(platform::IsValidUtf8(name));
    EXPECT_NE(name.find("-[#INCOMPLETE#-3999999999_of_4000000000_Files-"), std::string::npos);
    EXPECT_EQ(name.substr(0, 3), "\xE2\x82\xAC");
}

TEST(TaglineField, CapsCharactersNotBytes) {
    std::string text;
    for (int i = 0; i < 40; ++i) text += "\xC3\xA9";
    EXPECT_EQ(platform::CharCount(TaglineField(text)), kTaglineFieldMaxChars);
    EXPECT_EQ(TaglineField(std::string("a\0b\x7F"
                                       "c",
                                       5)),
              "a_b_c");
}

class FakeReporter : public Reporter {
public:
    int Report(int code, const std::string& n, const std::string& = {}, const std::string& = {}) override {
        reports.emplace_back(code, n);
        return answer ? answer(code) : (code == 8 || code == 10 ? -1 : 0);
    }
    std::vector<std::pair<int, std::string>> reports;
    std::function<int(int)> answer;
};

std::string Mp3Bytes(int kbps = 192) {
    MpegStream s;
    s.bitrateKbps = kbps;
    return MakeMp3(Id3v2Builder(3).Text("TCON", "Rock").Text("TYER", "2008").Bytes(), MakeMpegStream(s));
}

class WriteTaglineTest : public ::testing::Test {
protected:
    static constexpr const char* kName = "Artist-Album-2008-GRP";

    void SetUp() override {
        UseBuiltMp3InfoHelper();
        MakeDirs(Dir());
    }

    std::string Dir() const { return m_root / kName; }
    std::string InDir(const std::string& name) const { return Dir() + "/" + name; }
    std::string InParent(const std::string& name) const { return m_root / name; }

    void MakeRelease(bool sfv, bool nfo, bool m3u, bool mp3, bool subdir = false) {
        if (mp3) WriteFile(InDir("01-artist-song.mp3"), Mp3Bytes());
        if (sfv)
            WriteFile(InDir("album.sfv"), "01-artist-song.mp3 12345678\r\n02-artist-other.mp3 9abcdef0\r\n");
        if (nfo) WriteFile(InDir("album.nfo"), "release notes\r\n");
        if (m3u) WriteFile(InDir("album.m3u"), "01-artist-song.mp3\r\n");
        if (subdir) MakeDirs(InDir("CD1"));
    }

    void Load(IntegrityResult counts, std::vector<std::string> problems = {}) {
        m_dir = ListedDir(Dir());
        m_dir.LoadLists();
        counts.listingCurrent = true;
        m_dir.integrity = counts;
        m_dir.problemLines = std::move(problems);
        m_parent = DirContents(m_root.path());
        m_parent.Scan();
        m_dir.parent = &m_parent;
    }

    void Run(bool noCheck = false, const std::string& prefix = "[KSTW]") {
        m_reporter.reports.clear();
        WriteTagline(m_dir, prefix, noCheck, true, true, true, true, m_reporter);
    }

    std::uint64_t SizeOnDisk() const {
        std::uint64_t total = 0;
        for (const auto& e : fs::directory_iterator(Dir())) {
            if (e.is_regular_file()) total += e.file_size();
        }
        return total;
    }

    // The names in the release that are taglines (an "-[" piece after the first character).
    std::vector<std::string> Taglines() const {
        std::vector<std::string> out;
        for (const auto& e : fs::directory_iterator(Dir())) {
            std::string n = e.path().filename().string();
            if (n.find("-[OK-", 1) != std::string::npos || n.find("-[#", 1) != std::string::npos)
                out.push_back(n);
        }
        return out;
    }

    // The parent's markers for the release, by suffix.
    std::set<std::string> Markers() const {
        std::set<std::string> out;
        for (const auto& e : fs::directory_iterator(m_root.path())) {
            std::string n = e.path().filename().string();
            if (n.rfind(std::string(kName) + "#", 0) == 0) out.insert(n.substr(std::string(kName).size()));
        }
        return out;
    }

    // The reports of the last run, the release's files (taglines with their text) and the
    // parent's markers, for a golden transcript.
    void Record(const std::string& title) {
        m_transcript += "== " + title + "\n";
        for (const auto& [code, n] : m_reporter.reports)
            m_transcript += "  report " + std::to_string(code) + " |" + n + "|\n";
        std::set<std::string> names;
        for (const auto& e : fs::directory_iterator(Dir())) names.insert(e.path().filename().string());
        for (const auto& n : names) {
            const bool text = !fs::is_directory(InDir(n)) && !platform::IEndsWith(n, ".mp3");
            m_transcript +=
                "  " + n + (text ? " |" + platform::EscapeControls(ReadFile(InDir(n))) + "|" : "") + "\n";
        }
        for (const auto& m : Markers()) m_transcript += "  marker " + m + "\n";
    }
    void Golden() {
        ExpectGolden(std::string("tagline/") + testing::UnitTest::GetInstance()->current_test_info()->name(),
                     ReplaceAll(m_transcript, m_root.path(), "<TMP>"));
    }

    TempDir m_root;
    std::string m_transcript;
    ListedDir m_dir;
    DirContents m_parent;
    FakeReporter m_reporter;
};

// A second run renames the tagline onto the same name; a problem tagline lists the files and
// keeps its name; repaired, it turns OK and empty, and its marker goes.
TEST_F(WriteTaglineTest, OkAndProblemTaglinesAcrossRuns) {
    MakeRelease(true, true, true, true);
    Load(Counts(2, 2, 0, 0));
    Run();
    Record("complete");
    Load(Counts(2, 2, 0, 0));
    Run();
    Record("complete again");
    const std::vector<std::string> problems = {"Missing: 02-artist-other.mp3\r\n",
                                               "Corrupt: 01-artist-song.mp3\r\n"};
    for (const char* title : {"corrupt and missing", "corrupt and missing again"}) {
        Load(Counts(2, 0, 1, 1), problems);
        Run();
        Record(title);
    }
    Load(Counts(2, 1, 0, 1), {problems[0]});
    Run();
    Record("incomplete");
    WriteFile(InDir("02-artist-other.mp3"), Mp3Bytes(128));
    Load(Counts(2, 2, 0, 0));
    Run();
    Record("repaired");
    Golden();
}

// Empty files, files that only look like taglines and markers of discs inside are never taken; an
// existing tagline is preferred over another empty file.
TEST_F(WriteTaglineTest, OnlyTaglinesAreTaken) {
    MakeRelease(true, true, true, true, true);
    WriteFile(InDir("empty.txt"), "");
    WriteFile(InDir("notes-[#INCOMPLETE#-draft.txt"), "my own notes\r\n");
    WriteFile(InDir("x-[#CORRUPT#-y.nfo"), "Missing: a.mp3\r\n");
    WriteFile(InDir("CD1#NoNFO"), "");
    WriteFile(InDir("[KSTW]-[OK-9_Files-1KB]-[KSTW]"), "");
    Load(Counts(2, 2, 0, 0));
    Run();
    Record("run");
    Golden();
}

TEST_F(WriteTaglineTest, Mp3InformationComesFromTheRenamedFileAfterTheReload) {
    MakeRelease(true, true, true, true);
    Load(Counts(2, 2, 0, 0));
    fs::rename(InDir("01-artist-song.mp3"), InDir("01-Artist-Song (cut).MP3"));
    m_dir.integrity.listingCurrent = false;
    Run();
    Record("run");
    Golden();
}

// A folder blocks both the rename of the old tagline (retried once) and the creation; a marker
// that cannot be created is reported with its path; without an SFV only list markers are made.
TEST_F(WriteTaglineTest, FailuresAndMissingLists) {
    MakeRelease(true, true, true, true);
    WriteFile(InDir("old-[OK-1_File-1KB]-old"), "");
    MakeDirs(InDir("[KSTW]-[OK-2_Files-" + SizeOf(SizeOnDisk()) + "]-[Rock-2008-192kbps]-[KSTW]"));
    Load(Counts(2, 2, 0, 0));
    int asked = 0;
    m_reporter.answer = [&asked](int code) { return code == 8 && asked++ == 0 ? 0 : code == 8 ? -1 : 0; };
    Run();
    Record("tagline blocked");
    m_reporter.answer = nullptr;
    fs::remove_all(Dir());
    MakeRelease(true, false, true, true);
    MakeDirs(InParent(std::string(kName) + "#NoNFO"));
    Load(Counts(2, 2, 0, 0));
    Run(true);
    Record("marker blocked");
    fs::remove_all(Dir());
    fs::remove_all(InParent(std::string(kName) + "#NoNFO"));
    MakeRelease(false, true, true, true);
    Load(Counts(0, 0, 0, 0));
    Run();
    Record("no SFV");
    Golden();
}

TEST(TaglineShape, NeedsTheSamePrefixAtBothEndsAndAStatus) {
    for (const auto& row : Rows("shape")) EXPECT_EQ(HasTaglineShape(row[0]), row[1] == "1") << row[0];
}

// Status markers in the parent follow the check: written, kept or deleted.
TEST_F(WriteTaglineTest, StatusMarkersFollowTheCheck) {
    for (const auto& row : Rows("status")) {
        SCOPED_TRACE(row[0]);
        fs::remove_all(Dir());
        for (const auto& m : Markers()) fs::remove(InParent(kName + m));
        MakeRelease(true, row[3] == "1", true, true);
        for (const std::string& suffix : SetOf(row[1])) WriteFile(InParent(kName + suffix), "");
        Load(CountsOf(row[2]));
        Run(row[4] == "1");
        std::set<std::string> status;
        for (const std::string& m : Markers()) {
            if (m == "#corrupt" || m == "#incomplete") status.insert(m);
        }
        EXPECT_EQ(status, SetOf(row[5]));
    }
}

// List markers follow the lists present and their agreement, and each one made is reported.
TEST_F(WriteTaglineTest, ListMarkersFollowTheLists) {
    for (const auto& row : Rows("lists")) {
        SCOPED_TRACE(row[0]);
        fs::remove_all(Dir());
        for (const auto& m : Markers()) fs::remove(InParent(kName + m));
        const std::set<std::string> present = SetOf(row[1]);
        MakeRelease(present.count("sfv"), present.count("nfo"), present.count("m3u"), present.count("mp3"),
                    present.count("CD1"));
        for (const std::string& suffix : SetOf(row[3])) WriteFile(InParent(kName + suffix), "");
        IntegrityResult counts;
        counts.mismatch = row[2] == "1";
        Load(counts);
        Run(true);
        EXPECT_EQ(Markers(), SetOf(row[4]));
        std::set<std::string> reported;
        for (const auto& [code, text] : m_reporter.reports) {
            if (code == 28) reported.insert(text.substr(std::string(kName).size()));
        }
        EXPECT_EQ(reported, SetOf(row[4]));
    }
}

}  // namespace
}  // namespace kestrow::test
