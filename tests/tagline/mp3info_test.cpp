// MP3 information read through the helper process: header facts, tag texts, genres, and the
// helper surviving files that crash or hang the tag library.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <optional>
#include <thread>

#include "tagline/mp3info.h"
#include "tagline/mp3infohelper.h"
#include "tests/support/golden.h"
#include "tests/support/mp3builder.h"
#include "tests/support/tempdir.h"
#include "tests/tagline/helperpath.h"
#include "tests/tagline/tagwords.h"

namespace kestrow::test {
namespace {

std::string Cbr(int kbps = 128, int frames = 8) {
    MpegStream s;
    s.bitrateKbps = kbps;
    s.frameCount = frames;
    return MakeMpegStream(s);
}

Id3v1Fields V1(int genre) {
    return Id3v1Fields{"Song", "Band", "Record", "1999", "note", 3, genre};
}

class Mp3InfoTest : public ::testing::Test {
protected:
    void SetUp() override { UseBuiltMp3InfoHelper(); }
    std::string Write(const std::string& name, const std::string& bytes) {
        std::string path = m_dir / name;
        WriteFile(path, bytes);
        return path;
    }
    TempDir m_dir;
};

// The bytes of a row of tests/data/mp3_samples.txt.
std::string SampleBytes(const std::vector<std::string>& row) {
    const std::vector<std::string> audio = Words(row[2]);
    MpegStream s;
    if (audio[0] == "cbr") {
        s.bitrateKbps = std::stoi(audio[1]);
        s.frameCount = std::stoi(audio[2]);
    } else if (audio[0] == "vbr") {
        s.frameCount = std::stoi(audio[1]);
        for (std::size_t at = 0; at < audio[2].size(); at = audio[2].find(',', at) + 1) {
            s.vbrRatesKbps.push_back(std::stoi(audio[2].substr(at)));
            if (audio[2].find(',', at) == std::string::npos) break;
        }
    } else {
        s.version = MpegVersion::Mpeg2;
        s.sampleRate = 22050;
        s.bitrateKbps = 64;
        s.channels = ChannelMode::SingleChannel;
    }
    return MakeMp3(Id3v2FromWords(row[1]), MakeMpegStream(s),
                   row[3].empty() ? "" : MakeId3v1Tag(V1(std::stoi(row[3]))));
}

// Every field read from files built to the format: tag versions and encodings, genres, header
// facts of constant and variable rates, playing time. The values are a golden transcript.
TEST_F(Mp3InfoTest, EveryFieldOfBuiltFiles) {
    std::string transcript;
    const auto rows = TableRows("mp3_samples.txt");
    ASSERT_EQ(rows.size(), 20u);
    for (const auto& row : rows) {
        Mp3Info info;
        EXPECT_TRUE(info.Read(Write("t.mp3", SampleBytes(row)))) << row[0];
        transcript += "== " + row[0] + "\n";
        const std::string fields = info.Serialize();
        for (std::size_t at = fields.find('\t'); at != std::string::npos;) {
            const std::size_t next = fields.find('\t', at + 1);
            transcript +=
                "  " + fields.substr(at + 1, next == std::string::npos ? next : next - at - 1) + "\n";
            at = next;
        }
    }
    ExpectGolden("mp3info/fields", transcript);
}

TEST_F(Mp3InfoTest, UnreadableFilesGiveAnEmptyRecord) {
    MakeDirs(m_dir / "folder.mp3");
    for (const std::string& path :
         {Write("junk.mp3", std::string(3000, 'x')), m_dir / "missing.mp3", m_dir / "folder.mp3"}) {
        Mp3Info info;
        info.genre = "stale";
        EXPECT_FALSE(info.Read(path)) << path;
        EXPECT_EQ(info, Mp3Info()) << path;
        EXPECT_EQ(info.fileSize, -1);
    }
}

TEST_F(Mp3InfoTest, NamesWithLineBreaksAndTabsReachTheHelperWhole) {
    Mp3Info info;
    std::string path = Write("a\tb\nc\\d.mp3", MakeMp3("", Cbr(), MakeId3v1Tag(V1(17))));
    ASSERT_TRUE(info.Read(path));
    EXPECT_EQ(info.path, path);
    EXPECT_EQ(info.genre, "Rock");
}

TEST(Mp3InfoLine, RoundTripKeepsEveryField) {
    Mp3Info info;
    info.path = "/x/a\tb\\n.mp3";
    info.hasV2Tag = true;
    info.fileSize = 5'000'000'000;
    info.bitrate = 192000;
    info.vbrBitrate = 201000;
    info.seconds = 321;
    info.genre = "Drum\t& \\Bass\r\n";
    info.yearText = "";
    info.userUrl = "http://u";
    info.trackNumber = 4;
    info.valid = true;
    Mp3Info back;
    ASSERT_TRUE(back.Parse(info.Serialize()));
    EXPECT_EQ(back, info);
    EXPECT_EQ(info.Serialize().find('\n'), std::string::npos);
}

TEST(Mp3InfoLine, MalformedLinesAreRejected) {
    Mp3Info info;
    for (const char* line : {"", "garbage", "valid=1\tbitrate=abc", "bitrate=1"}) {
        EXPECT_FALSE(info.Parse(line)) << line;
    }
}

class Mp3HelperTest : public Mp3InfoTest {
protected:
    void TearDown() override {
        Mp3InfoHelper::Instance().Stop();
        Mp3InfoHelper::Instance().SetTimeout(Mp3InfoHelper::kDefaultTimeout);
        ::unsetenv("KESTROW_MP3INFO_TEST_HANG");
    }
    std::string Good() { return Write("good.mp3", MakeMp3("", Cbr(), MakeId3v1Tag(V1(17)))); }
};

TEST_F(Mp3HelperTest, SurvivesAFileThatCrashesTheTagLibrary) {
    std::string crashing =
        Write("compressed.mp3", MakeMp3(Id3v2Builder(3).CompressedText("TIT2", "Boom").Bytes(), Cbr()));
    Mp3Info info;
    ASSERT_TRUE(info.Read(Good()));
    pid_t first = Mp3InfoHelper::Instance().Pid();
    int starts = Mp3InfoHelper::Instance().StartCount();
    EXPECT_FALSE(info.Read(crashing));
    EXPECT_FALSE(info.valid);
    EXPECT_EQ(info.bitrate, 0);
    ASSERT_TRUE(info.Read(Good()));
    EXPECT_EQ(info.genre, "Rock");
    EXPECT_GT(Mp3InfoHelper::Instance().StartCount(), starts);
    EXPECT_NE(Mp3InfoHelper::Instance().Pid(), first);
}

TEST_F(Mp3HelperTest, SurvivesAFileThatHangs) {
    Mp3InfoHelper::Instance().Stop();
    ::setenv("KESTROW_MP3INFO_TEST_HANG", "hang.mp3", 1);
    Mp3InfoHelper::Instance().SetTimeout(std::chrono::milliseconds(300));
    std::string hanging = Write("hang.mp3", MakeMp3("", Cbr(), MakeId3v1Tag(V1(17))));
    Mp3Info info;
    ASSERT_TRUE(info.Read(Good()));
    pid_t hungPid = Mp3InfoHelper::Instance().Pid();
    EXPECT_FALSE(info.Read(hanging));
    EXPECT_NE(::kill(hungPid, 0), 0) << "the hung helper was not ended";
    ASSERT_TRUE(info.Read(Good()));
    EXPECT_EQ(info.genre, "Rock");
}

TEST_F(Mp3HelperTest, ReplacesAHelperThatDiedWhileIdle) {
    Mp3Info info;
    ASSERT_TRUE(info.Read(Good()));
    pid_t pid = Mp3InfoHelper::Instance().Pid();
    ASSERT_EQ(::kill(pid, SIGKILL), 0);
    ASSERT_TRUE(info.Read(Good()));
    EXPECT_NE(Mp3InfoHelper::Instance().Pid(), pid);
}

TEST_F(Mp3HelperTest, MissingHelperMakesEveryFileUnreadable) {
    Mp3InfoHelper::Instance().Stop();
    Mp3InfoHelper::Instance().SetExecutable(m_dir / "no-such-helper");
    Mp3Info info;
    EXPECT_FALSE(info.Read(Good()));
    EXPECT_FALSE(Mp3InfoHelper::Instance().LastError().empty());
    UseBuiltMp3InfoHelper();
    EXPECT_TRUE(info.Read(Good()));
}

TEST(Mp3HelperPath, TheHelperIsFoundFromTheProgramsFolder) {
    // Test programs sit in build/tests, beside build/bin, so the way from a program's folder to
    // the helper leads to the helper of this build.
    namespace fs = std::filesystem;
    EXPECT_EQ(fs::weakly_canonical(DefaultMp3InfoHelperPath()), fs::weakly_canonical(KESTROW_TEST_MP3INFO));
}

TEST_F(Mp3HelperTest, ConcurrentReadsGetTheirOwnAnswers) {
    std::string rock = Write("rock.mp3", MakeMp3("", Cbr(), MakeId3v1Tag(V1(17))));
    std::string jazz = Write("jazz.mp3", MakeMp3("", Cbr(192), MakeId3v1Tag(V1(8))));
    int wrong = 0;
    auto run = [&](const std::string& path, const char* genre, int rate, int& bad) {
        for (int i = 0; i < 20; ++i) {
            Mp3Info info;
            if (!info.Read(path) || info.genre != genre || info.bitrate != rate) ++bad;
        }
    };
    int wrongOther = 0;
    std::thread other(run, jazz, "Jazz", 192000, std::ref(wrongOther));
    run(rock, "Rock", 128000, wrong);
    other.join();
    EXPECT_EQ(wrong + wrongOther, 0);
}

}  // namespace
}  // namespace kestrow::test
